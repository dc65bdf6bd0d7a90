// tamrisk-jet-import JETFILE SQLITEFILE TABLE...
// Copies the named tables of a Jet 4.0 file into a new SQLite file: one table per name (spelt as
// given), the file's own column names, rows in the file's order, Null kept as NULL. Runs as a
// process of its own because libmdb may crash or loop on a malformed file; the caller treats
// any exit but 0 as failure, and exit 3 as a damaged file: some part of it could not be read
// whole, and nothing is written. Progress goes to stdout as "progress DONE TOTAL" lines; on
// failure the last line on stderr is "tamrisk-jet-import: REASON" (Arabic).
#include "jet/JetReader.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

const char *const kName = "tamrisk-jet-import";
const char *g_created = nullptr; // the output file, once this process has made it
int g_stderr = STDERR_FILENO; // the real one: libmdb's is taken while the file is open
constexpr int kDamaged = 3;

[[noreturn]] void fail(const std::string &reason, int code = 1)
{
    if (g_created)
        ::unlink(g_created);
    std::fflush(stdout);
    ::dprintf(g_stderr, "\n%s: %s\n", kName, reason.c_str());
    std::exit(code);
}

// The reason, and the rows that were read whole before it, so the user knows how much is there.
std::string damagedReason(const jet::Damaged &e, const std::vector<std::pair<std::string, std::size_t>> &whole)
{
    std::vector<std::string> parts;
    for (const auto &[table, rows] : whole)
        parts.push_back("الجدول " + table + " ‏" + std::to_string(rows) + " من " + std::to_string(rows));
    if (!e.table.empty())
        parts.push_back("الجدول " + e.table + " ‏" + std::to_string(e.rowsRead) + " من "
                        + std::to_string(e.rowsClaimed));
    std::string read;
    for (const std::string &p : parts)
        read += (read.empty() ? "" : "، ") + p;
    return std::string(e.what()) + ". "
           + (read.empty() ? std::string("لم يمكن قراءة أي صف منه") : "الصفوف المقروءة سليمة: " + read);
}

std::string quoted(const std::string &name)
{
    std::string q = "\"";
    for (char c : name) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

class Output
{
public:
    explicit Output(const char *path)
    {
        struct stat st { };
        if (::stat(path, &st) == 0)
            fail("الملف المؤقت موجود من قبل");
        const int rc = sqlite3_open_v2(path, &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        g_created = path;
        if (rc != SQLITE_OK)
            failSql();
        exec("PRAGMA journal_mode = OFF");
        exec("PRAGMA synchronous = OFF");
        exec("BEGIN");
    }
    ~Output()
    {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
    }

    void exec(const std::string &sql)
    {
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            failSql();
    }

    void beginTable(const std::string &name, const std::vector<jet::Column> &columns)
    {
        sqlite3_finalize(m_insert);
        m_insert = nullptr;
        m_kinds.clear();
        std::string create = "CREATE TABLE " + quoted(name) + " (";
        std::string insert = "INSERT INTO " + quoted(name) + " VALUES (";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            create += (i ? ", " : "") + quoted(columns[i].name)
                      + (columns[i].kind == jet::Kind::Text ? " TEXT" : " INTEGER");
            insert += i ? ", ?" : "?";
            m_kinds.push_back(columns[i].kind);
        }
        if (columns.empty())
            fail("الجدول " + name + " لا يحتوي على حقول مقروءة");
        exec(create + ")");
        if (sqlite3_prepare_v2(m_db, (insert + ")").c_str(), -1, &m_insert, nullptr) != SQLITE_OK)
            failSql();
    }

    void row(const std::vector<jet::Value> &values)
    {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int p = static_cast<int>(i) + 1;
            const jet::Value &v = values[i];
            int rc;
            if (v.null) {
                rc = sqlite3_bind_null(m_insert, p);
            } else if (m_kinds[i] != jet::Kind::Text) {
                char *end = nullptr;
                const long long n = std::strtoll(v.text.c_str(), &end, 10);
                rc = (end && *end == '\0' && !v.text.empty())
                         ? sqlite3_bind_int64(m_insert, p, n)
                         : sqlite3_bind_text(m_insert, p, v.text.data(), static_cast<int>(v.text.size()),
                                             SQLITE_TRANSIENT);
            } else {
                rc = sqlite3_bind_text(m_insert, p, v.text.data(), static_cast<int>(v.text.size()), SQLITE_TRANSIENT);
            }
            if (rc != SQLITE_OK)
                failSql();
        }
        if (sqlite3_step(m_insert) != SQLITE_DONE)
            failSql();
        sqlite3_reset(m_insert);
    }

    void finish()
    {
        exec("COMMIT");
        sqlite3_finalize(m_insert);
        m_insert = nullptr;
        if (sqlite3_close(m_db) != SQLITE_OK)
            failSql();
        m_db = nullptr;
    }

private:
    [[noreturn]] void failSql()
    {
        const std::string why = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        fail("تعذرت كتابة الملف المؤقت: " + why);
    }

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
    std::vector<jet::Kind> m_kinds;
};

// A malformed file can make libmdb ask for absurd amounts of memory; fail instead of swapping.
void limitMemory(const char *jetPath)
{
    struct stat st { };
    if (::stat(jetPath, &st) != 0)
        return;
    const rlim_t floor = rlim_t(1) << 30;
    const rlim_t wanted = std::max<rlim_t>(floor, static_cast<rlim_t>(st.st_size) * 16);
    struct rlimit limit { };
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && (limit.rlim_max == RLIM_INFINITY || wanted < limit.rlim_max)) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_AS, &limit);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s JETFILE SQLITEFILE TABLE...\n", kName);
        return 2;
    }
    // Text must come out as UTF-8 and rows in table order whatever the caller's environment says.
    ::unsetenv("MDBICONV");
    ::unsetenv("MDBOPTS");
    const char *jetPath = argv[1];
    const char *outPath = argv[2];
    limitMemory(jetPath);
    g_stderr = ::dup(STDERR_FILENO);
    if (g_stderr < 0)
        g_stderr = STDERR_FILENO;
    std::vector<std::pair<std::string, std::size_t>> whole; // tables read to the end
    try {
        jet::Database db(jetPath);
        std::vector<std::string> tables(argv + 3, argv + argc);
        for (const std::string &t : tables)
            if (db.findTable(t).empty())
                throw jet::Damaged("لا يحتوي على الجدول " + t);

        Output out(outPath);
        std::size_t total = 0, done = 0;
        for (const std::string &t : tables)
            total += db.rowCount(t);
        for (const std::string &t : tables) {
            std::size_t rows = 0;
            db.readTable(
                t, [&](const std::vector<jet::Column> &columns, std::size_t) { out.beginTable(t, columns); },
                [&](const std::vector<jet::Value> &values) {
                    out.row(values);
                    ++rows;
                    if (++done % 256 == 0) {
                        std::printf("progress %zu %zu\n", done, std::max(done, total));
                        std::fflush(stdout); // a pipe would hold it back until the end
                    }
                });
            whole.emplace_back(t, rows);
        }
        out.finish();
        std::printf("progress %zu %zu\n", done, done);
    } catch (const jet::Damaged &e) {
        fail(damagedReason(e, whole), kDamaged);
    } catch (const jet::Error &e) {
        fail(e.what());
    } catch (const std::bad_alloc &) {
        fail("لا توجد ذاكرة كافية لقراءة الملف");
    }
    return 0;
}
