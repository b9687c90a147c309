// Writes the records of one worksheet of the Excel report in batches: rows of one colour, at
// most four at a time, go to the sheet as one block of values with one fill colour.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/object.h"

class CellValue;
class DbRecord;
class ModifiedDiffItem;

namespace excel {
class Worksheet;
}

// The A1 address of a cell: column index 0 is column A, 26 is AA; rows count from 1.
std::wstring ExcelCellAddress(int column, int row);

class ExcelSheetWriter {
public:
    static constexpr int kFirstRow = 12;
    // The last row of a sheet in the classic workbook format.
    static constexpr int kLastSheetRow = 65536;
    static constexpr int kBatchRows = 4;

    explicit ExcelSheetWriter(automation::Ptr<excel::Worksheet> sheet);

    // item: the modified record the row belongs to, whose differing fields are marked.
    void AddRow(const DbRecord& record, int colorIndex, const ModifiedDiffItem* item);
    // Both rows of a modified record, remembered as a pair for MarkModifiedPairs.
    void AddModified(const DbRecord& first, const DbRecord& second, const ModifiedDiffItem& item);
    void Flush();
    // The last filled row (the caption row while no record was added).
    int LastRow() const { return nextFill_ - 1; }
    // The rows still free on the sheet.
    int RowsLeft() const { return kLastSheetRow - nextFill_ + 1; }
    const automation::Ptr<excel::Worksheet>& Sheet() const { return sheet_; }
    // A white line between the two rows of every modified record, up to lastColumn.
    void MarkModifiedPairs(int lastColumn);

    // The text a value shows in its cell.
    static std::wstring CellText(const CellValue& value);

private:
    struct BufferedRow {
        std::vector<std::wstring> texts;
        std::vector<int> changed;  // the differing fields of a modified record's row
    };

    automation::Ptr<excel::Worksheet> sheet_;
    int nextFill_ = kFirstRow;
    int nextWrite_ = kFirstRow;
    std::vector<int> modifiedPairs_;
    std::vector<BufferedRow> rows_;
    int batchColor_ = 0;
    bool first_ = true;
};
