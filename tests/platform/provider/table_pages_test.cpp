// Rows read from a table's pages, against SQLite's reading of the same file: the values
// of every storage form, trees of every page size, and files damaged in the ways a file
// gets damaged.
#include "platform/provider/table_pages.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sqlite_files.h"
#include "support/temp_dir.h"

namespace {

using provider::TablePages;
using namespace sqlitefiles;
using testsupport::TempDir;

// The values a column of the generated tables takes in turn: Null, integers of every
// stored width, reals, texts and blobs short and long enough to run over several pages,
// text that is not UTF-8 and text holding a zero byte.
void BindValue(sqlite3_stmt* stmt, int index, int kind, int size, uint32_t pageSize)
{
    static const int64_t kIntegers[] = {0,
                                        1,
                                        -1,
                                        127,
                                        -128,
                                        128,
                                        32767,
                                        -32768,
                                        8388607,
                                        -8388608,
                                        2147483647,
                                        -2147483648LL,
                                        1LL << 40,
                                        -(1LL << 47),
                                        std::numeric_limits<int64_t>::max(),
                                        std::numeric_limits<int64_t>::min()};
    constexpr int kIntegerCount = sizeof kIntegers / sizeof kIntegers[0];
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
            sqlite3_bind_double(stmt, index, 0.5 + size);
            return;
        case 2:
            sqlite3_bind_double(stmt, index, -1.25e300);
            return;
        case 3:
            sqlite3_bind_double(stmt, index, 3.0);  // a whole number kept as a real
            return;
        case 4:
            bytes = "text " + std::to_string(size);
            break;
        case 5:  // over several overflow pages
            bytes.assign(pageSize * (1 + size % 3) + size % 97, static_cast<char>('a' + size % 26));
            break;
        case 6:
            bytes = std::string("bad \xff\xfe utf-8 \xc3", 15);
            break;
        case 7:
            bytes = std::string("zero\0byte", 9);
            break;
        case 8:
            bytes.clear();
            break;
        case 9:
            bytes = std::string("\x01\x02\x00\xff", 4);
            sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
            return;
        default:
            bytes.assign(pageSize * 2 + size % 300, static_cast<char>(size));
            sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()),
                              SQLITE_TRANSIENT);
            return;
    }
    sqlite3_bind_text(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

constexpr int kKinds = 16 + 11;

struct TableCase {
    const char* what;
    uint32_t pageSize;
    int reserved;  // bytes at the end of every page
    int rows;
    const char* journal;
};

void PrintTo(const TableCase& c, std::ostream* os)
{
    *os << c.what;
}

// Table T (a, b, c, d) of `rows` rows with scattered rowids, every fifth and a stretch of
// them deleted, then a column added with a default and more rows holding it.
void MakeTable(const std::string& path, const TableCase& c)
{
    sqlite3* db = OpenNewDb(path, c.pageSize, c.reserved);
    Exec(db, std::string("PRAGMA journal_mode = ") + c.journal);
    Exec(db, "CREATE TABLE T (a, b, c, d)");
    Exec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO T (rowid, a, b, c, d) VALUES (?1, ?2, ?3, ?4, ?5)", -1,
                       &insert, nullptr);
    const int64_t spread = 3LL * c.rows + 1;
    for (int i = 0; i < c.rows; ++i) {
        sqlite3_bind_int64(insert, 1, (i * 7919LL) % spread - c.rows);
        for (int col = 0; col < 4; ++col)
            BindValue(insert, col + 2, (i * 7 + col * 3) % kKinds, i, c.pageSize);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(db, "DELETE FROM T WHERE rowid % 5 = 0 OR rowid BETWEEN 100 AND 400");
    Exec(db, "COMMIT");
    Exec(db, "ALTER TABLE T ADD COLUMN z DEFAULT 7");
    Exec(db, "INSERT INTO T (rowid, a, z) VALUES (" + std::to_string(spread + 10) +
                 ", 'after', 'z'), (" + std::to_string(spread + 11) + ", NULL, NULL)");
    sqlite3_close(db);
}

// One field against SQLite's value of the same column.
void ExpectField(const TablePages::Field& f, sqlite3_stmt* stmt, int col, const std::string& at)
{
    const Value got = FromField(f), want = ColumnValue(stmt, col);
    EXPECT_TRUE(got == want) << at << ": the pages give " << Describe(got) << ", SQLite "
                             << Describe(want);
}

// Reads the pages to their end alongside SQLite; the number of rows both gave.
int64_t ExpectSameRows(const std::string& path, uint32_t root, int64_t afterRowid, bool seek)
{
    sqlite3* db = OpenDb(path);
    auto pages = TablePages::Open(path, root);
    EXPECT_TRUE(pages);
    if (!pages) {
        sqlite3_close(db);
        return -1;
    }
    EXPECT_EQ(seek ? pages->Seek(afterRowid) : pages->First(), TablePages::Step::Row);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       seek ? "SELECT rowid, a, b, c, d, z FROM T WHERE rowid > ?1 ORDER BY rowid"
                            : "SELECT rowid, a, b, c, d, z FROM T ORDER BY rowid",
                       -1, &stmt, nullptr);
    sqlite3_bind_int64(stmt, 1, afterRowid);
    int64_t rows = 0, shorter = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        const std::string at = "row " + std::to_string(sqlite3_column_int64(stmt, 0));
        if (pages->Next() != TablePages::Step::Row) {
            ADD_FAILURE() << "the pages end before " << at;
            break;
        }
        EXPECT_EQ(pages->Rowid(), sqlite3_column_int64(stmt, 0)) << at;
        const auto& fields = pages->Fields();
        EXPECT_GE(fields.size(), 4u) << at;
        EXPECT_LE(fields.size(), 5u) << at;
        for (size_t i = 0; i < fields.size() && i < 5; ++i)
            ExpectField(fields[i], stmt, static_cast<int>(i) + 1,
                        at + " field " + std::to_string(i));
        if (fields.size() == 4) {
            ++shorter;  // a row from before the column was added: SQLite gives its default
            EXPECT_EQ(sqlite3_column_int64(stmt, 5), 7) << at;
        }
        ++rows;
    }
    EXPECT_EQ(pages->Next(), TablePages::Step::End);
    EXPECT_EQ(pages->Next(), TablePages::Step::End);
    if (!seek) {
        EXPECT_GT(shorter, 0);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

class TablePagesTest : public testing::TestWithParam<TableCase> {};

TEST_P(TablePagesTest, GiveWhatSqliteReadsInRowidOrder)
{
    const TableCase& c = GetParam();
    TempDir dir;
    const std::string path = (dir / "t.db").string();
    MakeTable(path, c);
    sqlite3* db = OpenDb(path);
    const uint32_t root = RootOf(db, "T");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*), min(rowid), max(rowid) FROM T", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const int64_t count = sqlite3_column_int64(stmt, 0);
    const int64_t low = sqlite3_column_int64(stmt, 1), high = sqlite3_column_int64(stmt, 2);
    sqlite3_finalize(stmt);
    sqlite3_close(db);

    EXPECT_EQ(ExpectSameRows(path, root, 0, false), count);
    auto pages = TablePages::Open(path, root);
    ASSERT_TRUE(pages);
    EXPECT_EQ(pages->PageSize(), c.pageSize);
    // From the middle, from a deleted rowid, and past the end.
    for (int64_t after : {low + (high - low) / 2, int64_t{200}, low - 1})
        ExpectSameRows(path, root, after, true);
    ASSERT_EQ(pages->Seek(high), TablePages::Step::Row);
    EXPECT_EQ(pages->Next(), TablePages::Step::End);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TablePagesTest,
    testing::Values(TableCase{"512-byte pages, a deep tree", 512, 0, 12000, "delete"},
                    TableCase{"1024-byte pages with reserved bytes, logged", 1024, 8, 4000, "wal"},
                    TableCase{"4096-byte pages", 4096, 0, 6000, "delete"},
                    TableCase{"8192-byte pages, many reserved bytes", 8192, 33, 3000, "truncate"},
                    TableCase{"65536-byte pages", 65536, 0, 2500, "delete"},
                    TableCase{"2048-byte pages, the most reserved bytes", 2048, 255, 3000,
                              "persist"}));

TEST(TablePagesFileTest, RefusesFilesItCannotReadAsSqliteDoes)
{
    TempDir dir;
    const std::string utf16 = (dir / "utf16.db").string();
    sqlite3* db = OpenDb(utf16);
    Exec(db, "PRAGMA encoding = 'UTF-16le'; CREATE TABLE T (a); INSERT INTO T VALUES ('x');");
    const uint32_t root = RootOf(db, "T");
    sqlite3_close(db);
    EXPECT_FALSE(TablePages::Open(utf16, root)) << "text would need converting";

    const std::string plain = (dir / "plain.db").string();
    db = OpenDb(plain);
    Exec(db, "CREATE TABLE W (k PRIMARY KEY, v) WITHOUT ROWID; INSERT INTO W VALUES (1, 2);");
    const uint32_t index = RootOf(db, "W");
    sqlite3_close(db);
    auto pages = TablePages::Open(plain, index);
    ASSERT_TRUE(pages);
    EXPECT_EQ(pages->First(), TablePages::Step::Damaged) << "an index tree is no table";
    EXPECT_FALSE(TablePages::Open(plain, 999)) << "a root past the file's end";
    EXPECT_FALSE(TablePages::Open((dir / "missing.db").string(), 2));
    std::ofstream(dir / "text.db") << std::string(4096, 'x');
    EXPECT_FALSE(TablePages::Open((dir / "text.db").string(), 2)) << "not a database";
}

// --- damaged files ---------------------------------------------------------------------

struct Damaged {
    std::string path;
    uint32_t root = 0;
    uint32_t pageSize = 1024;
    std::vector<uint32_t> leaves, interiors;
    int64_t rows = 0;
};

// A table of texts running over overflow pages, in 1024-byte pages, and where its pages are.
Damaged MakeDamageable(const TempDir& dir, const std::string& name)
{
    Damaged d;
    d.path = (dir / name).string();
    sqlite3* db = OpenDb(d.path);
    Exec(db, "PRAGMA page_size = 1024; CREATE TABLE T (a, b, c, d, z);");
    Exec(db,
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
         "INSERT INTO T SELECT i, 'text ' || i, CASE WHEN i % 10 = 0 THEN "
         "substr(hex(zeroblob(2000)), 1, 1500 + i) END, i * 0.5, NULL FROM n");
    d.root = RootOf(db, "T");
    sqlite3_close(db);
    std::ifstream in(d.path, std::ios::binary);
    std::vector<char> page(d.pageSize);
    for (uint32_t number = 1; in.read(page.data(), d.pageSize); ++number) {
        const unsigned char type = static_cast<unsigned char>(page[number == 1 ? 100 : 0]);
        if (type == 0x0D && number != 1)
            d.leaves.push_back(number);
        if (type == 0x05)
            d.interiors.push_back(number);
    }
    d.rows = 3000;
    return d;
}

void Patch(const std::string& path, uint64_t offset, const std::string& bytes)
{
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Reads to the end; the step it ended with and the rows before it.
TablePages::Step ReadThrough(const Damaged& d, int64_t& rows)
{
    rows = 0;
    auto pages = TablePages::Open(d.path, d.root);
    if (!pages)
        return TablePages::Step::Damaged;
    TablePages::Step step = pages->First();
    if (step != TablePages::Step::Row)
        return step;
    while ((step = pages->Next()) == TablePages::Step::Row)
        ++rows;
    return step;
}

TEST(TablePagesDamageTest, BrokenPagesEndTheReadAsDamaged)
{
    TempDir dir;
    int64_t rows = 0;
    {
        Damaged d = MakeDamageable(dir, "whole.db");
        ASSERT_FALSE(d.leaves.empty());
        ASSERT_FALSE(d.interiors.empty());
        EXPECT_EQ(ReadThrough(d, rows), TablePages::Step::End);
        EXPECT_EQ(rows, d.rows);
    }
    {
        // Cut short: the pages past the cut are missing.
        Damaged d = MakeDamageable(dir, "cut.db");
        std::filesystem::resize_file(d.path, std::filesystem::file_size(d.path) / 2);
        EXPECT_EQ(ReadThrough(d, rows), TablePages::Step::Damaged);
        EXPECT_LT(rows, d.rows);
    }
    {
        // A leaf's first cell pointer past the page's end.
        Damaged d = MakeDamageable(dir, "cell.db");
        Patch(d.path, uint64_t{d.leaves[d.leaves.size() / 2] - 1} * d.pageSize + 8, "\xff\xf0");
        EXPECT_EQ(ReadThrough(d, rows), TablePages::Step::Damaged);
    }
    {
        // An interior page whose child is the root again: the walk would never end.
        Damaged d = MakeDamageable(dir, "cycle.db");
        const uint32_t root = d.root;
        const std::string pointer{static_cast<char>(root >> 24), static_cast<char>(root >> 16),
                                  static_cast<char>(root >> 8), static_cast<char>(root)};
        for (uint32_t interior : d.interiors)
            Patch(d.path, uint64_t{interior - 1} * d.pageSize + 8, pointer);  // right child
        EXPECT_EQ(ReadThrough(d, rows), TablePages::Step::Damaged);
    }
    {
        // Two leaves swapped in their parent: rowids out of order.
        Damaged d = MakeDamageable(dir, "order.db");
        std::ifstream in(d.path, std::ios::binary);
        std::vector<char> a(d.pageSize), b(d.pageSize);
        const uint32_t first = d.leaves[1], second = d.leaves[d.leaves.size() - 2];
        in.seekg(static_cast<std::streamoff>(first - 1) * d.pageSize);
        in.read(a.data(), d.pageSize);
        in.seekg(static_cast<std::streamoff>(second - 1) * d.pageSize);
        in.read(b.data(), d.pageSize);
        in.close();
        Patch(d.path, uint64_t{first - 1} * d.pageSize, std::string(b.begin(), b.end()));
        Patch(d.path, uint64_t{second - 1} * d.pageSize, std::string(a.begin(), a.end()));
        EXPECT_EQ(ReadThrough(d, rows), TablePages::Step::Damaged);
    }
}

TEST(TablePagesDamageTest, RandomDamageNeverCrashes)
{
    TempDir dir;
    Damaged d = MakeDamageable(dir, "random.db");
    const std::vector<char> original = ReadFile(d.path);
    std::mt19937 random(7);
    for (int round = 0; round < 150; ++round) {
        std::vector<char> bytes = original;
        // A few bytes or a whole stretch of garbage, in the tree's pages mostly.
        const int hits = 1 + static_cast<int>(random() % 40);
        for (int n = 0; n < hits; ++n) {
            const uint32_t page = round % 2 ? d.leaves[random() % d.leaves.size()]
                                            : d.interiors[random() % d.interiors.size()];
            const size_t at = uint64_t{page - 1} * d.pageSize + random() % d.pageSize;
            bytes[at] = static_cast<char>(random());
        }
        WriteFile(d.path, bytes);
        int64_t rows = 0;
        const TablePages::Step step = ReadThrough(d, rows);
        EXPECT_NE(step, TablePages::Step::Row);
    }
}

}  // namespace
