#include "crvconsole/script_engine.h"

// The executor and the database creator come from the script execution library; a build made
// before they exist still starts, opens its window and reports plainly that it cannot run
// scripts.
#if __has_include("sqlexec/script_executor.h") && __has_include("sqlexec/mdb_creator.h")
#define CRV_HAVE_SCRIPT_ENGINE 1
#include "sqlexec/mdb_creator.h"
#include "sqlexec/progress.h"
#include "sqlexec/script_executor.h"
#else
#define CRV_HAVE_SCRIPT_ENGINE 0
#endif

namespace crvconsole {

#if CRV_HAVE_SCRIPT_ENGINE

ScriptRunResult RunScript(const ConnectionSettings& settings, const std::wstring& text, bool echo,
                          const Options& options)
{
    SQLExecutor::ScriptExecutor executor(settings, text, echo, options);
    FakeProgress progress;
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

bool ScriptEngineAvailable()
{
    return true;
}

#else

namespace {

constexpr const wchar_t* kUnavailable = L"Script execution is not available in this build.";

}  // namespace

ScriptRunResult RunScript(const ConnectionSettings&, const std::wstring&, bool, const Options&)
{
    ScriptRunResult result;
    result.stopped = true;
    result.errorText = kUnavailable;
    result.output = kUnavailable;
    return result;
}

bool CreateEmptyDatabase(const ConnectionSettings&, std::wstring& error)
{
    error = std::wstring(L"\r\nError: ") + kUnavailable;
    return false;
}

bool ScriptEngineAvailable()
{
    return false;
}

#endif

}  // namespace crvconsole
