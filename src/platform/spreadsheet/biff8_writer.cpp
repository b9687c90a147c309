// The records follow the published description of the BIFF8 format: a workbook globals
// substream (fonts, cell formats, the palette, the sheets' names and positions, the shared
// string table) followed by one substream per worksheet. Sizes are known before anything is
// written: the globals name every sheet's position, so the whole file is laid out once without
// writing and then written.
#include "platform/spreadsheet/biff8_writer.h"

#include <fcntl.h>
#include <gsf/gsf.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/files/replacement_file.h"
#include "platform/spreadsheet/workbook_data.h"

namespace excel {
namespace {

using automation::ComError;

constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kWindow1 = 0x003D;
constexpr uint16_t kDateMode = 0x0022;
constexpr uint16_t kFont = 0x0031;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kStyle = 0x0293;
constexpr uint16_t kPaletteRecord = 0x0092;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kExtSst = 0x00FF;
constexpr uint16_t kDefColWidth = 0x0055;
constexpr uint16_t kColInfo = 0x007D;
constexpr uint16_t kDimensions = 0x0200;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kBlank = 0x0201;
constexpr uint16_t kWindow2 = 0x023E;
constexpr uint16_t kMergedCells = 0x00E5;
constexpr uint16_t kRow = 0x0208;

constexpr size_t kMaxRecordData = 8224;
constexpr size_t kMaxMergesPerRecord = 1026;
constexpr uint16_t kDefaultCellXf = 15;
constexpr uint16_t kBoldFont = 5;  // font index 4 does not exist in the format
constexpr int kStyleXfs = 15;

// Excel's standard palette, colour indexes 8 to 63 (ColorIndex 1 to 56), as RGB.
constexpr std::array<uint32_t, 56> kStandardPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

class Bytes {
public:
    void U8(unsigned v) { data_.push_back(static_cast<uint8_t>(v)); }
    void U16(unsigned v)
    {
        U8(v & 0xFF);
        U8((v >> 8) & 0xFF);
    }
    void U32(uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    // Compressed (one byte a character) when every character fits, else UTF-16.
    void Characters(std::u16string_view text, bool high)
    {
        for (char16_t c : text) {
            if (high)
                U16(c);
            else
                U8(c);
        }
    }
    void Clear() { data_.clear(); }
    size_t Size() const { return data_.size(); }
    const uint8_t* Data() const { return data_.data(); }

private:
    std::vector<uint8_t> data_;
};

bool NeedsHighBytes(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
}

// The record stream: counts its position, and writes through a buffer when it has a sink (the
// file's stream, or the spill file of the sheets set aside).
class Stream {
public:
    Stream() = default;
    explicit Stream(GsfOutput* sink) : sink_(sink) {}
    explicit Stream(SpillFile* spill) : spill_(spill) {}

    void Record(uint16_t type, const uint8_t* data, size_t size)
    {
        uint8_t header[4] = {static_cast<uint8_t>(type & 0xFF), static_cast<uint8_t>(type >> 8),
                             static_cast<uint8_t>(size & 0xFF), static_cast<uint8_t>(size >> 8)};
        Put(header, 4);
        Put(data, size);
    }
    void Record(uint16_t type, const Bytes& bytes) { Record(type, bytes.Data(), bytes.Size()); }
    // Records written before, as they are.
    void Records(const uint8_t* data, size_t size) { Put(data, size); }
    size_t Position() const { return position_; }

    void Flush()
    {
        if (buffer_.empty())
            return;
        const bool written = sink_ ? gsf_output_write(sink_, buffer_.size(), buffer_.data())
                                   : spill_->Append(buffer_.data(), buffer_.size());
        buffer_.clear();
        if (!written)
            throw ComError(automation::E_FAIL, L"The workbook file could not be written");
    }

private:
    void Put(const uint8_t* data, size_t size)
    {
        position_ += size;
        if (!sink_ && !spill_)
            return;
        buffer_.insert(buffer_.end(), data, data + size);
        if (buffer_.size() >= (1u << 16))
            Flush();
    }

    GsfOutput* sink_ = nullptr;
    SpillFile* spill_ = nullptr;
    size_t position_ = 0;
    std::vector<uint8_t> buffer_;
};

void WriteBof(Stream& stream, uint16_t kind)
{
    Bytes b;
    b.U16(0x0600);  // BIFF8
    b.U16(kind);    // 0x0005 workbook globals, 0x0010 worksheet
    b.U16(0x0DBB);  // build
    b.U16(0x07CC);  // year
    b.U32(0);       // file history
    b.U32(0x06);    // lowest version that reads the file
    stream.Record(kBof, b);
}

void WriteFont(Stream& stream, bool bold)
{
    Bytes b;
    b.U16(200);                // 10 points, in twips
    b.U16(bold ? 0x0001 : 0);  // bold here too, as older readers look for it
    b.U16(0x7FFF);             // automatic colour
    b.U16(bold ? 700 : 400);
    b.U16(0);  // no super- or subscript
    b.U8(0);   // no underline
    b.U8(0);   // family
    b.U8(0);   // character set
    b.U8(0);
    const std::u16string name = u"Arial";
    b.U8(name.size());
    b.U8(0);
    b.Characters(name, false);
    stream.Record(kFont, b);
}

uint32_t BorderColour(const BorderLine& line)
{
    if (line.style == 0)
        return 0;
    return line.colorIndex ? line.colorIndex + 7u : 64u;
}

void WriteXf(Stream& stream, const CellFormat& format, bool style, bool isDefault)
{
    Bytes b;
    b.U16(format.bold ? kBoldFont : 0);
    b.U16(0);  // General number format
    // Locked; a style format has no parent (0xFFF), a cell format's parent is the Normal style.
    b.U16(style ? 0xFFF5 : 0x0001);
    b.U8(format.horizontal | (format.wrap ? 0x08 : 0) | 0x20);  // vertically at the bottom
    b.U8(0);                                                    // no rotation
    b.U8(0);                                                    // no indent
    // Which groups of attributes the format sets itself rather than taking them from its style.
    b.U8(style ? (isDefault ? 0x00 : 0xF4) : (isDefault ? 0x00 : 0xFC));
    const auto& left = format.borders[kLeft];
    const auto& right = format.borders[kRight];
    const auto& top = format.borders[kTop];
    const auto& bottom = format.borders[kBottom];
    b.U32(left.style | (right.style << 4) | (top.style << 8) | (bottom.style << 12) |
          (BorderColour(left) << 16) | (BorderColour(right) << 23));
    const uint32_t pattern = format.fillColorIndex ? 1 : 0;
    b.U32(BorderColour(top) | (BorderColour(bottom) << 7) | (pattern << 26));
    const uint32_t fore = format.fillColorIndex ? format.fillColorIndex + 7u : 64u;
    b.U16(fore | (65u << 7));
    stream.Record(kXf, b);
}

void WriteFormats(Stream& stream, const FormatTable& formats)
{
    for (int i = 0; i < 4; ++i)
        WriteFont(stream, false);
    WriteFont(stream, true);
    const CellFormat plain;
    for (int i = 0; i < kStyleXfs; ++i)
        WriteXf(stream, plain, true, i == 0);
    // Cell format k is XF 15 + k; format 0 is the default cell format.
    for (size_t k = 0; k < formats.Count(); ++k)
        WriteXf(stream, formats.At(static_cast<uint16_t>(k)), false, k == 0);
    Bytes style;
    style.U16(0x8000);  // built-in style on XF 0
    style.U8(0);        // Normal
    style.U8(0xFF);
    stream.Record(kStyle, style);
    Bytes palette;
    palette.U16(kStandardPalette.size());
    for (uint32_t rgb : kStandardPalette) {
        palette.U8(rgb >> 16);
        palette.U8((rgb >> 8) & 0xFF);
        palette.U8(rgb & 0xFF);
        palette.U8(0);
    }
    stream.Record(kPaletteRecord, palette);
}

// The shared string table, continued over CONTINUE records; a text is split only between its
// characters, and each continued part says again whether its characters are compressed.
class SstWriter {
public:
    SstWriter(Stream& stream, uint32_t total, uint32_t unique)
        : stream_(stream), bucketSize_(std::max<uint32_t>(8, (unique + 127) / 128))
    {
        record_.U32(total);
        record_.U32(unique);
    }

    void Add(uint32_t index, std::u16string_view text)
    {
        const bool high = NeedsHighBytes(text);
        const size_t unit = high ? 2 : 1;
        if (kMaxRecordData - record_.Size() < 3 + unit)
            Next();
        if (index % bucketSize_ == 0) {
            const size_t offset = 4 + record_.Size();
            buckets_.push_back({static_cast<uint32_t>(stream_.Position() + offset),
                                static_cast<uint16_t>(offset)});
        }
        record_.U16(text.size());
        record_.U8(high ? 1 : 0);
        while (!text.empty()) {
            size_t room = (kMaxRecordData - record_.Size()) / unit;
            if (room == 0) {
                Next();
                record_.U8(high ? 1 : 0);
                room = (kMaxRecordData - record_.Size()) / unit;
            }
            const size_t take = std::min(room, text.size());
            record_.Characters(text.substr(0, take), high);
            text.remove_prefix(take);
        }
    }

    void Finish()
    {
        stream_.Record(type_, record_);
        Bytes ext;
        ext.U16(bucketSize_);
        for (const auto& bucket : buckets_) {
            ext.U32(bucket.position);
            ext.U16(bucket.offset);
            ext.U16(0);
        }
        stream_.Record(kExtSst, ext);
    }

private:
    struct Bucket {
        uint32_t position;
        uint16_t offset;
    };

    void Next()
    {
        stream_.Record(type_, record_);
        record_.Clear();
        type_ = kContinue;
    }

    Stream& stream_;
    uint32_t bucketSize_;
    uint16_t type_ = kSst;
    Bytes record_;
    std::vector<Bucket> buckets_;
};

uint32_t TextCells(const SheetData& sheet)
{
    if (sheet.Parked())
        return sheet.Parked()->textCells;
    uint32_t total = 0;
    for (int row = 0; row < sheet.RowCount(); ++row)
        for (const Cell& cell : sheet.Row(row))
            total += cell.HasSharedText();
    return total;
}

uint32_t CountTextCells(const WorkbookData& book)
{
    uint32_t total = 0;
    for (const auto& sheet : book.sheets)
        total += TextCells(*sheet);
    return total;
}

void WriteGlobals(Stream& stream, const WorkbookData& book, const std::vector<size_t>& sheetStarts)
{
    WriteBof(stream, 0x0005);
    Bytes b;
    b.U16(1200);  // texts are UTF-16
    stream.Record(kCodePage, b);
    b.Clear();
    b.U16(0);  // window position and size, in twips
    b.U16(0);
    b.U16(0x3A00);
    b.U16(0x2400);
    b.U16(0x0038);  // horizontal and vertical scroll bars, sheet tabs
    b.U16(book.activeSheet);
    b.U16(0);    // first tab shown
    b.U16(1);    // one sheet selected
    b.U16(600);  // tab bar width
    stream.Record(kWindow1, b);
    b.Clear();
    b.U16(0);  // dates count from 1900
    stream.Record(kDateMode, b);
    WriteFormats(stream, book.formats);
    for (size_t i = 0; i < book.sheets.size(); ++i) {
        const std::u16string name = automation::ToUtf16(book.sheets[i]->Name());
        const bool high = NeedsHighBytes(name);
        b.Clear();
        b.U32(i < sheetStarts.size() ? static_cast<uint32_t>(sheetStarts[i]) : 0);
        b.U8(0);  // visible
        b.U8(0);  // worksheet
        b.U8(name.size());
        b.U8(high ? 1 : 0);
        b.Characters(name, high);
        stream.Record(kBoundSheet, b);
    }
    SstWriter sst(stream, CountTextCells(book), book.strings.Count());
    for (uint32_t i = 0; i < book.strings.Count(); ++i)
        sst.Add(i, book.strings.At(i));
    sst.Finish();
    stream.Record(kEof, nullptr, 0);
}

// The widest line of a text, in characters.
size_t TextWidth(std::u16string_view text)
{
    size_t widest = 0, line = 0;
    for (char16_t c : text) {
        if (c == u'\n' || c == u'\r') {
            line = 0;
            continue;
        }
        widest = std::max(widest, ++line);
    }
    return widest;
}

constexpr size_t kDefaultWidth = 8;
constexpr size_t kWidest = 60;

// Column widths from the texts that must fit their cell: a text that is not wrapped and has an
// empty cell to its right spills over into it and needs no width of its own. Returns how many
// characters of a wrapped text each column's line holds (columns beyond the list hold
// kDefaultWidth).
std::vector<size_t> WriteColumnWidths(Stream& stream, const WorkbookData& book,
                                      const SheetData& sheet)
{
    std::vector<size_t> widths;
    for (int row = 0; row < sheet.RowCount(); ++row) {
        const auto& cells = sheet.Row(row);
        for (size_t column = 0; column < cells.size(); ++column) {
            const Cell& cell = cells[column];
            if (!cell.HasText())
                continue;
            const CellFormat& format = book.formats.At(cell.format);
            const bool neighbour = column + 1 < cells.size() && cells[column + 1].HasText();
            if (!format.wrap && !neighbour)
                continue;
            if (widths.size() <= column)
                widths.resize(column + 1, 0);
            size_t width = TextWidth(CellText(book, sheet, cell));
            if (format.bold)
                width += width / 8;
            widths[column] = std::max(widths[column], width);
        }
    }
    Bytes b;
    b.U16(kDefaultWidth);
    stream.Record(kDefColWidth, b);
    for (size_t column = 0; column < widths.size(); ++column) {
        if (widths[column] <= kDefaultWidth) {
            widths[column] = kDefaultWidth;
            continue;
        }
        const size_t chars = std::min(widths[column] + 1, kWidest);
        // The one character more than the widest line is the cell's margins.
        widths[column] = chars - 1;
        b.Clear();
        b.U16(column);
        b.U16(column);
        b.U16(static_cast<unsigned>(chars * 256 + 182));
        b.U16(kDefaultCellXf);
        b.U16(0);
        b.U16(0);
        stream.Record(kColInfo, b);
    }
    return widths;
}

// The lines a wrapped text takes where a line holds `width` characters: each of its own lines
// filled word by word, a word longer than a line broken over several.
size_t WrappedLines(std::u16string_view text, size_t width)
{
    size_t lines = 0;
    while (true) {
        const size_t end = text.find_first_of(u"\r\n");
        std::u16string_view line = text.substr(0, end);
        ++lines;
        size_t used = 0;
        while (true) {
            const size_t space = line.find(u' ');
            const size_t word = std::min(space, line.size());
            const size_t need = used == 0 ? word : used + 1 + word;
            if (need <= width) {
                used = need;
            } else {
                if (used > 0)
                    ++lines;
                lines += word > 0 ? (word - 1) / width : 0;
                used = word - (word > 0 ? (word - 1) / width * width : 0);
            }
            if (space == std::u16string_view::npos)
                break;
            line.remove_prefix(space + 1);
        }
        if (end == std::u16string_view::npos)
            break;
        // CR LF is one line end.
        const size_t next = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n'
                                ? end + 2
                                : end + 1;
        text.remove_prefix(next);
    }
    return lines;
}

constexpr unsigned kLineTwips = 255;    // a line of 10-point Arial, as the default row height
constexpr unsigned kTallestRow = 8180;  // 409 points, the most a row can be

// The height a row needs for its wrapped texts, in twips; 0 when the default height does.
unsigned RowHeight(const WorkbookData& book, const SheetData& sheet, const std::vector<Cell>& cells,
                   const std::vector<size_t>& widths)
{
    size_t lines = 1;
    for (size_t column = 0; column < cells.size(); ++column) {
        const Cell& cell = cells[column];
        if (!cell.HasText() || !book.formats.At(cell.format).wrap)
            continue;
        const size_t width = column < widths.size() ? widths[column] : kDefaultWidth;
        lines = std::max(lines, WrappedLines(CellText(book, sheet, cell), width));
    }
    if (lines <= 1)
        return 0;
    return static_cast<unsigned>(std::min<size_t>(lines * kLineTwips, kTallestRow));
}

// A row of its own height, marked as set by hand so that readers keep it instead of working
// out one of their own.
void WriteRowRecord(Stream& stream, int row, const std::vector<Cell>& cells, unsigned height)
{
    int first = -1, last = -1;
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        if (!cells[column].IsUsed())
            continue;
        if (first < 0)
            first = column;
        last = column;
    }
    Bytes b;
    b.U16(row);
    b.U16(first < 0 ? 0 : first);
    b.U16(first < 0 ? 0 : last + 1);
    b.U16(height);  // bit 15 clear: not the default height
    b.U16(0);
    b.U16(0);
    b.U16(0x0140);  // the height is not the font's; bit 8 is always set
    b.U16(kDefaultCellXf);
    stream.Record(kRow, b);
}

// A cell that holds its text itself; `where` is the row, column and format as a text cell's
// record begins.
void WriteLabel(Stream& stream, const uint8_t* where, std::u16string_view text)
{
    Bytes b;
    for (int i = 0; i < 6; ++i)
        b.U8(where[i]);
    const bool high = NeedsHighBytes(text);
    b.U16(text.size());
    b.U8(high ? 1 : 0);
    b.Characters(text, high);
    stream.Record(kLabel, b);
}

// The flags of WINDOW2 (at its start) that make a sheet the selected and shown one.
constexpr unsigned kWindow2Flags = 0x00B6;
constexpr unsigned kActiveSheetFlags = 0x0600;

// `window2`, when given, gets where the WINDOW2 record begins, from the sheet's BOF.
void WriteSheet(Stream& stream, const WorkbookData& book, const SheetData& sheet, bool active,
                uint64_t* window2 = nullptr)
{
    const size_t start = stream.Position();
    WriteBof(stream, 0x0010);
    const std::vector<size_t> widths = WriteColumnWidths(stream, book, sheet);

    int firstRow = -1, lastRow = -1, firstColumn = kMaxColumns, lastColumn = -1;
    for (int row = 0; row < sheet.RowCount(); ++row) {
        const auto& cells = sheet.Row(row);
        for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
            if (!cells[column].IsUsed())
                continue;
            if (firstRow < 0)
                firstRow = row;
            lastRow = row;
            firstColumn = std::min(firstColumn, column);
            lastColumn = std::max(lastColumn, column);
        }
    }
    Bytes b;
    b.U32(firstRow < 0 ? 0 : firstRow);
    b.U32(firstRow < 0 ? 0 : lastRow + 1);
    b.U16(firstRow < 0 ? 0 : firstColumn);
    b.U16(firstRow < 0 ? 0 : lastColumn + 1);
    b.U16(0);
    stream.Record(kDimensions, b);

    uint8_t cell[10];
    auto put16 = [&cell](int at, unsigned v) {
        cell[at] = static_cast<uint8_t>(v & 0xFF);
        cell[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    // Rows go in blocks of 32: the block's row records, then its cells.
    constexpr int kRowBlock = 32;
    for (int block = 0; block < sheet.RowCount(); block += kRowBlock) {
        const int end = std::min(block + kRowBlock, sheet.RowCount());
        for (int row = block; row < end; ++row)
            if (const unsigned height = RowHeight(book, sheet, sheet.Row(row), widths))
                WriteRowRecord(stream, row, sheet.Row(row), height);
        for (int row = block; row < end; ++row) {
            const auto& cells = sheet.Row(row);
            for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
                const Cell& c = cells[column];
                if (!c.IsUsed())
                    continue;
                put16(0, row);
                put16(2, column);
                put16(4, kDefaultCellXf + c.format);
                if (!c.HasText()) {
                    stream.Record(kBlank, cell, 6);
                } else if (!c.HasSharedText()) {
                    WriteLabel(stream, cell, sheet.OwnTexts().At(c.text & ~Cell::kOwnText));
                } else {
                    put16(6, c.text & 0xFFFF);
                    put16(8, c.text >> 16);
                    stream.Record(kLabelSst, cell, 10);
                }
            }
        }
    }

    b.Clear();
    // Grid lines, headers, zeros, automatic grid colour, outline symbols; the active sheet is
    // the selected and shown one.
    if (window2)
        *window2 = stream.Position() - start;
    b.U16(kWindow2Flags | (active ? kActiveSheetFlags : 0));
    b.U16(0);  // first row shown
    b.U16(0);  // first column shown
    b.U32(64);
    b.U16(0);
    b.U16(0);
    b.U32(0);
    stream.Record(kWindow2, b);

    const auto& merges = sheet.Merges();
    for (size_t from = 0; from < merges.size(); from += kMaxMergesPerRecord) {
        const size_t count = std::min(kMaxMergesPerRecord, merges.size() - from);
        b.Clear();
        b.U16(count);
        for (size_t i = from; i < from + count; ++i) {
            b.U16(merges[i].firstRow);
            b.U16(merges[i].lastRow);
            b.U16(merges[i].firstColumn);
            b.U16(merges[i].lastColumn);
        }
        stream.Record(kMergedCells, b);
    }
    stream.Record(kEof, nullptr, 0);
}

[[noreturn]] void CannotReadBack()
{
    throw ComError(automation::E_FAIL,
                   L"A sheet set aside in a temporary file could not be read back");
}

// A sheet set aside goes into the file as it was written then; only whether it is the active
// sheet may have changed since.
void CopyParked(Stream& stream, const WorkbookData& book, const SheetData& sheet, bool active)
{
    const ParkedSheet& where = *sheet.Parked();
    const uint64_t flagsHigh = where.window2 + 4 + 1;
    std::vector<uint8_t> chunk(1u << 16);
    for (uint64_t done = 0; done < where.size;) {
        const size_t size =
            static_cast<size_t>(std::min<uint64_t>(chunk.size(), where.size - done));
        if (!book.spill->Read(where.offset + done, chunk.data(), size))
            CannotReadBack();
        if (flagsHigh >= done && flagsHigh < done + size)
            chunk[flagsHigh - done] = static_cast<uint8_t>((active ? kActiveSheetFlags : 0) >> 8);
        stream.Records(chunk.data(), size);
        done += size;
    }
}

unsigned Get16(const uint8_t* data)
{
    return data[0] | (data[1] << 8);
}

// The cells and merges back from a parked sheet's records.
void ReadParked(const WorkbookData& book, SheetData& sheet)
{
    const ParkedSheet& where = *sheet.Parked();
    std::vector<uint8_t> buffer;
    size_t at = 0;      // the next record in buffer
    uint64_t read = 0;  // of the sheet's bytes, into buffer
    auto have = [&](size_t size) {
        if (buffer.size() - at >= size)
            return true;
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(at));
        at = 0;
        const uint64_t more =
            std::min<uint64_t>(std::max<size_t>(size, 1u << 16), where.size - read);
        if (buffer.size() + more < size)
            return false;
        const size_t old = buffer.size();
        buffer.resize(old + static_cast<size_t>(more));
        if (!book.spill->Read(where.offset + read, buffer.data() + old, static_cast<size_t>(more)))
            CannotReadBack();
        read += more;
        return true;
    };
    while (have(4)) {
        const unsigned type = Get16(&buffer[at]), size = Get16(&buffer[at + 2]);
        if (!have(4 + size))
            CannotReadBack();
        const uint8_t* data = &buffer[at + 4];
        if (type == kLabelSst && size >= 10) {
            Cell& cell = sheet.At(Get16(data), Get16(data + 2));
            cell.format = static_cast<uint16_t>(Get16(data + 4) - kDefaultCellXf);
            cell.text = Get16(data + 6) | (static_cast<uint32_t>(Get16(data + 8)) << 16);
        } else if (type == kLabel && size >= 9) {
            Cell& cell = sheet.At(Get16(data), Get16(data + 2));
            cell.format = static_cast<uint16_t>(Get16(data + 4) - kDefaultCellXf);
            const size_t length = Get16(data + 6);
            const bool high = data[8] & 1;
            if (9 + length * (high ? 2 : 1) > size)
                CannotReadBack();
            std::u16string text(length, u'\0');
            for (size_t i = 0; i < length; ++i)
                text[i] = high ? static_cast<char16_t>(Get16(data + 9 + 2 * i)) : data[9 + i];
            cell.text = Cell::kOwnText | sheet.OwnTexts().Add(std::u16string_view(text));
        } else if (type == kBlank && size >= 6) {
            sheet.At(Get16(data), Get16(data + 2)).format =
                static_cast<uint16_t>(Get16(data + 4) - kDefaultCellXf);
        } else if (type == kMergedCells && size >= 2) {
            for (unsigned i = 0; i < Get16(data) && 2 + 8 * (i + 1) <= size; ++i) {
                const uint8_t* range = data + 2 + 8 * i;
                sheet.AddMerge({static_cast<int>(Get16(range)), static_cast<int>(Get16(range + 4)),
                                static_cast<int>(Get16(range + 2)),
                                static_cast<int>(Get16(range + 6))});
            }
        }
        at += 4 + size;
    }
}

// The whole stream: the globals, then each sheet, as it is in memory or as it was set aside.
void WriteWorkbookStream(Stream& stream, const WorkbookData& book,
                         const std::vector<size_t>& sheetStarts)
{
    WriteGlobals(stream, book, sheetStarts);
    for (size_t i = 0; i < book.sheets.size(); ++i) {
        const SheetData& sheet = *book.sheets[i];
        const bool active = static_cast<int>(i) == book.activeSheet;
        if (sheet.Parked())
            CopyParked(stream, book, sheet, active);
        else
            WriteSheet(stream, book, sheet, active);
    }
    stream.Flush();
}

// Where each sheet's substream begins: the globals name them all before any sheet follows.
std::vector<size_t> LayOut(const WorkbookData& book)
{
    Stream globals;
    WriteGlobals(globals, book, {});
    std::vector<size_t> starts;
    size_t position = globals.Position();
    for (const auto& sheet : book.sheets) {
        starts.push_back(position);
        if (sheet->Parked()) {
            position += sheet->Parked()->size;
        } else {
            Stream counted;
            WriteSheet(counted, book, *sheet, false);
            position += counted.Position();
        }
    }
    starts.push_back(position);  // the end
    return starts;
}

[[noreturn]] void Fail(const std::wstring& path, const std::string& reason)
{
    throw ComError(automation::E_FAIL,
                   L"Cannot save the workbook '" + path + L"': " + automation::FromUtf8(reason));
}

}  // namespace

bool ParkSheet(WorkbookData& book, SheetData& sheet)
{
    if (sheet.Parked())
        return true;
    if (book.spillFailed)
        return false;
    if (!book.spill && !(book.spill = SpillFile::Create())) {
        book.spillFailed = true;
        return false;
    }
    const uint64_t offset = book.spill->Size();
    const uint32_t textCells = TextCells(sheet);
    try {
        Stream stream(book.spill.get());
        uint64_t window2 = 0;
        WriteSheet(stream, book, sheet, false, &window2);
        stream.Flush();
        sheet.Park({offset, stream.Position(), window2, textCells});
        return true;
    } catch (const ComError&) {
        // A full disk: this sheet and the ones to come stay in memory.
        book.spill->Truncate(offset);
        book.spillFailed = true;
        return false;
    }
}

void UnparkSheet(WorkbookData& book, SheetData& sheet)
{
    if (!sheet.Parked())
        return;
    const ParkedSheet where = *sheet.Parked();
    try {
        ReadParked(book, sheet);
    } catch (const ComError&) {
        sheet.Park(where);
        throw;
    }
    sheet.Unpark();
}

SheetData& UseSheet(WorkbookData& book, const std::shared_ptr<SheetData>& sheet)
{
    const std::shared_ptr<SheetData> resident = book.resident.lock();
    if (resident == sheet)
        return *sheet;
    // The sheet written before goes aside first, so that two sheets are never in memory.
    if (resident)
        ParkSheet(book, *resident);
    UnparkSheet(book, *sheet);
    book.resident = sheet;
    return *sheet;
}

void WriteWorkbookFile(WorkbookData& book, const std::wstring& path)
{
    static std::once_flag gsfReady;
    std::call_once(gsfReady, [] { gsf_init(); });

    if (book.sheets.empty())
        Fail(path, "a workbook has at least one sheet");
    std::vector<size_t> starts = LayOut(book);
    if (starts.back() > 0x7FFFFFFF)
        Fail(path, "the workbook is too large for the file format");
    starts.pop_back();

    // Written beside the file and put in its place only when complete.
    files::ReplacementFile replacement(automation::ToUtf8(path));
    FILE* file = replacement.Open();
    if (!file)
        Fail(path, replacement.ErrorText());
    // The sink closes the file.
    GsfOutput* sink = gsf_output_stdio_new_FILE(replacement.SavedPath().c_str(), file, FALSE);
    if (!sink) {
        std::fclose(file);
        Fail(path, "the file could not be opened for writing");
    }
    GsfOutfile* container = gsf_outfile_msole_new(sink);
    GsfOutput* stream = gsf_outfile_new_child(container, "Workbook", FALSE);
    bool written = false;
    std::string reason = "the file could not be written";
    try {
        Stream records(stream);
        WriteWorkbookStream(records, book, starts);
        written = true;
    } catch (const ComError& error) {
        reason = automation::ToUtf8(error.Description());
    }
    written = gsf_output_close(stream) && written;
    g_object_unref(stream);
    written = gsf_output_close(GSF_OUTPUT(container)) && written;
    g_object_unref(container);
    // The container closes its sink itself.
    if (!gsf_output_is_closed(sink))
        written = gsf_output_close(sink) && written;
    if (const GError* sinkError = gsf_output_error(sink); !written && sinkError)
        reason = sinkError->message;
    g_object_unref(sink);
    if (!written)
        Fail(path, reason);
    if (!replacement.Commit())
        Fail(path, replacement.ErrorText());
}

}  // namespace excel
