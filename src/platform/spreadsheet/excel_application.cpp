#include "platform/spreadsheet/excel_application.h"

#include <algorithm>
#include <cwctype>
#include <mutex>

#include "platform/automation/wide_text.h"
#include "platform/spreadsheet/biff8_writer.h"
#include "platform/spreadsheet/workbook_data.h"

namespace excel {

using automation::ComError;
using automation::Ptr;
using automation::Variant;

namespace {

constexpr size_t kMaxCellText = 32767;
constexpr size_t kMaxSheetName = 31;

[[noreturn]] void Refuse(const std::wstring& text)
{
    throw ComError(kExcelCallFailed, text);
}

void CheckColorIndex(int index)
{
    if (index < 1 || index > 56)
        Refuse(L"The colour index " + std::to_wstring(index) + L" is not in the palette (1 to 56)");
}

// Upper-cases what the sheet names' comparison folds: Excel tells names apart without regard
// to case.
std::wstring FoldName(const std::wstring& name)
{
    std::wstring folded = name;
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(std::towupper(c));
    return folded;
}

uint8_t LineCode(int style, int weight)
{
    switch (style) {
        case xlLineStyleNone:
            return 0;
        case xlDouble:
            return 6;
        case xlDot:
            return 4;
        case xlDash:
            return weight == xlMedium || weight == xlThick ? 8 : 3;
        case xlContinuous:
            break;
        default:
            Refuse(L"The line style " + std::to_wstring(style) + L" is not known");
    }
    switch (weight) {
        case xlHairline:
            return 7;
        case xlThin:
            return 1;
        case xlMedium:
            return 2;
        case xlThick:
            return 5;
        default:
            Refuse(L"The border weight " + std::to_wstring(weight) + L" is not known");
    }
}

}  // namespace

size_t ValueArray::Index(int row, int column) const
{
    if (row < 1 || row > rows_ || column < 1 || column > columns_)
        throw ComError(automation::E_INVALIDARG, L"The array index is out of bounds");
    return static_cast<size_t>(row - 1) * columns_ + (column - 1);
}

template <class Change>
void Range::ChangeFormat(const CellRange& area, Change change)
{
    // A range's cells share few formats: each old one is changed once.
    std::vector<std::pair<uint16_t, uint16_t>> done;
    SheetData& sheet = Sheet();
    for (int row = area.firstRow; row <= area.lastRow; ++row) {
        for (int column = area.firstColumn; column <= area.lastColumn; ++column) {
            Cell& cell = sheet.At(row, column);
            auto it = std::find_if(done.begin(), done.end(),
                                   [&](const auto& entry) { return entry.first == cell.format; });
            if (it == done.end()) {
                CellFormat format = book_->formats.At(cell.format);
                change(format);
                done.emplace_back(cell.format, book_->formats.Add(format));
                it = done.end() - 1;
            }
            cell.format = it->second;
        }
    }
}

SheetData& Range::Sheet() const
{
    return UseSheet(*book_, sheet_);
}

void Range::Store(int row, int column, const Variant& value)
{
    SheetData& sheet = Sheet();
    std::wstring text;
    if (value.vt() == automation::VT_BSTR)
        text = value.bstrVal();
    else if (!value.IsEmpty() && !value.IsNull())
        text = automation::ChangeType(value, automation::VT_BSTR).bstrVal();
    if (text.size() > kMaxCellText)
        Refuse(L"A cell holds at most 32,767 characters");
    if (text.empty()) {
        if (const Cell* cell = sheet.Find(row, column); cell && cell->IsUsed())
            sheet.At(row, column).text = StringTable::kNone;
        return;
    }
    SetCellText(*book_, sheet, sheet.At(row, column), text);
}

void Range::SetValue(const Variant& value)
{
    for (int row = cells_.firstRow; row <= cells_.lastRow; ++row)
        for (int column = cells_.firstColumn; column <= cells_.lastColumn; ++column)
            Store(row, column, value);
}

void Range::SetValue(const ValueArray& values)
{
    if (values.Rows() != cells_.Rows() || values.Columns() != cells_.Columns())
        Refuse(L"The array does not have the shape of the range");
    for (int row = 0; row < values.Rows(); ++row)
        for (int column = 0; column < values.Columns(); ++column)
            Store(cells_.firstRow + row, cells_.firstColumn + column,
                  values.At(row + 1, column + 1));
}

Ptr<excel::Interior> Range::Interior()
{
    return std::make_shared<excel::Interior>(shared_from_this());
}

Ptr<excel::Font> Range::Font()
{
    return std::make_shared<excel::Font>(shared_from_this());
}

Ptr<excel::Borders> Range::Borders()
{
    return std::make_shared<excel::Borders>(shared_from_this());
}

void Range::SetHorizontalAlignment(int alignment)
{
    uint8_t code = 0;
    switch (alignment) {
        case xlGeneral:
            code = 0;
            break;
        case xlLeft:
            code = 1;
            break;
        case xlCenter:
            code = 2;
            break;
        case xlRight:
            code = 3;
            break;
        default:
            Refuse(L"The alignment " + std::to_wstring(alignment) + L" is not known");
    }
    ChangeFormat(cells_, [code](CellFormat& format) { format.horizontal = code; });
}

void Range::SetWrapText(bool wrap)
{
    ChangeFormat(cells_, [wrap](CellFormat& format) { format.wrap = wrap; });
}

void Range::Merge()
{
    if (cells_.Rows() == 1 && cells_.Columns() == 1)
        return;
    // The merged cell shows the first cell's value; the others' go, as in Excel.
    for (int row = cells_.firstRow; row <= cells_.lastRow; ++row)
        for (int column = cells_.firstColumn; column <= cells_.lastColumn; ++column)
            if (row != cells_.firstRow || column != cells_.firstColumn)
                Store(row, column, Variant());
    Sheet().AddMerge(cells_);
}

std::wstring Range::Text() const
{
    const SheetData& sheet = Sheet();
    const Cell* cell = sheet.Find(cells_.firstRow, cells_.firstColumn);
    if (!cell)
        return std::wstring();
    return automation::FromUtf16(CellText(*book_, sheet, *cell));
}

void Interior::SetColorIndex(int index)
{
    if (index != xlNone)
        CheckColorIndex(index);
    const uint8_t fill = index == xlNone ? 0 : static_cast<uint8_t>(index);
    range_->ChangeFormat(range_->Cells(),
                         [fill](CellFormat& format) { format.fillColorIndex = fill; });
}

void Font::SetBold(bool bold)
{
    range_->ChangeFormat(range_->Cells(), [bold](CellFormat& format) { format.bold = bold; });
}

Ptr<Border> Borders::Item(int index)
{
    if (index < xlEdgeLeft || index > xlInsideHorizontal)
        Refuse(L"The border index " + std::to_wstring(index) + L" is not known");
    return std::make_shared<Border>(range_, index);
}

void Border::SetLineStyle(int style)
{
    Change(style, weight_, colorIndex_);
}

void Border::SetWeight(int weight)
{
    Change(style_, weight, colorIndex_);
}

void Border::SetColorIndex(int index)
{
    if (index != xlColorIndexAutomatic)
        CheckColorIndex(index);
    Change(style_, weight_, index == xlColorIndexAutomatic ? 0 : index);
}

// A refused style or weight leaves the line as it was.
void Border::Change(int style, int weight, int colorIndex)
{
    LineCode(style, weight);
    style_ = style;
    weight_ = weight;
    colorIndex_ = colorIndex;
    Apply();
}

namespace {

// The cells of `area` that show a line on their `side`: along an edge of the range the row or
// column at that edge; for an inner line all but the row or column at that edge.
CellRange ShowingSide(CellRange area, BorderSide side, bool inner)
{
    switch (side) {
        case kLeft:
            if (inner)
                ++area.firstColumn;
            else
                area.lastColumn = area.firstColumn;
            break;
        case kRight:
            if (inner)
                --area.lastColumn;
            else
                area.firstColumn = area.lastColumn;
            break;
        case kTop:
            if (inner)
                ++area.firstRow;
            else
                area.lastRow = area.firstRow;
            break;
        case kBottom:
            if (inner)
                --area.lastRow;
            else
                area.firstRow = area.lastRow;
            break;
    }
    return area;
}

}  // namespace

// A line between two cells belongs to both: an inner line is set on the sides of the cells on
// either side of it, so each cell's own format shows it.
void Border::Apply()
{
    const BorderLine line{LineCode(style_, weight_), static_cast<uint8_t>(colorIndex_)};
    auto set = [&](BorderSide side, bool inner) {
        const CellRange area = ShowingSide(range_->Cells(), side, inner);
        if (area.firstRow > area.lastRow || area.firstColumn > area.lastColumn)
            return;
        range_->ChangeFormat(area, [&](CellFormat& format) { format.borders[side] = line; });
    };
    constexpr BorderSide kEdges[] = {kLeft, kTop, kBottom, kRight};  // by index from xlEdgeLeft
    if (index_ == xlInsideVertical) {
        set(kRight, true);
        set(kLeft, true);
    } else if (index_ == xlInsideHorizontal) {
        set(kBottom, true);
        set(kTop, true);
    } else {
        set(kEdges[index_ - xlEdgeLeft], false);
    }
}

std::wstring Worksheet::Name() const
{
    return sheet_->Name();
}

void Worksheet::SetName(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxSheetName)
        Refuse(L"A sheet name has 1 to 31 characters");
    if (name.find_first_of(L":\\/?*[]") != std::wstring::npos)
        Refuse(L"A sheet name cannot hold any of : \\ / ? * [ ]");
    if (name.front() == L'\'' || name.back() == L'\'')
        Refuse(L"A sheet name cannot begin or end with an apostrophe");
    const std::wstring folded = FoldName(name);
    for (const auto& other : book_->sheets)
        if (other != sheet_ && FoldName(other->Name()) == folded)
            Refuse(L"The name \"" + name + L"\" is already taken by another sheet");
    sheet_->SetName(name);
}

Ptr<Range> Worksheet::Range(const std::wstring& address)
{
    auto cells = ParseRange(address);
    if (!cells)
        Refuse(L"\"" + address + L"\" is not a range of the sheet");
    return std::make_shared<excel::Range>(book_, sheet_, *cells);
}

int Sheets::Count() const
{
    return static_cast<int>(book_->sheets.size());
}

Ptr<Worksheet> Sheets::Item(int index)
{
    if (index < 1 || index > Count())
        throw ComError(static_cast<automation::HRESULT>(0x8002000B), L"Invalid index.");
    return std::make_shared<Worksheet>(book_, book_->sheets[index - 1]);
}

Ptr<Worksheet> Sheets::Add(const Ptr<Worksheet>& before, const Ptr<Worksheet>& after)
{
    auto& sheets = book_->sheets;
    auto position = [&](const Ptr<Worksheet>& sheet) {
        auto it = std::find(sheets.begin(), sheets.end(), sheet->Data());
        if (it == sheets.end())
            Refuse(L"The sheet is not in this workbook");
        return static_cast<int>(it - sheets.begin());
    };
    int at = book_->activeSheet;
    if (before)
        at = position(before);
    else if (after)
        at = position(after) + 1;
    int number = Count() + 1;
    auto taken = [&](const std::wstring& name) {
        const std::wstring folded = FoldName(name);
        return std::any_of(sheets.begin(), sheets.end(),
                           [&](const auto& sheet) { return FoldName(sheet->Name()) == folded; });
    };
    while (taken(L"Sheet" + std::to_wstring(number)))
        ++number;
    auto sheet = std::make_shared<SheetData>(L"Sheet" + std::to_wstring(number));
    sheets.insert(sheets.begin() + at, sheet);
    book_->activeSheet = at;
    return std::make_shared<Worksheet>(book_, sheet);
}

Workbook::Workbook() : book_(std::make_shared<WorkbookData>())
{
    for (int i = 1; i <= kSheetsInNewWorkbook; ++i)
        book_->sheets.push_back(std::make_shared<SheetData>(L"Sheet" + std::to_wstring(i)));
}

void Workbook::CheckOpen() const
{
    if (!book_)
        throw ComError(automation::E_UNEXPECTED, L"The workbook is closed");
}

Ptr<Sheets> Workbook::Worksheets()
{
    CheckOpen();
    return std::make_shared<Sheets>(book_);
}

void Workbook::SaveAs(const std::wstring& path, int fileFormat, int accessMode)
{
    CheckOpen();
    if (fileFormat != xlWorkbookNormal && fileFormat != xlExcel8)
        Refuse(L"The file format " + std::to_wstring(fileFormat) + L" cannot be written");
    if (accessMode != xlNoChange)
        Refuse(L"The access mode " + std::to_wstring(accessMode) + L" is not supported");
    WriteWorkbookFile(*book_, path);
}

void Workbook::Close(bool saveChanges)
{
    if (saveChanges)
        Refuse(L"A workbook is saved with SaveAs");
    book_.reset();
}

Ptr<Workbook> Workbooks::Add()
{
    open_.push_back(std::make_shared<Workbook>());
    return open_.back();
}

int Workbooks::Count() const
{
    return static_cast<int>(
        std::count_if(open_.begin(), open_.end(), [](const auto& book) { return book->IsOpen(); }));
}

Application::Application() : workbooks_(std::make_shared<excel::Workbooks>()) {}

void Application::Quit()
{
    for (auto& book : workbooks_->open_)
        if (book->IsOpen())
            book->Close(false);
    workbooks_->open_.clear();
}

void RegisterSpreadsheetClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        automation::RegisterClass(L"Excel.Application",
                                  [] { return std::make_shared<Application>(); });
    });
}

}  // namespace excel
