// The command objects of a script: one statement each, with the first line it came from. The
// plain command runs its text as written; the others carry the pieces their patterns found and
// are executed through the catalog or the relations instead of as SQL text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sqlexec/i_executor.h"

namespace SQLExecutor {

// A stretch of a statement's text, by place.
struct TextSpan {
    size_t offset = 0;
    size_t length = 0;
};

class SQLCommand {
public:
    SQLCommand(std::wstring text, int line) : text_(std::move(text)), line_(line) {}
    SQLCommand(const SQLCommand&) = delete;
    SQLCommand& operator=(const SQLCommand&) = delete;
    virtual ~SQLCommand() = default;

    // Runs the command through the executor operation of its kind. Database failures arrive as
    // automation::ComError or DbOpenException.
    virtual void Execute(IExecutor& executor) const { executor.Execute(*this); }

    // The statement as the script held it (lines joined by single spaces, without its ";").
    const std::wstring& GetText() const { return text_; }
    std::wstring_view GetText(TextSpan span) const
    {
        return std::wstring_view(text_).substr(span.offset, span.length);
    }
    // The script line on which the statement starts, counting from 1.
    int GetLine() const { return line_; }

private:
    std::wstring text_;
    int line_;
};

// Sets or (with an empty rule) removes a column's validation rule.
class SQLCommandAlterValidationRule : public SQLCommand {
public:
    SQLCommandAlterValidationRule(std::wstring text, int line, std::wstring table,
                                  std::wstring field, std::wstring rule);
    void Execute(IExecutor& executor) const override { executor.AlterValidationRule(*this); }

    const std::wstring& GetTable() const { return table_; }
    const std::wstring& GetField() const { return field_; }
    const std::wstring& GetRule() const { return rule_; }

private:
    std::wstring table_;
    std::wstring field_;
    std::wstring rule_;
};

// Allows or denies zero-length text in a column.
class SQLCommandAlterZeroLength : public SQLCommand {
public:
    SQLCommandAlterZeroLength(std::wstring text, int line, std::wstring table, std::wstring field,
                              bool allow);
    void Execute(IExecutor& executor) const override { executor.AlterZeroLength(*this); }

    const std::wstring& GetTable() const { return table_; }
    const std::wstring& GetField() const { return field_; }
    bool GetAllow() const { return allow_; }

private:
    std::wstring table_;
    std::wstring field_;
    bool allow_;
};

// A stored view: its name and the select statement it stands for.
class SQLCommandCreateView : public SQLCommand {
public:
    SQLCommandCreateView(std::wstring text, int line, std::wstring name, std::wstring body);
    void Execute(IExecutor& executor) const override { executor.CreateView(*this); }

    const std::wstring& GetName() const { return name_; }
    const std::wstring& GetBody() const { return body_; }

private:
    std::wstring name_;
    std::wstring body_;
};

// A stored procedure: a view's pieces plus its parameter declarations (may be empty).
class SQLCommandCreateProcedure : public SQLCommandCreateView {
public:
    SQLCommandCreateProcedure(std::wstring text, int line, std::wstring name,
                              std::wstring parameters, std::wstring body);
    void Execute(IExecutor& executor) const override { executor.CreateProcedure(*this); }

    const std::wstring& GetParameters() const { return parameters_; }

private:
    std::wstring parameters_;
};

// A relation that is recorded but neither indexed nor enforced.
class SQLCommandAddConstraintNoIndex : public SQLCommand {
public:
    // (column of the table, column of the referenced table), in the statement's order.
    using ColumnPair = std::pair<std::wstring, std::wstring>;

    SQLCommandAddConstraintNoIndex(std::wstring text, int line, std::wstring table,
                                   std::wstring referencedTable, std::wstring name,
                                   std::vector<ColumnPair> columns);
    void Execute(IExecutor& executor) const override { executor.AddConstraintNoIndex(*this); }

    const std::wstring& GetTable() const { return table_; }
    const std::wstring& GetReferencedTable() const { return referencedTable_; }
    const std::wstring& GetName() const { return name_; }
    const std::vector<ColumnPair>& GetColumns() const { return columns_; }

private:
    std::wstring table_;
    std::wstring referencedTable_;
    std::wstring name_;
    std::vector<ColumnPair> columns_;
};

// A table linked through an ODBC connect string.
class SQLCommandLinkODBC : public SQLCommand {
public:
    SQLCommandLinkODBC(std::wstring text, int line, std::wstring localTable, std::wstring source,
                       std::wstring remoteTable);
    void Execute(IExecutor& executor) const override { executor.LinkODBC(*this); }

    const std::wstring& GetLocalTable() const { return localTable_; }
    // The ODBC connect string, or the other database's path for an Access link.
    const std::wstring& GetSource() const { return source_; }
    const std::wstring& GetRemoteTable() const { return remoteTable_; }

private:
    std::wstring localTable_;
    std::wstring source_;
    std::wstring remoteTable_;
};

// A table linked from another Access database, whose path is the source.
class SQLCommandLinkAccess : public SQLCommandLinkODBC {
public:
    using SQLCommandLinkODBC::SQLCommandLinkODBC;
    void Execute(IExecutor& executor) const override { executor.LinkAccess(*this); }
};

}  // namespace SQLExecutor
