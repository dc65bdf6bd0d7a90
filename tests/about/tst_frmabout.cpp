#include "about/FrmAbout.h"

#include "about/Credits.h"
#include "TestSupport.h"
#include "platform/Text.h"
#include "platform/Twips.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>

using namespace about;
using platform::MessageBoxSeam;

namespace {
QString manyLines(int n)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("سطر الشكر رقم %1").arg(i);
    return lines.join(QStringLiteral("\r\n"));
}
} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }

    void showsTheCreditsUnchangedBelowTheBox()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), QStringLiteral("الأول\r\nالثاني\r\n\r\nالرابع").toUtf8());
        FrmAbout box(dir.path());
        QCOMPARE(MessageBoxSeam::count(), 0);
        QCOMPARE(box.windowTitle(), QStringLiteral("عن Tamrisk"));
        QCOMPARE(box.size(), platform::twipsSize(5760, 4485));
        QVERIFY(box.windowFlags() & Qt::Tool);
        const QRect screen = box.screen()->geometry();
        QCOMPARE(box.pos(), QPoint(screen.x() + (screen.width() - box.width()) / 2,
                                   screen.y() + (screen.height() - box.height()) / 2));
        QLabel *label = box.findChild<QLabel *>(QStringLiteral("Label1"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("الأول\nالثاني\n\nالرابع"));
        QVERIFY(label->font().bold());
        QVERIFY(label->alignment() & Qt::AlignHCenter);
        QVERIFY(QFontInfo(label->font()).family().contains(QStringLiteral("Arabic"))
                || QFontInfo(label->font()).family().contains(QStringLiteral("Tahoma"))
                || QFontInfo(label->font()).family().contains(QStringLiteral("DejaVu")));
        // Centred, starting just below the visible area.
        QCOMPARE(label->x(), (box.width() - label->width()) / 2);
        QCOMPARE(label->y(), box.height());
        QCOMPARE(box.labelTopTwips(), int(platform::toTwipsY(box.height())));
        QVERIFY(label->height() >= 4 * label->fontMetrics().height());
    }

    void legacyCreditsAreDecoded()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), platform::encodeWindows1256(QStringLiteral("حزمة قديمة")));
        FrmAbout box(dir.path());
        QCOMPARE(box.Label1()->text(), QStringLiteral("حزمة قديمة"));
    }

    void tallCreditsScrollUpAndRestartAtTheBottom()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), manyLines(40).toUtf8());
        FrmAbout box(dir.path());
        QLabel *label = box.Label1();
        QVERIFY(label->height() > box.height());
        const int bottom = int(platform::toTwipsY(box.height()));
        const int labelHeight = int(platform::toTwipsY(label->height()));

        int expected = bottom;
        int ticks = 0;
        // Up 50 twips a tick while any line is still visible or below.
        while (expected + labelHeight >= 0) {
            box.AboutScrollTick();
            expected -= 50;
            ++ticks;
            QCOMPARE(box.labelTopTwips(), expected);
            QCOMPARE(label->y(), platform::toPixelsY(expected));
        }
        QVERIFY(ticks > (bottom + labelHeight) / 50);
        // The last line has left the top: back to the bottom edge, then up again.
        box.AboutScrollTick();
        QCOMPARE(box.labelTopTwips(), bottom);
        QCOMPARE(label->y(), platform::toPixelsY(bottom));
        box.AboutScrollTick();
        QCOMPARE(box.labelTopTwips(), bottom - 50);
    }

    void theTimerScrollsEveryTwentyMilliseconds()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), manyLines(3).toUtf8());
        FrmAbout box(dir.path());
        QVERIFY(box.scrolling());
        box.show();
        const int start = box.labelTopTwips();
        QTRY_VERIFY(box.labelTopTwips() <= start - 150);
        QCOMPARE((start - box.labelTopTwips()) % 50, 0);
        QCOMPARE(box.scrollInterval(), 20);
    }

    void missingCreditsGiveOneMessageAndAnEmptyLabel()
    {
        QTemporaryDir dir;
        FrmAbout box(dir.path());
        QCOMPARE(MessageBoxSeam::count(), 1);
        const MessageBoxSeam::Record r = MessageBoxSeam::last();
        QVERIFY(!r.arabic()); // the plain box, with the system's captions
        QCOMPARE(r.buttons(), platform::mb::OkOnly);
        QVERIFY(r.prompt.contains(QDir::toNativeSeparators(creditsPath(dir.path()))));
        QCOMPARE(box.Label1()->text(), QString());
        box.show();
        QVERIFY(box.isVisible());
        box.AboutScrollTick();
        QCOMPARE(MessageBoxSeam::count(), 1);
    }

    void unreadableCreditsAreReportedToo()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(creditsFileName())); // a folder where the file should be
        FrmAbout box(dir.path());
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(box.Label1()->text(), QString());
    }

    void escClosesAndNoTickRunsAfterwards()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), manyLines(10).toUtf8());
        FrmAbout box(dir.path());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const int start = box.labelTopTwips();
        QTRY_VERIFY(box.labelTopTwips() < start);

        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(!box.isVisible());
        QVERIFY(!box.scrolling());
        const int stopped = box.labelTopTwips();
        // Let several timer periods pass through the event loop.
        bool probed = false;
        QTimer::singleShot(120, &box, [&probed] { probed = true; });
        QTRY_VERIFY(probed);
        QCOMPARE(box.labelTopTwips(), stopped);
    }

    void closeBoxStopsTheTimerToo()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), manyLines(3).toUtf8());
        FrmAbout box(dir.path());
        box.show();
        QVERIFY(box.scrolling());
        box.close();
        QVERIFY(!box.scrolling());
    }

    void pictureIsPaintedAsASquare_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("byWidth");
        QTest::newRow("landscape") << QSize(400, 300) << true;
        QTest::newRow("portrait") << QSize(300, 400) << false;
        QTest::newRow("square") << QSize(300, 300) << false;
    }
    void pictureIsPaintedAsASquare()
    {
        QFETCH(QSize, picture);
        QFETCH(bool, byWidth);
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), QByteArray());
        FrmAbout box(dir.path());
        QVERIFY(box.width() > box.height());
        QImage red(picture, QImage::Format_RGB32);
        red.fill(Qt::red);
        box.RedrawPic(red);
        const int side = byWidth ? box.width() : box.height();
        QCOMPARE(box.pictureRect(), QRect(0, 0, side, side));
        QCOMPARE(pictureSide(box.size(), picture), side);

        // The strip to the right of a height-sized square stays unpainted.
        const QImage shot = box.grab().toImage();
        const QPoint rightStrip(box.width() - 5, box.height() / 2);
        QCOMPARE(QColor(shot.pixel(rightStrip)) == QColor(Qt::red), byWidth);
        QCOMPARE(QColor(shot.pixel(QPoint(box.height() / 2, box.height() / 2))), QColor(Qt::red));
    }

    void longParagraphsWrapWithinTheLabel()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), QByteArray("a\nb"));
        FrmAbout twoLines(dir.path());
        const int lineHeight = twoLines.Label1()->height() / 2;
        QVERIFY(lineHeight > 0);
        testing::writeFile(creditsPath(dir.path()), QString(QStringLiteral("كلمة ")).repeated(60).toUtf8());
        FrmAbout wrapped(dir.path());
        QVERIFY(wrapped.Label1()->height() >= 3 * lineHeight);
        QVERIFY(wrapped.Label1()->width() < wrapped.width());
    }

    void laterLinesAreDrawnAsTheyScrollIntoView()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), QByteArray());
        FrmAbout empty(dir.path());
        const QImage background = empty.grab().toImage();

        testing::writeFile(creditsPath(dir.path()), manyLines(80).toUtf8());
        FrmAbout box(dir.path());
        QCOMPARE(box.grab().toImage(), background); // everything still below the box
        // Scroll until the middle of the credits fills the box.
        const int target = -int(platform::toTwipsY(box.Label1()->height())) / 2;
        while (box.labelTopTwips() > target)
            box.AboutScrollTick();
        const QImage shot = box.grab().toImage();
        int changedRows = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                if (shot.pixel(x, y) != background.pixel(x, y)) {
                    ++changedRows;
                    break;
                }
            }
        }
        QVERIFY2(changedRows > shot.height() / 3, qPrintable(QString::number(changedRows)));
    }

    void shipsABackgroundPicture()
    {
        const QImage picture = FrmAbout::backgroundPicture();
        QVERIFY(!picture.isNull());
        QTemporaryDir dir;
        installDefaultCredits(dir.path());
        FrmAbout box(dir.path());
        QCOMPARE(box.pictureRect().width(), pictureSide(box.size(), picture.size()));
        QVERIFY(!box.Label1()->text().isEmpty());
    }

    void eachOpeningIsAFreshBox()
    {
        QTemporaryDir dir;
        testing::writeFile(creditsPath(dir.path()), QByteArray("one"));
        auto *first = new FrmAbout(dir.path());
        first->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<FrmAbout> guard(first);
        first->show();
        for (int i = 0; i < 5; ++i)
            first->AboutScrollTick();
        QTest::keyClick(first, Qt::Key_Escape);
        QTRY_VERIFY(guard.isNull());
        testing::writeFile(creditsPath(dir.path()), QByteArray("two"));
        FrmAbout second(dir.path());
        QCOMPARE(second.Label1()->text(), QStringLiteral("two"));
        QCOMPARE(second.labelTopTwips(), int(platform::toTwipsY(second.height())));
    }
};

TAMRISK_TEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
