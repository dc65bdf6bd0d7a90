#include "DialogDriver.h"

#include "editing/FrmAdd.h"
#include "editing/FrmEdit.h"
#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/Text.h"
#include "platform/Twips.h"
#include "store/Library.h"

#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

using namespace testing;
using editing::FrmAdd;
using editing::FrmEdit;
using platform::MessageBoxSeam;
using platform::FileDialogSeam;
namespace mb = platform::mb;

namespace {

const QString Thirty = QString(30, QLatin1Char(' '));

store::Snippet row(qint32 id)
{
    const auto s = testing::library().snippet(id);
    if (!s)
        qFatal("row %d is gone", id);
    return *s;
}

void expectMessage(const QString &prompt, const QString &title, int buttons, int icon)
{
    QVERIFY(MessageBoxSeam::count() > 0);
    const MessageBoxSeam::Record r = MessageBoxSeam::last();
    QCOMPARE(r.prompt, prompt);
    QCOMPARE(r.title, title);
    QCOMPARE(r.buttons(), buttons);
    QCOMPARE(r.icon(), icon);
    QVERIFY(r.arabic());
}

// Makes the next insert, update or delete on a table fail as a full disk would.
void failWrites(TempLibrary &lib, const QString &table)
{
    for (const char *op : {"INSERT", "UPDATE", "DELETE"})
        lib.exec(
            QStringLiteral(
                "CREATE TRIGGER fail_%1_%2 BEFORE %2 ON %1 BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")
                .arg(table, QLatin1String(op)));
}
void allowWrites(TempLibrary &lib, const QString &table)
{
    for (const char *op : {"INSERT", "UPDATE", "DELETE"})
        lib.exec(QStringLiteral("DROP TRIGGER fail_%1_%2").arg(table, QLatin1String(op)));
}

QString writeTemp(TempLibrary &lib, const QString &name, const QByteArray &bytes)
{
    const QString path = lib.dir() + QLatin1Char('/') + name;
    writeFile(path, bytes);
    return path;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        resetSeams();
        QApplication::clipboard()->clear();
    }

    // ---- how the add dialog looks

    void addDialogWindowAndEditMenu()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        QCOMPARE(d.objectName(), QStringLiteral("FrmAdd"));
        QCOMPARE(d.windowTitle(), editing::text::AddCaption);
        QCOMPARE(d.layoutDirection(), Qt::RightToLeft);
        QVERIFY(d.windowFlags() & Qt::Tool);
        QCOMPARE(d.size(), platform::twipsSize(10425, 5640));
        QCOMPARE(editing::text::AddCategoryButtonAdd.size(), 6); // the trailing space is part of the caption
        QVERIFY(button(&d, "CmdAdd")->isDefault());

        auto *menu = control<QMenu>(&d, "mnuedit");
        QCOMPARE(menu->title(), QString());
        QCOMPARE(control<QAction>(&d, "mnucopy")->text(), QStringLiteral("نسخ"));
        QCOMPARE(control<QAction>(&d, "mnucopy")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        QCOMPARE(control<QAction>(&d, "mnucut")->text(), QStringLiteral("قص"));
        QCOMPARE(control<QAction>(&d, "mnucut")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
        QCOMPARE(control<QAction>(&d, "mnupast")->text(), QStringLiteral("لصق"));
        QCOMPARE(control<QAction>(&d, "mnupast")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    }

    // One row per control, tagged with its objectName; a null caption, accessible name, geometry
    // or parent is left unchecked. Every push button is flat.
    void addDialogControlsCaptionsAndLayout_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("accessibleName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("parent");
        const QString none;
        const auto row = [](const char *name, const char *className, const QString &caption,
                            const QString &accessibleName, const QRect &geometry, const QString &parent) {
            QTest::newRow(name) << QString::fromLatin1(className) << caption << accessibleName << geometry << parent;
        };
        const auto buttonRow = [&](const char *name, const QString &caption, const QRect &geometry) {
            row(name, "QPushButton", caption, caption, geometry, none);
        };
        const auto frameRow = [&](const char *name, const QString &caption, const QRect &geometry) {
            row(name, "QGroupBox", caption, none, geometry, QStringLiteral("FrmAdd"));
        };
        buttonRow("CmdAddGroub", QStringLiteral("إضافة "), platform::twipsRect(120, 2160, 1215, 495));
        buttonRow("CmdDelGroub", QStringLiteral("حذف"), platform::twipsRect(120, 840, 1215, 495));
        buttonRow("CmdRename", QStringLiteral("تعديل"), platform::twipsRect(1560, 2160, 1215, 495));
        buttonRow("CmdFile", QStringLiteral("استعراض..."), platform::twipsRect(120, 240, 1215, 495));
        buttonRow("CmdAdd", QStringLiteral("إضافة الكود"), platform::twipsRect(1560, 5040, 1215, 495));
        buttonRow("CmdCancel", QStringLiteral("إغلاق"), platform::twipsRect(120, 5040, 1215, 495));
        frameRow("fraTitle", QStringLiteral("عنوان الكود"), platform::twipsRect(120, 120, 3135, 855));
        frameRow("fraGroub", QStringLiteral("التصنيف"), platform::twipsRect(120, 1080, 3135, 2895));
        frameRow("fraFile", QStringLiteral("إضافة من ملف"), platform::twipsRect(120, 4080, 3135, 855));
        frameRow("fraCode", QStringLiteral("الكود"), platform::twipsRect(3360, 120, 6975, 2655));
        frameRow("fraLearn", QStringLiteral("التعليق"), platform::twipsRect(3360, 2880, 6975, 2655));
        row("Label1", "QLabel", QStringLiteral("الفئات الموجودة:"), none, platform::twipsRect(360, 240, 2655, 255),
            none);
        row("Label2", "QLabel", QStringLiteral("إضافة فئة جديدة:"), none, platform::twipsRect(840, 1440, 2175, 255),
            none);
        row("TxtCodeHead", "QLineEdit", none, QStringLiteral("عنوان الكود"), platform::twipsRect(120, 360, 2775, 315),
            QStringLiteral("fraTitle"));
        row("TxtAddGroub", "QLineEdit", none, QStringLiteral("إضافة فئة جديدة:"),
            platform::twipsRect(120, 1680, 2775, 315), none);
        row("CmbGroub", "QComboBox", none, QStringLiteral("الفئات الموجودة:"), platform::twipsRect(120, 480, 2535, 315),
            none);
        row("RTxtCode", "platform::RichTextBox", none, none, platform::twipsRect(120, 645, 6735, 1890),
            QStringLiteral("fraCode"));
        row("lblLanguage", "QLabel", QStringLiteral("اللغة:"), none, platform::twipsRect(6120, 270, 735, 255),
            QStringLiteral("fraCode"));
        row("cmbLanguage", "QComboBox", none, QStringLiteral("اللغة:"), platform::twipsRect(3525, 240, 2535, 315),
            QStringLiteral("fraCode"));
        row("RTxtLearn", "platform::RichTextBox", none, QStringLiteral("التعليق"), QRect(), QStringLiteral("fraLearn"));
    }

    void addDialogControlsCaptionsAndLayout()
    {
        QFETCH(QString, className);
        QFETCH(QString, caption);
        QFETCH(QString, accessibleName);
        QFETCH(QRect, geometry);
        QFETCH(QString, parent);
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        auto *w = d.findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(w);
        QVERIFY(w->inherits(className.toLatin1().constData()));
        if (!caption.isNull())
            QCOMPARE(w->property(qobject_cast<QGroupBox *>(w) ? "title" : "text").toString(), caption);
        if (!accessibleName.isNull())
            QCOMPARE(w->accessibleName(), accessibleName);
        if (!geometry.isNull())
            QCOMPARE(w->geometry(), geometry);
        if (!parent.isNull())
            QCOMPARE(w->parentWidget()->objectName(), parent);
        if (auto *pb = qobject_cast<QPushButton *>(w))
            QVERIFY(pb->isFlat());
    }

    void addDialogBoxesAndPlacement()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        QCOMPARE(edit(&d, "TxtCodeHead")->maxLength(), 100);
        platform::RichTextBox *code = richBox(&d, "RTxtCode");
        platform::RichTextBox *learn = richBox(&d, "RTxtLearn");
        QCOMPARE(code->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(code->document()->defaultFont().pointSizeF(), 10.0);
        QCOMPARE(code->document()->defaultFont().families().first(), QStringLiteral("Courier New (Arabic)"));
        QCOMPARE(learn->document()->defaultFont().pointSizeF(), 10.0);
        QVERIFY(learn->alignment() & Qt::AlignRight);
        QVERIFY(learn->lineWrapMode() != QTextEdit::NoWrap);

        const QRect screen = d.screen()->geometry();
        QCOMPARE(d.x(), (screen.width() - d.width()) / 2);
        QCOMPARE(d.y(), (screen.height() - d.height()) / 2);
    }

    // A code line that starts with an Arabic comment keeps its comment mark at the left.
    void codeBoxLinesReadLeftToRight()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        platform::RichTextBox *code = richBox(&d, "RTxtCode");
        code->setText(QStringLiteral("Dim x\r\n' تعليق عربي"));
        const QTextBlock block = code->document()->lastBlock();
        QTRY_VERIFY(block.layout()->lineCount() > 0);
        const QTextLine line = block.layout()->lineAt(0);
        for (int i = 2; i < block.length() - 1; ++i)
            QVERIFY(line.cursorToX(0) < line.cursorToX(i));
    }

    void dialogGrowsItsBoxesAndCtrlTabLeavesTheCode()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        platform::RichTextBox *code = richBox(&d, "RTxtCode");
        platform::RichTextBox *learn = richBox(&d, "RTxtLearn");
        const QSize codeSize = code->size();
        const QSize learnSize = learn->size();
        d.resize(d.size() + QSize(300, 200));
        QTRY_COMPARE(code->size(), codeSize + QSize(300, 100));
        QCOMPARE(learn->size(), learnSize + QSize(300, 100));
        // The language keeps its place at the group's right end, above the code.
        auto *fraCode = d.findChild<QGroupBox *>("fraCode");
        QCOMPARE(fraCode->width() - d.findChild<QLabel *>("lblLanguage")->geometry().right(),
                 platform::twipsRect(3360, 120, 6975, 2655).width() - platform::twipsRect(6120, 270, 735, 255).right());
        QVERIFY(fraCode->geometry().contains(code->geometry().translated(d.findChild<QGroupBox *>("fraCode")->pos())));
        QCOMPARE(d.findChild<QLabel *>("Label1")->buddy(), d.findChild<QWidget *>("CmbGroub"));

        code->setFocus();
        QTRY_VERIFY(code->hasFocus());
        QTest::keyClick(code, Qt::Key_Tab);
        QVERIFY(code->hasFocus()); // code takes its tabs
        QCOMPARE(code->toPlainText(), QStringLiteral("\t"));
        QTest::keyClick(code, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(!code->hasFocus());
    }

    void commentStaysRightAlignedAfterAnAdd()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtCodeHead")->setText("t");
        richBox(&d, "RTxtLearn")->setText("x");
        click(&d, "CmdAdd");
        QVERIFY(richBox(&d, "RTxtLearn")->text().isEmpty());
        QTest::keyClicks(richBox(&d, "RTxtLearn"), "note");
        QCOMPARE(richBox(&d, "RTxtLearn")->text(), QStringLiteral("note"));
        QVERIFY(richBox(&d, "RTxtLearn")->alignment() & Qt::AlignRight);
        QCOMPARE(richBox(&d, "RTxtCode")->document()->defaultFont().pointSizeF(), 10.0);
    }

    // ---- adding snippets

    void titleOfSpacesOnlyWritesNothing()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtCodeHead")->setText("     ");
        richBox(&d, "RTxtCode")->setText("code");
        click(&d, "CmdAdd");
        expectMessage(QStringLiteral("لم يتم إدخال كود جديد! يجب عليك إدخال كود قبل إضافته لقاعدة البيانات"),
                      QStringLiteral("رسالة خطأ"), mb::OkOnly, mb::Critical);
        QCOMPARE(testing::library().snippetCount(), 0);
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("code"));
        QVERIFY(d.isVisible());
    }

    void titleRefusesThe101stCharacter()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QLineEdit *title = edit(&d, "TxtCodeHead");
        QTest::keyClicks(title, QString(100, QLatin1Char('k')));
        QCOMPARE(title->text().size(), 100);
        QTest::keyClicks(title, "x");
        QCOMPARE(title->text(), QString(100, QLatin1Char('k')));
    }

    void fieldsAreStoredTrimmedOfSpacesOnly()
    {
        TempLibrary lib;
        lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        FrmAdd d(testing::library());
        d.show();
        categoryList(&d)->setCurrentIndex(1);
        edit(&d, "TxtCodeHead")->setText(QStringLiteral("  عنوان "));
        richBox(&d, "RTxtCode")->setText(QStringLiteral("  Dim x\n\tx = 1\n\n "));
        richBox(&d, "RTxtLearn")->setText(QStringLiteral(" \tشرح "));
        click(&d, "CmdAdd");
        QCOMPARE(MessageBoxSeam::count(), 0);
        const auto rows = testing::library().allSnippets();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].head.toString(), QStringLiteral("عنوان"));
        QCOMPARE(rows[0].code.toString(), QStringLiteral("Dim x\r\n\tx = 1\r\n\r\n"));
        QCOMPARE(rows[0].learn.toString(), QStringLiteral("\tشرح"));
        QCOMPARE(rows[0].groub.toInt(), b);
        QVERIFY(store::isTrue(rows[0].user));
    }

    void leadingTabsAndTrailingLineBreaksAreKept()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtCodeHead")->setText("t");
        richBox(&d, "RTxtCode")->setText(QStringLiteral("\t\tIf x Then\n\n"));
        click(&d, "CmdAdd");
        QCOMPARE(testing::library().allSnippets().first().code.toString(), QStringLiteral("\t\tIf x Then\r\n\r\n"));
    }

    void emptyCodeIsStoredAsEmptyText()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtCodeHead")->setText("only a title");
        click(&d, "CmdAdd");
        const auto rows = testing::library().allSnippets();
        QCOMPARE(rows.size(), 1);
        QVERIFY(!rows[0].code.isNull());
        QCOMPARE(rows[0].code.toString(), QString());
        QVERIFY(!rows[0].learn.isNull());
    }

    void afterAnAddTheBoxesAreEmptyAndTheCategoryKept()
    {
        TempLibrary lib;
        lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        FrmAdd d(testing::library());
        d.show();
        categoryList(&d)->setCurrentIndex(1);
        edit(&d, "TxtAddGroub")->setText("draft");
        edit(&d, "TxtCodeHead")->setText("first");
        richBox(&d, "RTxtCode")->setText("code");
        richBox(&d, "RTxtLearn")->setText("comment");
        click(&d, "CmdAdd");
        QCOMPARE(edit(&d, "TxtCodeHead")->text(), QString());
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QString());
        QCOMPARE(richBox(&d, "RTxtLearn")->text(), QString());
        QCOMPARE(categoryList(&d)->currentIndex(), 1);
        QCOMPARE(edit(&d, "TxtAddGroub")->text(), QStringLiteral("draft"));
        QVERIFY(d.isVisible());
        // A second one goes to the same category.
        edit(&d, "TxtCodeHead")->setText("second");
        click(&d, "CmdAdd");
        const auto rows = testing::library().allSnippets();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].groub.toInt(), b);
    }

    void enterAddsAndEscapeCloses()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QLineEdit *title = edit(&d, "TxtCodeHead");
        title->setFocus();
        QTest::keyClicks(title, "by enter");
        QTest::keyClick(title, Qt::Key_Return);
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(title->text(), QString());
        QTest::keyClick(title, Qt::Key_Escape);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void closeButtonClosesWithoutWriting()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtCodeHead")->setText("not added");
        click(&d, "CmdCancel");
        QVERIFY(!d.isVisible());
        QCOMPARE(testing::library().snippetCount(), 0);
    }

    void categoryIsResolvedByPositionAmongSameNames()
    {
        TempLibrary lib;
        lib.addCategory("same");
        const qint32 second = lib.addCategory("same");
        FrmAdd d(testing::library());
        d.show();
        categoryList(&d)->setCurrentIndex(1);
        edit(&d, "TxtCodeHead")->setText("t");
        click(&d, "CmdAdd");
        QCOMPARE(testing::library().allSnippets().first().groub.toInt(), second);
    }

    // ---- categories

    void categoryListFollowsTableOrderWithNamelessEntries()
    {
        TempLibrary lib;
        lib.addCategory("zeta");
        lib.addCategory(QVariant(QMetaType::fromType<QString>()));
        lib.addCategory("alpha");
        FrmAdd d(testing::library());
        QCOMPARE(entries(categoryList(&d)), (QStringList{"zeta", QString(), "alpha"}));
        QCOMPARE(categoryList(&d)->currentIndex(), 0);
    }

    void addingACategorySelectsTheFirstEntry()
    {
        TempLibrary lib;
        lib.addCategory("a");
        lib.addCategory("b");
        FrmAdd d(testing::library());
        d.show();
        categoryList(&d)->setCurrentIndex(1);
        edit(&d, "TxtAddGroub")->setText(QStringLiteral("  جديدة "));
        click(&d, "CmdAddGroub");
        QCOMPARE(categoryNames(), (QStringList{"a", "b", QStringLiteral("جديدة")}));
        QCOMPARE(entries(categoryList(&d)), categoryNames());
        QCOMPARE(categoryList(&d)->currentIndex(), 0);
        QCOMPARE(edit(&d, "TxtAddGroub")->text(), QString());
    }

    void duplicateCategoryNameMakesASecondCategory()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtAddGroub")->setText("a");
        click(&d, "CmdAddGroub");
        QCOMPARE(categoryNames(), (QStringList{"a", "a"}));
        QCOMPARE(categoryList(&d)->count(), 2);
    }

    void emptyCategoryNameIsRefusedForAddAndRename()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtAddGroub")->setText("   ");
        click(&d, "CmdAddGroub");
        expectMessage(QStringLiteral("يجب عليك إدخال اسم الفئة أولاً!") + Thirty, QStringLiteral("رسالة خطأ"),
                      mb::OkOnly, mb::Critical);
        click(&d, "CmdRename");
        QCOMPARE(MessageBoxSeam::count(), 2);
        expectMessage(QStringLiteral("يجب عليك إدخال اسم الفئة أولاً!") + Thirty, QStringLiteral("رسالة خطأ"),
                      mb::OkOnly, mb::Critical);
        QCOMPARE(categoryNames(), QStringList{"a"});
        QCOMPARE(edit(&d, "TxtAddGroub")->text(), QStringLiteral("   "));
    }

    void deletingACategoryAsksAndTakesItsSnippets()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        lib.addSnippet("a1", a);
        lib.addSnippet("b1", b);
        lib.addSnippet("b2", b);
        FrmAdd d(testing::library());
        d.show();
        categoryList(&d)->setCurrentIndex(1);
        edit(&d, "TxtAddGroub")->setText("kept");

        MessageBoxSeam::setNextAnswer(mb::No);
        click(&d, "CmdDelGroub");
        expectMessage(QStringLiteral("سيتم حذف الفئة وجميع الأكواد الفرعية المرتبطة بها. هل تريد حذف الفئة الحالية؟"),
                      QStringLiteral("رسالة تأكيد"), mb::YesNo, mb::Question);
        QCOMPARE(categoryNames(), (QStringList{"a", "b"}));
        QCOMPARE(testing::library().snippetCount(), 3);

        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdDelGroub");
        QCOMPARE(categoryNames(), QStringList{"a"});
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(testing::library().allSnippets().first().head.toString(), QStringLiteral("a1"));
        QCOMPARE(entries(categoryList(&d)), QStringList{"a"});
        QCOMPARE(categoryList(&d)->currentIndex(), 0);
        QCOMPARE(edit(&d, "TxtAddGroub")->text(), QStringLiteral("kept"));
    }

    void renameAsksAndRenamesTheSelectedOfTwoSameNames()
    {
        TempLibrary lib;
        lib.addCategory("same");
        lib.addCategory("same");
        FrmAdd d(testing::library());
        d.show();
        categoryList(&d)->setCurrentIndex(1);
        edit(&d, "TxtAddGroub")->setText(QStringLiteral(" renamed  "));

        MessageBoxSeam::setNextAnswer(mb::No);
        click(&d, "CmdRename");
        expectMessage(QStringLiteral("سيتم تعديل اسم الفئة. هل أنت متأكد من ذلك?") + Thirty,
                      QStringLiteral("رسالة تأكيد"), mb::YesNo, mb::Question);
        QCOMPARE(categoryNames(), (QStringList{"same", "same"}));
        QCOMPARE(edit(&d, "TxtAddGroub")->text(), QStringLiteral(" renamed  "));

        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdRename");
        QCOMPARE(categoryNames(), (QStringList{"same", "renamed"}));
        QCOMPARE(entries(categoryList(&d)), (QStringList{"same", "renamed"}));
        QCOMPARE(categoryList(&d)->currentIndex(), 0);
        QCOMPARE(edit(&d, "TxtAddGroub")->text(), QString());
    }

    void withoutCategoriesTheCommandsNeedingOneAreOff()
    {
        TempLibrary lib;
        FrmAdd d(testing::library());
        d.show();
        QCOMPARE(categoryList(&d)->count(), 0);
        QVERIFY(!button(&d, "CmdAdd")->isEnabled());
        QVERIFY(!button(&d, "CmdDelGroub")->isEnabled());
        QVERIFY(!button(&d, "CmdRename")->isEnabled());
        QVERIFY(button(&d, "CmdAddGroub")->isEnabled());
        QCOMPARE(categoryList(&d)->placeholderText(), editing::text::NoCategoriesYet);
        QCOMPARE(button(&d, "CmdAdd")->toolTip(), editing::text::NoCategoriesYet);

        QLineEdit *title = edit(&d, "TxtCodeHead");
        title->setText("no place for it");
        title->setFocus();
        QTest::keyClick(title, Qt::Key_Return);
        QCOMPARE(testing::library().snippetCount(), 0);

        edit(&d, "TxtAddGroub")->setText("first");
        click(&d, "CmdAddGroub");
        QVERIFY(button(&d, "CmdAdd")->isEnabled());
        QVERIFY(button(&d, "CmdRename")->isEnabled());
        click(&d, "CmdAdd");
        QCOMPARE(testing::library().snippetCount(), 1);

        // Deleting the last one turns them off again.
        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdDelGroub");
        QVERIFY(!button(&d, "CmdAdd")->isEnabled());
        QCOMPARE(testing::library().snippetCount(), 0);
    }

    // ---- store failures

    void failedAddLeavesLibraryAndBoxesAndStaysUsable()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtCodeHead")->setText("t");
        richBox(&d, "RTxtCode")->setText("precious");
        failWrites(lib, "Code");
        click(&d, "CmdAdd");
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(lastPrompt().startsWith(editing::text::AddSnippetFailed));
        QVERIFY(lastPrompt().size() > editing::text::AddSnippetFailed.size());
        QCOMPARE(MessageBoxSeam::last().title, messages::ErrorTitle);
        QCOMPARE(testing::library().snippetCount(), 0);
        QCOMPARE(edit(&d, "TxtCodeHead")->text(), QStringLiteral("t"));
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("precious"));
        QVERIFY(d.isVisible());

        allowWrites(lib, "Code");
        click(&d, "CmdAdd");
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(testing::library().allSnippets().first().code.toString(), QStringLiteral("precious"));
    }

    void failedCategoryChangesLeaveTheList()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        lib.addSnippet("s", a);
        FrmAdd d(testing::library());
        d.show();
        failWrites(lib, "Groub");
        edit(&d, "TxtAddGroub")->setText("b");
        click(&d, "CmdAddGroub");
        QVERIFY(lastPrompt().startsWith(editing::text::AddCategoryFailed));
        QCOMPARE(edit(&d, "TxtAddGroub")->text(), QStringLiteral("b"));

        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdRename");
        QVERIFY(lastPrompt().startsWith(editing::text::RenameCategoryFailed));

        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdDelGroub");
        QVERIFY(lastPrompt().startsWith(editing::text::DeleteCategoryFailed));
        QCOMPARE(categoryNames(), QStringList{"a"});
        QCOMPARE(testing::library().snippetCount(), 1); // the category's snippets went back with it
        QCOMPARE(entries(categoryList(&d)), QStringList{"a"});
        allowWrites(lib, "Groub");
    }

    // ---- the language box

    void languageBoxOffersKnownNamesVisualBasicFirst()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        QComboBox *box = control<QComboBox>(&d, "cmbLanguage");
        QVERIFY(box->isEditable());
        QCOMPARE(entries(box).first(), QStringLiteral("Visual Basic"));
        QVERIFY(entries(box).contains(QStringLiteral("C#")));
        QCOMPARE(box->currentText(), QStringLiteral("Visual Basic"));
        QCOMPARE(control<QLabel>(&d, "lblLanguage")->buddy(), box);
    }

    // A loaded file's extension sets the language; pasted code suggests one until the user
    // picks one, and then never again.
    void addDialogSetsAndSuggestsTheLanguageButNeverOverridesTheUser()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QTimer *suggestion = control<QTimer>(&d, "tmrSuggest");
        QComboBox *box = control<QComboBox>(&d, "cmbLanguage");
        platform::RichTextBox *code = richBox(&d, "RTxtCode");

        FileDialogSeam::setNextFileName(writeTemp(lib, "tool.py", QByteArray("x = 1\n")));
        click(&d, "CmdFile");
        QCOMPARE(box->currentText(), QStringLiteral("Python"));

        edit(&d, "TxtCodeHead")->setText("first");
        click(&d, "CmdAdd");
        QTRY_COMPARE(testing::library().snippetCount(), 1);

        // Pasted C#: suggested, since nobody chose.
        code->setFocus();
        QApplication::clipboard()->setText(QStringLiteral("using System;\nConsole.WriteLine(\"hi\");\n"));
        QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE(box->currentText(), QStringLiteral("C#"));

        // The user picks SQL; code that looks like Python changes nothing any more.
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, QStringLiteral("sql"));
        code->setFocus();
        for (const char *line : {"def main():", "import os"}) {
            QTest::keyClick(code, Qt::Key_Return);
            QTest::keyClicks(code, QString::fromLatin1(line));
        }
        QTRY_VERIFY(!suggestion->isActive());
        QCOMPARE(box->currentText().toLower(), QStringLiteral("sql"));

        edit(&d, "TxtCodeHead")->setText("second");
        click(&d, "CmdAdd");
        QTRY_COMPARE(testing::library().snippetCount(), 2);
        QStringList stored;
        for (const store::SnippetSummary &s : testing::library().snippetSummaries())
            stored.append(s.head.toString() + QLatin1Char('=') + testing::library().snippetLanguage(s.id));
        stored.sort();
        QCOMPARE(stored, (QStringList{QStringLiteral("first=Python"), QStringLiteral("second=SQL")}));
    }

    // The edit dialog shows the stored name, known or not, writes it back untouched, and
    // suggests nothing.
    void editDialogKeepsTheStoredLanguage()
    {
        TempLibrary lib;
        const qint32 id = lib.addSnippet("s", lib.addCategory("a"), QStringLiteral("x"));
        testing::library().setSnippetLanguage(id, QStringLiteral("Fortran 77"));
        {
            FrmEdit d(testing::library(), id);
            d.show();
            QCOMPARE(control<QComboBox>(&d, "cmbLanguage")->currentText(), QStringLiteral("Fortran 77"));
            richBox(&d, "RTxtCode")->setText(QStringLiteral("#!/usr/bin/env python3\nprint(1)\n"));
            QCoreApplication::processEvents();
            QCOMPARE(control<QComboBox>(&d, "cmbLanguage")->currentText(), QStringLiteral("Fortran 77"));
            click(&d, "CmdAdd");
            QTRY_VERIFY(!d.isVisible());
        }
        QCOMPARE(testing::library().snippetLanguage(id), QStringLiteral("Fortran 77"));
        {
            FrmEdit d(testing::library(), id);
            d.show();
            control<QComboBox>(&d, "cmbLanguage")->setCurrentText(QStringLiteral("Visual Basic"));
            click(&d, "CmdAdd");
            QTRY_VERIFY(!d.isVisible());
        }
        QVERIFY(testing::library().snippetLanguages().isEmpty());
    }

    // ---- loading a file into the code box

    void loadsUtf8File()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        edit(&d, "TxtCodeHead")->setText("keep");
        richBox(&d, "RTxtLearn")->setText("comment");
        const QString path = writeTemp(lib, "m.bas", QStringLiteral("' تعليق\r\nDim x").toUtf8());
        FileDialogSeam::setNextFileName(path, 4);
        click(&d, "CmdFile");
        QCOMPARE(FileDialogSeam::requests().size(), 1);
        const platform::FileDialogRequest request = FileDialogSeam::requests().first();
        QCOMPARE(request.kind, platform::FileDialogRequest::Open);
        QCOMPARE(request.title, QStringLiteral("فتح"));
        QCOMPARE(
            request.filter,
            QStringLiteral(
                "ملفات نصوص|*.txt|ملفات نماذج فيجول بيسك|*.frm|ملفات وحدات برمجية|*.bas|ملفات كائنات برمجية|*.cls|كافة الملفات|*.*"));
        QCOMPARE(request.filterIndex, 1);
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("' تعليق\r\nDim x"));
        QCOMPARE(edit(&d, "TxtCodeHead")->text(), QStringLiteral("keep"));
        QCOMPARE(richBox(&d, "RTxtLearn")->text(), QStringLiteral("comment"));
    }

    void loadsFilesWithAByteOrderMark()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        const QString text = QStringLiteral("' وحدة\r\nOption Explicit");
        QByteArray utf16("\xFF\xFE", 2);
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        FileDialogSeam::setNextFileName(writeTemp(lib, "u16.cls", utf16));
        click(&d, "CmdFile");
        QCOMPARE(richBox(&d, "RTxtCode")->text(), text);
        FileDialogSeam::setNextFileName(writeTemp(lib, "bom.txt", QByteArray("\xEF\xBB\xBF") + text.toUtf8()));
        richBox(&d, "RTxtCode")->setText("x");
        click(&d, "CmdFile");
        QCOMPARE(richBox(&d, "RTxtCode")->text(), text);
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    void loadsWindows1256ArabicFile()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        const QString arabic = QStringLiteral("' برنامج\r\nMsgBox \"مرحبا\"");
        const QByteArray bytes = platform::encodeWindows1256(arabic);
        QStringDecoder utf8(QStringConverter::Utf8);
        const QString asUtf8 = utf8(bytes);
        QVERIFY(utf8.hasError()); // the file is not UTF-8
        FileDialogSeam::setNextFileName(writeTemp(lib, "old.frm", bytes));
        click(&d, "CmdFile");
        QCOMPARE(richBox(&d, "RTxtCode")->text(), arabic);
    }

    void rtfFileIsShownRichAndStoredAsItsPlainText()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Courier New;}}{\\colortbl;\\red255\\green0\\blue0;}"
                               "\\f0\\cf1 Dim\\cf0  x\\par x = 1}";
        FileDialogSeam::setNextFileName(writeTemp(lib, "c.rtf", rtf));
        click(&d, "CmdFile");
        platform::RichTextBox *code = richBox(&d, "RTxtCode");
        QCOMPARE(code->text(), QStringLiteral("Dim x\r\nx = 1"));
        QTextCursor first(code->document());
        first.movePosition(QTextCursor::Right);
        QCOMPARE(first.charFormat().foreground().color(), QColor(255, 0, 0));
        edit(&d, "TxtCodeHead")->setText("rtf");
        click(&d, "CmdAdd");
        QCOMPARE(testing::library().allSnippets().first().code.toString(), QStringLiteral("Dim x\r\nx = 1"));
    }

    void binaryFileIsRefused()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        richBox(&d, "RTxtCode")->setText("before");
        FileDialogSeam::setNextFileName(writeTemp(lib, "x.exe", QByteArray("MZ\x90\0\3\0\0\0", 8)));
        click(&d, "CmdFile");
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(lastPrompt().startsWith(editing::text::LoadFileFailed));
        QCOMPARE(MessageBoxSeam::last().title, messages::ErrorTitle);
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("before"));
    }

    void cancelledFileDialogChangesNothing()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        richBox(&d, "RTxtCode")->setText("before");
        FileDialogSeam::setNextCancel();
        click(&d, "CmdFile");
        QCOMPARE(FileDialogSeam::requests().size(), 1);
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("before"));
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    // ---- the edit pop-up

    void popupWithNothingSelectedAndEmptyClipboardHasAllItemsOff()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        richBox(&d, "RTxtCode")->setText("text");
        bool copy = true, cut = true, paste = true;
        rightClickPopup(richBox(&d, "RTxtCode"), [&](QMenu *menu) {
            QCOMPARE(menu->objectName(), QStringLiteral("mnuedit"));
            copy = control<QAction>(menu, "mnucopy")->isEnabled();
            cut = control<QAction>(menu, "mnucut")->isEnabled();
            paste = control<QAction>(menu, "mnupast")->isEnabled();
        });
        QVERIFY(!copy);
        QVERIFY(!cut);
        QVERIFY(!paste);
        QVERIFY(d.PopupForCode());
    }

    void popupEnablesBySelectionAndClipboard()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        platform::RichTextBox *learn = richBox(&d, "RTxtLearn");
        learn->setText("abc");
        learn->selectAll();
        QApplication::clipboard()->setText("clip");
        bool copy = false, cut = false, paste = false;
        rightClickPopup(learn, [&](QMenu *menu) {
            copy = control<QAction>(menu, "mnucopy")->isEnabled();
            cut = control<QAction>(menu, "mnucut")->isEnabled();
            paste = control<QAction>(menu, "mnupast")->isEnabled();
        });
        QVERIFY(paste);
        QVERIFY(copy);
        QVERIFY(cut);
        QVERIFY(!d.PopupForCode());
    }

    void cutInTheCommentBoxChangesOnlyTheCommentBox()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        platform::RichTextBox *code = richBox(&d, "RTxtCode");
        platform::RichTextBox *learn = richBox(&d, "RTxtLearn");
        code->setText("code text");
        code->selectAll();
        learn->setText("comment text");
        QTextCursor c(learn->document());
        c.setPosition(0);
        c.setPosition(7, QTextCursor::KeepAnchor);
        learn->setTextCursor(c);
        rightClickPopup(
            learn, [](QMenu *) {}, "mnucut");
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("comment"));
        QCOMPARE(learn->text(), QStringLiteral(" text"));
        QCOMPARE(code->text(), QStringLiteral("code text"));
        QCOMPARE(code->selLength(), 9);
    }

    void copyAndPasteActOnTheBoxThePopupBelongsTo()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmAdd d(testing::library());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        platform::RichTextBox *code = richBox(&d, "RTxtCode");
        platform::RichTextBox *learn = richBox(&d, "RTxtLearn");
        learn->setText("comment");
        QApplication::clipboard()->setText(QStringLiteral("Dim y\nDim z"));
        rightClickPopup(
            code, [](QMenu *) {}, "mnupast");
        QCOMPARE(code->text(), QStringLiteral("Dim y\r\nDim z"));
        QCOMPARE(learn->text(), QStringLiteral("comment"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Dim y\nDim z"));
    }

    // ---- the edit dialog

    void editDialogDiffersInCaptionsAndFont()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        FrmEdit d(testing::library(), lib.addSnippet("t", a));
        QCOMPARE(d.objectName(), QStringLiteral("FrmEdit"));
        QCOMPARE(d.windowTitle(), QStringLiteral("تعديل الكود الحالي"));
        QCOMPARE(button(&d, "CmdAdd")->text(), QStringLiteral("تعديل الكود"));
        QVERIFY(button(&d, "CmdAdd")->isDefault());
        QCOMPARE(button(&d, "CmdAddGroub")->text(), QStringLiteral("إضافة"));
        QCOMPARE(control<QAction>(&d, "mnupast")->shortcut(), QKeySequence());
        QCOMPARE(control<QAction>(&d, "mnucopy")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        QCOMPARE(richBox(&d, "RTxtCode")->document()->defaultFont().pointSizeF(), 9.75);
        QCOMPARE(richBox(&d, "RTxtCode")->lineWrapMode(), QTextEdit::NoWrap);
        QVERIFY(richBox(&d, "RTxtLearn")->alignment() & Qt::AlignRight);
        // The designed size, and the history's strip below it.
        QCOMPARE(d.size(), platform::twipsSize(10425, 5640 + 1800));
        QVERIFY(control<QWidget>(&d, "fraHistory")->y() > button(&d, "CmdAdd")->geometry().bottom());
        QCOMPARE(d.layoutDirection(), Qt::RightToLeft);
        QVERIFY(d.windowFlags() & Qt::Tool);
        QCOMPARE(edit(&d, "TxtCodeHead")->maxLength(), 100);
    }

    void editDialogOpensWithTheSnippet()
    {
        TempLibrary lib;
        lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        FrmEdit d(testing::library(), lib.addSnippet(QStringLiteral("عنوان"), b, QStringLiteral("Dim x\r\nx = 1"),
                                                     QStringLiteral("شرح"), true));
        QVERIFY(d.snippetFound());
        QCOMPARE(edit(&d, "TxtCodeHead")->text(), QStringLiteral("عنوان"));
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("Dim x\r\nx = 1"));
        QCOMPARE(richBox(&d, "RTxtLearn")->text(), QStringLiteral("شرح"));
        QCOMPARE(categoryList(&d)->currentIndex(), 1);
        QCOMPARE(d.EditedCategoryId(), QString::number(b));
    }

    void nullFieldsLeaveTheBoxesEmpty()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        lib.exec("INSERT INTO Code (Head, Groub, code, Learn, User) VALUES (NULL, ?, NULL, NULL, NULL)", {a});
        FrmEdit d(testing::library(), testing::library().allSnippets().first().id);
        QVERIFY(d.snippetFound());
        QCOMPARE(edit(&d, "TxtCodeHead")->text(), QString());
        QCOMPARE(richBox(&d, "RTxtCode")->text(), QString());
        QCOMPARE(categoryList(&d)->currentIndex(), 0);
    }

    void savingWritesTrimmedFieldsMovesAndCloses()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        const qint32 id = lib.addSnippet("old", a, "old code", "old comment", false);
        lib.addSnippet("other", a);
        FrmEdit d(testing::library(), id);
        d.show();
        edit(&d, "TxtCodeHead")->setText(QStringLiteral("  new "));
        richBox(&d, "RTxtCode")->setText(QStringLiteral("  \tnew code\n "));
        richBox(&d, "RTxtLearn")->setText(QStringLiteral(" new comment "));
        categoryList(&d)->setCurrentIndex(1);
        click(&d, "CmdAdd");
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const store::Snippet s = row(id);
        QCOMPARE(s.head.toString(), QStringLiteral("new"));
        QCOMPARE(s.code.toString(), QStringLiteral("\tnew code\r\n"));
        QCOMPARE(s.learn.toString(), QStringLiteral("new comment"));
        QCOMPARE(s.groub.toInt(), b);
        QVERIFY(!store::isTrue(s.user));
        QCOMPARE(testing::library().snippetCount(), 2);
        QCOMPARE(row(id + 1).head.toString(), QStringLiteral("other"));
    }

    void userFlagIsKeptBothWays()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 mine = lib.addSnippet("mine", a, "", "", true);
        const qint32 theirs = lib.addSnippet("theirs", a, "", "", false);
        for (qint32 id : {mine, theirs}) {
            FrmEdit d(testing::library(), id);
            d.show();
            edit(&d, "TxtCodeHead")->setText("changed");
            click(&d, "CmdAdd");
            QCOMPARE(row(id).head.toString(), QStringLiteral("changed"));
        }
        QVERIFY(store::isTrue(row(mine).user));
        QVERIFY(!store::isTrue(row(theirs).user));
    }

    void emptyTitleInTheEditDialogWritesNothing()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        FrmEdit d(testing::library(), lib.addSnippet("t", a));
        d.show();
        edit(&d, "TxtCodeHead")->setText("  ");
        click(&d, "CmdAdd");
        expectMessage(QStringLiteral("لم يتم إدخال عنوان للكود! يجب عليك إدخال عنوان للكود قبل تعديله"),
                      QStringLiteral("رسالة خطأ"), mb::OkOnly, mb::Critical);
        QVERIFY(d.isVisible());
        QCOMPARE(row(d.EditedSnippetId()).head.toString(), QStringLiteral("t"));
    }

    void cancelLeavesTheRowUnchanged()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        lib.addCategory("b");
        const qint32 id = lib.addSnippet("title", a, "code", "comment", true);
        FrmEdit d(testing::library(), id);
        d.show();
        edit(&d, "TxtCodeHead")->setText("changed");
        richBox(&d, "RTxtCode")->setText("changed");
        categoryList(&d)->setCurrentIndex(1);
        click(&d, "CmdCancel");
        QVERIFY(!d.isVisible());
        const store::Snippet s = row(id);
        QCOMPARE(s.head.toString(), QStringLiteral("title"));
        QCOMPARE(s.code.toString(), QStringLiteral("code"));
        QCOMPARE(s.groub.toInt(), a);
    }

    void categoryToolsReselectTheStoredCategory()
    {
        TempLibrary lib;
        lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        lib.addCategory("c");
        FrmEdit d(testing::library(), lib.addSnippet("t", b));
        d.show();
        QCOMPARE(categoryList(&d)->currentIndex(), 1);

        categoryList(&d)->setCurrentIndex(2);
        edit(&d, "TxtAddGroub")->setText("new");
        click(&d, "CmdAddGroub");
        QCOMPARE(entries(categoryList(&d)), (QStringList{"a", "b", "c", "new"}));
        QCOMPARE(categoryList(&d)->currentIndex(), 1);

        categoryList(&d)->setCurrentIndex(0);
        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdDelGroub");
        QCOMPARE(entries(categoryList(&d)), (QStringList{"b", "c", "new"}));
        QCOMPARE(categoryList(&d)->currentIndex(), 0);

        categoryList(&d)->setCurrentIndex(2);
        edit(&d, "TxtAddGroub")->setText("renamed");
        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdRename");
        QCOMPARE(entries(categoryList(&d)), (QStringList{"b", "c", "renamed"}));
        QCOMPARE(categoryList(&d)->currentIndex(), 0);
    }

    void missingStoredCategorySelectsTheFirstEntry()
    {
        TempLibrary lib;
        lib.addCategory("a");
        lib.addCategory("b");
        lib.exec("INSERT INTO Code (Head, Groub, code, Learn, User) VALUES ('orphan', 999, '', '', 0)");
        FrmEdit d(testing::library(), testing::library().allSnippets().first().id);
        QVERIFY(d.snippetFound());
        QCOMPARE(categoryList(&d)->currentIndex(), 0);
        // Saving files it under the category the user sees.
        d.show();
        categoryList(&d)->setCurrentIndex(1);
        click(&d, "CmdAdd");
        QCOMPARE(row(d.EditedSnippetId()).groub.toInt(), testing::library().categories().at(1).id);
    }

    void snippetDeletedWithItsCategoryInTheDialogIsNotWritten()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        lib.addCategory("b");
        FrmEdit d(testing::library(), lib.addSnippet("t", a));
        d.show();
        MessageBoxSeam::setNextAnswer(mb::Yes);
        click(&d, "CmdDelGroub"); // the snippet's own category, selected at load
        QCOMPARE(testing::library().snippetCount(), 0);
        QCOMPARE(categoryList(&d)->currentIndex(), 0); // stored category gone: the first entry

        edit(&d, "TxtCodeHead")->setText("lost?");
        click(&d, "CmdAdd");
        expectMessage(editing::text::EditedSnippetGone, messages::ErrorTitle, mb::OkOnly, mb::Critical);
        QCOMPARE(testing::library().snippetCount(), 0);
        QVERIFY(d.isVisible());
        QCOMPARE(edit(&d, "TxtCodeHead")->text(), QStringLiteral("lost?"));
    }

    void editDialogRefusesToOpenForAMissingSnippet()
    {
        TempLibrary lib;
        lib.addCategory("a");
        FrmEdit d(testing::library(), 4242);
        QVERIFY(!d.snippetFound());
        QCOMPARE(d.exec(), int(QDialog::Rejected));
        expectMessage(editing::text::SnippetMissing, messages::ErrorTitle, mb::OkOnly, mb::Critical);
        QVERIFY(!d.isVisible());
        QCOMPARE(testing::library().snippetCount(), 0);
    }

    void failedSaveKeepsTheRowAndTheDialog()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 id = lib.addSnippet("t", a, "c");
        FrmEdit d(testing::library(), id);
        d.show();
        edit(&d, "TxtCodeHead")->setText("new");
        failWrites(lib, "Code");
        click(&d, "CmdAdd");
        QVERIFY(lastPrompt().startsWith(editing::text::SaveSnippetFailed));
        QVERIFY(d.isVisible());
        QCOMPARE(row(id).head.toString(), QStringLiteral("t"));
        allowWrites(lib, "Code");
        click(&d, "CmdAdd");
        QVERIFY(!d.isVisible());
        QCOMPARE(row(id).head.toString(), QStringLiteral("new"));
    }

    void eachAddDialogStartsFresh()
    {
        TempLibrary lib;
        lib.addCategory("a");
        {
            FrmAdd d(testing::library());
            d.show();
            edit(&d, "TxtCodeHead")->setText("left over");
            richBox(&d, "RTxtCode")->setText("left over");
            edit(&d, "TxtAddGroub")->setText("b");
            click(&d, "CmdAddGroub");
            click(&d, "CmdCancel");
        }
        FrmAdd again(testing::library());
        QCOMPARE(edit(&again, "TxtCodeHead")->text(), QString());
        QCOMPARE(richBox(&again, "RTxtCode")->text(), QString());
        QCOMPARE(entries(categoryList(&again)), (QStringList{"a", "b"}));
    }
};

TAMRISK_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
