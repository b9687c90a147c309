// Runs a whole script against one database: statement by statement, with echo, progress, the
// error text of each failing statement and an optional stop at the first failure.
#pragma once

#include <string>
#include <vector>

#include "database/db_connection.h"
#include "sqlexec/i_executor.h"
#include "sqlexec/options.h"
#include "sqlexec/progress.h"

namespace automation {
class ComError;
}

namespace SQLExecutor {

class ScriptExecutor : public IExecutor {
public:
    // The settings and the script stay the caller's and must outlive the run. The database is
    // opened by the first statement that needs it.
    ScriptExecutor(const ConnectionSettings& settings, const std::wstring& script, bool echo,
                   const Options& options);
    // A temporary script would be gone before the run.
    ScriptExecutor(const ConnectionSettings&, std::wstring&&, bool, const Options&) = delete;
    ~ScriptExecutor() override;

    // Executes every statement and returns the output text: the echo lines, the error texts and,
    // when statements ran and none failed, "Command(s) completed successfully.".
    std::wstring Run(IProgress& progress);

    // For a run of one transaction (all or nothing): the rows of `table` are found by the fields
    // `keys`, which no index of the table covers. An index over them is made when the
    // transaction begins and dropped before it commits, so that each statement finds its rows
    // without reading the whole table and the schema is left as it was. An index that cannot be
    // made only makes the run slower.
    void IndexDuringRun(const std::wstring& table, const std::vector<std::wstring>& keys);

    // True when a statement failed while stop-on-error was on, or when the database could not
    // be opened (which ends the run whatever the options).
    bool IsStopped() const { return stopped_; }
    // The error text of the last failing statement.
    const std::wstring& GetErrorText() const { return errorText_; }

    // The text of a failed statement's automation error.
    static std::wstring FormatError(const automation::ComError& error);

    void AlterZeroLength(const SQLCommandAlterZeroLength& command) override;
    void CreateProcedure(const SQLCommandCreateProcedure& command) override;
    void CreateView(const SQLCommandCreateView& command) override;
    void AddConstraintNoIndex(const SQLCommandAddConstraintNoIndex& command) override;
    void LinkAccess(const SQLCommandLinkAccess& command) override;
    void LinkODBC(const SQLCommandLinkODBC& command) override;
    void ExecuteParametrized(const SQLParametrizedCommand& command) override;
    void AlterValidationRule(const SQLCommandAlterValidationRule& command) override;
    void Execute(const SQLCommand& command) override;

private:
    struct RunIndex {
        std::wstring table;
        std::vector<std::wstring> keys;
        std::wstring name;  // empty until made
    };
    void MakeRunIndexes();
    // Drops the indexes made; false, with the error text set, when one cannot be dropped.
    bool DropRunIndexes();

    void Link(const SQLCommandLinkODBC& command, const wchar_t* sourceProperty);

    bool stopped_ = false;
    std::wstring errorText_;
    bool echo_;
    Options options_;
    const std::wstring& script_;
    DbConnection connection_;
    std::vector<RunIndex> runIndexes_;
};

}  // namespace SQLExecutor
