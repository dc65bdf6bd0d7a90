#include "platform/RtfText.h"

namespace platform {

void appendRtfNumber(QString &out, qint64 n)
{
    char16_t digits[24];
    int at = 24;
    const bool negative = n < 0;
    quint64 v = negative ? quint64(-(n + 1)) + 1 : quint64(n);
    do {
        digits[--at] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative)
        digits[--at] = u'-';
    out.append(reinterpret_cast<const QChar *>(digits + at), 24 - at);
}

namespace {

// Each non-ASCII UTF-16 unit as \uN with "?" as the one fallback character for readers
// without Unicode; a signed 16-bit N, as RTF wants.
void appendUnicodeEscape(QString &out, char16_t unit)
{
    out.append(QLatin1String("\\u"));
    appendRtfNumber(out, static_cast<qint16>(unit));
    out.append(QLatin1Char('?'));
}

bool plainAscii(char16_t c) { return c >= 0x20 && c < 0x7F && c != u'\\' && c != u'{' && c != u'}'; }

} // namespace

void appendRtfText(QString &out, QStringView text)
{
    const QChar *data = text.data();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // Runs of ordinary characters go in whole.
        const qsizetype start = i;
        while (i < n && plainAscii(data[i].unicode()))
            ++i;
        if (i > start)
            out.append(data + start, i - start);
        if (i >= n)
            break;
        const char16_t c = data[i++].unicode();
        switch (c) {
        case u'\\':
            out.append(QLatin1String("\\\\"));
            break;
        case u'{':
            out.append(QLatin1String("\\{"));
            break;
        case u'}':
            out.append(QLatin1String("\\}"));
            break;
        case u'\t':
            out.append(QLatin1String("\\tab "));
            break;
        case 0x2028: // line break inside a paragraph
            out.append(QLatin1String("\\line "));
            break;
        case 0x00A0:
            out.append(QLatin1String("\\~"));
            break;
        default:
            appendUnicodeEscape(out, c);
        }
    }
}

} // namespace platform
