#include "app/Application.h"

#include "about/Credits.h"
#include "about/Effects.h"
#include "about/FrmAbout.h"
#include "app/Palette.h"
#include "app/SingleInstance.h"
#include "app/TeamLibrary.h"
#include "browser/Commands.h"
#include "browser/DamageReport.h"
#include "browser/FrmMain.h"
#include "browser/Icons.h"
#include "editing/Commands.h"
#include "exchange/Commands.h"
#include "exchange/UserMarks.h"
#include "export/Commands.h"
#include "importing/Commands.h"
#include "search/SearchCommands.h"
#include "messages/ArabicMsgBox.h"
#include "messages/frmMsgCreat.h"
#include "platform/Guarded.h"
#include "platform/MessageBox.h"
#include "platform/Translations.h"
#include "store/Backup.h"
#include "store/JetImport.h"
#include "store/LegacyMigration.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/LibraryLocation.h"
#include "store/NodeKey.h"
#include "store/PgLocation.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QTabBar>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>

namespace app {

void installCommands(browser::FrmMain &main)
{
    editing::installCommands(main);
    installTeamLibraryCommands(main);
    exporting::installCommands(main);
    search::installCommands(main);
    exchange::installUserMarkCommands(main);
    exchange::installCommands(main);
    importing::installCommands(main);
    main.onCommand(browser::cmd::MsgCreat, [](browser::FrmMain &m) {
        messages::runDesigner(&m);
        about::RepaintControl(m.TS1());
    });
    main.onCommand(browser::cmd::smnuabout, [](browser::FrmMain &m) {
        about::runAbout(&m, m.library().connection().folder());
        about::RepaintControl(m.TS1());
    });
}

namespace {

// Converts a Jet library after asking, with a progress dialog; returns the new library's path.
QString convertJetLibrary(const QString &path)
{
    const store::JetMigrationPlan plan = store::planJetMigration(
        path, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (plan.alreadyConverted)
        return plan.target;
    if (!messages::confirm(nullptr, store::migrationText::prompt(plan)))
        throw store::StoreError(store::migrationText::declined(plan));
    store::keepFileBackup(path, store::BackupReason::Migration);
    QProgressDialog progress;
    progress.setCancelButton(nullptr);
    progress.setMinimumDuration(0);
    progress.setWindowModality(Qt::ApplicationModal);
    const store::JetMigrationResult result = store::migrateJetLibrary(
        plan, [&](store::MigrationPhase phase, qint64 done, qint64 total) {
            progress.setLabelText(store::migrationText::phase(phase));
            progress.setMaximum(total > 0 ? int(std::min<qint64>(total, INT_MAX)) : 0);
            progress.setValue(int(std::min({done, total, qint64(INT_MAX)})));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    progress.close();
    messages::ArabicMsgBox(nullptr, store::migrationText::done(result), store::migrationText::DoneTitle,
                           platform::mb::OkOnly, platform::mb::Information);
    return result.library;
}

const QString kCreateSchemaPrompt = QStringLiteral("قاعدة البيانات هذه فارغة، ليس فيها جداول مكتبة الأكواد.\n"
                                                   "هل تريد إنشاء جدولي الأصناف والأكواد فيها لتصبح مكتبة للفريق؟");

} // namespace

QString openLibrary(store::Library &library, const QString &requested, bool readOnly)
{
    store::OpenChoices choices;
    choices.readOnly = readOnly;
    choices.createMissing = true;
    choices.convertOldFormat = convertJetLibrary;
    choices.agreeToCreateTables = [] { return messages::confirm(nullptr, kCreateSchemaPrompt); };
    try {
        return store::openLibraryAt(library, requested, choices);
    } catch (const store::OpenLibraryError &e) {
        throw store::StoreError(QStringLiteral("تعذر فتح مكتبة الأكواد:\n") + e.location() + QStringLiteral("\n\n")
                                + e.message());
    }
}

QList<QAction *> writeCommands(browser::FrmMain &main)
{
    namespace cmd = browser::cmd;
    QList<QAction *> actions;
    for (const char *name : {cmd::Add, cmd::edit, cmd::del, cmd::UsrUn, cmd::CurUsrCodRmv, cmd::CurMrkUsr,
                             cmd::mnuCompDbas, cmd::mnuUpDat, cmd::mnuImport})
        if (QAction *action = main.command(QLatin1String(name)))
            actions.append(action);
    return actions;
}

void showReadOnly(browser::FrmMain &main)
{
    for (QAction *action : writeCommands(main))
        action->setEnabled(false);
    main.setWindowTitle(main.windowTitle() + ReadOnlyTitleSuffix);
    auto *notice = new QLabel(QStringLiteral("للقراءة فقط: لا يمكن حفظ أي تغيير في هذه المكتبة"), &main);
    notice->setObjectName(QStringLiteral("readOnlyNotice"));
    notice->setToolTip(store::readOnlyLibraryMessage(main.library().engine()));
    main.statusBar()->addPermanentWidget(notice);
}

void checkLibraryInBackground(browser::FrmMain &main)
{
    const QPointer<browser::FrmMain> window(&main);
    main.library().check().start(main.library().path(), [window](const store::LibraryCheck::Result &r) {
        if (!r.damaged && r.backupFailure.isEmpty())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [window, r] {
                if (!window)
                    return;
                if (r.damaged)
                    browser::reportDamagedLibrary(window, r.message);
                else
                    messages::showError(window, r.backupFailure);
            },
            Qt::QueuedConnection);
    });
}

void bringToFront(browser::FrmMain &main)
{
    main.setWindowState((main.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    main.show();
    main.raise();
    main.activateWindow();
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

namespace {

bool isPackageFile(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("cup"), Qt::CaseInsensitive) == 0;
}

// Waits while a dialog is open over the window (an edit, a package being read): the package
// dialog comes after it, never over it.
void applyWhenFree(const QPointer<browser::FrmMain> &window, const QString &path, int delay)
{
    if (!window)
        return;
    QTimer::singleShot(delay, window.data(), [window, path] {
        if (QApplication::activeModalWidget())
            return applyWhenFree(window, path, 250);
        if (window->library().isReadOnly()) {
            messages::showError(window, QStringLiteral("لا يمكن تطبيق ملف التحديث:\n") + path + QStringLiteral("\n\n")
                                            + store::readOnlyLibraryMessage(window->library().engine()));
            return;
        }
        platform::runGuarded(window, [&] { exchange::applyPackageFile(*window, path); });
    });
}

} // namespace

StartFiles startFiles(bool libraryOption, const QString &library, const QStringList &files)
{
    std::optional<QString> requested;
    if (libraryOption)
        requested = library;
    QString package;
    for (const QString &argument : files) {
        const QString file = store::localPathOf(argument);
        if (isPackageFile(file)) {
            const QString absolute = QFileInfo(file).absoluteFilePath();
            if (!package.isEmpty())
                throw StartError(QStringLiteral("لا يمكن تطبيق أكثر من ملف تحديث في المرة الواحدة:\n") + package
                                 + QStringLiteral("\n") + absolute);
            package = absolute;
        } else {
            if (requested)
                throw StartError(QStringLiteral("لا يمكن فتح أكثر من مكتبة في المرة الواحدة:\n") + *requested
                                 + QStringLiteral("\n") + file);
            requested = file;
        }
    }
    StartFiles result;
    result.library = requested ? store::resolveLibraryLocation(*requested) : store::defaultLibraryPath();
    result.package = package;
    return result;
}

void openPackage(browser::FrmMain &main, const QString &path)
{
    bringToFront(main);
    applyWhenFree(&main, path, 0);
}

void receivePackage(browser::FrmMain &main, const QString &servedLibrary, const QString &package)
{
    if (SingleInstance::serverName(main.library().path()) == SingleInstance::serverName(servedLibrary))
        return openPackage(main, package);
    bringToFront(main);
    const QAction *back = main.command(QLatin1String(browser::cmd::mnuFileLibrary));
    messages::showError(&main, QStringLiteral("لم يُفتح ملف التحديث، فهذه النافذة تعرض الآن مكتبة أخرى:\n") + package
                                   + QStringLiteral("\n\nاختر \"") + back->text()
                                   + QStringLiteral("\" ثم افتح الملف من جديد."));
}

int run(int argc, char **argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tamrisk"));
    parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    QCommandLineOption libraryOption(
        QStringLiteral("library"),
        QStringLiteral("Open this library: a file, or a team library postgresql://user@host:port/dbname?sslmode=..."),
        QStringLiteral("FILE|URI"));
    parser.addOption(libraryOption);
    QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                        QStringLiteral("Render the main window to a PNG file and quit."),
                                        QStringLiteral("PNG"));
    parser.addOption(screenshotOption);
    QCommandLineOption newInstanceOption(
        QStringLiteral("new-instance"),
        QStringLiteral("Open another window even when a running Tamrisk has this library open "
                       "(by default that window comes to the front and this start ends)."));
    parser.addOption(newInstanceOption);
    QCommandLineOption readOnlyOption(QStringLiteral("read-only"),
                                      QStringLiteral("Open the library without ever writing to it."));
    parser.addOption(readOnlyOption);
    QCommandLineOption paletteOption(
        QStringLiteral("palette"),
        QStringLiteral("Show the quick search palette: by the window that has the library open, or alone "
                       "(read-only) when none has."));
    parser.addOption(paletteOption);
    QCommandLineOption selectOption(QStringLiteral("select"),
                                    QStringLiteral("Select the snippet with this id once the window is open."),
                                    QStringLiteral("ID"));
    parser.addOption(selectOption);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A library to open (as --library does), or an update package (.cup) "
                                                "to apply to the library."),
                                 QStringLiteral("[FILE]"));
    // The version is answered before the application connects to a display, so it prints on a
    // machine without one (a package's checks, a terminal over ssh), as tamrisk-cli's does.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (parser.parse(arguments) && parser.isSet(versionOption)) {
        std::fputs("tamrisk " PROJECT_VERSION "\n", stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tamrisk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tamrisk"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QApplication::setLayoutDirection(Qt::RightToLeft);
    QApplication::setWindowIcon(browser::appIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    platform::installQtTranslations();

    parser.process(application);

    StartFiles files;
    try {
        files = startFiles(parser.isSet(libraryOption), parser.value(libraryOption), parser.positionalArguments());
    } catch (const StartError &e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 2;
    }
    const QString &path = files.library;
    SingleInstance instance(path);
    if (parser.isSet(paletteOption))
        return instance.askForPalette() ? 0 : runPaletteAlone(path);
    if (!parser.isSet(newInstanceOption) && !instance.claim(files.package))
        return 0; // the window that has this library came to the front (and took the package)
    store::Library library;
    try {
        openLibrary(library, path, parser.isSet(readOnlyOption));
        if (!isTeamLibrary(library.path()))
            setFileLibrary(library.path());
    } catch (const store::StoreError &e) {
        messages::showError(nullptr, e.message());
        return 1;
    }

    // The about box shows the credits file beside the library; a new library gets ours. Without
    // it the about box says it cannot read the file, which is all the user needs to know. A
    // library open for reading only gets nothing written beside it.
    if (!library.isReadOnly()) {
        try {
            about::installDefaultCredits(library.connection().folder());
        } catch (const platform::FileError &) { }
    }

    browser::FrmMain main(library);
    installCommands(main);
    main.load();
    if (library.isReadOnly())
        showReadOnly(main);
    QObject::connect(&main, &browser::FrmMain::closedForGood, &application, &QApplication::quit, Qt::QueuedConnection);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &main, [&main] { bringToFront(main); });
    QObject::connect(&instance, &SingleInstance::paletteRequested, &main, [&main] { showPalette(main); });
    QObject::connect(
        &instance, &SingleInstance::packageRequested, &main,
        [&main, served = library.path()](const QString &package) { receivePackage(main, served, package); });
    main.show();
    if (!parser.isSet(screenshotOption)) {
        checkLibraryInBackground(main);
        if (!files.package.isEmpty())
            openPackage(main, files.package);
        if (parser.isSet(selectOption)) {
            main.selectNode(store::snippetKey(parser.value(selectOption).toInt()));
            main.ShowSelectedSnippet();
        }
    }
    if (parser.isSet(screenshotOption)) {
        // Select the first snippet so the picture shows the view as well as the tree.
        QTimer::singleShot(200, &main, [&] {
            QTreeView *tree = main.TVCodeHead();
            const QModelIndex first = tree->model()->index(0, 0, tree->model()->index(0, 0, main.node(store::RootKey)));
            if (first.isValid()) {
                main.selectNode(browser::FrmMain::keyOf(first));
                main.ShowSelectedSnippet();
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
