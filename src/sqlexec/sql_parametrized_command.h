// INSERT and UPDATE statements whose values hold chr() codes or base64 literals: the statement is
// rebuilt with "?" placeholders and the decoded values travel as parameters, so that control
// characters and binary data reach the database exactly.
#pragma once

#include <string>
#include <vector>

#include "sqlexec/sql_command.h"
#include "sqlexec/value_list_parser.h"

namespace SQLExecutor {

class SQLParametrizedCommand : public SQLCommand {
public:
    // Raises automation::ComError when the statement could not be rebuilt.
    void Execute(IExecutor& executor) const override;

    // The statement with placeholders, as it is sent to the database.
    const std::wstring& GetRebuiltText() const { return rebuilt_; }
    const std::vector<CommandParameter>& GetParameters() const { return values_.GetParameters(); }

protected:
    SQLParametrizedCommand(std::wstring text, int line) : SQLCommand(std::move(text), line) {}

    ValueListParser values_;
    std::wstring rebuilt_;
    // Why the statement could not be rebuilt; empty when it was.
    std::wstring rebuildError_;
};

// The pieces are places in the statement's own text: a statement may be megabytes long, and its
// value list is then read where it stands instead of from a copy.
class SQLCommandInsertChr : public SQLParametrizedCommand {
public:
    SQLCommandInsertChr(std::wstring text, int line, TextSpan table, TextSpan columns,
                        TextSpan values);
};

class SQLCommandUpdate : public SQLParametrizedCommand {
public:
    SQLCommandUpdate(std::wstring text, int line, TextSpan table, TextSpan assignments,
                     TextSpan condition);
};

}  // namespace SQLExecutor
