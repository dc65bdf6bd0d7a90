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

} // namespace platform
