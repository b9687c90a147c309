#include "platform/spreadsheet/workbook_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

namespace excel {

StringTable::StringTable() : starts_{0}, slots_(1024, kNone) {}

size_t StringTable::Hash(std::u16string_view text) const
{
    // FNV-1a: cheap, and good enough spread for open addressing.
    uint64_t h = 1469598103934665603ull;
    for (char16_t c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return static_cast<size_t>(h ^ (h >> 29));
}

void StringTable::Grow()
{
    std::vector<uint32_t> slots(slots_.size() * 2, kNone);
    const size_t mask = slots.size() - 1;
    for (uint32_t index = 0; index < Count(); ++index) {
        size_t slot = Hash(At(index)) & mask;
        while (slots[slot] != kNone)
            slot = (slot + 1) & mask;
        slots[slot] = index;
    }
    slots_.swap(slots);
}

uint32_t StringTable::Add(std::wstring_view text)
{
    // The candidate goes to the end of the characters first, so it can be hashed and compared
    // in the table's own form; a text already there takes it back.
    const size_t start = chars_.size();
    for (wchar_t c : text) {
        const auto code = static_cast<uint32_t>(c);
        if (code < 0x10000) {
            chars_.push_back(static_cast<char16_t>(code));
        } else {
            chars_.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            chars_.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
    }
    const std::u16string_view candidate(chars_.data() + start, chars_.size() - start);
    const size_t mask = slots_.size() - 1;
    size_t slot = Hash(candidate) & mask;
    for (; slots_[slot] != kNone; slot = (slot + 1) & mask) {
        if (At(slots_[slot]) == candidate) {
            chars_.resize(start);
            return slots_[slot];
        }
    }
    const uint32_t index = Count();
    slots_[slot] = index;
    starts_.push_back(static_cast<uint32_t>(chars_.size()));
    if (Count() * 2 > slots_.size())
        Grow();
    return index;
}

uint16_t FormatTable::Add(const CellFormat& format)
{
    auto it = std::find(formats_.begin(), formats_.end(), format);
    if (it != formats_.end())
        return static_cast<uint16_t>(it - formats_.begin());
    formats_.push_back(format);
    return static_cast<uint16_t>(formats_.size() - 1);
}

Cell& SheetData::At(int row, int column)
{
    if (row >= static_cast<int>(rows_.size()))
        rows_.resize(row + 1);
    auto& cells = rows_[row];
    if (column >= static_cast<int>(cells.size()))
        cells.resize(column + 1);
    return cells[column];
}

const Cell* SheetData::Find(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return nullptr;
    const auto& cells = rows_[row];
    if (column < 0 || column >= static_cast<int>(cells.size()))
        return nullptr;
    return &cells[column];
}

void SheetData::Park(const ParkedSheet& where)
{
    parked_ = where;
    std::vector<std::vector<Cell>>().swap(rows_);
    std::vector<CellRange>().swap(merges_);
}

std::unique_ptr<SpillFile> SpillFile::Create()
{
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::temp_directory_path(error);
    if (error)
        return nullptr;
    std::string name = (dir / "workbook-XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // Unnamed from the start: nothing is left behind, however the program ends.
    ::unlink(name.c_str());
    return std::unique_ptr<SpillFile>(new SpillFile(fd));
}

SpillFile::~SpillFile()
{
    ::close(fd_);
}

namespace {

// All `size` bytes through pread or pwrite (`transfer`, given how many are done), over short
// transfers and interruptions.
template <class Transfer>
bool Whole(size_t size, Transfer transfer)
{
    for (size_t done = 0; done < size;) {
        const ssize_t moved = transfer(done);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        done += static_cast<size_t>(moved);
    }
    return true;
}

}  // namespace

bool SpillFile::Append(const uint8_t* data, size_t size)
{
    if (!Whole(size, [&](size_t done) {
            return ::pwrite(fd_, data + done, size - done, static_cast<off_t>(size_ + done));
        }))
        return false;
    size_ += size;
    return true;
}

bool SpillFile::Read(uint64_t offset, uint8_t* data, size_t size) const
{
    return offset + size <= size_ && Whole(size, [&](size_t done) {
               return ::pread(fd_, data + done, size - done, static_cast<off_t>(offset + done));
           });
}

}  // namespace excel
