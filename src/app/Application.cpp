#include "app/Application.h"

#include "about/Credits.h"
#include "about/Effects.h"
#include "about/FrmAbout.h"
#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "browser/Icons.h"
#include "editing/Commands.h"
#include "exchange/Commands.h"
#include "exchange/UserMarks.h"
#include "export/Commands.h"
#include "search/SearchCommands.h"
#include "messages/ArabicMsgBox.h"
#include "messages/frmMsgCreat.h"
#include "store/LibraryConnection.h"
#include "store/LibraryLocation.h"

#include <QApplication>
#include <QTabBar>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>

namespace app {

QString libraryFolder() { return QFileInfo(store::LibraryConnection::path()).absolutePath(); }

void installCommands(browser::FrmMain &main)
{
    editing::installCommands(main);
    exporting::installCommands(main);
    search::installCommands(main);
    exchange::installUserMarkCommands(main);
    exchange::installCommands(main);
    main.onCommand(browser::cmd::MsgCreat, [](browser::FrmMain &m) {
        messages::runDesigner(&m);
        about::RepaintControl(m.TS1());
    });
    main.onCommand(browser::cmd::smnuabout, [](browser::FrmMain &m) {
        about::runAbout(&m, libraryFolder());
        about::RepaintControl(m.TS1());
    });
}

void openLibrary(const QString &path)
{
    try {
        if (QFileInfo::exists(path)) {
            store::LibraryConnection::open(path);
        } else {
            const QString folder = QFileInfo(path).absolutePath();
            if (!QDir().mkpath(folder))
                throw store::StoreError(QStringLiteral("تعذر إنشاء المجلد ") + folder);
            store::LibraryConnection::create(path, true);
        }
    } catch (const store::StoreError &e) {
        throw store::StoreError(QStringLiteral("تعذر فتح مكتبة الأكواد:\n") + QDir::toNativeSeparators(path)
                                + QStringLiteral("\n\n") + e.message());
    }
}

int run(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tamrisk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tamrisk"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    QApplication::setWindowIcon(browser::appIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    QTranslator qtArabic;
    if (qtArabic.load(QLocale(QLocale::Arabic), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtArabic);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tamrisk"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption libraryOption(QStringLiteral("library"), QStringLiteral("Open this library file."),
                                     QStringLiteral("FILE"));
    parser.addOption(libraryOption);
    QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                        QStringLiteral("Render the main window to a PNG file and quit."),
                                        QStringLiteral("PNG"));
    parser.addOption(screenshotOption);
    parser.process(application);

    const QString path = parser.isSet(libraryOption) ? QFileInfo(parser.value(libraryOption)).absoluteFilePath()
                                                     : store::defaultLibraryPath();
    try {
        openLibrary(path);
    } catch (const store::StoreError &e) {
        messages::showError(nullptr, e.message());
        return 1;
    }

    // The about box shows the credits file beside the library; a new library gets ours. Without
    // it the about box says it cannot read the file, which is all the user needs to know.
    try {
        about::installDefaultCredits(libraryFolder());
    } catch (const platform::FileError &) {
    }

    browser::FrmMain main;
    installCommands(main);
    main.load();
    QObject::connect(&main, &browser::FrmMain::closedForGood, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    main.show();
    if (parser.isSet(screenshotOption)) {
        // Select the first snippet so the picture shows the view as well as the tree.
        QTimer::singleShot(200, &main, [&] {
            if (QTreeWidgetItem *root = main.TVCodeHead()->topLevelItem(0)) {
                root->setExpanded(true);
                if (root->childCount() && root->child(0)->childCount()) {
                    root->child(0)->setExpanded(true);
                    main.selectNode(browser::FrmMain::keyOf(root->child(0)->child(0)));
                    main.ShowSelectedSnippet();
                }
            }
            QTimer::singleShot(200, &main, [&] {
                main.grab().save(parser.value(screenshotOption));
                application.exit(0);
            });
        });
    }
    return application.exec();
}

} // namespace app
