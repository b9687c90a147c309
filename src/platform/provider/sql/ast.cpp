// Out-of-line members of the syntax tree: the nodes own subqueries of a type that
// is complete only at the end of ast.h.
#include "platform/provider/sql/ast.h"

#include <cwctype>

namespace provider::sql {

Expr::Expr() = default;
Expr::Expr(ExprKind k, uint32_t p) : kind(k), pos(p) {}
Expr::~Expr() = default;

TableRef::TableRef() = default;
TableRef::~TableRef() = default;

Constraint::Constraint() = default;
Constraint::~Constraint() = default;
Constraint::Constraint(Constraint&&) noexcept = default;
Constraint& Constraint::operator=(Constraint&&) noexcept = default;

Statement::Statement() = default;
Statement::~Statement() = default;
Statement::Statement(Statement&&) noexcept = default;
Statement& Statement::operator=(Statement&&) noexcept = default;

const wchar_t* StatementKindName(StatementKind kind)
{
    switch (kind) {
        case StatementKind::Select:
            return L"SELECT";
        case StatementKind::Insert:
            return L"INSERT INTO";
        case StatementKind::Update:
            return L"UPDATE";
        case StatementKind::Delete:
            return L"DELETE";
        case StatementKind::CreateTable:
            return L"CREATE TABLE";
        case StatementKind::DropTable:
            return L"DROP TABLE";
        case StatementKind::CreateIndex:
            return L"CREATE INDEX";
        case StatementKind::DropIndex:
            return L"DROP INDEX";
        case StatementKind::AlterTable:
            return L"ALTER TABLE";
        case StatementKind::CreateView:
            return L"CREATE VIEW";
        case StatementKind::DropView:
            return L"DROP VIEW";
        case StatementKind::CreateProcedure:
            return L"CREATE PROCEDURE";
        case StatementKind::DropProcedure:
            return L"DROP PROCEDURE";
        case StatementKind::LinkTable:
            return L"LINK TABLE";
    }
    return L"SQL";
}

bool IsAggregateFunction(const std::wstring& name)
{
    static const wchar_t* const kAggregates[] = {L"COUNT",  L"SUM",   L"AVG",  L"MIN",
                                                 L"MAX",    L"FIRST", L"LAST", L"STDEV",
                                                 L"STDEVP", L"VAR",   L"VARP"};
    for (const wchar_t* a : kAggregates) {
        size_t i = 0;
        while (a[i] != 0 && i < name.size() &&
               static_cast<wchar_t>(std::towupper(name[i])) == a[i]) {
            ++i;
        }
        if (a[i] == 0 && i == name.size())
            return true;
    }
    return false;
}

}  // namespace provider::sql
