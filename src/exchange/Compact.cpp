#include "exchange/Compact.h"

#include "store/Backup.h"
#include "store/CreateDb.h"
#include "store/LibraryConnection.h"
#include "store/PgLibrary.h"

namespace exchange {

void compactLibrary()
{
    if (store::LibraryConnection::isReadOnly())
        throw store::StoreError(store::readOnlyLibraryMessage());
    // A team library is not a file: the server tidies it in place, with everyone connected.
    if (store::LibraryConnection::engine() == store::Engine::Postgres) {
        store::maintainPgLibrary(*store::LibraryConnection::connection());
        return;
    }
    store::keepBackup(store::BackupReason::Compaction);
    store::withLibraryReopened([] { store::CreateDb().CompactDbx(store::LibraryConnection::path()); });
}

} // namespace exchange
