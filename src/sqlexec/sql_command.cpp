// Construction of the command kinds; their execution lives with the executor.
#include "sqlexec/sql_command.h"

namespace SQLExecutor {

SQLCommandAlterValidationRule::SQLCommandAlterValidationRule(std::wstring text, int line,
                                                             std::wstring table, std::wstring field,
                                                             std::wstring rule)
    : SQLCommand(std::move(text), line),
      table_(std::move(table)),
      field_(std::move(field)),
      rule_(std::move(rule))
{
}

SQLCommandAlterZeroLength::SQLCommandAlterZeroLength(std::wstring text, int line,
                                                     std::wstring table, std::wstring field,
                                                     bool allow)
    : SQLCommand(std::move(text), line),
      table_(std::move(table)),
      field_(std::move(field)),
      allow_(allow)
{
}

SQLCommandCreateView::SQLCommandCreateView(std::wstring text, int line, std::wstring name,
                                           std::wstring body)
    : SQLCommand(std::move(text), line), name_(std::move(name)), body_(std::move(body))
{
}

SQLCommandCreateProcedure::SQLCommandCreateProcedure(std::wstring text, int line, std::wstring name,
                                                     std::wstring parameters, std::wstring body)
    : SQLCommandCreateView(std::move(text), line, std::move(name), std::move(body)),
      parameters_(std::move(parameters))
{
}

SQLCommandAddConstraintNoIndex::SQLCommandAddConstraintNoIndex(std::wstring text, int line,
                                                               std::wstring table,
                                                               std::wstring referencedTable,
                                                               std::wstring name,
                                                               std::vector<ColumnPair> columns)
    : SQLCommand(std::move(text), line),
      table_(std::move(table)),
      referencedTable_(std::move(referencedTable)),
      name_(std::move(name)),
      columns_(std::move(columns))
{
}

SQLCommandLinkODBC::SQLCommandLinkODBC(std::wstring text, int line, std::wstring localTable,
                                       std::wstring source, std::wstring remoteTable)
    : SQLCommand(std::move(text), line),
      localTable_(std::move(localTable)),
      source_(std::move(source)),
      remoteTable_(std::move(remoteTable))
{
}

}  // namespace SQLExecutor
