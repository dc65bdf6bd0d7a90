// The RTF reader's tokenizer: groups, control words with their parameters, \'hh escapes, \bin
// data and plain characters, handed on to what the present destination does with them.
#include "platform/RtfReaderPrivate.h"
#include "platform/Text.h"

#include <algorithm>

namespace platform::rtfreader {

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

} // namespace platform::rtfreader
