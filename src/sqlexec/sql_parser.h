// Splits a script into statements and turns each into the command of its kind.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "sqlexec/sql_command.h"

namespace SQLExecutor {

class SQLParser {
public:
    // The script stays the caller's and must outlive the parser.
    explicit SQLParser(const std::wstring& script);
    // A temporary script would be gone before the first statement is read.
    explicit SQLParser(std::wstring&&) = delete;
    SQLParser(const SQLParser&) = delete;
    SQLParser& operator=(const SQLParser&) = delete;
    virtual ~SQLParser() = default;

    // The number of line feeds in the script: the progress total of a run.
    int GetLineCount() const { return lineCount_; }

    // The next statement's command, or null at the end of the script. A statement ends at a line
    // whose last character is ";" or at the end of the script; empty lines and lines starting
    // with "--" are skipped, but counted.
    std::unique_ptr<SQLCommand> Next();

    // The command for one statement text (never null): the first statement pattern that matches
    // decides its kind, anything else is a plain command. The command keeps the text.
    static std::unique_ptr<SQLCommand> Classify(std::wstring text, int line);

    // The statement patterns, in the order they are tried.
    static std::span<const wchar_t* const> PatternTexts();

private:
    bool ReadLine(std::wstring_view& line);
    // The command of the statement read so far, which it takes over.
    std::unique_ptr<SQLCommand> Take();

    std::wstring_view script_;
    size_t position_ = 0;
    std::wstring statement_;
    int lineNumber_ = 0;
    int startLine_ = 0;
    int lineCount_ = 0;
};

}  // namespace SQLExecutor
