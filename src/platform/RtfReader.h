#pragma once
// The RTF reader of the rich text control.
#include <QString>

class QTextDocument;

namespace platform {

// Fills the document from RTF (text, colours, bold, italic, underline, font, paragraphs);
// destinations it does not know are skipped. Returns false, leaving the document empty,
// when the text is not RTF.
bool rtfToDocument(const QString &rtf, QTextDocument *document);
// Whether the text starts like an RTF document ("{\rtf").
bool looksLikeRtf(const QString &text);

} // namespace platform
