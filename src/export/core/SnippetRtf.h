#pragma once
// The RTF of a snippet's text as the view shows it, written straight from the text: the code
// font at 10 points, keywords navy, every other character in the default colour, and every
// paragraph with its direction. The layout is the one the RTF-to-HTML converter reads: font
// and colour tables in the header, the body on a new line starting with \deflang, every
// paragraph break at the start of a line as \par; non-ASCII as \uN? so every script survives.
#include <QString>
#include <QStringView>

namespace exporting::core {

// The face the view asks for; RTF readers without it fall back to their fixed-pitch face.
inline const QString CodeFontName = QStringLiteral("Courier New (Arabic)");

// text: lines separated by CR LF, LF or CR. rightToLeft: a comment (right to left, right aligned)
// rather than code (left to right, left aligned).
QString snippetRtf(QStringView text, bool rightToLeft);

// As above, coloured as the view colours a text in language: Visual Basic exactly as above; code
// in a language with a grammar in the grammar's colours (one colour table entry per style, the
// keywords' navy first); a comment in such a language, and any language without a grammar, plain.
QString snippetRtf(QStringView text, bool rightToLeft, const QString &language);

} // namespace exporting::core
