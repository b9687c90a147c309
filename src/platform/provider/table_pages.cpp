// Reading a rowid table's B-tree from the database file.
#include "platform/provider/table_pages.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace provider {

namespace {

constexpr size_t kMaxDepth = 40;  // far deeper than any tree of 2^32 pages
constexpr uint8_t kInteriorTable = 0x05;
constexpr uint8_t kLeafTable = 0x0D;

uint32_t Get16(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 8 | p[1];
}

uint32_t Get32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// A variable-length integer: up to eight bytes of seven bits, the ninth of eight.
bool GetVarint(const unsigned char*& p, const unsigned char* end, uint64_t& value)
{
    value = 0;
    for (int n = 0; n < 9; ++n) {
        if (p >= end)
            return false;
        const unsigned char byte = *p++;
        if (n == 8) {
            value = value << 8 | byte;
            return true;
        }
        value = value << 7 | (byte & 0x7f);
        if (!(byte & 0x80))
            return true;
    }
    return true;
}

// The bytes of a value of a serial type in a record; false for the reserved types.
bool ContentSize(uint64_t type, uint64_t& size)
{
    static const uint8_t kFixed[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    if (type == 10 || type == 11)
        return false;
    size = type < 12 ? kFixed[type] : (type - 12) / 2;
    return true;
}

}  // namespace

std::unique_ptr<TablePages> TablePages::Open(sqlite3_file* handle, uint32_t root)
{
    if (!handle || !handle->pMethods || !handle->pMethods->xRead || !handle->pMethods->xFileSize)
        return nullptr;
    std::unique_ptr<TablePages> pages(new TablePages);
    pages->handle_ = handle;
    return Begin(std::move(pages), root);
}

std::unique_ptr<TablePages> TablePages::Open(const std::string& file, uint32_t root)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<TablePages> pages(new TablePages);
    pages->fd_ = fd;
    return Begin(std::move(pages), root);
}

std::unique_ptr<TablePages> TablePages::Begin(std::unique_ptr<TablePages> pages, uint32_t root)
{
    if (root < 1)
        return nullptr;
    unsigned char header[100];
    if (!pages->ReadAt(header, sizeof header, 0) || std::memcmp(header, "SQLite format 3", 16) != 0)
        return nullptr;
    uint32_t size = Get16(header + 16);
    if (size == 1)
        size = 65536;
    if (size < 512 || size > 65536 || (size & (size - 1)) != 0)
        return nullptr;
    const uint32_t reserved = header[20];
    // Text other than UTF-8 would have to be converted as SQLite converts it.
    if (size - reserved < 480 || Get32(header + 56) != 1)
        return nullptr;
    uint64_t bytes = 0;
    if (pages->handle_) {
        sqlite3_int64 length = 0;
        if (pages->handle_->pMethods->xFileSize(pages->handle_, &length) != SQLITE_OK || length < 0)
            return nullptr;
        bytes = static_cast<uint64_t>(length);
    } else {
        struct stat st {};
        if (::fstat(pages->fd_, &st) != 0)
            return nullptr;
        bytes = static_cast<uint64_t>(st.st_size);
    }
    uint64_t count = bytes / size;
    // The header's count of pages, where it is current, is the database's size: SQLite
    // finds a file shorter than that damaged, and pages past it are not the database's.
    const uint32_t counted = Get32(header + 28);
    if (counted != 0 && Get32(header + 92) == Get32(header + 24)) {
        if (counted > count)
            return nullptr;
        count = counted;
    }
    pages->pageSize_ = size;
    pages->usable_ = size - reserved;
    pages->pageCount_ = count;
    pages->root_ = root;
    if (root > pages->pageCount_)
        return nullptr;
    pages->overflow_.resize(size);
    return pages;
}

TablePages::~TablePages()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool TablePages::ReadAt(unsigned char* data, uint32_t size, uint64_t offset) const
{
    if (handle_)
        return handle_->pMethods->xRead(handle_, data, static_cast<int>(size),
                                        static_cast<sqlite3_int64>(offset)) == SQLITE_OK;
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd_, data + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

bool TablePages::ReadPage(uint32_t page, std::vector<unsigned char>& data) const
{
    if (page < 1 || page > pageCount_)
        return false;
    data.resize(pageSize_);
    return ReadAt(data.data(), pageSize_, static_cast<uint64_t>(page - 1) * pageSize_);
}

bool TablePages::Load(size_t depth, uint32_t page)
{
    // A walk of a sound tree loads every page once at most: more is a cycle.
    if (depth >= kMaxDepth || ++loads_ > pageCount_)
        return false;
    if (levels_.size() <= depth)
        levels_.resize(depth + 1);
    Level& level = levels_[depth];
    if (!ReadPage(page, level.data))
        return false;
    level.page = page;
    level.header = page == 1 ? 100 : 0;
    const unsigned char* h = level.data.data() + level.header;
    if (h[0] != kInteriorTable && h[0] != kLeafTable)
        return false;
    level.leaf = h[0] == kLeafTable;
    level.cells = Get16(h + 3);
    level.at = 0;
    // As SQLite bounds them: no more cells than the page can hold, an interior page with one
    // at least, and every cell after the array of their offsets and four bytes long at least.
    level.first = level.header + (level.leaf ? 8u : 12u) + 2 * level.cells;
    if (level.cells > (pageSize_ - 8) / 6 || (!level.leaf && level.cells == 0) ||
        level.first > usable_ - 4)
        return false;
    depth_ = depth + 1;
    return true;
}

bool TablePages::Child(const Level& level, unsigned index, uint32_t& child) const
{
    const unsigned char* h = level.data.data() + level.header;
    if (index == level.cells) {
        child = Get32(h + 8);
    } else {
        const uint32_t cell = Get16(h + 12 + 2 * index);
        if (cell < level.first || cell > usable_ - 4)
            return false;
        child = Get32(level.data.data() + cell);
    }
    return child >= 1 && child <= pageCount_;
}

// Loads `page` at `depth` and goes down its first children to a leaf, which then stands on
// its first cell.
bool TablePages::Descend(size_t depth, uint32_t page)
{
    for (;;) {
        if (!Load(depth, page))
            return false;
        Level& level = levels_[depth];
        level.at = 0;
        if (level.leaf)
            return true;
        if (!Child(level, 0, page))
            return false;
        ++depth;
    }
}

// SQLite reads a table from its first row on by the children of its pages, whatever the
// keys of the interior pages say, and in a damaged tree in whatever order the rows then come;
// a seek by those keys would skip rows where a damaged key does not bound its child's rows. So
// the walk goes from the first row over those before (checking their order as it goes), which
// costs a few tests per row passed.
TablePages::Step TablePages::Seek(int64_t afterRowid, uint64_t rowsBefore)
{
    Step step = Start();
    for (uint64_t passed = 0; step == Step::Row; ++passed) {
        const bool floored = floored_;
        const int64_t floor = floor_;
        if (rowsBefore != kAnyRows && passed == rowsBefore)
            break;
        step = Next();
        if (step != Step::Row)
            break;
        if (rowsBefore != kAnyRows ? passed + 1 == rowsBefore && rowid_ != afterRowid
                                   : rowid_ > afterRowid) {
            if (rowsBefore != kAnyRows) {
                damaged_ = true;  // not the walk the rows before were read by
                return Step::Damaged;
            }
            // Stands before this row again: the next move decodes it once more.
            started_ = false;
            floored_ = floored;
            floor_ = floor;
            return Step::Row;
        }
    }
    // Past the last row it stands at the end, which the next move gives.
    return step == Step::End && rowsBefore == kAnyRows ? Step::Row : step;
}

TablePages::Step TablePages::First()
{
    return Start();
}

TablePages::Step TablePages::Start()
{
    damaged_ = done_ = false;
    started_ = false;
    depth_ = 0;
    floored_ = false;
    floor_ = 0;
    loads_ = 0;
    if (!Descend(0, root_)) {
        damaged_ = true;
        return Step::Damaged;
    }
    return Step::Row;
}

// From a leaf read to its end, up to the nearest level with a child left and down it.
TablePages::Step TablePages::Advance()
{
    for (;;) {
        Level& leaf = levels_[depth_ - 1];
        if (leaf.at < leaf.cells)
            return Step::Row;
        size_t depth = depth_ - 1;
        for (;;) {
            if (depth == 0)
                return Step::End;
            --depth;
            Level& parent = levels_[depth];
            if (parent.at < parent.cells) {
                ++parent.at;
                break;
            }
        }
        uint32_t child = 0;
        if (!Child(levels_[depth], levels_[depth].at, child) || !Descend(depth + 1, child))
            return Step::Damaged;
    }
}

TablePages::Step TablePages::Next()
{
    if (damaged_)
        return Step::Damaged;
    if (done_ || depth_ == 0)
        return Step::End;
    if (started_)
        ++levels_[depth_ - 1].at;
    Step step = Advance();
    if (step == Step::Row)
        step = DecodeCell();
    if (step == Step::Damaged)
        damaged_ = true;
    else if (step == Step::End)
        done_ = true;
    return step;
}

TablePages::Step TablePages::DecodeCell()
{
    const Level& leaf = levels_[depth_ - 1];
    const unsigned char* data = leaf.data.data();
    const uint32_t cell = Get16(data + leaf.header + 8 + 2 * leaf.at);
    if (cell < leaf.first || cell > usable_ - 4)
        return Step::Damaged;
    const unsigned char* p = data + cell;
    const unsigned char* end = data + usable_;
    uint64_t size = 0, key = 0;
    if (!GetVarint(p, end, size) || !GetVarint(p, end, key))
        return Step::Damaged;
    const int64_t rowid = static_cast<int64_t>(key);
    if (floored_ && rowid <= floor_)
        return Step::Damaged;  // the tree's order is broken
    if (size > pageCount_ * usable_)
        return Step::Damaged;
    // How much of the payload the cell holds itself.
    const uint64_t most = usable_ - 35;
    uint64_t local = size;
    if (size > most) {
        const uint64_t least = (static_cast<uint64_t>(usable_ - 12) * 32 / 255) - 23;
        local = least + (size - least) % (usable_ - 4);
        if (local > most)
            local = least;
    }
    if (local > static_cast<uint64_t>(end - p))
        return Step::Damaged;
    const unsigned char* record = p;
    if (local < size) {
        if (local + 4 > static_cast<uint64_t>(end - p))
            return Step::Damaged;
        // Grown as the chain is read, not by the size the cell claims, which damage can make
        // as large as the file.
        payload_.assign(p, p + local);
        uint64_t have = local;
        uint32_t next = Get32(p + local);
        for (uint64_t hops = 0; have < size; ++hops) {
            if (next < 2 || hops >= pageCount_ || !ReadPage(next, overflow_))
                return Step::Damaged;
            const uint64_t part = std::min<uint64_t>(size - have, usable_ - 4);
            payload_.insert(payload_.end(), overflow_.data() + 4, overflow_.data() + 4 + part);
            have += part;
            next = Get32(overflow_.data());
        }
        record = payload_.data();
    }
    if (!DecodeRecord(record, static_cast<uint32_t>(size)))
        return Step::Damaged;
    rowid_ = floor_ = rowid;
    floored_ = started_ = true;
    return Step::Row;
}

bool TablePages::DecodeRecord(const unsigned char* payload, uint32_t size)
{
    fields_.clear();
    const unsigned char* end = payload + size;
    const unsigned char* p = payload;
    uint64_t headerSize = 0;
    if (!GetVarint(p, end, headerSize) || headerSize > size || payload + headerSize < p)
        return false;
    const unsigned char* types = payload + headerSize;
    uint64_t offset = headerSize;
    while (p < types) {
        uint64_t type = 0, length = 0;
        if (!GetVarint(p, types, type) || !ContentSize(type, length) || length > size - offset)
            return false;
        const unsigned char* v = payload + offset;
        Field& field = fields_.emplace_back();
        if (type == 0) {
            field.type = Field::Null;
        } else if (type <= 6) {
            // Big-endian two's complement, sign-extended from its first byte.
            int64_t value = static_cast<int8_t>(v[0]);
            for (uint64_t n = 1; n < length; ++n)
                value = static_cast<int64_t>(static_cast<uint64_t>(value) << 8 | v[n]);
            field.type = Field::Integer;
            field.i = value;
        } else if (type == 7) {
            uint64_t bits = 0;
            for (int n = 0; n < 8; ++n)
                bits = bits << 8 | v[n];
            std::memcpy(&field.r, &bits, sizeof bits);
            // SQLite reads a stored NaN as Null.
            field.type = field.r != field.r ? Field::Null : Field::Real;
        } else if (type == 8 || type == 9) {
            field.type = Field::Integer;
            field.i = type == 9;
        } else {
            field.type = type % 2 ? Field::Text : Field::Blob;
            field.bytes = v;
            field.size = static_cast<uint32_t>(length);
        }
        offset += length;
    }
    // As SQLite finds it: values that do not fill the payload make a damaged record.
    return p == types && offset == size;
}

}  // namespace provider
