#include "platform/RtfReader.h"

#include "platform/RtfAlign.h"
#include "platform/Text.h"

#include <QColor>
#include <QHash>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <vector>

namespace platform {

bool looksLikeRtf(const QString &text) { return text.startsWith(QLatin1String("{\\rtf")); }

namespace {

enum class Destination { Body, FontTable, ColourTable, Skip };

struct CharState {
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

struct ParaState {
    int direction = 0; // 0 automatic, 1 left to right, 2 right to left
    RtfAlign align = RtfAlign::None;
    bool operator==(const ParaState &) const = default;
};

struct GroupState {
    CharState chars;
    ParaState para;
    Destination destination = Destination::Body;
    int unicodeSkip = 1; // \ucN
};

struct FontEntry {
    QString name;
    int charset = -1;
    bool fixed = false;
};

// Windows code page used by a font character set, 0 when the document's own applies.
int codePageOfCharset(int charset)
{
    switch (charset) {
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
    case 179:
    case 180:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    default:
        return 0;
    }
}

enum class Word {
    Unknown,
    SkipDestination,
    FontTable,
    ColourTable,
    AnsiCodePage,
    DefaultFont,
    UnicodeSkip,
    Unicode,
    Par,
    Line,
    Tab,
    Symbol,
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Hidden,
    Colour,
    Font,
    FontSize,
    FontCharset,
    FontModern,
    Pard,
    RtlPar,
    LtrPar,
    AlignLeft,
    AlignRight,
    AlignCenter,
    AlignJustify,
    Red,
    Green,
    Blue,
};

struct WordInfo {
    Word word = Word::Unknown;
    char16_t symbol = 0;
};

const QHash<QString, WordInfo> &wordTable()
{
    static const QHash<QString, WordInfo> table = [] {
        QHash<QString, WordInfo> t;
        // Destinations whose text is never part of what the box shows.
        for (const char *w : {"stylesheet",   "info",
                              "pict",         "header",
                              "headerl",      "headerr",
                              "headerf",      "footer",
                              "footerl",      "footerr",
                              "footerf",      "footnote",
                              "fldinst",      "objdata",
                              "objclass",     "objname",
                              "themedata",    "colorschememapping",
                              "latentstyles", "datastore",
                              "listtable",    "listoverridetable",
                              "revtbl",       "rsidtbl",
                              "filetbl",      "xmlnstbl",
                              "generator",    "author",
                              "operator",     "title",
                              "subject",      "keywords",
                              "comment",      "doccomm",
                              "company",      "creatim",
                              "revtim",       "printim",
                              "buptim",       "template",
                              "nonshppict",   "shpinst",
                              "pgdsctbl",     "annotation",
                              "atnid",        "atnauthor",
                              "xe",           "tc",
                              "bkmkstart",    "bkmkend",
                              "fontemb",      "fontfile",
                              "falt",         "panose",
                              "pn",           "mmathPr",
                              "userprops",    "docvar",
                              "private",      "upr"})
            t.insert(QString::fromLatin1(w), {Word::SkipDestination});
        const struct {
            const char *name;
            Word word;
        } words[] = {
            {"fonttbl", Word::FontTable},
            {"colortbl", Word::ColourTable},
            {"ansicpg", Word::AnsiCodePage},
            {"deff", Word::DefaultFont},
            {"uc", Word::UnicodeSkip},
            {"u", Word::Unicode},
            {"par", Word::Par},
            {"sect", Word::Par},
            {"row", Word::Par},
            {"line", Word::Line},
            {"tab", Word::Tab},
            {"cell", Word::Tab},
            {"plain", Word::Plain},
            {"b", Word::Bold},
            {"i", Word::Italic},
            {"ul", Word::Underline},
            {"uld", Word::Underline},
            {"uldb", Word::Underline},
            {"ulw", Word::Underline},
            {"uldash", Word::Underline},
            {"uldashd", Word::Underline},
            {"uldashdd", Word::Underline},
            {"ulwave", Word::Underline},
            {"ulth", Word::Underline},
            {"ulhwave", Word::Underline},
            {"ululdbwave", Word::Underline},
            {"ulnone", Word::UnderlineNone},
            {"strike", Word::Strike},
            {"striked", Word::Strike},
            {"v", Word::Hidden},
            {"cf", Word::Colour},
            {"f", Word::Font},
            {"fs", Word::FontSize},
            {"fcharset", Word::FontCharset},
            {"fmodern", Word::FontModern},
            {"pard", Word::Pard},
            {"rtlpar", Word::RtlPar},
            {"ltrpar", Word::LtrPar},
            {"ql", Word::AlignLeft},
            {"qr", Word::AlignRight},
            {"qc", Word::AlignCenter},
            {"qj", Word::AlignJustify},
            {"red", Word::Red},
            {"green", Word::Green},
            {"blue", Word::Blue},
        };
        for (const auto &w : words)
            t.insert(QString::fromLatin1(w.name), {w.word});
        const struct {
            const char *name;
            char16_t ch;
        } symbols[] = {
            {"emdash", 0x2014},    {"endash", 0x2013},    {"bullet", 0x2022},  {"lquote", 0x2018},  {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},
            {"zwj", 0x200D},       {"zwnj", 0x200C},      {"ltrmark", 0x200E}, {"rtlmark", 0x200F},
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
    { }

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
                while (m_pos < n
                       && ((data[m_pos] >= QLatin1Char('a') && data[m_pos] <= QLatin1Char('z'))
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
        m_state.para.align = RtfAlign::Left;
        break;
    case Word::AlignRight:
        m_state.para.align = RtfAlign::Right;
        break;
    case Word::AlignCenter:
        m_state.para.align = RtfAlign::Center;
        break;
    case Word::AlignJustify:
        m_state.para.align = RtfAlign::Justify;
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
    setRtfAlign(format, state.align);
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
