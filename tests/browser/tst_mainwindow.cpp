#include "MainWindowFixture.h"

#include "browser/Commands.h"
#include "browser/CountText.h"
#include "browser/FrmMain.h"
#include "browser/Keywords.h"
#include "browser/MainLayout.h"
#include "browser/WindowSettings.h"
#include "platform/RichTextBox.h"
#include "platform/Settings.h"
#include "platform/Twips.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <cmath>
#include <stdexcept>

#include <QAccessible>
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
#include <QAccessible>
#include <QCollator>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTreeView>

using browser::FrmMain;
using platform::MessageBoxSeam;

using testing::colourAt;

namespace {

QStringList childTexts(const QModelIndex &node)
{
    QStringList texts;
    for (int i = 0; i < node.model()->rowCount(node); ++i)
        texts.append(node.model()->index(i, 0, node).data().toString());
    return texts;
}

const QString ExitQuestion = QStringLiteral("هل تريد إنهاء البرنامج؟") + QString(30, QLatin1Char(' '));

} // namespace

class TestMainWindow : public QObject, public testing::MainWindowFixture
{
    Q_OBJECT
private:
    QTreeView *tree() const { return main->TVCodeHead(); }
    bool expanded(const QString &key) const { return tree()->isExpanded(main->node(key)); }

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
        QTreeView *tree = main->TVCodeHead();
        QCOMPARE(tree->model()->rowCount(), 1);
        const QModelIndex root = tree->model()->index(0, 0);
        QCOMPARE(root.data().toString(), QStringLiteral("أكواد"));
        QCOMPARE(FrmMain::keyOf(root), QStringLiteral("M1"));
        QCOMPARE(tree->model()->rowCount(root), 0);
        QVERIFY(tree->isExpanded(root));
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
        const QModelIndex root = main->node(store::RootKey);
        QCOMPARE(tree()->model()->rowCount(root), 3);
        QStringList latin = childTexts(root).mid(0);
        QVERIFY(latin.indexOf("alpha") < latin.indexOf("Zeta"));
        QCOMPARE(childTexts(main->node(store::categoryKey(a))), QStringList({"a", "B", "c"}));
        QCOMPARE(FrmMain::keyOf(tree()->model()->index(0, 0, main->node(store::categoryKey(a)))), QStringLiteral("T3"));
        QCOMPARE(childTexts(main->node(store::categoryKey(ar))), QStringList({QStringLiteral("ملف")}));
    }

    void userSnippetsAreBlue()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 mine = lib->addSnippet("mine", c, "", "", true);
        const qint32 theirs = lib->addSnippet("theirs", c, "", "", false);
        const qint32 nul = lib->addSnippet("null", c, "", "", QVariant());
        openMain();
        QVERIFY(FrmMain::isUserNode(main->node(store::snippetKey(mine))));
        QCOMPARE(main->node(store::snippetKey(mine)).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(0, 0, 255));
        QVERIFY(!FrmMain::isUserNode(main->node(store::snippetKey(theirs))));
        QVERIFY(!FrmMain::isUserNode(main->node(store::snippetKey(nul))));
    }

    // Snippets whose category is missing or Null are gathered under a node of their own, so the tree
    // shows every snippet the status bar counts.
    void orphanSnippetsAreShownUnderTheirOwnNode()
    {
        const qint32 c = lib->addCategory("c");
        lib->addSnippet("before", c);
        const qint32 missing = lib->addSnippet("orphan", 999);
        lib->addSnippet("no category", QVariant());
        lib->exec("INSERT INTO Code (Head, Groub, code, User) VALUES ('text category', 'x', '', 1)");
        lib->addSnippet("after", c);
        openMain();
        QCOMPARE(childTexts(main->node(store::categoryKey(c))), QStringList({"after", "before"}));
        const QModelIndex orphans = main->node(store::UncategorisedKey);
        QVERIFY(orphans.isValid());
        QCOMPARE(orphans.parent(), main->node(store::RootKey));
        QCOMPARE(orphans.data().toString(), store::UncategorisedCaption);
        QCOMPARE(childTexts(orphans), QStringList({"no category", "orphan", "text category"}));
        QCOMPARE(main->node(store::snippetKey(missing)).parent(), orphans);
        QVERIFY(FrmMain::isUserNode(tree()->model()->index(2, 0, orphans)));
        // It has no row to rename, and by its key no command takes it for a category.
        QVERIFY(!(orphans.flags() & Qt::ItemIsEditable));
        QCOMPARE(store::nodeKind(store::UncategorisedKey), store::NodeKind::Root);
        QVERIFY(expanded(store::RootKey));

        qsizetype snippetNodes = 0;
        for (const QModelIndex &node : testing::treeNodes(tree()->model()))
            snippetNodes += store::nodeKind(FrmMain::keyOf(node)) == store::NodeKind::Snippet;
        QCOMPARE(snippetNodes, 5);
        QCOMPARE(main->findChild<QLabel *>("panel3")->text(), browser::countText(snippetNodes));

        // Once they have a category again the node goes.
        lib->exec("UPDATE Code SET Groub = ?", {c});
        main->rebuildTree();
        QVERIFY(!main->node(store::UncategorisedKey).isValid());
        QCOMPARE(tree()->model()->rowCount(main->node(store::categoryKey(c))), 5);
    }

    // The tree made row by row from the view's requests gives the nodes that sorting every category's
    // rows with the collator gives: same keys, same texts, same order, ties by id.
    void lazyTreeMatchesSortingEveryRow()
    {
        const QStringList words = {QStringLiteral("برنامج"),
                                   QStringLiteral("ملف"),
                                   QStringLiteral("أداة"),
                                   QStringLiteral("إضافة"),
                                   "alpha",
                                   "Alpha",
                                   "beta",
                                   "Beta",
                                   "file10",
                                   "file9",
                                   "Zeta",
                                   "_x",
                                   "1st",
                                   QString()};
        QList<qint32> categories;
        testing::library().transaction([&] {
            for (int i = 0; i < 12; ++i)
                categories.append(lib->addCategory(i == 5 ? QVariant() : QVariant(words.at((i * 7) % words.size()))));
            quint32 seed = 7;
            const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
            for (int i = 0; i < 3000; ++i) {
                QString head = words.at(next() % words.size()) + QLatin1Char(' ') + words.at(next() % words.size());
                const QVariant groub = next() % 50 == 0 ? QVariant(4242) : QVariant(categories.at(next() % 12));
                lib->exec("INSERT INTO Code (Head, Groub, code, User) VALUES (?, ?, '', ?)",
                          {next() % 40 == 0 ? QVariant() : QVariant(head), groub, int(next() % 2)});
            }
        });
        openMain();
        main->command("mnuOpenTree")->trigger();

        QCollator collator(QLocale(QLocale::Arabic));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        struct Node {
            QString key, text;
            qint32 id;
        };
        const auto sorted = [&](QList<Node> nodes) {
            std::stable_sort(nodes.begin(), nodes.end(), [&](const Node &a, const Node &b) {
                const int c = collator.compare(a.text, b.text);
                return c != 0 ? c < 0 : a.id < b.id;
            });
            return nodes;
        };
        QList<Node> categoryNodes;
        QHash<QString, QList<Node>> children;
        for (const store::Category &c : testing::library().categories())
            categoryNodes.append({store::categoryKey(c.id), c.caption.toString(), c.id});
        categoryNodes.append({store::UncategorisedKey, store::UncategorisedCaption, 0});
        for (const store::SnippetSummary &s : testing::library().snippetSummaries()) {
            const QString parent = categories.contains(s.groub.toInt()) ? store::categoryKey(s.groub.toInt())
                                                                        : store::UncategorisedKey;
            children[parent].append({store::snippetKey(s.id), s.head.toString(), s.id});
        }
        QStringList expected{QStringLiteral("M1|أكواد")};
        for (const Node &c : sorted(categoryNodes)) {
            expected.append(c.key + QLatin1Char('|') + c.text);
            for (const Node &s : sorted(children.value(c.key)))
                expected.append(s.key + QLatin1Char('|') + s.text);
        }
        QStringList shown;
        for (const QModelIndex &node : testing::treeNodes(tree()->model())) {
            shown.append(FrmMain::keyOf(node) + QLatin1Char('|') + node.data().toString());
            QCOMPARE(main->node(FrmMain::keyOf(node)), node); // found again by its key
        }
        QCOMPARE(shown.size(), 3000 + 13 + 1);
        QCOMPARE(shown, expected);
    }

    // A node selected by key (the find dialog's go-to) is scrolled into the middle, not to an edge.
    void selectedNodeIsScrolledToTheMiddle()
    {
        const qint32 c = lib->addCategory("c");
        testing::library().transaction([&] {
            for (int i = 0; i < 300; ++i)
                lib->exec("INSERT INTO Code (Head, Groub, code, User) VALUES (?, ?, '', 0)",
                          {QStringLiteral("s%1").arg(i, 3, 10, QLatin1Char('0')), c});
        });
        openMain();
        const QString key = FrmMain::keyOf(tree()->model()->index(200, 0, main->node(store::categoryKey(c))));
        main->selectNode(key);
        QCOMPARE(main->selectedKey(), key);
        const QRect row = tree()->visualRect(main->node(key));
        QVERIFY(row.isValid());
        QVERIFY(std::abs(row.center().y() - tree()->viewport()->height() / 2) <= row.height());
    }

    // A user snippet is marked only by its colour on screen; a screen reader is told in words.
    void userSnippetsSayItToScreenReaders()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 mine = lib->addSnippet("mine", c, "", "", true);
        const qint32 theirs = lib->addSnippet("theirs", c, "", "", false);
        openMain();
        main->command("mnuOpenTree")->trigger();
        QAccessibleInterface *treeAccess = QAccessible::queryAccessibleInterface(tree());
        QVERIFY(treeAccess);
        QHash<QString, QString> descriptions;
        for (int i = 0; i < treeAccess->childCount(); ++i) {
            QAccessibleInterface *child = treeAccess->child(i);
            QVERIFY(child);
            // The hidden header is not announced as a column named "1".
            QVERIFY(child->text(QAccessible::Name) != QLatin1String("1"));
            if (child->role() == QAccessible::TreeItem)
                descriptions.insert(child->text(QAccessible::Name), child->text(QAccessible::Description));
        }
        QCOMPARE(descriptions.value("mine"), QStringLiteral("كود مستخدم"));
        QCOMPARE(descriptions.value("theirs"), QString());
        QVERIFY(descriptions.contains("theirs"));
        // Marking follows: the description goes with the colour.
        main->setUserNode(store::snippetKey(mine), false);
        main->setUserNode(store::snippetKey(theirs), true);
        QCOMPARE(main->node(store::snippetKey(mine)).data(Qt::AccessibleDescriptionRole).toString(), QString());
        QCOMPARE(main->node(store::snippetKey(theirs)).data(Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("كود مستخدم"));
    }

    void fortyThousandSnippetsLoad()
    {
        const qint32 c = lib->addCategory("c");
        testing::library().transaction([&] {
            for (int i = 0; i < 40000; ++i)
                lib->exec("INSERT INTO Code (Head, Groub, code, User) VALUES (?, ?, '', 0)",
                          {QStringLiteral("s%1").arg(i, 5, 10, QLatin1Char('0')), c});
        });
        openMain();
        const QModelIndex category = main->node(store::categoryKey(c));
        QCOMPARE(tree()->model()->rowCount(category), 40000);
        QCOMPARE(tree()->model()->index(39999, 0, category).data().toString(), QStringLiteral("s39999"));
    }

    void renameInPlaceWritesTheRow()
    {
        const qint32 c = lib->addCategory("old category");
        const qint32 s = lib->addSnippet("old title", c);
        const qint32 other = lib->addSnippet("other", c);
        openMain();
        QAbstractItemModel *model = tree()->model();
        model->setData(main->node(store::snippetKey(s)), "new title");
        QCOMPARE(testing::library().snippet(s)->head.toString(), QStringLiteral("new title"));
        QCOMPARE(testing::library().snippet(other)->head.toString(), QStringLiteral("other"));
        QCOMPARE(main->node(store::snippetKey(s)).data().toString(), QStringLiteral("new title"));
        model->setData(main->node(store::categoryKey(c)), "new category");
        QCOMPARE(testing::library().categories().first().caption.toString(), QStringLiteral("new category"));
        model->setData(main->node(store::RootKey), "root renamed");
        QCOMPARE(main->node(store::RootKey).data().toString(), QStringLiteral("root renamed"));
        QCOMPARE(testing::library().categoryCount(), 1);
        QCOMPARE(testing::library().snippetCount(), 2);
    }

    void renameThroughTheEditor()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("before", c);
        openMain();
        QTreeView *tree = main->TVCodeHead();
        main->selectNode(store::snippetKey(s));
        tree->setFocus();
        tree->edit(main->node(store::snippetKey(s)));
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = tree->findChild<QLineEdit *>()) && editor->isVisible());
        editor->selectAll();
        editor->insert(QStringLiteral("بعد"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(testing::library().snippet(s)->head.toString(), QStringLiteral("بعد"));
    }

    void collapseLeavesRootExpandedAndViewEmpty()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim x");
        openMain();
        main->command("mnuOpenTree")->trigger();
        QVERIFY(expanded(store::categoryKey(c)));
        showSnippet(s);
        QVERIFY(!main->RTxt1()->text().isEmpty());
        main->command("mnuCloseTree")->trigger();
        QVERIFY(expanded(store::RootKey));
        QVERIFY(!expanded(store::categoryKey(c)));
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
        QTreeView *tree = main->TVCodeHead();
        const QRect rect = tree->visualRect(main->node("T1"));
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
        QTreeView *tree = main->TVCodeHead();
        main->selectNode(store::categoryKey(c));
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Left);
        QVERIFY(expanded(store::categoryKey(c)));
        QTest::keyClick(tree, Qt::Key_Right);
        QVERIFY(!expanded(store::categoryKey(c)));
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
        // Fixed pitch as drawn (a face may not say so of itself).
        const QFontMetricsF metrics(font);
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
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

    // A line that starts with an Arabic comment, inside a block of several lines, as the
    // starter snippet has it: the comment mark stays at the left, before the Arabic words.
    void codeLineWithArabicCommentIsDrawnLeftToRight()
    {
        const QString comment = QStringLiteral("' استخدم الاتصال هنا");
        const QString code = QStringLiteral("Dim cn As New ADODB.Connection\r\n"
                                            "cn.Open \"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\" & App.Path & "
                                            "\"\\data.mdb\"\r\n")
                             + comment + QStringLiteral("\r\ncn.Close\r\nSet cn = Nothing");
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, code);
        openMain();
        showSnippet(s);
        const int mark = int(viewDoc()->toPlainText().indexOf(comment));
        QVERIFY(mark > 0);
        const QTextBlock block = viewDoc()->findBlock(mark);
        QTextLayout *layout = block.layout();
        QTRY_VERIFY(layout->lineCount() > 0);
        const int at = mark - block.position();
        const QTextLine line = layout->lineForTextPosition(at);
        QVERIFY(line.isValid());
        const qreal markX = line.cursorToX(at);
        for (int i = 2; i < comment.size(); ++i)
            QVERIFY2(markX < line.cursorToX(at + i), qPrintable(QString::number(i)));
        // What is copied is the code itself, without any mark added for the drawing.
        QCOMPARE(main->RTxt1()->text(), code);
    }

    // Arabic is drawn by an Arabic text face, not by the fixed-pitch face that draws the code.
    void arabicLettersComeFromAnArabicFace()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, QStringLiteral("' بيانات\r\nDim x"), QStringLiteral("شرح البيانات"));
        openMain();
        for (bool codeTab : {true, false}) {
            showSnippet(s, codeTab);
            const int at = int(viewDoc()->toPlainText().indexOf(QStringLiteral("بيانات")));
            QVERIFY(at >= 0);
            const QTextBlock block = viewDoc()->findBlock(at);
            QTRY_VERIFY(block.layout()->lineCount() > 0);
            const QList<QGlyphRun> runs = block.layout()->glyphRuns(at - block.position(), 6);
            QVERIFY(!runs.isEmpty());
            for (const QGlyphRun &run : runs) {
                const QString family = run.rawFont().familyName();
                QVERIFY2(!QFontDatabase::isFixedPitch(family), qPrintable(family));
                QVERIFY2(family.contains(QStringLiteral("Arabic")), qPrintable(family));
            }
        }
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
        store::Snippet row = *testing::library().snippet(s);
        row.code = QStringLiteral("Dim y");
        QVERIFY(testing::library().updateSnippet(row));
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

    void tabChangedByKeyboardShowsTheOtherField()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("s", c, "Dim code", QStringLiteral("الشرح هنا"));
        openMain();
        showSnippet(s);
        QTabBar *tabs = main->TS1();
        tabs->setFocus();
        QTRY_VERIFY(tabs->hasFocus());
        QTest::keyClick(tabs, Qt::Key_Left); // the strip is mirrored: left goes to the second tab
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("الشرح هنا"));
        QTest::keyClick(tabs, Qt::Key_Right);
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("Dim code"));
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
    void dateIsWholeAtTheSmallestWindow()
    {
        openMain();
        main->resize(100, 100);
        QLabel *date = main->findChild<QLabel *>("panel1");
        QTRY_VERIFY(main->width() <= main->minimumWidth() + 1);
        QTRY_VERIFY(date->width() >= date->sizeHint().width());
        QVERIFY(date->x() >= 0 && date->x() + date->width() <= main->width());
    }

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
        QCOMPARE(main->menu("mnufile")->actions().size(), 13); // with the import and the two copy commands
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

    void aCommandThatThrowsShowsTheErrorAndTheWindowGoesOn()
    {
        const qint32 c = lib->addCategory("c");
        lib->addSnippet("s", c);
        int runs = 0;
        openMain([&runs](FrmMain &m) {
            m.onCommand(browser::cmd::Add, [&runs](FrmMain &) {
                if (++runs == 1)
                    throw platform::Error(QStringLiteral("تعذر الأمر لسبب يعرفه."));
                throw std::runtime_error("vector index out of range");
            });
        });
        const auto expectError = [](const QString &prompt) {
            const auto box = MessageBoxSeam::last();
            QCOMPARE(box.prompt, prompt);
            QCOMPARE(box.title, QStringLiteral("رسالة خطأ"));
            QCOMPARE(box.buttons(), platform::mb::OkOnly);
            QCOMPARE(box.icon(), platform::mb::Critical);
            QVERIFY(box.arabic());
        };
        main->command(browser::cmd::Add)->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1);
        expectError(QStringLiteral("تعذر الأمر لسبب يعرفه."));

        // A fault of the program: the user is told in Arabic, standard error gets the details.
        QTest::ignoreMessage(QtWarningMsg, "Unexpected error: vector index out of range");
        main->runToolbarKey(QStringLiteral("InsertCode"));
        QCOMPARE(MessageBoxSeam::count(), 2);
        expectError(QStringLiteral("حدث خطأ غير متوقع، فلم تتم العملية."));

        QVERIFY(main->isVisible());
        main->command(browser::cmd::mnuOpenTree)->trigger();
        QVERIFY(expanded(store::categoryKey(c)));
        QCOMPARE(runs, 2);
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
        QCOMPARE(main->TVCodeHead()->x(), bar->x() + bar->width());
        QCOMPARE(bar->width(), platform::toPixelsX(browser::MainLayout::BarWidthTwips));
    }

    void splitterKeepsItsProportionAndTheWindowItsMinimum()
    {
        openMain();
        main->resize(1000, 600);
        QTRY_COMPARE(main->centralWidget()->width(), 1000);
        const double share = main->splitterPos() / platform::toTwipsX(1000);
        main->resize(700, 500);
        QTRY_COMPARE(main->centralWidget()->width(), 700);
        QVERIFY(qAbs(main->splitterPos() - share * platform::toTwipsX(700)) <= 1);
        main->resize(100, 100);
        QTRY_VERIFY(main->width() >= platform::toPixelsX(browser::MainLayout::MinWindowWidthTwips));
        QVERIFY(main->TVCodeHead()->width() > 0 && main->RTxt1()->width() > 0);
        QVERIFY(main->TVCodeHead()->x() >= main->RTxt1()->x() + main->RTxt1()->width());
    }

    void screenReadersGetNamesAndNoHelpers()
    {
        openMain();
        QAccessibleInterface *toolbar = QAccessible::queryAccessibleInterface(main->findChild<QToolBar *>("Tlbar"));
        QCOMPARE(toolbar->role(), QAccessible::ToolBar);
        QCOMPARE(toolbar->text(QAccessible::Name), QStringLiteral("شريط الأدوات"));
        for (int i = 0; i < toolbar->childCount(); ++i)
            QVERIFY(toolbar->child(i)->object()->objectName() != QLatin1String("qt_toolbar_ext_button"));

        QWidget *bar = main->findChild<QWidget *>("picResize");
        QAccessibleInterface *separator = QAccessible::queryAccessibleInterface(bar);
        QCOMPARE(separator->role(), QAccessible::Separator);
        QCOMPARE(separator->text(QAccessible::Name), QStringLiteral("فاصل بين الكود وشجرة الأكواد"));
        QVERIFY(separator->state().focusable);
        QAccessibleValueInterface *value = separator->valueInterface();
        QVERIFY(value);
        const int before = value->currentValue().toInt();
        const int split = main->splitterPos();
        bar->setFocus();
        QTRY_VERIFY(bar->hasFocus());
        QTest::keyClick(bar, Qt::Key_Left);
        QVERIFY(main->splitterPos() < split);
        QVERIFY(value->currentValue().toInt() < before);
        QCOMPARE(main->TVCodeHead()->x(), bar->x() + bar->width());

        QAccessibleInterface *central = QAccessible::queryAccessibleInterface(main->centralWidget());
        QCOMPARE(central->indexOfChild(QAccessible::queryAccessibleInterface(main->findChild<QWidget *>("rtfhid"))),
                 -1);
        QVERIFY(central->indexOfChild(separator) >= 0);
        QCOMPARE(QAccessible::queryAccessibleInterface(main->findChild<QLabel *>("panel2"))->text(QAccessible::Name),
                 QStringLiteral("الساعة"));

        // The tab list has its own name whichever tab is current; its current tab has the focus
        // only when the list has it; the view is named after the tab it shows.
        QAccessibleInterface *tabs = QAccessible::queryAccessibleInterface(main->TS1());
        QCOMPARE(tabs->role(), QAccessible::PageTabList);
        QCOMPARE(tabs->childCount(), 2);
        QAccessibleInterface *codeTab = tabs->child(0);
        QCOMPARE(codeTab->role(), QAccessible::PageTab);
        QCOMPARE(codeTab->text(QAccessible::Name), main->TS1()->tabText(0));
        QCOMPARE(tabs->indexOfChild(codeTab), 0);
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(main->RTxt1());
        for (int tab : {1, 0}) {
            main->TS1()->setCurrentIndex(tab);
            QCOMPARE(tabs->text(QAccessible::Name), QStringLiteral("الكود والشرح"));
            QCOMPARE(view->text(QAccessible::Name), main->TS1()->tabText(tab));
        }
        main->TVCodeHead()->setFocus();
        QTRY_VERIFY(main->TVCodeHead()->hasFocus());
        QVERIFY(codeTab->state().selected);
        QVERIFY(!codeTab->state().focused);
        main->TS1()->setFocus();
        QTRY_VERIFY(main->TS1()->hasFocus());
        QVERIFY(codeTab->state().focused);
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

    void normalGeometryRoundTrips()
    {
        openMain();
        main->resize(820, 540);
        main->move(70, 45);
        QTRY_COMPARE(main->frameGeometry().topLeft(), QPoint(70, 45));
        const QRect frame = main->frameGeometry();
        const QRect inner = main->geometry();
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        QVERIFY(main->close());
        main.reset();
        openMain();
        QTRY_COMPARE(main->frameGeometry(), frame);
        QCOMPARE(main->geometry(), inner);
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
