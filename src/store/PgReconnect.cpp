#include "store/PgReconnect.h"

#include "store/StoreError.h"

#include <QSqlDriver>
#include <QVariant>
#include <QString>

#include <libpq-fe.h>
#include <poll.h>

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
    if (!connection || PQstatus(connection) == CONNECTION_BAD)
        return true;
    // A server that ended the session while it was idle has closed its end: seen without a round
    // trip or reading anything (a notification waiting is left for the driver).
    pollfd socket{PQsocket(connection), POLLRDHUP, 0};
    return socket.fd >= 0 && ::poll(&socket, 1, 0) > 0 && (socket.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
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
