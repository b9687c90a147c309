// A1-style cell and range addresses of a worksheet ("B4", "B4:K4", "$B$4"), within the 256
// columns and 65,536 rows of the classic workbook format.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace excel {

constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;

// Zero-based and inclusive.
struct CellRange {
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;
    int Rows() const { return lastRow - firstRow + 1; }
    int Columns() const { return lastColumn - firstColumn + 1; }
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

// Null for anything that is not a cell or range on the sheet.
std::optional<CellRange> ParseRange(std::wstring_view address);

// "A" for 0, "Z" for 25, "AA" for 26.
std::wstring ColumnName(int column);

}  // namespace excel
