#include "output/output_tasks.h"

#include "output/direct_sync.h"
#include "output/excel_report_writer.h"
#include "output/html_report_writer.h"
#include "output/script_file_writer.h"
#include "platform/spreadsheet/excel_application.h"

std::unique_ptr<WizardTask> OutputTasks::MakeScriptWriter(
    const DatabaseSchema& schema1, const DatabaseSchema& schema2, ResultStore& store,
    DataReader& reader, const TablePairList& pairs, const std::wstring& path, int encoding,
    int direction, bool insert, bool update, bool erase) const
{
    return std::make_unique<ScriptFileWriter>(schema1, schema2, store, reader, pairs, path,
                                              encoding, direction, insert, update, erase);
}

std::unique_ptr<WizardTask> OutputTasks::MakeSynchronizer(int direction,
                                                          const std::wstring& scriptPath,
                                                          bool backup,
                                                          ComparisonContext& context) const
{
    return std::make_unique<DirectSync>(direction, scriptPath, backup, context);
}

std::unique_ptr<WizardTask> OutputTasks::MakeHtmlReport(
    const std::wstring& path, const std::wstring& name1, const std::wstring& name2,
    ResultStore& store, DataReader& reader, const TablePairList& pairs, bool firstOnly,
    bool secondOnly, bool modified, bool equal) const
{
    return std::make_unique<HtmlReportWriter>(path, name1, name2, store, reader, pairs, firstOnly,
                                              secondOnly, modified, equal);
}

std::unique_ptr<WizardTask> OutputTasks::MakeExcelReport(
    const std::wstring& path, const std::wstring& name1, const std::wstring& name2,
    ResultStore& store, DataReader& reader, const TablePairList& pairs, bool firstOnly,
    bool secondOnly, bool modified, bool equal) const
{
    excel::RegisterSpreadsheetClasses();
    return std::make_unique<ExcelReportWriter>(path, name1, name2, store, reader, pairs, firstOnly,
                                               secondOnly, modified, equal);
}
