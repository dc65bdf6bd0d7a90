#include "store/PgLocation.h"

#include "store/Engine.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace store {

bool isPostgresLocation(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
           || location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

namespace {

// A conninfo value in single quotes, as libpq reads it.
QString quotedValue(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

bool isKeyword(const QString &key)
{
    if (key.isEmpty())
        return false;
    for (QChar c : key)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            return false;
    return true;
}

} // namespace

PgLocation parsePgLocation(const QString &location)
{
    const QString bad = QStringLiteral("عنوان مكتبة الفريق غير صالح: ");
    if (!isPostgresLocation(location))
        throw StoreError(bad + QStringLiteral("يجب أن يبدأ بـ postgresql://"));
    // QUrl refuses a user name with an empty host, which libpq allows (a socket given by ?host=).
    QString text = location;
    const int authority = text.indexOf(QLatin1String("://")) + 3;
    const int slash = text.indexOf(QLatin1Char('/'), authority);
    const int at = text.lastIndexOf(QLatin1Char('@'), slash < 0 ? -1 : slash);
    const bool emptyHost = at >= authority && (slash < 0 ? at == text.size() - 1 : at == slash - 1);
    if (emptyHost)
        text.insert(at + 1, QLatin1String("localhost"));
    const QUrl url(text, QUrl::StrictMode);
    // Qt's reason goes on with the whole address, password and all: only the reason is told.
    if (!url.isValid())
        throw StoreError(bad + url.errorString().section(QLatin1String("; source was"), 0, 0));
    PgLocation result;
    result.host = emptyHost ? QString() : url.host(QUrl::FullyDecoded);
    result.port = url.port(-1);
    result.user = url.userName(QUrl::FullyDecoded);
    result.password = url.password(QUrl::FullyDecoded);
    result.database = url.path(QUrl::FullyDecoded).mid(1);
    bool hasSslMode = false;
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (!isKeyword(key))
            throw StoreError(bad + QStringLiteral("المعامل «%1» غير معروف").arg(key));
        // Qt joins the options with ';', so a value must not hold one.
        if (value.contains(QLatin1Char(';')))
            throw StoreError(bad + QStringLiteral("قيمة المعامل «%1» تحتوي على الفاصلة المنقوطة").arg(key));
        if (key == QLatin1String("host")) {
            result.host = value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            result.port = value.toInt(&ok);
            if (!ok)
                throw StoreError(bad + QStringLiteral("رقم المنفذ غير صالح"));
        } else if (key == QLatin1String("dbname")) {
            result.database = value;
        } else if (key == QLatin1String("user")) {
            result.user = value;
        } else if (key == QLatin1String("password")) {
            result.password = value;
        } else {
            hasSslMode = hasSslMode || key == QLatin1String("sslmode");
            result.parameters.append({key, value});
        }
    }
    if (!hasSslMode)
        result.parameters.append({QStringLiteral("sslmode"), QStringLiteral("prefer")});
    if (result.database.isEmpty())
        throw StoreError(bad + QStringLiteral("لم يُذكر اسم قاعدة البيانات"));
    return result;
}

QString PgLocation::display() const
{
    const auto encoded = [](const QString &text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    const bool socket = host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'));
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        text += encoded(user) + QLatin1Char('@');
    if (!socket)
        text += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    if (port >= 0)
        text += QLatin1Char(':') + QString::number(port);
    text += QLatin1Char('/') + encoded(database);
    QStringList query;
    if (socket)
        query.append(QStringLiteral("host=") + encoded(host));
    for (const auto &[key, value] : parameters)
        if (key != QLatin1String("sslmode") || value != QLatin1String("prefer"))
            query.append(key + QLatin1Char('=') + encoded(value));
    if (!query.isEmpty())
        text += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return text;
}

QString locationForDisplay(const QString &location)
{
    if (isPostgresLocation(location)) {
        try {
            return parsePgLocation(location).display();
        } catch (const StoreError &) { }
    }
    QString text = location;
    // user:password@host: the password may hold any character, '@' and '/' too, so it runs to the
    // last '@' before the query.
    const int scheme = text.indexOf(QLatin1String("//"));
    if (scheme >= 0) {
        const int authority = scheme + 2;
        int end = text.indexOf(QLatin1Char('?'), authority);
        if (end < 0)
            end = text.size();
        const int at = text.lastIndexOf(QLatin1Char('@'), end - 1);
        const int colon = text.indexOf(QLatin1Char(':'), authority);
        if (at > authority && colon >= authority && colon < at)
            text.remove(colon, at - colon);
    }
    // password=value, in a query or a keyword list, with the value quoted or not.
    static const QRegularExpression password(QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'?|[^&;\\s]*)"),
                                             QRegularExpression::CaseInsensitiveOption);
    text.replace(password, QStringLiteral("\\1"));
    return text;
}

QString PgLocation::connectOptions() const
{
    QStringList options;
    for (const auto &[key, value] : parameters)
        options.append(key + QLatin1Char('=') + quotedValue(value));
    return options.join(QLatin1Char(';'));
}

} // namespace store
