#pragma once
// rtfTohtml: turns the RTF of the snippet view into HTML 3.2 for the web page export.
// A single forward scan made for the layout of our own RTF writer: font and colour tables
// in the header, the body starting on a new line with \deflang, every paragraph break at
// the start of a line as \par. Pure text processing; every call starts from empty state.
// A paragraph that states its direction (\rtlpar, \ltrpar) becomes a block with that direction;
// left to right in a fixed-pitch font (\fmodern) it keeps that face and its white space.
#include "platform/Error.h"

#include <QString>

namespace exporting::rtfTohtml {

// Raised for options that cannot be read (a "+T" title without its closing double quote).
class ConversionError : public platform::Error
{
public:
    using Error::Error;
};

// options: any mix of the tokens "+CR" (CR LF line breaks in the body), "+I" ("<" and ">"
// of the text pass through as markup), "+G" (generator line), "+T=\"title\"" and "+H"
// (a complete HTML document). Throws ConversionError.
QString ConvertRtfToHtml(const QString &rtf, const QString &options);

} // namespace exporting::rtfTohtml
