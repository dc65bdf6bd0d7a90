#pragma once
// Library and package files in the Jet 4.0 format, taken in through the helper program
// tamrisk-jet-import: it parses the file in a process of its own (the parser is not hardened
// against malformed files) and writes the rows into a private SQLite file, which is all this
// process ever reads. A crash, a hang or a failure of the helper is a StoreError.
#include "store/StoreError.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QTemporaryDir;

namespace store {

// True when the file begins like a Jet 4.0 database (the engine's signature and version 1).
// Reads 32 bytes; a file that cannot be read is not one.
bool isJetFile(const QString &path);

// The copy of some tables of a Jet file, removed with this object.
class JetCopy
{
public:
    JetCopy(JetCopy &&) noexcept;
    JetCopy &operator=(JetCopy &&) noexcept;
    ~JetCopy();
    // A SQLite file with one table per name asked for (spelt as asked), holding the Jet table's
    // columns under the file's own names (integers and flags as INTEGER, the rest as TEXT, flags
    // 1 or 0, Null as NULL) and its rows in the file's order (ORDER BY rowid).
    QString path() const;

private:
    friend JetCopy importJetFile(const QString &, const QStringList &, const std::function<void(qint64, qint64)> &);
    explicit JetCopy(std::unique_ptr<QTemporaryDir> dir);
    std::unique_ptr<QTemporaryDir> m_dir;
};

// Rows copied so far and the rows the tables claim to hold.
using JetProgress = std::function<void(qint64 done, qint64 total)>;

// Runs the helper on jetPath for the tables named (matched without regard to case) and waits
// for it, at most jetImportTimeLimitMs of the file's size. Throws StoreError with an Arabic
// message that names the file: not a Jet file, the helper crashed, took too long, could not be
// started, or failed (with its reason, for instance a table missing). jetPath is only read.
JetCopy importJetFile(const QString &jetPath, const QStringList &tables, const JetProgress &progress = {});

// How long the helper may take on a file of that many bytes: 4 ms a KiB, at least 5 seconds.
int jetImportTimeLimitMs(qint64 fileSize);

// The helper's path: beside the running program, then in the installed helper folder
// (../libexec/tamrisk from the program's folder), then where this build put it. Empty when none exists.
QString jetHelperPath();

// For tests: run program instead of the helper (empty: the real one again), and give it
// timeLimitMs instead of the normal limit (0: the normal limit).
void setJetHelperForTests(const QString &program, int timeLimitMs = 0);

} // namespace store
