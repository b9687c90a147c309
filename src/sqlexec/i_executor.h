// The executor interface: each command kind calls back into its own operation, so the commands
// know nothing of the database and an executor knows nothing of how statements were parsed.
#pragma once

namespace SQLExecutor {

class SQLCommand;
class SQLParametrizedCommand;
class SQLCommandAlterValidationRule;
class SQLCommandAlterZeroLength;
class SQLCommandCreateView;
class SQLCommandCreateProcedure;
class SQLCommandAddConstraintNoIndex;
class SQLCommandLinkODBC;
class SQLCommandLinkAccess;

class IExecutor {
public:
    virtual ~IExecutor() = default;
    virtual void AlterZeroLength(const SQLCommandAlterZeroLength& command) = 0;
    virtual void CreateProcedure(const SQLCommandCreateProcedure& command) = 0;
    virtual void CreateView(const SQLCommandCreateView& command) = 0;
    virtual void AddConstraintNoIndex(const SQLCommandAddConstraintNoIndex& command) = 0;
    virtual void LinkAccess(const SQLCommandLinkAccess& command) = 0;
    virtual void LinkODBC(const SQLCommandLinkODBC& command) = 0;
    virtual void ExecuteParametrized(const SQLParametrizedCommand& command) = 0;
    virtual void AlterValidationRule(const SQLCommandAlterValidationRule& command) = 0;
    virtual void Execute(const SQLCommand& command) = 0;
};

}  // namespace SQLExecutor
