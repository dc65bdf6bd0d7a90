#pragma once
// Reads tables of a Jet 4.0 database (plain or with the engine's RC4 page encryption) through
// libmdb, value by value with nothing cut and Null kept apart from the empty text.
// libmdb trusts the file: run this only in a process that may crash (tamrisk-jet-import).
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct S_MdbTableDef;

namespace jet {

// What went wrong, in Arabic (UTF-8), fit to show the user as the reason.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The file is damaged: a read could not be completed (a page missing or unreadable, a long text
// shorter than it says, fewer or more rows than the table claims). rowsRead of rowsClaimed rows
// of table had been read whole when it was found; table is empty when no table was being read.
class Damaged : public Error
{
public:
    Damaged(const std::string &reason, std::string table = {}, std::size_t rowsRead = 0, std::size_t rowsClaimed = 0)
        : Error(reason)
        , table(std::move(table))
        , rowsRead(rowsRead)
        , rowsClaimed(rowsClaimed)
    { }
    std::string table;
    std::size_t rowsRead;
    std::size_t rowsClaimed;
};

enum class Kind { Integer, Boolean, Text };

struct Column {
    std::string name; // as the file spells it
    Kind kind = Kind::Text;
};

// Text is UTF-8; an integer is its decimal text, a Boolean "1" or "0".
struct Value {
    bool null = true;
    std::string text;
};

class Database
{
public:
    // Throws Error when the file cannot be opened as a Jet database. libmdb reports what it
    // cannot read only on standard error and goes on, so while this object lives the process's
    // standard error is taken from it and anything written there counts as damage.
    explicit Database(const std::string &path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // The file's spelling of the user table whose name equals name regardless of case, or "".
    std::string findTable(const std::string &name) const;

    // The number of rows the table's definition claims (for progress only). Throws Error.
    std::size_t rowCount(const std::string &name);

    // Reads every row of the table in the file's physical order, or throws Damaged when any part
    // of it cannot be read whole. columns is called once before
    // the rows with the columns that carry text, numbers or flags (binary ones are left out) and
    // the row count the table claims; row gets the values in that column order. Throws Error.
    void readTable(const std::string &name,
                   const std::function<void(const std::vector<Column> &, std::size_t rows)> &columns,
                   const std::function<void(const std::vector<Value> &)> &row);

private:
    struct Handle;
    struct TableDef;
    struct ::S_MdbTableDef *openTable(const std::string &name);
    Handle *m_handle;
};

} // namespace jet
