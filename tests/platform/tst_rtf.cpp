#include "TestSupport.h"

#include "platform/RichTextBox.h"
#include "platform/Rtf.h"
#include "platform/Text.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QFontMetricsF>
#include <QTextDocument>

using platform::documentToRtf;
using platform::rtfToDocument;

namespace {

const QColor Navy(0, 0, 128);
const QColor Black(0, 0, 0);

// A run of text in one format, as the tests build and check documents.
struct Run {
    QString text;
    QTextCharFormat format;
};

QTextCharFormat coloured(const QColor &c)
{
    QTextCharFormat f;
    f.setForeground(c);
    return f;
}

void append(QTextDocument &doc, const QString &text, const QTextCharFormat &format = {})
{
    QTextCursor c(&doc);
    c.movePosition(QTextCursor::End);
    c.insertText(text, format);
}

QTextCharFormat formatAt(const QTextDocument &doc, int position)
{
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(position);
    c.setPosition(position + 1, QTextCursor::KeepAnchor);
    return c.charFormat();
}

QColor colourAt(const QTextDocument &doc, int position)
{
    const QTextCharFormat f = formatAt(doc, position);
    return f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor();
}

QString roundTrip(const QString &plain)
{
    QTextDocument source;
    source.setPlainText(plain);
    QTextDocument back;
    if (!rtfToDocument(documentToRtf(source), &back))
        return QStringLiteral("<not rtf>");
    return back.toPlainText();
}

QString load(const QByteArray &rtf)
{
    QTextDocument doc;
    rtfToDocument(QString::fromLatin1(rtf), &doc);
    return doc.toPlainText();
}

const QString Arabic = QStringLiteral("مرحبا بالعالم، هذا نص عربي");
const QString Cjk = QStringLiteral("漢字かなカナ한국어");
const QString Emoji = QStringLiteral("😀👍🏽");

} // namespace

class TestRtf : public QObject
{
    Q_OBJECT

private slots:
    // ---- writer output read back ----

    void writerColoursReadBack()
    {
        QTextDocument doc;
        append(doc, QStringLiteral("Dim"), coloured(Navy));
        append(doc, QStringLiteral(" x "), coloured(Black));
        append(doc, QStringLiteral("As"), coloured(Navy));
        append(doc, QStringLiteral(" "), coloured(Black));
        append(doc, QStringLiteral("String"), coloured(Navy));
        append(doc, QStringLiteral("\n' comment "), coloured(Black));
        append(doc, QStringLiteral("End"), coloured(Navy));

        QTextDocument back;
        QVERIFY(rtfToDocument(documentToRtf(doc), &back));
        QCOMPARE(back.toPlainText(), doc.toPlainText());
        const QString text = back.toPlainText();
        for (int i = 0; i < text.size(); ++i) {
            if (text.at(i) == QLatin1Char('\n'))
                continue;
            QCOMPARE(colourAt(back, i), colourAt(doc, i));
        }
        QCOMPARE(colourAt(back, 0), Navy);
        QCOMPARE(colourAt(back, 4), Black);
    }

    void writerFormattingReadBack()
    {
        QTextDocument doc;
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextCharFormat italicUnderline;
        italicUnderline.setFontItalic(true);
        italicUnderline.setFontUnderline(true);
        QTextCharFormat big;
        big.setFontPointSize(18);
        QTextCharFormat strike;
        strike.setFontStrikeOut(true);
        append(doc, QStringLiteral("plain "));
        append(doc, QStringLiteral("bold"), bold);
        append(doc, QStringLiteral(" "));
        append(doc, QStringLiteral("iu"), italicUnderline);
        append(doc, QStringLiteral("big"), big);
        append(doc, QStringLiteral("gone"), strike);
        append(doc, QStringLiteral("after"));

        QTextDocument back;
        QVERIFY(rtfToDocument(documentToRtf(doc), &back));
        QCOMPARE(back.toPlainText(), QStringLiteral("plain bold iubiggoneafter"));
        QCOMPARE(formatAt(back, 0).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(back, 6).fontWeight(), int(QFont::Bold));
        QCOMPARE(formatAt(back, 10).fontWeight(), int(QFont::Normal));
        QVERIFY(formatAt(back, 11).fontItalic());
        QVERIFY(formatAt(back, 11).fontUnderline());
        QVERIFY(!formatAt(back, 13).fontItalic());
        QCOMPARE(formatAt(back, 13).fontPointSize(), 18.0);
        QVERIFY(formatAt(back, 16).fontStrikeOut());
        QVERIFY(!formatAt(back, 20).fontStrikeOut());
        QVERIFY(!formatAt(back, 20).fontUnderline());
    }

    void scriptsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("arabic") << Arabic;
        QTest::newRow("latin") << QStringLiteral("Héllo wörld, ça va? Œuvre – “quoted” ß ĳ");
        QTest::newRow("cjk") << Cjk;
        QTest::newRow("emoji") << Emoji;
        QTest::newRow("mixed lines") << (Arabic + QLatin1Char('\n') + QStringLiteral("If x Then ' ") + Arabic
                                         + QLatin1Char('\n') + Cjk + QLatin1Char(' ') + Emoji);
        QTest::newRow("special") << QStringLiteral("a{b}c\\d \\par x\ttab\\'c7 \\u1575? {\\rtf1}");
        QTest::newRow("empty lines") << QStringLiteral("\n\nx\n\n");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << QStringLiteral("   lead and trail   ");
    }

    void scriptsRoundTrip()
    {
        QFETCH(QString, text);
        QCOMPARE(roundTrip(text), text);
    }

    void writerOutputIsAscii()
    {
        QTextDocument doc;
        doc.setPlainText(Arabic + Cjk + Emoji + QStringLiteral("é\u00A0\u2028"));
        const QString rtf = documentToRtf(doc);
        for (const QChar c : rtf)
            QVERIFY2(c.unicode() < 0x80,
                     qPrintable(QStringLiteral("non-ASCII in output: U+%1").arg(c.unicode(), 4, 16)));
    }

    void nonAsciiEscapes()
    {
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("ا") + QStringLiteral("漢") + QStringLiteral("😀"));
        const QString rtf = documentToRtf(doc);
        // Arabic alef: \u1575 with "?" as the fallback.
        QVERIFY(rtf.contains(QLatin1String("\\u1575?")));
        QVERIFY(rtf.contains(QLatin1String("\\u28450?")));
        // Outside the BMP: two signed surrogate values.
        QVERIFY(rtf.contains(QLatin1String("\\u-10179?\\u-8704?")));
    }

    // ---- writer layout ----

    void writerLayout()
    {
        QTextDocument doc;
        append(doc, QStringLiteral("Sub {x} \\ y"), coloured(Navy));
        append(doc, QStringLiteral("\nsecond\n\nfourth"), coloured(Black));
        const QString rtf = documentToRtf(doc);

        QVERIFY(rtf.startsWith(QLatin1String("{\\rtf1\\ansi\\ansicpg1256\\deff0")));
        QVERIFY(rtf.endsWith(QLatin1Char('}')));
        const qsizetype fonts = rtf.indexOf(QLatin1String("{\\fonttbl"));
        const qsizetype colours = rtf.indexOf(QLatin1String("{\\colortbl"));
        QVERIFY(fonts > 0);
        QVERIFY(colours > fonts);
        QVERIFY(rtf.indexOf(QLatin1String(";}}"), fonts) < colours);
        // The body starts on a line of its own with \deflang.
        const qsizetype body = rtf.indexOf(QLatin1String("\r\n\\deflang"));
        QVERIFY(body > colours);
        QCOMPARE(rtf.indexOf(QLatin1String("\\deflang")), body + 2);
        // One line-initial \par per paragraph, and no other line break in the body.
        QCOMPARE(rtf.count(QLatin1String("\r\n\\par ")), 4);
        QCOMPARE(rtf.count(QLatin1String("\r\n")), 2 + 4);
        QCOMPARE(rtf.count(QLatin1String("\\par")), 4 + rtf.count(QLatin1String("\\pard")));
        // Braces and backslash escaped.
        QVERIFY(rtf.contains(QLatin1String("Sub \\{x\\} \\\\ y")));
        // Every line of the body but the first starts with \par.
        const QStringList lines = rtf.mid(body + 2).split(QLatin1String("\r\n"));
        QCOMPARE(lines.size(), 5);
        for (qsizetype i = 1; i < lines.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(QLatin1String("\\par ")), qPrintable(lines.at(i)));
        QCOMPARE(lines.last(), QStringLiteral("\\par }"));
    }

    void colourTableNumbering()
    {
        // \cfN must name the N-th \red entry counted from 0, for ordinary readers and for the
        // HTML export alike, so the table has no empty first entry.
        QTextDocument doc;
        append(doc, QStringLiteral("a"), coloured(QColor(255, 0, 0)));
        append(doc, QStringLiteral("b"), coloured(Navy));
        append(doc, QStringLiteral("c"));
        const QString rtf = documentToRtf(doc);
        const qsizetype table = rtf.indexOf(QLatin1String("{\\colortbl"));
        const QString tableText = rtf.mid(table, rtf.indexOf(QLatin1String(";}"), table) + 2 - table);
        QCOMPARE(tableText,
                 QStringLiteral("{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}"));
        QVERIFY(rtf.contains(QLatin1String("\\cf1 a")));
        QVERIFY(rtf.contains(QLatin1String("\\cf2 b")));
        QVERIFY(rtf.contains(QLatin1String("\\cf0 c")));
    }

    void fontTableAndSize()
    {
        QTextDocument doc;
        doc.setDefaultFont(platform::codeFont(10));
        append(doc, QStringLiteral("code "));
        QTextCharFormat other;
        other.setFontFamilies({QStringLiteral("Some Face")});
        other.setFontPointSize(14);
        append(doc, QStringLiteral("other"), other);
        const QString rtf = documentToRtf(doc);
        const QString family = doc.defaultFont().family();
        QVERIFY(rtf.contains(QStringLiteral("{\\f0\\fmodern\\fcharset0 %1;}").arg(family)));
        QVERIFY(rtf.contains(QLatin1String("{\\f1\\fnil\\fcharset0 Some Face;}}")));
        QVERIFY(rtf.contains(QLatin1String("\\f0\\fs20\\cf0 code ")));
        QVERIFY(rtf.contains(QLatin1String("\\f1\\fs28 other")));

        QTextDocument back;
        back.setDefaultFont(platform::codeFont(10));
        QVERIFY(rtfToDocument(rtf, &back));
        // The box's own face keeps the box's fallbacks; another face is named.
        QVERIFY(!formatAt(back, 0).hasProperty(QTextFormat::FontFamilies));
        QCOMPARE(formatAt(back, 0).fontPointSize(), 10.0);
        QCOMPARE(formatAt(back, 6).fontFamilies().toStringList().value(0), QStringLiteral("Some Face"));
        QCOMPARE(formatAt(back, 6).fontPointSize(), 14.0);
    }

    void directionWrittenAndRead()
    {
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("' تعليق\nIf x Then\n") + Arabic);
        QTextCursor c(&doc);
        QTextBlockFormat ltr;
        ltr.setLayoutDirection(Qt::LeftToRight);
        c.setBlockFormat(ltr);
        c.movePosition(QTextCursor::NextBlock);
        c.setBlockFormat(ltr);
        const QString rtf = documentToRtf(doc);
        QVERIFY(rtf.contains(QLatin1String("\\pard\\ltrpar ")));

        QTextDocument back;
        QVERIFY(rtfToDocument(rtf, &back));
        QCOMPARE(back.blockCount(), 3);
        QCOMPARE(back.findBlockByNumber(0).blockFormat().layoutDirection(), Qt::LeftToRight);
        QCOMPARE(back.findBlockByNumber(1).blockFormat().layoutDirection(), Qt::LeftToRight);
        QCOMPARE(back.findBlockByNumber(2).blockFormat().layoutDirection(), Qt::LayoutDirectionAuto);
    }

    void readerDirectionAndAlignment()
    {
        QTextDocument doc;
        QVERIFY(rtfToDocument(
            QStringLiteral("{\\rtf1 \\pard\\rtlpar\\qr one\\par \\pard\\ltrpar two\\par \\pard\\qc three\\par}"),
            &doc));
        QCOMPARE(doc.toPlainText(), QStringLiteral("one\ntwo\nthree"));
        QCOMPARE(doc.findBlockByNumber(0).blockFormat().layoutDirection(), Qt::RightToLeft);
        QCOMPARE(doc.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(doc.findBlockByNumber(1).blockFormat().layoutDirection(), Qt::LeftToRight);
        QVERIFY(!doc.findBlockByNumber(1).blockFormat().hasProperty(QTextFormat::BlockAlignment));
        QCOMPARE(doc.findBlockByNumber(2).blockFormat().layoutDirection(), Qt::LayoutDirectionAuto);
        QCOMPARE(doc.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }

    // ---- reading RTF from elsewhere ----

    void handWrittenFile()
    {
        // Bold, a colour, Windows-1256 escapes for Arabic and a \u character.
        const QByteArray rtf =
            "{\\rtf1\\ansi\\ansicpg1256\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
            "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"
            "\\viewkind4\\uc1\\pard\\f0\\fs20 Plain {\\b Bold} \\cf1 red\\cf0  \\'c7\\'e1\\'da\\'d1\\'c8\\'ed\\'c9 "
            "\\u1587?\\u1604?\\u1575?\\u1605? \\cf2\\b\\i\\ul navy\\ulnone\\b0\\i0  end\\par\r\n"
            "second line\\line broken\\tab tabbed\\par\r\n}";
        QTextDocument doc;
        QVERIFY(rtfToDocument(QString::fromLatin1(rtf), &doc));
        QCOMPARE(doc.toRawText(),
                 QStringLiteral("Plain Bold red العربية سلام navy end\u2029second line\u2028broken\ttabbed"));
        const QString text = doc.toPlainText();
        QCOMPARE(formatAt(doc, 0).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(doc, text.indexOf(QLatin1String("Bold"))).fontWeight(), int(QFont::Bold));
        QCOMPARE(formatAt(doc, text.indexOf(QLatin1String(" red"))).fontWeight(), int(QFont::Normal));
        QCOMPARE(colourAt(doc, text.indexOf(QLatin1String("red"))), QColor(255, 0, 0));
        // \cf0 is the automatic colour: no colour of its own.
        QVERIFY(!colourAt(doc, text.indexOf(QStringLiteral("العربية"))).isValid());
        const int navy = int(text.indexOf(QLatin1String("navy")));
        QCOMPARE(colourAt(doc, navy), Navy);
        QCOMPARE(formatAt(doc, navy).fontWeight(), int(QFont::Bold));
        QVERIFY(formatAt(doc, navy).fontItalic());
        QVERIFY(formatAt(doc, navy).fontUnderline());
        const int end = int(text.indexOf(QLatin1String("end")));
        QVERIFY(!formatAt(doc, end).fontUnderline());
        QVERIFY(!formatAt(doc, end).fontItalic());
        QCOMPARE(formatAt(doc, end).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(doc, 0).fontPointSize(), 10.0);
        QCOMPARE(doc.blockCount(), 2);
    }

    void unknownDestinationsSkipped()
    {
        const QByteArray rtf =
            "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman{\\*\\panose 02020603050405020304}Times New Roman{\\*\\falt Times};}}"
            "{\\stylesheet{\\s0 Normal;}{\\s1 Heading 1;}}"
            "{\\info{\\title The Title}{\\author Somebody}{\\creatim\\yr2020}}"
            "{\\*\\generator SomeWriter 1.0;}{\\*\\unknownthing with {nested} text \\'41}"
            "{\\header header text\\par}{\\footer footer text}"
            "{\\pict\\wmetafile8\\picw100 0123456789abcdef{}}"
            "\\pard A{\\*\\bkmkstart mark}B{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt C}}"
            "D{\\pict\\bin4 {}}x}{\\v hidden}E\\v0\\par}";
        QCOMPARE(load(rtf), QStringLiteral("ABCDE"));
    }

    void wordpadStyleArabic()
    {
        // An English system's writer: Latin code page, the Arabic font's character set decides.
        const QByteArray rtf =
            "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
            "{\\f1\\fswiss\\fcharset178{\\*\\fname Arial;}Arial (Arabic);}}\r\n"
            "\\viewkind4\\uc1\\pard\\f0\\fs20 caf\\'e9 \\f1\\rtlch\\'e3\\'cd\\'e3\\'cf\\f0\\ltrch  \\'80\\par\r\n}";
        QCOMPARE(load(rtf), QStringLiteral("café محمد €"));
    }

    void officeStyleUnicode()
    {
        // A word processor's output: \uc with multi-byte fallbacks, \*-destinations, \ulnone.
        const QByteArray rtf =
            "{\\rtf1\\ansi\\deff3\\adeflang1025\r\n"
            "{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New Roman;}{\\f3\\fswiss\\fprq2\\fcharset0 Liberation Sans;}}\r\n"
            "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"
            "{\\stylesheet{\\s0\\snext0 Normal;}}{\\*\\generator LibreOffice/7.0$Linux_X86_64;}"
            "{\\info{\\creatim\\yr2024\\mo1\\dy1\\hr0\\min0}}{\\*\\userprops}\\deftab709\r\n"
            "\\viewscale100{\\*\\pgdsctbl\r\n{\\pgdsc0\\pgdscuse451\\pgwsxn11906\\pghsxn16838 Default;}}\r\n"
            "\\pard\\plain \\s0\\rtlpar\\ql{\\rtlch\\af3\\ltrch\\f3\\fs24 "
            "\\uc2 \\u1605\\'e3\\'e3\\u1579\\'cb\\'cb\\uc1 \\u1575\\'c7}"
            "{\\cf2\\ul\\ulc0 navy}{\\ulnone  done}{\\uc0\\u26085\\u26412}\r\n\\par }";
        QTextDocument doc;
        QVERIFY(rtfToDocument(QString::fromLatin1(rtf), &doc));
        QCOMPARE(doc.toPlainText(), QStringLiteral("مثاnavy done日本"));
        const QString text = doc.toPlainText();
        QCOMPARE(colourAt(doc, text.indexOf(QLatin1String("navy"))), Navy);
        QVERIFY(formatAt(doc, text.indexOf(QLatin1String("navy"))).fontUnderline());
        QVERIFY(!formatAt(doc, text.indexOf(QLatin1String("done"))).fontUnderline());
        QCOMPARE(doc.firstBlock().blockFormat().layoutDirection(), Qt::RightToLeft);
        QCOMPARE(formatAt(doc, 0).fontPointSize(), 12.0);
    }

    void paragraphEnds_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("blocks");
        QTest::newRow("no par") << QStringLiteral("abc") << QStringLiteral("abc") << 1;
        QTest::newRow("trailing par") << QStringLiteral("abc\\par ") << QStringLiteral("abc") << 1;
        QTest::newRow("two") << QStringLiteral("a\\par b") << QStringLiteral("a\nb") << 2;
        QTest::newRow("empty last") << QStringLiteral("a\\par \\par ") << QStringLiteral("a\n") << 2;
        QTest::newRow("only par") << QStringLiteral("\\par ") << QString() << 1;
        QTest::newRow("leading empty") << QStringLiteral("\\par x") << QStringLiteral("\nx") << 2;
        QTest::newRow("backslash newline") << QStringLiteral("a\\\nb") << QStringLiteral("a\nb") << 2;
        QTest::newRow("raw newlines ignored") << QStringLiteral("a\r\nb\nc") << QStringLiteral("abc") << 1;
        QTest::newRow("symbols") << QStringLiteral("\\ldblquote x\\rdblquote\\~\\emdash\\bullet")
                                 << QStringLiteral("“x”\u00A0—•") << 1;
        QTest::newRow("escaped") << QStringLiteral("\\{\\}\\\\") << QStringLiteral("{}\\") << 1;
    }

    void paragraphEnds()
    {
        QFETCH(QString, body);
        QFETCH(QString, text);
        QFETCH(int, blocks);
        QTextDocument doc;
        QVERIFY(rtfToDocument(QStringLiteral("{\\rtf1\\ansi ") + body + QLatin1Char('}'), &doc));
        QCOMPARE(doc.toRawText().replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n')), text);
        QCOMPARE(doc.blockCount(), blocks);
    }

    void unicodeSkipCounts()
    {
        // \uc0: nothing skipped; \uc2: the next two characters skipped; a group end ends the skip.
        QCOMPARE(load("{\\rtf1\\uc0\\u1575 ab}"), QStringLiteral("اab"));
        QCOMPARE(load("{\\rtf1\\uc2\\u1575 abc}"), QStringLiteral("اc"));
        QCOMPARE(load("{\\rtf1\\uc3{\\u1575 a}bc}"), QStringLiteral("اbc"));
        QCOMPARE(load("{\\rtf1\\u1575\\'c7x}"), QStringLiteral("اx"));
        QCOMPARE(load("{\\rtf1\\u-3\\'3fx}"), QString(QChar(0xFFFD)) + QLatin1Char('x'));
        QCOMPARE(load("{\\rtf1\\u-10179?\\u-8704?}"), Emoji.left(2));
        QCOMPARE(load("{\\rtf1 {\\uc2 a}\\u1575 bc}"), QStringLiteral("aاc"));
    }

    void codePages()
    {
        QCOMPARE(load("{\\rtf1\\ansi\\ansicpg1256 \\'c7\\'e1\\'df\\'ca\\'c7\\'c8}"), QStringLiteral("الكتاب"));
        QCOMPARE(load("{\\rtf1\\ansi\\ansicpg1252 \\'e9\\'80\\'93}"), QStringLiteral("é€“"));
        QCOMPARE(load("{\\rtf1\\ansi \\'E9}"), QStringLiteral("é"));
        QCOMPARE(load("{\\rtf1\\ansi\\ansicpg28591 \\'80}"), QStringLiteral("\u0080"));
    }

    void notRtf()
    {
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("old"));
        QVERIFY(!rtfToDocument(QStringLiteral("just text {\\rtf1}"), &doc));
        QVERIFY(doc.isEmpty());
        QVERIFY(platform::looksLikeRtf(QStringLiteral("{\\rtf1 x}")));
        QVERIFY(!platform::looksLikeRtf(QStringLiteral(" {\\rtf1 x}")));
    }

    void malformedInputDoesNotHang()
    {
        // Unbalanced, truncated and odd input ends quietly with what could be read.
        QCOMPARE(load("{\\rtf1 abc"), QStringLiteral("abc"));
        QCOMPARE(load("{\\rtf1 abc}}}} def"), QStringLiteral("abc"));
        QCOMPARE(load("{\\rtf1 a\\"), QStringLiteral("a"));
        QCOMPARE(load("{\\rtf1 a\\'"), QStringLiteral("a"));
        QCOMPARE(load("{\\rtf1 a\\'4"), QStringLiteral("a\u0004"));
        QCOMPARE(load("{\\rtf1 a\\u99999999999 bc}").size(), 3);
        QCOMPARE(load("{\\rtf1 \\cf99\\f77\\fs-4 x\\bin99999}"), QStringLiteral("x"));
        QByteArray deep = "{\\rtf1 ";
        deep += QByteArray(100000, '{') + "x" + QByteArray(100000, '}') + "}";
        QCOMPARE(load(deep), QStringLiteral("x"));
    }

    void largeDocumentRoundTrip()
    {
        // Many lines and runs: the same text and the colour of every keyword come back.
        QTextDocument doc;
        QTextCursor c(&doc);
        for (int i = 0; i < 20000; ++i) {
            c.insertText(QStringLiteral("Dim"), coloured(Navy));
            c.insertText(QStringLiteral(" v%1 = \"").arg(i) + Arabic + QStringLiteral("\" ' {}\\"), coloured(Black));
            if (i + 1 < 20000)
                c.insertBlock();
        }
        QTextDocument back;
        QVERIFY(rtfToDocument(documentToRtf(doc), &back));
        QCOMPARE(back.toPlainText(), doc.toPlainText());
        QCOMPARE(back.blockCount(), 20000);
        const QTextBlock last = back.lastBlock();
        QCOMPARE(colourAt(back, last.position()), Navy);
        QCOMPARE(colourAt(back, last.position() + 3), Black);
    }

    // ---- the rich text control ----

    void richTextBoxLoadsRtfFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sample.rtf"));
        testing::writeFile(path, "{\\rtf1\\ansi\\ansicpg1256{\\colortbl ;\\red0\\green0\\blue128;}"
                                 "\\pard \\cf1 Dim\\cf0  \\'c7\\'e1\\'da\\'d1\\'c8\\'ed\\'c9\\par next\\par}");
        platform::RichTextBox box;
        box.loadFile(path);
        QCOMPARE(box.text(), QStringLiteral("Dim العربية\r\nnext"));
        QCOMPARE(colourAt(*box.document(), 0), Navy);
        QVERIFY(!colourAt(*box.document(), 4).isValid());
    }

    void richTextBoxLoadsTextFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QString arabicLines = Arabic + QStringLiteral("\r\n{\\rtf1} x");
        QTest::newRow("utf-8") << arabicLines.toUtf8() << arabicLines;
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF") + arabicLines.toUtf8() << arabicLines;
        QTest::newRow("windows-1256") << platform::encodeWindows1256(arabicLines) << arabicLines;
        QTest::newRow("lf only") << QByteArray("a\nb\n") << QStringLiteral("a\r\nb\r\n");
    }

    void richTextBoxLoadsTextFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("code.txt"));
        testing::writeFile(path, bytes);
        platform::RichTextBox box;
        box.setTextRTF(QStringLiteral("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}\\cf1 old}"));
        box.loadFile(path);
        QCOMPARE(box.text(), text);
        // Plain: no colour left over from before.
        QVERIFY(!colourAt(*box.document(), 0).isValid());
    }

    void richTextBoxRefusesBinary()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.bin"));
        testing::writeFile(path, QByteArray("ab\0cd", 5));
        platform::RichTextBox box;
        box.setText(QStringLiteral("keep"));
        QVERIFY(!testing::errorOf([&] { box.loadFile(path); }).isEmpty());
        QCOMPARE(box.text(), QStringLiteral("keep"));
        QVERIFY(!testing::errorOf([&] { box.loadFile(dir.filePath(QStringLiteral("missing.rtf"))); }).isEmpty());
    }

    void richTextBoxSetTextRtf()
    {
        platform::RichTextBox box;
        box.setTextRTF(QStringLiteral("{\\rtf1{\\colortbl;\\red0\\green0\\blue128;}\\pard\\rtlpar\\cf1\\b Navy\\par}"));
        QCOMPARE(box.text(), QStringLiteral("Navy"));
        QCOMPARE(colourAt(*box.document(), 0), Navy);

        // The empty text clears content and formatting: text typed afterwards is plain.
        box.setTextRTF(QString());
        QCOMPARE(box.text(), QString());
        QVERIFY(box.document()->isEmpty());
        box.insertPlainText(QStringLiteral("typed"));
        QVERIFY(!colourAt(*box.document(), 0).isValid());
        QCOMPARE(formatAt(*box.document(), 0).fontWeight(), int(QFont::Normal));
        QCOMPARE(box.document()->firstBlock().blockFormat().layoutDirection(), Qt::LayoutDirectionAuto);

        // Text that is not RTF is shown as it is.
        box.setTextRTF(QStringLiteral("plain {text}\r\nline 2"));
        QCOMPARE(box.text(), QStringLiteral("plain {text}\r\nline 2"));
    }

    void richTextBoxKeepsItsFontAfterClearing()
    {
        // The box's font (the code font) applies to text set after the content was cleared.
        platform::RichTextBox box;
        const QFont code = platform::codeFont(10);
        box.setFontNameSize(QString(), 10);
        box.setTextRTF(QStringLiteral("{\\rtf1{\\colortbl;\\red0\\green0\\blue128;}\\cf1 Dim}"));
        box.setTextRTF(QString());
        box.setText(QStringLiteral("Dim x"));
        const QFont shown = formatAt(*box.document(), 0).font().resolve(box.document()->defaultFont());
        QCOMPARE(shown.family(), code.family());
        QCOMPARE(shown.pointSizeF(), 10.0);
        QVERIFY(!colourAt(*box.document(), 0).isValid());
    }

    void richTextBoxRtfRoundTrip()
    {
        platform::RichTextBox source;
        source.setFontNameSize(QString(), 10);
        source.setText(QStringLiteral("If x Then ' ") + Arabic + QStringLiteral("\r\nEnd If ") + Emoji);
        QVERIFY(source.find(QStringLiteral("If"), 0, true, true) == 0);
        source.setSelColor(Navy);
        QVERIFY(source.find(QStringLiteral("End"), 0, true, true) > 0);
        source.setSelColor(Navy);

        platform::RichTextBox view;
        view.setFontNameSize(QString(), 10);
        view.setTextRTF(source.textRTF());
        QCOMPARE(view.text(), source.text());
        QCOMPARE(colourAt(*view.document(), 0), Navy);
        QCOMPARE(colourAt(*view.document(), 2), Black);
        const int end = int(view.document()->toPlainText().indexOf(QLatin1String("End")));
        QCOMPARE(colourAt(*view.document(), end), Navy);
        // The box's own fixed-pitch face (with its fallbacks) still applies after the trip.
        QVERIFY(!formatAt(*view.document(), 0).hasProperty(QTextFormat::FontFamilies));
        QVERIFY(!formatAt(*view.document(), 0).hasProperty(QTextFormat::FontFamily));
        const QFontMetricsF metrics(view.document()->defaultFont());
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
    }

    void richTextBoxSaveAndLoad()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.rtf"));
        platform::RichTextBox box;
        box.setText(Arabic + QStringLiteral("\r\n") + Cjk + QStringLiteral("\r\n") + Emoji);
        testing::writeFile(path, box.textRTF().toLatin1());
        QVERIFY(testing::readFile(path).startsWith("{\\rtf1"));
        platform::RichTextBox other;
        other.loadFile(path);
        QCOMPARE(other.text(), box.text());
    }
};

TAMRISK_TEST_MAIN(TestRtf)
#include "tst_rtf.moc"
