// The font table (names, character sets, fixed pitch) and the colour table, and the code page
// that escaped bytes are decoded in, which a font's character set decides. (Tables in the text
// itself are not kept as tables: the word table reads \row as a paragraph end, \cell as a tab.)
#include "platform/RtfReaderPrivate.h"

#include <algorithm>

namespace platform::rtfreader {

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

// The code page escaped bytes read now are in: the present font's, else the document's.
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

void Reader::fontTableWord(const WordInfo &info, int param)
{
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
}

// A font's name runs up to the ";" that ends its entry.
void Reader::fontTableText(QStringView s)
{
    if (m_fontBeingDefined < 0)
        return;
    for (const QChar c : s) {
        if (c == QLatin1Char(';'))
            m_fontBeingDefined = -1;
        else if (m_fontBeingDefined >= 0)
            m_fonts[m_fontBeingDefined].name.append(c);
    }
}

void Reader::colourTableWord(const WordInfo &info, int param)
{
    if (info.word == Word::Red)
        m_red = param;
    else if (info.word == Word::Green)
        m_green = param;
    else if (info.word == Word::Blue)
        m_blue = param;
}

// Each ";" ends a colour entry, an empty one being the automatic colour.
void Reader::colourTableText(QStringView s)
{
    for (const QChar c : s)
        if (c == QLatin1Char(';'))
            commitColour();
}

void Reader::commitColour()
{
    if (m_red < 0 && m_green < 0 && m_blue < 0)
        m_colours.append(QColor()); // the automatic colour
    else
        m_colours.append(QColor(std::clamp(m_red, 0, 255), std::clamp(m_green, 0, 255), std::clamp(m_blue, 0, 255)));
    m_red = m_green = m_blue = -1;
}

} // namespace platform::rtfreader
