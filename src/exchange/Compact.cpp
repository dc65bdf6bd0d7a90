#include "exchange/Compact.h"

#include "store/Backup.h"
#include "store/CreateDb.h"
#include "store/LibraryConnection.h"

namespace exchange {

void compactLibrary()
{
    if (store::LibraryConnection::isReadOnly())
        throw store::StoreError(store::readOnlyLibraryMessage());
    store::keepBackup(store::BackupReason::Compaction);
    store::withLibraryReopened([] { store::CreateDb().CompactDbx(store::LibraryConnection::path()); });
}

} // namespace exchange
