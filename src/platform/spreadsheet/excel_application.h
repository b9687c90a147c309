// "Excel.Application": a spreadsheet application object model of our own, with the members a
// report needs of Excel's: workbooks and worksheets, ranges by address with values (one for
// the whole range or a two-dimensional block), fill colours by palette index, bold, alignment,
// wrapping, merging and borders. No Excel runs: the workbook stays in memory and SaveAs writes
// the classic .xls file (BIFF8 in a compound file) itself.
//
// Every value is kept as text, exactly as given: "=1+1", "0012" or "1E5" are never taken for a
// formula or a number. Failures raise automation::ComError with Excel's result code.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/spreadsheet/cell_reference.h"

namespace excel {

struct WorkbookData;
class SheetData;

// Excel's constants, by their documented values.
constexpr int xlWorkbookNormal = -4143;
constexpr int xlExcel8 = 56;
constexpr int xlNoChange = 1;
constexpr int xlNone = -4142;
constexpr int xlColorIndexAutomatic = -4105;
constexpr int xlGeneral = 1;
constexpr int xlLeft = -4131;
constexpr int xlCenter = -4108;
constexpr int xlRight = -4152;
constexpr int xlContinuous = 1;
constexpr int xlDash = -4115;
constexpr int xlDot = -4118;
constexpr int xlDouble = -4119;
constexpr int xlLineStyleNone = -4142;
constexpr int xlHairline = 1;
constexpr int xlThin = 2;
constexpr int xlMedium = -4138;
constexpr int xlThick = 4;
enum XlBordersIndex {
    xlEdgeLeft = 7,
    xlEdgeTop = 8,
    xlEdgeBottom = 9,
    xlEdgeRight = 10,
    xlInsideVertical = 11,
    xlInsideHorizontal = 12,
};
// The result code Excel gives a refused call.
constexpr automation::HRESULT kExcelCallFailed = static_cast<automation::HRESULT>(0x800A03EC);

class Range;
class Worksheet;
class Workbook;

// A rows-by-columns block of values for Range::SetValue, both bounds starting at 1 as in a
// SAFEARRAY.
class ValueArray {
public:
    ValueArray(int rows, int columns) : rows_(rows), columns_(columns), values_(rows * columns) {}
    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    automation::Variant& At(int row, int column) { return values_[Index(row, column)]; }
    const automation::Variant& At(int row, int column) const { return values_[Index(row, column)]; }

private:
    size_t Index(int row, int column) const;
    int rows_;
    int columns_;
    std::vector<automation::Variant> values_;
};

class Interior {
public:
    explicit Interior(std::shared_ptr<Range> range) : range_(std::move(range)) {}
    // 1..56, or xlNone (no fill).
    void SetColorIndex(int index);

private:
    std::shared_ptr<Range> range_;
};

class Font {
public:
    explicit Font(std::shared_ptr<Range> range) : range_(std::move(range)) {}
    void SetBold(bool bold);

private:
    std::shared_ptr<Range> range_;
};

class Border {
public:
    Border(std::shared_ptr<Range> range, int index) : range_(std::move(range)), index_(index) {}
    // xlContinuous, xlDash, xlDot, xlDouble or xlLineStyleNone.
    void SetLineStyle(int style);
    // xlHairline, xlThin, xlMedium or xlThick.
    void SetWeight(int weight);
    // 1..56 or xlColorIndexAutomatic.
    void SetColorIndex(int index);

private:
    void Change(int style, int weight, int colorIndex);
    void Apply();
    std::shared_ptr<Range> range_;
    int index_;
    int style_ = xlContinuous;
    int weight_ = xlThin;
    int colorIndex_ = 0;
};

class Borders {
public:
    explicit Borders(std::shared_ptr<Range> range) : range_(std::move(range)) {}
    // xlEdgeLeft ... xlInsideHorizontal.
    automation::Ptr<Border> Item(int index);

private:
    std::shared_ptr<Range> range_;
};

class Range : public std::enable_shared_from_this<Range> {
public:
    Range(std::shared_ptr<WorkbookData> book, std::shared_ptr<SheetData> sheet, CellRange cells)
        : book_(std::move(book)), sheet_(std::move(sheet)), cells_(cells)
    {
    }

    const CellRange& Cells() const { return cells_; }

    // One value for every cell of the range; an empty value or text clears the cells.
    void SetValue(const automation::Variant& value);
    // The block from the range's first cell; the block and the range must have the same
    // shape.
    void SetValue(const ValueArray& values);
    automation::Ptr<excel::Interior> Interior();
    automation::Ptr<excel::Font> Font();
    void SetHorizontalAlignment(int alignment);
    void Merge();
    void SetWrapText(bool wrap);
    automation::Ptr<excel::Borders> Borders();

    // The cell's text (empty when it has none); for the tests' view of the model.
    std::wstring Text() const;

    // Changes the format of every cell of `area` (a part of this range) by `change`.
    template <class Change>
    void ChangeFormat(const CellRange& area, Change change);

private:
    // The sheet's cells, in memory from here on.
    SheetData& Sheet() const;
    void Store(int row, int column, const automation::Variant& value);

    std::shared_ptr<WorkbookData> book_;
    std::shared_ptr<SheetData> sheet_;
    CellRange cells_;
};

class Worksheet {
public:
    Worksheet(std::shared_ptr<WorkbookData> book, std::shared_ptr<SheetData> sheet)
        : book_(std::move(book)), sheet_(std::move(sheet))
    {
    }
    std::wstring Name() const;
    // Refused, as Excel refuses it, for a name that is empty, longer than 31 characters, holds
    // one of : \ / ? * [ ], begins or ends with an apostrophe, or is another sheet's name
    // (without regard to case).
    void SetName(const std::wstring& name);
    // A cell ("B5") or range ("B4:K4") address.
    automation::Ptr<excel::Range> Range(const std::wstring& address);

    const std::shared_ptr<SheetData>& Data() const { return sheet_; }

private:
    std::shared_ptr<WorkbookData> book_;
    std::shared_ptr<SheetData> sheet_;
};

class Sheets {
public:
    explicit Sheets(std::shared_ptr<WorkbookData> book) : book_(std::move(book)) {}
    int Count() const;
    // 1-based.
    automation::Ptr<Worksheet> Item(int index);
    // A new empty sheet, before `before`, after `after`, or (both null) before the active
    // sheet; the new sheet becomes the active one.
    automation::Ptr<Worksheet> Add(const automation::Ptr<Worksheet>& before = nullptr,
                                   const automation::Ptr<Worksheet>& after = nullptr);

private:
    std::shared_ptr<WorkbookData> book_;
};

class Workbook {
public:
    static constexpr int kSheetsInNewWorkbook = 3;

    Workbook();
    automation::Ptr<Sheets> Worksheets();
    // xlWorkbookNormal or xlExcel8: the classic .xls workbook. The file replaces one of that
    // name only when it is whole.
    void SaveAs(const std::wstring& path, int fileFormat = xlWorkbookNormal,
                int accessMode = xlNoChange);
    // Without saving; the workbook's data goes.
    void Close(bool saveChanges = false);
    bool IsOpen() const { return book_ != nullptr; }
    const std::shared_ptr<WorkbookData>& Data() const { return book_; }

private:
    void CheckOpen() const;
    std::shared_ptr<WorkbookData> book_;
};

class Workbooks {
public:
    automation::Ptr<Workbook> Add();
    int Count() const;

private:
    friend class Application;
    std::vector<automation::Ptr<Workbook>> open_;
};

class Application : public automation::Object {
public:
    Application();
    automation::Ptr<excel::Workbooks> Workbooks() { return workbooks_; }
    void SetDisplayAlerts(bool on) { displayAlerts_ = on; }
    bool DisplayAlerts() const { return displayAlerts_; }
    // Closes every workbook without saving.
    void Quit();

private:
    automation::Ptr<excel::Workbooks> workbooks_;
    bool displayAlerts_ = true;
};

// Registers "Excel.Application" with CreateObject; calling it again does nothing.
void RegisterSpreadsheetClasses();

}  // namespace excel
