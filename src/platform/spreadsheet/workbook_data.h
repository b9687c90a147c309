// What a workbook holds between its creation and SaveAs: the sheets' cells as indexes into one
// shared table of texts and one table of cell formats, and the merged ranges. Kept compact (8
// bytes a cell, texts in UTF-16). Only the sheet being written keeps its cells in memory: the
// others wait in a temporary file as the records they become in the saved file. The shared
// table stops taking new texts at a fixed size; a text it does not hold is kept by its sheet and
// saved in the cell itself. So a workbook costs the memory of a bounded table and of its largest
// sheet, however many rows it has.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/cell_reference.h"

namespace excel {

// Appends the text as UTF-16.
void AppendUtf16(std::vector<char16_t>& chars, std::wstring_view text);

// Each distinct text once, in the order first used: the file's shared string table. It holds at
// most `maxChars` characters of at most `maxTexts` texts; once full it only finds the texts it
// has.
class StringTable {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFF;

    explicit StringTable(size_t maxChars = size_t(1) << 20, uint32_t maxTexts = 1u << 17);
    // The text's index; kNone when the table is full and does not have it.
    uint32_t Add(std::wstring_view text);
    uint32_t Count() const { return static_cast<uint32_t>(starts_.size() - 1); }
    std::u16string_view At(uint32_t index) const
    {
        return std::u16string_view(chars_.data() + starts_[index],
                                   starts_[index + 1] - starts_[index]);
    }

private:
    size_t Hash(std::u16string_view text) const;
    void Grow();

    size_t maxChars_;
    uint32_t maxTexts_;
    std::vector<char16_t> chars_;
    std::vector<uint32_t> starts_;  // Count() + 1 offsets into chars_
    std::vector<uint32_t> slots_;   // open addressing over the indexes; kNone is free
};

// The texts of one sheet that the shared table does not hold, each as often as it is used.
class SheetTexts {
public:
    uint32_t Add(std::wstring_view text);
    uint32_t Add(std::u16string_view text);
    std::u16string_view At(uint32_t index) const
    {
        return std::u16string_view(chars_.data() + starts_[index],
                                   starts_[index + 1] - starts_[index]);
    }
    void Clear();

private:
    std::vector<char16_t> chars_;
    std::vector<uint32_t> starts_{0};
};

// A border line in the file's terms: its line style (0 none, 1 thin, 2 medium, 3 dashed, 4
// dotted, 5 thick, 6 double, 7 hair) and its colour as a ColorIndex (0 automatic).
struct BorderLine {
    uint8_t style = 0;
    uint8_t colorIndex = 0;
    friend bool operator==(const BorderLine&, const BorderLine&) = default;
};

enum BorderSide { kLeft, kTop, kBottom, kRight };

struct CellFormat {
    uint8_t fillColorIndex = 0;  // 0 no fill, else the ColorIndex 1..56
    bool bold = false;
    uint8_t horizontal = 0;  // 0 general, 1 left, 2 centre, 3 right, ...
    bool wrap = false;
    std::array<BorderLine, 4> borders{};  // by BorderSide
    friend bool operator==(const CellFormat&, const CellFormat&) = default;
};

// The distinct formats; index 0 is the default one.
class FormatTable {
public:
    FormatTable() : formats_(1) {}
    uint16_t Add(const CellFormat& format);
    const CellFormat& At(uint16_t index) const { return formats_[index]; }
    size_t Count() const { return formats_.size(); }

private:
    std::vector<CellFormat> formats_;
};

// A cell's text: an index into the shared table, or with kOwnText set one into its sheet's own
// texts.
struct Cell {
    static constexpr uint32_t kOwnText = 0x80000000;

    uint32_t text = StringTable::kNone;
    uint16_t format = 0;
    bool IsUsed() const { return text != StringTable::kNone || format != 0; }
    bool HasText() const { return text != StringTable::kNone; }
    bool HasSharedText() const { return HasText() && !(text & kOwnText); }
};

// A sheet set aside: its finished records in the workbook's spill file.
struct ParkedSheet {
    uint64_t offset = 0;     // in the spill file
    uint64_t size = 0;       // the sheet's bytes in the saved stream, from its BOF to its EOF
    uint64_t window2 = 0;    // where its WINDOW2 record begins, from its BOF
    uint32_t textCells = 0;  // cells whose text is in the shared table
};

class SheetData {
public:
    explicit SheetData(std::wstring name) : name_(std::move(name)) {}

    const std::wstring& Name() const { return name_; }
    void SetName(std::wstring name) { name_ = std::move(name); }

    // Makes the cell exist.
    Cell& At(int row, int column);
    // Null when the cell was never touched.
    const Cell* Find(int row, int column) const;
    int RowCount() const { return static_cast<int>(rows_.size()); }
    const std::vector<Cell>& Row(int row) const { return rows_[row]; }

    SheetTexts& OwnTexts() { return ownTexts_; }
    const SheetTexts& OwnTexts() const { return ownTexts_; }

    void AddMerge(const CellRange& range) { merges_.push_back(range); }
    const std::vector<CellRange>& Merges() const { return merges_; }

    // Set aside: the cells go from memory (and come back through Unpark, which clears this).
    const std::optional<ParkedSheet>& Parked() const { return parked_; }
    void Park(const ParkedSheet& where);
    void Unpark() { parked_.reset(); }

private:
    std::wstring name_;
    std::optional<ParkedSheet> parked_;
    std::vector<std::vector<Cell>> rows_;
    SheetTexts ownTexts_;
    std::vector<CellRange> merges_;
};

// An unnamed temporary file (gone with its last handle) that bytes are appended to and read
// back from.
class SpillFile {
public:
    // Null when no temporary file can be made.
    static std::unique_ptr<SpillFile> Create();
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    uint64_t Size() const { return size_; }
    bool Append(const uint8_t* data, size_t size);
    // Forgets what was appended from `size` on.
    void Truncate(uint64_t size) { size_ = size; }
    bool Read(uint64_t offset, uint8_t* data, size_t size) const;

private:
    explicit SpillFile(int fd) : fd_(fd) {}
    int fd_;
    uint64_t size_ = 0;
};

struct WorkbookData {
    StringTable strings;
    FormatTable formats;
    std::vector<std::shared_ptr<SheetData>> sheets;
    int activeSheet = 0;
    // Made when the first sheet is set aside; without one every sheet stays in memory.
    std::unique_ptr<SpillFile> spill;
    bool spillFailed = false;
    std::weak_ptr<SheetData> resident;  // the sheet last written or read
};

// The texts longest that a cell record holds itself; longer ones always go to the shared table.
constexpr size_t kMaxOwnText = 4096;

// Gives the cell the (non-empty) text: from the shared table when it has it or room for it,
// else kept by the sheet.
void SetCellText(WorkbookData& book, SheetData& sheet, Cell& cell, std::wstring_view text);
std::u16string_view CellText(const WorkbookData& book, const SheetData& sheet, const Cell& cell);

}  // namespace excel
