#include "jet/JetReader.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {

namespace {

constexpr int kOffsetMask = 0x1fff; // row offsets on a data page carry flags in the top bits
constexpr std::size_t kMinBindSize = 4096;
constexpr std::size_t kPageSize = 4096; // Jet 4.0
constexpr std::size_t kLvalRowCountOffset = 12;
constexpr unsigned kMaxMemoPages = 1u << 20;

// The file as libmdb sees it, through a stream that notes every read falling short: libmdb
// pads a page the file does not hold with zeros and goes on.
struct Source {
    int fd = -1;
    off64_t pos = 0;
    bool failed = false;
    off64_t missingAt = -1; // the first byte asked for that the file does not hold
};

ssize_t sourceRead(void *cookie, char *buf, size_t size)
{
    auto *s = static_cast<Source *>(cookie);
    const ssize_t got = ::pread(s->fd, buf, size, s->pos);
    if (got < 0) {
        s->failed = true;
        return -1;
    }
    // The stream asks for a page or more from where libmdb seeked; less than one page is a page
    // the file does not hold whole.
    if (static_cast<size_t>(got) < std::min(size, kPageSize) && s->missingAt < 0)
        s->missingAt = s->pos + got;
    s->pos += got;
    return got;
}

int sourceSeek(void *cookie, off64_t *offset, int whence)
{
    auto *s = static_cast<Source *>(cookie);
    off64_t base = 0;
    if (whence == SEEK_CUR) {
        base = s->pos;
    } else if (whence == SEEK_END) {
        struct stat st { };
        if (::fstat(s->fd, &st) != 0)
            return -1;
        base = st.st_size;
    }
    if (base + *offset < 0)
        return -1;
    s->pos = base + *offset;
    *offset = s->pos;
    return 0;
}

int sourceClose(void *cookie)
{
    auto *s = static_cast<Source *>(cookie);
    ::close(s->fd);
    delete s;
    return 0;
}

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
    Source *source = nullptr; // owned by the stream libmdb reads through
    int savedStderr = -1;
    int messages = -1; // where libmdb's standard error goes meanwhile

    Handle() = default;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
        if (savedStderr >= 0) {
            std::fflush(stderr);
            ::dup2(savedStderr, STDERR_FILENO);
            ::close(savedStderr);
        }
        if (messages >= 0)
            ::close(messages);
    }

    std::size_t pages() const { return fileSize / kPageSize; }

    // Throws Damaged when libmdb has said anything or a read has fallen short since the start.
    void check(const std::string &table = {}, std::size_t rowsRead = 0, std::size_t rowsClaimed = 0) const
    {
        if (source && (source->failed || source->missingAt >= 0)) {
            const std::string reason = source->failed ? std::string("تعذرت قراءة الملف من القرص")
                                                      : "الملف مقطوع عند البايت " + std::to_string(source->missingAt)
                                                            + "، والصفحات بعده مفقودة";
            throw Damaged(reason, table, rowsRead, rowsClaimed);
        }
        struct stat st { };
        if (messages >= 0 && ::fstat(messages, &st) == 0 && st.st_size > 0) {
            char text[200] = {};
            const ssize_t n = ::pread(messages, text, sizeof text - 1, 0);
            std::string said(text, n > 0 ? static_cast<std::size_t>(n) : 0);
            said = said.substr(0, said.find('\n'));
            throw Damaged("تعذرت قراءة جزء منه (" + said + ")", table, rowsRead, rowsClaimed);
        }
    }

    // The row mdb_fetch_row has just read is the one before cur_row on the current data page.
    // Bound values say nothing of Null (both Null and "" come back empty), so the row is cracked
    // again here for its null flags, and for where its values lie. fields[i] is indexed by
    // column. Every value must lie whole where the row says it is.
    void crackCurrentRow(MdbTableDef *table, std::vector<MdbField> &fields, std::size_t rowsRead)
    {
        const std::string name = table->name;
        auto damaged = [&](const std::string &why) { return Damaged(why, name, rowsRead, table->num_rows); };
        int start = 0;
        size_t size = 0;
        if (table->cur_row == 0 || mdb_find_row(mdb, table->cur_row - 1, &start, &size) != 0)
            throw damaged("تعذر العثور على أحد الصفوف");
        start &= kOffsetMask;
        checkRowLayout(table, start, size, damaged);
        std::vector<MdbField> cracked(table->num_cols);
        const int n = mdb_crack_row(table, start, size, cracked.data());
        if (n < 0 || static_cast<unsigned>(n) < table->num_cols)
            throw damaged("تعذرت قراءة أحد الصفوف");
        for (unsigned i = 0; i < table->num_cols; ++i) {
            const int col = cracked[i].colnum;
            if (col < 0 || static_cast<unsigned>(col) >= table->num_cols)
                throw damaged("تعذرت قراءة أحد الصفوف");
            fields[col] = cracked[i];
        }
        for (unsigned i = 0; i < table->num_cols; ++i) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            const MdbField &f = fields[i];
            if (f.is_fixed)
                continue;
            // A Null value takes no room; a text no more than its column holds.
            if (f.siz < 0 || (f.is_null && f.siz != 0))
                throw damaged("أحد الصفوف يناقض نفسه");
            if (col->col_type == MDB_TEXT && f.siz > col->col_size)
                throw damaged("أحد النصوص أطول من حقله");
            // Text is two bytes a character unless it begins with the mark of the compressed form.
            const auto *bytes = reinterpret_cast<const unsigned char *>(mdb->pg_buf) + f.start;
            if (col->col_type == MDB_TEXT && f.siz % 2 != 0 && !(f.siz >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe))
                throw damaged("أحد النصوص ناقص");
            if ((col->col_type == MDB_MEMO || col->col_type == MDB_OLE) && !f.is_null)
                checkMemo(f, damaged);
        }
        check(name, rowsRead, table->num_rows);
    }

    // libmdb reads whatever a row's own counts and offsets say. A row of this table holds
    // every column (the old program never changed its tables), its fixed values first, then the
    // variable ones back to back up to the table of their offsets, then the null flags.
    template <typename Fail>
    void checkRowLayout(MdbTableDef *table, int start, std::size_t size, const Fail &damaged) const
    {
        const auto *row = reinterpret_cast<const unsigned char *>(mdb->pg_buf) + start;
        auto word = [&](std::size_t at) { return static_cast<std::size_t>(row[at] | row[at + 1] << 8); };
        const std::string broken = "أحد الصفوف يناقض نفسه";
        if (size < 2 || start + size > kPageSize || word(0) != table->num_cols)
            throw damaged(broken);
        const std::size_t nullFlags = (table->num_cols + 7) / 8;
        std::size_t fixedEnd = 2;
        for (unsigned i = 0; i < table->num_cols; ++i) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            if (col->is_fixed)
                fixedEnd = std::max(fixedEnd, 2 + static_cast<std::size_t>(col->fixed_offset + col->col_size));
        }
        if (table->num_var_cols == 0) {
            if (fixedEnd + nullFlags > size)
                throw damaged(broken);
            return;
        }
        if (nullFlags + 2 > size || word(size - nullFlags - 2) != table->num_var_cols)
            throw damaged(broken);
        const std::size_t tableStart = size - nullFlags - 2 - 2 * (table->num_var_cols + 1);
        if (tableStart > size)
            throw damaged(broken);
        std::size_t previous = fixedEnd;
        for (unsigned j = 0; j <= table->num_var_cols; ++j) {
            const std::size_t offset = word(size - nullFlags - 4 - 2 * j);
            if (j == 0 ? offset != fixedEnd : offset < previous)
                throw damaged(broken);
            previous = offset;
        }
        if (previous != tableStart)
            throw damaged(broken);
    }

    // A long text (memo) lies in the row, on one page of its own or in a chain of pages; every
    // byte its length field claims must be found there, no more and no less.
    template <typename Fail>
    void checkMemo(const MdbField &f, const Fail &damaged)
    {
        if (f.siz == 0)
            return; // the empty text
        if (f.siz < MDB_MEMO_OVERHEAD)
            throw damaged("أحد النصوص الطويلة ناقص");
        const auto head = static_cast<std::uint32_t>(mdb_get_int32(mdb->pg_buf, f.start));
        const std::uint32_t length = head & 0x3fffffffu;
        const std::uint32_t kind = head & 0xff000000u;
        const std::string cut = "أحد النصوص الطويلة أقصر من طوله المحفوظ أو تعذرت قراءته";
        if (kind == 0x80000000u) {
            if (static_cast<std::uint32_t>(f.siz - MDB_MEMO_OVERHEAD) != length)
                throw damaged(cut);
            return;
        }
        // Stored elsewhere: the row holds only the header, and there is something to point to.
        if ((kind != 0x40000000u && kind != 0) || f.siz != MDB_MEMO_OVERHEAD || length == 0)
            throw damaged(cut);
        if (length > fileSize)
            throw damaged("أحد النصوص أطول من الملف نفسه");
        auto pgRow = static_cast<std::uint32_t>(mdb_get_int32(mdb->pg_buf, f.start + 4));
        std::uint64_t found = 0;
        for (unsigned hops = 0; pgRow != 0; ++hops) {
            const std::uint32_t page = pgRow >> 8, row = pgRow & 0xff;
            if (hops >= kMaxMemoPages || page == 0 || page >= pages())
                throw damaged(cut);
            void *buf = nullptr;
            int off = 0;
            size_t len = 0;
            if (mdb_find_pg_row(mdb, static_cast<int>(pgRow), &buf, &off, &len) != 0)
                throw damaged(cut);
            check();
            const auto *bytes = static_cast<const unsigned char *>(buf);
            const unsigned rows = static_cast<unsigned>(mdb_get_int16(buf, kLvalRowCountOffset));
            const unsigned rawOffset = static_cast<unsigned>(mdb_get_int16(buf, kLvalRowCountOffset + 2 + 2 * row));
            // A page of long values, the row on it, and not a deleted one.
            if (bytes[0] != MDB_PAGE_DATA || std::memcmp(bytes + 4, "LVAL", 4) != 0 || row >= rows
                || (rawOffset & 0x4000) || len == 0)
                throw damaged(cut);
            if (kind == 0x40000000u) {
                if (len != length)
                    throw damaged(cut);
                return;
            }
            if (len < 4)
                throw damaged(cut);
            found += len - 4;
            if (found > length)
                throw damaged(cut);
            pgRow = static_cast<std::uint32_t>(mdb_get_int32(buf, off));
        }
        if (kind == 0x40000000u || found != length)
            throw damaged(cut);
    }
};

Database::Database(const std::string &path)
    : m_handle(nullptr)
{
    auto handle = std::make_unique<Handle>();
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Error("الملف غير موجود");
    handle->fileSize = static_cast<std::size_t>(st.st_size);
    if (handle->fileSize < kPageSize)
        throw Damaged("الملف أقصر من صفحة واحدة");

    std::FILE *messages = std::tmpfile();
    if (!messages)
        throw Error("تعذر إنشاء ملف مؤقت");
    handle->messages = ::dup(::fileno(messages));
    std::fclose(messages);
    std::fflush(stderr);
    handle->savedStderr = ::dup(STDERR_FILENO);
    if (handle->messages < 0 || handle->savedStderr < 0 || ::dup2(handle->messages, STDERR_FILENO) < 0)
        throw Error("تعذر تحويل رسائل القارئ");

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Error("تعذر فتح الملف");
    auto *source = new Source{fd};
    std::FILE *stream = ::fopencookie(source, "r", {sourceRead, nullptr, sourceSeek, sourceClose});
    if (!stream) {
        sourceClose(source);
        throw Error("تعذر فتح الملف");
    }
    // libmdb seeks to each page and asks for all of it, so every read here starts at a page.
    std::setvbuf(stream, nullptr, _IOFBF, kPageSize);

    handle->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!handle->mdb) {
        std::fclose(stream);
        throw Damaged("ليس قاعدة بيانات Jet 4.0 سليمة");
    }
    // Page 0 was read whole (the file holds at least one page); every later read goes through
    // the stream that notices a short one.
    std::fclose(handle->mdb->f->stream);
    handle->mdb->f->stream = stream;
    handle->source = source;

    mdb_set_boolean_fmt_numbers(handle->mdb);
    if (!mdb_read_catalog(handle->mdb, MDB_TABLE)) {
        handle->check();
        throw Damaged("تعذرت قراءة قائمة الجداول");
    }
    handle->check();
    m_handle = handle.release();
}

Database::~Database() { delete m_handle; }

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
        throw Damaged("لا يحتوي على الجدول " + name);
    MdbCatalogEntry *entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog && !entry; ++i) {
        auto *e = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && real == e->object_name)
            entry = e;
    }
    MdbTableDef *table = entry ? mdb_read_table(entry) : nullptr;
    if (!table) {
        m_handle->check();
        throw Damaged("تعذرت قراءة تعريف الجدول " + name);
    }
    try {
        m_handle->check();
    } catch (...) {
        mdb_free_tabledef(table);
        throw;
    }
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
        throw Damaged("تعذرت قراءة حقول الجدول " + name, name);
    m_handle->check(name);
    const std::size_t claimed = table->num_rows;

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
    std::size_t count = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        m_handle->crackCurrentRow(table, fields, count);
        for (unsigned i : colIndex) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
            longest = std::max(longest, storedSize(mdb, col, fields[i]));
        }
        ++count;
    }
    // libmdb passes over, without a word, a page or row it cannot place.
    m_handle->check(name, count, claimed);
    if (count != claimed)
        throw Damaged("عدد صفوفه المقروءة لا يطابق عددها المحفوظ", name, std::min(count, claimed), claimed);
    const std::size_t bindSize = std::max(kMinBindSize, 2 * longest + 2);
    mdb_set_bind_size(mdb, bindSize);

    // libmdb writes up to the bind size into every bound buffer.
    std::vector<std::vector<char>> buffers(colIndex.size(), std::vector<char>(bindSize));
    std::vector<int> lengths(colIndex.size());
    for (std::size_t k = 0; k < colIndex.size(); ++k)
        if (mdb_bind_column(table, static_cast<int>(colIndex[k]) + 1, buffers[k].data(), &lengths[k]) == -1)
            throw Error("تعذرت قراءة حقول الجدول " + name);

    std::vector<Value> values(colIndex.size());
    count = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        m_handle->crackCurrentRow(table, fields, count);
        for (std::size_t k = 0; k < colIndex.size(); ++k) {
            const auto len = static_cast<std::size_t>(std::max(lengths[k], 0));
            if (len + 1 >= bindSize)
                throw Damaged("تعذرت قراءة نص طويل كاملاً", name, count, claimed);
            Value &v = values[k];
            // A Boolean lives in the null bitmap itself: its flag is its value, never Null.
            v.null = cols[k].kind != Kind::Boolean && fields[colIndex[k]].is_null;
            if (v.null)
                v.text.clear();
            else
                v.text.assign(buffers[k].data(), len);
        }
        row(values);
        ++count;
    }
    m_handle->check(name, count, claimed);
    if (count != claimed)
        throw Damaged("عدد صفوفه المقروءة لا يطابق عددها المحفوظ", name, std::min(count, claimed), claimed);
}

} // namespace jet
