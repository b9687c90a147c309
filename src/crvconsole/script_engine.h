// The script runner's one door to script execution, script files and empty databases: both roads
// (the unattended run and the editor window) go through here, so the window and the command line
// depend only on these few calls.
#pragma once

#include <memory>
#include <string>

namespace crvconsole {

// The five texts that open one database, in the order the database layer takes them.
struct DatabaseChoice {
    std::wstring path;
    std::wstring systemDatabase;
    std::wstring databasePassword;
    std::wstring userName;
    std::wstring userPassword;
};

struct ScriptRunResult {
    std::wstring output;     // echo, error texts and the success line
    bool stopped = false;    // a statement failed while stop-on-error was on
    std::wstring errorText;  // the text of the last failing statement
};

// Runs `text` against the database, one statement after the other, with no progress shown.
ScriptRunResult RunScript(const DatabaseChoice& database, const std::wstring& text, bool echo,
                          bool stopOnError);

// Creates an empty database file at `database.path` (the credentials are not used). On failure
// `error` holds the provider's text, beginning with "\r\nError: ".
bool CreateEmptyDatabase(const DatabaseChoice& database, std::wstring& error);

// A script file and its text; saved back in the encoding it was loaded with (a new script as
// ANSI text).
class ScriptDocument {
public:
    ScriptDocument();
    ~ScriptDocument();
    ScriptDocument(const ScriptDocument&) = delete;
    ScriptDocument& operator=(const ScriptDocument&) = delete;

    // Reads the file, decoding it by its byte-order mark. The name is kept also on failure.
    bool Load(const std::wstring& fileName);
    std::wstring GetText() const;
    void ClearText();
    bool IsUntitled() const;
    // `text` with LF line ends; written with CR LF.
    bool Save(const std::wstring& text);
    bool SaveAs(const std::wstring& fileName, const std::wstring& text);
    // The text of the last failed load ("Can't open file ..." or "Can't read file ...").
    std::wstring GetError() const;
    bool HasError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// False in a build without the script executor; every call above then fails with a clear text.
bool ScriptEngineAvailable();

}  // namespace crvconsole
