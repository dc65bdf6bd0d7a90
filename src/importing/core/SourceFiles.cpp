#include "importing/core/SourceFiles.h"

#include "importing/core/ImportError.h"
#include "platform/Text.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonParseError>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>

namespace importing::core {

QString uncategorised() { return QStringLiteral("غير مصنف"); }

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

QByteArray readBounded(QIODevice &file, qint64 maxBytes)
{
    QByteArray bytes = file.read(std::min(file.size(), maxBytes) + 1);
    // A file that grew since its size was taken is read on in small steps, up to the bound.
    while (bytes.size() <= maxBytes && !file.atEnd()) {
        const QByteArray more = file.read(std::min<qint64>(1 << 20, maxBytes + 1 - bytes.size()));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    return bytes;
}

std::optional<QString> decodeSourceText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::Stateless);
        QString text = decoder(QByteArrayView(bytes).sliced(2));
        if (decoder.hasError() || text.contains(QChar(0)))
            return std::nullopt;
        return text;
    }
    if (platform::looksBinary(bytes))
        return std::nullopt;
    const QByteArrayView body = bytes.startsWith("\xEF\xBB\xBF") ? QByteArrayView(bytes).sliced(3) : bytes;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(body);
    if (!utf8.hasError())
        return text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return std::nullopt;
    // Windows-1256 maps every byte, so only control bytes tell a binary file from an old Arabic one.
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v' && b != 0x1A && b != 0x1B)
            return std::nullopt;
    }
    return platform::decodeWindows1256(bytes);
}

TextFile readTextFile(const QString &path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (info.size() > maxBytes)
        return {std::nullopt, QStringLiteral("الملف أكبر من %1 ميغابايت").arg(maxBytes / (1024 * 1024))};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("تعذرت قراءة الملف: ") + file.errorString()};
    // The size may have grown since it was looked at; never read past the bound.
    const QByteArray bytes = readBounded(file, maxBytes);
    if (bytes.size() > maxBytes)
        return {std::nullopt, QStringLiteral("الملف أكبر من %1 ميغابايت").arg(maxBytes / (1024 * 1024))};
    std::optional<QString> text = decodeSourceText(bytes);
    if (!text)
        return {std::nullopt, QStringLiteral("ليس ملفاً نصياً (لا UTF-8 ولا UTF-16 ولا Windows-1256)")};
    return {std::move(text), {}};
}

QString readSourceText(const QString &path)
{
    const TextFile file = readTextFile(path, maxSourceFileBytes);
    if (!file.text)
        throw ImportError(QStringLiteral("تعذر استيراد %1: %2").arg(shown(path), file.reason));
    return *file.text;
}

QString placeIn(const QString &text, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, text.size());
    const QStringView before = QStringView(text).first(offset);
    const qsizetype line = before.count(QLatin1Char('\n')) + 1;
    const qsizetype column = offset - (before.lastIndexOf(QLatin1Char('\n')) + 1) + 1;
    return QStringLiteral("السطر %1، العمود %2").arg(line).arg(column);
}

namespace {

// Comments and trailing commas become spaces, so every other character keeps its place and a
// parse error still points into the file as the user sees it.
QString strictJson(const QString &text)
{
    QString out = text;
    const qsizetype n = out.size();
    qsizetype i = 0;
    qsizetype lastComma = -1; // a comma that a closing bracket may yet make trailing
    while (i < n) {
        const QChar c = out.at(i);
        if (c == QLatin1Char('"')) {
            lastComma = -1;
            for (++i; i < n && out.at(i) != QLatin1Char('"'); ++i) {
                if (out.at(i) == QLatin1Char('\\'))
                    ++i;
            }
            ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && out.at(i + 1) == QLatin1Char('/')) {
            for (; i < n && out.at(i) != QLatin1Char('\n'); ++i)
                out[i] = QLatin1Char(' ');
        } else if (c == QLatin1Char('/') && i + 1 < n && out.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = out.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            for (; i < stop; ++i) {
                if (out.at(i) != QLatin1Char('\n'))
                    out[i] = QLatin1Char(' ');
            }
        } else if (c == QLatin1Char(',')) {
            lastComma = i++;
        } else if (c == QLatin1Char('}') || c == QLatin1Char(']')) {
            if (lastComma >= 0)
                out[lastComma] = QLatin1Char(' ');
            lastComma = -1;
            ++i;
        } else {
            if (!c.isSpace())
                lastComma = -1;
            ++i;
        }
    }
    return out;
}

} // namespace

QJsonDocument parseJson(const QString &path, const QString &text)
{
    const QString strict = strictJson(text);
    const QByteArray utf8 = strict.toUtf8();
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) {
        // The parser counts bytes of UTF-8; the user counts characters.
        qsizetype offset = QString::fromUtf8(utf8.first(std::clamp<qsizetype>(error.offset, 0, utf8.size()))).size();
        // The parser stops past the offending token and the blanks after it; point at the token.
        while (offset > 0 && strict.at(offset - 1).isSpace())
            --offset;
        if (offset > 0)
            --offset;
        throw ImportError(QStringLiteral("الملف %1 ليس JSON صحيحاً (%2): %3")
                              .arg(shown(path), placeIn(text, offset), error.errorString()));
    }
    return document;
}

QString joinCategory(const QStringList &parts)
{
    QStringList names;
    for (const QString &part : parts) {
        const QString name = platform::trimmedSpaces(part);
        if (!name.isEmpty())
            names.append(name);
    }
    if (names.isEmpty())
        return uncategorised();
    const QString separator = QStringLiteral(" / ");
    QString joined = names.join(separator);
    if (joined.size() <= maxCategoryLength)
        return joined;
    const QString ellipsis = QStringLiteral("…");
    while (names.size() > 1) {
        names.removeFirst();
        joined = ellipsis + separator + names.join(separator);
        if (joined.size() <= maxCategoryLength)
            return joined;
    }
    return names.constFirst().left(maxCategoryLength - 1) + ellipsis;
}

QString fragmentTitle(const QString &snippet, const QString &fragment, int number)
{
    const QString label = fragment.trimmed().isEmpty() ? QString::number(number) : fragment.trimmed();
    return snippet.trimmed() + QStringLiteral(" - ") + label;
}

void deliver(ItemSink &sink, const ImportItem &item)
{
    if (item.code.trimmed().isEmpty()) {
        sink.skipped({item.origin, QStringLiteral("لا كود فيه")});
        return;
    }
    sink.item(item);
}

bool isSqliteFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3\0", 16);
}

SqliteSource::SqliteSource(const QString &path)
    : m_path(path)
{
    static QAtomicInteger<quint64> counter;
    m_name = QStringLiteral("tamrisk-import-%1").arg(counter.fetchAndAddRelaxed(1));
    if (!isSqliteFile(path))
        throw ImportError(QStringLiteral("الملف %1 ليس قاعدة بيانات SQLite").arg(shown(path)));
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open())
            return;
        error = db.lastError().text();
    }
    // The destructor does not run for a constructor that throws.
    QSqlDatabase::removeDatabase(m_name);
    fail(QStringLiteral("فتح الملف"), error);
}

SqliteSource::~SqliteSource()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase SqliteSource::database() const { return QSqlDatabase::database(m_name, false); }

bool SqliteSource::hasTables(const QStringList &names) const
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        fail(QStringLiteral("قراءة الجداول"), query.lastError().text());
    QStringList tables;
    while (query.next())
        tables.append(query.value(0).toString().toLower());
    for (const QString &name : names) {
        if (!tables.contains(name.toLower()))
            return false;
    }
    return true;
}

bool SqliteSource::hasColumn(const QString &table, const QString &column) const
{
    return database().record(table).contains(column);
}

void SqliteSource::fail(const QString &what, const QString &error) const
{
    throw ImportError(QStringLiteral("تعذر %1 في %2: %3").arg(what, shown(m_path), error));
}

} // namespace importing::core
