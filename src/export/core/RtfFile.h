#pragma once
// An RTF file converted to an HTML file in one call, for a process that does nothing else:
// most of such a process's time goes to reading, widening and encoding megabytes, not to the
// conversion, so the file is mapped instead of read, the text is widened into memory taken in
// huge pages, and the UTF-8 is written in short pieces instead of being built whole.
#include <QString>

namespace exporting::rtfTohtml {

// in: RTF in Latin-1 (as our RTF writer makes it); out: the HTML in UTF-8, replaced.
// Throws platform::FileError, or ConversionError for unreadable options.
void convertRtfFile(const QString &in, const QString &out, const QString &options);

} // namespace exporting::rtfTohtml
