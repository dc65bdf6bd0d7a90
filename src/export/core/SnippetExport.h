#pragma once
// The one entry point for the files of the save-as command: the main window and the command
// line both call it, so the same snippet gives the same bytes from either.
#include "platform/Error.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace store {
class Library;
struct Snippet;
} // namespace store

namespace exporting::core {

// Save-as types in the order of the save dialog's filter index (1, 2, 3).
enum class Format { Text = 1, Rtf = 2, Html = 3 };
// Which text of the snippet: its code (shown left to right) or its comment (right to left).
enum class Field { Code, Learn };

// "txt", "rtf" or "html" (as the command line's --format takes them); nothing for any other name.
std::optional<Format> formatNamed(const QString &name);

// The bytes of the file for a text with the given title:
// - Text: the text with CR LF line breaks, then CR LF; UTF-8 without a byte order mark.
// - Rtf: the text coloured as the view shows it (snippetRtf), ASCII.
// - Html: that RTF through ConvertRtfToHtml with "+H +CR" and the title, then CR LF; UTF-8.
// Line breaks in text may be CR LF, LF or CR. Throws rtfTohtml::ConversionError.
QByteArray exportText(const QString &title, const QString &text, Field field, Format format);
// As exportText, coloured as the view colours a text in language (snippetRtf).
QByteArray exportText(const QString &title, const QString &text, Field field, Format format, const QString &language);

// As exportText, for a snippet row: its Head is the title, a Null field an empty text.
QByteArray exportSnippet(const store::Snippet &snippet, Field field, Format format);
QByteArray exportSnippet(const store::Snippet &snippet, Field field, Format format, const QString &language);

// The snippet with this id read from library; throws store::StoreError when there is no such
// snippet or the library cannot be read.
QByteArray exportSnippet(store::Library &library, qint32 id, Field field, Format format);
QByteArray exportSnippet(store::Library &library, qint32 id, Field field, Format format, const QString &language);

} // namespace exporting::core
