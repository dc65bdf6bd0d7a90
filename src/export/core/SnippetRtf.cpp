#include "export/core/SnippetRtf.h"

#include "export/core/Keywords.h"
#include "export/core/LargeBuffer.h"
#include "highlight/Highlighter.h"
#include "platform/RtfText.h"

namespace exporting::core {

namespace {

// Characters the RTF writes as \uN escapes.
qsizetype escapesIn(QStringView text)
{
    qsizetype escapes = 0;
    for (const QChar c : text)
        escapes += c.unicode() >= 0x7F;
    return escapes;
}

// Calls line(start, end) for each line of text, the last one too (empty after a final break);
// CR LF, LF or CR is one line break each.
template <typename Line>
void forEachLine(QStringView text, Line &&line)
{
    const QChar *data = text.data();
    const qsizetype n = text.size();
    qsizetype lineStart = 0;
    while (lineStart <= n) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < n && data[lineEnd] != QLatin1Char('\n') && data[lineEnd] != QLatin1Char('\r'))
            ++lineEnd;
        line(lineStart, lineEnd);
        lineStart = lineEnd
                    + (lineEnd + 1 < n && data[lineEnd] == QLatin1Char('\r') && data[lineEnd + 1] == QLatin1Char('\n')
                           ? 2
                           : 1);
    }
}

// The document's start: the code font, black then colours as the colour table, and paragraph
// properties that hold for every paragraph up to the end (RTF keeps them until \pard).
void appendHeader(QString &rtf, const QString &colours, bool rightToLeft)
{
    rtf.append(QLatin1String("{\\rtf1\\ansi\\ansicpg1256\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 "));
    rtf.append(CodeFontName);
    rtf.append(QLatin1String(";}}\r\n{\\colortbl\\red0\\green0\\blue0;"));
    rtf.append(colours);
    rtf.append(QLatin1String("}\r\n\\deflang1025\\viewkind4\\uc1"));
    rtf.append(rightToLeft ? QLatin1String("\\pard\\rtlpar\\qr ") : QLatin1String("\\pard\\ltrpar\\ql "));
    rtf.append(QLatin1String("\\f0\\fs20 "));
}

} // namespace

QString snippetRtf(QStringView text, bool rightToLeft)
{
    QString rtf;
    const qsizetype escapes = escapesIn(text);
    // Room for every escape, keyword run and paragraph break, so the text is never copied as it
    // grows; pages reserved and never written cost nothing.
    // (A keyword run adds 16 characters to a word of two or more: at most 8 per character.)
    rtf.reserve(text.size() * 9 + escapes * 8 + 512);
    adviseLargeBuffer(rtf.constData(), rtf.capacity() * qsizetype(sizeof(QChar)));
    appendHeader(rtf, QStringLiteral("\\red0\\green0\\blue128;"), rightToLeft); // \cf1: the keyword navy

    // Text outside keywords has no colour of its own (no font tag in the web page); each keyword
    // is one colour run closed by \plain, which resets the size, so that is said again.
    forEachLine(text, [&](qsizetype lineStart, qsizetype lineEnd) {
        const QStringView line = text.sliced(lineStart, lineEnd - lineStart);
        qsizetype written = 0;
        forEachKeyword(line, [&](qsizetype start, qsizetype length) {
            platform::appendRtfText(rtf, line.sliced(written, start - written));
            rtf.append(u"\\cf1 ");
            rtf.append(line.sliced(start, length));
            rtf.append(u"\\plain\\fs20 ");
            written = start + length;
        });
        platform::appendRtfText(rtf, line.sliced(written));
        // Every paragraph, the last one included, ends with a line-initial \par.
        rtf.append(u"\r\n\\par ");
    });
    rtf.append(QLatin1Char('}'));
    return rtf;
}

QString snippetRtf(QStringView text, bool rightToLeft, const QString &language)
{
    if (language == highlight::VisualBasic)
        return snippetRtf(text, rightToLeft);
    const QList<highlight::Span> spans = rightToLeft ? QList<highlight::Span>()
                                                     : highlight::highlightText(language, text);
    QString rtf;
    const qsizetype escapes = escapesIn(text);
    // A run adds at most 17 characters, and there is at most one run per character.
    rtf.reserve(text.size() * 9 + escapes * 8 + spans.size() * 18 + 1024);
    adviseLargeBuffer(rtf.constData(), rtf.capacity() * qsizetype(sizeof(QChar)));
    // \cfN is the colour of highlight::Style(N).
    QString colours;
    for (int i = 1; i < highlight::StyleCount; ++i) {
        const unsigned rgb = highlight::colourOf(highlight::Style(i));
        colours += QStringLiteral("\\red%1\\green%2\\blue%3;").arg(rgb >> 16).arg((rgb >> 8) & 0xFF).arg(rgb & 0xFF);
    }
    appendHeader(rtf, colours, rightToLeft);

    const QChar *data = text.data();
    qsizetype next = 0; // the first run not wholly before the line
    forEachLine(text, [&](qsizetype lineStart, qsizetype lineEnd) {
        while (next < spans.size() && spans[next].start + spans[next].length <= lineStart)
            ++next;
        // A run over several lines (a block comment, a long string) is coloured on each.
        qsizetype written = lineStart;
        for (qsizetype i = next; i < spans.size() && spans[i].start < lineEnd; ++i) {
            const qsizetype a = std::max<qsizetype>(spans[i].start, lineStart);
            const qsizetype b = std::min<qsizetype>(spans[i].start + spans[i].length, lineEnd);
            if (b <= a)
                continue;
            platform::appendRtfText(rtf, QStringView(data + written, a - written));
            rtf.append(QStringLiteral("\\cf%1 ").arg(int(spans[i].style)));
            platform::appendRtfText(rtf, QStringView(data + a, b - a));
            rtf.append(u"\\plain\\fs20 ");
            written = b;
        }
        platform::appendRtfText(rtf, QStringView(data + written, lineEnd - written));
        rtf.append(u"\r\n\\par ");
    });
    rtf.append(QLatin1Char('}'));
    return rtf;
}

} // namespace exporting::core
