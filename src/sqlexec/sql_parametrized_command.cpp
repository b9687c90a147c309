// Rebuilding happens at construction, so a statement that cannot be rebuilt is known before it
// runs and is reported as its own failure, not as a parse error of the whole script.
#include "sqlexec/sql_parametrized_command.h"

#include "platform/automation/com_error.h"

namespace SQLExecutor {

void SQLParametrizedCommand::Execute(IExecutor& executor) const
{
    if (!rebuildError_.empty())
        throw automation::ComError(automation::E_INVALIDARG, rebuildError_);
    executor.ExecuteParametrized(*this);
}

SQLCommandInsertChr::SQLCommandInsertChr(std::wstring text, int line, const std::wstring& table,
                                         const std::wstring& columns, const std::wstring& values)
    : SQLParametrizedCommand(std::move(text), line)
{
    values_.ParseValues(values);
    rebuildError_ = values_.GetError();
    rebuilt_ = L"INSERT INTO " + table + L" (" + columns + L") VALUES (" + values_.GetText() + L")";
}

SQLCommandUpdate::SQLCommandUpdate(std::wstring text, int line, const std::wstring& table,
                                   const std::wstring& assignments, const std::wstring& condition)
    : SQLParametrizedCommand(std::move(text), line)
{
    if (!values_.ParseAssignments(assignments)) {
        rebuildError_ =
            L"The UPDATE statement can't be rebuilt with parameters: an element of its SET list "
            L"has no \"=\".";
        return;
    }
    rebuildError_ = values_.GetError();
    rebuilt_ = L"UPDATE " + table + L" SET " + values_.GetText() + L" WHERE " + condition;
}

}  // namespace SQLExecutor
