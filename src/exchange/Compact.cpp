#include "exchange/Compact.h"

#include "store/Backup.h"
#include "store/CreateDb.h"
#include "store/LibraryConnection.h"

namespace exchange {

void withLibraryReopened(const std::function<void()> &work)
{
    const QString path = store::LibraryConnection::path();
    const bool readOnly = store::LibraryConnection::isReadOnly();
    if (path.isEmpty())
        throw store::StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    QString failure;
    try {
        work();
    } catch (const store::StoreError &e) {
        failure = e.message();
    }
    if (!store::LibraryConnection::isOpen()) {
        try {
            store::LibraryConnection::open(path, readOnly);
        } catch (const store::StoreError &e) {
            failure += (failure.isEmpty() ? QString() : QStringLiteral("\r\n"))
                       + QStringLiteral("تعذر إعادة فتح قاعدة البيانات: ") + e.message();
        }
    }
    if (!failure.isEmpty())
        throw store::StoreError(failure);
}

void compactLibrary()
{
    if (store::LibraryConnection::isReadOnly())
        throw store::StoreError(store::readOnlyLibraryMessage());
    store::keepBackup(store::BackupReason::Compaction);
    withLibraryReopened([] { store::CreateDb().CompactDbx(store::LibraryConnection::path()); });
}

} // namespace exchange
