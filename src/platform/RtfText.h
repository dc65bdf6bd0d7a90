#pragma once
// The text of RTF: numbers and escaped characters, shared by every RTF writer (the rich text
// box's and the export's) so both write the same bytes for the same characters.
#include <QString>
#include <QStringView>

namespace platform {

// n in decimal, as control word parameters take it.
void appendRtfNumber(QString &out, qint64 n);
// text with "\", "{" and "}" escaped, tabs as \tab, a line separator as \line, a no-break space
// as \~, and every other character outside printable ASCII as \uN? (N a signed 16-bit unit,
// "?" the one fallback for readers without Unicode).
void appendRtfText(QString &out, QStringView text);

} // namespace platform
