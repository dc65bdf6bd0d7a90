#include "TestSupport.h"

#include "browser/FrmMain.h"
#include "platform/RichTextBox.h"
#include "platform/Twips.h"
#include "search/FoundWords.h"
#include "search/FrmFind.h"
#include "search/SearchCommands.h"
#include "store/Library.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTabBar>
#include <QTreeView>

using namespace search;
using platform::MessageBoxSeam;

namespace {

const QString kEmptyWordPrompt = QStringLiteral(
    "يجب أن تكتب الكلمة التي تبحث عنها في مربع كلمة البحث قبل\r\n بدء عملية البحث...");

template <typename T>
T *child(const char *name)
{
    FrmFind *dialog = FrmFind::instance();
    return dialog ? dialog->findChild<T *>(QLatin1String(name)) : nullptr;
}

QListWidget *list() { return child<QListWidget>("LstFind"); }

QStringList lines()
{
    QStringList result;
    for (int i = 0; i < list()->count(); ++i)
        result.append(list()->item(i)->text());
    return result;
}

void closeDialog()
{
    if (FrmFind *dialog = FrmFind::instance())
        dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestFrmFind : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::TempLibrary> lib;
    std::unique_ptr<browser::FrmMain> main;
    qint32 group = 0;

    void openMain()
    {
        main = std::make_unique<browser::FrmMain>(testing::library());
        main->load();
        search::installCommands(*main);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    }

    FrmFind *openFind()
    {
        main->command(QStringLiteral("mnusearch"))->trigger();
        return FrmFind::instance();
    }

    void search(const QString &word, bool caption, bool code, bool learn)
    {
        child<QLineEdit>("TxtFind")->setText(word);
        child<QCheckBox>("ChCaption")->setChecked(caption);
        child<QCheckBox>("ChCode")->setChecked(code);
        child<QCheckBox>("ChLearn")->setChecked(learn);
        QTest::mouseClick(child<QPushButton>("CmdFind"), Qt::LeftButton);
        QTRY_VERIFY(!FrmFind::instance()->isSearching());
    }

    QString caption() { return child<QLabel>("Label2")->text(); }

private slots:
    void init()
    {
        testing::resetSeams();
        lib = std::make_unique<testing::TempLibrary>();
        group = lib->addCategory(QStringLiteral("فئة"));
    }

    void cleanup()
    {
        closeDialog();
        main.reset();
        lib.reset();
    }

    // Bidi controls in a title or category name are shown by name in the tree and the find list,
    // so "abc<RLO>gpj.exe" cannot pass for "abcexe.jpg"; renaming starts from the stored text.
    void bidiControlsAreShownByName()
    {
        const qint32 g = lib->addCategory(QStringLiteral("x\u2067y"));
        lib->addSnippet(QStringLiteral("abc\u202Egpj.exe"), g, QStringLiteral("code"));
        openMain();
        QAbstractItemModel *model = main->TVCodeHead()->model();
        const QModelIndex root = model->index(0, 0);
        QModelIndex category;
        for (int i = 0; i < model->rowCount(root); ++i)
            if (model->index(i, 0, root).data().toString() == QStringLiteral("x[RLI]y"))
                category = model->index(i, 0, root);
        QVERIFY(category.isValid());
        QCOMPARE(category.data(Qt::EditRole).toString(), QStringLiteral("x\u2067y"));
        if (model->canFetchMore(category))
            model->fetchMore(category);
        const QModelIndex snippet = model->index(0, 0, category);
        QCOMPARE(snippet.data().toString(), QStringLiteral("abc[RLO]gpj.exe"));
        QCOMPARE(snippet.data(Qt::EditRole).toString(), QStringLiteral("abc\u202Egpj.exe"));
        openFind();
        search(QStringLiteral("abc"), true, false, false);
        QCOMPARE(lines(), QStringList{QStringLiteral("abc[RLO]gpj.exe")});
    }

    void opensModelessOnTopWithEveryControl()
    {
        openMain();
        FrmFind *dialog = openFind();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->objectName(), QStringLiteral("frmFind"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("بحث"));
        QVERIFY(!dialog->parentWidget());
        QVERIFY(!dialog->isModal());
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(dialog->windowType(), Qt::Tool);
        // Its designed width; taller than designed, so that eight result lines show without resizing.
        QCOMPARE(dialog->width(), platform::twipsSize(3735, 4725).width());
        QVERIFY(dialog->height() >= platform::twipsSize(3735, 4725).height());
        {
            auto *list = child<QListWidget>("LstFind");
            for (int i = 0; i < 10; ++i)
                list->addItem(QStringLiteral("عنوان طويل جداً يتجاوز عرض القائمة كلها بكثير %1").arg(i));
            QTRY_VERIFY(list->horizontalScrollBar()->isVisible());
            QVERIFY(list->visualItemRect(list->item(7)).bottom() < list->viewport()->height());
            list->clear();
        }
        const QRect screen = dialog->screen()->geometry();
        // Centred from the client size: the outer window's corner is placed, the frame is not counted.
        QCOMPARE(dialog->frameGeometry().x(), screen.x() + (screen.width() - dialog->width()) / 2);
        QCOMPARE(dialog->frameGeometry().y(), screen.y() + (screen.height() - dialog->height()) / 2);

        QCOMPARE(child<QLabel>("Label1")->text(), QStringLiteral("كلمة البحث:"));
        QCOMPARE(child<QGroupBox>("Frame1")->title(), QStringLiteral("البحث في:"));
        QCOMPARE(child<QCheckBox>("ChCaption")->text(), QStringLiteral("عناوين الأكواد"));
        QCOMPARE(child<QCheckBox>("ChCode")->text(), QStringLiteral("الأكواد"));
        QCOMPARE(child<QCheckBox>("ChLearn")->text(), QStringLiteral("الشرح"));
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث:"));
        QCOMPARE(child<QPushButton>("CmdFind")->text(), QStringLiteral("بحث"));
        QCOMPARE(child<QPushButton>("CmdClose")->text(), QStringLiteral("إغلاق"));
        for (const char *box : {"ChCaption", "ChCode", "ChLearn"}) {
            QVERIFY(!child<QCheckBox>(box)->isChecked());
            QCOMPARE(child<QCheckBox>(box)->accessibleName(), child<QCheckBox>(box)->text());
        }
        QCOMPARE(child<QLineEdit>("TxtFind")->accessibleName(), QStringLiteral("كلمة البحث:"));
        QVERIFY(child<QLineEdit>("TxtFind")->text().isEmpty());
        QCOMPARE(list()->count(), 0);
        QVERIFY(!list()->isSortingEnabled());
        QVERIFY(child<QPushButton>("CmdFind")->isDefault());
        QVERIFY(child<QPushButton>("CmdFind")->isFlat());
        QVERIFY(child<QPushButton>("CmdClose")->isFlat());
    }

    void toolbarButtonOpensTheSameDialog()
    {
        openMain();
        main->runToolbarKey(QStringLiteral("SearchCode"));
        FrmFind *dialog = FrmFind::instance();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        main->runToolbarKey(QStringLiteral("SearchCode"));
        QCOMPARE(FrmFind::instance(), dialog);
    }

    void secondOpenKeepsWordBoxesAndResults()
    {
        lib->addSnippet("Quokka one", group);
        lib->addSnippet("Quokka two", group);
        openMain();
        FrmFind *dialog = openFind();
        search("quokka", true, false, true);
        dialog->hide();
        QCOMPARE(openFind(), dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(child<QLineEdit>("TxtFind")->text(), QStringLiteral("quokka"));
        QVERIFY(child<QCheckBox>("ChCaption")->isChecked());
        QVERIFY(!child<QCheckBox>("ChCode")->isChecked());
        QVERIFY(child<QCheckBox>("ChLearn")->isChecked());
        QCOMPARE(lines(), (QStringList{"Quokka one", "Quokka two"}));
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث: 2عنصر/عناصر"));
    }

    void closingUnloadsAndRepaintsTheTabStrip()
    {
        lib->addSnippet("Quokka", group);
        openMain();
        openFind();
        search("quokka", true, false, false);
        PaintCounter counter;
        main->TS1()->installEventFilter(&counter);
        QTest::mouseClick(child<QPushButton>("CmdClose"), Qt::LeftButton);
        QVERIFY(!FrmFind::instance());
        QTRY_VERIFY(counter.paints > 0);
        main->TS1()->removeEventFilter(&counter);

        openFind();
        QVERIFY(child<QLineEdit>("TxtFind")->text().isEmpty());
        QVERIFY(!child<QCheckBox>("ChCaption")->isChecked());
        QCOMPARE(list()->count(), 0);
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث:"));
    }

    void enterSearchesAndEscapeCloses()
    {
        const qint32 id = lib->addSnippet("Sub Main", group, "Dim s As String");
        openMain();
        FrmFind *dialog = openFind();
        dialog->activateWindow();
        QLineEdit *word = child<QLineEdit>("TxtFind");
        child<QCheckBox>("ChCode")->setChecked(true);
        word->setFocus();
        QTest::keyClicks(word, QStringLiteral("DIM"));
        QTest::keyClick(word, Qt::Key_Return);
        QTRY_COMPARE(lines(), QStringList{"Sub Main"});
        QCOMPARE(dialog->ResultKeys(), QStringList{QStringLiteral("T%1").arg(id)});
        QTest::keyClick(word, Qt::Key_Escape);
        QTRY_VERIFY(!FrmFind::instance());
    }

    void titleAndCodeHitGivesOneLine()
    {
        lib->addSnippet("Read file", group, "Open f For Input");
        const qint32 id = lib->addSnippet("Open file", group, "Open f For Output", "open");
        openMain();
        openFind();
        search("OPEN f", true, true, false);
        QCOMPARE(lines(), (QStringList{"Read file", "Open file"}));
        search("open file", true, true, true);
        QCOMPARE(lines(), QStringList{"Open file"});
        QCOMPARE(FrmFind::instance()->ResultKeys(), QStringList{QStringLiteral("T%1").arg(id)});
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث:") + QStringLiteral(" 1") + QStringLiteral("عنصر/عناصر"));
    }

    void noBoxCheckedGivesNothing()
    {
        lib->addSnippet("word", group, "word", "word");
        openMain();
        openFind();
        search("word", false, false, false);
        QCOMPARE(list()->count(), 0);
        QVERIFY(FrmFind::instance()->ResultKeys().isEmpty());
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث: 0عنصر/عناصر"));
    }

    void emptyWordKeepsThePreviousResults()
    {
        lib->addSnippet("Quokka", group);
        openMain();
        openFind();
        search("quokka", true, false, false);
        const QStringList keys = FrmFind::instance()->ResultKeys();
        const int extent = FrmFind::instance()->horizontalExtent();
        MessageBoxSeam::clear();
        child<QLineEdit>("TxtFind")->clear();
        QTest::mouseClick(child<QPushButton>("CmdFind"), Qt::LeftButton);
        QCOMPARE(MessageBoxSeam::count(), 1);
        const auto box = MessageBoxSeam::last();
        QCOMPARE(box.prompt, kEmptyWordPrompt);
        QCOMPARE(box.title, QStringLiteral("رسالة خطأ"));
        QCOMPARE(box.buttons(), 0);
        QCOMPARE(box.icon(), 16);
        QVERIFY(box.arabic());
        QVERIFY(!FrmFind::instance()->isSearching());
        QCOMPARE(lines(), QStringList{"Quokka"});
        QCOMPARE(FrmFind::instance()->ResultKeys(), keys);
        QCOMPARE(FrmFind::instance()->horizontalExtent(), extent);
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث: 1عنصر/عناصر"));
    }

    void blanksAreSearchedAsTyped()
    {
        lib->addSnippet("EndSub", group);
        lib->addSnippet("End Sub", group);
        openMain();
        openFind();
        search(" ", true, false, false);
        QCOMPARE(MessageBoxSeam::count(), 0);
        QCOMPARE(lines(), QStringList{"End Sub"});
    }

    void nullCommentIsNotMatchedAfterACommentHit()
    {
        lib->addSnippet("first", group, "x", "the word");
        const qint32 nullLearn = lib->addSnippet("second", group, "x");
        lib->exec("UPDATE Code SET Learn = NULL WHERE id = ?", {nullLearn});
        openMain();
        openFind();
        search("word", false, false, true);
        QCOMPARE(lines(), QStringList{"first"});
    }

    void emptyTableCountsZero()
    {
        openMain();
        openFind();
        search("x", true, true, true);
        QCOMPARE(list()->count(), 0);
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث: 0عنصر/عناصر"));
        QCOMPARE(FrmFind::instance()->horizontalExtent(), 0);
    }

    void scrollExtentIsTheWidestTitleOfTheWholeTable()
    {
        const QString longTitle = QStringLiteral("عنوان طويل جداً لا يطابق كلمة البحث أبداً ولا يظهر في النتائج");
        lib->addSnippet("Short", group);
        lib->addSnippet(longTitle, group);
        lib->addSnippet("Shorter", group);
        openMain();
        openFind();
        search("nothing like it", true, true, true);
        QCOMPARE(list()->count(), 0);
        QCOMPARE(FrmFind::instance()->horizontalExtent(), 0);

        search("short", true, false, false);
        QCOMPARE(lines(), (QStringList{"Short", "Shorter"}));
        const int widest = list()->fontMetrics().horizontalAdvance(longTitle);
        QVERIFY(widest > list()->fontMetrics().horizontalAdvance("Short"));
        QCOMPARE(FrmFind::instance()->horizontalExtent(), widest);
        // The list scrolls sideways as far as the widest title reaches.
        QTRY_VERIFY(list()->horizontalScrollBar()->maximum() >= widest - list()->viewport()->width());
        QVERIFY(list()->horizontalScrollBar()->maximum() > 0);
    }

    void clickingTheThirdLineShowsThatSnippet()
    {
        lib->addSnippet("Zeta hit", group, "code one");
        lib->addSnippet("Alpha hit", group, "code two");
        const qint32 third = lib->addSnippet("Beta hit", group, "code three");
        lib->addSnippet("Gamma hit", group, "code four");
        openMain();
        FrmFind *dialog = openFind();
        search("hit", true, false, false);
        QCOMPARE(lines(), (QStringList{"Zeta hit", "Alpha hit", "Beta hit", "Gamma hit"}));
        QCOMPARE(dialog->ResultKeys().at(2), QStringLiteral("T%1").arg(third));

        const QRect rect = list()->visualItemRect(list()->item(2));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(main->selectedKey(), QStringLiteral("T%1").arg(third));
        QTRY_VERIFY(main->TVCodeHead()->hasFocus());
        QTRY_COMPARE(main->RTxt1()->text(), QStringLiteral("code three"));
        QCOMPARE(FrmFind::instance(), dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        // Clicking while the tree already has the focus still shows the clicked snippet.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->item(0)).center());
        QTRY_COMPARE(main->RTxt1()->text(), QStringLiteral("code one"));
    }

    void returnOnAResultGoesToItWithoutSearchingAgain()
    {
        lib->addSnippet("Zeta hit", group, "code one");
        const qint32 second = lib->addSnippet("Alpha hit", group, "code two");
        openMain();
        FrmFind *dialog = openFind();
        search("hit", true, false, false);
        child<QLineEdit>("TxtFind")->setText(QStringLiteral("nothing like it"));
        dialog->activateWindow();
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Down);
        QTest::keyClick(list(), Qt::Key_Down);
        QCOMPARE(list()->currentRow(), 1);
        QTest::keyClick(list(), Qt::Key_Return);
        QVERIFY(!dialog->isSearching());
        QCOMPARE(lines(), (QStringList{"Zeta hit", "Alpha hit"}));
        QCOMPARE(main->selectedKey(), QStringLiteral("T%1").arg(second));
        QTRY_COMPARE(main->RTxt1()->text(), QStringLiteral("code two"));
    }

    void hintShowsWhileNoFieldIsChosen()
    {
        openMain();
        FrmFind *dialog = openFind();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QLabel *hint = child<QLabel>("lblHint");
        QVERIFY(hint->isVisible());
        QVERIFY(child<QGroupBox>("Frame1")->rect().contains(hint->geometry()));
        child<QCheckBox>("ChLearn")->setChecked(true);
        QVERIFY(!hint->isVisible());
        QTest::keyClick(child<QCheckBox>("ChLearn"), Qt::Key_Space);
        QVERIFY(!child<QCheckBox>("ChLearn")->isChecked());
        QVERIFY(hint->isVisible());
    }

    void arabicMatchingIsRememberedAndFoundWordsAreMarked()
    {
        const qint32 id = lib->addSnippet(QStringLiteral("عنوان"), group, QStringLiteral("x"),
                                          QStringLiteral("هذا الكـــود، ثم الْكود مرة أخرى"));
        openMain();
        openFind();
        QCheckBox *arabic = child<QCheckBox>("chkArabic");
        QVERIFY(arabic->isChecked()); // on by default
        search(QStringLiteral("الكود"), false, false, true);
        QCOMPARE(lines(), QStringList{QStringLiteral("عنوان")});
        main->TS1()->setCurrentIndex(0); // the code, where the word is not
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->item(0)).center());
        QCOMPARE(main->selectedKey(), QStringLiteral("T%1").arg(id));
        QCOMPARE(main->TS1()->currentIndex(), 1); // found only in the comment: the comment is shown
        const QList<std::pair<int, int>> expected{{4, 8}, {17, 6}};
        QTRY_COMPARE(FoundWords::of(main.get())->marks(), expected);
        main->ShowSelectedSnippet(); // shown again, still marked
        QCOMPARE(FoundWords::of(main.get())->marks(), expected);

        arabic->setChecked(false);
        search(QStringLiteral("الكود"), false, false, true);
        QVERIFY(lines().isEmpty());
        QVERIFY(FoundWords::of(main.get())->marks().isEmpty()); // a new search clears the last one's marks
        closeDialog();
        openFind();
        QVERIFY(!child<QCheckBox>("chkArabic")->isChecked()); // remembered
        child<QCheckBox>("chkArabic")->setChecked(true);
    }

    void deletedResultIsReported()
    {
        const qint32 first = lib->addSnippet("one hit", group, "code one");
        const qint32 gone = lib->addSnippet("two hit", group, "code two");
        openMain();
        openFind();
        search("hit", true, false, false);
        main->selectNode(QStringLiteral("T%1").arg(first));
        QVERIFY(testing::library().deleteSnippet(gone));
        main->removeNode(QStringLiteral("T%1").arg(gone));
        MessageBoxSeam::clear();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(list()->item(1)).center());
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(MessageBoxSeam::last().arabic());
        QCOMPARE(MessageBoxSeam::last().title, QStringLiteral("رسالة خطأ"));
        QVERIFY(MessageBoxSeam::last().prompt.contains(QStringLiteral("لم يعد هذا الكود موجوداً")));
        QCOMPARE(main->selectedKey(), QStringLiteral("T%1").arg(first));
        QVERIFY(FrmFind::instance());
    }

    void arabicWordInArabicComment()
    {
        lib->addSnippet(QStringLiteral("قراءة ملف"), group, "x", QStringLiteral("يقرأ الملف"));
        lib->addSnippet(QStringLiteral("عرض"), group, "x", QStringLiteral("يعرض النتيجة في مربع قمرية نص"));
        openMain();
        openFind();
        search(QStringLiteral("قمرية"), false, false, true);
        QCOMPARE(lines(), QStringList{QStringLiteral("عرض")});
    }

    void aSecondSearchReplacesARunningOne()
    {
        lib->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                  "INSERT INTO Code (Head, Groub, code, Learn, User) SELECT 'title ' || i, ?, "
                  "printf('%.*c', 400, 'x') || CASE WHEN i % 1000 = 0 THEN ' needle' ELSE '' END, 'learn', 0 FROM n",
                  {group});
        openMain();
        openFind();
        child<QLineEdit>("TxtFind")->setText("needle");
        child<QCheckBox>("ChCode")->setChecked(true);
        QTest::mouseClick(child<QPushButton>("CmdFind"), Qt::LeftButton);
        // The click returns after one short slice; the rest is read between events.
        QVERIFY(FrmFind::instance()->isSearching());
        QVERIFY(list()->count() < 40);
        QTest::mouseClick(child<QPushButton>("CmdFind"), Qt::LeftButton);
        QTRY_VERIFY(!FrmFind::instance()->isSearching());
        QCOMPARE(list()->count(), 40);
        QCOMPARE(FrmFind::instance()->ResultKeys().size(), 40);
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث: 40عنصر/عناصر"));
    }

    void aBulkChangeIsFoldedInBehindTheWindow()
    {
        openMain();
        const auto pending = [] {
            QSqlQuery q(testing::library().connection().database());
            q.exec(QStringLiteral("SELECT count(*) FROM SearchPending"));
            return q.next() ? q.value(0).toLongLong() : -1;
        };
        testing::library().transaction([&] {
            lib->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
                      "INSERT INTO Code (Head, Groub, code, Learn, User) SELECT 'bulk ' || i, ?, "
                      "CASE WHEN i % 500 = 0 THEN 'Call tango' ELSE 'x' END, 'learn', 0 FROM n",
                      {group});
        });
        QVERIFY(pending() > 0);
        openFind();
        search("tango", false, true, false);
        QCOMPARE(lines().size(), 3);
        QTRY_COMPARE(pending(), 0);
        search("tango", false, true, false);
        QCOMPARE(lines().size(), 3);
    }

    void storeFailureShowsNoPartialAnswer()
    {
        lib->addSnippet("Quokka", group);
        openMain();
        openFind();
        search("quokka", true, false, false);
        testing::library().close();
        MessageBoxSeam::clear();
        search("quokka", true, false, false);
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(MessageBoxSeam::last().prompt.startsWith(QStringLiteral("تعذر إتمام البحث")));
        QCOMPARE(list()->count(), 0);
        QCOMPARE(caption(), QStringLiteral("نتيجة البحث:"));
    }
};

TAMRISK_TEST_MAIN(TestFrmFind)
#include "tst_frmfind.moc"
