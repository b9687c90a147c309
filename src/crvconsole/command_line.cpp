#include "crvconsole/command_line.h"

#include <unistd.h>

#include <cstdio>
#include <cwctype>

#include "crvconsole/options_manager.h"
#include "crvconsole/script_engine.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/native_store.h"
#include "sqlexec/script_helper.h"

namespace {

bool SameSwitch(const std::wstring& argument, const wchar_t* name)
{
    size_t i = 0;
    for (; i < argument.size() && name[i] != L'\0'; ++i) {
        if (std::towlower(argument[i]) != std::towlower(name[i]))
            return false;
    }
    return i == argument.size() && name[i] == L'\0';
}

}  // namespace

CommandLine::CommandLine(std::vector<std::wstring> arguments) : arguments_(std::move(arguments)) {}

bool CommandLine::Parse()
{
    if (arguments_.size() < 3) {
        message_ = kUsageText;
        return false;
    }
    create_ = deleteOld_ = toConsole_ = toLogFile_ = false;
    stopOnError_ = true;
    scriptFile_ = arguments_[1];
    settings_.path = arguments_[2];
    for (next_ = 3; next_ < arguments_.size(); ++next_) {
        if (!ParseSwitch()) {
            message_ = kUsageText;
            return false;
        }
    }
    return true;
}

bool CommandLine::ParseSwitch()
{
    const std::wstring& argument = arguments_[next_];
    if (SameSwitch(argument, L"/c"))
        create_ = true;
    else if (SameSwitch(argument, L"/o"))
        deleteOld_ = true;
    else if (SameSwitch(argument, L"/e"))
        toConsole_ = true;
    else if (SameSwitch(argument, L"/ef"))
        toLogFile_ = true;
    else if (SameSwitch(argument, L"/ie"))
        stopOnError_ = false;
    else if (SameSwitch(argument, L"/p"))
        return TakeValue(settings_.databasePassword);
    else if (SameSwitch(argument, L"/un"))
        return TakeValue(settings_.userName);
    else if (SameSwitch(argument, L"/up"))
        return TakeValue(settings_.userPassword);
    else if (SameSwitch(argument, L"/s"))
        return TakeValue(settings_.systemDatabase);
    else
        return false;
    return true;
}

// A value switch takes the next argument whatever it looks like; as the last argument it is a
// usage error.
bool CommandLine::TakeValue(std::wstring& target)
{
    if (next_ + 1 >= arguments_.size())
        return false;
    target = arguments_[++next_];
    return true;
}

bool CommandLine::RunUnattended()
{
    if (create_ && !PrepareDatabase())
        return false;

    SQLExecutor::ScriptHelper script;
    if (!script.Load(scriptFile_)) {
        message_ = script.GetError();
        return false;
    }
    // The unattended run takes its option from the command line, never from the settings.
    Options options;
    options.stopOnError = stopOnError_;
    const crvconsole::ScriptRunResult result =
        crvconsole::RunScript(settings_, script.GetText(), false, options);
    if (result.stopped) {
        message_ = result.errorText;
        return false;
    }
    return true;
}

// "/o" matters only with "/c": the old file goes first, then the empty database is created.
bool CommandLine::PrepareDatabase()
{
    if (deleteOld_ && !DeleteDatabaseFile(settings_.path, message_))
        return false;
    std::wstring error;
    if (!crvconsole::CreateEmptyDatabase(settings_, error)) {
        message_ = error;
        return false;
    }
    return true;
}

bool DeleteDatabaseFile(const std::wstring& path, std::wstring& message)
{
    // Only a database nobody has open goes, and its log and lock files go with it.
    if (FileExists(path) && !provider::NativeStore::Delete(path)) {
        message = L"Can't delete file " + path;
        return false;
    }
    return true;
}

bool FileExists(const std::wstring& path)
{
    std::FILE* file = std::fopen(automation::ToUtf8(path).c_str(), "rb");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}
