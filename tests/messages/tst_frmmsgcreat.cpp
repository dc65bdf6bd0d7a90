#include "messages/frmMsgCreat.h"

#include "TestSupport.h"
#include "platform/Translations.h"
#include "platform/Twips.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>

using namespace messages;
using platform::MessageBoxSeam;

namespace {
template <typename T>
T *child(QWidget *form, const QString &name)
{
    T *w = form->findChild<T *>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}
QStringList lines(QWidget *form)
{
    return child<QPlainTextEdit>(form, "Text3")->toPlainText().split(QLatin1Char('\n'));
}
} // namespace

class TestFrmMsgCreat : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }

    void controlsHaveTheirCaptionsAndStartStates()
    {
        frmMsgCreat f;
        f.show();
        QCOMPARE(f.windowTitle(), QStringLiteral("مصمم الرسائل"));
        QCOMPARE(f.layoutDirection(), Qt::RightToLeft);
        QCOMPARE(child<QLabel>(&f, "lblMessageText")->text(), QStringLiteral("نص الرسالة :"));
        QCOMPARE(child<QPlainTextEdit>(&f, "txtMessageText")->toPlainText(), QString());
        QCOMPARE(child<QLabel>(&f, "lblMessageTitle")->text(), QStringLiteral("عنوان الرسالة :"));
        QCOMPARE(child<QLineEdit>(&f, "txtMessageTitle")->text(), QStringLiteral("عنوان الرسالة"));
        QCOMPARE(child<QGroupBox>(&f, "fraButtons")->title(), QStringLiteral("مجموعة الأزرار"));
        const QStringList buttons = {
            "موافق",    "موافق - إلغاء الأمر",         "إحباط - إعادة المحاولة - إلغاء الأمر", "نعم - لا - إلغاء الأمر",
            "نعم - لا", "إعادة المحاولة - إلغاء الأمر"};
        for (int i = 0; i < buttons.size(); ++i) {
            auto *o = child<QRadioButton>(&f, "optButtons" + QString::number(i));
            QCOMPARE(o->text(), buttons.at(i));
            QCOMPARE(o->isChecked(), i == 0);
            QCOMPARE(o->accessibleName(), buttons.at(i));
        }
        QCOMPARE(child<QGroupBox>(&f, "fraIcon")->title(), QStringLiteral("أيقونة الرسالة"));
        const QStringList icons = {"بدون أيقونة", "خطأ", "استفهام", "تحذير", "معلومات"};
        for (int i = 0; i < icons.size(); ++i) {
            QCOMPARE(child<QRadioButton>(&f, "optIcon" + QString::number(i))->text(), icons.at(i));
            QCOMPARE(child<QRadioButton>(&f, "optIcon" + QString::number(i))->isChecked(), i == 0);
        }
        for (int i = 1; i < icons.size(); ++i)
            QVERIFY(!child<QLabel>(&f, "picIcon" + QString::number(i))->pixmap().isNull());
        QCOMPARE(child<QGroupBox>(&f, "fraDefaultButton")->title(), QStringLiteral("الزر الافتراضي"));
        const QStringList defaults = {"الزر الأول", "الزر الثاني", "الزر الثالث", "الزر الرابع"};
        for (int i = 0; i < defaults.size(); ++i) {
            auto *o = child<QRadioButton>(&f, "optDefaultButton" + QString::number(i));
            QCOMPARE(o->text(), defaults.at(i));
            QCOMPARE(o->isChecked(), i == 0);
            QVERIFY(o->isEnabled()); // all four until the first refresh
        }
        QCOMPARE(child<QGroupBox>(&f, "fraModal")->title(), QStringLiteral("نمط العرض"));
        QCOMPARE(child<QRadioButton>(&f, "optModal0")->text(), QStringLiteral("مشروط على مستوى البرنامج"));
        QCOMPARE(child<QRadioButton>(&f, "optModal1")->text(), QStringLiteral("مشروط على مستوى النظام"));
        QVERIFY(child<QRadioButton>(&f, "optModal0")->isChecked());
        QCOMPARE(child<QGroupBox>(&f, "Frame1")->title(), QStringLiteral("خيارات إضافية"));
        QCOMPARE(child<QCheckBox>(&f, "Check1")->text(), QStringLiteral("محاذاة لليمين"));
        QCOMPARE(child<QCheckBox>(&f, "Check2")->text(), QStringLiteral("اتجاه القراءة من اليمين لليسار"));
        QCOMPARE(child<QCheckBox>(&f, "Check3")->text(), QStringLiteral("عرض في الخلفية"));
        QVERIFY(child<QCheckBox>(&f, "Check1")->isChecked());
        QVERIFY(child<QCheckBox>(&f, "Check2")->isChecked());
        QVERIFY(!child<QCheckBox>(&f, "Check3")->isChecked());
        QCOMPARE(child<QGroupBox>(&f, "fraHelp")->title(), QStringLiteral("التعليمات"));
        QCOMPARE(child<QCheckBox>(&f, "chkHelp")->text(), QStringLiteral("عرض زر التعليمات"));
        QVERIFY(!child<QCheckBox>(&f, "chkHelp")->isChecked());
        QVERIFY(child<QCheckBox>(&f, "chkHelp")->isEnabled());
        QCOMPARE(child<QLabel>(&f, "lblHelpPath")->text(), QStringLiteral("مسار ملف التعليمات"));
        QCOMPARE(child<QPushButton>(&f, "cmdBrowse")->text(), QStringLiteral("..."));
        QCOMPARE(child<QLabel>(&f, "lblHelpContext")->text(), QStringLiteral("رقم موضوع التعليمات"));
        for (const char *name : {"lblHelpPath", "txtHelpPath", "cmdBrowse", "lblHelpContext", "txtHelpContext"})
            QVERIFY2(!child<QWidget>(&f, name)->isEnabled(), name);
        QCOMPARE(child<QPlainTextEdit>(&f, "Text3")->toPlainText(), QString());
        QCOMPARE(child<QPushButton>(&f, "cmdTest")->text(), QStringLiteral("اختبار"));
        QCOMPARE(child<QPushButton>(&f, "cmdCopy")->text(), QStringLiteral("نسخ للحافظة"));
        QCOMPARE(child<QPushButton>(&f, "cmdEnd")->text(), QStringLiteral("إنهاء"));
        QCOMPARE(f.ButtonSet(), 0);
        QCOMPARE(f.IconKind(), 0);
        QCOMPARE(f.DefaultButton(), 0);
        QCOMPARE(f.Modality(), 0);
    }

    void startStateTestWritesTheDocumentedCodeAndShowsIt()
    {
        frmMsgCreat f;
        f.show();
        child<QPlainTextEdit>(&f, "txtMessageText")->setPlainText(QStringLiteral("مرحبا"));
        child<QPushButton>(&f, "cmdTest")->click();
        const QStringList l = lines(&f);
        QCOMPARE(l.size(), 7);
        QCOMPARE(l.at(0), QStringLiteral("كقيمة نصية : "));
        QCOMPARE(l.at(1),
                 QStringLiteral("MsgBox(\"مرحبا\", vbOKOnly + vbDefaultButton1 + vbApplicationModal + vbMsgBoxRight"
                                " + vbMsgBoxRtlReading, \"عنوان الرسالة\")"));
        QCOMPARE(l.at(2), QString());
        QCOMPARE(l.at(3), QStringLiteral("كقيمة رقيمة : "));
        QCOMPARE(l.at(4), QStringLiteral("MsgBox(\"مرحبا\", 0 + 0 + 0 + 0 + 524288 + 1048576, \"عنوان الرسالة\")"));
        QCOMPARE(l.at(5), QStringLiteral("كرقم واحد : "));
        QCOMPARE(l.at(6), QStringLiteral("MsgBox(\"مرحبا\", 1572864, \"عنوان الرسالة\")"));

        // The sample is the platform's plain box with the designed style.
        QCOMPARE(MessageBoxSeam::count(), 1);
        const MessageBoxSeam::Record r = MessageBoxSeam::last();
        QCOMPARE(r.style, 1572864);
        QCOMPARE(r.prompt, QStringLiteral("مرحبا"));
        QCOMPARE(r.title, QStringLiteral("عنوان الرسالة"));
        QVERIFY(!r.arabic());
    }

    // The sample is the platform's box: under an Arabic locale its buttons speak Arabic, in Qt's
    // own words, not the program's.
    void testBoxButtonsAreArabicUnderAnArabicLocale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        QVERIFY(platform::installQtTranslations());
        frmMsgCreat f;
        f.show();
        child<QRadioButton>(&f, "optButtons3")->click();
        child<QPushButton>(&f, "cmdTest")->click();
        const MessageBoxSeam::Record r = MessageBoxSeam::last();
        QCOMPARE(r.buttons(), platform::mb::YesNoCancel);
        QCOMPARE(r.shown.size(), 3);
        static const QRegularExpression arabicWord(QStringLiteral("^[\\x{0600}-\\x{06FF}& ]+$"));
        for (const QString &caption : r.shown)
            QVERIFY2(arabicWord.match(caption).hasMatch(), qPrintable(caption));
        QCOMPARE(QString(r.shown.at(0)).remove(QLatin1Char('&')), QStringLiteral("نعم"));
        QCOMPARE(QString(r.shown.at(1)).remove(QLatin1Char('&')), QStringLiteral("لا"));
    }

    void outputBoxIsLeftToRight()
    {
        frmMsgCreat f;
        f.show();
        child<QPlainTextEdit>(&f, "txtMessageText")->setPlainText(QStringLiteral("مرحبا"));
        child<QPushButton>(&f, "cmdTest")->click();
        auto *text3 = child<QPlainTextEdit>(&f, "Text3");
        QCOMPARE(text3->layoutDirection(), Qt::LeftToRight);
        // Every line, the Arabic headings too, runs left to right and starts at the left edge.
        for (QTextBlock block = text3->document()->begin(); block.isValid(); block = block.next()) {
            QCOMPARE(block.textDirection(), Qt::LeftToRight);
            if (block.length() > 1)
                QVERIFY(block.layout()->lineAt(0).cursorToX(0) < text3->viewport()->width() / 4);
        }
    }

    void yesNoCancelWithQuestionAndNoExtras()
    {
        frmMsgCreat f;
        f.show();
        child<QRadioButton>(&f, "optButtons3")->click();
        child<QRadioButton>(&f, "optIcon2")->click();
        QCOMPARE(child<QRadioButton>(&f, "optButtons3")->text(), QStringLiteral("نعم - لا - إلغاء الأمر"));
        QCOMPARE(child<QRadioButton>(&f, "optIcon2")->text(), QStringLiteral("استفهام"));
        child<QCheckBox>(&f, "Check1")->click();
        child<QCheckBox>(&f, "Check2")->click();
        child<QPushButton>(&f, "cmdTest")->click();
        const QStringList l = lines(&f);
        QVERIFY(
            l.at(1).contains(QStringLiteral(", vbYesNoCancel + vbQuestion + vbDefaultButton1 + vbApplicationModal, ")));
        QVERIFY(l.at(4).contains(QStringLiteral(", 3 + 32 + 0 + 0, ")));
        QVERIFY(l.at(6).contains(QStringLiteral(", 35, ")));
        QCOMPARE(MessageBoxSeam::last().style, 35);
        QCOMPARE(MessageBoxSeam::last().buttons(), platform::mb::YesNoCancel);
        QCOMPARE(MessageBoxSeam::last().icon(), platform::mb::Question);
    }

    void testBoxReceivesTheTotalAsItsStyle()
    {
        frmMsgCreat f;
        f.show();
        child<QRadioButton>(&f, "optButtons2")->click();
        child<QRadioButton>(&f, "optIcon3")->click();
        child<QRadioButton>(&f, "optDefaultButton2")->click();
        child<QCheckBox>(&f, "chkHelp")->click();
        child<QCheckBox>(&f, "Check3")->click();
        child<QLineEdit>(&f, "txtMessageTitle")->setText(QStringLiteral("عنوان آخر"));
        child<QPlainTextEdit>(&f, "txtMessageText")->setPlainText(QStringLiteral("سطر\nسطر آخر"));
        child<QPushButton>(&f, "cmdTest")->click();
        const int total = 2 + 48 + 512 + 524288 + 1048576 + 65536 + 16384;
        QCOMPARE(MessageBoxSeam::last().style, total);
        QCOMPARE(MessageBoxSeam::last().title, QStringLiteral("عنوان آخر"));
        QCOMPARE(MessageBoxSeam::last().prompt, QStringLiteral("سطر\nسطر آخر")); // the real line break, not the escape
        QVERIFY(lines(&f).at(6).contains(QStringLiteral(", %1, ").arg(total)));
    }

    void systemModalityDisablesHelpAndProgramModalityEnablesIt()
    {
        frmMsgCreat f;
        f.show();
        auto *help = child<QCheckBox>(&f, "chkHelp");
        help->click();
        QVERIFY(help->isChecked());
        QVERIFY(child<QLineEdit>(&f, "txtHelpPath")->isEnabled());
        child<QRadioButton>(&f, "optModal1")->click();
        QCOMPARE(f.Modality(), 1);
        QVERIFY(!help->isChecked());
        QVERIFY(!help->isEnabled());
        // The refresh ran as the box was unchecked.
        QVERIFY(!child<QLineEdit>(&f, "txtHelpPath")->isEnabled());
        QVERIFY(!child<QPushButton>(&f, "cmdBrowse")->isEnabled());
        child<QPushButton>(&f, "cmdTest")->click();
        QVERIFY(lines(&f).at(1).contains(QStringLiteral(" + vbSystemModal + ")));
        QVERIFY(!lines(&f).at(1).contains(QStringLiteral("vbMsgBoxHelpButton")));
        QCOMPARE(MessageBoxSeam::last().style & platform::mb::SystemModal, platform::mb::SystemModal);

        child<QRadioButton>(&f, "optModal0")->click();
        QCOMPARE(f.Modality(), 0);
        QVERIFY(help->isEnabled());
        QVERIFY(!help->isChecked());
    }

    void buttonSetDecidesTheDefaultButtonOptions()
    {
        frmMsgCreat f;
        f.show();
        auto enabledCount = [&] {
            int n = 0;
            for (int i = 0; i < 4; ++i)
                n += child<QRadioButton>(&f, "optDefaultButton" + QString::number(i))->isEnabled() ? 1 : 0;
            return n;
        };
        child<QRadioButton>(&f, "optButtons0")->click();
        QCOMPARE(enabledCount(), 1);
        QVERIFY(child<QRadioButton>(&f, "optDefaultButton0")->isEnabled());
        child<QCheckBox>(&f, "chkHelp")->click();
        QCOMPARE(enabledCount(), 2);
        QVERIFY(child<QRadioButton>(&f, "optDefaultButton1")->isEnabled());
        child<QCheckBox>(&f, "chkHelp")->click();

        const int expected[] = {1, 2, 3, 3, 2, 2};
        for (int set = 0; set < 6; ++set) {
            child<QRadioButton>(&f, "optButtons" + QString::number(set))->click();
            QCOMPARE(f.ButtonSet(), set);
            QCOMPARE(enabledCount(), expected[set]);
        }
    }

    void aChosenDefaultThatBecomesDisabledStaysChosen()
    {
        frmMsgCreat f;
        f.show();
        child<QRadioButton>(&f, "optButtons2")->click();
        auto *third = child<QRadioButton>(&f, "optDefaultButton2");
        third->click();
        QCOMPARE(f.DefaultButton(), 2);
        child<QRadioButton>(&f, "optButtons0")->click();
        QVERIFY(!third->isEnabled());
        QVERIFY(third->isChecked());
        QCOMPARE(f.DefaultButton(), 2);
        // A disabled option cannot be clicked.
        child<QRadioButton>(&f, "optDefaultButton3")->click();
        QCOMPARE(f.DefaultButton(), 2);
    }

    void emptyMessageGivesEmptyQuotes()
    {
        frmMsgCreat f;
        f.show();
        child<QPushButton>(&f, "cmdTest")->click();
        const QStringList l = lines(&f);
        QCOMPARE(l.size(), 7);
        for (int i : {1, 4, 6})
            QVERIFY2(l.at(i).startsWith(QStringLiteral("MsgBox(\"\", ")), qPrintable(l.at(i)));
    }

    void check3AddsForeground()
    {
        frmMsgCreat f;
        f.show();
        child<QCheckBox>(&f, "Check3")->click();
        child<QPushButton>(&f, "cmdTest")->click();
        const QStringList l = lines(&f);
        QVERIFY(l.at(1).contains(QStringLiteral("vbMsgBoxRtlReading + vbMsgBoxSetForeground, ")));
        QVERIFY(l.at(4).contains(QStringLiteral(" + 1048576 + 65536, ")));
        QVERIFY(l.at(6).contains(QStringLiteral(", 1638400, ")));
        QCOMPARE(MessageBoxSeam::last().style, 1572864 + 65536);
    }

    void quoteAndLineBreakStillMakeValidStatements()
    {
        frmMsgCreat f;
        f.show();
        child<QPlainTextEdit>(&f, "txtMessageText")->setPlainText(QStringLiteral("قال \"مرحبا\"\nثم ذهب"));
        child<QLineEdit>(&f, "txtMessageTitle")->setText(QStringLiteral("\"عنوان\""));
        child<QPushButton>(&f, "cmdTest")->click();
        const QStringList l = lines(&f);
        QCOMPARE(l.size(), 7);
        QCOMPARE(l.at(6),
                 QStringLiteral("MsgBox(\"قال \"\"مرحبا\"\"\" & vbCrLf & \"ثم ذهب\", 1572864, \"\"\"عنوان\"\"\")"));
    }

    void copyPutsTheCodeOnTheClipboard()
    {
        frmMsgCreat f;
        f.show();
        QApplication::clipboard()->setText(QStringLiteral("old"));
        child<QPlainTextEdit>(&f, "txtMessageText")->setPlainText(QStringLiteral("x"));
        child<QPushButton>(&f, "cmdTest")->click();
        child<QPushButton>(&f, "cmdCopy")->click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("كقيمة نصية : \r\n"
                                "MsgBox(\"x\", vbOKOnly + vbDefaultButton1 + vbApplicationModal + vbMsgBoxRight + "
                                "vbMsgBoxRtlReading, \"عنوان الرسالة\")\r\n"
                                "\r\n"
                                "كقيمة رقيمة : \r\n"
                                "MsgBox(\"x\", 0 + 0 + 0 + 0 + 524288 + 1048576, \"عنوان الرسالة\")\r\n"
                                "كرقم واحد : \r\n"
                                "MsgBox(\"x\", 1572864, \"عنوان الرسالة\")"));
    }

    void browseFillsTheHelpPath()
    {
        frmMsgCreat f;
        f.show();
        child<QCheckBox>(&f, "chkHelp")->click();
        platform::FileDialogSeam::setNextFileName(QStringLiteral("/tmp/help/app.chm"));
        child<QPushButton>(&f, "cmdBrowse")->click();
        QCOMPARE(child<QLineEdit>(&f, "txtHelpPath")->text(), QStringLiteral("/tmp/help/app.chm"));
        QCOMPARE(platform::FileDialogSeam::requests().size(), 1);
        QCOMPARE(platform::FileDialogSeam::requests().first().kind, platform::FileDialogRequest::Open);
        // Each filter's caption shows its patterns once.
        QCOMPARE(platform::qtNameFilters(platform::FileDialogSeam::requests().first().filter),
                 QStringList({QStringLiteral("ملفات التعليمات (*.chm *.hlp)"), QStringLiteral("جميع الملفات (*.*)")}));

        platform::FileDialogSeam::setNextCancel();
        child<QPushButton>(&f, "cmdBrowse")->click();
        QCOMPARE(child<QLineEdit>(&f, "txtHelpPath")->text(), QStringLiteral("/tmp/help/app.chm"));
        // The help fields take no part in the code or the sample.
        child<QPushButton>(&f, "cmdTest")->click();
        QVERIFY(!child<QPlainTextEdit>(&f, "Text3")->toPlainText().contains(QStringLiteral("app.chm")));
    }

    void endClosesAndEachOpeningStartsAfresh()
    {
        auto *f = new frmMsgCreat;
        f->setAttribute(Qt::WA_DeleteOnClose);
        f->show();
        QVERIFY(f->windowFlags() & Qt::Tool);
        const QList<QPushButton *> buttons = f->findChildren<QPushButton *>();
        for (QPushButton *b : buttons)
            QVERIFY(b->isFlat());
        QPointer<frmMsgCreat> guard(f);
        child<QRadioButton>(f, "optButtons4")->click();
        child<QPushButton>(f, "cmdEnd")->click();
        QTRY_VERIFY(guard.isNull());
        frmMsgCreat again;
        QCOMPARE(again.ButtonSet(), 0);
        QVERIFY(child<QRadioButton>(&again, "optButtons0")->isChecked());
    }

    void clientAreaIsAtLeastTheDesignedSize_data()
    {
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<bool>("fits");
        QTest::newRow("controls fit the designed area") << 5 << true;
        QTest::newRow("controls need more") << 16 << false;
    }
    // Opens at the designed size unless that would squeeze the controls, and can be enlarged.
    void clientAreaIsAtLeastTheDesignedSize()
    {
        QFETCH(int, pointSize);
        QFETCH(bool, fits);
        const QFont appFont = QApplication::font();
        QFont font = appFont;
        font.setPointSize(pointSize);
        QApplication::setFont(font);
        auto restoreFont = qScopeGuard([&appFont] { QApplication::setFont(appFont); });
        frmMsgCreat f;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const QSize designed = platform::twipsSize(9825, 5970);
        const QSize needed = f.minimumSizeHint();
        if (fits) {
            QVERIFY(needed.width() <= designed.width() && needed.height() <= designed.height());
            QCOMPARE(f.size(), designed);
        } else {
            QVERIFY(needed.width() > designed.width() && needed.height() > designed.height());
            QVERIFY(f.width() >= needed.width() && f.height() >= needed.height());
        }
        const QSize opened = f.size();
        f.resize(opened + QSize(200, 100));
        QTRY_COMPARE(f.size(), opened + QSize(200, 100));
    }
};

TAMRISK_TEST_MAIN(TestFrmMsgCreat)
#include "tst_frmmsgcreat.moc"
