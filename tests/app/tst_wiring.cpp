#include "TestSupport.h"

#include "app/Application.h"
#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QLabel>
#include <QDialog>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

using platform::MessageBoxSeam;

namespace {

// QObject::receivers is protected; a pointer to it taken through a subclass is not.
struct Receivers : QObject {
    static int ofTriggered(const QAction *action) { return (action->*&Receivers::receivers)(SIGNAL(triggered(bool))); }
};

} // namespace

// Every toolbar button reaches the window or message its command belongs to.
class TestWiring : public QObject
{
    Q_OBJECT
private:
    // Triggers the button and returns the objectName of the modal dialog it opened (closing it).
    QString modalOpenedBy(QAction *action)
    {
        QString seen;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                seen = dialog->objectName();
                dialog->reject();
            }
        });
        poll.start();
        action->trigger();
        poll.stop();
        return seen;
    }

private slots:
    void init() { testing::resetSeams(); }

    // Every menu command (and so every toolbar button) runs exactly one handler: hooked through
    // onCommand, and connected to nothing else.
    void everyCommandHasExactlyOneHandler()
    {
        testing::TempLibrary lib(true);
        browser::FrmMain bare(testing::library()); // only the window's own handlers
        browser::FrmMain main(testing::library());
        app::installCommands(main);

        QStringList commands;
        for (const browser::MenuSpec &spec : browser::menuTable())
            for (const browser::MenuItem &item : spec.items)
                if (item.caption)
                    commands.append(QLatin1String(item.name));
        QStringList handled = main.handledCommands();
        commands.sort();
        handled.sort();
        QCOMPARE(handled, commands);

        for (const QString &name : std::as_const(commands)) {
            const int added = Receivers::ofTriggered(main.command(name)) - Receivers::ofTriggered(bare.command(name));
            QVERIFY2(added == (bare.handledCommands().contains(name) ? 0 : 1), qPrintable(name));
        }
        for (const browser::ToolButton &button : browser::toolbarTable())
            QVERIFY2(commands.contains(QLatin1String(button.command)), button.key);
    }

    void toolbarButtonsOpenTheirWindows()
    {
        testing::TempLibrary lib(true);
        browser::FrmMain main(testing::library());
        app::installCommands(main);
        main.load();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));

        auto button = [&](const char *key) { return main.findChild<QToolBar *>("Tlbar")->findChild<QAction *>(key); };
        QCOMPARE(modalOpenedBy(button("InsertCode")), QStringLiteral("FrmAdd"));
        main.selectNode(store::snippetKey(1));
        QCOMPARE(modalOpenedBy(button("EditCode")), QStringLiteral("FrmEdit"));
        QCOMPARE(modalOpenedBy(button("Info")), QStringLiteral("FrmAbout"));
        QCOMPARE(modalOpenedBy(main.command("MsgCreat")), QStringLiteral("frmMsgCreat"));
        QCOMPARE(modalOpenedBy(main.command("mnuCreateUpDat")), QStringLiteral("FrmCreateUpdate"));

        // The package reader asks for its file first; cancelling closes it before it shows.
        platform::FileDialogSeam::setNextCancel();
        button("updat")->trigger();
        QCOMPARE(platform::FileDialogSeam::requests().size(), 1);

        button("SearchCode")->trigger();
        QWidget *find = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("frmFind"))
                find = w;
        QVERIFY(find);
        QTRY_VERIFY(find->isVisible());
        find->close();

        // Nothing selected: delete selects the root and deletes nothing.
        main.TVCodeHead()->clearSelection();
        const qint64 before = testing::library().snippetCount();
        button("DelCode")->trigger();
        QCOMPARE(testing::library().snippetCount(), before);
        QCOMPARE(main.selectedKey(), store::RootKey);

        // Compacting keeps every snippet and the count text.
        const QString count = main.findChild<QLabel *>("panel3")->text();
        button("compactDb")->trigger();
        QCOMPARE(testing::library().snippetCount(), before);
        QCOMPARE(main.findChild<QLabel *>("panel3")->text(), count);

        MessageBoxSeam::setNextAnswer(platform::mb::No);
        button("EndProg")->trigger();
        QVERIFY(main.isVisible());
    }
};

TAMRISK_TEST_MAIN(TestWiring)
#include "tst_wiring.moc"
