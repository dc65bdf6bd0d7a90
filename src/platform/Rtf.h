#pragma once
// RTF writer and reader for the rich text control. The writer's layout is what the
// RTF-to-HTML converter expects: header with \fonttbl then \colortbl, the body starting on a
// new line with \deflang, every paragraph break at the start of a line as \par; "{", "}" and
// "\" escaped; non-ASCII written as \uN? so every script survives.
#include <QString>

class QTextDocument;

namespace platform {

QString documentToRtf(const QTextDocument &document);
// Fills the document from RTF (text, colours, bold, italic, underline, font, paragraphs);
// destinations it does not know are skipped. Returns false, leaving the document empty,
// when the text is not RTF.
bool rtfToDocument(const QString &rtf, QTextDocument *document);
// Whether the text starts like an RTF document ("{\rtf").
bool looksLikeRtf(const QString &text);

} // namespace platform
