// Opening a team library from the file menu, and changing libraries in a running window.
#include "MainWindowFixture.h"

#include "app/Application.h"
#include "app/TeamLibrary.h"
#include "browser/FrmMain.h"
#include "browser/FrmTeamLibrary.h"
#include "browser/WindowSettings.h"
#include "store/Library.h"
#include "store/NodeKey.h"
#include "store/PgLocation.h"

#include <QAction>
#include <QScreen>
#include <QScopeGuard>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QTreeView>

using platform::MessageBoxSeam;
using testing::control;

namespace {

QString settingsFile()
{
    const QString app = browser::WindowSettings::appName();
    return QSettings(QSettings::IniFormat, QSettings::UserScope, app, app).fileName();
}

void fill(QDialog *d, const QString &host, int port, const QString &db, const QString &user, const char *sslMode,
          const QString &password)
{
    control<QLineEdit>(d, "TxtServer")->setText(host);
    control<QSpinBox>(d, "SpnPort")->setValue(port);
    control<QLineEdit>(d, "TxtDatabase")->setText(db);
    control<QLineEdit>(d, "TxtUser")->setText(user);
    auto *modes = control<QComboBox>(d, "CmbSslMode");
    modes->setCurrentIndex(modes->findData(QLatin1String(sslMode)));
    control<QLineEdit>(d, "TxtPassword")->setText(password);
}

} // namespace

class TestTeamLibrary : public QObject, testing::MainWindowFixture
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }
    void cleanup() { closeAll(); }

    void uriIsPercentEncoded_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("uri");
        QTest::newRow("socket folder") << "/tmp/pg sock"
                                       << "ali@x"
                                       << "postgresql://ali%40x@/%D9%85%D9%83%D8%AA%D8%A8%D8%A9"
                                          "?host=%2Ftmp%2Fpg%20sock&port=5433&sslmode=verify-full";
        QTest::newRow("IPv6") << "::1"
                              << "u"
                              << "postgresql://u@[::1]:5433/%D9%85%D9%83%D8%AA%D8%A8%D8%A9?sslmode=verify-full";
        QTest::newRow("default host and user")
            << ""
            << " "
            << "postgresql:///%D9%85%D9%83%D8%AA%D8%A8%D8%A9?port=5433&sslmode=verify-full";
    }
    void uriIsPercentEncoded()
    {
        QFETCH(QString, host);
        QFETCH(QString, user);
        QFETCH(QString, uri);
        browser::FrmTeamLibrary d;
        fill(&d, host, 5433, QStringLiteral(" مكتبة "), user, "verify-full", QString());
        QCOMPARE(d.uri(), uri);
        // The store reads back what was typed.
        const store::PgLocation where = store::parsePgLocation(d.uri());
        QCOMPARE(where.host, host);
        QCOMPARE(where.port, 5433);
        QCOMPARE(where.database, QStringLiteral("مكتبة"));
        QCOMPARE(where.user, user.trimmed());
    }

    // At a large font every text still fits its place: no label is cut.
    void labelsFitAtALargeFont()
    {
        const QFont before = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(before); });
        for (int points : {9, 20}) {
            QFont font = before;
            font.setPointSize(points);
            QApplication::setFont(font);
            browser::FrmTeamLibrary d;
            d.show();
            QVERIFY(QTest::qWaitForWindowExposed(&d));
            // As small as it lets itself be made, and no wider than the screen.
            d.resize(d.minimumSize().expandedTo(d.minimumSizeHint()));
            QVERIFY(d.width() <= d.screen()->availableGeometry().width());
            QTRY_COMPARE(d.size(), d.minimumSize().expandedTo(d.minimumSizeHint()));
            const QList<QLabel *> labels = d.findChildren<QLabel *>();
            QVERIFY(labels.size() >= 7);
            for (QLabel *label : labels) {
                if (!label->isVisible())
                    continue;
                const QSize hint = label->sizeHint();
                const QString what = label->objectName() + u' ' + QString::number(points);
                if (label->wordWrap())
                    QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(what));
                else
                    QVERIFY2(hint.width() <= label->width() && hint.height() <= label->height(), qPrintable(what));
            }
        }
    }

    // Every control is named, for tests and screen readers; the last server comes back, the password never.
    void dialogRemembersAllButThePassword()
    {
        {
            browser::FrmTeamLibrary d;
            QCOMPARE(d.layoutDirection(), Qt::RightToLeft);
            QCOMPARE(d.windowTitle(), QStringLiteral("فتح مكتبة فريق"));
            for (QWidget *w : d.findChildren<QWidget *>())
                if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QPushButton *>(w)
                    || qobject_cast<QSpinBox *>(w) || qobject_cast<QLabel *>(w))
                    QVERIFY2(!w->objectName().isEmpty() || w->parent() != &d, w->metaObject()->className());
            for (const char *field : {"TxtServer", "SpnPort", "TxtDatabase", "TxtUser", "CmbSslMode", "TxtPassword"})
                QVERIFY2(!control<QWidget>(&d, field)->accessibleName().isEmpty(), field);
            QCOMPARE(control<QSpinBox>(&d, "SpnPort")->value(), 5432);
            QCOMPARE(control<QComboBox>(&d, "CmbSslMode")->currentData().toString(), QStringLiteral("prefer"));
            QCOMPARE(control<QLineEdit>(&d, "TxtPassword")->echoMode(), QLineEdit::Password);

            d.show();
            // No database: refused, nothing remembered.
            QTest::mouseClick(control<QPushButton>(&d, "CmdOpen"), Qt::LeftButton);
            QCOMPARE(MessageBoxSeam::count(), 1);
            QVERIFY(d.isVisible());
            fill(&d, "db.example.org", 6543, "snippets", "ali", "require", "s3cret-Pass");
            QTest::mouseClick(control<QPushButton>(&d, "CmdOpen"), Qt::LeftButton);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(d.password(), QStringLiteral("s3cret-Pass"));
        }
        const QByteArray saved = testing::readFile(settingsFile());
        QVERIFY(saved.contains("db.example.org"));
        QVERIFY(!saved.contains("s3cret-Pass"));
        QSettings settings(settingsFile(), QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("TeamLibrary"));
        QCOMPARE(settings.childKeys().size(), 5);

        browser::FrmTeamLibrary again;
        QCOMPARE(again.uri(), QStringLiteral("postgresql://ali@db.example.org:6543/snippets?sslmode=require"));
        QCOMPARE(control<QLineEdit>(&again, "TxtPassword")->text(), QString());
    }

    // A server that cannot be reached: the message, and the window goes on with the library it had.
    void unreachableTeamLibraryKeepsTheFileLibrary()
    {
        openLibrary();
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("kept", c);
        openMain([](browser::FrmMain &m) { app::installCommands(m); });
        QTemporaryDir noServer;
        bool filled = false;
        QTimer::singleShot(0, main.get(), [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d && d->objectName() == QLatin1String("FrmTeamLibrary"));
            fill(d, noServer.path(), 5432, "library", "nobody", "prefer", QString());
            filled = true;
            QTest::mouseClick(control<QPushButton>(d, "CmdOpen"), Qt::LeftButton);
        });
        main->command(QStringLiteral("mnuTeamLibrary"))->trigger();
        QVERIFY(filled);
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(testing::library().path(), lib->path());
        QVERIFY(main->node(store::snippetKey(s)).isValid());
        QVERIFY(!testing::library().isReadOnly());
    }

    // The notice and the disabled commands follow the library now open, both ways.
    void switchingLibrariesFollowsTheirMode()
    {
        openLibrary();
        const QString writable = lib->path();
        lib->addSnippet("in the writable one", lib->addCategory("c"));
        QTemporaryDir other;
        const QString readOnly = other.filePath(QStringLiteral("codedb.mdb"));
        testing::library().close();
        testing::library().create(readOnly, true);
        testing::library().close();
        app::openLibrary(testing::library(), readOnly, true);
        openMain([](browser::FrmMain &m) { app::installCommands(m); });
        app::showReadOnly(*main);
        QVERIFY(main->findChild<QLabel *>(QStringLiteral("readOnlyNotice")));

        QVERIFY(app::switchLibrary(*main, writable));
        QCOMPARE(testing::library().path(), writable);
        QVERIFY(!main->findChild<QLabel *>(QStringLiteral("readOnlyNotice")));
        QCOMPARE(main->windowTitle(), QStringLiteral("Tamrisk"));
        for (QAction *a : app::writeCommands(*main))
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        QCOMPARE(main->TVCodeHead()->model()->rowCount(main->node(store::RootKey)), 1);
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    // From the menu to an empty team database (the schema after the question) and back to the file.
    void teamLibraryFromTheMenuAndBack()
    {
        openLibrary();
        const qint32 s = lib->addSnippet("in the file", lib->addCategory("c"));
        openMain([](browser::FrmMain &m) { app::installCommands(m); });
        testing::TempPgDatabase team;
        const store::PgLocation server = store::parsePgLocation(testing::pgServerUri());
        QTimer::singleShot(0, main.get(), [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            fill(d, server.host, 5432, team.name(), server.user, "prefer", QString());
            MessageBoxSeam::setNextAnswer(platform::mb::Yes);
            QTest::mouseClick(control<QPushButton>(d, "CmdOpen"), Qt::LeftButton);
        });
        main->command(QStringLiteral("mnuTeamLibrary"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1); // the schema question
        QCOMPARE(MessageBoxSeam::last().buttons(), platform::mb::YesNo);
        QCOMPARE(testing::library().engine(), store::Engine::Postgres);
        QCOMPARE(store::parsePgLocation(testing::library().path()).database, team.name());
        QVERIFY(!main->node(store::snippetKey(s)).isValid());
        QVERIFY(!testing::library().isReadOnly());

        main->menu(QStringLiteral("mnufile"))->aboutToShow();
        QVERIFY(main->command(QStringLiteral("mnuFileLibrary"))->isEnabled());
        app::setFileLibrary(lib->path());
        main->command(QStringLiteral("mnuFileLibrary"))->trigger();
        QCOMPARE(testing::library().path(), lib->path());
        QVERIFY(main->node(store::snippetKey(s)).isValid());
        QCOMPARE(MessageBoxSeam::count(), 1);
    }

    // The file menu's copies: the selected snippet into a team library (made one after the question),
    // then back from the team library, where it is a duplicate and nothing is copied.
    void copiesBetweenMyLibraryAndTheTeams()
    {
        openLibrary();
        const qint32 s = lib->addSnippet(QStringLiteral("فتح ملف"), lib->addCategory(QStringLiteral("الملفات")),
                                         QStringLiteral("Open f For Input As #1"), QStringLiteral("شرح"), true);
        testing::library().setSnippetLanguage(s, QStringLiteral("C#"));
        openMain([](browser::FrmMain &m) { app::installCommands(m); });
        main->selectNode(store::snippetKey(s));
        main->menu(QStringLiteral("mnufile"))->aboutToShow();
        QVERIFY(main->command(QStringLiteral("mnuCopyToTeam"))->isEnabled());
        QVERIFY(!main->command(QStringLiteral("mnuCopyToMine"))->isEnabled());

        testing::TempPgDatabase team;
        const store::PgLocation server = store::parsePgLocation(testing::pgServerUri());
        QTimer::singleShot(0, main.get(), [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            fill(d, server.host, 5432, team.name(), server.user, "prefer", QString());
            QTest::mouseClick(control<QPushButton>(d, "CmdOpen"), Qt::LeftButton);
        });
        MessageBoxSeam::setNextAnswer(platform::mb::Yes); // give the empty database the tables
        MessageBoxSeam::setNextAnswer(platform::mb::Yes); // copy what the preview says
        main->command(QStringLiteral("mnuCopyToTeam"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 3);
        QVERIFY2(MessageBoxSeam::records().at(1).prompt.startsWith(QStringLiteral("سيُنسخ 1 من 1 إلى مكتبة الفريق")),
                 qPrintable(MessageBoxSeam::records().at(1).prompt));
        QCOMPARE(testing::library().path(), lib->path()); // the window stays on its library
        {
            store::Library copy;
            copy.open(team.uri());
            const QList<store::Snippet> rows = copy.allSnippets();
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0].head.toString(), QStringLiteral("فتح ملف"));
            QCOMPARE(rows[0].code.toString(), QStringLiteral("Open f For Input As #1"));
            QCOMPARE(rows[0].learn.toString(), QStringLiteral("شرح"));
            QVERIFY(store::isTrue(rows[0].user));
            QCOMPARE(copy.snippetLanguage(rows[0].id), QStringLiteral("C#"));
            QCOMPARE(copy.categories().value(0).caption.toString(), QStringLiteral("الملفات"));
        }

        app::setFileLibrary(lib->path());
        QVERIFY(app::switchLibrary(*main, team.uri()));
        main->menu(QStringLiteral("mnufile"))->aboutToShow();
        QVERIFY(main->command(QStringLiteral("mnuCopyToMine"))->isEnabled());
        const QModelIndex category = main->TVCodeHead()->model()->index(0, 0, main->node(store::RootKey));
        main->selectNode(browser::FrmMain::keyOf(category));
        MessageBoxSeam::clear();
        main->command(QStringLiteral("mnuCopyToMine"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY2(MessageBoxSeam::last().prompt.contains(QStringLiteral("لا شيء يُنسخ")), qPrintable(MessageBoxSeam::last().prompt));
        main->command(QStringLiteral("mnuFileLibrary"))->trigger();
        QCOMPARE(testing::library().snippetCount(), 1);
    }

    // A role that may only read: the team library's notice, and nothing that writes.
    void readOnlyRoleGetsTheTeamNotice()
    {
        openLibrary();
        openMain([](browser::FrmMain &m) { app::installCommands(m); });
        const QString role = QStringLiteral("tamrisk_teamui_%1").arg(QCoreApplication::applicationPid());
        {
            testing::TempPgDatabase team;
            testing::library().createSchema(team.uri());
            testing::library().close();
            team.exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
            team.exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(role));
            team.exec(QStringLiteral("GRANT SELECT ON Groub, Code TO %1").arg(role));
            store::PgLocation where = store::parsePgLocation(team.uri());
            where.user = role;
            QVERIFY(app::switchLibrary(*main, where.display()));
            QVERIFY(testing::library().isReadOnly());
            auto *notice = main->findChild<QLabel *>(QStringLiteral("readOnlyNotice"));
            QVERIFY(notice);
            // Of the server's rights, not of a file's.
            QCOMPARE(notice->toolTip(), store::readOnlyLibraryMessage(testing::library().engine()));
            QVERIFY(notice->toolTip().startsWith(QStringLiteral("مكتبة الفريق")));
            QVERIFY(main->windowTitle().endsWith(app::ReadOnlyTitleSuffix));
            for (QAction *a : app::writeCommands(*main))
                QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
            QVERIFY(app::switchLibrary(*main, lib->path()));
            team.exec(QStringLiteral("REVOKE ALL ON Groub, Code FROM %1").arg(role));
        }
        testing::TempPgDatabase server;
        server.exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
    }
};

TAMRISK_TEST_MAIN(TestTeamLibrary)
#include "tst_teamlibrary.moc"
