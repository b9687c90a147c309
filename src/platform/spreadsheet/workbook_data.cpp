#include "platform/spreadsheet/workbook_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

namespace excel {

void AppendUtf16(std::vector<char16_t>& chars, std::wstring_view text)
{
    for (wchar_t c : text) {
        const auto code = static_cast<uint32_t>(c);
        if (code < 0x10000) {
            chars.push_back(static_cast<char16_t>(code));
        } else {
            chars.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            chars.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
    }
}

StringTable::StringTable(size_t maxChars, uint32_t maxTexts)
    : maxChars_(maxChars), maxTexts_(maxTexts), starts_{0}, slots_(1024, kNone)
{
}

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
    AppendUtf16(chars_, text);
    const std::u16string_view candidate(chars_.data() + start, chars_.size() - start);
    const size_t mask = slots_.size() - 1;
    size_t slot = Hash(candidate) & mask;
    for (; slots_[slot] != kNone; slot = (slot + 1) & mask) {
        if (At(slots_[slot]) == candidate) {
            chars_.resize(start);
            return slots_[slot];
        }
    }
    // A long text always gets in: a cell record could not hold it itself.
    const bool full = Count() >= maxTexts_ || chars_.size() > maxChars_;
    if (full && candidate.size() <= kMaxOwnText) {
        chars_.resize(start);
        return kNone;
    }
    const uint32_t index = Count();
    slots_[slot] = index;
    starts_.push_back(static_cast<uint32_t>(chars_.size()));
    if (Count() * 2 > slots_.size())
        Grow();
    return index;
}

uint32_t SheetTexts::Add(std::wstring_view text)
{
    AppendUtf16(chars_, text);
    starts_.push_back(static_cast<uint32_t>(chars_.size()));
    return static_cast<uint32_t>(starts_.size() - 2);
}

uint32_t SheetTexts::Add(std::u16string_view text)
{
    chars_.insert(chars_.end(), text.begin(), text.end());
    starts_.push_back(static_cast<uint32_t>(chars_.size()));
    return static_cast<uint32_t>(starts_.size() - 2);
}

void SheetTexts::Clear()
{
    std::vector<char16_t>().swap(chars_);
    std::vector<uint32_t>{0}.swap(starts_);
}

void SetCellText(WorkbookData& book, SheetData& sheet, Cell& cell, std::wstring_view text)
{
    const uint32_t shared = book.strings.Add(text);
    cell.text = shared != StringTable::kNone ? shared : Cell::kOwnText | sheet.OwnTexts().Add(text);
}

std::u16string_view CellText(const WorkbookData& book, const SheetData& sheet, const Cell& cell)
{
    if (!cell.HasText())
        return {};
    if (cell.text & Cell::kOwnText)
        return sheet.OwnTexts().At(cell.text & ~Cell::kOwnText);
    return book.strings.At(cell.text);
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
    ownTexts_.Clear();
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
