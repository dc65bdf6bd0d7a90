#include "platform/Text.h"

#include <algorithm>

#include <QStringDecoder>

namespace platform {

namespace {
const char16_t kHighHalf[128] = {
    0x20AC, 0x067E, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0679, 0x2039, 0x0152,
    0x0686, 0x0698, 0x0688, 0x06AF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x06A9, 0x2122,
    0x0691, 0x203A, 0x0153, 0x200C, 0x200D, 0x06BA, 0x00A0, 0x060C, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x06BE, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x061B, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x061F, 0x06C1,
    0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627, 0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D,
    0x062E, 0x062F, 0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x00D7, 0x0637, 0x0638, 0x0639,
    0x063A, 0x0640, 0x0641, 0x0642, 0x0643, 0x00E0, 0x0644, 0x00E2, 0x0645, 0x0646, 0x0647, 0x0648, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x0649, 0x064A, 0x00EE, 0x00EF, 0x064B, 0x064C, 0x064D, 0x064E, 0x00F4,
    0x064F, 0x0650, 0x00F7, 0x0651, 0x00F9, 0x0652, 0x00FB, 0x00FC, 0x200E, 0x200F, 0x06D2};

QString decodeWindows1252(const QByteArray &bytes)
{
    static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString result;
    result.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        result.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return result;
}
} // namespace

QString trimmedSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QChar windows1256ToUnicode(unsigned char byte) { return byte < 0x80 ? QChar(byte) : QChar(kHighHalf[byte - 0x80]); }

QString decodeWindows1256(const QByteArray &bytes)
{
    QString result;
    result.resize(bytes.size());
    QChar *out = result.data();
    for (char c : bytes)
        *out++ = windows1256ToUnicode(static_cast<unsigned char>(c));
    return result;
}

QString decodeCodePage(const QByteArray &bytes, int codePage)
{
    switch (codePage) {
    case 1256:
        return decodeWindows1256(bytes);
    case 1252:
    case 0:
        return decodeWindows1252(bytes);
    case 28591:
        return QString::fromLatin1(bytes);
    case 65001:
        return QString::fromUtf8(bytes);
    default:
        break;
    }
    const QByteArray names[] = {"windows-" + QByteArray::number(codePage), "cp" + QByteArray::number(codePage)};
    for (const QByteArray &name : names) {
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return decodeWindows1252(bytes);
}

QByteArray encodeWindows1256(const QString &text)
{
    QByteArray result;
    result.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            result.append(char(c.unicode()));
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 128; ++i) {
            if (kHighHalf[i] == c.unicode()) {
                byte = char(0x80 + i);
                break;
            }
        }
        result.append(byte);
    }
    return result;
}

bool looksBinary(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return false;
    return bytes.contains('\0');
}

QString decodeText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringConverter::Utf16LE);
        return decoder(bytes.mid(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringConverter::Utf16BE);
        return decoder(bytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return decodeWindows1256(bytes);
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QString withCrLf(const QString &text)
{
    QString result;
    result.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            result.append(QLatin1String("\r\n"));
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            result.append(QLatin1String("\r\n"));
        } else {
            result.append(c);
        }
    }
    return result;
}

bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QString withVisibleBidiControls(const QString &text)
{
    if (std::none_of(text.cbegin(), text.cend(), isBidiControl))
        return text;
    static const char *const names[] = {"LRE", "RLE", "PDF", "LRO", "RLO", "LRI", "RLI", "FSI", "PDI"};
    QString shown;
    shown.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!isBidiControl(c)) {
            shown.append(c);
            continue;
        }
        const char16_t u = c.unicode();
        shown += QLatin1Char('[') + QLatin1String(names[u <= 0x202E ? u - 0x202A : 5 + (u - 0x2066)])
                 + QLatin1Char(']');
    }
    return shown;
}

QString singleLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || isBidiControl(c) || u == 0x2028 || u == 0x2029)
            c = QLatin1Char(' ');
    }
    return line;
}

} // namespace platform
