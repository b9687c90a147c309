#include "output/excel_sheet_writer.h"

#include "compare/db_record.h"
#include "compare/record_diff_item.h"
#include "output/record_statement_writer.h"
#include "platform/spreadsheet/cell_reference.h"
#include "platform/spreadsheet/excel_application.h"

namespace {

// Texts up to this length go with the block; longer ones are put one by one afterwards.
constexpr size_t kBlockText = 910;
constexpr size_t kCellText = 32766;
constexpr int kModifiedCell = 35;

}  // namespace

std::wstring ExcelCellAddress(int column, int row)
{
    return excel::ColumnName(column) + std::to_wstring(row);
}

ExcelSheetWriter::ExcelSheetWriter(automation::Ptr<excel::Worksheet> sheet)
    : sheet_(std::move(sheet))
{
}

std::wstring ExcelSheetWriter::CellText(const CellValue& value)
{
    if (value.IsArray())
        return L"BINARY DATA";
    std::wstring text = RecordStatementWriter::ReportText(value);
    return text.empty() ? std::wstring(L" ") : text;
}

void ExcelSheetWriter::AddRow(const DbRecord& record, int colorIndex, const ModifiedDiffItem* item)
{
    if (first_) {
        batchColor_ = colorIndex;
        first_ = false;
    }
    if (colorIndex != batchColor_ || rows_.size() >= kBatchRows) {
        Flush();
        batchColor_ = colorIndex;
    }
    BufferedRow row;
    row.texts.reserve(record.Values().size());
    for (const CellValue& value : record.Values())
        row.texts.push_back(CellText(value));
    if (item)
        row.changed = item->ChangedFields();
    rows_.push_back(std::move(row));
    ++nextFill_;
}

void ExcelSheetWriter::AddModified(const DbRecord& first, const DbRecord& second,
                                   const ModifiedDiffItem& item)
{
    modifiedPairs_.push_back(nextFill_);
    AddRow(first, 4, &item);
    AddRow(second, 4, &item);
}

void ExcelSheetWriter::Flush()
{
    if (rows_.empty())
        return;
    const int count = static_cast<int>(rows_.size());
    const int columns = static_cast<int>(rows_.front().texts.size());
    const int firstRow = nextWrite_;
    const int lastRow = nextWrite_ + count - 1;
    if (columns > 0) {
        struct LongCell {
            int row, column;
            const std::wstring* text;
        };
        std::vector<LongCell> longCells;
        excel::ValueArray values(count, columns);
        for (int r = 0; r < count; ++r) {
            const auto& texts = rows_[r].texts;
            for (int c = 0; c < columns && c < static_cast<int>(texts.size()); ++c) {
                if (texts[c].size() <= kBlockText) {
                    values.At(r + 1, c + 1) = automation::Variant(texts[c]);
                } else {
                    values.At(r + 1, c + 1) = automation::Variant(texts[c].substr(0, kBlockText));
                    longCells.push_back({firstRow + r, 1 + c, &texts[c]});
                }
            }
        }
        const std::wstring block =
            ExcelCellAddress(1, firstRow) + L":" + ExcelCellAddress(columns, lastRow);
        // A block or a long cell that the sheet refuses stays empty; the rest is written.
        try {
            auto range = sheet_->Range(block);
            range->SetWrapText(true);
            range->SetValue(values);
        } catch (const automation::ComError&) {
        }
        for (const auto& cell : longCells) {
            try {
                sheet_->Range(ExcelCellAddress(cell.column, cell.row))
                    ->SetValue(automation::Variant(cell.text->substr(0, kCellText)));
            } catch (const automation::ComError&) {
            }
        }
        sheet_->Range(block)->Interior()->SetColorIndex(batchColor_);
        for (int r = 0; r < count; ++r)
            for (int field : rows_[r].changed)
                sheet_->Range(ExcelCellAddress(field + 1, firstRow + r))
                    ->Interior()
                    ->SetColorIndex(kModifiedCell);
    }
    sheet_
        ->Range(ExcelCellAddress(columns + 1, firstRow) + L":" +
                ExcelCellAddress(columns + 1, lastRow))
        ->SetValue(automation::Variant(L" "));
    nextWrite_ += count;
    rows_.clear();
}

void ExcelSheetWriter::MarkModifiedPairs(int lastColumn)
{
    for (int row : modifiedPairs_) {
        auto line =
            sheet_->Range(ExcelCellAddress(1, row) + L":" + ExcelCellAddress(lastColumn, row + 1))
                ->Borders()
                ->Item(excel::xlInsideHorizontal);
        line->SetLineStyle(excel::xlContinuous);
        line->SetWeight(excel::xlThin);
        line->SetColorIndex(2);
    }
}
