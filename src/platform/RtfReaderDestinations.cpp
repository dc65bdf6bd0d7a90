// What a control word, control symbol, escaped byte or character does in the destination it
// appears in: the document's body takes text and formatting, the tables their entries, and a
// skipped destination nothing.
#include "platform/RtfReaderPrivate.h"
#include "platform/Text.h"

#include <algorithm>

namespace platform::rtfreader {

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
        fontTableWord(info, param);
        return;
    }
    if (dest == Destination::ColourTable) {
        colourTableWord(info, param);
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
        colourTableText(s);
        return;
    case Destination::FontTable:
        fontTableText(s);
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

} // namespace platform::rtfreader
