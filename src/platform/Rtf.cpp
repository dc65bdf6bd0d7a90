#include "platform/Rtf.h"

#include "platform/Text.h"

#include <QColor>
#include <QFontDatabase>
#include <QHash>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <array>
#include <vector>

namespace platform {

// ---------------------------------------------------------------------------------------------
// Writer
// ---------------------------------------------------------------------------------------------

namespace {

void appendNumber(QString &out, qint64 n)
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

// Each non-ASCII UTF-16 unit as \uN with "?" as the one fallback character for readers
// without Unicode; a signed 16-bit N, as RTF wants.
void appendUnicodeEscape(QString &out, char16_t unit)
{
    out.append(QLatin1String("\\u"));
    appendNumber(out, static_cast<qint16>(unit));
    out.append(QLatin1Char('?'));
}

bool plainAscii(char16_t c) { return c >= 0x20 && c < 0x7F && c != u'\\' && c != u'{' && c != u'}'; }

void appendEscaped(QString &out, QStringView text)
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

// A font name may not carry the characters that delimit the font table.
QString cleanFontName(const QString &name)
{
    QString clean;
    clean.reserve(name.size());
    for (const QChar c : name)
        if (c != QLatin1Char(';') && c != QLatin1Char('{') && c != QLatin1Char('}') && c != QLatin1Char('\\'))
            clean.append(c);
    return clean.trimmed();
}

QString firstFamily(const QTextCharFormat &format, const QString &fallback)
{
    const QVariant families = format.property(QTextFormat::FontFamilies);
    if (families.isValid()) {
        const QStringList list = families.toStringList();
        if (!list.isEmpty() && !list.first().isEmpty())
            return list.first();
    }
    if (format.hasProperty(QTextFormat::FontFamily)) {
        const QString family = format.stringProperty(QTextFormat::FontFamily);
        if (!family.isEmpty())
            return family;
    }
    return fallback;
}

int halfPoints(double pointSize) { return pointSize > 0 ? qRound(pointSize * 2) : 24; }

enum Align { AlignNone = 0, AlignLeft, AlignRight, AlignCenter, AlignJustify };

Align alignOf(const QTextBlockFormat &format)
{
    if (!format.hasProperty(QTextFormat::BlockAlignment))
        return AlignNone;
    const Qt::Alignment a = format.alignment() & Qt::AlignHorizontal_Mask;
    if (a & Qt::AlignJustify)
        return AlignJustify;
    if (a & Qt::AlignHCenter)
        return AlignCenter;
    if (a & Qt::AlignRight)
        return AlignRight;
    if (a & Qt::AlignLeft)
        return AlignLeft;
    return AlignNone;
}

void appendParagraphProperties(QString &out, const QTextBlockFormat &format)
{
    out.append(QLatin1String("\\pard"));
    switch (format.layoutDirection()) {
    case Qt::RightToLeft:
        out.append(QLatin1String("\\rtlpar"));
        break;
    case Qt::LeftToRight:
        out.append(QLatin1String("\\ltrpar"));
        break;
    default:
        break;
    }
    switch (alignOf(format)) {
    case AlignLeft:
        out.append(QLatin1String("\\ql"));
        break;
    case AlignRight:
        out.append(QLatin1String("\\qr"));
        break;
    case AlignCenter:
        out.append(QLatin1String("\\qc"));
        break;
    case AlignJustify:
        out.append(QLatin1String("\\qj"));
        break;
    case AlignNone:
        break;
    }
}

bool sameParagraphProperties(const QTextBlockFormat &a, const QTextBlockFormat &b)
{
    return a.layoutDirection() == b.layoutDirection() && alignOf(a) == alignOf(b);
}

} // namespace

// What the writer needs of a character format.
struct RunStyle
{
    int colour = 0;
    int font = 0;
    int size = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool sameSwitches(const RunStyle &o) const
    {
        return bold == o.bold && italic == o.italic && underline == o.underline && strike == o.strike;
    }
    bool anySwitch() const { return bold || italic || underline || strike; }
};

QString documentToRtf(const QTextDocument &document)
{
    const QFont defaultFont = document.defaultFont();
    const QString defaultFamily = defaultFont.family();
    const int defaultSize = halfPoints(defaultFont.pointSizeF());

    // Entry 0 of the colour table is a real colour (black, for text without a colour of its
    // own) rather than the usual empty "auto" entry: the HTML export numbers colours by their
    // \red entries, and this way both it and ordinary readers agree on every \cfN.
    QList<QRgb> colours{qRgb(0, 0, 0)};
    QHash<QRgb, int> colourIndex{{qRgb(0, 0, 0), 0}};
    QStringList fonts{defaultFamily};
    QHash<QString, int> fontIndex{{defaultFamily, 0}};
    QHash<int, RunStyle> styles; // by the document's format index

    auto styleOf = [&](const QTextFragment &fragment) {
        const int formatIndex = fragment.charFormatIndex();
        const auto found = styles.constFind(formatIndex);
        if (found != styles.constEnd())
            return *found;
        const QTextCharFormat format = fragment.charFormat();
        RunStyle style;
        QRgb rgb = qRgb(0, 0, 0);
        if (format.hasProperty(QTextFormat::ForegroundBrush)) {
            const QBrush brush = format.foreground();
            if (brush.style() != Qt::NoBrush)
                rgb = brush.color().rgb() | 0xFF000000u;
        }
        style.colour = colourIndex.value(rgb, -1);
        if (style.colour < 0) {
            style.colour = int(colours.size());
            colours.append(rgb);
            colourIndex.insert(rgb, style.colour);
        }
        const QString family = cleanFontName(firstFamily(format, defaultFamily));
        style.font = fontIndex.value(family, -1);
        if (style.font < 0) {
            style.font = int(fonts.size());
            fonts.append(family);
            fontIndex.insert(family, style.font);
        }
        style.size = format.hasProperty(QTextFormat::FontPointSize) ? halfPoints(format.fontPointSize()) : defaultSize;
        style.bold = format.fontWeight() > QFont::Medium;
        style.italic = format.fontItalic();
        style.underline = format.fontUnderline();
        style.strike = format.fontStrikeOut();
        styles.insert(formatIndex, style);
        return style;
    };

    const QString raw = document.toRawText();
    QString body;
    qsizetype escapes = 0;
    for (const QChar c : raw)
        escapes += c.unicode() >= 0x7F || c.unicode() < 0x20;
    // Room for each \uN\'HH and each paragraph's "\r\n\par ", so the body is not copied as it grows.
    body.reserve(raw.size() + escapes * 13 + document.blockCount() * 8 + 256);
    body.append(QLatin1String("\\deflang1025\\viewkind4\\uc1"));

    int curColour = -1;
    int curFont = -1;
    int curSize = -1;
    int previousBlockFormat = -1;
    QTextBlockFormat previousFormat;

    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormatIndex() != previousBlockFormat) {
            const QTextBlockFormat blockFormat = block.blockFormat();
            if (previousBlockFormat < 0 || !sameParagraphProperties(blockFormat, previousFormat)) {
                appendParagraphProperties(body, blockFormat);
                body.append(QLatin1Char(' '));
            }
            previousBlockFormat = block.blockFormatIndex();
            previousFormat = blockFormat;
        }

        // Colour, font and size stay at the top level (the HTML export only ends bold,
        // italic and the like at a "}"); those switches get a group of their own.
        bool groupOpen = false;
        RunStyle open;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const RunStyle style = styleOf(fragment);
            if (groupOpen && (!style.sameSwitches(open) || style.font != curFont || style.size != curSize
                              || style.colour != curColour)) {
                body.append(QLatin1Char('}'));
                groupOpen = false;
            }
            bool wrote = false;
            if (style.font != curFont) {
                body.append(QLatin1String("\\f"));
                appendNumber(body, style.font);
                curFont = style.font;
                wrote = true;
            }
            if (style.size != curSize) {
                body.append(QLatin1String("\\fs"));
                appendNumber(body, style.size);
                curSize = style.size;
                wrote = true;
            }
            if (style.colour != curColour) {
                body.append(QLatin1String("\\cf"));
                appendNumber(body, style.colour);
                curColour = style.colour;
                wrote = true;
            }
            if (wrote)
                body.append(QLatin1Char(' '));
            if (!groupOpen && style.anySwitch()) {
                body.append(QLatin1Char('{'));
                if (style.bold)
                    body.append(QLatin1String("\\b"));
                if (style.italic)
                    body.append(QLatin1String("\\i"));
                if (style.underline)
                    body.append(QLatin1String("\\ul"));
                if (style.strike)
                    body.append(QLatin1String("\\strike"));
                body.append(QLatin1Char(' '));
                groupOpen = true;
                open = style;
            }
            appendEscaped(body, QStringView(raw).mid(fragment.position(), fragment.length()));
        }
        if (groupOpen)
            body.append(QLatin1Char('}'));
        // Every paragraph, the last one included, ends with a line-initial \par.
        body.append(QLatin1String("\r\n\\par "));
    }
    body.append(QLatin1Char('}'));

    QString header;
    header.reserve(256 + fonts.size() * 48 + colours.size() * 32);
    header.append(QLatin1String("{\\rtf1\\ansi\\ansicpg1256\\deff0{\\fonttbl"));
    for (qsizetype i = 0; i < fonts.size(); ++i) {
        const bool fixed = QFontDatabase::isFixedPitch(fonts.at(i))
                           || (i == 0 && (defaultFont.fixedPitch() || defaultFont.styleHint() == QFont::TypeWriter));
        header.append(QLatin1String("{\\f"));
        appendNumber(header, i);
        header.append(fixed ? QLatin1String("\\fmodern") : QLatin1String("\\fnil"));
        header.append(QLatin1String("\\fcharset0 "));
        appendEscaped(header, fonts.at(i));
        header.append(QLatin1String(";}"));
    }
    header.append(QLatin1String("}\r\n{\\colortbl"));
    for (const QRgb rgb : colours) {
        header.append(QLatin1String("\\red"));
        appendNumber(header, qRed(rgb));
        header.append(QLatin1String("\\green"));
        appendNumber(header, qGreen(rgb));
        header.append(QLatin1String("\\blue"));
        appendNumber(header, qBlue(rgb));
        header.append(QLatin1Char(';'));
    }
    header.append(QLatin1String("}\r\n"));

    QString result;
    result.reserve(header.size() + body.size());
    result.append(header);
    result.append(body);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Reader
// ---------------------------------------------------------------------------------------------

bool looksLikeRtf(const QString &text) { return text.startsWith(QLatin1String("{\\rtf")); }

namespace {

enum class Destination { Body, FontTable, ColourTable, Skip };

struct CharState
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    int colour = -1; // index into the colour table, -1 = automatic
    int font = -1;
    int size = 24; // half-points
    bool operator==(const CharState &) const = default;
};

struct ParaState
{
    int direction = 0; // 0 automatic, 1 left to right, 2 right to left
    Align align = AlignNone;
    bool operator==(const ParaState &) const = default;
};

struct GroupState
{
    CharState chars;
    ParaState para;
    Destination destination = Destination::Body;
    int unicodeSkip = 1; // \ucN
};

struct FontEntry
{
    QString name;
    int charset = -1;
    bool fixed = false;
};

// Windows code page used by a font character set, 0 when the document's own applies.
int codePageOfCharset(int charset)
{
    switch (charset) {
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178:
    case 179:
    case 180: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    default: return 0;
    }
}

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

enum class Word {
    Unknown, SkipDestination, FontTable, ColourTable, AnsiCodePage, DefaultFont, UnicodeSkip,
    Unicode, Par, Line, Tab, Symbol, Plain, Bold, Italic, Underline, UnderlineNone, Strike,
    Hidden, Colour, Font, FontSize, FontCharset, FontModern, Pard, RtlPar, LtrPar, AlignLeft, AlignRight,
    AlignCenter, AlignJustify, Red, Green, Blue,
};

struct WordInfo
{
    Word word = Word::Unknown;
    char16_t symbol = 0;
};

const QHash<QString, WordInfo> &wordTable()
{
    static const QHash<QString, WordInfo> table = [] {
        QHash<QString, WordInfo> t;
        // Destinations whose text is never part of what the box shows.
        for (const char *w : {"stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf",
                              "footer", "footerl", "footerr", "footerf", "footnote", "fldinst", "objdata",
                              "objclass", "objname", "themedata", "colorschememapping", "latentstyles",
                              "datastore", "listtable", "listoverridetable", "revtbl", "rsidtbl", "filetbl",
                              "xmlnstbl", "generator", "author", "operator", "title", "subject", "keywords",
                              "comment", "doccomm", "company", "creatim", "revtim", "printim", "buptim",
                              "template", "nonshppict", "shpinst", "pgdsctbl", "annotation", "atnid",
                              "atnauthor", "xe", "tc", "bkmkstart", "bkmkend", "fontemb", "fontfile", "falt",
                              "panose", "pn", "mmathPr", "userprops", "docvar", "private", "upr"})
            t.insert(QString::fromLatin1(w), {Word::SkipDestination});
        const struct { const char *name; Word word; } words[] = {
            {"fonttbl", Word::FontTable}, {"colortbl", Word::ColourTable}, {"ansicpg", Word::AnsiCodePage},
            {"deff", Word::DefaultFont}, {"uc", Word::UnicodeSkip}, {"u", Word::Unicode},
            {"par", Word::Par}, {"sect", Word::Par}, {"row", Word::Par}, {"line", Word::Line},
            {"tab", Word::Tab}, {"cell", Word::Tab}, {"plain", Word::Plain}, {"b", Word::Bold},
            {"i", Word::Italic}, {"ul", Word::Underline}, {"uld", Word::Underline},
            {"uldb", Word::Underline}, {"ulw", Word::Underline}, {"uldash", Word::Underline},
            {"uldashd", Word::Underline}, {"uldashdd", Word::Underline}, {"ulwave", Word::Underline},
            {"ulth", Word::Underline}, {"ulhwave", Word::Underline}, {"ululdbwave", Word::Underline},
            {"ulnone", Word::UnderlineNone}, {"strike", Word::Strike}, {"striked", Word::Strike},
            {"v", Word::Hidden}, {"cf", Word::Colour}, {"f", Word::Font}, {"fs", Word::FontSize},
            {"fcharset", Word::FontCharset}, {"fmodern", Word::FontModern}, {"pard", Word::Pard},
            {"rtlpar", Word::RtlPar}, {"ltrpar", Word::LtrPar}, {"ql", Word::AlignLeft},
            {"qr", Word::AlignRight}, {"qc", Word::AlignCenter}, {"qj", Word::AlignJustify},
            {"red", Word::Red}, {"green", Word::Green}, {"blue", Word::Blue},
        };
        for (const auto &w : words)
            t.insert(QString::fromLatin1(w.name), {w.word});
        const struct { const char *name; char16_t ch; } symbols[] = {
            {"emdash", 0x2014}, {"endash", 0x2013}, {"bullet", 0x2022}, {"lquote", 0x2018},
            {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
            {"enspace", 0x2002}, {"qmspace", 0x2005}, {"zwj", 0x200D}, {"zwnj", 0x200C},
            {"ltrmark", 0x200E}, {"rtlmark", 0x200F},
        };
        for (const auto &sy : symbols)
            t.insert(QString::fromLatin1(sy.name), {Word::Symbol, sy.ch});
        return t;
    }();
    return table;
}

class Reader
{
public:
    Reader(const QString &rtf, QTextDocument *document)
        : m_rtf(rtf)
        , m_document(document)
        , m_cursor(document)
        , m_defaultFamily(document->defaultFont().family())
    {
    }

    void run();

private:
    // Tokens
    void controlWord(const WordInfo &info, bool hasParam, int param);
    void controlSymbol(QChar symbol);
    void text(QChar c);
    void text(QStringView s);
    void hexByte(unsigned char byte);
    void skipGroup();

    // Output
    int codePage() const;
    void flushBytes();
    void beginContent();
    void startFirstParagraph();
    void paragraphBreak();
    void flushText();
    void finish();
    QTextCharFormat charFormat(const CharState &state) const;
    QTextBlockFormat blockFormat(const ParaState &state) const;
    void commitColour();

    const QString &m_rtf;
    qsizetype m_pos = 0;
    QTextDocument *m_document;
    QTextCursor m_cursor;
    QString m_defaultFamily;
    QString m_word; // reused so reading a control word allocates nothing

    std::vector<GroupState> m_stack;
    GroupState m_state;
    int m_skipFallback = 0; // characters of a \u fallback still to skip

    int m_ansiCodePage = 1252;
    int m_defaultFont = 0;
    QHash<int, FontEntry> m_fonts;
    int m_fontBeingDefined = -1;
    QList<QColor> m_colours;
    int m_red = -1, m_green = -1, m_blue = -1;

    QByteArray m_bytes; // consecutive \'hh escapes, decoded together (double-byte code pages)
    int m_bytesCodePage = 0;

    QString m_buffer; // text not yet in the document, all in m_bufferState
    CharState m_bufferState;
    bool m_started = false;
    int m_pendingBreaks = 0;
    ParaState m_appliedPara;
};

void Reader::run()
{
    const QChar *data = m_rtf.constData();
    const qsizetype n = m_rtf.size();
    m_pos = 0;
    // The outermost group is the document itself.
    while (m_pos < n && data[m_pos] != QLatin1Char('{'))
        ++m_pos;
    bool firstGroup = true;
    while (m_pos < n) {
        const QChar c = data[m_pos];
        if (c == QLatin1Char('{')) {
            flushBytes();
            m_skipFallback = 0;
            if (!firstGroup)
                m_stack.push_back(m_state);
            firstGroup = false;
            ++m_pos;
            if (m_pos + 1 < n && data[m_pos] == QLatin1Char('\\') && data[m_pos + 1] == QLatin1Char('*')) {
                // An ignorable destination: nothing in it is text we know how to show.
                skipGroup();
            }
            continue;
        }
        if (c == QLatin1Char('}')) {
            flushBytes();
            m_skipFallback = 0;
            ++m_pos;
            if (m_state.destination == Destination::ColourTable && (m_red >= 0 || m_green >= 0 || m_blue >= 0))
                commitColour(); // a last entry without its ";"
            if (m_stack.empty())
                break; // the document's group is closed
            m_state = m_stack.back();
            m_stack.pop_back();
            continue;
        }
        if (c == QLatin1Char('\\')) {
            ++m_pos;
            if (m_pos >= n)
                break;
            const QChar d = data[m_pos];
            if ((d >= QLatin1Char('a') && d <= QLatin1Char('z')) || (d >= QLatin1Char('A') && d <= QLatin1Char('Z'))) {
                const qsizetype start = m_pos;
                while (m_pos < n && ((data[m_pos] >= QLatin1Char('a') && data[m_pos] <= QLatin1Char('z'))
                                     || (data[m_pos] >= QLatin1Char('A') && data[m_pos] <= QLatin1Char('Z'))))
                    ++m_pos;
                m_word.resize(m_pos - start);
                std::copy(data + start, data + m_pos, m_word.data());
                bool hasParam = false;
                bool negative = false;
                qint64 param = 0;
                if (m_pos < n && data[m_pos] == QLatin1Char('-') && m_pos + 1 < n && data[m_pos + 1].isDigit()) {
                    negative = true;
                    ++m_pos;
                }
                while (m_pos < n && data[m_pos] >= QLatin1Char('0') && data[m_pos] <= QLatin1Char('9')) {
                    hasParam = true;
                    if (param < 100000000)
                        param = param * 10 + (data[m_pos].unicode() - '0');
                    ++m_pos;
                }
                if (m_pos < n && data[m_pos] == QLatin1Char(' '))
                    ++m_pos;
                if (negative)
                    param = -param;
                if (m_word == QLatin1String("bin")) {
                    // Raw binary data of the given length; never text.
                    flushBytes();
                    m_pos = std::min<qsizetype>(n, m_pos + std::max<qint64>(0, param));
                    continue;
                }
                const auto found = wordTable().constFind(m_word);
                const WordInfo info = found == wordTable().constEnd() ? WordInfo{} : *found;
                if (info.word != Word::Unicode && m_skipFallback > 0) {
                    --m_skipFallback;
                    continue;
                }
                controlWord(info, hasParam, int(param));
                continue;
            }
            if (d == QLatin1Char('\'')) {
                ++m_pos;
                int value = 0;
                int digits = 0;
                while (digits < 2 && m_pos < n) {
                    const int h = platform::hexDigitValue(data[m_pos]);
                    if (h < 0)
                        break;
                    value = value * 16 + h;
                    ++digits;
                    ++m_pos;
                }
                if (m_skipFallback > 0) {
                    --m_skipFallback;
                    continue;
                }
                if (digits > 0)
                    hexByte(static_cast<unsigned char>(value));
                continue;
            }
            ++m_pos;
            if (m_skipFallback > 0 && d != QLatin1Char('\r') && d != QLatin1Char('\n')) {
                --m_skipFallback;
                continue;
            }
            controlSymbol(d);
            continue;
        }
        ++m_pos;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            continue;
        if (m_skipFallback > 0) {
            --m_skipFallback;
            continue;
        }
        text(c);
    }
    finish();
}

// Passes over the rest of the present group, its nested groups included; the group's
// closing brace is left for the main loop so the state stack stays balanced.
void Reader::skipGroup()
{
    flushBytes();
    const QChar *data = m_rtf.constData();
    const qsizetype n = m_rtf.size();
    int depth = 0;
    while (m_pos < n) {
        const QChar c = data[m_pos];
        if (c == QLatin1Char('\\')) {
            ++m_pos;
            if (m_pos < n && data[m_pos] == QLatin1Char('b') && m_pos + 2 < n && data[m_pos + 1] == QLatin1Char('i')
                && data[m_pos + 2] == QLatin1Char('n')) {
                // \binN inside a skipped group: its bytes may hold braces.
                qsizetype p = m_pos + 3;
                qint64 len = 0;
                while (p < n && data[p].isDigit()) {
                    if (len < 100000000)
                        len = len * 10 + (data[p].unicode() - '0');
                    ++p;
                }
                if (p < n && data[p] == QLatin1Char(' '))
                    ++p;
                m_pos = std::min<qsizetype>(n, p + len);
                continue;
            }
            ++m_pos; // an escaped brace or backslash is not structure
            continue;
        }
        if (c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char('}')) {
            if (depth == 0)
                return;
            --depth;
        }
        ++m_pos;
    }
}

void Reader::controlWord(const WordInfo &info, bool hasParam, int param)
{
    const Destination dest = m_state.destination;
    const bool on = !hasParam || param != 0;

    switch (info.word) {
    case Word::FontTable:
        m_state.destination = Destination::FontTable;
        return;
    case Word::ColourTable:
        m_state.destination = Destination::ColourTable;
        m_red = m_green = m_blue = -1;
        return;
    case Word::SkipDestination:
        m_state.destination = Destination::Skip;
        skipGroup();
        return;
    default:
        break;
    }

    if (dest == Destination::FontTable) {
        if (info.word == Word::Font) {
            m_fontBeingDefined = param;
            m_fonts[param] = FontEntry{};
        } else if (info.word == Word::FontCharset && m_fontBeingDefined >= 0) {
            m_fonts[m_fontBeingDefined].charset = param;
        } else if (info.word == Word::FontModern && m_fontBeingDefined >= 0) {
            m_fonts[m_fontBeingDefined].fixed = true;
        } else if (info.word == Word::Unicode) {
            text(QChar(char16_t(param & 0xFFFF)));
            m_skipFallback = m_state.unicodeSkip;
        }
        return;
    }
    if (dest == Destination::ColourTable) {
        if (info.word == Word::Red)
            m_red = param;
        else if (info.word == Word::Green)
            m_green = param;
        else if (info.word == Word::Blue)
            m_blue = param;
        return;
    }
    if (dest == Destination::Skip)
        return;

    flushBytes();
    CharState &cs = m_state.chars;
    switch (info.word) {
    // Document settings
    case Word::AnsiCodePage:
        if (hasParam && param > 0)
            m_ansiCodePage = param;
        break;
    case Word::DefaultFont:
        m_defaultFont = param;
        cs.font = param;
        break;
    case Word::UnicodeSkip:
        m_state.unicodeSkip = std::max(0, param);
        break;
    // Characters
    case Word::Unicode:
        text(QChar(char16_t(param & 0xFFFF))); // negative values are the upper half
        m_skipFallback = m_state.unicodeSkip;
        break;
    case Word::Par:
        paragraphBreak();
        break;
    case Word::Line:
        text(QChar(QChar::LineSeparator));
        break;
    case Word::Tab:
        text(QLatin1Char('\t'));
        break;
    case Word::Symbol:
        text(QChar(info.symbol));
        break;
    // Character properties
    case Word::Plain:
        cs = CharState{};
        cs.font = m_defaultFont;
        break;
    case Word::Bold:
        cs.bold = on;
        break;
    case Word::Italic:
        cs.italic = on;
        break;
    case Word::Underline:
        cs.underline = on;
        break;
    case Word::UnderlineNone:
        cs.underline = false;
        break;
    case Word::Strike:
        cs.strike = on;
        break;
    case Word::Hidden:
        cs.hidden = on;
        break;
    case Word::Colour:
        cs.colour = param;
        break;
    case Word::Font:
        cs.font = param;
        break;
    case Word::FontSize:
        cs.size = hasParam && param > 0 ? param : 24;
        break;
    // Paragraph properties
    case Word::Pard:
        m_state.para = ParaState{};
        break;
    case Word::RtlPar:
        m_state.para.direction = 2;
        break;
    case Word::LtrPar:
        m_state.para.direction = 1;
        break;
    case Word::AlignLeft:
        m_state.para.align = AlignLeft;
        break;
    case Word::AlignRight:
        m_state.para.align = AlignRight;
        break;
    case Word::AlignCenter:
        m_state.para.align = AlignCenter;
        break;
    case Word::AlignJustify:
        m_state.para.align = AlignJustify;
        break;
    default:
        break;
    }
}

void Reader::controlSymbol(QChar symbol)
{
    switch (symbol.unicode()) {
    case '\\':
    case '{':
    case '}':
        text(symbol);
        break;
    case '~':
        text(QChar(0x00A0));
        break;
    case '_':
        text(QChar(0x2011));
        break;
    case '\r':
    case '\n':
        flushBytes();
        if (m_state.destination == Destination::Body)
            paragraphBreak();
        break;
    default: // \- optional hyphen, \: index entry, \| formula, \* outside a group start
        break;
    }
}

void Reader::hexByte(unsigned char byte)
{
    if (m_state.destination == Destination::Skip || m_state.destination == Destination::ColourTable)
        return;
    const int cp = codePage();
    if (!m_bytes.isEmpty() && cp != m_bytesCodePage)
        flushBytes();
    m_bytesCodePage = cp;
    m_bytes.append(char(byte));
}

int Reader::codePage() const
{
    if (m_state.destination == Destination::Body) {
        const auto it = m_fonts.constFind(m_state.chars.font);
        if (it != m_fonts.constEnd()) {
            const int cp = codePageOfCharset(it->charset);
            if (cp)
                return cp;
        }
    } else if (m_state.destination == Destination::FontTable && m_fontBeingDefined >= 0) {
        const int cp = codePageOfCharset(m_fonts.value(m_fontBeingDefined).charset);
        if (cp)
            return cp;
    }
    return m_ansiCodePage;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const QString decoded = decodeCodePage(m_bytes, m_bytesCodePage);
    m_bytes.clear();
    text(QStringView(decoded));
}

void Reader::text(QChar c) { text(QStringView(&c, 1)); }

void Reader::text(QStringView s)
{
    flushBytes(); // escapes read before this text come first
    switch (m_state.destination) {
    case Destination::Skip:
        return;
    case Destination::ColourTable:
        for (const QChar c : s)
            if (c == QLatin1Char(';'))
                commitColour();
        return;
    case Destination::FontTable:
        if (m_fontBeingDefined < 0)
            return;
        for (const QChar c : s) {
            if (c == QLatin1Char(';'))
                m_fontBeingDefined = -1;
            else if (m_fontBeingDefined >= 0)
                m_fonts[m_fontBeingDefined].name.append(c);
        }
        return;
    case Destination::Body:
        if (m_state.chars.hidden)
            return;
        break;
    }
    beginContent();
    if (!m_buffer.isEmpty() && !(m_state.chars == m_bufferState))
        flushText();
    m_bufferState = m_state.chars;
    m_buffer.append(s);
}

void Reader::commitColour()
{
    if (m_red < 0 && m_green < 0 && m_blue < 0)
        m_colours.append(QColor()); // the automatic colour
    else
        m_colours.append(QColor(std::clamp(m_red, 0, 255), std::clamp(m_green, 0, 255), std::clamp(m_blue, 0, 255)));
    m_red = m_green = m_blue = -1;
}

void Reader::startFirstParagraph()
{
    m_started = true;
    m_cursor.setBlockFormat(blockFormat(m_state.para));
    m_appliedPara = m_state.para;
}

// Paragraph breaks are held back until the next paragraph has content, so the \par that
// ends the last paragraph does not leave an empty paragraph behind.
void Reader::beginContent()
{
    if (!m_started)
        startFirstParagraph();
    while (m_pendingBreaks > 0) {
        --m_pendingBreaks;
        if (m_state.para == m_appliedPara) {
            if (m_buffer.isEmpty())
                m_bufferState = m_state.chars;
            m_buffer.append(QChar(QChar::ParagraphSeparator));
        } else {
            flushText();
            m_cursor.insertBlock(blockFormat(m_state.para), charFormat(m_state.chars));
            m_appliedPara = m_state.para;
        }
    }
}

void Reader::paragraphBreak()
{
    if (m_state.destination != Destination::Body)
        return;
    if (!m_started)
        startFirstParagraph();
    ++m_pendingBreaks;
}

void Reader::flushText()
{
    if (m_buffer.isEmpty())
        return;
    m_cursor.insertText(m_buffer, charFormat(m_bufferState));
    m_buffer.clear();
}

void Reader::finish()
{
    flushBytes();
    if (!m_started)
        startFirstParagraph();
    if (m_pendingBreaks > 0) {
        --m_pendingBreaks;
        beginContent();
    }
    flushText();
}

QTextCharFormat Reader::charFormat(const CharState &state) const
{
    QTextCharFormat format;
    if (state.bold)
        format.setFontWeight(QFont::Bold);
    if (state.italic)
        format.setFontItalic(true);
    if (state.underline)
        format.setFontUnderline(true);
    if (state.strike)
        format.setFontStrikeOut(true);
    if (state.colour >= 0 && state.colour < m_colours.size() && m_colours.at(state.colour).isValid())
        format.setForeground(m_colours.at(state.colour));
    format.setFontPointSize(state.size / 2.0);
    const auto it = m_fonts.constFind(state.font);
    if (it != m_fonts.constEnd()) {
        const QString name = it->name.trimmed();
        // The box's own font keeps its fallbacks (a face missing here still finds a
        // fixed-pitch one with Arabic glyphs).
        if (!name.isEmpty() && name != m_defaultFamily) {
            QStringList families{name};
            if (it->fixed)
                families.append(m_document->defaultFont().families());
            format.setFontFamilies(families);
            if (it->fixed)
                format.setFontFixedPitch(true);
        }
    }
    return format;
}

QTextBlockFormat Reader::blockFormat(const ParaState &state) const
{
    QTextBlockFormat format;
    if (state.direction == 1)
        format.setLayoutDirection(Qt::LeftToRight);
    else if (state.direction == 2)
        format.setLayoutDirection(Qt::RightToLeft);
    switch (state.align) {
    case AlignLeft:
        format.setAlignment(Qt::AlignLeft);
        break;
    case AlignRight:
        format.setAlignment(Qt::AlignRight);
        break;
    case AlignCenter:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case AlignJustify:
        format.setAlignment(Qt::AlignJustify);
        break;
    case AlignNone:
        break;
    }
    return format;
}

} // namespace

bool rtfToDocument(const QString &rtf, QTextDocument *document)
{
    document->clear();
    if (!looksLikeRtf(rtf))
        return false;
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    {
        Reader reader(rtf, document);
        QTextCursor editBlock(document);
        editBlock.beginEditBlock();
        reader.run();
        editBlock.endEditBlock();
    }
    document->setUndoRedoEnabled(undo);
    return true;
}

} // namespace platform
