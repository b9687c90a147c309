// The unattended run's command line: "<sql file> <mdb file>" and the switches, and the run itself.
#pragma once

#include <string>
#include <vector>

#include "database/connection_settings.h"

// The message of every usage error.
inline constexpr const wchar_t* kUsageText =
    L"Usage: CrvConsole <sql file> <mdb file> [key1] [key2] [...]\r\n"
    L"/c - create the empty mdb file\r\n"
    L"/o - delete the old mdb file\r\n"
    L"/e - show the error message in the console\r\n"
    L"/ef - put the error in the crvconsole.log file\r\n"
    L"/p - database password\r\n"
    L"/un - user name\r\n"
    L"/up - user password\r\n"
    L"/s - system database\r\n"
    L"/ie - ignore errors";

class CommandLine {
public:
    // `arguments` as the process received them, the program name first.
    explicit CommandLine(std::vector<std::wstring> arguments);

    // True when the command line is usable; else the message is the usage text.
    bool Parse();

    // Creates the database when asked, reads the script and runs it. True when all of it
    // succeeded; else the message says why.
    bool RunUnattended();

    const std::wstring& GetMessage() const { return message_; }
    bool ToConsole() const { return toConsole_; }
    bool ToLogFile() const { return toLogFile_; }

    const std::wstring& ScriptFile() const { return scriptFile_; }
    const ConnectionSettings& Settings() const { return settings_; }
    bool CreateDatabase() const { return create_; }
    bool DeleteOldDatabase() const { return deleteOld_; }
    bool StopOnError() const { return stopOnError_; }

private:
    bool ParseSwitch();
    bool TakeValue(std::wstring& target);
    bool PrepareDatabase();

    std::vector<std::wstring> arguments_;
    size_t next_ = 3;  // arguments 1 and 2 are the script and the database
    std::wstring scriptFile_;
    ConnectionSettings settings_;
    bool create_ = false;
    bool deleteOld_ = false;
    std::wstring message_;
    bool toConsole_ = false;
    bool toLogFile_ = false;
    bool stopOnError_ = true;
};

// True when the file can be opened for reading.
bool FileExists(const std::wstring& path);

// Deletes the database file at `path` so that a new one can take its place, as "/o" does; the
// editor window's "Create MDB" replaces a file through here too. True when no file is left there;
// else `message` is "Can't delete file " followed by the path.
bool DeleteDatabaseFile(const std::wstring& path, std::wstring& message);
