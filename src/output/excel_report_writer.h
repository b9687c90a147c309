// Saves the result of a comparison as an Excel workbook through "Excel.Application": one
// worksheet per table pair with reported records (the two database names, a legend, the
// table's caption, the column captions and the records coloured by kind). A table with more
// rows than a sheet holds goes on over further sheets named "<name> (2)", "<name> (3)" ...
#pragma once

#include <memory>
#include <set>
#include <string>

#include "compare/wizard_task.h"
#include "platform/automation/object.h"

class DataReader;
class ExcelSheetWriter;
class ResultStore;
class TablePair;
class TablePairList;

namespace excel {
class Sheets;
class Worksheet;
}  // namespace excel

class ExcelReportWriter : public WizardTask {
public:
    // The kinds to report: only in Database1, only in Database2, modified, equal. Nothing is
    // owned.
    ExcelReportWriter(std::wstring path, std::wstring name1, std::wstring name2,
                      ResultStore& store, DataReader& reader, const TablePairList& pairs,
                      bool firstOnly, bool secondOnly, bool modified, bool equal);
    ~ExcelReportWriter() override;

    // A stopped or failed run saves nothing: an older file of that name stays as it was.
    void Run(IProgress& progress) override;
    bool Failed() const override { return failed_; }
    std::wstring ErrorText() const override { return errorText_; }
    void RequestStop() override;

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
    void Fail(std::wstring text);

    bool failed_ = false;
    std::wstring errorText_;
    bool firstOnly_;
    bool secondOnly_;
    bool modified_;
    bool equal_;
    ResultStore& store_;
    DataReader& reader_;
    const TablePairList& pairs_;
    std::wstring name1_;
    std::wstring name2_;
    std::wstring path_;
    TaskStopFlag stop_;
    std::set<std::wstring> usedNames_;  // folded
};
