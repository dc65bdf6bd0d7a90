#include "MainWindowFixture.h"

#include "browser/FrmMain.h"
#include "browser/Keywords.h"
#include "browser/WindowSettings.h"
#include "platform/RichTextBox.h"
#include "platform/Settings.h"
#include "platform/Twips.h"
#include "store/LibraryConnection.h"
#include "store/NodeKey.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <cmath>

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolBar>
#include <QTreeWidget>

using browser::FrmMain;
using platform::MessageBoxSeam;

namespace {

// The colour drawn at a position: the keyword colours lie over the text in the blocks' layouts.
QColor colourAt(QTextDocument *doc, int position)
{
    const QTextBlock block = doc->findBlock(position);
    const int at = position - block.position();
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        if (at >= r.start && at < r.start + r.length && r.format.hasProperty(QTextFormat::ForegroundBrush))
            return r.format.foreground().color();
    QTextCursor c(doc);
    c.setPosition(position + 1);
    return c.charFormat().foreground().color();
}

QStringList childTexts(QTreeWidgetItem *item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts.append(item->child(i)->text(0));
    return texts;
}

const QString ExitQuestion = QStringLiteral("هل تريد إنهاء البرنامج؟") + QString(30, QLatin1Char(' '));

} // namespace

class TestMainWindow : public QObject, public testing::MainWindowFixture
{
    Q_OBJECT
private:
    void showSnippet(qint32 id, bool codeTab = true)
    {
        main->TS1()->setCurrentIndex(codeTab ? 0 : 1);
        main->selectNode(store::snippetKey(id));
        main->ShowSelectedSnippet();
    }

    QTextDocument *viewDoc() { return main->RTxt1()->document(); }

private slots:
    void init()
    {
        platform::deleteSettingSection(browser::WindowSettings::appName(), QStringLiteral("FrmMain"));
        openLibrary();
    }
    void cleanup() { closeAll(); }

    // ---- tree ----
    void emptyTablesGiveOnlyTheExpandedRoot()
    {
        openMain();
        QTreeWidget *tree = main->TVCodeHead();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem *root = tree->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("أكواد"));
        QCOMPARE(FrmMain::keyOf(root), QStringLiteral("M1"));
        QCOMPARE(root->childCount(), 0);
        QVERIFY(root->isExpanded());
        QCOMPARE(tree->objectName(), QStringLiteral("TVCodeHead"));
        QCOMPARE(tree->layoutDirection(), Qt::RightToLeft);
    }

    void categoriesAndSnippetsAreSorted()
    {
        const qint32 z = lib->addCategory("Zeta");
        const qint32 a = lib->addCategory("alpha");
        const qint32 ar = lib->addCategory(QStringLiteral("برمجة"));
        lib->addSnippet("c", a);
        lib->addSnippet("B", a);
        lib->addSnippet("a", a);
        lib->addSnippet("x", z);
        lib->addSnippet(QStringLiteral("ملف"), ar);
        openMain();
        QTreeWidgetItem *root = main->TVCodeHead()->topLevelItem(0);
        QCOMPARE(root->childCount(), 3);
        QStringList latin = childTexts(root).mid(0);
        QVERIFY(latin.indexOf("alpha") < latin.indexOf("Zeta"));
        QCOMPARE(childTexts(main->node(store::categoryKey(a))), QStringList({"a", "B", "c"}));
        QCOMPARE(main->node(store::categoryKey(a))->child(0)->data(0, Qt::UserRole).toString(), QStringLiteral("T3"));
        QCOMPARE(main->node(store::categoryKey(ar))->child(0)->text(0), QStringLiteral("ملف"));
    }

    void userSnippetsAreBlue()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 mine = lib->addSnippet("mine", c, "", "", true);
        const qint32 theirs = lib->addSnippet("theirs", c, "", "", false);
        const qint32 nul = lib->addSnippet("null", c, "", "", QVariant());
        openMain();
        QVERIFY(FrmMain::isUserNode(main->node(store::snippetKey(mine))));
        QCOMPARE(main->node(store::snippetKey(mine))->foreground(0).color(), QColor(0, 0, 255));
        QVERIFY(!FrmMain::isUserNode(main->node(store::snippetKey(theirs))));
        QVERIFY(!FrmMain::isUserNode(main->node(store::snippetKey(nul))));
    }

    void orphanSnippetsAreSkippedAndLaterOnesShown()
    {
        const qint32 c = lib->addCategory("c");
        lib->addSnippet("before", c);
        lib->addSnippet("orphan", 999);
        lib->addSnippet("no category", QVariant());
        lib->addSnippet("after", c);
        openMain();
        QCOMPARE(childTexts(main->node(store::categoryKey(c))), QStringList({"after", "before"}));
        QVERIFY(!main->node(store::snippetKey(2)));
        QVERIFY(main->TVCodeHead()->topLevelItem(0)->isExpanded());
    }

    void fortyThousandSnippetsLoad()
    {
        const qint32 c = lib->addCategory("c");
        store::Library::transaction([&] {
            for (int i = 0; i < 40000; ++i)
                lib->exec("INSERT INTO Code (Head, Groub, code, User) VALUES (?, ?, '', 0)",
                          {QStringLiteral("s%1").arg(i, 5, 10, QLatin1Char('0')), c});
        });
        openMain();
        QTreeWidgetItem *category = main->node(store::categoryKey(c));
        QCOMPARE(category->childCount(), 40000);
        QCOMPARE(category->child(39999)->text(0), QStringLiteral("s39999"));
    }

    void renameInPlaceWritesTheRow()
    {
        const qint32 c = lib->addCategory("old category");
        const qint32 s = lib->addSnippet("old title", c);
        const qint32 other = lib->addSnippet("other", c);
        openMain();
        main->node(store::snippetKey(s))->setText(0, "new title");
        QCOMPARE(store::Library::snippet(s)->head.toString(), QStringLiteral("new title"));
        QCOMPARE(store::Library::snippet(other)->head.toString(), QStringLiteral("other"));
        main->node(store::categoryKey(c))->setText(0, "new category");
        QCOMPARE(store::Library::categories().first().caption.toString(), QStringLiteral("new category"));
        main->node(store::RootKey)->setText(0, "root renamed");
        QCOMPARE(main->node(store::RootKey)->text(0), QStringLiteral("root renamed"));
        QCOMPARE(store::Library::categoryCount(), 1);
        QCOMPARE(store::Library::snippetCount(), 2);
    }

    void renameThroughTheEditor()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("before", c);
        openMain();
        QTreeWidget *tree = main->TVCodeHead();
        main->selectNode(store::snippetKey(s));
        tree->setFocus();
        tree->editItem(main->node(store::snippetKey(s)));
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = tree->findChild<QLineEdit *>()) && editor->isVisible());
        editor->selectAll();
        editor->insert(QStringLiteral("بعد"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(store::Library::snippet(s)->head.toString(), QStringLiteral("بعد"));
    }

    void collapseLeavesRootExpandedAndViewEmpty()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim x");
        openMain();
        main->command("mnuOpenTree")->trigger();
        QVERIFY(main->node(store::categoryKey(c))->isExpanded());
        showSnippet(s);
        QVERIFY(!main->RTxt1()->text().isEmpty());
        main->command("mnuCloseTree")->trigger();
        QVERIFY(main->node(store::RootKey)->isExpanded());
        QVERIFY(!main->node(store::categoryKey(c))->isExpanded());
        QCOMPARE(main->RTxt1()->text(), QString());
    }

    void popupShowsUserItemsByNodeKind_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("mergeVisible");
        QTest::addColumn<bool>("markVisible");
        QTest::newRow("user snippet") << "T1" << true << false;
        QTest::newRow("other snippet") << "T2" << false << true;
        QTest::newRow("category") << "K1" << false << false;
        QTest::newRow("root") << "M1" << false << false;
    }
    void popupShowsUserItemsByNodeKind()
    {
        QFETCH(QString, key);
        QFETCH(bool, mergeVisible);
        QFETCH(bool, markVisible);
        const qint32 c = lib->addCategory("c");
        lib->addSnippet("mine", c, "", "", true);
        lib->addSnippet("theirs", c, "", "", false);
        openMain();
        main->selectNode(key);
        bool mergeAllShown = true, sepShown = true, mergeShown = false, markShown = false;
        QTimer::singleShot(0, this, [&] {
            QMenu *popup = main->menu("code");
            QTRY_VERIFY(popup->isVisible());
            mergeAllShown = main->command("UsrUn")->isVisible();
            sepShown = main->command("sep")->isVisible();
            mergeShown = main->command("CurUsrCodRmv")->isVisible();
            markShown = main->command("CurMrkUsr")->isVisible();
            popup->close();
        });
        main->showCodePopup(main->mapToGlobal(QPoint(50, 50)));
        QVERIFY(!mergeAllShown);
        QVERIFY(!sepShown);
        QCOMPARE(mergeShown, mergeVisible);
        QCOMPARE(markShown, markVisible);
        // Afterwards the menu bar offers the merge-all item again.
        QVERIFY(main->command("UsrUn")->isVisible());
        QVERIFY(main->command("sep")->isVisible());
        // From the menu bar the two items are enabled, not shown, by the same tests, made each time the menu
        // opens. They keep the popup's visibility, and a hidden item is never enabled: on a snippet of the
        // other kind neither is offered, on this node again the one the popup showed is.
        struct Offer {
            bool visibleMerge, visibleMark, merge, mark;
        };
        auto openFromMenuBar = [this] {
            QMenu *code = main->menu("code");
            QMenuBar *bar = main->menuBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(code->menuAction()).center());
            [&] { QTRY_VERIFY(code->isVisible()); }();
            const Offer offer{main->command("CurUsrCodRmv")->isVisible(), main->command("CurMrkUsr")->isVisible(),
                              main->command("CurUsrCodRmv")->isEnabled(), main->command("CurMrkUsr")->isEnabled()};
            code->close();
            return offer;
        };
        main->selectNode(mergeVisible ? "T2" : "T1");
        Offer offer = openFromMenuBar();
        QVERIFY(!offer.merge);
        QVERIFY(!offer.mark);
        main->selectNode(key);
        offer = openFromMenuBar();
        QCOMPARE(offer.merge, mergeVisible);
        QCOMPARE(offer.mark, markVisible);
        QCOMPARE(offer.visibleMerge, mergeVisible);
        QCOMPARE(offer.visibleMark, markVisible);
    }

    void rightClickInTheTreeOpensThePopup()
    {
        const qint32 c = lib->addCategory("c");
        lib->addSnippet("mine", c, "", "", true);
        openMain();
        main->command("mnuOpenTree")->trigger();
        QTreeWidget *tree = main->TVCodeHead();
        const QRect rect = tree->visualItemRect(main->node("T1"));
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(main->menu("code")->isVisible());
            opened = true;
            main->menu("code")->close();
        });
        QTest::mousePress(tree->viewport(), Qt::RightButton, {}, rect.center());
        QTest::mouseRelease(tree->viewport(), Qt::RightButton, {}, rect.center());
        QVERIFY(opened);
        QCOMPARE(main->selectedKey(), QStringLiteral("T1"));
    }

    void leftKeyExpandsInTheMirroredTree()
    {
        const qint32 c = lib->addCategory("c");
        lib->addSnippet("s", c);
        openMain();
        QTreeWidget *tree = main->TVCodeHead();
        main->selectNode(store::categoryKey(c));
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Left);
        QVERIFY(main->node(store::categoryKey(c))->isExpanded());
        QTest::keyClick(tree, Qt::Key_Right);
        QVERIFY(!main->node(store::categoryKey(c))->isExpanded());
    }

    // ---- view and colouring ----
    void keywordsAreNavyAndTheRestBlack()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim x As String\r\nIf a Then Endif IfDone\r\nx = 1 ' Exit if", "");
        openMain();
        showSnippet(s);
        QTextDocument *doc = viewDoc();
        const QString text = doc->toPlainText();
        const QColor navy(0, 0, 128);
        auto colourOf = [&](const QString &word, int from = 0) { return colourAt(doc, int(text.indexOf(word, from))); };
        QCOMPARE(colourOf("Dim"), navy);
        QCOMPARE(colourOf("As"), navy);
        QCOMPARE(colourOf("String"), navy);
        QCOMPARE(colourOf(" x "), QColor(Qt::black));
        QCOMPARE(colourAt(doc, int(text.indexOf("x As"))), QColor(Qt::black));
        QCOMPARE(colourOf("If a"), navy);
        QCOMPARE(colourOf("Then"), navy);
        QCOMPARE(colourOf("Endif"), QColor(Qt::black));
        QCOMPARE(colourOf("IfDone"), QColor(Qt::black));
        QCOMPARE(colourOf("Exit"), navy);
        QCOMPARE(colourOf("if", int(text.indexOf("Exit"))), QColor(Qt::black));
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("Dim x As String\r\nIf a Then Endif IfDone\r\nx = 1 ' Exit if"));
        QCOMPARE(main->findChild<platform::RichTextBox *>("rtfhid")->document()->toPlainText(), QString());
        QVERIFY(!main->ProgressBar1()->isVisible());
    }

    void endIfBothColoured()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "End If");
        openMain();
        showSnippet(s);
        QCOMPARE(colourAt(viewDoc(), 0), QColor(0, 0, 128));
        QCOMPARE(colourAt(viewDoc(), 4), QColor(0, 0, 128));
    }

    void noKeywordsAllBlackInTheFixedFont()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "x = y + z");
        openMain();
        showSnippet(s);
        for (int i = 0; i < 9; ++i)
            QCOMPARE(colourAt(viewDoc(), i), QColor(Qt::black));
        QTextCursor cursor(viewDoc());
        cursor.setPosition(1);
        const QFont font = cursor.charFormat().font();
        QVERIFY(QFontInfo(font).fixedPitch());
        QCOMPARE(font.pointSizeF(), 10.0);
    }

    void emptyTextGivesEmptyViewAndHiddenProgress()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 full = lib->addSnippet("full", c, "Dim y");
        const qint32 s = lib->addSnippet("s", c, "");
        openMain();
        showSnippet(full);
        showSnippet(s);
        QCOMPARE(main->RTxt1()->text(), QString());
        QCOMPARE(main->ProgressBar1()->value(), 100);
        QVERIFY(!main->ProgressBar1()->isVisible());
    }

    void keywordFarIntoALongTextIsColoured()
    {
        const qint32 c = lib->addCategory("c");
        QString code;
        while (code.size() < 40000)
            code += QStringLiteral("abc = def + ghi\r\n");
        code += QStringLiteral("Next");
        const qint32 s = lib->addSnippet("s", c, code);
        openMain();
        showSnippet(s);
        const QString text = viewDoc()->toPlainText();
        QTRY_COMPARE(colourAt(viewDoc(), int(text.lastIndexOf("Next"))), QColor(0, 0, 128));
    }

    void bigSnippetIsColouredAsAWholeTextWouldBe()
    {
        // Keywords at the start and end of every line, so that both sides of every block
        // boundary and of every slice are tested; an Arabic word joined to a keyword is no match.
        QString code;
        for (int i = 0; code.size() < 300000; ++i)
            code +=
                QStringLiteral("If x%1 Then\r\nDim a As Long ' مثال Next\r\n    End Sub\r\nمتغيرDim Exit\r\n").arg(i);
        code += QStringLiteral("Loop");
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, code);
        openMain();
        main->resize(800, 600);
        showSnippet(s);
        // What is scrolled into sight is coloured before it is drawn, wherever the slices are.
        QVERIFY(main->ProgressBar1()->isVisible());
        QTextCursor far(viewDoc());
        far.setPosition(int(code.size() * 3 / 4));
        QVERIFY(far.block().layout()->formats().isEmpty());
        main->RTxt1()->setTextCursor(far);
        main->RTxt1()->ensureCursorVisible();
        QVERIFY(!far.block().layout()->formats().isEmpty());

        QTRY_VERIFY(!main->ProgressBar1()->isVisible());
        QCOMPARE(main->ProgressBar1()->value(), 100);
        QCOMPARE(main->RTxt1()->text(), code);
        QList<browser::KeywordSpan> navy;
        for (QTextBlock b = viewDoc()->begin(); b.isValid(); b = b.next())
            for (const QTextLayout::FormatRange &r : b.layout()->formats()) {
                QCOMPARE(r.format.foreground().color(), QColor(0, 0, 128));
                navy.append({b.position() + r.start, r.length});
            }
        QVERIFY(viewDoc()->blockCount() > 100);
        QCOMPARE(navy, browser::findKeywords(QString(code).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))));
    }

    void codeLinesStayLeftToRight()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, QStringLiteral("' تعليق عربي\r\nDim x"),
                                         QStringLiteral("شرح عربي\r\nEnglish line"));
        openMain();
        showSnippet(s);
        QCOMPARE(viewDoc()->firstBlock().textDirection(), Qt::LeftToRight);
        showSnippet(s, false);
        QCOMPARE(viewDoc()->firstBlock().textDirection(), Qt::RightToLeft);
        QCOMPARE(viewDoc()->lastBlock().textDirection(), Qt::LeftToRight);
    }

    void showingAgainAfterTheViewWasClearedColoursAgain()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim x");
        openMain();
        showSnippet(s);
        main->RTxt1()->setTextRTF(QString());
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("Dim x"));
        main->RTxt1()->setText(QString());
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("Dim x"));
        QCOMPARE(colourAt(viewDoc(), 0), QColor(0, 0, 128));
        // An edited row shows its new text.
        store::Snippet row = *store::Library::snippet(s);
        row.code = QStringLiteral("Dim y");
        QVERIFY(store::Library::updateSnippet(row));
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("Dim y"));
    }

    void categoryOrRootEmptiesTheView()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim x");
        openMain();
        showSnippet(s);
        main->selectNode(store::categoryKey(c));
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->text(), QString());
        showSnippet(s);
        main->selectNode(store::RootKey);
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->text(), QString());
    }

    void tabsSwitchBetweenCodeAndComment()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim code", QStringLiteral("الشرح هنا"));
        openMain();
        QTabBar *tabs = main->TS1();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("الكـــــــــود"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("الشـــــــــرح"));
        QCOMPARE(tabs->tabText(0).count(QChar(0x0640)), 9);
        main->selectNode(store::snippetKey(s));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("الشرح هنا"));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("Dim code"));
        QCOMPARE(colourAt(viewDoc(), 0), QColor(0, 0, 128));
    }

    void nullFieldKeepsThePreviousView()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 shown = lib->addSnippet("shown", c, "Dim shown");
        lib->exec("INSERT INTO Code (Head, Groub, code, Learn) VALUES ('null', ?, NULL, NULL)", {c});
        openMain();
        showSnippet(shown);
        main->selectNode("T2");
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("Dim shown"));
    }

    void statusBarShowsDateAndCount()
    {
        const qint32 c = lib->addCategory("c");
        lib->addSnippet("a", c);
        lib->addSnippet("b", c);
        openMain();
        QCOMPARE(main->findChild<QLabel *>("panel3")->text(), QStringLiteral("العدد الكلي للأكواد:  2 كود"));
        QVERIFY(main->findChild<QLabel *>("panel1")->text().startsWith(QStringLiteral("تاريخ اليوم: ")));
        QVERIFY(!main->findChild<QLabel *>("panel2")->text().isEmpty());
    }

    // ---- commands ----
    void menusHaveTheirItems()
    {
        openMain();
        QCOMPARE(main->command("mnusaveas")->text(), QStringLiteral("حفظ باسم"));
        QCOMPARE(main->command("mnusaveas")->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(main->command("Add")->shortcut(), QKeySequence("Ctrl+Insert"));
        QCOMPARE(main->command("mnusearch")->text(), QStringLiteral("بحث..."));
        QCOMPARE(main->command("smnuabout")->text(), QStringLiteral("عن Tamrisk"));
        QCOMPARE(main->command("smnuhelp")->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(main->command("sp10")->isSeparator());
        QCOMPARE(main->menu("code")->title(), QStringLiteral("كود"));
        QCOMPARE(main->menu("code")->actions().size(), 7);
        QCOMPARE(main->menu("mnufile")->actions().size(), 7);
        QCOMPARE(main->windowTitle(), QStringLiteral("Tamrisk"));
    }

    void toolbarKeysRunTheirCommands()
    {
        openMain();
        const QList<QPair<QString, QString>> pairs = {
            {"InsertCode", "Add"},       {"EditCode", "edit"},         {"DelCode", "del"},
            {"save", "mnusaveas"},       {"print", "mnuprint"},        {"updat", "mnuUpDat"},
            {"SearchCode", "mnusearch"}, {"compactDb", "mnuCompDbas"}, {"Info", "smnuabout"},
        };
        QToolBar *bar = main->findChild<QToolBar *>("Tlbar");
        QCOMPARE(bar->actions().size(), 14);
        for (const auto &pair : pairs) {
            QSignalSpy spy(main->command(pair.second), &QAction::triggered);
            QAction *button = bar->findChild<QAction *>(pair.first);
            QVERIFY2(button, qPrintable(pair.first));
            button->trigger();
            QCOMPARE(spy.count(), 1);
        }
        QCOMPARE(bar->findChild<QAction *>("InsertCode")->toolTip(), QStringLiteral("إضافة كود جديد"));
        // Keys are compared exactly.
        QSignalSpy spy(main->command("Add"), &QAction::triggered);
        main->runToolbarKey("insertcode");
        QCOMPARE(spy.count(), 0);
    }

    void endProgAsksTheExitQuestion()
    {
        openMain();
        MessageBoxSeam::setNextAnswer(platform::mb::No);
        main->findChild<QToolBar *>("Tlbar")->findChild<QAction *>("EndProg")->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1);
        const auto box = MessageBoxSeam::last();
        QCOMPARE(box.prompt, ExitQuestion);
        QCOMPARE(box.title, QStringLiteral("رسالة تأكيد"));
        QCOMPARE(box.buttons(), platform::mb::YesNo);
        QCOMPARE(box.icon(), platform::mb::Question);
        QVERIFY(main->isVisible());
    }

    void copyNeedsASelectionAndCopyAllTakesEverything()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim x\r\nDim y");
        openMain();
        QVERIFY(!main->command("mnuCopy")->isEnabled());
        main->command("mnuCopyAll")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
        showSnippet(s);
        QTextCursor cursor(main->RTxt1()->document());
        cursor.setPosition(0);
        cursor.setPosition(3, QTextCursor::KeepAnchor);
        main->RTxt1()->setTextCursor(cursor);
        QVERIFY(main->command("mnuCopy")->isEnabled());
        main->command("mnuCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Dim"));
        main->command("mnuCopyAll")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Dim x\r\nDim y"));
        cursor.clearSelection();
        main->RTxt1()->setTextCursor(cursor);
        QVERIFY(!main->command("mnuCopy")->isEnabled());
    }

    void splitterNeverReachesTheEdges()
    {
        openMain();
        QWidget *bar = main->findChild<QWidget *>("picResize");
        const int width = main->centralWidget()->width();
        const int startX = bar->x();
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(2, 10));
        QCOMPARE(bar->palette().color(QPalette::Window), QColor(128, 128, 128));
        QMouseEvent farLeft(QEvent::MouseMove, QPointF(-startX, 10), bar->mapToGlobal(QPointF(-startX, 10)),
                            Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(bar, &farLeft);
        QVERIFY(platform::toTwipsX(bar->x()) > 100);
        QCOMPARE(bar->x(), startX); // the move was refused, the bar stays
        const int toRight = width - bar->x();
        QMouseEvent farRight(QEvent::MouseMove, QPointF(toRight, 10), bar->mapToGlobal(QPointF(toRight, 10)),
                             Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(bar, &farRight);
        QVERIFY(platform::toTwipsX(bar->x()) < platform::toTwipsX(width) - 100);
        QMouseEvent moveLeft(QEvent::MouseMove, QPointF(-100, 10), bar->mapToGlobal(QPointF(-100, 10)), Qt::NoButton,
                             Qt::LeftButton, {});
        QApplication::sendEvent(bar, &moveLeft);
        QCOMPARE(bar->x(), startX - 100);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(2, 10));
        QVERIFY(bar->palette().color(QPalette::Window) != QColor(128, 128, 128));
        QCOMPARE(main->splitterPos(), int(std::lround(platform::toTwipsX(startX - 100))));
        // The layout follows: the tree starts just right of the bar.
        QCOMPARE(main->TVCodeHead()->x(), platform::toPixelsX(main->splitterPos() + 25));
    }

    // ---- settings ----
    void firstStartUsesTheDefaults()
    {
        openMain();
        const QRect screen = main->screen()->geometry();
        QCOMPARE(main->width(), int(std::lround(screen.width() * 0.75)));
        QCOMPARE(main->height(), int(std::lround(screen.height() * 0.75)));
        QVERIFY(qAbs(main->x() - (screen.width() - main->width()) / 2) <= 1);
        QVERIFY(qAbs(main->y() - (screen.height() - main->height()) / 2) <= 1);
        QVERIFY(!main->isMaximized());
        const double expectedSplit = platform::toTwipsX(main->width()) * 0.75;
        QVERIFY(qAbs(main->splitterPos() - expectedSplit) < 20);
    }

    void maximizedRestartsMaximizedWithNormalGeometry()
    {
        openMain();
        main->resize(900, 600);
        main->move(40, 30);
        QCoreApplication::processEvents();
        main->showMaximized();
        QTRY_VERIFY(main->isMaximized());
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        QVERIFY(main->close());
        const QString app = browser::WindowSettings::appName();
        auto saved = [&app](const char *key) { return platform::getSetting(app, "FrmMain", key, "x").toDouble(); };
        QCOMPARE(platform::getSetting(app, "FrmMain", "WindowStat", "x"), QStringLiteral("2"));
        QCOMPARE(saved("Left"), std::round(platform::toTwipsX(40)));
        QCOMPARE(saved("Top"), std::round(platform::toTwipsY(30)));
        QCOMPARE(saved("Width"), std::round(platform::toTwipsX(900)));
        QCOMPARE(saved("Height"), std::round(platform::toTwipsY(600)));
        main.reset();
        openMain();
        QTRY_VERIFY(main->isMaximized());
        main->showNormal();
        QTRY_VERIFY(!main->isMaximized());
        QTRY_COMPARE(main->pos(), QPoint(40, 30));
        QCOMPARE(main->size(), QSize(900, 600));
    }

    void minimizedSavesStateZero()
    {
        openMain();
        main->resize(800, 500);
        main->move(60, 50);
        QCoreApplication::processEvents();
        main->showMinimized();
        QTRY_VERIFY(main->isMinimized());
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        QVERIFY(main->close());
        const QString app = browser::WindowSettings::appName();
        auto saved = [&app](const char *key) { return platform::getSetting(app, "FrmMain", key, "x").toDouble(); };
        QCOMPARE(platform::getSetting(app, "FrmMain", "WindowStat", "x"), QStringLiteral("0"));
        QCOMPARE(saved("Left"), std::round(platform::toTwipsX(60)));
        QCOMPARE(saved("Top"), std::round(platform::toTwipsY(50)));
        QCOMPARE(saved("Width"), std::round(platform::toTwipsX(800)));
        QCOMPARE(saved("Height"), std::round(platform::toTwipsY(500)));
    }

    void noToTheExitQuestionKeepsEverything()
    {
        openMain();
        MessageBoxSeam::setNextAnswer(platform::mb::No);
        QVERIFY(!main->close());
        QVERIFY(main->isVisible());
        QCOMPARE(platform::getSetting(browser::WindowSettings::appName(), "FrmMain", "WindowStat", "absent"),
                 QStringLiteral("absent"));
        QCOMPARE(MessageBoxSeam::last().prompt, ExitQuestion);
    }
};

TAMRISK_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
