#include "importing/core/DuplicateKey.h"

namespace importing::core {

QString duplicateKey(const QString &title, const QString &code)
{
    QString body = code;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return title.trimmed() + QLatin1Char('\n') + body.trimmed();
}

} // namespace importing::core
