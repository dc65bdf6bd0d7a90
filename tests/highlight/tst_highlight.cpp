// Colouring by grammar: every grammar under the runtime, and one short snippet per language
// whose keyword, string and comment come out in their colours in the view and the save-as files.
#include "MainWindowFixture.h"

#include "export/core/SnippetExport.h"
#include "highlight/Highlighter.h"
#include "platform/RichTextBox.h"
#include "store/NodeKey.h"

#include <QProgressBar>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

using namespace highlight;

using testing::colourAt;

namespace {

QColor colour(Style style) { return QColor(QRgb(colourOf(style))); }

QString htmlEscaped(QString s)
{
    s.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    s.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    s.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    s.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return s;
}

} // namespace

class TestHighlight : public QObject, public testing::MainWindowFixture
{
    Q_OBJECT
private:
    // Shows the snippet's code in the view, coloured as a snippet in language.
    QTextDocument *showCode(const QString &code, const QString &language)
    {
        const qint32 id = lib->addSnippet("s", lib->addCategory("c"), code, "");
        if (!main)
            openMain();
        else
            main->rebuildTree();
        main->setLanguageLookup([id, language](qint32 shown) { return shown == id ? language : VisualBasic; });
        main->TS1()->setCurrentIndex(0);
        main->selectNode(store::snippetKey(id));
        main->ShowSelectedSnippet();
        return main->RTxt1()->document();
    }

private slots:
    void init() { openLibrary(); }
    void cleanup() { closeAll(); }

    void everyGrammarLoadsAndItsQueryCompiles()
    {
        const QStringList names = grammarLanguages();
        QCOMPARE(names, QStringList({"C", "C++", "C#", "Java", "JavaScript", "TypeScript", "Python", "PHP", "Go",
                                     "Rust", "SQL", "Bash", "HTML", "CSS", "JSON"}));
        for (const QString &name : names)
            QVERIFY2(checkGrammar(name).isEmpty(), qPrintable(name + QStringLiteral(": ") + checkGrammar(name)));
    }

    void keywordStringAndCommentInTheirColours_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("word"); // a keyword (a tag in HTML, a constant in JSON)
        QTest::addColumn<int>("wordStyle");
        QTest::addColumn<QString>("string");
        QTest::addColumn<QString>("comment");
        const int keyword = int(Style::Keyword);
        QTest::newRow("C") << "C"
                           << "// note\nint main(void) { return puts(\"hi\"); }"
                           << "return" << keyword << "\"hi\""
                           << "// note";
        QTest::newRow("C++") << "C++"
                             << "// note\nclass A { const char *s = \"hi\"; };"
                             << "class" << keyword << "\"hi\""
                             << "// note";
        QTest::newRow("C#") << "C#"
                            << "// note\nclass A { string s = \"hi\"; }"
                            << "class" << keyword << "\"hi\""
                            << "// note";
        QTest::newRow("Java") << "Java"
                              << "// note\nclass A { String s = \"hi\"; }"
                              << "class" << keyword << "\"hi\""
                              << "// note";
        QTest::newRow("JavaScript") << "JavaScript"
                                    << "// note\nconst s = \"hi\";"
                                    << "const" << keyword << "\"hi\""
                                    << "// note";
        QTest::newRow("TypeScript") << "TypeScript"
                                    << "// note\nlet s: string = \"hi\";"
                                    << "let" << keyword << "\"hi\""
                                    << "// note";
        QTest::newRow("Python") << "Python"
                                << "# note\ndef f():\n    return \"hi\"\n"
                                << "def" << keyword << "\"hi\""
                                << "# note";
        QTest::newRow("PHP") << "PHP"
                             << "<?php\n// note\nfunction f() { return \"hi\"; }"
                             << "function" << keyword << "\"hi\""
                             << "// note";
        QTest::newRow("Go") << "Go"
                            << "// note\npackage main\nvar s = \"hi\"\n"
                            << "package" << keyword << "\"hi\""
                            << "// note";
        QTest::newRow("Rust") << "Rust"
                              << "// note\nfn main() { let s = \"hi\"; }"
                              << "fn" << keyword << "\"hi\""
                              << "// note";
        QTest::newRow("SQL") << "SQL"
                             << "-- note\nSELECT 'hi' FROM t;"
                             << "SELECT" << keyword << "'hi'"
                             << "-- note";
        QTest::newRow("Bash") << "Bash"
                              << "# note\nif true; then echo \"hi\"; fi"
                              << "then" << keyword << "\"hi\""
                              << "# note";
        QTest::newRow("HTML") << "HTML"
                              << "<!-- note -->\n<p class=\"x\">hi</p>"
                              << "p" << int(Style::Tag) << "x"
                              << "<!-- note -->";
        QTest::newRow("CSS") << "CSS"
                             << "/* note */\n@media screen { a { content: \"hi\"; } }"
                             << "@media" << keyword << "\"hi\""
                             << "/* note */";
        QTest::newRow("JSON") << "JSON"
                              << "// note\n{\"k\": [\"hi\", true]}"
                              << "true" << int(Style::Constant) << "\"hi\""
                              << "// note";
    }
    void keywordStringAndCommentInTheirColours()
    {
        QFETCH(QString, language);
        QFETCH(QString, code);
        QFETCH(QString, word);
        QFETCH(int, wordStyle);
        QFETCH(QString, string);
        QFETCH(QString, comment);
        const QList<std::pair<QString, Style>> expected = {
            {word, Style(wordStyle)}, {string, Style::String}, {comment, Style::Comment}};

        // The view: first and last character of each in its colour.
        showCode(code, language);
        QTRY_VERIFY(!main->ProgressBar1()->isVisible());
        QTextDocument *doc = main->RTxt1()->document();
        const QString shown = doc->toPlainText();
        QCOMPARE(shown.size(), code.size());
        for (const auto &[token, style] : expected) {
            const int at = int(code.indexOf(token));
            QVERIFY(at >= 0);
            QCOMPARE(colourAt(doc, at), colour(style));
            QCOMPARE(colourAt(doc, at + int(token.size()) - 1), colour(style));
        }
        QCOMPARE(main->RTxt1()->layoutDirection(), Qt::LeftToRight);

        // RTF: each in a run of its style's colour.
        const QString rtf = QString::fromLatin1(exporting::core::exportText("t", code, exporting::core::Field::Code,
                                                                            exporting::core::Format::Rtf, language));
        for (const auto &[token, style] : expected)
            QVERIFY2(rtf.contains(QStringLiteral("\\cf%1 %2\\plain").arg(int(style)).arg(token)), qPrintable(token));

        // Web page: each in a font of its colour. (The converter opens a font after a quote, an
        // angle bracket, an ampersand or a space that starts it.)
        const QString html = QString::fromUtf8(exporting::core::exportText("t", code, exporting::core::Field::Code,
                                                                           exporting::core::Format::Html, language));
        for (const auto &[token, style] : expected) {
            const QString font = QStringLiteral("<FONT COLOR=\"%1\">").arg(colour(style).name().toUpper());
            const QString head = htmlEscaped(token.left(1));
            const QString rest = htmlEscaped(token.mid(1));
            QVERIFY2(html.contains(font + head + rest) || (head.startsWith(u'&') && html.contains(head + font + rest)),
                     qPrintable(token + QStringLiteral(" in ") + html.section(QStringLiteral("<BODY>"), 1)));
        }
    }

    void unknownLanguageUncolouredAndBrokenCodeShownWhole()
    {
        QTextDocument *doc = showCode("class A { string s = \"hi\"; }", "Klingon");
        QTRY_VERIFY(!main->ProgressBar1()->isVisible());
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            QVERIFY(b.layout()->formats().isEmpty());
        QCOMPARE(doc->toPlainText(), QStringLiteral("class A { string s = \"hi\"; }"));

        // Unbalanced: still all there, coloured as far as the parse allows.
        const QString broken = QStringLiteral("class A { void f( { return \"نص\"; // تعليق\n}}} )(");
        doc = showCode(broken, "C#");
        QTRY_VERIFY(!main->ProgressBar1()->isVisible());
        QCOMPARE(doc->toPlainText(), broken);
        QCOMPARE(colourAt(doc, int(broken.indexOf("return"))), colour(Style::Keyword));
        QCOMPARE(colourAt(doc, int(broken.indexOf("// تعليق")) + 4), colour(Style::Comment));
    }

    void largeSnippetFirstScreenAtOnceTheRestAfter()
    {
        QString code;
        while (code.size() < 300 * 1024)
            code += QStringLiteral("// حساب\npublic class A%1 { string s = \"نص\"; }\n").arg(code.size());
        code += QStringLiteral("return;");
        QTextDocument *doc = showCode(code, "C#");
        // The screen is coloured before the window goes on; the whole is coloured later.
        QVERIFY(main->ProgressBar1()->isVisible());
        QCOMPARE(colourAt(doc, int(code.indexOf("public"))), colour(Style::Keyword));
        QCOMPARE(colourAt(doc, int(code.indexOf("//"))), colour(Style::Comment));
        QCOMPARE(colourAt(doc, int(code.indexOf("\"نص\""))), colour(Style::String));
        QTRY_VERIFY_WITH_TIMEOUT(!main->ProgressBar1()->isVisible(), 120000);
        doc = main->RTxt1()->document();
        QCOMPARE(doc->characterCount() - 1, code.size());
        QCOMPARE(colourAt(doc, int(code.size()) - 7), colour(Style::Keyword));
        QCOMPARE(colourAt(doc, int(code.lastIndexOf("//"))), colour(Style::Comment));
        // Shown again, it is not coloured again.
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->document(), doc);
        QVERIFY(!main->ProgressBar1()->isVisible());
    }
};

QTEST_MAIN(TestHighlight)
#include "tst_highlight.moc"
