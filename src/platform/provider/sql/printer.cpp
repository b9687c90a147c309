// Syntax tree to Access SQL text. Each node kind appends to one output string.
#include "platform/provider/sql/printer.h"

#include <cstdio>

#include "platform/provider/sql/literal_values.h"

namespace provider::sql {

namespace {

using automation::Variant;

// Binding strength, loosest first; operands of a node that binds looser than its
// place allows are parenthesised.
enum Level : int {
    kEqv = 1,
    kXor,
    kOr,
    kAnd,
    kNot,
    kComparison,
    kConcat,
    kAdditive,
    kMod,
    kIntDivide,
    kMultiplicative,
    kNegate,
    kPower,
    kPrimary,
};

int LevelOf(const Expr& e)
{
    switch (e.kind) {
        case ExprKind::Unary:
            return e.op == Op::Not ? kNot : kNegate;
        case ExprKind::Binary:
            switch (e.op) {
                case Op::Power:
                    return kPower;
                case Op::Multiply:
                case Op::Divide:
                    return kMultiplicative;
                case Op::IntDivide:
                    return kIntDivide;
                case Op::Mod:
                    return kMod;
                case Op::Add:
                case Op::Subtract:
                    return kAdditive;
                case Op::Concat:
                    return kConcat;
                case Op::And:
                    return kAnd;
                case Op::Or:
                    return kOr;
                case Op::Xor:
                    return kXor;
                case Op::Eqv:
                    return kEqv;
                default:
                    return kComparison;
            }
        case ExprKind::Like:
        case ExprKind::IsNull:
        case ExprKind::In:
        case ExprKind::Between:
            return kComparison;
        default:
            return kPrimary;
    }
}

}  // namespace

const wchar_t* OperatorText(Op op)
{
    switch (op) {
        case Op::Power:
            return L"^";
        case Op::Multiply:
            return L"*";
        case Op::Divide:
            return L"/";
        case Op::IntDivide:
            return L"\\";
        case Op::Mod:
            return L"MOD";
        case Op::Add:
            return L"+";
        case Op::Subtract:
            return L"-";
        case Op::Concat:
            return L"&";
        case Op::Equal:
            return L"=";
        case Op::NotEqual:
            return L"<>";
        case Op::Less:
            return L"<";
        case Op::LessEqual:
            return L"<=";
        case Op::Greater:
            return L">";
        case Op::GreaterEqual:
            return L">=";
        case Op::And:
            return L"AND";
        case Op::Or:
            return L"OR";
        case Op::Xor:
            return L"XOR";
        case Op::Eqv:
            return L"EQV";
        default:
            return L"?";
    }
}

namespace {

const wchar_t* RefActionText(RefAction a)
{
    return a == RefAction::Cascade   ? L"CASCADE"
           : a == RefAction::SetNull ? L"SET NULL"
                                     : L"NO ACTION";
}

class Printer {
public:
    std::wstring out;

    void Name(const std::wstring& name)
    {
        out += L'[';
        out += name;
        out += L']';
    }
    void Names(const std::vector<std::wstring>& names)
    {
        out += L'(';
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0)
                out += L", ";
            Name(names[i]);
        }
        out += L')';
    }

    void Expression(const Expr& e, int minLevel)
    {
        const bool parens = LevelOf(e) < minLevel;
        if (parens)
            out += L'(';
        Bare(e);
        if (parens)
            out += L')';
    }

    void Bare(const Expr& e);
    void Literal(const Expr& e);
    void PowerOperand(const Expr& e)
    {
        if (e.kind == ExprKind::Unary && e.op == Op::Negate) {
            out += L'-';
            PowerOperand(*e.args[0]);
        } else {
            Expression(e, kPrimary);
        }
    }
    void Subject(const Expr& e)
    {
        if (e.kind == ExprKind::RuleSubject)
            return;  // "> 0": the rule's column is implied
        Expression(e, kComparison);
        out += L' ';
    }

    void SelectText(const Select& s);
    void Core(const SelectCore& c);
    void Table(const TableRef& t);
    void Statement(const provider::sql::Statement& st);
    void Type(const DataType& d);
    void Column(const ColumnDef& c);
    void ConstraintText(const Constraint& c, bool columnLevel);
    void Parameters(const std::vector<ParameterDecl>& params)
    {
        for (size_t i = 0; i < params.size(); ++i) {
            if (i > 0)
                out += L", ";
            Name(params[i].name);
            out += L' ';
            Type(params[i].type);
        }
    }
};

void Printer::Literal(const Expr& e)
{
    const Variant& v = e.value;
    switch (v.vt()) {
        case automation::VT_BSTR:
            out += L'"';
            for (wchar_t c : v.bstrVal()) {
                if (c == L'"')
                    out += L'"';
                out += c;
            }
            out += L'"';
            return;
        case automation::VT_DATE:
            out += L'#';
            out += FormatDateLiteral(v.date());
            out += L'#';
            return;
        case automation::VT_BOOL:
            out += v.boolVal() != 0 ? L"TRUE" : L"FALSE";
            return;
        case automation::VT_NULL:
        case automation::VT_EMPTY:
            out += L"NULL";
            return;
        default:
            break;
    }
    if (!e.text.empty()) {
        out += e.text;
    } else if (v.vt() == automation::VT_I4) {
        out += std::to_wstring(v.lVal());
    } else if (v.vt() == automation::VT_DECIMAL) {
        out += FormatDecimal(v.decVal());
    } else if (v.vt() == automation::VT_R8) {
        wchar_t buffer[40];
        std::swprintf(buffer, 40, L"%.17g", v.dblVal());
        out += buffer;
    } else {
        out += L"NULL";
    }
}

void Printer::Bare(const Expr& e)
{
    switch (e.kind) {
        case ExprKind::Literal:
            Literal(e);
            return;
        case ExprKind::Column:
            if (!e.qualifier.empty()) {
                Name(e.qualifier);
                out += L'.';
            }
            Name(e.name);
            return;
        case ExprKind::Star:
            if (!e.qualifier.empty()) {
                Name(e.qualifier);
                out += L'.';
            }
            out += L'*';
            return;
        case ExprKind::Parameter:
            if (e.name.empty()) {
                out += L'?';
            } else {
                Name(e.name);
            }
            return;
        case ExprKind::RuleSubject:
            return;
        case ExprKind::Unary:
            if (e.op == Op::Not) {
                out += L"NOT ";
                Expression(*e.args[0], kNot);
            } else {
                out += L'-';
                const Expr& operand = *e.args[0];
                if (operand.kind == ExprKind::Unary && operand.op == Op::Negate)
                    out += L' ';
                Expression(operand, kNegate);
            }
            return;
        case ExprKind::Binary: {
            const int level = LevelOf(e);
            if (level == kComparison) {
                Subject(*e.args[0]);
            } else {
                Expression(*e.args[0], level);
                out += L' ';
            }
            if (e.op == Op::Power)
                out.pop_back();
            for (size_t i = 1; i < e.args.size(); ++i) {
                if (e.op == Op::Power) {
                    out += L'^';
                    PowerOperand(*e.args[i]);
                    continue;
                }
                if (i > 1)
                    out += L' ';
                out += OperatorText(e.op);
                out += L' ';
                // Comparisons take their right operand at concatenation level; every other
                // operator is left-associative, so an equal right operand needs parentheses.
                Expression(*e.args[i], level == kComparison ? kConcat : level + 1);
            }
            return;
        }
        case ExprKind::Like:
            Subject(*e.args[0]);
            out += e.negated ? L"NOT LIKE " : L"LIKE ";
            Expression(*e.args[1], kConcat);
            return;
        case ExprKind::IsNull:
            Subject(*e.args[0]);
            out += e.negated ? L"IS NOT NULL" : L"IS NULL";
            return;
        case ExprKind::Between:
            Subject(*e.args[0]);
            out += e.negated ? L"NOT BETWEEN " : L"BETWEEN ";
            Expression(*e.args[1], kConcat);
            out += L" AND ";
            Expression(*e.args[2], kConcat);
            return;
        case ExprKind::In:
            Subject(*e.args[0]);
            out += e.negated ? L"NOT IN (" : L"IN (";
            if (e.subquery) {
                SelectText(*e.subquery);
            } else {
                for (size_t i = 1; i < e.args.size(); ++i) {
                    if (i > 1)
                        out += L", ";
                    Expression(*e.args[i], kEqv);
                }
            }
            out += L')';
            return;
        case ExprKind::Exists:
            out += L"EXISTS (";
            SelectText(*e.subquery);
            out += L')';
            return;
        case ExprKind::Subquery:
            out += L'(';
            SelectText(*e.subquery);
            out += L')';
            return;
        case ExprKind::Function:
            out += e.name;
            out += L'(';
            if (e.star)
                out += L'*';
            for (size_t i = 0; i < e.args.size(); ++i) {
                if (i > 0)
                    out += L", ";
                Expression(*e.args[i], kEqv);
            }
            out += L')';
            return;
    }
}

void Printer::Core(const SelectCore& c)
{
    out += L"SELECT ";
    if (c.distinct)
        out += L"DISTINCT ";
    if (c.distinctRow)
        out += L"DISTINCTROW ";
    if (c.top) {
        out += L"TOP " + std::to_wstring(*c.top) + L' ';
        if (c.topPercent)
            out += L"PERCENT ";
    }
    for (size_t i = 0; i < c.items.size(); ++i) {
        if (i > 0)
            out += L", ";
        Expression(*c.items[i].expr, kEqv);
        if (!c.items[i].alias.empty()) {
            out += L" AS ";
            Name(c.items[i].alias);
        }
    }
    if (!c.from.empty()) {
        out += L" FROM ";
        for (size_t i = 0; i < c.from.size(); ++i) {
            if (i > 0)
                out += L", ";
            Table(*c.from[i]);
        }
    }
    if (c.where) {
        out += L" WHERE ";
        Expression(*c.where, kEqv);
    }
    if (!c.groupBy.empty()) {
        out += L" GROUP BY ";
        for (size_t i = 0; i < c.groupBy.size(); ++i) {
            if (i > 0)
                out += L", ";
            Expression(*c.groupBy[i], kEqv);
        }
    }
    if (c.having) {
        out += L" HAVING ";
        Expression(*c.having, kEqv);
    }
}

void Printer::SelectText(const Select& s)
{
    Core(s.core);
    for (const UnionPart& u : s.unions) {
        out += u.all ? L" UNION ALL " : L" UNION ";
        Core(u.core);
    }
    if (!s.orderBy.empty()) {
        out += L" ORDER BY ";
        for (size_t i = 0; i < s.orderBy.size(); ++i) {
            if (i > 0)
                out += L", ";
            Expression(*s.orderBy[i].expr, kEqv);
            if (s.orderBy[i].descending)
                out += L" DESC";
        }
    }
}

void Printer::Table(const TableRef& t)
{
    switch (t.kind) {
        case TableRefKind::Table:
            Name(t.name);
            break;
        case TableRefKind::Subquery:
            out += L'(';
            SelectText(*t.subquery);
            out += L')';
            break;
        case TableRefKind::Join: {
            // Access wants a join that is itself joined in parentheses.
            const bool leftParens = t.left->kind == TableRefKind::Join;
            const bool rightParens = t.right->kind == TableRefKind::Join;
            if (leftParens)
                out += L'(';
            Table(*t.left);
            if (leftParens)
                out += L')';
            out += t.join == JoinKind::Inner  ? L" INNER JOIN "
                   : t.join == JoinKind::Left ? L" LEFT JOIN "
                                              : L" RIGHT JOIN ";
            if (rightParens)
                out += L'(';
            Table(*t.right);
            if (rightParens)
                out += L')';
            out += L" ON ";
            Expression(*t.on, kEqv);
            return;
        }
    }
    if (!t.alias.empty()) {
        out += L" AS ";
        Name(t.alias);
    }
}

void Printer::Type(const DataType& d)
{
    out += d.written;
    if (d.size) {
        out += L'(' + std::to_wstring(*d.size) + L')';
    } else if (d.precision) {
        out += L'(' + std::to_wstring(*d.precision);
        if (d.scale)
            out += L", " + std::to_wstring(*d.scale);
        out += L')';
    } else if (d.seed && d.increment) {
        out += L'(' + std::to_wstring(*d.seed) + L", " + std::to_wstring(*d.increment) + L')';
    }
}

void Printer::ConstraintText(const Constraint& c, bool columnLevel)
{
    if (!c.name.empty()) {
        out += L"CONSTRAINT ";
        Name(c.name);
        out += L' ';
    }
    switch (c.kind) {
        case ConstraintKind::PrimaryKey:
            out += L"PRIMARY KEY";
            break;
        case ConstraintKind::Unique:
            out += L"UNIQUE";
            break;
        case ConstraintKind::NotNull:
            out += L"NOT NULL";
            break;
        case ConstraintKind::ForeignKey:
            if (!columnLevel)
                out += c.noIndex ? L"FOREIGN KEY NO INDEX" : L"FOREIGN KEY";
            break;
        case ConstraintKind::Check:
            out += L"CHECK (";
            Expression(*c.check, kEqv);
            out += L')';
            return;
    }
    if (!columnLevel) {
        out += L' ';
        Names(c.columns);
    }
    if (c.kind == ConstraintKind::ForeignKey) {
        out += columnLevel ? L"REFERENCES " : L" REFERENCES ";
        Name(c.refTable);
        if (!c.refColumns.empty()) {
            out += L' ';
            Names(c.refColumns);
        }
        if (c.onUpdate != RefAction::NoAction) {
            out += L" ON UPDATE ";
            out += RefActionText(c.onUpdate);
        }
        if (c.onDelete != RefAction::NoAction) {
            out += L" ON DELETE ";
            out += RefActionText(c.onDelete);
        }
    }
}

void Printer::Column(const ColumnDef& c)
{
    Name(c.name);
    out += L' ';
    Type(c.type);
    bool namedNotNull = false;
    for (const Constraint& k : c.constraints)
        namedNotNull |= k.kind == ConstraintKind::NotNull;
    if (c.notNull && !namedNotNull)
        out += L" NOT NULL";
    if (c.defaultValue) {
        out += L" DEFAULT ";
        Expression(*c.defaultValue, kEqv);
    }
    if (c.compressed)
        out += L" WITH COMPRESSION";
    for (const Constraint& k : c.constraints) {
        out += L' ';
        ConstraintText(k, true);
    }
}

void Printer::Statement(const provider::sql::Statement& st)
{
    if (!st.parameters.empty()) {
        out += L"PARAMETERS ";
        Parameters(st.parameters);
        out += L"; ";
    }
    std::visit(
        [this](const auto& b) {
            using T = std::decay_t<decltype(b)>;
            if constexpr (std::is_same_v<T, Select>) {
                SelectText(b);
            } else if constexpr (std::is_same_v<T, Insert>) {
                out += L"INSERT INTO ";
                Name(b.table);
                if (!b.columns.empty()) {
                    out += L' ';
                    Names(b.columns);
                }
                if (b.select) {
                    out += L' ';
                    SelectText(*b.select);
                } else {
                    out += L" VALUES (";
                    for (size_t i = 0; i < b.values.size(); ++i) {
                        if (i > 0)
                            out += L", ";
                        Expression(*b.values[i], kEqv);
                    }
                    out += L')';
                }
            } else if constexpr (std::is_same_v<T, Update>) {
                out += L"UPDATE ";
                Table(*b.table);
                out += L" SET ";
                for (size_t i = 0; i < b.assignments.size(); ++i) {
                    const Assignment& a = b.assignments[i];
                    if (i > 0)
                        out += L", ";
                    if (!a.qualifier.empty()) {
                        Name(a.qualifier);
                        out += L'.';
                    }
                    Name(a.column);
                    out += L" = ";
                    Expression(*a.value, kEqv);
                }
                if (b.where) {
                    out += L" WHERE ";
                    Expression(*b.where, kEqv);
                }
            } else if constexpr (std::is_same_v<T, Delete>) {
                out += L"DELETE FROM ";
                Name(b.table);
                if (!b.alias.empty()) {
                    out += L" AS ";
                    Name(b.alias);
                }
                if (b.where) {
                    out += L" WHERE ";
                    Expression(*b.where, kEqv);
                }
            } else if constexpr (std::is_same_v<T, CreateTable>) {
                out += L"CREATE TABLE ";
                Name(b.name);
                out += L" (";
                bool first = true;
                for (const ColumnDef& c : b.columns) {
                    if (!first)
                        out += L", ";
                    first = false;
                    Column(c);
                }
                for (const Constraint& c : b.constraints) {
                    if (!first)
                        out += L", ";
                    first = false;
                    ConstraintText(c, false);
                }
                out += L')';
            } else if constexpr (std::is_same_v<T, DropTable>) {
                out += L"DROP TABLE ";
                Name(b.name);
            } else if constexpr (std::is_same_v<T, CreateIndex>) {
                out += b.unique ? L"CREATE UNIQUE INDEX " : L"CREATE INDEX ";
                Name(b.name);
                out += L" ON ";
                Name(b.table);
                out += L" (";
                for (size_t i = 0; i < b.columns.size(); ++i) {
                    if (i > 0)
                        out += L", ";
                    Name(b.columns[i].name);
                    if (b.columns[i].descending)
                        out += L" DESC";
                }
                out += L')';
                if (b.option == IndexOption::Primary)
                    out += L" WITH PRIMARY";
                if (b.option == IndexOption::DisallowNull)
                    out += L" WITH DISALLOW NULL";
                if (b.option == IndexOption::IgnoreNull)
                    out += L" WITH IGNORE NULL";
            } else if constexpr (std::is_same_v<T, DropIndex>) {
                out += L"DROP INDEX ";
                Name(b.name);
                out += L" ON ";
                Name(b.table);
            } else if constexpr (std::is_same_v<T, AlterTable>) {
                out += L"ALTER TABLE ";
                Name(b.table);
                switch (b.action) {
                    case AlterAction::AddColumn:
                        out += L" ADD COLUMN ";
                        Column(b.column);
                        break;
                    case AlterAction::AlterColumn:
                        out += L" ALTER COLUMN ";
                        Column(b.column);
                        break;
                    case AlterAction::DropColumn:
                        out += L" DROP COLUMN ";
                        Name(b.name);
                        break;
                    case AlterAction::AddConstraint:
                        out += L" ADD ";
                        ConstraintText(b.constraint, false);
                        break;
                    case AlterAction::DropConstraint:
                        out += L" DROP CONSTRAINT ";
                        Name(b.name);
                        break;
                    case AlterAction::AllowZeroLength:
                        out += L" ALLOW ZERO LENGTH ";
                        Name(b.name);
                        break;
                    case AlterAction::DenyZeroLength:
                        out += L" DENY ZERO LENGTH ";
                        Name(b.name);
                        break;
                }
            } else if constexpr (std::is_same_v<T, CreateView>) {
                out += L"CREATE VIEW ";
                Name(b.name);
                if (!b.columns.empty()) {
                    out += L' ';
                    Names(b.columns);
                }
                out += L" AS ";
                SelectText(*b.select);
            } else if constexpr (std::is_same_v<T, DropView>) {
                out += L"DROP VIEW ";
                Name(b.name);
            } else if constexpr (std::is_same_v<T, CreateProcedure>) {
                out += L"CREATE PROCEDURE ";
                Name(b.name);
                if (!b.parameters.empty()) {
                    out += L" (";
                    Parameters(b.parameters);
                    out += L')';
                }
                out += L" AS ";
                Statement(*b.body);
            } else if constexpr (std::is_same_v<T, DropProcedure>) {
                out += L"DROP PROCEDURE ";
                Name(b.name);
            } else if constexpr (std::is_same_v<T, LinkTable>) {
                out += L"LINK TABLE ";
                Name(b.localName);
                out += L" TO ";
                Name(b.remoteName);
                out += b.link == LinkKind::Odbc ? L" ODBC \"" : L" SRC \"";
                for (wchar_t c : b.source) {
                    if (c == L'"')
                        out += L'"';
                    out += c;
                }
                out += L'"';
            }
        },
        st.body);
}

}  // namespace

std::wstring Print(const Statement& statement)
{
    Printer p;
    p.Statement(statement);
    return std::move(p.out);
}

std::wstring PrintSelect(const Select& select)
{
    Printer p;
    p.SelectText(select);
    return std::move(p.out);
}

std::wstring PrintExpression(const Expr& expr)
{
    Printer p;
    p.Expression(expr, kEqv);
    return std::move(p.out);
}

std::wstring PrintDataType(const DataType& type)
{
    Printer p;
    p.Type(type);
    return std::move(p.out);
}

std::wstring QuoteName(const std::wstring& name)
{
    return L'[' + name + L']';
}

}  // namespace provider::sql
