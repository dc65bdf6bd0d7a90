#pragma once
// What every reader shares: the size and depth bounds, reading a text file whatever its encoding,
// strict JSON that may carry comments, category names, and read-only SQLite sources.
#include "importing/core/ImportSource.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QStringList>

#include <optional>

namespace importing::core {

// A file larger than this is no snippet; it is skipped without being read.
inline constexpr qint64 maxSnippetFileBytes = 64LL * 1024 * 1024;
// A whole-source file (JSON, Markdown) larger than this is refused without being read.
inline constexpr qint64 maxSourceFileBytes = 256LL * 1024 * 1024;
// Deeper folders (or category trees) than this are skipped: real trees are never this deep,
// loops and hostile sources are.
inline constexpr int maxDepth = 32;
// Category names fit the package field of 50 characters.
inline constexpr int maxCategoryLength = 50;

// Where items without any folder in their source go.
QString uncategorised();

// The file's name as shown in messages.
QString shown(const QString &path);

struct TextFile {
    std::optional<QString> text; // empty when skipped
    QString reason; // Arabic, when skipped
};

// The file's bytes, never more than maxBytes + 1 of them (more means too large); reads what the
// file holds, not what the bound allows, so small files cost no large buffer.
QByteArray readBounded(QIODevice &file, qint64 maxBytes);

// UTF-8 (BOM or not), UTF-16 with BOM, else Windows-1256; none of them (binary, invalid) is nullopt.
std::optional<QString> decodeSourceText(const QByteArray &bytes);
// Reads a snippet-sized text file; too large, unreadable or not text gives a reason instead.
TextFile readTextFile(const QString &path, qint64 maxBytes = maxSnippetFileBytes);
// Reads a whole source file as text, or throws ImportError naming it.
QString readSourceText(const QString &path);

// "line N, column M" (Arabic) of a character offset in text.
QString placeIn(const QString &text, qsizetype offset);

// Parses JSON that may hold // and /* */ comments and trailing commas (VS Code's dialect);
// throws ImportError naming the file, line and column when it is not JSON.
QJsonDocument parseJson(const QString &path, const QString &text);

// Nested source folders as one category name, "A / B / C", at most 50 characters: outer folders
// give way first ("… / B / C"), then the innermost name is cut.
QString joinCategory(const QStringList &parts);

// The title of one fragment of a snippet that has several.
QString fragmentTitle(const QString &snippet, const QString &fragment, int number);

// Hands an item on, or skips it when it has no code to import.
void deliver(ItemSink &sink, const ImportItem &item);

// "SQLite format 3" at the start of the file.
bool isSqliteFile(const QString &path);

// A read-only connection to a SQLite source, removed when it goes out of scope.
class SqliteSource
{
public:
    explicit SqliteSource(const QString &path);
    ~SqliteSource();
    SqliteSource(const SqliteSource &) = delete;
    SqliteSource &operator=(const SqliteSource &) = delete;
    QSqlDatabase database() const;
    bool hasTables(const QStringList &names) const;
    bool hasColumn(const QString &table, const QString &column) const;
    // Throws ImportError naming the file and what SQLite said.
    [[noreturn]] void fail(const QString &what, const QString &error) const;

private:
    QString m_path;
    QString m_name;
};

} // namespace importing::core
