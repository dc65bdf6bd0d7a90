// The RTF-to-HTML converter, one group per rule, on RTF written by hand in the layout of
// our writer: tables in the header, \deflang on a new line, "\par" at the start of a line.
#include "export/core/RtfToHtml.h"
#include "platform/RtfWriter.h"

#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using exporting::rtfTohtml::ConversionError;
using exporting::rtfTohtml::ConvertRtfToHtml;

namespace {

const QString FontTable = QStringLiteral("{\\fonttbl{\\f0\\fnil\\fcharset178 Courier New;}{\\f1\\fswiss Arial;}}");
const QString ColourTable = QStringLiteral(
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}");

QString header(bool colours = true)
{
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1256\\deff0") + FontTable + QStringLiteral("\r\n")
           + (colours ? ColourTable + QStringLiteral("\r\n") : QString());
}

// One RTF document whose paragraphs are the given body texts.
QString doc(const QStringList &paragraphs, bool colours = true)
{
    return header(colours) + QStringLiteral("\\deflang1025\\pard\\plain ")
           + paragraphs.join(QStringLiteral("\r\n\\par ")) + QStringLiteral("\r\n\\par }");
}

QString convert(const QString &paragraph, const QString &options = {}, bool colours = true)
{
    return ConvertRtfToHtml(doc({paragraph}, colours), options);
}

const QString Crlf = QStringLiteral("\r\n");
const QString Red = QStringLiteral("<FONT COLOR=\"#FF0000\">");

} // namespace

class TestRtfToHtml : public QObject
{
    Q_OBJECT
private slots:
    void boldGroupThenText()
    {
        QCOMPARE(convert(QStringLiteral("{\\b bold}rest")), QStringLiteral("<B>bold</B>rest"));
        QCOMPARE(convert(QStringLiteral("{\\i\\ul x}{\\strike y}")),
                 QStringLiteral("<I><U>x</U></I><STRIKE>y</STRIKE>"));
        // Switching off by \b0 is not understood: the tag stays open until the group ends.
        QCOMPARE(convert(QStringLiteral("{\\b a\\b0 b}c")), QStringLiteral("<B>ab</B>c"));
    }

    void documentFrameAndParagraphs()
    {
        const QString html = ConvertRtfToHtml(doc({QStringLiteral("one"), QStringLiteral("two")}),
                                              QStringLiteral("+H +CR"));
        const QString expected = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">") + Crlf
                                 + QStringLiteral("<HTML>") + Crlf + QStringLiteral("<HEAD>") + Crlf
                                 + QStringLiteral(
                                     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">")
                                 + Crlf + QStringLiteral("<TITLE></TITLE>") + Crlf + Crlf + QStringLiteral("</HEAD>")
                                 + Crlf + QStringLiteral("<BODY>") + Crlf + QStringLiteral("one<BR>") + Crlf
                                 + QStringLiteral("two</BODY>") + Crlf + QStringLiteral("</HTML>");
        QCOMPARE(html, expected);
        // Without "+CR" the break has no line end; without "+H" there is no frame.
        QCOMPARE(ConvertRtfToHtml(doc({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}), {}),
                 QStringLiteral("one<BR>two<BR>three"));
    }

    void titleAndGenerator()
    {
        const QString html = convert(QStringLiteral("x"), QStringLiteral("+H+G+T=\"My <b> & co\""));
        QVERIFY(
            html.contains(QStringLiteral("<TITLE>My &lt;b&gt; &amp; co</TITLE>\r\n"
                                         "<META NAME=\"GENERATOR\" CONTENT=\"RTF2HTML by Pellandor\">\r\n</HEAD>")));
        QVERIFY_THROWS_EXCEPTION(ConversionError, convert(QStringLiteral("x"), QStringLiteral("+H +T=\"open")));
    }

    void colours()
    {
        QCOMPARE(convert(QStringLiteral("\\cf1 red")), Red + QStringLiteral("red</FONT>"));
        QCOMPARE(convert(QStringLiteral("\\cf2 navy")), QStringLiteral("<FONT COLOR=\"#000080\">navy</FONT>"));
        // No colour table: entry 0 is the empty entry.
        QCOMPARE(convert(QStringLiteral("\\cf0 x"), {}, false), QStringLiteral("<FONT COLOR=\"#\">x</FONT>"));
        // Beyond the table: nothing changes.
        QCOMPARE(convert(QStringLiteral("\\cf9 x")), QStringLiteral("x"));
        // A digit in the text after the delimiter is text, not part of the colour number.
        QCOMPARE(convert(QStringLiteral("\\cf1 2x")), Red + QStringLiteral("2x</FONT>"));
        QCOMPARE(convert(QStringLiteral("To\\cf1  10")), QStringLiteral("To ") + Red + QStringLiteral("10</FONT>"));
    }

    void fontFaces()
    {
        QCOMPARE(convert(QStringLiteral("\\f1 x")), QStringLiteral("<FONT FACE=\"Arial\">x</FONT>"));
        // The face of font 0 is the page's own: no tag.
        QCOMPARE(convert(QStringLiteral("\\f0 x")), QStringLiteral("x"));
        QCOMPARE(convert(QStringLiteral("\\f1\\cf1\\fs28 x")),
                 QStringLiteral("<FONT FACE=\"Arial\" COLOR=\"#FF0000\" SIZE = \"3\">x</FONT>"));
    }

    void fontSizes_data()
    {
        QTest::addColumn<int>("fs");
        QTest::addColumn<QString>("tag");
        QTest::newRow("20") << 20 << Red;
        QTest::newRow("24") << 24 << Red;
        QTest::newRow("28") << 28 << QStringLiteral("<FONT COLOR=\"#FF0000\" SIZE = \"3\">");
        QTest::newRow("8") << 8 << QStringLiteral("<FONT COLOR=\"#FF0000\" SIZE = \"1\">");
        QTest::newRow("100") << 100 << QStringLiteral("<FONT COLOR=\"#FF0000\" SIZE = \"8\">");
    }
    void fontSizes()
    {
        QFETCH(int, fs);
        QFETCH(QString, tag);
        QCOMPARE(convert(QStringLiteral("\\fs%1\\cf1 x").arg(fs)), tag + QStringLiteral("x</FONT>"));
    }

    void sizeAloneWritesNoTag() { QCOMPARE(convert(QStringLiteral("\\fs28 big")), QStringLiteral("big")); }

    void alignmentWaitsForFontTag()
    {
        const QString table = QStringLiteral("<TABLE ALIGN=\"left\" CELLSPACING=0 CELLPADDING=0 WIDTH=\"100%\">");
        QCOMPARE(convert(QStringLiteral("\\qc a\\cf1 b")), QStringLiteral("a") + table
                                                               + QStringLiteral("<TR ALIGN=\"center\"><TD>") + Red
                                                               + QStringLiteral("b</FONT>"));
        QCOMPARE(convert(QStringLiteral("\\qr\\cf1 b\\plain c"), QStringLiteral("+CR")),
                 table + QStringLiteral("<TR ALIGN=\"right\"><TD>") + Red
                     + QStringLiteral("b</FONT></TD></TR></TABLE><BR>\r\nc"));
        QCOMPARE(convert(QStringLiteral("\\qc centred")), QStringLiteral("centred"));
    }

    void plainClosesFontAndTags()
    {
        QCOMPARE(convert(QStringLiteral("{\\b\\cf1 a\\plain b}")),
                 QStringLiteral("<B>") + Red + QStringLiteral("a</FONT></B>b"));
        // Only one "</FONT>" at the finish, however many tags were opened.
        QCOMPARE(convert(QStringLiteral("\\cf1 a\\cf2 b")), Red + QStringLiteral("a<FONT COLOR=\"#000080\">b</FONT>"));
    }

    void hexEscapes()
    {
        QCOMPARE(convert(QStringLiteral("\\'e7")), QStringLiteral("&Atilde;"));
        QCOMPARE(convert(QStringLiteral("\\'c7")), QString(QChar(0x0627)));
        QCOMPARE(convert(QStringLiteral("\\'E7")), QString(QChar(0x00E7)));
        QCOMPARE(convert(QStringLiteral("\\'85x\\'00")), QStringLiteral("...x&nbsp;"));
    }

    void arabicText()
    {
        const QString arabic = QString::fromUtf8("\xd8\xa7\xd9\x84\xd8\xb9\xd8\xb1\xd8\xa8\xd9\x8a\xd8\xa9"); // العربية
        QString viaUnicode;
        QString viaCodePage;
        for (QChar c : arabic)
            viaUnicode += QStringLiteral("\\u%1?").arg(c.unicode());
        viaCodePage = QStringLiteral("\\'c7\\'e1\\'da\\'d1\\'c8\\'ed\\'c9");
        QCOMPARE(convert(viaUnicode), arabic);
        QCOMPARE(convert(viaCodePage), arabic);
        // The fallback count follows \ucN; a fallback written as an escape counts as one.
        QCOMPARE(convert(QStringLiteral("{\\uc2\\u1575 ??}\\u1604\\'3fb")),
                 QString(QChar(0x0627)) + QChar(0x0644) + 'b');
        QCOMPARE(convert(QStringLiteral("\\uc0\\u1575 x")), QString(QChar(0x0627)) + 'x');
        QCOMPARE(convert(QStringLiteral("\\u-4064?")), QString(QChar(0xF020)));
    }

    void decodedMarkupIsEscaped()
    {
        QCOMPARE(convert(QStringLiteral("\\'3cscript\\'3e\\u38?\\u34?")), QStringLiteral("&lt;script&gt;&amp;&quot;"));
        QCOMPARE(convert(QStringLiteral("\\'3cb\\'3e"), QStringLiteral("+I")), QStringLiteral("<b>"));
    }

    void leadingSpaces()
    {
        QCOMPARE(convert(QStringLiteral("   a b")), QStringLiteral("&nbsp;&nbsp;&nbsp;a b"));
        QCOMPARE(convert(QStringLiteral("a  b")), QStringLiteral("a  b"));
        // Markup before the spaces does not end the indentation (a line starting with a colour).
        QCOMPARE(convert(QStringLiteral("{\\b  x}")), QStringLiteral("<B>&nbsp;x</B>"));
        QCOMPARE(convert(QStringLiteral("\\cf1   x")),
                 QStringLiteral("&nbsp;") + Red + QStringLiteral("&nbsp;x</FONT>"));
        // Every paragraph starts a new run.
        QCOMPARE(ConvertRtfToHtml(doc({QStringLiteral(" a"), QStringLiteral(" b")}), {}),
                 QStringLiteral("&nbsp;a<BR>&nbsp;b"));
    }

    void markupCharacters()
    {
        QCOMPARE(convert(QStringLiteral("a<b>c")), QStringLiteral("a&lt;b&gt;c"));
        QCOMPARE(convert(QStringLiteral("a<b>c"), QStringLiteral("+I")), QStringLiteral("a<b>c"));
        QCOMPARE(convert(QStringLiteral("a&b \"q\"")), QStringLiteral("a&amp;b &quot;q&quot;"));
        QCOMPARE(convert(QStringLiteral("a&b"), QStringLiteral("+I")), QStringLiteral("a&amp;b"));
        // A font tag that a replacement triggers stands after it.
        QCOMPARE(convert(QStringLiteral("\\cf1 &x")), QStringLiteral("&amp;") + Red + QStringLiteral("x</FONT>"));
        QCOMPARE(convert(QStringLiteral("\\cf1  x")), QStringLiteral("&nbsp;") + Red + QStringLiteral("x</FONT>"));
        // With +I, "<" is written as a character (its tag before it), ">" is appended directly (its tag after it).
        QCOMPARE(convert(QStringLiteral("\\cf1 <a\\plain\\cf2 >b"), QStringLiteral("+I")),
                 Red + QStringLiteral("<a</FONT>><FONT COLOR=\"#000080\">b</FONT>"));
    }

    void malformedTablesStayBounded()
    {
        // Names without ";" end at their entry's "}", not at the next name's ";".
        const QString fonts = QStringLiteral(
            "{\\rtf1{\\fonttbl{\\f0 A}{\\f1 Bee}{\\f2 C;}}\r\n\\deflang1025 \\f1 x\r\n\\par }");
        QCOMPARE(ConvertRtfToHtml(fonts, {}), QStringLiteral("<FONT FACE=\"Bee\">x</FONT>"));
        // Entries with neither ";" nor "}" end where the next one begins: each font keeps its own
        // short name, so a large table of them costs its size, not its size squared.
        QString many = QStringLiteral("{\\rtf1{\\fonttbl");
        const int count = 20000;
        for (int i = 0; i < count; ++i)
            many += QStringLiteral("{\\f%1\\fnil Name%1").arg(i);
        many += QStringLiteral(";}}\r\n\\deflang1025 \\f1 x\\f%1 y\r\n\\par }").arg(count - 1);
        QCOMPARE(ConvertRtfToHtml(many, {}),
                 QStringLiteral("<FONT FACE=\"Name1\">x<FONT FACE=\"Name%1\">y</FONT>").arg(count - 1));
        // An entry without \\green or \\blue reads the missing part from the entries after it, as before.
        const QString colours = QStringLiteral(
            "{\\rtf1{\\colortbl\\red255;\\red1\\green2\\blue3;}\r\n\\deflang1025 \\cf0 x\r\n\\par }");
        QCOMPARE(ConvertRtfToHtml(colours, {}), QStringLiteral("<FONT COLOR=\"#FF0203\">x</FONT>"));
    }

    // RTF line breaks are not text: the fallback of \\uN is the character after them.
    void lineBreakBeforeFallbackIsNotTheFallback()
    {
        const QString alef = QString(QChar(0x0627));
        QCOMPARE(convert(QStringLiteral("\\u1575\r\n?b")), alef + QStringLiteral("b"));
        QCOMPARE(convert(QStringLiteral("\\u1575 \n?b")), alef + QStringLiteral("b"));
        QCOMPARE(convert(QStringLiteral("\\uc2\\u1575\n\r\n??b")), alef + QStringLiteral("b"));
        QCOMPARE(convert(QStringLiteral("\\u1575?b")), alef + QStringLiteral("b"));
    }

    void symbolsLoseNothing_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::addColumn<QString>("html");
        QTest::newRow("tab") << QStringLiteral("a\\tab b") << QStringLiteral("a&#9;b");
        QTest::newRow("bullet") << QStringLiteral("\\bullet x") << QString::fromUtf8("\xe2\x80\xa2x");
        QTest::newRow("emdash") << QStringLiteral("\\emdash x") << QString::fromUtf8("\xe2\x80\x94x");
        QTest::newRow("quotes") << QStringLiteral("\\ldblquote a\\rdblquote \\lquote b\\rquote c")
                                << QString::fromUtf8("\xe2\x80\x9c"
                                                     "a"
                                                     "\xe2\x80\x9d\xe2\x80\x98"
                                                     "b"
                                                     "\xe2\x80\x99"
                                                     "c");
        QTest::newRow("braces") << QStringLiteral("\\{x\\}y") << QStringLiteral("{x}y");
        QTest::newRow("backslash") << QStringLiteral("\\\\x") << QStringLiteral("\\x");
        QTest::newRow("tilde") << QStringLiteral("a\\~b") << QStringLiteral("a b");
        QTest::newRow("line break") << QStringLiteral("a\\\r\nb") << QStringLiteral("a\r\nb");
        QTest::newRow("unknown word") << QStringLiteral("a\\lang1033 b\\highlight0}c") << QStringLiteral("abc");
    }
    void symbolsLoseNothing()
    {
        QFETCH(QString, rtf);
        QFETCH(QString, html);
        QCOMPARE(convert(rtf), html);
    }

    void bulletedRun()
    {
        const QStringList paragraphs = {
            QStringLiteral("a"),
            QStringLiteral(
                "{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'b7}}\\fi-200\\li200 one"),
            QStringLiteral("{\\pntext\\f1\\'b7\\tab}two"),
            QStringLiteral("\\pard\\plain b"),
        };
        QCOMPARE(ConvertRtfToHtml(doc(paragraphs), {}), QStringLiteral("a<BR><UL><LI>one</LI><LI>two</LI></UL>b"));
        // A group without its "}": the scan ends at the end of the text.
        const QString unclosed = header()
                                 + QStringLiteral("\\deflang1025\\pard\\plain a\r\n\\par x{\\pntext\\f1 y\r\n"
                                                  "\\par z\r\n\\par ");
        QCOMPARE(ConvertRtfToHtml(unclosed, {}), QStringLiteral("a<BR>x"));
    }

    void writerOutputForAColouredSnippet()
    {
        QTextDocument document;
        QTextCursor cursor(&document);
        QTextCharFormat plain;
        plain.setForeground(QColor(Qt::black));
        QTextCharFormat navy;
        navy.setForeground(QColor(0, 0, 128));
        cursor.insertText(QStringLiteral("Dim"), navy);
        cursor.insertText(QStringLiteral(" total "), plain);
        cursor.insertText(QStringLiteral("As"), navy);
        cursor.insertText(QStringLiteral(" Long"), plain);
        cursor.insertBlock();
        cursor.insertText(QStringLiteral("total = 10 < 20 ' \u0645\u062c\u0645\u0648\u0639"), plain);
        cursor.insertBlock();
        cursor.insertText(QStringLiteral("End"), navy);
        cursor.insertText(QStringLiteral(" "), plain);
        cursor.insertText(QStringLiteral("Sub"), navy);

        const QString html = ConvertRtfToHtml(platform::documentToRtf(document), QStringLiteral("+H +CR"));
        const QString navyTag = QStringLiteral("<FONT COLOR=\"#000080\"");
        for (const QString &keyword :
             {QStringLiteral("Dim"), QStringLiteral("As"), QStringLiteral("End"), QStringLiteral("Sub")}) {
            const qsizetype at = html.indexOf(
                QRegularExpression(QStringLiteral("[ >]") + keyword + QStringLiteral("\\b")));
            QVERIFY2(at >= 0, qPrintable(keyword + QStringLiteral(" missing in ") + html));
            // The nearest font tag before the keyword is the navy one.
            const qsizetype tag = html.lastIndexOf(QStringLiteral("<FONT"), at);
            QVERIFY2(tag >= 0 && html.mid(tag).startsWith(navyTag),
                     qPrintable(keyword + QStringLiteral(" in ") + html));
        }
        // The plain words are not navy, and nothing of the text is lost.
        const qsizetype total = html.indexOf(QStringLiteral("total = 10 &lt; 20"));
        QVERIFY2(total >= 0, qPrintable(html));
        QVERIFY(!html.mid(html.lastIndexOf(QStringLiteral("<FONT"), total)).startsWith(navyTag));
        QVERIFY(html.contains(QStringLiteral("' \u0645\u062c\u0645\u0648\u0639")));
        QCOMPARE(html.count(QStringLiteral("<BR>\r\n")), 2);
    }

    void missingLayoutGivesEmptyBody()
    {
        QCOMPARE(ConvertRtfToHtml(header() + QStringLiteral("\\deflang1025\\plain text}"), {}), QString());
        const QString noDeflang = QStringLiteral("{\\rtf1 text\r\n\\par more\r\n\\par }");
        QCOMPARE(ConvertRtfToHtml(noDeflang, {}), QString());
        QCOMPARE(ConvertRtfToHtml(QString(), QStringLiteral("+H")),
                 QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n<HTML>\r\n<HEAD>\r\n"
                                "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\r\n"
                                "<TITLE></TITLE>\r\n\r\n</HEAD>\r\n<BODY>\r\n</BODY>\r\n</HTML>"));
        // Text after the last line-initial \par is not converted.
        QCOMPARE(ConvertRtfToHtml(header() + QStringLiteral("\\deflang1025 a\r\n\\par b}"), {}), QStringLiteral("a"));
    }
};

QTEST_MAIN(TestRtfToHtml)
#include "tst_rtftohtml.moc"
