#include "app/Palette.h"

#include "app/Application.h"
#include "browser/FrmMain.h"
#include "search/FrmPalette.h"
#include "store/Library.h"
#include "store/LibraryLocation.h"
#include "store/NodeKey.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QProcess>

#include <ctime>

namespace app {

namespace {

// For the start-up benchmark: the monotonic clock (shared by every process of the machine) when
// the palette first takes keys, written to the file the environment names.
void reportReadyTime(search::FrmPalette &palette)
{
    const QString file = qEnvironmentVariable("TAMRISK_PALETTE_READY_FILE");
    if (file.isEmpty())
        return;
    QObject::connect(&palette, &search::FrmPalette::ready, &palette, [file] {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        QFile out(file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(QByteArray::number(qint64(now.tv_sec) * 1000000000LL + now.tv_nsec));
    });
}

} // namespace

void showPalette(browser::FrmMain &main)
{
    auto *palette = main.findChild<search::FrmPalette *>(QString(), Qt::FindDirectChildrenOnly);
    if (!palette) {
        palette = new search::FrmPalette(&main.library(), &main);
        reportReadyTime(*palette);
        QObject::connect(palette, &search::FrmPalette::openRequested, &main, [&main](qint32 id) {
            bringToFront(main);
            main.selectNode(store::snippetKey(id));
            main.ShowSelectedSnippet();
        });
    }
    palette->popUp();
}

int runPaletteAlone(const QString &location)
{
    store::Library library;
    store::OpenChoices choices;
    choices.readOnly = true;
    QString failure;
    try {
        store::openLibraryAt(library, location, choices);
    } catch (const store::OpenLibraryError &e) {
        failure = QStringLiteral("تعذر فتح مكتبة الأكواد:\n") + e.location() + QStringLiteral("\n\n") + e.message();
    }
    search::FrmPalette palette(failure.isEmpty() ? &library : nullptr);
    reportReadyTime(palette);
    if (!failure.isEmpty())
        palette.showMessage(failure);
    QObject::connect(&palette, &search::FrmPalette::openRequested, &palette, [&](qint32 id) {
        QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                {QStringLiteral("--library"), location, QStringLiteral("--select"),
                                 QString::number(id)});
    });
    // What was copied must outlive the palette: while this program still holds the clipboard it
    // stays, unseen, until a clipboard manager or another program takes the clipboard over.
    bool copied = false;
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &palette, [&copied] { copied = true; });
    QObject::connect(&palette, &search::FrmPalette::closed, qApp, [&copied] {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!copied || !clipboard->ownsClipboard())
            return QApplication::quit();
        QObject::connect(clipboard, &QClipboard::changed, qApp, [clipboard](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
                QApplication::quit();
        });
    }, Qt::QueuedConnection);
    palette.popUp();
    return QApplication::exec();
}

} // namespace app
