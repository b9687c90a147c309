// The script runner's door to script execution and to empty databases: both roads (the
// unattended run and the editor window) run scripts and create databases through here.
#pragma once

#include <string>

#include "database/connection_settings.h"
#include "sqlexec/options.h"

namespace crvconsole {

struct ScriptRunResult {
    std::wstring output;     // echo, error texts and the success line
    bool stopped = false;    // a statement failed while stop-on-error was on
    std::wstring errorText;  // the text of the last failing statement
};

// Runs `text` against the database, one statement after the other, with no progress shown.
ScriptRunResult RunScript(const ConnectionSettings& settings, const std::wstring& text, bool echo,
                          const Options& options);

// Creates an empty database file at `settings.path` (the credentials are not used). On failure
// `error` holds the provider's text, beginning with "\r\nError: ".
bool CreateEmptyDatabase(const ConnectionSettings& settings, std::wstring& error);

}  // namespace crvconsole
