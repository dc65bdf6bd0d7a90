#include "importing/core/DuplicateKey.h"

namespace importing::core {

namespace {

// Two independent seeds: a chance collision of both is out of reach for any library.
constexpr size_t SeedA = 0x9e3779b97f4a7c15ull;
constexpr size_t SeedB = 0xc2b2ae3d27d4eb4full;

} // namespace

QString duplicateKey(const QString &title, const QString &code)
{
    QString body = code;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return title.trimmed() + QLatin1Char('\n') + body.trimmed();
}

DuplicateDigest duplicateDigest(const QString &title, const QString &code)
{
    const QString key = duplicateKey(title, code);
    return {quint64(::qHash(key, SeedA)), quint64(::qHash(key, SeedB))};
}

} // namespace importing::core
