#include "crvconsole/script_engine.h"

// The executor, the script document and the database creator come from the script execution
// library; a build made before they exist still starts, opens its window and reports plainly that
// it cannot run scripts.
#if __has_include("sqlexec/script_executor.h") && __has_include("sqlexec/script_helper.h") && \
    __has_include("sqlexec/mdb_creator.h")
#define CRV_HAVE_SCRIPT_ENGINE 1
#include "sqlexec/mdb_creator.h"
#include "sqlexec/progress.h"
#include "sqlexec/script_executor.h"
#include "sqlexec/script_helper.h"
#else
#define CRV_HAVE_SCRIPT_ENGINE 0
#endif

namespace crvconsole {

#if CRV_HAVE_SCRIPT_ENGINE

namespace {

ConnectionSettings SettingsOf(const DatabaseChoice& database)
{
    ConnectionSettings settings;
    settings.Assign(database.path, database.systemDatabase, database.databasePassword,
                    database.userName, database.userPassword);
    return settings;
}

}  // namespace

ScriptRunResult RunScript(const DatabaseChoice& database, const std::wstring& text, bool echo,
                          bool stopOnError)
{
    const ConnectionSettings settings = SettingsOf(database);
    const Options options{stopOnError};
    SQLExecutor::ScriptExecutor executor(settings, text, echo, options);
    FakeProgress progress;
    ScriptRunResult result;
    result.output = executor.Run(progress);
    result.stopped = executor.IsStopped();
    result.errorText = executor.GetErrorText();
    return result;
}

bool CreateEmptyDatabase(const DatabaseChoice& database, std::wstring& error)
{
    const ConnectionSettings settings = SettingsOf(database);
    SQLExecutor::MdbCreator creator(settings);
    if (creator.Create())
        return true;
    error = creator.GetError();
    return false;
}

struct ScriptDocument::Impl {
    SQLExecutor::ScriptHelper helper;
};

bool ScriptDocument::Load(const std::wstring& fileName) { return impl_->helper.Load(fileName); }
std::wstring ScriptDocument::GetText() const { return impl_->helper.GetText(); }
void ScriptDocument::ClearText() { impl_->helper.ClearText(); }
bool ScriptDocument::IsUntitled() const { return impl_->helper.IsUntitled(); }
bool ScriptDocument::Save(const std::wstring& text) { return impl_->helper.Save(text); }
bool ScriptDocument::SaveAs(const std::wstring& fileName, const std::wstring& text)
{
    return impl_->helper.SaveAs(fileName, text);
}
std::wstring ScriptDocument::GetError() const { return impl_->helper.GetError(); }
bool ScriptDocument::HasError() const { return impl_->helper.HasError(); }

bool ScriptEngineAvailable() { return true; }

#else

namespace {

constexpr const wchar_t* kUnavailable = L"Script execution is not available in this build.";

}  // namespace

ScriptRunResult RunScript(const DatabaseChoice&, const std::wstring&, bool, bool)
{
    ScriptRunResult result;
    result.stopped = true;
    result.errorText = kUnavailable;
    result.output = kUnavailable;
    return result;
}

bool CreateEmptyDatabase(const DatabaseChoice&, std::wstring& error)
{
    error = std::wstring(L"\r\nError: ") + kUnavailable;
    return false;
}

struct ScriptDocument::Impl {
    std::wstring fileName;
    std::wstring error;
};

bool ScriptDocument::Load(const std::wstring& fileName)
{
    impl_->fileName = fileName;
    impl_->error = kUnavailable;
    return false;
}
std::wstring ScriptDocument::GetText() const { return {}; }
void ScriptDocument::ClearText() {}
bool ScriptDocument::IsUntitled() const { return impl_->fileName.empty(); }
bool ScriptDocument::Save(const std::wstring&) { return false; }
bool ScriptDocument::SaveAs(const std::wstring& fileName, const std::wstring&)
{
    impl_->fileName = fileName;
    return false;
}
std::wstring ScriptDocument::GetError() const { return impl_->error; }
bool ScriptDocument::HasError() const { return !impl_->error.empty(); }

bool ScriptEngineAvailable() { return false; }

#endif

ScriptDocument::ScriptDocument() : impl_(std::make_unique<Impl>()) {}
ScriptDocument::~ScriptDocument() = default;

}  // namespace crvconsole
