// Makes the output tasks of a comparison (the synchronisation script, the direct
// synchronisation, the two reports). The tasks live in the output layer, which builds on the
// comparison; the program hands the context their maker, so the comparison itself needs nothing
// from above.
#pragma once

#include <memory>
#include <string>

#include "compare/wizard_task.h"

class ComparisonContext;
class DataReader;
class DatabaseSchema;
class ResultStore;
class TablePairList;

class OutputTaskFactory {
public:
    virtual ~OutputTaskFactory() = default;

    // The script writer over both schemas and a finished comparison's results; nothing is
    // owned by the task. encoding: 1 ANSI, 2 UTF-8, 3 UTF-16. direction: 1 = the target is
    // Database1, 2 = Database2.
    virtual std::unique_ptr<WizardTask> MakeScriptWriter(
        const DatabaseSchema& schema1, const DatabaseSchema& schema2, ResultStore& store,
        DataReader& reader, const TablePairList& pairs, const std::wstring& path, int encoding,
        int direction, bool insert, bool update, bool erase) const = 0;

    // The HTML report and the Excel workbook of a finished comparison, with the kinds to report
    // (only in Database1, only in Database2, modified, equal); nothing is owned by the task.
    virtual std::unique_ptr<WizardTask> MakeHtmlReport(
        const std::wstring& path, const std::wstring& name1, const std::wstring& name2,
        ResultStore& store, DataReader& reader, const TablePairList& pairs, bool firstOnly,
        bool secondOnly, bool modified, bool equal) const = 0;
    virtual std::unique_ptr<WizardTask> MakeExcelReport(
        const std::wstring& path, const std::wstring& name1, const std::wstring& name2,
        ResultStore& store, DataReader& reader, const TablePairList& pairs, bool firstOnly,
        bool secondOnly, bool modified, bool equal) const = 0;

    // The direct synchronisation of the script at scriptPath into the direction's target.
    virtual std::unique_ptr<WizardTask> MakeSynchronizer(int direction,
                                                         const std::wstring& scriptPath,
                                                         bool backup,
                                                         ComparisonContext& context) const = 0;
};
