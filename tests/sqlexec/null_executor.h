// An executor that accepts every command kind and does nothing, so that a command's own
// Execute path runs without a database.
#pragma once

#include "sqlexec/i_executor.h"

namespace sqlexectest {

class NullExecutor : public SQLExecutor::IExecutor {
public:
    void AlterZeroLength(const SQLExecutor::SQLCommandAlterZeroLength&) override {}
    void CreateProcedure(const SQLExecutor::SQLCommandCreateProcedure&) override {}
    void CreateView(const SQLExecutor::SQLCommandCreateView&) override {}
    void AddConstraintNoIndex(const SQLExecutor::SQLCommandAddConstraintNoIndex&) override {}
    void LinkAccess(const SQLExecutor::SQLCommandLinkAccess&) override {}
    void LinkODBC(const SQLExecutor::SQLCommandLinkODBC&) override {}
    void ExecuteParametrized(const SQLExecutor::SQLParametrizedCommand&) override {}
    void AlterValidationRule(const SQLExecutor::SQLCommandAlterValidationRule&) override {}
    void Execute(const SQLExecutor::SQLCommand&) override {}
};

}  // namespace sqlexectest
