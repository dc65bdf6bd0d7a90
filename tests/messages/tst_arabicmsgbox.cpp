#include "TestSupport.h"

#include "messages/ArabicMsgBox.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace platform;

class TestArabicMsgBox : public QObject
{
    Q_OBJECT
private:
    struct Seen {
        QStringList captions;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        Qt::Alignment alignment;
        QString text;
    };

    // Shows the real box (seam off), reads it, and presses the button with the given caption.
    Seen showAndPress(const std::function<int()> &show, const QString &press, int *result)
    {
        Seen seen;
        MessageBoxSeam::enable(false);
        QTimer::singleShot(0, this, [&] {
            QMessageBox *box = nullptr;
            QTRY_VERIFY((box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())));
            for (QAbstractButton *b : box->buttons())
                seen.captions.append(b->text());
            seen.direction = box->layoutDirection();
            if (auto *label = box->findChild<QLabel *>("qt_msgbox_label")) {
                seen.alignment = label->alignment();
                seen.text = label->text();
            }
            for (QAbstractButton *b : box->buttons())
                if (b->text() == press)
                    b->click();
        });
        *result = show();
        MessageBoxSeam::enable(true);
        return seen;
    }

private slots:
    void init() { testing::resetSeams(); }

    void yesNoHasArabicCaptionsAndReturnsSixOrSeven()
    {
        int result = 0;
        Seen seen = showAndPress(
            [] { return messages::ArabicMsgBox(nullptr, "سؤال؟", "رسالة تأكيد", mb::YesNo, mb::Question); },
            QStringLiteral("لا"), &result);
        QCOMPARE(result, mb::No);
        QVERIFY(seen.captions.contains(QStringLiteral("نعم")));
        QVERIFY(seen.captions.contains(QStringLiteral("لا")));
        QCOMPARE(seen.captions.size(), 2);
        QCOMPARE(seen.direction, Qt::RightToLeft);
        QVERIFY(seen.alignment & Qt::AlignRight);
        QCOMPARE(seen.text, QStringLiteral("سؤال؟"));
        showAndPress([] { return messages::ArabicMsgBox(nullptr, "x", "t", mb::YesNo, mb::Question); },
                     QStringLiteral("نعم"), &result);
        QCOMPARE(result, mb::Yes);
    }

    void okOnlyHasOneButton()
    {
        int result = 0;
        Seen seen = showAndPress([] { return messages::ArabicMsgBox(nullptr, "x", "t", mb::OkOnly, 0); },
                                 QStringLiteral("موافق"), &result);
        QCOMPARE(seen.captions, QStringList({QStringLiteral("موافق")}));
        QCOMPARE(result, mb::OK);
    }

    void everyCaptionOfTheTable()
    {
        const auto &c = messages::arabicButtonCaptions();
        QCOMPARE(c.value(1), QStringLiteral("موافق"));
        QCOMPARE(c.value(2), QStringLiteral("إلغاء الأمر"));
        QCOMPARE(c.value(3), QStringLiteral("إحباط"));
        QCOMPARE(c.value(4), QStringLiteral("إعادة المحاولة"));
        QCOMPARE(c.value(5), QStringLiteral("تجاهل"));
        QCOMPARE(c.value(6), QStringLiteral("نعم"));
        QCOMPARE(c.value(7), QStringLiteral("لا"));
        int result = 0;
        Seen seen = showAndPress(
            [] { return messages::ArabicMsgBox(nullptr, "x", "t", mb::AbortRetryIgnore, mb::Critical); },
            QStringLiteral("تجاهل"), &result);
        QCOMPARE(result, mb::Ignore);
        QCOMPARE(seen.captions.size(), 3);
    }

    void styleCarriesRightToLeftFlags()
    {
        MessageBoxSeam::setNextAnswer(mb::Yes);
        QCOMPARE(messages::ArabicMsgBox(nullptr, "p", "t", mb::YesNo, mb::Question), mb::Yes);
        const auto record = MessageBoxSeam::last();
        QCOMPARE(record.style, mb::YesNo + mb::Question + 0x100000 + 0x80000);
        QVERIFY(record.arabic());
        QCOMPARE(record.prompt, QStringLiteral("p"));
        QCOMPARE(record.title, QStringLiteral("t"));
    }

    void plainBoxKeepsSystemCaptions()
    {
        int result = 0;
        Seen seen = showAndPress([] { return plainMessageBox(nullptr, "x", "t", mb::OkCancel); },
                                 QStringLiteral("Cancel"), &result);
        QCOMPARE(result, mb::Cancel);
        QVERIFY(!seen.captions.contains(QStringLiteral("موافق")));
        QCOMPARE(seen.direction, Qt::LeftToRight);
        MessageBoxSeam::clear();
        plainMessageBox(nullptr, "plain", "t");
        QVERIFY(!MessageBoxSeam::last().arabic());
    }
};

TAMRISK_TEST_MAIN(TestArabicMsgBox)
#include "tst_arabicmsgbox.moc"
