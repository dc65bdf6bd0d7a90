#include "export/core/RtfToHtml.h"

#include "export/core/LargeBuffer.h"
#include "platform/Text.h"

#include <QList>
#include <QStringList>
#include <QStringMatcher>

#include <algorithm>
#include <limits>
#include <utility>

namespace exporting::rtfTohtml {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString Nbsp = QStringLiteral("&nbsp;");

// Keyed by the two hex digits exactly as written in the escape (lower case only).
struct Entity {
    const char *code;
    const char *text;
};
constexpr Entity kEntities[] = {
    {"00", "&nbsp;"},   {"b4", "&copy;"},   {"ab", "&laquo;"},  {"bb", "&raquo;"},  {"bf", "&iexcl;"},
    {"e0", "&Agrave;"}, {"e2", "&Aacute;"}, {"e7", "&Atilde;"}, {"e8", "&ETH;"},    {"ea", "&Eacute;"},
    {"eb", "&Euml;"},   {"ee", "&Igrave;"}, {"ef", "&Iuml;"},   {"f4", "&Ntilde;"}, {"fb", "&Otilde;"},
    {"fc", "&Uuml;"},   {"df", "&Yacute;"}, {"a7", "&sect;"},   {"b6", "&para;"},   {"b5", "&micro;"},
    {"a6", "&brvbar;"}, {"b1", "&plusmn;"}, {"b7", "&middot;"}, {"a8", "&uml;"},    {"aa", "&cedil;"},
    {"ba", "&ordm;"},   {"ac", "&not;"},    {"ad", "&shy;"},    {"af", "&macr;"},   {"b0", "&deg;"},
    {"b9", "&sup1;"},   {"b2", "&sup2;"},   {"b3", "&sup3;"},   {"bc", "&frac14;"}, {"bd", "&frac12;"},
    {"be", "&frac34;"}, {"a2", "&times;"},  {"a3", "&pound;"},  {"a4", "&curren;"}, {"a5", "&yen;"},
    {"85", "..."},
};

const char *entityFor(QStringView hh)
{
    if (hh.size() != 2)
        return nullptr;
    for (const Entity &e : kEntities)
        if (hh.at(0) == QLatin1Char(e.code[0]) && hh.at(1) == QLatin1Char(e.code[1]))
            return e.text;
    return nullptr;
}

// Characters with no rule of their own in the text.
bool isOrdinary(QChar c)
{
    switch (c.unicode()) {
    case '{':
    case '}':
    case '\r':
    case '\n':
    case '<':
    case '>':
    case '&':
    case '"':
    case ' ':
    case '\\':
        return false;
    default:
        return true;
    }
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Consecutive digits from 'from', at most maxDigits of them, saturating instead of overflowing.
qint64 readDigits(const QString &s, qsizetype from, qsizetype maxDigits = std::numeric_limits<qsizetype>::max())
{
    qint64 value = 0;
    for (qsizetype i = from; i < s.size() && i - from < maxDigits && isDigit(s.at(i)); ++i)
        value = std::min<qint64>(value * 10 + (s.at(i).unicode() - '0'), std::numeric_limits<int>::max());
    return value;
}

QString escapeText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The next occurrence of a needle at or after a position. The converter's searches only move
// forward, so remembering the last answer scans each part of the text at most once: a table of
// n entries whose values are missing or unterminated costs O(n), not O(n²).
class ForwardFinder
{
public:
    ForwardFinder(const QString &text, QString needle)
        : m_text(text)
        , m_needle(std::move(needle))
    { }
    qsizetype next(qsizetype from)
    {
        if (m_from >= 0 && from >= m_from && (m_at < 0 || from <= m_at))
            return m_at;
        m_from = from;
        m_at = m_text.indexOf(m_needle, from);
        return m_at;
    }

private:
    const QString &m_text;
    QString m_needle;
    qsizetype m_from = -1, m_at = -1;
};

class Converter
{
public:
    Converter(const QString &rtf, const QString &options)
        : m_rtf(rtf)
        , m_n(rtf.size())
    {
        m_nl = options.contains(QLatin1String("+CR")) ? CrLf : QString();
        m_brNl = QStringLiteral("<BR>") + m_nl;
        m_passMarkup = options.contains(QLatin1String("+I"));
    }

    QString run(const QString &options);

private:
    QChar at(qsizetype i) const { return i >= 0 && i < m_n ? m_rtf.at(i) : QChar(); }
    bool startsAt(qsizetype i, QLatin1StringView word) const
    {
        return i <= m_n && QStringView(m_rtf).sliced(i).startsWith(word);
    }

    void readColourTable();
    void readFontTable();
    QString colourComponent(qsizetype from) const;
    void convertParagraph(qsizetype &p, qsizetype end);
    void controlWord(qsizetype &p);
    void leaveGroup()
    {
        if (!m_ucStack.isEmpty())
            m_uc = m_ucStack.takeLast();
    }

    void appendLine(QStringView s);
    // Markup: it does not end the leading white space of a paragraph.
    void appendTag(QStringView s) { m_line.append(s); }
    void flushParagraph();
    QString fixedPitchStyle(int font) const;
    void fontCheck();
    void write(QStringView s);
    void direct(QStringView s);
    void emitDecoded(QChar c);

    const QString &m_rtf;
    const qsizetype m_n;
    QString m_nl;
    QString m_brNl; // "<BR>" + NL, the usual paragraph end
    bool m_passMarkup = false;
    bool m_frame = false;

    QStringList m_colours{QString()};
    QStringList m_colourValues; // "#" + each entry, made once
    QStringList m_fonts{QString()};
    QList<bool> m_fixedPitch{false}; // by font number: \fmodern in the font table

    QString m_body, m_line, m_closing, m_face, m_colour;
    // The last font tag written and what it was made of.
    QString m_fontTag, m_tagFace, m_tagColour;
    bool m_tagSizeSet = false;
    int m_tagSize = 0;
    bool m_sizeSet = false;
    int m_size = 0;
    bool m_pending = false;
    QString m_align;
    bool m_tableOpen = false;
    QString m_listStart, m_itemStart, m_parEnd, m_prevParEnd, m_listEnd;
    // Whether the line so far has no text but "&nbsp;"s (markup aside): the space rule asks this
    // for every space, so the indentation of a line that starts with a colour change is kept whole.
    bool m_lineOnlyNbsp = true;
    // The paragraph's direction (\rtlpar, \ltrpar; \pard clears it) and font (\fN; \plain
    // gives the default font 0 again): a paragraph with a direction is a block of its own.
    enum class Direction { None, LeftToRight, RightToLeft } m_direction = Direction::None;
    int m_font = 0;

    // \ucN is scoped by groups: how many fallback characters follow each \uN.
    int m_uc = 1;
    QList<int> m_ucStack;

    // The last "}" search, so that a long group skipped from many paragraphs is searched once.
    ForwardFinder m_closingBrace{m_rtf, QStringLiteral("}")};
};

QString Converter::colourComponent(qsizetype from) const
{
    // The first character, then the next two each only when it is a digit, read as a number.
    QString digits;
    if (from < m_n)
        digits += m_rtf.at(from);
    if (isDigit(at(from + 1)))
        digits += m_rtf.at(from + 1);
    if (isDigit(at(from + 2)))
        digits += m_rtf.at(from + 2);
    qsizetype i = 0;
    while (i < digits.size() && digits.at(i) == QLatin1Char(' '))
        ++i;
    const qint64 value = readDigits(digits, i);
    QString hex = QString::number(value, 16).toUpper();
    if (hex.size() < 2)
        hex.prepend(QLatin1Char('0'));
    return hex;
}

void Converter::readColourTable()
{
    const qsizetype start = m_rtf.indexOf(QLatin1String("\\colortbl"));
    if (start < 0)
        return;
    const qsizetype end = m_rtf.indexOf(QLatin1String(";}"), start);
    qsizetype red = m_rtf.indexOf(QLatin1String("\\red"), start);
    ForwardFinder greens(m_rtf, QStringLiteral("\\green")), blues(m_rtf, QStringLiteral("\\blue"));
    int i = 0;
    while (red >= 0 && red <= end) {
        while (m_colours.size() <= i)
            m_colours.append(QString());
        QString entry = colourComponent(red + 4);
        // A table without its \green or \blue reads the missing part as 0.
        qsizetype last = red;
        const qsizetype green = greens.next(red);
        entry += green >= 0 ? colourComponent(green + 6) : QStringLiteral("00");
        if (green >= 0)
            last = green;
        const qsizetype blue = blues.next(last);
        entry += blue >= 0 ? colourComponent(blue + 5) : QStringLiteral("00");
        if (blue >= 0)
            last = blue;
        m_colours[i] = entry;
        red = m_rtf.indexOf(QLatin1String("\\red"), last + 1);
        ++i;
    }
}

void Converter::readFontTable()
{
    const qsizetype start = m_rtf.indexOf(QLatin1String("\\fonttbl"));
    if (start < 0)
        return;
    const qsizetype end = m_rtf.indexOf(QLatin1String(";}}"), start);
    qsizetype found = m_rtf.indexOf(QLatin1String("\\f0"), start);
    ForwardFinder spaces(m_rtf, QStringLiteral(" ")), semicolons(m_rtf, QStringLiteral(";")),
        braces(m_rtf, QStringLiteral("}")), groups(m_rtf, QStringLiteral("{"));
    int j = 0;
    while (found >= 0 && found <= end) {
        while (m_fonts.size() <= j)
            m_fonts.append(QString());
        qsizetype space = spaces.next(found);
        if (space < 0 || space > end)
            space = std::min(end + 1, m_n);
        const qsizetype nameStart = space + 1;
        // A name ends at its ";". One without it stops where its entry does (its "}", a "{"
        // opening the next group, or the next font's number), so that a table of unterminated
        // names does not give every font the rest of the table as its name.
        const qsizetype next = m_rtf.indexOf(QLatin1String("\\f") + QString::number(j + 1), std::min(nameStart, m_n));
        qsizetype nameEnd = semicolons.next(nameStart);
        if (nameEnd < 0)
            nameEnd = m_n;
        for (const qsizetype stop : {braces.next(nameStart), groups.next(nameStart), next})
            if (stop >= 0 && stop < nameEnd)
                nameEnd = stop;
        m_fonts[j] = nameStart < m_n ? m_rtf.mid(nameStart, std::max<qsizetype>(0, nameEnd - nameStart)) : QString();
        while (m_fixedPitch.size() <= j)
            m_fixedPitch.append(false);
        m_fixedPitch[j] = QStringView(m_rtf)
                              .sliced(found, std::max<qsizetype>(0, space - found))
                              .contains(QLatin1String("\\fmodern"));
        found = next;
        ++j;
    }
}

void Converter::appendLine(QStringView s)
{
    if (s.isEmpty())
        return;
    if (m_lineOnlyNbsp) {
        bool nbspOnly = s.size() % Nbsp.size() == 0;
        for (qsizetype i = 0; nbspOnly && i < s.size(); i += Nbsp.size())
            nbspOnly = s.sliced(i, Nbsp.size()) == Nbsp;
        m_lineOnlyNbsp = nbspOnly;
    }
    m_line.append(s);
}

void Converter::fontCheck()
{
    if (!m_pending || (m_face.isEmpty() && m_colour.isEmpty()))
        return;
    if (!m_align.isEmpty()) {
        m_tableOpen = true;
        if (m_align == QLatin1String("center"))
            appendTag(u"<TABLE ALIGN=\"left\" CELLSPACING=0 CELLPADDING=0 WIDTH=\"100%\"><TR ALIGN=\"center\"><TD>");
        else if (m_align == QLatin1String("right"))
            appendTag(u"<TABLE ALIGN=\"left\" CELLSPACING=0 CELLPADDING=0 WIDTH=\"100%\"><TR ALIGN=\"right\"><TD>");
        m_align.clear();
    }
    // The tag is made again only when the face, colour or size differs from the last one's.
    if (m_fontTag.isEmpty() || m_tagFace != m_face || m_tagColour != m_colour || m_tagSizeSet != m_sizeSet
        || m_tagSize != m_size) {
        m_tagFace = m_face;
        m_tagColour = m_colour;
        m_tagSizeSet = m_sizeSet;
        m_tagSize = m_size;
        m_fontTag = QStringLiteral("<FONT");
        if (!m_face.isEmpty())
            m_fontTag += QStringLiteral(" FACE=\"") + m_face + QLatin1Char('"');
        if (!m_colour.isEmpty())
            m_fontTag += QStringLiteral(" COLOR=\"") + m_colour + QLatin1Char('"');
        if (m_sizeSet)
            m_fontTag += QStringLiteral(" SIZE = \"") + QString::number(m_size) + QLatin1Char('"');
        m_fontTag += QLatin1Char('>');
    }
    m_line += m_fontTag;
}

// A character or symbol of the text: the font tag it triggers stands before it.
void Converter::write(QStringView s)
{
    fontCheck();
    appendLine(s);
    m_pending = false;
}

// A replacement appended directly: the font tag it triggers stands after it.
void Converter::direct(QStringView s)
{
    appendLine(s);
    fontCheck();
    m_pending = false;
}

// A character that an escape decodes to is treated like the same character typed in the
// text, so escaped markup characters cannot inject tags.
void Converter::emitDecoded(QChar c)
{
    switch (c.unicode()) {
    case 0:
        return;
    case '<':
        m_passMarkup ? write(u"<") : direct(u"&lt;");
        return;
    case '>':
        direct(m_passMarkup ? u">" : u"&gt;");
        return;
    case '&':
        direct(u"&amp;");
        return;
    case '"':
        direct(u"&quot;");
        return;
    default:
        write(QStringView(&c, 1));
    }
}

void Converter::convertParagraph(qsizetype &p, qsizetype end)
{
    while (p <= end && p < m_n) {
        const QChar c = m_rtf.at(p);
        switch (c.unicode()) {
        case '{':
            m_ucStack.append(m_uc);
            ++p;
            break;
        case '}':
            appendTag(m_closing);
            m_closing.clear();
            leaveGroup();
            ++p;
            break;
        case '\r':
        case '\n':
            ++p;
            break;
        case '<':
            m_passMarkup ? write(u"<") : direct(u"&lt;");
            ++p;
            break;
        case '>':
            direct(m_passMarkup ? u">" : u"&gt;");
            ++p;
            break;
        case '&':
            direct(u"&amp;");
            ++p;
            break;
        case '"':
            direct(u"&quot;");
            ++p;
            break;
        case ' ':
            direct(m_lineOnlyNbsp ? QStringView(Nbsp) : QStringView(u" "));
            ++p;
            break;
        case '\\':
            controlWord(p);
            break;
        default: {
            // A run of ordinary characters at once: only its first one can trigger a font tag.
            qsizetype runEnd = p + 1;
            while (runEnd <= end && runEnd < m_n && isOrdinary(m_rtf.at(runEnd)))
                ++runEnd;
            write(QStringView(m_rtf).sliced(p, runEnd - p));
            p = runEnd;
        }
        }
    }
}

void Converter::controlWord(qsizetype &p)
{
    const qsizetype q = p + 1; // first character after the backslash
    const QChar first = at(q);
    auto isDelimiter = [&](qsizetype len) {
        const QChar d = at(q + len);
        return d == QLatin1Char(' ') || d == QLatin1Char('\\');
    };
    auto followedBy = [&](QLatin1StringView word, QChar next) {
        return startsAt(q, word) && at(q + word.size()) == next;
    };
    // The word, and its delimiter when that is a space.
    auto consumeWord = [&](qsizetype len) {
        p = q + len;
        if (at(p) == QLatin1Char(' '))
            ++p;
    };
    // Up to and including the first space, or up to the first backslash.
    auto consumeToDelimiter = [&] {
        qsizetype i = q;
        while (i < m_n && m_rtf.at(i) != QLatin1Char(' ') && m_rtf.at(i) != QLatin1Char('\\'))
            ++i;
        p = i < m_n && m_rtf.at(i) == QLatin1Char(' ') ? i + 1 : i;
    };
    auto ignore = [&] {
        qsizetype i = q;
        while (i < m_n && m_rtf.at(i) != QLatin1Char(' ') && m_rtf.at(i) != QLatin1Char('\\')
               && m_rtf.at(i) != QLatin1Char('}'))
            ++i;
        if (i < m_n && m_rtf.at(i) == QLatin1Char('}'))
            leaveGroup();
        p = i < m_n && m_rtf.at(i) != QLatin1Char('\\') ? i + 1 : i;
    };
    auto openTag = [&](qsizetype len, QStringView open, QStringView close) {
        appendTag(open);
        m_closing.prepend(close);
        consumeWord(len);
    };
    auto symbol = [&](QLatin1StringView word, QStringView text) {
        write(text);
        p = q + word.size() + 1;
    };
    const QChar space = QLatin1Char(' ');
    const QChar backslash = QLatin1Char('\\');

    if (first == QLatin1Char('b') && isDelimiter(1)) {
        openTag(1, u"<B>", u"</B>");
    } else if (first == QLatin1Char('b') && followedBy(QLatin1String("bullet"), space)) {
        symbol(QLatin1String("bullet"), u"\u2022");
    } else if (first == QLatin1Char('c') && startsAt(q, QLatin1String("cf")) && isDigit(at(q + 2))) {
        // Only the digits of the word itself: text starting with a digit after the
        // delimiter is not part of the colour number.
        const qint64 n = readDigits(m_rtf, q + 2, 5);
        if (n < m_colours.size()) {
            m_colour = m_colourValues.at(int(n));
            m_pending = true;
        }
        consumeToDelimiter();
    } else if (first == QLatin1Char('e') && followedBy(QLatin1String("emdash"), space)) {
        symbol(QLatin1String("emdash"), u"\u2014");
    } else if (first == QLatin1Char('f') && isDigit(at(q + 1))) {
        const qint64 n = readDigits(m_rtf, q + 1);
        if (n < m_fonts.size())
            m_font = int(n);
        if (n < m_fonts.size() && m_fonts.at(int(n)) != m_fonts.at(0)) {
            m_face = m_fonts.at(int(n));
            m_pending = true;
        }
        consumeToDelimiter();
    } else if (first == QLatin1Char('f') && startsAt(q, QLatin1String("fs")) && isDigit(at(q + 2))) {
        const qint64 size = readDigits(m_rtf, q + 2) / 5 - 2;
        if (size == 2) {
            m_sizeSet = false;
            m_size = 0;
        } else {
            m_sizeSet = true;
            m_pending = true;
            m_size = int(std::clamp<qint64>(size, 1, 8));
        }
        consumeToDelimiter();
    } else if (first == QLatin1Char('i') && isDelimiter(1)) {
        openTag(1, u"<I>", u"</I>");
    } else if (first == QLatin1Char('l') && followedBy(QLatin1String("ldblquote"), space)) {
        symbol(QLatin1String("ldblquote"), u"\u201C");
    } else if (first == QLatin1Char('l') && followedBy(QLatin1String("lquote"), space)) {
        symbol(QLatin1String("lquote"), u"\u2018");
    } else if (first == QLatin1Char('p') && startsAt(q, QLatin1String("plain")) && isDelimiter(5)) {
        if (!m_face.isEmpty() || !m_colour.isEmpty()) {
            if (!m_pending)
                appendTag(u"</FONT>");
            m_face.clear();
            m_colour.clear();
        }
        if (m_tableOpen) {
            appendTag(QString(QStringLiteral("</TD></TR></TABLE><BR>") + m_nl));
            m_tableOpen = false;
        }
        appendTag(m_closing);
        m_closing.clear();
        m_font = 0;
        consumeWord(5);
    } else if (first == QLatin1Char('p') && followedBy(QLatin1String("pnlvlblt"), backslash)) {
        m_closing.clear();
        m_listStart = QStringLiteral("<UL>");
        m_itemStart = QStringLiteral("<LI>");
        m_parEnd = QStringLiteral("</LI>");
        m_listEnd = QStringLiteral("</UL>");
        p = q + 8;
    } else if (first == QLatin1Char('p')
               && (followedBy(QLatin1String("pntext"), backslash) || startsAt(q, QLatin1String("pntxtb")))) {
        // The list's own number or bullet group; without its "}" nothing after it is read.
        const qsizetype close = m_closingBrace.next(q);
        if (close >= 0)
            leaveGroup();
        p = close < 0 ? m_n : close + 1;
    } else if (first == QLatin1Char('p') && startsAt(q, QLatin1String("pard\\plain"))) {
        appendTag(m_closing);
        appendTag(m_listEnd);
        m_direction = Direction::None;
        m_closing.clear();
        m_listEnd.clear();
        m_itemStart.clear();
        m_parEnd = QStringLiteral("<BR>") + m_nl;
        p = q + 4;
    } else if (first == QLatin1Char('q') && startsAt(q, QLatin1String("qc")) && isDelimiter(2)) {
        m_align = QStringLiteral("center");
        consumeWord(2);
    } else if (first == QLatin1Char('q') && startsAt(q, QLatin1String("qr")) && isDelimiter(2)) {
        m_align = QStringLiteral("right");
        consumeWord(2);
    } else if (first == QLatin1Char('r') && followedBy(QLatin1String("rquote"), space)) {
        symbol(QLatin1String("rquote"), u"\u2019");
    } else if (first == QLatin1Char('r') && followedBy(QLatin1String("rdblquote"), space)) {
        symbol(QLatin1String("rdblquote"), u"\u201D");
    } else if (first == QLatin1Char('s') && startsAt(q, QLatin1String("strike")) && isDelimiter(6)) {
        openTag(6, u"<STRIKE>", u"</STRIKE>");
    } else if (first == QLatin1Char('t') && followedBy(QLatin1String("tab"), space)) {
        symbol(QLatin1String("tab"), u"&#9;");
    } else if (first == QLatin1Char('u') && startsAt(q, QLatin1String("ul")) && isDelimiter(2)) {
        openTag(2, u"<U>", u"</U>");
    } else if (first == QLatin1Char('\'')) {
        const QStringView hh = QStringView(m_rtf).mid(q + 1, 2);
        if (const char *entity = entityFor(hh)) {
            write(QString::fromLatin1(entity));
        } else {
            // Like a hex number read from the left: the digits up to the first non-hex one.
            int code = 0;
            for (QChar h : hh) {
                const int v = platform::hexDigitValue(h);
                if (v < 0)
                    break;
                code = code * 16 + v;
            }
            emitDecoded(platform::windows1256ToUnicode(static_cast<unsigned char>(code)));
        }
        p = std::min(p + 4, m_n);
    } else if (first == QLatin1Char('~')) {
        write(u" ");
        p += 2;
    } else if (first == QLatin1Char('{') || first == QLatin1Char('}') || first == backslash) {
        write(QStringView(m_rtf).sliced(q, 1));
        p += 2;
    } else if (first == QLatin1Char('\r') || first == QLatin1Char('\n')) {
        appendLine(CrLf);
        p += 2;
    } else if (first == QLatin1Char('u')
               && (isDigit(at(q + 1)) || (at(q + 1) == QLatin1Char('-') && isDigit(at(q + 2))))) {
        // \uN: the character N (negative N counts from 65536), then \ucN fallback characters.
        const bool negative = at(q + 1) == QLatin1Char('-');
        qsizetype i = q + 1 + (negative ? 1 : 0);
        qint64 value = readDigits(m_rtf, i);
        while (isDigit(at(i)))
            ++i;
        if (negative)
            value = 65536 - value;
        if (at(i) == space)
            ++i;
        for (int skipped = 0; skipped < m_uc && i < m_n; ++skipped) {
            // Line breaks in RTF are not text: the fallback is the character after them.
            while (i < m_n && (m_rtf.at(i) == QLatin1Char('\r') || m_rtf.at(i) == QLatin1Char('\n')))
                ++i;
            if (i == m_n)
                break;
            const QChar f = m_rtf.at(i);
            if (f == QLatin1Char('{') || f == QLatin1Char('}'))
                break;
            if (f == backslash) {
                if (at(i + 1) != QLatin1Char('\''))
                    break;
                i = std::min(i + 4, m_n);
            } else {
                ++i;
            }
        }
        if (value >= 0 && value <= 0xFFFF)
            emitDecoded(QChar(char16_t(value)));
        p = i;
    } else if (first == QLatin1Char('r') && startsAt(q, QLatin1String("rtlpar")) && isDelimiter(6)) {
        m_direction = Direction::RightToLeft;
        consumeWord(6);
    } else if (first == QLatin1Char('l') && startsAt(q, QLatin1String("ltrpar")) && isDelimiter(6)) {
        m_direction = Direction::LeftToRight;
        consumeWord(6);
    } else {
        if (first == QLatin1Char('p') && startsAt(q, QLatin1String("pard")) && !at(q + 4).isLetter())
            m_direction = Direction::None;
        if (first == QLatin1Char('u') && startsAt(q, QLatin1String("uc")) && isDigit(at(q + 2)))
            m_uc = int(std::min<qint64>(readDigits(m_rtf, q + 2), 16));
        ignore();
    }
}

void Converter::flushParagraph()
{
    m_body += m_prevParEnd;
    m_body += m_listStart;
    m_body += m_itemStart;
    if (m_parEnd.isEmpty())
        m_parEnd = m_brNl;
    m_prevParEnd = m_parEnd;
    if (m_direction == Direction::None) {
        m_body += m_line;
        return;
    }
    // A block with its direction, so that a right-to-left paragraph is not laid out (and its
    // punctuation placed) left to right. Left-to-right text in a fixed-pitch face is code: it
    // keeps that face, with the browser's own as the fallback, and its white space as typed.
    if (m_direction == Direction::RightToLeft) {
        m_body += u"<DIV DIR=\"rtl\">";
    } else if (m_font < m_fixedPitch.size() && m_fixedPitch.at(m_font)) {
        // The document's head defines the class; a body alone carries the style itself.
        if (m_frame) {
            m_body += u"<DIV DIR=\"ltr\" CLASS=\"f";
            m_body += QString::number(m_font);
            m_body += u"\">";
        } else {
            m_body += u"<DIV DIR=\"ltr\" STYLE=\"";
            m_body += fixedPitchStyle(m_font);
            m_body += u"\">";
        }
    } else {
        m_body += u"<DIV DIR=\"ltr\">";
    }
    // An empty block would have no height: an empty line keeps its place.
    m_body += m_line.isEmpty() ? QStringView(u"<BR>") : QStringView(m_line);
    m_body += u"</DIV>";
    // The block ends the line itself.
    if (m_parEnd == m_brNl)
        m_prevParEnd = m_nl;
}

QString Converter::fixedPitchStyle(int font) const
{
    return QStringLiteral("font-family: '")
           + escapeText(m_fonts.at(font)).replace(QLatin1Char('\''), QLatin1String("&#39;"))
           + QStringLiteral("', monospace; white-space: pre");
}

QString Converter::run(const QString &options)
{
    QString title;
    const qsizetype t = options.indexOf(QLatin1String("+T"));
    if (t >= 0) {
        const qsizetype close = options.indexOf(QLatin1Char('"'), t + 5);
        if (close < 0)
            throw ConversionError(QStringLiteral("الخيار +T بلا علامة تنصيص تغلق العنوان"));
        title = options.mid(t + 4, close - (t + 4));
    }

    readColourTable();
    for (const QString &c : std::as_const(m_colours))
        m_colourValues.append(QLatin1Char('#') + c);
    readFontTable();

    // The body is written straight after the document head, so the result is never copied.
    m_body.reserve(m_n * 3 + 1024);
    exporting::core::adviseLargeBuffer(m_body.constData(), m_body.capacity() * qsizetype(sizeof(QChar)));
    m_frame = options.contains(QLatin1String("+H"));
    if (m_frame) {
        m_body += QLatin1String("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">") + CrLf;
        m_body += QLatin1String("<HTML>") + CrLf;
        m_body += QLatin1String("<HEAD>") + CrLf;
        // The file is written in UTF-8; without this a browser guesses the encoding.
        m_body += QLatin1String("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">") + CrLf;
        m_body += QLatin1String("<TITLE>") + escapeText(title) + QLatin1String("</TITLE>") + CrLf;
        if (options.contains(QLatin1String("+G")))
            m_body += QLatin1String("<META NAME=\"GENERATOR\" CONTENT=\"RTF2HTML by Pellandor\">");
        // The face and white space of code paragraphs (left to right in a fixed-pitch font).
        QString styles;
        for (int f = 0; f < m_fixedPitch.size(); ++f)
            if (m_fixedPitch.at(f))
                styles += QStringLiteral("DIV.f") + QString::number(f) + QStringLiteral(" { ") + fixedPitchStyle(f)
                          + QStringLiteral(" }");
        if (!styles.isEmpty())
            m_body += CrLf + QStringLiteral("<STYLE TYPE=\"text/css\">") + styles + QStringLiteral("</STYLE>");
        m_body += CrLf;
        m_body += QLatin1String("</HEAD>") + CrLf;
        m_body += QLatin1String("<BODY>") + CrLf;
    }

    qsizetype bodyStart = m_rtf.indexOf(QLatin1String("\r\n\\deflang"));
    if (bodyStart >= 0) {
        bodyStart += 2;
    } else {
        bodyStart = m_rtf.indexOf(QLatin1String("}\\deflang"));
        if (bodyStart >= 0)
            ++bodyStart;
    }

    if (bodyStart >= 0) {
        bool crLfEnd = true;
        qsizetype end = m_rtf.indexOf(QLatin1String("\r\n\\par"), bodyStart);
        if (end < 0) {
            crLfEnd = false;
            end = m_rtf.indexOf(QLatin1String("\\par"), bodyStart);
        }
        qsizetype start = bodyStart;
        // One matcher for the paragraph ends: searched once per paragraph, set up once.
        const QStringMatcher paragraphEnds(u"\r\n\\par");
        while (end >= 0) {
            qsizetype p = start;
            convertParagraph(p, end);
            flushParagraph();
            if (p >= m_n)
                break; // the scan has reached the end of the text
            start = crLfEnd ? end + 2 : end;
            crLfEnd = true;
            end = paragraphEnds.indexIn(m_rtf, end + 1);
            m_listStart.clear();
            m_line.resize(0); // keeps its buffer for the next paragraph
            m_lineOnlyNbsp = true;
        }
    }

    m_body += m_closing;
    if (!m_face.isEmpty() || !m_colour.isEmpty())
        m_body += QLatin1String("</FONT>");

    if (m_frame)
        m_body += QLatin1String("</BODY>") + CrLf + QLatin1String("</HTML>");
    return m_body;
}

} // namespace

QString ConvertRtfToHtml(const QString &rtf, const QString &options)
{
    Converter converter(rtf, options);
    return converter.run(options);
}

} // namespace exporting::rtfTohtml
