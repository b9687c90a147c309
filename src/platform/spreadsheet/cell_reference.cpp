#include "platform/spreadsheet/cell_reference.h"

#include <utility>

namespace excel {
namespace {

struct Cell {
    int row;
    int column;
};

std::optional<Cell> ParseCell(std::wstring_view text)
{
    size_t i = 0;
    if (i < text.size() && text[i] == L'$')
        ++i;
    long column = 0;
    size_t letters = 0;
    for (; i < text.size(); ++i, ++letters) {
        wchar_t c = text[i];
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c < L'A' || c > L'Z')
            break;
        column = column * 26 + (c - L'A' + 1);
        if (column > kMaxColumns)
            return std::nullopt;
    }
    if (letters == 0)
        return std::nullopt;
    if (i < text.size() && text[i] == L'$')
        ++i;
    long row = 0;
    size_t digits = 0;
    for (; i < text.size(); ++i, ++digits) {
        const wchar_t c = text[i];
        if (c < L'0' || c > L'9')
            return std::nullopt;
        row = row * 10 + (c - L'0');
        if (row > kMaxRows)
            return std::nullopt;
    }
    if (digits == 0 || row == 0)
        return std::nullopt;
    return Cell{static_cast<int>(row - 1), static_cast<int>(column - 1)};
}

}  // namespace

std::optional<CellRange> ParseRange(std::wstring_view address)
{
    const size_t colon = address.find(L':');
    auto first = ParseCell(address.substr(0, colon));
    if (!first)
        return std::nullopt;
    Cell last = *first;
    if (colon != std::wstring_view::npos) {
        auto second = ParseCell(address.substr(colon + 1));
        if (!second)
            return std::nullopt;
        last = *second;
    }
    CellRange range{first->row, first->column, last.row, last.column};
    if (range.firstRow > range.lastRow)
        std::swap(range.firstRow, range.lastRow);
    if (range.firstColumn > range.lastColumn)
        std::swap(range.firstColumn, range.lastColumn);
    return range;
}

std::wstring ColumnName(int column)
{
    std::wstring name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.insert(name.begin(), static_cast<wchar_t>(L'A' + (n - 1) % 26));
    return name;
}

}  // namespace excel
