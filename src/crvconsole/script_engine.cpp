#include "crvconsole/script_engine.h"

#include "sqlexec/mdb_creator.h"
#include "sqlexec/progress.h"
#include "sqlexec/script_executor.h"

namespace crvconsole {

ScriptRunResult RunScript(const ConnectionSettings& settings, const std::wstring& text, bool echo,
                          const Options& options)
{
    SQLExecutor::ScriptExecutor executor(settings, text, echo, options);
    FakeProgress progress;  // the script runner shows no progress
    ScriptRunResult result;
    result.output = executor.Run(progress);
    result.stopped = executor.IsStopped();
    result.errorText = executor.GetErrorText();
    return result;
}

bool CreateEmptyDatabase(const ConnectionSettings& settings, std::wstring& error)
{
    SQLExecutor::MdbCreator creator(settings);
    if (creator.Create())
        return true;
    error = creator.GetError();
    return false;
}

}  // namespace crvconsole
