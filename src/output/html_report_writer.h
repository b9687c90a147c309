// Saves the result of a comparison as one HTML page: the list of compared table pairs with the
// number of reported records and links, the legend, and one table per pair with reported
// records, its rows coloured by kind. Every name and value is escaped for the page.
#pragma once

#include <string>

#include "output/record_report.h"

class TablePair;
class TextFileWriter;

class HtmlReportWriter : public RecordReport {
public:
    using RecordReport::RecordReport;
    ~HtmlReportWriter() override;

    // The page replaces an older file of that name only when it is whole: a failed or stopped
    // run leaves that file (or no file) behind.
    void Run(IProgress& progress) override;

    // A name or caption as it appears on the page.
    static std::wstring Escaped(std::wstring text);

private:
    std::wstring TableList() const;
    // The line under a table's caption when its key is not unique; empty otherwise.
    std::wstring KeyWarning(const TablePair* pair) const;
    void WriteTable(const TablePair* pair, int number, TextFileWriter& file, IProgress& progress);
    void Write(TextFileWriter& file, const std::wstring& text);
};
