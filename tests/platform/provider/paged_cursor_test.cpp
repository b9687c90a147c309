// A cursor's long reads of images from a table's pages must give exactly the images a read
// through SQLite gives, and leave the read to SQLite wherever the file may not hold what the
// connection reads.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "paged_reads.h"
#include "platform/provider/cursor.h"
#include "sqlite_files.h"
#include "support/temp_dir.h"

namespace {

using provider::AccessType;
using provider::RowImage;
using namespace sqlitefiles;
using testsupport::TempDir;

const char* const kColumns[] = {"k", "n", "s", "b", "y", "m", "r", "f", "d", "t", "z"};
const AccessType kTypes[] = {AccessType::Long,   AccessType::Long,   AccessType::Short,
                             AccessType::Byte,   AccessType::YesNo,  AccessType::Currency,
                             AccessType::Double, AccessType::Single, AccessType::DateTime,
                             AccessType::Text,   AccessType::Text};
constexpr int kCursorRows = 12000;  // well past the rows read one by one before pages

// T keyed by its rowid, a column of every compact form: most values in their column's
// stored form, some not (text in a long, a blob or bytes that are not UTF-8 in a text,
// integers too wide for the column), long texts, Nulls, and a column added with a
// default after most rows were written.
void MakeCursorTable(sqlite3* db)
{
    Exec(db, "PRAGMA page_size = 4096");
    Exec(db, "CREATE TABLE T (k INTEGER PRIMARY KEY, n, s, b, y, m, r, f, d, t)");
    // The last thousand rows come first, before the column is added.
    Exec(db,
         "WITH RECURSIVE i(i) AS (SELECT 11001 UNION ALL SELECT i + 1 FROM i WHERE i < 12000) "
         "INSERT INTO T (k, n, t) SELECT i * 3, i, 'early ' || i FROM i");
    Exec(db, "ALTER TABLE T ADD COLUMN z DEFAULT 'default'");
    Exec(db,
         "WITH RECURSIVE i(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM i WHERE i < 11000) "
         "INSERT INTO T SELECT i * 3, "
         "CASE WHEN i % 101 = 0 THEN 'text in a long' WHEN i % 17 = 0 THEN 8589934593 "
         "  WHEN i % 11 = 0 THEN NULL ELSE i * 5 - 20000 END, "
         "i % 70000 - 35000, i % 256, CASE WHEN i % 19 = 0 THEN 4294967296 ELSE i % 2 END, "
         "i * 10000 + 1, CASE WHEN i % 109 = 0 THEN 'x' ELSE i * 0.25 END, i * 0.125, "
         "i * 1.5 - 3000, "
         "CASE WHEN i % 103 = 0 THEN x'00ff41' WHEN i % 107 = 0 THEN CAST(x'41ff42' AS TEXT) "
         "  WHEN i % 13 = 0 THEN substr(hex(zeroblob(4000)), 1, 5000 + i % 300) "
         "  WHEN i % 11 = 0 THEN NULL ELSE 'row ' || i || ' \u00e9' END, "
         "CASE WHEN i % 2 THEN 'own' END FROM i");
}

provider::EmittedSelect CursorSelect(bool byRowid)
{
    provider::EmittedSelect select;
    std::string items;
    for (size_t i = 0; i < std::size(kColumns); ++i) {
        items += std::string(i ? ", " : "") + "\"" + kColumns[i] + "\"";
        provider::ResultColumn column;
        column.name = std::wstring(kColumns[i], kColumns[i] + std::strlen(kColumns[i]));
        column.stored = true;
        column.type.type = kTypes[i];
        select.columns.push_back(column);
    }
    const std::string from = " FROM \"T\" AS \"T\"";
    const std::string first = byRowid ? "\"T\".\"k\"" : "\"T\".\"n\"";
    select.sql =
        "SELECT " + items + ", \"T\".rowid" + from + " ORDER BY " + first + ", \"T\".rowid";
    select.rowLookup = "SELECT " + items + from + " WHERE \"T\".rowid = ?1";
    select.rangeItems = items + ", \"T\".rowid";
    select.rangeFrom = from;
    select.orderTerms = {first, "\"T\".rowid"};
    return select;
}

struct ReadOut : pagedreads::PagedRead {
    std::vector<RowImage> images;
};

// Every row of the select as images, 16 a call; `during(row)` runs before each call.
ReadOut ReadImages(sqlite3* db, const provider::EmittedSelect& select, bool allowPages,
                   const std::function<void(size_t)>& during = {}, const bool* holds = nullptr)
{
    ReadOut out;
    pagedreads::ReadEveryImage(
        db, select, allowPages, during, holds,
        [&](const RowImage& image) { out.images.push_back(image); }, out);
    return out;
}

void ExpectSameImages(const ReadOut& got, const ReadOut& want)
{
    ASSERT_EQ(got.images.size(), want.images.size());
    for (size_t row = 0; row < want.images.size(); ++row) {
        const RowImage& a = got.images[row];
        const RowImage& b = want.images[row];
        ASSERT_EQ(a.columns.size(), b.columns.size());
        for (size_t c = 0; c < a.columns.size(); ++c) {
            const RowImage::Slot& x = a.columns[c];
            const RowImage::Slot& y = b.columns[c];
            const std::string at = "row " + std::to_string(row) + " column " + kColumns[c];
            ASSERT_EQ(x.kind, y.kind) << at;
            EXPECT_EQ(x.vt, y.vt) << at;
            switch (x.kind) {
                case RowImage::Integer:
                case RowImage::Bool:
                case RowImage::Money:
                    EXPECT_EQ(x.i, y.i) << at;
                    break;
                case RowImage::Real:
                case RowImage::Date:
                    EXPECT_EQ(x.r, y.r) << at;
                    break;
                case RowImage::Text:
                    EXPECT_EQ(a.TextOf(x), b.TextOf(y)) << at;
                    break;
                case RowImage::Value:
                    EXPECT_TRUE(a.ValueOf(x) == b.ValueOf(y)) << at;
                    break;
                case RowImage::Null:
                    break;
            }
        }
    }
}

// Both reads in the transaction `db` holds, which they end: the one allowed the pages leaves
// them to SQLite throughout and gives SQLite's images (returned), the last row's t `lastText`.
ReadOut ExpectReadThroughSqlite(sqlite3* db, const std::string& lastText)
{
    const ReadOut pages = ReadImages(db, CursorSelect(true), true);
    const ReadOut sqlite = ReadImages(db, CursorSelect(true), false);
    Exec(db, "COMMIT");
    EXPECT_FALSE(pages.pages);
    ExpectSameImages(pages, sqlite);
    EXPECT_EQ(pages.images.back().TextOf(pages.images.back().columns[9]), lastText);
    return sqlite;
}

class PagedCursorTest : public testing::Test {
protected:
    void SetUp() override
    {
        db = OpenDb(path);
        MakeCursorTable(db);
    }
    void TearDown() override { sqlite3_close(db); }

    TempDir dir;
    std::string path = (dir / "cursor.db").string();
    sqlite3* db = nullptr;
};

TEST_F(PagedCursorTest, ImagesFromPagesAreThoseSqliteGives)
{
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut sqlite = ReadImages(db, CursorSelect(true), false);
    const ReadOut pages = ReadImages(db, CursorSelect(true), true);
    ASSERT_EQ(sqlite.images.size(), static_cast<size_t>(kCursorRows));
    EXPECT_FALSE(sqlite.pages);
    EXPECT_TRUE(pages.pages);
    ExpectSameImages(pages, sqlite);
    // Rows the pages cannot image as they stand are SQLite's: text in a long column, and
    // the added column's default in the rows written before it.
    EXPECT_EQ(pages.images[9998].columns[1].kind, RowImage::Value);
    ASSERT_EQ(pages.images[11500].columns[10].kind, RowImage::Text);
    EXPECT_EQ(pages.images[11500].TextOf(pages.images[11500].columns[10]), "default");

    // Not in rowid order: read through SQLite throughout.
    const ReadOut byValue = ReadImages(db, CursorSelect(false), true);
    EXPECT_FALSE(byValue.pages);
    ExpectSameImages(byValue, ReadImages(db, CursorSelect(false), false));
    Exec(db, "COMMIT");
}

TEST_F(PagedCursorTest, AReadGoesOnThroughSqliteOnceTheFileNoLongerHoldsItsState)
{
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut sqlite = ReadImages(db, CursorSelect(true), false);
    // The hold ends part of the way.
    bool holds = true;
    const ReadOut ended = ReadImages(
        db, CursorSelect(true), true, [&](size_t row) { holds = row < 10000; }, &holds);
    EXPECT_TRUE(ended.pages);
    EXPECT_FALSE(ended.pagesAtEnd);
    ExpectSameImages(ended, sqlite);
    // A change made through the connection part of the way, to rows still ahead: the read
    // gives them changed, as the state it goes on reading has them.
    const ReadOut changed = ReadImages(db, CursorSelect(true), true, [&](size_t row) {
        if (row == 10000)
            Exec(db, "UPDATE T SET t = 'changed' WHERE k > 33000");
    });
    Exec(db, "COMMIT");
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut changedSqlite = ReadImages(db, CursorSelect(true), false);
    Exec(db, "COMMIT");
    EXPECT_TRUE(changed.pages);
    EXPECT_FALSE(changed.pagesAtEnd);
    ASSERT_EQ(changed.images.back().columns[9].kind, RowImage::Text);
    EXPECT_EQ(changed.images.back().TextOf(changed.images.back().columns[9]), "changed");
    ExpectSameImages(changed, changedSqlite);
}

TEST_F(PagedCursorTest, ALogWithFramesNotYetInTheFileIsReadThroughSqlite)
{
    Exec(db, "PRAGMA journal_mode = wal");
    // An older reader keeps the newer frames out of the file.
    sqlite3* old = OpenDb(path);
    Exec(old, "BEGIN");
    Exec(old, "SELECT count(*) FROM T");
    Exec(db, "UPDATE T SET t = 'logged' WHERE k > 27000");
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut sqlite = ExpectReadThroughSqlite(db, "logged");
    Exec(old, "COMMIT");
    sqlite3_close(old);

    // With the log all in the file, the pages serve again, and see the change.
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut again = ReadImages(db, CursorSelect(true), true);
    Exec(db, "COMMIT");
    EXPECT_TRUE(again.pages);
    ExpectSameImages(again, sqlite);
}

TEST_F(PagedCursorTest, AFileReplacedUnderItsNameIsNotReadByTheName)
{
    // Another file takes the name while the hold lasts: the connection goes on reading the
    // one it opened.
    Exec(db, "BEGIN IMMEDIATE");
    Exec(db, "SELECT count(*) FROM T");
    const std::string other = (dir / "other.db").string();
    std::filesystem::copy_file(path, other);
    sqlite3* changer = OpenDb(other);
    Exec(changer, "UPDATE T SET t = 'other file'");
    sqlite3_close(changer);
    std::filesystem::rename(other, path);
    ExpectReadThroughSqlite(db, "early 12000");
}

TEST_F(PagedCursorTest, ADamagedPageIsLeftToSqliteToReport)
{
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut whole = ReadImages(db, CursorSelect(true), false);
    Exec(db, "COMMIT");
    sqlite3_close(db);
    // Every leaf of the second half of the table: its type byte broken.
    {
        std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
        const auto size = std::filesystem::file_size(path);
        std::vector<char> page(4096);
        for (uint64_t at = size / 2 / 4096 * 4096; at + 4096 <= size; at += 4096) {
            f.seekg(static_cast<std::streamoff>(at));
            f.read(page.data(), 4096);
            if (page[0] == 0x0D) {
                f.seekp(static_cast<std::streamoff>(at));
                f.write("\x07", 1);
            }
        }
    }
    db = OpenDb(path);
    Exec(db, "BEGIN IMMEDIATE");
    std::string sqliteError, pagesError;
    size_t sqliteRows = 0, pagesRows = 0;
    for (bool allow : {false, true}) {
        size_t rows = 0;
        try {
            ReadImages(db, CursorSelect(true), allow, [&](size_t row) { rows = row; });
        } catch (const std::exception& e) {
            (allow ? pagesError : sqliteError) = e.what();
        }
        (allow ? pagesRows : sqliteRows) = rows;
    }
    Exec(db, "ROLLBACK");
    EXPECT_FALSE(sqliteError.empty()) << "SQLite finds the damage";
    EXPECT_EQ(pagesError, sqliteError);
    EXPECT_EQ(pagesRows, sqliteRows);
    EXPECT_LT(sqliteRows, whole.images.size());
}

}  // namespace
