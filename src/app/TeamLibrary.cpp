#include "app/TeamLibrary.h"

#include "about/Effects.h"
#include "app/Application.h"
#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "browser/FrmTeamLibrary.h"
#include "importing/core/Apply.h"
#include "importing/core/LibrarySource.h"
#include "messages/ArabicMsgBox.h"
#include "platform/InputDialog.h"
#include "store/Library.h"
#include "store/LibraryLocation.h"
#include "store/NodeKey.h"
#include "store/PgLocation.h"

#include <QAction>
#include <QDir>
#include <QTreeView>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QUrl>

namespace app {

namespace {

QString g_fileLibrary;

const QString PasswordTitle = QStringLiteral("كلمة المرور");

// Whether the server refused for want of a password (libpq's own words, which it does not translate
// into Arabic).
bool wantsPassword(const QString &reason) { return reason.contains(QLatin1String("no password supplied")); }

// The database and its server, as the user named them.
QString describe(const QString &location)
{
    try {
        const store::PgLocation where = store::parsePgLocation(location);
        const bool local = where.host.isEmpty() || where.host.startsWith(u'/');
        return QStringLiteral("«%1» على %2").arg(where.database, local ? QStringLiteral("هذا الجهاز") : where.host);
    } catch (const store::StoreError &) {
        return store::locationForDisplay(location);
    }
}

// As at start-up (an empty team database gets the library's tables once the user agrees), with the
// password for this connection only.
void openLocation(store::Library &library, const QString &location, const QString &password)
{
    if (isTeamLibrary(location))
        library.setPassword(password);
    openLibrary(library, location);
}

// Opens location, asking for a password when the server wants one that was not given.
void openAskingPassword(browser::FrmMain &main, const QString &location, QString password)
{
    for (;;) {
        try {
            openLocation(main.library(), location, password);
            return;
        } catch (const store::StoreError &e) {
            if (!isTeamLibrary(location) || !wantsPassword(e.message()) || !password.isEmpty())
                throw;
        }
        const std::optional<QString> typed = platform::askText(
            &main, PasswordTitle,
            QStringLiteral("يطلب الخادم كلمة المرور لفتح مكتبة الفريق %1.\nلن تُحفظ كلمة المرور.")
                .arg(describe(location)),
            true);
        if (!typed || typed->isEmpty())
            throw store::StoreError(QStringLiteral("لم تُدخل كلمة المرور، فلم تُفتح مكتبة الفريق."));
        password = *typed;
    }
}

// The snippets the tree's selection names: a snippet, or every snippet of a category.
QList<qint32> selectedSnippets(browser::FrmMain &main)
{
    const QString key = browser::FrmMain::keyOf(main.TVCodeHead()->currentIndex());
    switch (store::nodeKind(key)) {
    case store::NodeKind::Snippet:
        return {store::nodeId(key)};
    case store::NodeKind::Category:
        return importing::core::snippetsOfCategory(main.library(), store::nodeId(key));
    default:
        return {};
    }
}

// Copies the selection into target (named so for the user), after showing what it will do; the
// window's own library is only read.
void copySelection(browser::FrmMain &main, store::Library &target, const QString &targetName)
{
    using namespace importing::core;
    const QList<qint32> ids = selectedSnippets(main);
    if (ids.isEmpty())
        return messages::showError(&main, QStringLiteral("اختر كوداً أو تصنيفاً فيه أكواد لنسخه."));
    const Source source = librarySource(main.library(), ids);
    const ImportPreview preview = previewImport(target, source, DuplicateChoice::Skip);
    QString prompt = QStringLiteral("سيُنسخ %1 من %2 إلى %3.").arg(preview.toAdd).arg(ids.size()).arg(targetName);
    if (preview.duplicates)
        prompt += QStringLiteral("\nيُترك %1 لأن فيها مثله في تصنيفه.").arg(preview.duplicates);
    if (preview.skippedCount)
        prompt += QStringLiteral("\nيُترك %1 لا يصح كوداً (بلا عنوان أو بلا كود).").arg(preview.skippedCount);
    if (!preview.toAdd)
        return messages::showError(&main, prompt + QStringLiteral("\n\nلا شيء يُنسخ."));
    if (!messages::confirm(&main, prompt + QStringLiteral("\n\nهل تريد المتابعة؟")))
        return;
    const ImportResult result = applyImport(target, source, DuplicateChoice::Skip);
    messages::ArabicMsgBox(&main, QStringLiteral("نُسخ %1 إلى %2.").arg(result.added).arg(targetName),
                           QStringLiteral("نسخ"), platform::mb::OkOnly, platform::mb::Information);
}

} // namespace

bool isTeamLibrary(const QString &location) { return store::isPostgresLocation(location); }

void setFileLibrary(const QString &path) { g_fileLibrary = path; }
QString fileLibrary() { return g_fileLibrary.isEmpty() ? store::defaultLibraryPath() : g_fileLibrary; }

void showLibraryMode(browser::FrmMain &main)
{
    delete main.findChild<QLabel *>(QStringLiteral("readOnlyNotice"));
    QString title = main.windowTitle();
    if (title.endsWith(ReadOnlyTitleSuffix))
        title.chop(ReadOnlyTitleSuffix.size());
    main.setWindowTitle(title);
    for (QAction *action : writeCommands(main))
        action->setEnabled(true);
    if (main.library().isReadOnly())
        showReadOnly(main);
}

bool switchLibrary(browser::FrmMain &main, const QString &location, const QString &password)
{
    store::Library &library = main.library();
    const QString before = library.path();
    const bool beforeReadOnly = library.isReadOnly();
    QString failure;
    // Its results name snippets of the library it searched.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("frmFind"))
            window->close();
    main.rebuildTree([&] {
        library.close();
        try {
            openAskingPassword(main, location, password);
            return;
        } catch (const store::StoreError &e) {
            failure = e.message();
        }
        if (before.isEmpty())
            return;
        try {
            if (isTeamLibrary(before))
                openLocation(library, before, {});
            else
                openLibrary(library, before, beforeReadOnly);
        } catch (const store::StoreError &e) {
            failure += QStringLiteral("\n\n") + e.message();
        }
    });
    showLibraryMode(main);
    main.updateCount();
    about::RepaintControl(main.TS1());
    if (!failure.isEmpty())
        messages::showError(&main, failure);
    return failure.isEmpty();
}

void installTeamLibraryCommands(browser::FrmMain &main)
{
    main.onCommand(browser::cmd::mnuTeamLibrary, [](browser::FrmMain &m) {
        browser::FrmTeamLibrary dialog(&m);
        if (dialog.exec() != QDialog::Accepted)
            return;
        switchLibrary(m, dialog.uri(), dialog.password());
    });
    main.onCommand(browser::cmd::mnuFileLibrary, [](browser::FrmMain &m) { switchLibrary(m, fileLibrary()); });
    main.onCommand(browser::cmd::mnuCopyToTeam, [](browser::FrmMain &m) {
        browser::FrmTeamLibrary dialog(&m);
        if (dialog.exec() != QDialog::Accepted)
            return;
        store::Library team;
        openLocation(team, dialog.uri(), dialog.password());
        copySelection(m, team, QStringLiteral("مكتبة الفريق ") + describe(dialog.uri()));
    });
    main.onCommand(browser::cmd::mnuCopyToMine, [](browser::FrmMain &m) {
        store::Library mine;
        openLibrary(mine, fileLibrary());
        copySelection(m, mine, QStringLiteral("مكتبتك ") + QDir::toNativeSeparators(mine.path()));
    });
    // Back to the file makes sense only away from it.
    QObject::connect(main.menu(browser::menus::mnufile), &QMenu::aboutToShow, &main, [&main] {
        const bool team = isTeamLibrary(main.library().path());
        main.command(browser::cmd::mnuFileLibrary)->setEnabled(team);
        main.command(browser::cmd::mnuCopyToMine)->setEnabled(team);
        main.command(browser::cmd::mnuCopyToTeam)->setEnabled(!team);
    });
}

} // namespace app
