#pragma once
// Text helpers shared by every subsystem: the one "trimmed", Windows code pages (Arabic above all),
// and reading text files whose encoding is not declared.
#include <QByteArray>
#include <QString>

namespace platform {

// Leading and trailing U+0020 removed; tabs, line breaks and other white space stay.
QString trimmedSpaces(const QString &text);

// Windows-1256, the Arabic Windows code page of legacy files.
QChar windows1256ToUnicode(unsigned char byte);
QString decodeWindows1256(const QByteArray &bytes);
// Characters the code page lacks become '?'.
QByteArray encodeWindows1256(const QString &text);
// Bytes of a Windows code page (1252 for 0 or one this system cannot decode).
QString decodeCodePage(const QByteArray &bytes, int codePage);

// UTF-8 (with or without BOM), UTF-16 with BOM, otherwise Windows-1256.
QString decodeText(const QByteArray &bytes);
// A NUL byte outside a UTF-16 file means the file is not text.
bool looksBinary(const QByteArray &bytes);

// 0-15 for a hex digit, -1 for anything else.
int hexDigitValue(QChar c);

// Line breaks as CR LF (from LF, CR or CR LF).
QString withCrLf(const QString &text);

// U+202A-U+202E and U+2066-U+2069: the characters that reorder the text around them.
bool isBidiControl(QChar c);
// The text as shown in lists: each bidi control as its visible name ("[RLO]"), so that a title
// cannot make itself look like another ("abc[RLO]gpj.exe", never "abcexe.jpg").
QString withVisibleBidiControls(const QString &text);
// One line of plain text: line breaks and every other control character (C0, DEL, C1, bidi
// controls, line and paragraph separators) become spaces.
QString singleLine(const QString &text);

} // namespace platform
