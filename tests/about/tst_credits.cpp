#include "about/Credits.h"

#include "TestSupport.h"
#include "platform/Text.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace about;

class TestCredits : public QObject
{
    Q_OBJECT
private slots:
    void pathIsCredTxtInTheLibraryFolder()
    {
        QCOMPARE(creditsPath(QStringLiteral("/data/lib")), QStringLiteral("/data/lib/Cred.txt"));
    }

    void utf8IsReadAsUtf8()
    {
        const QString text = QStringLiteral("شكر\r\nThanks\r\n");
        QCOMPARE(decodeCredits(text.toUtf8()), text);
    }

    void legacyFilesAreWindows1256()
    {
        const QString text = QStringLiteral("حزمة التحديث\r\n2024/01/02\r\n");
        QCOMPARE(decodeCredits(platform::encodeWindows1256(text)), text);
    }

    void utf8AndLegacyEntriesInOneFileBothRead()
    {
        const QString first = QStringLiteral("مكتبة الأكواد\r\n");
        const QString appended = QStringLiteral("حزمة أحمد\r\nملاحظات\r\n\r\n");
        const QByteArray bytes = first.toUtf8() + platform::encodeWindows1256(appended);
        QCOMPARE(decodeCredits(bytes), first + appended);
    }

    void defaultCreditsAreShippedAsUtf8()
    {
        const QByteArray bytes = defaultCredits();
        QVERIFY(!bytes.isEmpty());
        const QString text = decodeCredits(bytes);
        QVERIFY(text.contains(QStringLiteral("Tamrisk")));
        QCOMPARE(QString::fromUtf8(bytes), text);
        // Appended package entries must start on a line of their own.
        QVERIFY(bytes.endsWith("\r\n"));
    }

    void installWritesTheDefaultWhenMissing()
    {
        QTemporaryDir dir;
        installDefaultCredits(dir.path());
        QCOMPARE(testing::readFile(creditsPath(dir.path())), defaultCredits());
    }

    void installNeverTouchesAnExistingFile()
    {
        QTemporaryDir dir;
        const QByteArray mine = platform::encodeWindows1256(QStringLiteral("سجل قديم\r\n"));
        testing::writeFile(creditsPath(dir.path()), mine);
        installDefaultCredits(dir.path());
        QCOMPARE(testing::readFile(creditsPath(dir.path())), mine);
    }

    void installReportsAFolderItCannotWrite()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("no/such/folder"));
        QVERIFY_THROWS_EXCEPTION(platform::FileError, installDefaultCredits(missing));
        QVERIFY(!QFile::exists(creditsPath(missing)));
    }
};

TAMRISK_TEST_MAIN(TestCredits)
#include "tst_credits.moc"
