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

    // The table whose B-tree has its root at page `root` of the file `file`. Null when
    // the file cannot be opened or its header is not one of a UTF-8 database this
    // reader knows.
    static std::unique_ptr<TablePages> Open(const std::string& file, uint32_t root);
    ~TablePages();
    TablePages(const TablePages&) = delete;
    TablePages& operator=(const TablePages&) = delete;

    enum class Step { Row, End, Damaged };

    // Stands before the first row whose rowid is greater than `afterRowid`, or before
    // the table's first row. Damaged when the way there does not parse.
    Step Seek(int64_t afterRowid);
    Step First();
    // The next row: its rowid and fields. After End or Damaged it stays there.
    Step Next();
    int64_t Rowid() const { return rowid_; }
    const std::vector<Field>& Fields() const { return fields_; }

    uint32_t PageSize() const { return pageSize_; }
    // Whether the name it was opened by still names the file it reads.
    bool StillAt(const std::string& file) const;

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
    Step Start(int64_t afterRowid, bool seeking);
    bool ReadPage(uint32_t page, std::vector<unsigned char>& data) const;
    bool Load(size_t depth, uint32_t page);
    bool Child(const Level& level, unsigned index, uint32_t& child) const;
    bool CellKey(const Level& level, unsigned index, int64_t& key) const;
    bool Descend(size_t depth, uint32_t page, int64_t afterRowid, bool seeking);
    Step Advance();
    Step DecodeCell();
    bool DecodeRecord(const unsigned char* payload, uint32_t size);

    int fd_ = -1;
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
