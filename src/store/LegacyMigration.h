#pragma once
// Turning a library in the Jet 4.0 format into a SQLite library with the same ids, captions,
// titles, code, comments and user flags. The original file is never written or removed: it is
// kept byte for byte under a name that says what it is (or left in place when its folder cannot
// be written), and nothing changes until the new library is complete and checked.
#include "store/Library.h"
#include "store/StoreError.h"

#include <QString>
#include <functional>

namespace store {

struct JetMigrationPlan {
    QString source; // the Jet library, absolute
    QString target; // the SQLite library that will be written (source itself when its folder is writable)
    QString backup; // where the original is afterwards: source + ".jet-backup" (or "-2", "-3" ... when taken)
    // The source's folder cannot be written: target is in the fallback folder and the original
    // stays where it is, under its own name (backup == source).
    bool inFallbackFolder = false;
    // inFallbackFolder, and target is already a SQLite file (an earlier conversion): open that instead.
    bool alreadyConverted = false;
};

// Decides where the new library and the original go; writes nothing but the fallback folder
// (created when the source's folder cannot be written). Throws StoreError when jetPath is not a Jet file.
JetMigrationPlan planJetMigration(const QString &jetPath, const QString &fallbackFolder);

struct JetMigrationResult {
    QString library; // the new library, ready for Library::open
    QString original; // where the original file is now
    int categories = 0; // categories taken over (UncategorisedCaption not counted when it was created)
    int snippets = 0; // snippets taken over
    int userSnippets = 0; // of those, the user's own
    int uncategorised = 0; // snippets filed under UncategorisedCaption because their category was missing or Null
    bool createdUncategorised = false;
    bool inFallbackFolder = false;
};

enum class MigrationPhase { Reading, Writing, Checking, Replacing };
// Called on the calling thread between steps (a window may process events in it).
using MigrationProgress = std::function<void(MigrationPhase phase, qint64 done, qint64 total)>;

// Converts plan.source into plan.target as planned. Throws StoreError (Arabic, names the file)
// on any failure; the original is then where it was, under its own name, unchanged, and no
// half-written library is left behind. No open library is touched.
JetMigrationResult migrateJetLibrary(const JetMigrationPlan &plan, const MigrationProgress &progress = {});

// The texts of a conversion, for the window that runs it.
namespace migrationText {
// Asked once before converting (title "رسالة تأكيد", Yes and No, question icon).
QString prompt(const JetMigrationPlan &plan);
inline const QString PromptTitle = QStringLiteral("رسالة تأكيد");
// After a conversion (title "رسالة").
QString done(const JetMigrationResult &result);
inline const QString DoneTitle = QStringLiteral("رسالة");
// After a failure (title "رسالة خطأ"); reason is the StoreError's message.
QString failed(const JetMigrationPlan &plan, const QString &reason);
// When the user answers No: the program cannot go on with this library.
QString declined(const JetMigrationPlan &plan);
// Beside a progress bar.
QString phase(MigrationPhase phase);
} // namespace migrationText

// Points at which tests can make a conversion fail. ProbeFolder stands for the check that the
// source's folder can be written: returning true there makes it count as read-only.
enum class MigrationStep { ProbeFolder, AfterRead, AfterWrite, AfterCheck, AfterBackup };
// While set, the hook is called at each step; returning true makes that step fail.
void setMigrationFailureHook(std::function<bool(MigrationStep)> hook);

} // namespace store
