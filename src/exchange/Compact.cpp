#include "exchange/Compact.h"

#include "store/CreateDb.h"
#include "store/LibraryConnection.h"

namespace exchange {

QString compactLibrary(QWidget *owner)
{
    const QString path = store::LibraryConnection::path();
    if (path.isEmpty())
        return QStringLiteral("قاعدة البيانات غير مفتوحة");
    QString failure;
    try {
        store::CreateDb().CompactDbx(owner, path);
    } catch (const store::StoreError &e) {
        failure = e.message();
    }
    QString reason;
    if (!store::LibraryConnection::open(path, &reason))
        failure += (failure.isEmpty() ? QString() : QStringLiteral("\r\n"))
                   + QStringLiteral("تعذر إعادة فتح قاعدة البيانات: ") + reason;
    return failure;
}

} // namespace exchange
