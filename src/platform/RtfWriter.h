#pragma once
// The RTF writer of the rich text control. Its layout is what the RTF-to-HTML converter
// expects: header with \fonttbl then \colortbl, the body starting on a new line with \deflang,
// every paragraph break at the start of a line as \par; "{", "}" and "\" escaped; non-ASCII
// written as \uN? so every script survives.
#include <QString>

class QTextDocument;

namespace platform {

QString documentToRtf(const QTextDocument &document);

} // namespace platform
