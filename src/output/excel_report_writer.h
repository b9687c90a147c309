// Saves the result of a comparison as an Excel workbook through "Excel.Application": one
// worksheet per table pair with reported records (the two database names, a legend, the
// table's caption, the column captions and the records coloured by kind). A table with more
// rows than a sheet holds goes on over further sheets named "<name> (2)", "<name> (3)" ...
#pragma once

#include <memory>
#include <set>
#include <string>

#include "output/record_report.h"
#include "platform/automation/object.h"

class ExcelSheetWriter;
class TablePair;

namespace excel {
class Sheets;
class Worksheet;
}  // namespace excel

class ExcelReportWriter : public RecordReport {
public:
    using RecordReport::RecordReport;
    ~ExcelReportWriter() override;

    // A stopped or failed run saves nothing: an older file of that name stays as it was.
    void Run(IProgress& progress) override;

    // A valid sheet name for a table: at most 31 characters, none of : \ / ? * [ ], no
    // apostrophe first or last, not empty; `suffix` (" (2)") is kept whole.
    static std::wstring SheetName(const std::wstring& table, const std::wstring& suffix = {});

private:
    class RowFeed;

    void WriteTable(excel::Sheets& sheets, const TablePair* pair, int& sheetNumber,
                    IProgress& progress);
    // Sheet `number` (added after the last when the workbook has fewer), named after the table
    // and headed by the names, the legend, the caption and the column captions.
    std::unique_ptr<ExcelSheetWriter> StartSheet(excel::Sheets& sheets, int number,
                                                 const TablePair* pair, int part);
    void FinishSheet(ExcelSheetWriter& writer, int columns);
    std::wstring UniqueName(excel::Sheets& sheets, int number, const std::wstring& table, int part);

    std::set<std::wstring> usedNames_;  // folded
};
