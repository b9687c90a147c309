// The output tasks of the comparison program as the comparison context makes them: the
// synchronisation script writer, the direct synchronisation and the two reports.
#pragma once

#include "compare/output_task_factory.h"

class OutputTasks : public OutputTaskFactory {
public:
    std::unique_ptr<WizardTask> MakeScriptWriter(const DatabaseSchema& schema1,
                                                 const DatabaseSchema& schema2, ResultStore& store,
                                                 DataReader& reader, const TablePairList& pairs,
                                                 const std::wstring& path, int encoding,
                                                 int direction, bool insert, bool update,
                                                 bool erase) const override;
    std::unique_ptr<WizardTask> MakeHtmlReport(const std::wstring& path, const std::wstring& name1,
                                               const std::wstring& name2, ResultStore& store,
                                               DataReader& reader, const TablePairList& pairs,
                                               bool firstOnly, bool secondOnly, bool modified,
                                               bool equal) const override;
    // Registers our own "Excel.Application" first, which the task starts by its name.
    std::unique_ptr<WizardTask> MakeExcelReport(const std::wstring& path, const std::wstring& name1,
                                                const std::wstring& name2, ResultStore& store,
                                                DataReader& reader, const TablePairList& pairs,
                                                bool firstOnly, bool secondOnly, bool modified,
                                                bool equal) const override;
    std::unique_ptr<WizardTask> MakeSynchronizer(int direction, const std::wstring& scriptPath,
                                                 bool backup,
                                                 ComparisonContext& context) const override;
};
