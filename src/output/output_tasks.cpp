#include "output/output_tasks.h"

#include "output/direct_sync.h"
#include "output/script_file_writer.h"

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
