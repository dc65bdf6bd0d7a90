#include "store/PgReconnect.h"

#include "store/StoreError.h"

#include <QSqlDriver>
#include <QVariant>
#include <QString>

#include <libpq-fe.h>

namespace store {

bool connectionLost(const QSqlDriver *driver)
{
    if (!driver)
        return false;
    const QVariant handle = driver->handle();
    // Named as the driver's compiler spelled the typedef's struct.
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return false;
    PGconn *connection = *static_cast<PGconn *const *>(handle.data());
    return !connection || PQstatus(connection) == CONNECTION_BAD;
}

QString lostConnectionMessage()
{
    return QStringLiteral("انقطع الاتصال بخادم مكتبة الأكواد، فلم يُحفظ شيء من هذه العملية.\n"
                          "سيعاد الاتصال تلقائياً حين يعود الخادم، ثم يمكن إعادة المحاولة.");
}

QString lostAtCommitMessage()
{
    return QStringLiteral("انقطع الاتصال بخادم مكتبة الأكواد أثناء إتمام الحفظ، فلا يُعرف إن كان قد حُفظ.\n"
                          "سيعاد الاتصال تلقائياً حين يعود الخادم؛ انظر في الشجرة قبل إعادة المحاولة.");
}

void throwIfConnectionLost(const QSqlDriver *driver, const QString &message)
{
    if (connectionLost(driver))
        throw StoreError(message);
}

} // namespace store
