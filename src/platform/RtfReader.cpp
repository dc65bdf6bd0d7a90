// Builds the document from what the tokenizer and the destinations read: paragraphs with their
// direction and alignment, runs of text with their character format.
#include "platform/RtfReader.h"

#include "platform/RtfReaderPrivate.h"

#include <QTextDocument>

namespace platform {

bool looksLikeRtf(const QString &text) { return text.startsWith(QLatin1String("{\\rtf")); }

namespace rtfreader {

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

} // namespace rtfreader

bool rtfToDocument(const QString &rtf, QTextDocument *document)
{
    document->clear();
    if (!looksLikeRtf(rtf))
        return false;
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    {
        rtfreader::Reader reader(rtf, document);
        QTextCursor editBlock(document);
        editBlock.beginEditBlock();
        reader.run();
        editBlock.endEditBlock();
    }
    document->setUndoRedoEnabled(undo);
    return true;
}

} // namespace platform
