// The quick palette: what typing finds, what the keys copy or open, and a second start that has the
// running window show it.
#include "TestSupport.h"

#include "app/Application.h"
#include "app/Palette.h"
#include "app/SingleInstance.h"
#include "browser/FrmMain.h"
#include "highlight/Styles.h"
#include "search/FrmPalette.h"
#include "search/core/SnippetSearch.h"
#include "store/Library.h"
#include "store/LibraryLocation.h"
#include "store/NodeKey.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextCursor>
#include <QApplication>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

namespace {

search::FrmPalette *paletteOf(browser::FrmMain &main)
{
    return main.findChild<search::FrmPalette *>(QString(), Qt::FindDirectChildrenOnly);
}

QList<qint32> findDialogAnswer(const QString &word)
{
    search::SearchFields fields;
    fields.caption = fields.code = fields.learn = true;
    search::SearchOptions options;
    options.arabic = true;
    search::SnippetSearch search(testing::library(), word, fields, search::SnippetSearch::Measure(), options);
    search.runToEnd();
    QList<qint32> ids;
    for (const search::SearchHit &hit : search.hits())
        ids.append(hit.id);
    return ids;
}

QColor foregroundAt(search::FrmPalette *palette, int position)
{
    QTextCursor cursor(testing::control<QPlainTextEdit>(palette, "txtPalettePreview")->document());
    cursor.setPosition(position);
    return cursor.charFormat().foreground().color();
}

// Typed key by key; QTest::keyClicks takes Latin-1 only.
void type(QWidget *widget, const QString &text)
{
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

} // namespace

class TestPalette : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }

    void typingFindsWhatTheFindDialogFindsAndTheKeysCopyOrOpen()
    {
        testing::TempLibrary temp;
        const qint32 files = temp.addCategory(QStringLiteral("الملفات"));
        const qint32 other = temp.addCategory(QStringLiteral("أخرى"));
        const qint32 inCode = temp.addSnippet(QStringLiteral("فتح ملف"), files,
                                              QStringLiteral("Open \"a\" For Input As #1\r\n' اقرأ البيانات"),
                                              QStringLiteral("يفتح الملف"));
        const qint32 inTitle = temp.addSnippet(QStringLiteral("قراءة البيانات"), other, QStringLiteral("Line Input #1, s"),
                                               QStringLiteral("شرح القراءة"));
        temp.addSnippet(QStringLiteral("غير ذلك"), other, QStringLiteral("Beep"));
        const qint32 inComment = temp.addSnippet(QStringLiteral("حفظ"), files, QStringLiteral("Put #1, , x"),
                                                 QStringLiteral("يحفظ بيانات المستخدم"));
        testing::library().setSnippetLanguage(inComment, QStringLiteral("Python"));

        browser::FrmMain main(testing::library());
        app::installCommands(main);
        main.load();
        main.show();
        app::showPalette(main);
        search::FrmPalette *palette = paletteOf(main);
        QVERIFY(palette);
        QTRY_VERIFY(palette->isActiveWindow());
        auto *box = testing::control<QLineEdit>(palette, "txtPaletteSearch");
        QCOMPARE(box->placeholderText(), QStringLiteral("ابحث في الأكواد..."));
        QVERIFY(box->hasFocus());

        // "البيانات" with the alef without hamza and a tatweel: flexible Arabic matching, as the find dialog.
        const QString word = QStringLiteral("البيـانات");
        type(box, word);
        QTRY_VERIFY(!palette->isSearching() && !palette->resultIds().isEmpty());
        QList<qint32> expected = findDialogAnswer(word);
        QCOMPARE(expected.size(), 2); // not "يحفظ بيانات": the word has its article
        QList<qint32> shown = palette->resultIds();
        QCOMPARE(shown.first(), inTitle); // titles first
        QCOMPARE(QSet<qint32>(shown.begin(), shown.end()), QSet<qint32>(expected.begin(), expected.end()));
        auto *list = testing::control<QTreeWidget>(palette, "lstPaletteResults");
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("أخرى"));

        // Down then Return: the exact code of the second line on the clipboard, and the palette gone.
        QTest::keyClick(box, Qt::Key_Down);
        // Its first lines below, coloured as in the view: "Open" a Visual Basic keyword.
        QCOMPARE(foregroundAt(palette, 1), QColor(0x000080));
        const qint32 second = shown.at(1);
        QTest::keyClick(box, Qt::Key_Return);
        QTRY_VERIFY(!palette->isVisible());
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 testing::library().snippetField(second, QStringLiteral("code"))->toString());
        QCOMPARE(second, inCode);

        // Shift+Return: the comment.
        app::showPalette(main);
        QTRY_VERIFY(palette->isActiveWindow());
        box->clear();
        type(box, QStringLiteral("حفظ"));
        QTRY_COMPARE(palette->resultIds(), QList<qint32>({inComment}));
        // In Python, "#1, , x" is a comment.
        QCOMPARE(foregroundAt(palette, 5), QColor(QRgb(highlight::colourOf(highlight::Style::Comment))));
        QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
        QTRY_VERIFY(!palette->isVisible());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("يحفظ بيانات المستخدم"));

        // Ctrl+Return: the snippet selected in the window's tree; Escape just closes.
        app::showPalette(main);
        QTRY_VERIFY(palette->isActiveWindow());
        QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
        QTRY_VERIFY(!palette->isVisible());
        QCOMPARE(browser::FrmMain::keyOf(main.TVCodeHead()->currentIndex()), store::snippetKey(inComment));
        app::showPalette(main);
        QTRY_VERIFY(palette->isActiveWindow());
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!palette->isVisible());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    }

    void aSecondStartWithPaletteHasTheRunningWindowShowIt()
    {
        app::openLibrary(testing::library(), store::defaultLibraryPath());
        browser::FrmMain main(testing::library());
        app::installCommands(main);
        main.load();
        main.show();
        app::SingleInstance instance(store::defaultLibraryPath());
        QVERIFY(instance.claim());
        connect(&instance, &app::SingleInstance::paletteRequested, &main, [&main] { app::showPalette(main); });

        QProcess second;
        second.start(QStringLiteral(TAMRISK_PROGRAM), {QStringLiteral("--palette")});
        QTRY_VERIFY_WITH_TIMEOUT(paletteOf(main) && paletteOf(main)->isVisible(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        paletteOf(main)->close();
        testing::library().close();
    }

    void aPaletteAloneOnAMissingLibrarySaysSoAndEndsWhenClosed()
    {
        const QString missing = QDir::temp().filePath(QStringLiteral("no-such-folder-tamrisk/codedb.mdb"));
        QString message;
        QTimer::singleShot(0, this, [&] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *palette = qobject_cast<search::FrmPalette *>(window)) {
                    message = testing::control<QLabel>(palette, "lblPaletteMessage")->text();
                    QTest::keyClick(testing::control<QLineEdit>(palette, "txtPaletteSearch"), Qt::Key_Escape);
                }
        });
        QCOMPARE(app::runPaletteAlone(missing), 0);
        QVERIFY2(message.startsWith(QStringLiteral("تعذر فتح مكتبة الأكواد:\n")), qPrintable(message));
        QVERIFY(message.contains(QDir::toNativeSeparators(missing)));
        QVERIFY(!QFileInfo::exists(missing));
    }
};

TAMRISK_TEST_MAIN(TestPalette)
#include "tst_palette.moc"
