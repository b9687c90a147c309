// Rebuilding happens at construction, so a statement that cannot be rebuilt is known before it
// runs and is reported as its own failure, not as a parse error of the whole script.
#include "sqlexec/sql_parametrized_command.h"

#include <initializer_list>
#include <string_view>

#include "platform/automation/com_error.h"

namespace SQLExecutor {

namespace {

// The pieces in one allocation: the value list may be megabytes long.
std::wstring Joined(std::initializer_list<std::wstring_view> pieces)
{
    size_t size = 0;
    for (std::wstring_view piece : pieces)
        size += piece.size();
    std::wstring joined;
    joined.reserve(size);
    for (std::wstring_view piece : pieces)
        joined += piece;
    return joined;
}

}  // namespace

void SQLParametrizedCommand::Execute(IExecutor& executor) const
{
    if (!rebuildError_.empty())
        throw automation::ComError(automation::E_INVALIDARG, rebuildError_);
    executor.ExecuteParametrized(*this);
}

SQLCommandInsertChr::SQLCommandInsertChr(std::wstring text, int line, TextSpan table,
                                         TextSpan columns, TextSpan values)
    : SQLParametrizedCommand(std::move(text), line)
{
    values_.ParseValues(GetText(values));
    rebuildError_ = values_.GetError();
    rebuilt_ = Joined({L"INSERT INTO ", GetText(table), L" (", GetText(columns), L") VALUES (",
                       values_.GetText(), L")"});
}

SQLCommandUpdate::SQLCommandUpdate(std::wstring text, int line, TextSpan table,
                                   TextSpan assignments, TextSpan condition)
    : SQLParametrizedCommand(std::move(text), line)
{
    if (!values_.ParseAssignments(GetText(assignments))) {
        rebuildError_ =
            L"The UPDATE statement can't be rebuilt with parameters: an element of its SET list "
            L"has no \"=\".";
        return;
    }
    rebuildError_ = values_.GetError();
    rebuilt_ = Joined(
        {L"UPDATE ", GetText(table), L" SET ", values_.GetText(), L" WHERE ", GetText(condition)});
}

}  // namespace SQLExecutor
