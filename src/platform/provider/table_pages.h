// The rows of a rowid table read straight from the pages of its database file, in
// rowid order: the B-tree of the table walked leaf by leaf, each record's header and
// values decoded where they lie (a record that runs over into overflow pages is put
// together first). A long read of a whole table costs SQLite's statement machinery
// per row and per column; this costs a few tests per value.
//
// It reads the file as it stands, so it gives what SQLite gives only while the file
// holds the very state the reading connection sees: the caller makes sure of that.
// Anything it cannot vouch for (a page that does not parse, rowids out of order, a
// chain of pages that runs off the file) ends the read as Damaged, and the caller
// reads on through SQLite, which answers for the file as it always does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3_file;

namespace provider {

class TablePages {
public:
    // A value as the record stores it. Text and blob bytes point into the reader's
    // memory and stay valid until the next move.
    struct Field {
        enum Type : uint8_t { Null, Integer, Real, Text, Blob } type = Null;
        int64_t i = 0;
        double r = 0;
        const unsigned char* bytes = nullptr;
        uint32_t size = 0;
    };

    // The table whose B-tree has its root at page `root` of the database file `handle`
    // that an SQLite connection has open, read through the connection's own descriptor:
    // a descriptor of its own would drop every lock the process holds on the file when
    // it closed. Null when its header is not one of a UTF-8 database this reader knows.
    static std::unique_ptr<TablePages> Open(sqlite3_file* handle, uint32_t root);
    // The same of a file that no connection of this process has open, by its name.
    static std::unique_ptr<TablePages> Open(const std::string& file, uint32_t root);
    ~TablePages();
    TablePages(const TablePages&) = delete;
    TablePages& operator=(const TablePages&) = delete;

    enum class Step { Row, End, Damaged };

    static constexpr uint64_t kAnyRows = UINT64_MAX;
    // Stands before the first row whose rowid is greater than `afterRowid`, walking from
    // the table's first row. Given `rowsBefore`, it stands after that many rows instead,
    // the last of which must be `afterRowid`: where a read of as many rows went on from.
    // Damaged when the way there does not parse (or, given rowsBefore, is not that walk).
    Step Seek(int64_t afterRowid, uint64_t rowsBefore = kAnyRows);
    Step First();
    // The next row: its rowid and fields. After End or Damaged it stays there.
    Step Next();
    int64_t Rowid() const { return rowid_; }
    const std::vector<Field>& Fields() const { return fields_; }

    uint32_t PageSize() const { return pageSize_; }

private:
    struct Level {
        uint32_t page = 0;
        std::vector<unsigned char> data;
        unsigned cells = 0;
        unsigned at = 0;      // the cell being read (interior: the child descended into)
        unsigned header = 0;  // offset of the B-tree page header
        unsigned first = 0;   // the least offset a cell may have
        bool leaf = false;
    };

    TablePages() = default;
    static std::unique_ptr<TablePages> Begin(std::unique_ptr<TablePages> pages, uint32_t root);
    bool ReadAt(unsigned char* data, uint32_t size, uint64_t offset) const;
    Step Start();
    bool ReadPage(uint32_t page, std::vector<unsigned char>& data) const;
    bool Load(size_t depth, uint32_t page);
    bool Child(const Level& level, unsigned index, uint32_t& child) const;
    bool Descend(size_t depth, uint32_t page);
    Step Advance();
    Step DecodeCell();
    bool DecodeRecord(const unsigned char* payload, uint32_t size);

    sqlite3_file* handle_ = nullptr;  // the connection's file, or
    int fd_ = -1;                     // a descriptor of this reader's own
    uint32_t root_ = 0;
    uint32_t pageSize_ = 0;
    uint32_t usable_ = 0;
    uint64_t pageCount_ = 0;
    std::vector<Level> levels_;
    size_t depth_ = 0;    // levels in use
    uint64_t loads_ = 0;  // pages loaded since the start
    bool done_ = false;
    bool damaged_ = false;
    bool started_ = false;
    int64_t rowid_ = 0;
    bool floored_ = false;  // every rowid from here on must be past floor_
    int64_t floor_ = 0;
    std::vector<unsigned char> payload_;   // a record put together from overflow pages
    std::vector<unsigned char> overflow_;  // one overflow page
    std::vector<Field> fields_;
};

}  // namespace provider
