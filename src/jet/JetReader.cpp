#include "jet/JetReader.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace jet {

namespace {

constexpr int kOffsetMask = 0x1fff; // row offsets on a data page carry flags in the top bits
constexpr std::size_t kMinBindSize = 4096;

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return c < 0x80 ? std::tolower(c) : c; });
    return s;
}

bool readable(int type, Kind *kind)
{
    switch (type) {
    case MDB_BOOL:
        *kind = Kind::Boolean;
        return true;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
        *kind = Kind::Integer;
        return true;
    case MDB_BINARY:
    case MDB_OLE:
    case MDB_COMPLEX:
        return false;
    default: // text, memo, and numbers or dates as libmdb writes them
        *kind = Kind::Text;
        return true;
    }
}

// The row mdb_fetch_row has just read is the one before cur_row on the current data page.
// Bound values say nothing of Null (both Null and "" come back empty), so the row is cracked
// again here for its null flags, and for where its values lie. fields[i] is indexed by column.
void crackCurrentRow(MdbTableDef *table, std::vector<MdbField> &fields)
{
    MdbHandle *mdb = table->entry->mdb;
    int start = 0;
    size_t size = 0;
    if (table->cur_row == 0 || mdb_find_row(mdb, table->cur_row - 1, &start, &size) != 0)
        throw Error("الملف تالف: تعذر العثور على أحد الصفوف");
    std::vector<MdbField> cracked(table->num_cols);
    const int n = mdb_crack_row(table, start & kOffsetMask, size, cracked.data());
    if (n < 0 || static_cast<unsigned>(n) < table->num_cols)
        throw Error("الملف تالف: تعذرت قراءة أحد الصفوف");
    for (unsigned i = 0; i < table->num_cols; ++i) {
        const int col = cracked[i].colnum;
        if (col < 0 || static_cast<unsigned>(col) >= table->num_cols)
            throw Error("الملف تالف: تعذرت قراءة أحد الصفوف");
        fields[col] = cracked[i];
    }
}

// Bytes a value occupies in the file; its UTF-8 form is at most twice that (a UCS-2 character
// becomes at most three bytes, a compressed one at most two).
std::size_t storedSize(MdbHandle *mdb, const MdbColumn *col, const MdbField &field)
{
    if (field.is_null || field.siz <= 0)
        return 0;
    if (col->col_type == MDB_MEMO || col->col_type == MDB_OLE) {
        if (field.siz < MDB_MEMO_OVERHEAD)
            return static_cast<std::size_t>(field.siz);
        return static_cast<std::size_t>(mdb_get_int32(mdb->pg_buf, field.start)) & 0x3fffffffu;
    }
    return static_cast<std::size_t>(field.siz);
}

} // namespace

struct Database::Handle {
    MdbHandle *mdb = nullptr;
    std::size_t fileSize = 0;
};

Database::Database(const std::string &path)
    : m_handle(new Handle)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        delete m_handle;
        throw Error("الملف غير موجود");
    }
    m_handle->fileSize = static_cast<std::size_t>(st.st_size);
    m_handle->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!m_handle->mdb) {
        delete m_handle;
        throw Error("ليس قاعدة بيانات Jet 4.0 سليمة");
    }
    mdb_set_boolean_fmt_numbers(m_handle->mdb);
    if (!mdb_read_catalog(m_handle->mdb, MDB_TABLE)) {
        mdb_close(m_handle->mdb);
        delete m_handle;
        throw Error("تعذرت قراءة قائمة الجداول");
    }
}

Database::~Database()
{
    mdb_close(m_handle->mdb);
    delete m_handle;
}

std::string Database::findTable(const std::string &name) const
{
    MdbHandle *mdb = m_handle->mdb;
    const std::string wanted = lower(name);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry) && lower(entry->object_name) == wanted)
            return entry->object_name;
    }
    return {};
}

struct Database::TableDef {
    explicit TableDef(MdbTableDef *t)
        : table(t)
    { }
    ~TableDef() { mdb_free_tabledef(table); }
    TableDef(const TableDef &) = delete;
    TableDef &operator=(const TableDef &) = delete;
    MdbTableDef *table;
};

MdbTableDef *Database::openTable(const std::string &name)
{
    MdbHandle *mdb = m_handle->mdb;
    const std::string real = findTable(name);
    if (real.empty())
        throw Error("لا يحتوي على الجدول " + name);
    MdbCatalogEntry *entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto *e = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && real == e->object_name)
            entry = e;
    }
    MdbTableDef *table = entry ? mdb_read_table(entry) : nullptr;
    if (!table)
        throw Error("تعذرت قراءة الجدول " + name);
    return table;
}

std::size_t Database::rowCount(const std::string &name)
{
    TableDef def(openTable(name));
    return def.table->num_rows;
}

void Database::readTable(const std::string &name,
                         const std::function<void(const std::vector<Column> &, std::size_t)> &columns,
                         const std::function<void(const std::vector<Value> &)> &row)
{
    MdbHandle *mdb = m_handle->mdb;
    TableDef def(openTable(name));
    MdbTableDef *table = def.table;
    if (!mdb_read_columns(table) || table->columns->len != table->num_cols)
        throw Error("تعذرت قراءة حقول الجدول " + name);

    std::vector<Column> cols;
    std::vector<unsigned> colIndex; // table column of each entry of cols
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        Kind kind;
        if (readable(col->col_type, &kind)) {
            cols.push_back({col->name, kind});
            colIndex.push_back(i);
        }
    }
    columns(cols, table->num_rows);

    std::vector<MdbField> fields(table->num_cols);

    // First pass: the longest value, so that the bind size can hold every value whole
    // (libmdb silently cuts a bound value at the bind size).
    std::size_t longest = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        crackCurrentRow(table, fields);
        for (unsigned i : colIndex) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            const std::size_t size = storedSize(mdb, col, fields[i]);
            if (size > m_handle->fileSize)
                throw Error("الملف تالف: أحد النصوص أطول من الملف نفسه");
            longest = std::max(longest, size);
        }
    }
    const std::size_t bindSize = std::max(kMinBindSize, 2 * longest + 2);
    mdb_set_bind_size(mdb, bindSize);

    // libmdb writes up to the bind size into every bound buffer.
    std::vector<std::vector<char>> buffers(colIndex.size(), std::vector<char>(bindSize));
    std::vector<int> lengths(colIndex.size());
    for (std::size_t k = 0; k < colIndex.size(); ++k)
        if (mdb_bind_column(table, static_cast<int>(colIndex[k]) + 1, buffers[k].data(), &lengths[k]) == -1)
            throw Error("تعذرت قراءة حقول الجدول " + name);

    std::vector<Value> values(colIndex.size());
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        crackCurrentRow(table, fields);
        for (std::size_t k = 0; k < colIndex.size(); ++k) {
            const auto len = static_cast<std::size_t>(std::max(lengths[k], 0));
            if (len + 1 >= bindSize)
                throw Error("تعذرت قراءة نص طويل كاملاً في الجدول " + name);
            Value &v = values[k];
            // A Boolean lives in the null bitmap itself: its flag is its value, never Null.
            v.null = cols[k].kind != Kind::Boolean && fields[colIndex[k]].is_null;
            if (v.null)
                v.text.clear();
            else
                v.text.assign(buffers[k].data(), len);
        }
        row(values);
    }
}

} // namespace jet
