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
#include "platform/MessageBox.h"
#include "store/JetImport.h"
#include "store/LegacyMigration.h"
#include "store/LibraryConnection.h"
#include "store/LibraryLocation.h"
#include "store/NodeKey.h"

#include <QApplication>
#include <QTabBar>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>

#include <algorithm>
#include <climits>

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

} // namespace

QString openLibrary(const QString &requested)
{
    // A converted library is not the file the user named: messages name the one that failed.
    QString path = requested;
    try {
        if (store::isJetFile(path))
            path = convertJetLibrary(path);
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
    return path;
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
    } catch (const platform::FileError &) { }

    browser::FrmMain main;
    installCommands(main);
    main.load();
    QObject::connect(&main, &browser::FrmMain::closedForGood, &application, &QApplication::quit, Qt::QueuedConnection);
    main.show();
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
    const int result = application.exec();
    store::LibraryConnection::close();
    return result;
}

} // namespace app
