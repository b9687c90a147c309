// A long read of images that goes on from a table's pages, against the same read through
// SQLite alone, in the states a file is in while it is compared: locked by the connection that
// reads it, changed part of the way through the read, left with a hot journal, opened as it
// stands, renamed over, read twice at once, or with keys that do not bound their rows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

constexpr int kRows = 12000;  // past the rows a long read takes one by one before the pages

// T (k INTEGER PRIMARY KEY, n, t) of kRows rows keyed 1.., in 1024-byte pages.
void MakeTable(const std::string& path, const char* journal)
{
    sqlite3* db = OpenNewDb(path, 1024);
    Exec(db, std::string("PRAGMA journal_mode = ") + journal);
    Exec(db, "CREATE TABLE T (k INTEGER PRIMARY KEY, n, t)");
    Exec(db,
         "WITH RECURSIVE i(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM i WHERE i < " +
             std::to_string(kRows) + ") INSERT INTO T SELECT i, i * 7, 'row ' || i FROM i");
    sqlite3_close(db);
}

// The whole table in rowid order. Without `ranged` the select gives a reader nothing to read
// by stretches or pages: it is read by its one statement, SQLite's answer to compare with.
provider::EmittedSelect Select(bool ranged)
{
    provider::EmittedSelect select;
    const char* const names[] = {"k", "n", "t"};
    const AccessType types[] = {AccessType::Long, AccessType::Long, AccessType::Text};
    for (int i = 0; i < 3; ++i) {
        provider::ResultColumn column;
        column.name = std::wstring(names[i], names[i] + 1);
        column.stored = true;
        column.type.type = types[i];
        select.columns.push_back(column);
    }
    const std::string items = "\"k\", \"n\", \"t\"", from = " FROM \"T\" AS \"T\"";
    select.sql = "SELECT " + items + ", \"T\".rowid" + from + " ORDER BY \"T\".\"k\", \"T\".rowid";
    select.rowLookup = "SELECT " + items + from + " WHERE \"T\".rowid = ?1";
    if (ranged) {
        select.rangeItems = items + ", \"T\".rowid";
        select.rangeFrom = from;
        select.orderTerms = {"\"T\".\"k\"", "\"T\".rowid"};
    }
    return select;
}

struct ReadOut : pagedreads::PagedRead {
    std::vector<std::string> rows;  // each image as text
    std::string error;
};

std::string ImageText(const RowImage& image)
{
    std::string text;
    for (const RowImage::Slot& slot : image.columns) {
        text += "|" + std::to_string(slot.kind) + ":";
        switch (slot.kind) {
            case RowImage::Integer:
            case RowImage::Bool:
            case RowImage::Money:
                text += std::to_string(slot.i);
                break;
            case RowImage::Real:
            case RowImage::Date:
                text += std::to_string(slot.r);
                break;
            case RowImage::Text:
                text += image.TextOf(slot);
                break;
            case RowImage::Value:
                text += image.ValueOf(slot).IsNull() ? "null" : "value";
                break;
            case RowImage::Null:
                break;
        }
    }
    return text;
}

// Every row of the select as images, 16 a call, as a comparison reads them; `during(row)` runs
// before each call, and the pages are read for as long as `*holds`.
ReadOut ReadImages(sqlite3* db, bool pages, const std::function<void(size_t)>& during = {},
                   const bool* holds = nullptr)
{
    ReadOut out;
    try {
        pagedreads::ReadEveryImage(
            db, Select(pages), pages, during, holds,
            [&](const RowImage& image) { out.rows.push_back(ImageText(image)); }, out);
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    return out;
}

void ExpectSameRows(const ReadOut& got, const ReadOut& want)
{
    EXPECT_EQ(got.error, want.error);
    EXPECT_EQ(got.rows.size(), want.rows.size());
    for (size_t row = 0; row < got.rows.size() && row < want.rows.size(); ++row)
        if (got.rows[row] != want.rows[row]) {
            ADD_FAILURE() << "row " << row << ": " << got.rows[row] << " where SQLite gives "
                          << want.rows[row];
            break;
        }
}

// A read through SQLite alone and one going on from the pages, each by `read(path, pages)` in a
// file of its own in `dir`: the pages were read, and gave SQLite's rows and its error.
void ExpectPagesReadAsSqlite(const TempDir& dir,
                             const std::function<ReadOut(const std::string& path, bool pages)>& read)
{
    ReadOut got[2];
    for (bool pages : {false, true})
        got[pages] = read((dir / (pages ? "pages.db" : "sqlite.db")).string(), pages);
    EXPECT_TRUE(got[1].pages);
    ExpectSameRows(got[1], got[0]);
}

// --- the connection's locks on its file ------------------------------------------------------

// Whether another process finds SQLite's shared lock (the range of bytes its readers lock, at
// the file's first gigabyte) or its reserved lock (the byte before it) held on the file.
bool OthersSeeLock(const std::string& path, off_t start, off_t length)
{
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(path.c_str(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = start;
        lock.l_len = length;
        const bool held = fd >= 0 && fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        _exit(held ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

constexpr off_t kReservedByte = 0x40000001, kSharedFirst = 0x40000002, kSharedSize = 510;

class PagedCursorLockTest : public testing::TestWithParam<const char*> {};

// The hold a comparison takes keeps other programs from writing the file while it is read
// (that is what lets the pages be read at all), and a log's readers keep the file's shared lock
// so that no other program takes the file for its own and removes the log from under them.
// Closing any descriptor of a file drops every lock this process holds on it, SQLite's own
// among them: the reader of the pages must not.
// So the pages are read through the connection's own descriptor of the file.
TEST_P(PagedCursorLockTest, TheLocksOfTheConnectionOutlastTheReadOfPages)
{
    TempDir dir;
    const std::string path = (dir / "locked.db").string();
    MakeTable(path, GetParam());
    sqlite3* db = OpenDb(path);
    Exec(db, "BEGIN IMMEDIATE");
    Exec(db, "SELECT count(*) FROM T");
    const bool rollback = std::string(GetParam()) != "wal";
    ASSERT_TRUE(OthersSeeLock(path, kSharedFirst, kSharedSize));
    if (rollback) {
        ASSERT_TRUE(OthersSeeLock(path, kReservedByte, 1));
    }
    const ReadOut read = ReadImages(db, true);
    EXPECT_TRUE(read.pages);
    EXPECT_EQ(read.rows.size(), static_cast<size_t>(kRows));
    EXPECT_TRUE(OthersSeeLock(path, kSharedFirst, kSharedSize)) << "the shared lock is gone";
    if (rollback) {
        EXPECT_TRUE(OthersSeeLock(path, kReservedByte, 1)) << "the reserved lock is gone";
    }
    // And so another program (the SQLite shell, where there is one) writes the file in the
    // middle of the hold, or takes it out of its log while the connection reads from the log.
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open("/dev/null", O_WRONLY);
        dup2(fd, 1);
        dup2(fd, 2);
        execlp("sqlite3", "sqlite3", path.c_str(),
               rollback ? "INSERT INTO T VALUES (-1, 0, 'another program')"
                        : "PRAGMA journal_mode = DELETE",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (rollback) {
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "another program wrote the file while the connection held it";
        Exec(db, "INSERT INTO T VALUES (-2, 0, 'the connection')");
    } else {
        EXPECT_TRUE(std::filesystem::exists(path + "-wal"))
            << "another program took the log away from the connection reading it";
    }
    Exec(db, "COMMIT");
    sqlite3_close(db);
    db = OpenDb(path);
    if (rollback && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        // The other program was told its row went in; the connection's commit then wrote its
        // own pages, read before that row, over it.
        sqlite3_stmt* row = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM T WHERE k = -1", -1, &row, nullptr);
        ASSERT_EQ(sqlite3_step(row), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(row, 0), 1) << "the other program's committed row is lost";
        sqlite3_finalize(row);
    }
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);
}

INSTANTIATE_TEST_SUITE_P(Journals, PagedCursorLockTest, testing::Values("delete", "wal"));

// --- keys that do not bound their rows -------------------------------------------------------

uint32_t Get32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// A key of one or two varint bytes at p, its length in `size`.
int64_t GetKey(const unsigned char* p, int& size)
{
    size = p[0] & 0x80 ? 2 : 1;
    return size == 1 ? p[0] : (p[0] & 0x7f) << 7 | p[1];
}

// Lowers the key bounding the leaf that holds `rowid` (in that leaf's parent) to `rowid`: the
// rows after it in the leaf lie past their key. False if that key is `rowid` already.
bool LowerKeyOver(const std::string& path, uint32_t root, int64_t rowid)
{
    constexpr uint32_t kPage = 1024;
    std::vector<char> file = ReadFile(path);
    uint32_t page = root;
    for (;;) {
        unsigned char* p = reinterpret_cast<unsigned char*>(&file[uint64_t{page - 1} * kPage]);
        if (p[0] != 0x05)
            return false;
        const unsigned cells = p[3] << 8 | p[4];
        unsigned index = 0;
        int size = 0;
        for (; index < cells; ++index) {
            const unsigned cell = p[12 + 2 * index] << 8 | p[13 + 2 * index];
            if (GetKey(p + cell + 4, size) >= rowid)
                break;
        }
        const unsigned cell = index < cells ? (p[12 + 2 * index] << 8 | p[13 + 2 * index]) : 0;
        const uint32_t child = index < cells ? Get32(p + cell) : Get32(p + 8);
        const unsigned char* c = reinterpret_cast<unsigned char*>(&file[uint64_t{child - 1} * kPage]);
        if (c[0] == 0x0D) {
            if (index == cells || GetKey(p + cell + 4, size) == rowid || size != 2 ||
                rowid < 128)
                return false;
            p[cell + 4] = static_cast<unsigned char>(0x80 | rowid >> 7);
            p[cell + 5] = static_cast<unsigned char>(rowid & 0x7f);
            WriteFile(path, file);
            return true;
        }
        page = child;
    }
}

// SQLite reads a table from its first row to its last by the children of its pages, whatever
// their keys say; a read that seeks past the rows it has read goes by the keys. A key lower
// than the rows of its child (a damaged file, which SQLite reads all the same) then has the
// read skip rows: a comparison would take them for rows missing and have them deleted or
// written again.
// So the pages go on from the rows read by walking them from the first, as SQLite did.
TEST(PagedCursorKeyTest, ASeekPastTheRowsReadSkipsNoRowSqliteReads)
{
    TempDir dir;
    const std::string path = (dir / "keys.db").string();
    MakeTable(path, "delete");
    const uint32_t root = RootOf(path, "T");
    // The rows up to the 8192nd are read through SQLite, the rest by a seek past it.
    const int64_t lastRead = provider::Cursor::kScanAfter;
    ASSERT_TRUE(LowerKeyOver(path, root, lastRead)) << "the table's shape has changed";
    sqlite3* db = OpenDb(path);
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut sqlite = ReadImages(db, false);
    const ReadOut pages = ReadImages(db, true);
    Exec(db, "COMMIT");
    sqlite3_close(db);
    ASSERT_EQ(sqlite.rows.size(), static_cast<size_t>(kRows)) << sqlite.error;
    EXPECT_TRUE(pages.pages);
    ExpectSameRows(pages, sqlite);
}

// --- changes part of the way through the read ------------------------------------------------

struct Change {
    const char* what;
    const char* sql;
};

void PrintTo(const Change& c, std::ostream* os)
{
    *os << c.what;
}

class PagedCursorChangeTest : public testing::TestWithParam<Change> {};

// A change made through the reading connection part of the way ends the read from the pages,
// and SQLite reads on. Its statement, left where the read was, would go on from the row after
// the last one read; a statement made again that skips as many rows as were read lands
// elsewhere once rows before it were deleted or added.
// So the statement that read before the pages passes over the rows they gave and reads on.
TEST_P(PagedCursorChangeTest, AChangeThroughTheConnectionBehindTheReadLosesNoRow)
{
    TempDir dir;
    const std::string source = (dir / "source.db").string();
    MakeTable(source, "delete");
    ExpectPagesReadAsSqlite(dir, [&](const std::string& path, bool pages) {
        std::filesystem::copy_file(source, path);
        sqlite3* db = OpenDb(path);
        Exec(db, "BEGIN IMMEDIATE");
        const ReadOut read = ReadImages(db, pages, [&](size_t row) {
            if (row == 10000)
                Exec(db, GetParam().sql);
        });
        Exec(db, "COMMIT");
        sqlite3_close(db);
        return read;
    });
}

INSTANTIATE_TEST_SUITE_P(
    Changes, PagedCursorChangeTest,
    testing::Values(Change{"rows read deleted", "DELETE FROM T WHERE k <= 10"},
                    Change{"rows added before those read", "INSERT INTO T VALUES (-5, 0, 'a'), "
                                                           "(-4, 0, 'b')"}));

// The hold ends part of the way and another connection deletes rows already read. SQLite's
// statement reads on in the state it began in; the read goes on from the pages no more, and
// must not go on in another state either.
// The statement that read before the pages keeps its read transaction and reads on in it.
TEST(PagedCursorSnapshotTest, AReadGoingOnThroughSqliteStaysInItsState)
{
    TempDir dir;
    ExpectPagesReadAsSqlite(dir, [](const std::string& path, bool pages) {
        MakeTable(path, "wal");
        sqlite3* db = OpenDb(path);
        sqlite3* other = OpenDb(path);
        bool holds = true;
        const ReadOut read = ReadImages(
            db, pages,
            [&](size_t row) {
                if (row == 10000) {
                    Exec(other, "DELETE FROM T WHERE k <= 10; UPDATE T SET t = 'newer'");
                    holds = false;
                }
            },
            &holds);
        sqlite3_close(other);
        sqlite3_close(db);
        return read;
    });
}

// --- files in the states other programs leave them in ----------------------------------------

// A writer killed in the middle of a transaction that had spilled changed pages into the file:
// its hot journal is rolled back when the file is next read, and the pages read the file after.
TEST(PagedCursorFileStateTest, AHotJournalIsRolledBackBeforeThePagesAreRead)
{
    TempDir dir;
    const std::string path = (dir / "hot.db").string();
    MakeTable(path, "delete");
    const pid_t child = fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db,
                     "PRAGMA cache_size = 10; BEGIN; UPDATE T SET t = 'half-written ' || "
                     "hex(randomblob(40)); UPDATE T SET n = -n;",
                     nullptr, nullptr, nullptr);
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(std::filesystem::exists(path + "-journal"));
    sqlite3* db = OpenDb(path);
    Exec(db, "BEGIN IMMEDIATE");
    const ReadOut sqlite = ReadImages(db, false);
    const ReadOut pages = ReadImages(db, true);
    Exec(db, "COMMIT");
    sqlite3_close(db);
    ASSERT_EQ(sqlite.rows.size(), static_cast<size_t>(kRows));
    EXPECT_EQ(sqlite.rows.back(), "|1:12000|1:84000|6:row 12000");
    EXPECT_TRUE(pages.pages);
    ExpectSameRows(pages, sqlite);
}

// A copy of a file in the middle of its use (its log holds changes not yet in it), opened as it
// stands, read-only: the pages must not read the file without its log.
TEST(PagedCursorFileStateTest, AFileOpenedAsItStandsWithItsLogIsReadWithTheLog)
{
    TempDir dir;
    const std::string path = (dir / "live.db").string();
    MakeTable(path, "wal");
    sqlite3* writer = OpenDb(path);
    Exec(writer, "PRAGMA wal_autocheckpoint = 0; UPDATE T SET t = 'logged' WHERE k > 9000");
    const std::string copy = (dir / "copy.db").string();
    std::filesystem::copy_file(path, copy);
    std::filesystem::copy_file(path + "-wal", copy + "-wal");
    sqlite3_close(writer);
    for (const char* open : {"file:%s?immutable=1", "file:%s?mode=ro"}) {
        SCOPED_TRACE(open);
        char uri[4096];
        std::snprintf(uri, sizeof uri, open, copy.c_str());
        sqlite3* db = OpenDb(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        Exec(db, "BEGIN");
        const ReadOut sqlite = ReadImages(db, false);
        const ReadOut pages = ReadImages(db, true);
        Exec(db, "COMMIT");
        sqlite3_close(db);
        ASSERT_EQ(sqlite.rows.size(), static_cast<size_t>(kRows)) << sqlite.error;
        ExpectSameRows(pages, sqlite);
    }
}

// Another file renamed over the name in the middle of the read, or the file cut short or
// grown by another program: the connection reads on in the file it has open (or finds it
// damaged), and the pages give what it gives, and the error it gives.
TEST(PagedCursorFileStateTest, AFileChangedUnderItsNameInTheMiddleOfTheRead)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& path, const std::string& other)> change;
    };
    const Case cases[] = {
        {"renamed over",
         [](const std::string& path, const std::string& other) {
             std::filesystem::rename(other, path);
         }},
        {"grown", [](const std::string& path,
                     const std::string&) { std::filesystem::resize_file(path, 8 << 20); }},
        {"cut short", [](const std::string& path,
                         const std::string&) { std::filesystem::resize_file(path, 225 * 1024); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string source = (dir / "source.db").string();
        MakeTable(source, "delete");
        ExpectPagesReadAsSqlite(dir, [&](const std::string& path, bool pages) {
            const std::string other = (dir / "other.db").string();
            std::filesystem::copy_file(source, path);
            std::filesystem::remove(other);
            std::filesystem::copy_file(source, other);
            {
                sqlite3* changer = OpenDb(other);
                Exec(changer, "UPDATE T SET t = 'other file'");
                sqlite3_close(changer);
            }
            sqlite3* db = OpenDb(path);
            Exec(db, "BEGIN IMMEDIATE");
            const ReadOut read = ReadImages(db, pages, [&](size_t row) {
                if (row == 10000)
                    c.change(path, other);
            });
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            return read;
        });
    }
}

// The file compared with itself: two connections, one by a second name of the file, reading
// at once, each going on from the pages.
TEST(PagedCursorFileStateTest, AFileReadTwiceAtOnceByTwoOfItsNames)
{
    TempDir dir;
    const std::string path = (dir / "self.db").string();
    MakeTable(path, "delete");
    const std::string link = (dir / "link.db").string();
    std::filesystem::create_hard_link(path, link);
    sqlite3* one = OpenDb(path);
    sqlite3* two = OpenDb(link);
    Exec(one, "BEGIN");
    Exec(two, "BEGIN");
    const ReadOut sqlite = ReadImages(one, false);
    ReadOut inner;
    const ReadOut outer = ReadImages(one, true, [&](size_t row) {
        if (row == 9008)
            inner = ReadImages(two, true);
    });
    Exec(one, "COMMIT");
    Exec(two, "COMMIT");
    sqlite3_close(one);
    sqlite3_close(two);
    EXPECT_TRUE(outer.pages);
    EXPECT_TRUE(inner.pages);
    ExpectSameRows(outer, sqlite);
    ExpectSameRows(inner, sqlite);
}

// --- damaged leaves ---------------------------------------------------------------------------


// Whether SQLite's integrity check finds a cell offset out of the page's range.
bool PastThePage(const std::string& path)
{
    sqlite3* db = OpenDb(path);
    std::string check;
    sqlite3_exec(
        db, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0] ? values[0] : "";
            return 0;
        },
        &check, nullptr);
    sqlite3_close(db);
    return check.find("out of range") != std::string::npos;
}

// Bytes changed in the leaves and overflow pages of the rows read from the pages (the keys of
// the interior pages left whole: see above): the read gives SQLite's rows and SQLite's error.
// (A record whose values do not fill its payload is the case a few rounds in sixty meet.)
TEST(PagedCursorDamageTest, DamagedLeavesGiveSqlitesRowsAndError)
{
    TempDir dir;
    const std::string source = (dir / "source.db").string();
    {
        sqlite3* db = OpenNewDb(source, 1024);
        Exec(db, "CREATE TABLE T (k INTEGER PRIMARY KEY, n, t)");
        Exec(db,
             "WITH RECURSIVE i(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM i WHERE i < " +
                 std::to_string(kRows) +
                 ") INSERT INTO T SELECT i, CASE WHEN i % 7 = 0 THEN 'text' ELSE i * 7 END, "
                 "'row ' || i || CASE WHEN i % 40 = 0 THEN substr(hex(zeroblob(2000)), 1, "
                 "1200 + i % 900) ELSE '' END FROM i");
        sqlite3_close(db);
    }
    const std::vector<char> original = ReadFile(source);
    constexpr size_t kPage = 1024;
    const size_t pages = original.size() / kPage;
    const char* env = std::getenv("CRV_PAGED_CURSOR_DAMAGE_ROUNDS");
    const int rounds = env && std::atoi(env) > 0 ? std::atoi(env) : 60;
    uint32_t seed = 97;
    auto random = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    const std::string path = (dir / "damaged.db").string();
    int differ = 0, measured = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<char> bytes = original;
        const int hits = 1 + static_cast<int>(random() % 4);
        std::string how;
        for (int n = 0; n < hits; ++n) {
            // A page of the last third of the file, where the rows past the 8192nd lie.
            const size_t page = pages * 2 / 3 + random() % (pages - pages * 2 / 3);
            if (original[page * kPage] == 0x05)
                continue;
            const size_t at = page * kPage + random() % kPage;
            bytes[at] = static_cast<char>(random());
            how += " " + std::to_string(at);
        }
        WriteFile(path, bytes);
        // A cell that starts past the page's usable end has SQLite read beyond the page, and its
        // answer then changes from one run to the next: such a file is no measure.
        if (PastThePage(path))
            continue;
        ++measured;
        ReadOut got[2];
        for (bool paged : {false, true}) {
            sqlite3* db = OpenDb(path);
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
            got[paged] = ReadImages(db, paged);
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        if (got[0].rows != got[1].rows || got[0].error != got[1].error) {
            if (++differ <= 3) {
                SCOPED_TRACE("round " + std::to_string(round) + ", bytes changed at" + how);
                ExpectSameRows(got[1], got[0]);
            }
        }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(measured, rounds / 2) << "too few damaged files SQLite reads the same each time";
}

// One byte of a record's header changed: the type of its text says 2 bytes where 9 are stored.
// SQLite finds the record malformed (its values end before its payload does) and the read
// fails; the pages must not image the row with its text cut to "ro", which a comparison takes
// for a changed value and a synchronisation writes into the other database.
// The pages take such a record for damage, and SQLite reads on and reports it.
TEST(PagedCursorDamageTest, ARecordSqliteFindsMalformedIsNotImaged)
{
    TempDir dir;
    const std::string path = (dir / "record.db").string();
    MakeTable(path, "delete");
    std::vector<char> bytes = ReadFile(path);
    // The record of row 10001: a header of 4 bytes (k, the rowid, Null; n of 3 bytes; t of 9),
    // then n (70007) and t.
    const std::string record("\x04\x00\x03\x1f\x01\x11\x77row 10001", 16);
    auto at = std::search(bytes.begin(), bytes.end(), record.begin(), record.end());
    ASSERT_NE(at, bytes.end());
    at[3] = '\x11';
    WriteFile(path, bytes);
    sqlite3* db = OpenDb(path);
    Exec(db, "BEGIN");
    const ReadOut sqlite = ReadImages(db, false);
    const ReadOut pages = ReadImages(db, true);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_NE(sqlite.error.find("malformed"), std::string::npos) << sqlite.error;
    EXPECT_TRUE(pages.pages);
    for (const std::string& row : pages.rows)
        EXPECT_NE(row, "|1:10001|1:70007|6:ro") << "the row is imaged with its text cut short";
    ExpectSameRows(pages, sqlite);
}

}  // namespace
