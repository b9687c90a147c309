// Rows read from a table's pages against SQLite's reading of the very same file: the shapes a
// file takes in use (pointer-map pages, freed and wiped space, rebuilt files, rows grown into
// overflow pages, rowids at both ends of their range, trees four levels deep), and thousands of
// damaged copies. The pages must give SQLite's rows, or stop as Damaged after rows that are
// all SQLite's own (the reader then reads on through SQLite): never a row SQLite does not give
// where it gives one, never a row missed, never a row where SQLite finds the file damaged.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/provider/table_pages.h"
#include "sqlite_files.h"
#include "support/temp_dir.h"

namespace {

using provider::TablePages;
using namespace sqlitefiles;
using testsupport::TempDir;

// --- the rows as SQLite reads them -----------------------------------------------------------

struct Row {
    int64_t rowid = 0;
    std::vector<Value> values;
};

struct SqliteRead {
    std::vector<Row> rows;
    bool failed = false;  // SQLite found the file damaged after `rows`
    std::string error;
};

// What SQLite reads of table T (columns `columns`, no rowid alias among them), as a reader of
// the whole table in rowid order reads it.
SqliteRead ReadSqlite(const std::string& path, int columns)
{
    SqliteRead out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        out.failed = true;
        out.error = "cannot open";
        sqlite3_close(db);
        return out;
    }
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT rowid, * FROM T ORDER BY rowid", -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        Row& row = out.rows.emplace_back();
        row.rowid = sqlite3_column_int64(stmt, 0);
        for (int c = 1; c <= columns && c < sqlite3_column_count(stmt); ++c)
            row.values.push_back(ColumnValue(stmt, c));
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE) {
        out.failed = true;
        out.error = sqlite3_errmsg(db);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
}

// How the pages went against SQLite.
enum class Verdict {
    Same,           // SQLite's rows, or a stop as Damaged after rows all SQLite's own
    Differ,         // a row, a value or an end SQLite does not give where it gives rows
    PastSqliteEnd,  // rows, or an end, where SQLite finds the file damaged
};

struct Outcome {
    Verdict verdict = Verdict::Same;
    std::string what;
};

// The pages read from SQLite's row `from` (the first, or by a seek past the row before it) to
// their end or to `limit` rows, against SQLite's rows from there. A record shorter than the
// table has its last values read through SQLite (by the rowid), so only the values it holds
// are compared.
Outcome Compare(const SqliteRead& sqlite, TablePages& pages, size_t from, size_t limit, int columns)
{
    TablePages::Step step =
        from == 0 ? pages.First() : pages.Seek(sqlite.rows[from - 1].rowid, from);
    if (step == TablePages::Step::Damaged)
        return {};
    const std::string start = from == 0 ? "from the first row"
                                        : "after rowid " +
                                              std::to_string(sqlite.rows[from - 1].rowid);
    for (size_t k = from; k < from + limit; ++k) {
        step = pages.Next();
        if (step == TablePages::Step::Damaged)
            return {};
        const std::string at = start + ", row " + std::to_string(k);
        if (step == TablePages::Step::End) {
            if (sqlite.failed && k >= sqlite.rows.size())
                return {Verdict::PastSqliteEnd,
                        at + ": the pages end where SQLite reports " + sqlite.error};
            if (k != sqlite.rows.size())
                return {sqlite.failed && k > sqlite.rows.size() ? Verdict::PastSqliteEnd
                                                                 : Verdict::Differ,
                        at + ": the pages end, SQLite has " + std::to_string(sqlite.rows.size()) +
                            " rows"};
            return {};
        }
        if (k >= sqlite.rows.size())
            return {sqlite.failed ? Verdict::PastSqliteEnd : Verdict::Differ,
                    at + ": the pages give rowid " + std::to_string(pages.Rowid()) +
                        (sqlite.failed ? " where SQLite reports " + sqlite.error
                                       : " past SQLite's last row")};
        const Row& want = sqlite.rows[k];
        if (pages.Rowid() != want.rowid)
            return {Verdict::Differ, at + ": the pages give rowid " +
                                         std::to_string(pages.Rowid()) + ", SQLite " +
                                         std::to_string(want.rowid)};
        const auto& fields = pages.Fields();
        for (size_t c = 0; c < fields.size() && c < static_cast<size_t>(columns) &&
                           c < want.values.size();
             ++c) {
            const Value got = FromField(fields[c]);
            if (!(got == want.values[c]))
                return {Verdict::Differ, at + " (rowid " + std::to_string(want.rowid) +
                                             ") column " + std::to_string(c) + ": the pages give " +
                                             Describe(got) + ", SQLite " +
                                             Describe(want.values[c])};
        }
    }
    return {};
}

// The pages of the file against SQLite from the first row and from `seeks` rows spread over
// the table (each followed for `follow` rows, the last to the end).
Outcome CompareFile(const std::string& path, uint32_t root, int columns, size_t seeks,
                    size_t follow, const SqliteRead* known = nullptr)
{
    const SqliteRead read = known ? *known : ReadSqlite(path, columns);
    auto pages = TablePages::Open(path, root);
    if (!pages)
        return {};
    Outcome outcome = Compare(read, *pages, 0, SIZE_MAX, columns);
    if (outcome.verdict != Verdict::Same)
        return outcome;
    for (size_t n = 1; n <= seeks && !read.rows.empty(); ++n) {
        const size_t from = std::min(read.rows.size(), read.rows.size() * n / seeks);
        outcome = Compare(read, *pages, from, n == seeks ? SIZE_MAX : follow, columns);
        if (outcome.verdict != Verdict::Same)
            return outcome;
    }
    return {};
}

// --- sound files of every shape --------------------------------------------------------------

constexpr int kColumns = 6;

// A value of every stored kind in turn, `salt` varying lengths and contents.
void BindAny(sqlite3_stmt* stmt, int index, uint32_t kind, uint32_t salt, uint32_t pageSize)
{
    static const int64_t kIntegers[] = {0,
                                        1,
                                        2,
                                        -1,
                                        127,
                                        -128,
                                        255,
                                        32767,
                                        -32769,
                                        8388607,
                                        -8388609,
                                        2147483647,
                                        -2147483649LL,
                                        (1LL << 47) - 1,
                                        -(1LL << 47) - 1,
                                        std::numeric_limits<int64_t>::max(),
                                        std::numeric_limits<int64_t>::min()};
    constexpr uint32_t kIntegerCount = sizeof kIntegers / sizeof kIntegers[0];
    if (kind < kIntegerCount) {
        sqlite3_bind_int64(stmt, index, kIntegers[kind]);
        return;
    }
    std::string bytes;
    switch (kind - kIntegerCount) {
        case 0:
            sqlite3_bind_null(stmt, index);
            return;
        case 1:
            sqlite3_bind_double(stmt, index, -0.0);
            return;
        case 2:
            sqlite3_bind_double(stmt, index, std::numeric_limits<double>::infinity());
            return;
        case 3:
            sqlite3_bind_double(stmt, index, -std::numeric_limits<double>::infinity());
            return;
        case 4:
            sqlite3_bind_double(stmt, index, std::numeric_limits<double>::denorm_min());
            return;
        case 5:
            sqlite3_bind_double(stmt, index, 1e15 + salt);  // whole, kept as a real
            return;
        case 6:
            bytes.clear();
            break;
        case 7:
            bytes = std::string("nul\0inside\0", 11);
            break;
        case 8:
            bytes = "\xc3\x28 not utf-8 \xff";
            break;
        case 9:  // runs over into many overflow pages
            bytes.assign(pageSize * (2 + salt % 5) + salt % 131, static_cast<char>('A' + salt % 26));
            break;
        case 10:  // just about fits in the cell, or just about does not
            bytes.assign(pageSize - 40 + salt % 16, 'e');
            break;
        case 11:
            sqlite3_bind_zeroblob(stmt, index, 0);
            return;
        case 12:
            bytes.assign(pageSize * 3 + salt % 977, static_cast<char>(salt));
            sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
            return;
        default:
            bytes = "t" + std::to_string(salt);
            break;
    }
    sqlite3_bind_text(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

constexpr uint32_t kAnyKinds = 17 + 14;

struct Shape {
    const char* what;
    uint32_t pageSize;
    int reserved;
    const char* vacuum;  // auto_vacuum
    int rows;
    bool wideRowids;   // rowids spread over the whole range, both ends among them
    bool smallValues;  // short values only: a tree of many levels
    const char* after;  // SQL run after the rows are in
    bool secureDelete;
};

void PrintTo(const Shape& s, std::ostream* os)
{
    *os << s.what;
}

void MakeShape(const std::string& path, const Shape& s)
{
    sqlite3* db = OpenNewDb(path, s.pageSize, s.reserved);
    Exec(db, std::string("PRAGMA auto_vacuum = ") + s.vacuum);
    if (s.secureDelete)
        Exec(db, "PRAGMA secure_delete = ON");
    Exec(db, "CREATE TABLE T (a, b INT, c TEXT, d BLOB, e NUMERIC, f)");
    Exec(db, "CREATE TABLE Other (x)");  // pages of another table among T's
    Exec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO T (rowid, a, b, c, d, e, f) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                       -1, &insert, nullptr);
    std::mt19937_64 random(s.rows);
    for (int i = 0; i < s.rows; ++i) {
        int64_t rowid = i * 3 - s.rows;
        if (s.wideRowids) {
            static const int64_t kEnds[] = {std::numeric_limits<int64_t>::min(),
                                            std::numeric_limits<int64_t>::max(), -1, 0, 1};
            rowid = i < 5 ? kEnds[i] : static_cast<int64_t>(random());
        }
        sqlite3_bind_int64(insert, 1, rowid);
        for (int c = 0; c < kColumns; ++c) {
            const uint32_t salt = static_cast<uint32_t>(random());
            if (s.smallValues)
                sqlite3_bind_int64(insert, c + 2, static_cast<int64_t>(salt % 1000) - 500);
            else
                BindAny(insert, c + 2, salt % kAnyKinds, salt >> 8, s.pageSize);
        }
        const int rc = sqlite3_step(insert);
        EXPECT_TRUE(rc == SQLITE_DONE || (s.wideRowids && rc == SQLITE_CONSTRAINT))
            << sqlite3_errmsg(db);
        sqlite3_reset(insert);
        if (i % 97 == 0)
            Exec(db, "INSERT INTO Other VALUES (randomblob(" + std::to_string(s.pageSize / 3) +
                         "))");
    }
    sqlite3_finalize(insert);
    Exec(db, "COMMIT");
    if (s.after && *s.after)
        Exec(db, s.after);
    sqlite3_close(db);
}

class TablePagesShapeTest : public testing::TestWithParam<Shape> {};

TEST_P(TablePagesShapeTest, GiveSqlitesRowsFromTheFirstAndFromAnyRow)
{
    const Shape& s = GetParam();
    TempDir dir;
    const std::string path = (dir / "shape.db").string();
    MakeShape(path, s);
    const SqliteRead read = ReadSqlite(path, kColumns);
    ASSERT_FALSE(read.failed) << read.error;
    ASSERT_GT(read.rows.size(), 10u);
    const Outcome outcome = CompareFile(path, RootOf(path, "T"), kColumns, 60, 40, &read);
    EXPECT_EQ(outcome.verdict, Verdict::Same) << outcome.what;
    // And the pages do read it: not a refusal that compares nothing.
    auto pages = TablePages::Open(path, RootOf(path, "T"));
    ASSERT_TRUE(pages);
    ASSERT_EQ(pages->First(), TablePages::Step::Row);
    size_t rows = 0;
    while (pages->Next() == TablePages::Step::Row)
        ++rows;
    EXPECT_EQ(rows, read.rows.size());
}

INSTANTIATE_TEST_SUITE_P(
    Files, TablePagesShapeTest,
    testing::Values(
        Shape{"512-byte pages, pointer-map pages, rows updated to larger sizes", 512, 0, "FULL",
              3000, false, false,
              "UPDATE T SET a = hex(zeroblob(700 + rowid % 50)) WHERE rowid % 3 = 0; "
              "DELETE FROM T WHERE rowid % 7 = 0; DELETE FROM Other;",
              false},
        Shape{"1024-byte pages, reserved bytes, incremental vacuum part of the way", 1024, 24,
              "INCREMENTAL", 3000, false, false,
              "DELETE FROM T WHERE rowid % 4 = 1; DELETE FROM Other; "
              "PRAGMA incremental_vacuum(40);",
              false},
        Shape{"4096-byte pages, wiped freed space and freeblocks", 4096, 0, "NONE", 2500, false,
              false,
              "DELETE FROM T WHERE rowid % 5 IN (1, 2); UPDATE T SET c = 'short' "
              "WHERE rowid % 2 = 0;",
              true},
        Shape{"8192-byte pages rebuilt into 2048-byte pages", 8192, 0, "NONE", 2500, false, false,
              "DELETE FROM T WHERE rowid % 3 = 0; PRAGMA page_size = 2048; VACUUM;", false},
        Shape{"65536-byte pages, most reserved bytes, rowids of the whole range", 65536, 255,
              "FULL", 1500, true, false, "", false},
        Shape{"512-byte pages, four levels of interior pages over a hundred thousand rows", 512,
              0, "NONE", 110000, true, true, "DELETE FROM T WHERE rowid % 11 = 0;", false},
        Shape{"1024-byte pages, reserved bytes, the whole table deleted but a few rows", 1024, 8,
              "FULL", 4000, false, false,
              "DELETE FROM T WHERE rowid NOT IN (SELECT rowid FROM T ORDER BY rowid LIMIT 20 "
              "OFFSET 1000)",
              true}));

// A stored real whose bits are not a number: SQLite reads it as Null, and so must the pages.
TEST(TablePagesValueTest, RealsThatAreNotNumbersReadAsNull)
{
    TempDir dir;
    const std::string path = (dir / "nan.db").string();
    sqlite3* db = OpenDb(path);
    Exec(db, "CREATE TABLE T (a, b, c, d, e, f)");
    Exec(db, "INSERT INTO T VALUES (1234.5678, 8765.4321, -0.0, 1e308, 'x', 2.5)");
    sqlite3_close(db);
    std::vector<char> bytes = ReadFile(path);
    auto replace = [&](double from, uint64_t bits) {
        uint64_t want;
        std::memcpy(&want, &from, sizeof want);
        char pattern[8], with[8];
        for (int n = 0; n < 8; ++n) {
            pattern[n] = static_cast<char>(want >> (56 - 8 * n));
            with[n] = static_cast<char>(bits >> (56 - 8 * n));
        }
        auto at = std::search(bytes.begin(), bytes.end(), pattern, pattern + 8);
        ASSERT_NE(at, bytes.end());
        std::copy(with, with + 8, at);
    };
    replace(1234.5678, 0x7ff8000000000001ull);  // a quiet NaN with a payload
    replace(8765.4321, 0xfff0000000000001ull);  // a signalling one, negative
    WriteFile(path, bytes);
    const SqliteRead read = ReadSqlite(path, kColumns);
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(read.rows[0].values[0].type, SQLITE_NULL);
    EXPECT_EQ(read.rows[0].values[1].type, SQLITE_NULL);
    const Outcome outcome = CompareFile(path, RootOf(path, "T"), kColumns, 1, 1, &read);
    EXPECT_EQ(outcome.verdict, Verdict::Same) << outcome.what;
}

// --- damaged files -------------------------------------------------------------------------

struct Base {
    std::string path;
    uint32_t root = 0;
    uint32_t pageSize = 0;
    std::vector<char> bytes;
    std::vector<uint32_t> leaves, interiors, others;
};

Base MakeBase(const TempDir& dir, const std::string& name, uint32_t pageSize, int reserved,
              const char* vacuum)
{
    Base b;
    b.path = (dir / name).string();
    b.pageSize = pageSize;
    Shape s{name.c_str(), pageSize, reserved, vacuum, 1500, false, false,
            "DELETE FROM T WHERE rowid % 9 = 0", false};
    MakeShape(b.path, s);
    b.root = RootOf(b.path, "T");
    b.bytes = ReadFile(b.path);
    for (uint32_t page = 2; uint64_t{page} * pageSize <= b.bytes.size(); ++page) {
        const unsigned char type = static_cast<unsigned char>(b.bytes[uint64_t{page - 1} * pageSize]);
        (type == 0x0D ? b.leaves : type == 0x05 ? b.interiors : b.others).push_back(page);
    }
    return b;
}

// A copy of the base file damaged one way or another, as `random` picks.
std::vector<char> Damage(const Base& b, std::mt19937& random, std::string& how)
{
    std::vector<char> bytes = b.bytes;
    const uint32_t size = b.pageSize;
    auto pageOf = [&](int kind) {
        const std::vector<uint32_t>& from =
            kind == 0 ? b.leaves : kind == 1 ? b.interiors : b.others.empty() ? b.leaves : b.others;
        return from[random() % from.size()];
    };
    auto offset = [&](uint32_t page) { return uint64_t{page - 1} * size; };
    switch (random() % 6) {
        case 0: {  // a few bytes anywhere in a page of the tree or of its overflow
            const int hits = 1 + static_cast<int>(random() % 8);
            for (int n = 0; n < hits; ++n)
                bytes[offset(pageOf(static_cast<int>(random() % 3))) + random() % size] =
                    static_cast<char>(random());
            how = "bytes changed";
            break;
        }
        case 1: {  // the page header or the cell offsets of a tree page
            const uint32_t page = pageOf(static_cast<int>(random() % 2));
            bytes[offset(page) + random() % 24] = static_cast<char>(random());
            how = "a page header byte changed in page " + std::to_string(page);
            break;
        }
        case 2: {  // cut short
            const uint64_t at = random() % bytes.size();
            bytes.resize(random() % 2 ? at : at / size * size);
            how = "cut to " + std::to_string(bytes.size()) + " bytes";
            break;
        }
        case 3: {  // one page written over another
            const uint32_t from = pageOf(static_cast<int>(random() % 3));
            const uint32_t to = pageOf(static_cast<int>(random() % 3));
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset(from)), size,
                        bytes.begin() + static_cast<std::ptrdiff_t>(offset(to)));
            how = "page " + std::to_string(from) + " copied over page " + std::to_string(to);
            break;
        }
        case 4: {  // a varint of a leaf cell (its payload's size or its rowid) changed
            const uint32_t page = pageOf(0);
            const unsigned char* p = reinterpret_cast<const unsigned char*>(&bytes[offset(page)]);
            const unsigned cells = p[3] << 8 | p[4];
            if (cells == 0)
                break;
            const unsigned index = static_cast<unsigned>(random() % cells);
            const unsigned cell = p[8 + 2 * index] << 8 | p[9 + 2 * index];
            const unsigned at = (cell + random() % 3) % size;
            bytes[offset(page) + at] = static_cast<char>(bytes[offset(page) + at] + 1 +
                                                         static_cast<int>(random() % 3));
            how = "a cell's leading bytes changed in page " + std::to_string(page);
            break;
        }
        default: {  // a child pointer or key of an interior page
            const uint32_t page = pageOf(1);
            const unsigned char* p = reinterpret_cast<const unsigned char*>(&bytes[offset(page)]);
            const unsigned cells = p[3] << 8 | p[4];
            const unsigned index = cells ? static_cast<unsigned>(random() % cells) : 0;
            const unsigned cell = (p[12 + 2 * index] << 8 | p[13 + 2 * index]) % size;
            bytes[offset(page) + (cell + random() % 7) % size] = static_cast<char>(random());
            how = "an interior cell changed in page " + std::to_string(page);
            break;
        }
    }
    return bytes;
}

int Rounds()
{
    const char* env = std::getenv("CRV_PAGES_DAMAGE_ROUNDS");
    return env && std::atoi(env) > 0 ? std::atoi(env) : 700;
}

// Damaged copies of two files (one with pointer-map pages and reserved bytes) read from their
// first row, or from rows spread over them by a seek past the row before, as a long read goes
// on from the pages after its first rows were read through SQLite. (Rows given where SQLite
// finds the file damaged are tested on their own below.)
void ExpectDamagedCopiesAgree(size_t seeks)
{
    TempDir dir;
    const std::vector<Base> bases = {MakeBase(dir, "plain.db", 1024, 0, "NONE"),
                                     MakeBase(dir, "mapped.db", 512, 16, "FULL")};
    const std::string path = (dir / "damaged.db").string();
    std::mt19937 random(20261211);
    int differ = 0, stopped = 0;
    const int rounds = Rounds();
    for (int round = 0; round < rounds; ++round) {
        const Base& b = bases[static_cast<size_t>(round) % bases.size()];
        std::string how;
        WriteFile(path, Damage(b, random, how));
        const SqliteRead read = ReadSqlite(path, kColumns);
        auto pages = TablePages::Open(path, b.root);
        Outcome outcome;
        if (pages && seeks == 0)
            outcome = Compare(read, *pages, 0, SIZE_MAX, kColumns);
        for (size_t n = 1; pages && n <= seeks && outcome.verdict == Verdict::Same &&
                           read.rows.size() > 1;
             ++n)
            outcome = Compare(read, *pages, read.rows.size() * n / (seeks + 1), 300, kColumns);
        const std::string where =
            "round " + std::to_string(round) + " (" + std::filesystem::path(b.path).filename().string() +
            ", " + how + "): " + outcome.what;
        if (outcome.verdict == Verdict::Differ && ++differ <= 4)
            ADD_FAILURE() << where;
        stopped += outcome.verdict != Verdict::Differ;
    }
    EXPECT_EQ(differ, 0) << "rounds where the pages give other rows than SQLite";
    EXPECT_GT(stopped, 0);
}

TEST(TablePagesOracleDamageTest, DamagedCopiesReadFromTheirFirstRow)
{
    ExpectDamagedCopiesAgree(0);
}

// A seek by the keys of interior pages would trust where it lands: where a damaged key does not
// bound its child's rows, or the rows before the seek are out of order, it would skip rows
// SQLite reads. The seek walks the rows before it from the first instead, as SQLite read them.
TEST(TablePagesOracleDamageTest, DamagedCopiesReadOnFromAnyRow)
{
    ExpectDamagedCopiesAgree(5);
}

// Files SQLite reads as damaged where they are: the pages must not give the rows SQLite refuses.
// A record whose values end before its payload does (its payload's size grown by one), and a
// file shorter than its header says, are damage to the pages as they are to SQLite.
TEST(TablePagesOracleDamageTest, RowsSqliteFindsDamagedAreNotGiven)
{
    struct Case {
        const char* what;
        std::function<void(std::vector<char>&, const Base&)> damage;
    };
    const Case cases[] = {
        {"a record's payload one byte longer than its values",
         [](std::vector<char>& bytes, const Base& b) {
             for (uint32_t page : b.leaves) {
                 unsigned char* p = reinterpret_cast<unsigned char*>(&bytes[uint64_t{page - 1} * b.pageSize]);
                 const unsigned cells = p[3] << 8 | p[4];
                 for (unsigned i = 0; i < cells; ++i) {
                     const unsigned cell = p[8 + 2 * i] << 8 | p[9 + 2 * i];
                     if (p[cell] < 100 && cell + p[cell] + 16 < b.pageSize) {
                         ++p[cell];
                         return;
                     }
                 }
             }
         }},
        {"the file cut short of the pages its header counts",
         [](std::vector<char>& bytes, const Base& b) {
             bytes.resize(bytes.size() - 4 * b.pageSize);
         }},
    };
    TempDir dir;
    const Base base = MakeBase(dir, "base.db", 1024, 0, "NONE");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = (dir / "damaged.db").string();
        std::vector<char> bytes = base.bytes;
        c.damage(bytes, base);
        WriteFile(path, bytes);
        const SqliteRead read = ReadSqlite(path, kColumns);
        ASSERT_TRUE(read.failed);
        const Outcome outcome = CompareFile(path, base.root, kColumns, 0, 0, &read);
        EXPECT_EQ(outcome.verdict, Verdict::Same) << outcome.what;
    }
}

}  // namespace
