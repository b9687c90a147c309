// The output tasks of the comparison program as the comparison context makes them: the
// synchronisation script writer and the direct synchronisation.
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
    std::unique_ptr<WizardTask> MakeSynchronizer(int direction, const std::wstring& scriptPath,
                                                 bool backup,
                                                 ComparisonContext& context) const override;
};
