// The export core alone, with no windows: what the save-as files and the command line's export hold.
#include "export/core/Keywords.h"
#include "export/core/SnippetExport.h"

#include <QRegularExpression>
#include <QTest>

using namespace exporting::core;

namespace {

struct Paragraph {
    QString dir, style, text; // style: the class
};

QString unescaped(QString html)
{
    html.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    html.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    html.replace(QLatin1String("&lt;"), QLatin1String("<"));
    html.replace(QLatin1String("&gt;"), QLatin1String(">"));
    html.replace(QLatin1String("&quot;"), QLatin1String("\""));
    html.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return html;
}

// The body's blocks, each with its direction, style and text as a browser shows it.
QList<Paragraph> paragraphs(const QString &html)
{
    QList<Paragraph> result;
    static const QRegularExpression div(
        QStringLiteral("<DIV DIR=\"(\\w+)\"(?: CLASS=\"([^\"]*)\")?>(.*?)</DIV>(?:\r\n)?"));
    const QString body = html.section(QStringLiteral("<BODY>\r\n"), 1).section(QStringLiteral("</BODY>"), 0, 0);
    qsizetype covered = 0;
    for (auto it = div.globalMatch(body); it.hasNext();) {
        const auto m = it.next();
        if (m.capturedStart() != covered) // every line of the body is such a block
            return {};
        covered = m.capturedEnd();
        const QString inner = m.captured(3) == QLatin1String("<BR>") ? QString() : m.captured(3);
        result.append({m.captured(1), m.captured(2), unescaped(inner)});
    }
    return covered == body.size() ? result : QList<Paragraph>();
}

} // namespace

class TestSnippetExport : public QObject
{
    Q_OBJECT
private slots:
    void webPageParagraphsKeepDirectionIndentAndTitle()
    {
        // Lines after a keyword at a line end start with the colour change that used to cost
        // them all but one indent space.
        const QStringList code = {QStringLiteral("' حساب المجموع"),
                                  QStringLiteral("If a Then"),
                                  QStringLiteral("    Dim x As Long"),
                                  QStringLiteral("        x = a  +  1 ' إضافة"),
                                  QString(),
                                  QStringLiteral("\tEnd If"),
                                  QStringLiteral("   <b> & \"q\"")};
        const QString title = QStringLiteral("جمع \"الأعداد\" & <الباقي>");
        const QString html = QString::fromUtf8(
            exportText(title, code.join(QStringLiteral("\r\n")), Field::Code, Format::Html));
        QVERIFY(html.contains(QStringLiteral("<TITLE>جمع ”الأعداد” &amp; &lt;الباقي&gt;</TITLE>")));
        // Code in a fixed-pitch face with the browser's own as the fallback, white space as typed.
        QVERIFY(html.contains(QStringLiteral(
            "<STYLE TYPE=\"text/css\">DIV.f0 { font-family: 'Courier New (Arabic)', monospace; white-space: pre }</STYLE>")));
        const QList<Paragraph> lines = paragraphs(html);
        QCOMPARE(lines.size(), code.size());
        for (int i = 0; i < code.size(); ++i) {
            QCOMPARE(lines[i].dir, QStringLiteral("ltr"));
            QCOMPARE(lines[i].style, QStringLiteral("f0"));
            QCOMPARE(lines[i].text, QString(code[i]).replace(QLatin1Char('\t'), QLatin1String("&#9;")));
        }
        QVERIFY(html.contains(QStringLiteral("<FONT COLOR=\"#000080\">Then</FONT>")));

        const QStringList comment = {QStringLiteral("هذا الكود يجمع الأعداد."), QStringLiteral("  ثم يعيد الناتج.")};
        const QList<Paragraph> prose = paragraphs(
            QString::fromUtf8(exportText(title, comment.join(QStringLiteral("\n")), Field::Learn, Format::Html)));
        QCOMPARE(prose.size(), comment.size());
        for (int i = 0; i < comment.size(); ++i) {
            QCOMPARE(prose[i].dir, QStringLiteral("rtl"));
            QCOMPARE(prose[i].style, QString());
            QCOMPARE(prose[i].text, comment[i]);
        }
    }

    void richTextStatesTheDirection()
    {
        const QString code = QString::fromLatin1(exportText({}, QStringLiteral("Dim x"), Field::Code, Format::Rtf));
        const QString learn = QString::fromLatin1(exportText({}, QStringLiteral("شرح"), Field::Learn, Format::Rtf));
        QVERIFY(code.contains(QLatin1String("\\pard\\ltrpar\\ql ")) && !code.contains(QLatin1String("\\rtlpar")));
        QVERIFY(learn.contains(QLatin1String("\\pard\\rtlpar\\qr ")) && !learn.contains(QLatin1String("\\ltrpar")));
        QVERIFY(learn.contains(QLatin1String("\\u1588?\\u1585?\\u1581?")));
        QCOMPARE(exportText({}, QStringLiteral("a\rb\nc"), Field::Code, Format::Text), QByteArray("a\r\nb\r\nc\r\n"));
    }

    void keywordsFoundLineByLineMatchTheWholeText()
    {
        // The view and the RTF writer look for keywords a line (or a block of lines) at a time.
        QString text;
        for (int i = 0; i < 500; ++i)
            text += QStringLiteral("If%1 Then\nEnd If\u2028Dim_x Dim\nمتغيرDim Next")
                        .arg(i % 3 ? QString() : QStringLiteral("x"));
        QList<KeywordSpan> pieces;
        qsizetype from = 0;
        for (qsizetype at = 0; at <= text.size(); ++at)
            if (at == text.size() || text[at] == QLatin1Char('\n') || text[at] == QChar(0x2028)) {
                for (const KeywordSpan &s : findKeywords(QStringView(text).sliced(from, at - from)))
                    pieces.append({s.start + from, s.length});
                from = at + 1;
            }
        QCOMPARE(pieces, findKeywords(text));
        QVERIFY(pieces.size() > 1000);
    }
};

QTEST_GUILESS_MAIN(TestSnippetExport)
#include "tst_snippetexport.moc"
