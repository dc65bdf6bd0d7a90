#include "exchange/Compact.h"

#include "store/Backup.h"
#include "store/CreateDb.h"
#include "store/Library.h"
#include "store/PgLibrary.h"

namespace exchange {

void compactLibrary(store::Library &library)
{
    if (library.isReadOnly())
        throw store::StoreError(store::readOnlyLibraryMessage(library.engine()));
    // A team library is not a file: the server tidies it in place, with everyone connected.
    if (library.engine() == store::Engine::Postgres) {
        store::maintainPgLibrary(library.database());
        return;
    }
    store::keepBackup(library, store::BackupReason::Compaction);
    library.reopenAfter([&library] { store::CreateDb(&library).CompactDbx(library.path()); });
}

} // namespace exchange
