#include "export/core/SnippetRtf.h"

#include "export/core/Keywords.h"
#include "export/core/LargeBuffer.h"
#include "platform/RtfText.h"

namespace exporting::core {

QString snippetRtf(QStringView text, bool rightToLeft)
{
    QString rtf;
    qsizetype escapes = 0;
    for (const QChar c : text)
        escapes += c.unicode() >= 0x7F;
    // Room for every escape, keyword run and paragraph break, so the text is never copied as it
    // grows; pages reserved and never written cost nothing.
    // (A keyword run adds 16 characters to a word of two or more: at most 8 per character.)
    rtf.reserve(text.size() * 9 + escapes * 8 + 512);
    adviseLargeBuffer(rtf.constData(), rtf.capacity() * qsizetype(sizeof(QChar)));
    rtf.append(QLatin1String("{\\rtf1\\ansi\\ansicpg1256\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 "));
    rtf.append(CodeFontName);
    rtf.append(QLatin1String(";}}\r\n{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue128;}\r\n"));
    // The paragraph properties hold for every paragraph up to the end: RTF keeps them until \pard.
    rtf.append(QLatin1String("\\deflang1025\\viewkind4\\uc1"));
    rtf.append(rightToLeft ? QLatin1String("\\pard\\rtlpar\\qr ") : QLatin1String("\\pard\\ltrpar\\ql "));
    rtf.append(QLatin1String("\\f0\\fs20 "));

    // Text outside keywords has no colour of its own (no font tag in the web page); each keyword
    // is one colour run closed by \plain, which resets the size, so that is said again.
    const QChar *data = text.data();
    const qsizetype n = text.size();
    qsizetype lineStart = 0;
    while (lineStart <= n) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < n && data[lineEnd] != QLatin1Char('\n') && data[lineEnd] != QLatin1Char('\r'))
            ++lineEnd;
        const QStringView line(data + lineStart, lineEnd - lineStart);
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
        // CR LF, LF or CR: one line break each.
        lineStart = lineEnd
                    + (lineEnd + 1 < n && data[lineEnd] == QLatin1Char('\r') && data[lineEnd + 1] == QLatin1Char('\n')
                           ? 2
                           : 1);
    }
    rtf.append(QLatin1Char('}'));
    return rtf;
}

} // namespace exporting::core
