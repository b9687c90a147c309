// Outline of a syntax tree. Literals show their type: str:"..", i:12, dec:1.50,
// dbl:1e+10, date:YYYY-MM-DDTHH:MM:SS (via the literal text), true, false, null.
#include "platform/provider/sql/ast_dump.h"

#include <cstdio>

#include "platform/provider/sql/literal_values.h"
#include "platform/provider/sql/printer.h"

namespace provider::sql {

namespace {

std::wstring OpName(Op op)
{
    if (op == Op::Negate)
        return L"neg";
    if (op == Op::Not)
        return L"not";
    std::wstring name = OperatorText(op);  // the outline writes operator words in lower case
    for (auto& c : name)
        c = (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
    return name;
}

class Dumper {
public:
    std::wstring out;

    void Expr(const provider::sql::Expr& e);
    void Select(const provider::sql::Select& s);
    void Core(const SelectCore& c);
    void Table(const TableRef& t);
    void Statement(const provider::sql::Statement& st);
    void Column(const ColumnDef& c);
    void Constraint(const provider::sql::Constraint& c);
    void Type(const DataType& d)
    {
        static const wchar_t* const kTypes[] = {L"Text",     L"Memo",   L"Byte",      L"Short",
                                                L"Long",     L"Single", L"Double",    L"Currency",
                                                L"DateTime", L"YesNo",  L"Counter",   L"Decimal",
                                                L"Guid",     L"Binary", L"LongBinary"};
        out += kTypes[static_cast<int>(d.type)];
        out += L':';
        out += PrintDataType(d);
    }
    void Names(const std::vector<std::wstring>& names)
    {
        out += L'(';
        for (size_t i = 0; i < names.size(); ++i) {
            if (i > 0)
                out += L' ';
            out += QuoteName(names[i]);
        }
        out += L')';
    }
    void Params(const std::vector<ParameterDecl>& params)
    {
        out += L"(params";
        for (const ParameterDecl& p : params) {
            out += L' ' + QuoteName(p.name) + L':';
            Type(p.type);
        }
        out += L')';
    }
    void Optional(const wchar_t* label, const ExprPtr& e)
    {
        if (!e)
            return;
        out += L" (";
        out += label;
        out += L' ';
        Expr(*e);
        out += L')';
    }
};

void Dumper::Expr(const provider::sql::Expr& e)
{
    switch (e.kind) {
        case ExprKind::Literal: {
            const automation::Variant& v = e.value;
            switch (v.vt()) {
                case automation::VT_BSTR:
                    out += L"str:" + PrintExpression(e);
                    return;
                case automation::VT_I4:
                    out += L"i:" + PrintExpression(e);
                    return;
                case automation::VT_DECIMAL:
                    out += L"dec:" + PrintExpression(e);
                    return;
                case automation::VT_R8:
                    out += L"dbl:" + PrintExpression(e);
                    return;
                case automation::VT_DATE:
                    out += L"date:" + PrintExpression(e);
                    return;
                case automation::VT_BOOL:
                    out += v.boolVal() ? L"true" : L"false";
                    return;
                default:
                    out += L"null";
                    return;
            }
        }
        case ExprKind::Column:
        case ExprKind::Star:
            out += PrintExpression(e);
            return;
        case ExprKind::Parameter:
            out += e.name.empty() ? L"?" + std::to_wstring(e.parameterIndex)
                                  : L"?" + QuoteName(e.name);
            return;
        case ExprKind::RuleSubject:
            out += L'@';
            return;
        case ExprKind::Unary:
        case ExprKind::Binary:
            out += L'(';
            out += OpName(e.op);
            break;
        case ExprKind::Like:
            out += e.negated ? L"(not-like" : L"(like";
            break;
        case ExprKind::IsNull:
            out += e.negated ? L"(is-not-null" : L"(is-null";
            break;
        case ExprKind::In:
            out += e.negated ? L"(not-in" : L"(in";
            break;
        case ExprKind::Between:
            out += e.negated ? L"(not-between" : L"(between";
            break;
        case ExprKind::Exists:
            out += L"(exists";
            break;
        case ExprKind::Subquery:
            out += L"(subquery";
            break;
        case ExprKind::Function:
            out += L"(call " + e.name;
            if (e.star)
                out += L" *";
            break;
    }
    for (const ExprPtr& a : e.args) {
        out += L' ';
        Expr(*a);
    }
    if (e.subquery) {
        out += L' ';
        Select(*e.subquery);
    }
    out += L')';
}

void Dumper::Core(const SelectCore& c)
{
    out += L"(select";
    if (c.distinct)
        out += L" distinct";
    if (c.distinctRow)
        out += L" distinctrow";
    if (c.top)
        out += L" (top " + std::to_wstring(*c.top) + (c.topPercent ? L" percent)" : L")");
    for (const SelectItem& item : c.items) {
        out += L' ';
        if (!item.alias.empty())
            out += L"(as ";
        Expr(*item.expr);
        if (!item.alias.empty())
            out += L' ' + QuoteName(item.alias) + L')';
    }
    if (!c.from.empty()) {
        out += L" (from";
        for (const TableRefPtr& t : c.from) {
            out += L' ';
            Table(*t);
        }
        out += L')';
    }
    Optional(L"where", c.where);
    if (!c.groupBy.empty()) {
        out += L" (group-by";
        for (const ExprPtr& g : c.groupBy) {
            out += L' ';
            Expr(*g);
        }
        out += L')';
    }
    Optional(L"having", c.having);
    out += L')';
}

void Dumper::Select(const provider::sql::Select& s)
{
    const bool compound = !s.unions.empty() || !s.orderBy.empty();
    if (compound)
        out += L"(query ";
    Core(s.core);
    for (const UnionPart& u : s.unions) {
        out += u.all ? L" union-all " : L" union ";
        Core(u.core);
    }
    if (!s.orderBy.empty()) {
        out += L" (order-by";
        for (const OrderItem& o : s.orderBy) {
            out += L' ';
            if (o.descending)
                out += L"(desc ";
            Expr(*o.expr);
            if (o.descending)
                out += L')';
        }
        out += L')';
    }
    if (compound)
        out += L')';
}

void Dumper::Table(const TableRef& t)
{
    switch (t.kind) {
        case TableRefKind::Table:
            out += QuoteName(t.name);
            break;
        case TableRefKind::Subquery:
            Select(*t.subquery);
            break;
        case TableRefKind::Join:
            out += t.join == JoinKind::Inner  ? L"(inner-join "
                   : t.join == JoinKind::Left ? L"(left-join "
                                              : L"(right-join ";
            Table(*t.left);
            out += L' ';
            Table(*t.right);
            out += L' ';
            Expr(*t.on);
            out += L')';
            return;
    }
    if (!t.alias.empty())
        out += L" as " + QuoteName(t.alias);
}

void Dumper::Constraint(const provider::sql::Constraint& c)
{
    static const wchar_t* const kKinds[] = {L"primary-key", L"unique", L"not-null", L"foreign-key",
                                            L"check"};
    static const wchar_t* const kActions[] = {L"no-action", L"cascade", L"set-null"};
    out += L'(';
    out += kKinds[static_cast<int>(c.kind)];
    if (!c.name.empty())
        out += L' ' + QuoteName(c.name);
    if (!c.columns.empty()) {
        out += L' ';
        Names(c.columns);
    }
    if (c.kind == ConstraintKind::ForeignKey) {
        if (c.noIndex)
            out += L" no-index";
        out += L" references " + QuoteName(c.refTable);
        if (!c.refColumns.empty()) {
            out += L' ';
            Names(c.refColumns);
        }
        out += L" update:";
        out += kActions[static_cast<int>(c.onUpdate)];
        out += L" delete:";
        out += kActions[static_cast<int>(c.onDelete)];
    }
    if (c.check) {
        out += L' ';
        Expr(*c.check);
    }
    out += L')';
}

void Dumper::Column(const ColumnDef& c)
{
    out += L"(column " + QuoteName(c.name) + L' ';
    Type(c.type);
    if (c.notNull)
        out += L" not-null";
    if (c.compressed)
        out += L" compressed";
    Optional(L"default", c.defaultValue);
    for (const provider::sql::Constraint& k : c.constraints) {
        out += L' ';
        Constraint(k);
    }
    out += L')';
}

void Dumper::Statement(const provider::sql::Statement& st)
{
    if (!st.parameters.empty()) {
        Params(st.parameters);
        out += L' ';
    }
    std::visit(
        [this](const auto& b) {
            using T = std::decay_t<decltype(b)>;
            if constexpr (std::is_same_v<T, provider::sql::Select>) {
                Select(b);
            } else if constexpr (std::is_same_v<T, Insert>) {
                out += L"(insert " + QuoteName(b.table);
                if (!b.columns.empty()) {
                    out += L' ';
                    Names(b.columns);
                }
                if (b.select) {
                    out += L' ';
                    Select(*b.select);
                } else {
                    out += L" (values";
                    for (const ExprPtr& v : b.values) {
                        out += L' ';
                        Expr(*v);
                    }
                    out += L')';
                }
                out += L')';
            } else if constexpr (std::is_same_v<T, Update>) {
                out += L"(update ";
                Table(*b.table);
                for (const Assignment& a : b.assignments) {
                    out += L" (set ";
                    if (!a.qualifier.empty())
                        out += QuoteName(a.qualifier) + L'.';
                    out += QuoteName(a.column) + L' ';
                    Expr(*a.value);
                    out += L')';
                }
                Optional(L"where", b.where);
                out += L')';
            } else if constexpr (std::is_same_v<T, Delete>) {
                out += L"(delete " + QuoteName(b.table);
                if (!b.alias.empty())
                    out += L" as " + QuoteName(b.alias);
                Optional(L"where", b.where);
                out += L')';
            } else if constexpr (std::is_same_v<T, CreateTable>) {
                out += L"(create-table " + QuoteName(b.name);
                for (const ColumnDef& c : b.columns) {
                    out += L' ';
                    Column(c);
                }
                for (const provider::sql::Constraint& c : b.constraints) {
                    out += L' ';
                    Constraint(c);
                }
                out += L')';
            } else if constexpr (std::is_same_v<T, DropTable>) {
                out += L"(drop-table " + QuoteName(b.name) + L')';
            } else if constexpr (std::is_same_v<T, CreateIndex>) {
                static const wchar_t* const kOptions[] = {L"", L" primary", L" disallow-null",
                                                          L" ignore-null"};
                out += b.unique ? L"(create-unique-index " : L"(create-index ";
                out += QuoteName(b.name) + L" on " + QuoteName(b.table) + L" (";
                for (size_t i = 0; i < b.columns.size(); ++i) {
                    if (i > 0)
                        out += L' ';
                    out += QuoteName(b.columns[i].name);
                    if (b.columns[i].descending)
                        out += L":desc";
                }
                out += L')';
                out += kOptions[static_cast<int>(b.option)];
                out += L')';
            } else if constexpr (std::is_same_v<T, DropIndex>) {
                out += L"(drop-index " + QuoteName(b.name) + L" on " + QuoteName(b.table) + L')';
            } else if constexpr (std::is_same_v<T, AlterTable>) {
                out += L"(alter-table " + QuoteName(b.table) + L' ';
                switch (b.action) {
                    case AlterAction::AddColumn:
                        out += L"add ";
                        Column(b.column);
                        break;
                    case AlterAction::AlterColumn:
                        out += L"alter ";
                        Column(b.column);
                        break;
                    case AlterAction::DropColumn:
                        out += L"drop-column " + QuoteName(b.name);
                        break;
                    case AlterAction::AddConstraint:
                        out += L"add ";
                        Constraint(b.constraint);
                        break;
                    case AlterAction::DropConstraint:
                        out += L"drop-constraint " + QuoteName(b.name);
                        break;
                    case AlterAction::AllowZeroLength:
                        out += L"allow-zero-length " + QuoteName(b.name);
                        break;
                    case AlterAction::DenyZeroLength:
                        out += L"deny-zero-length " + QuoteName(b.name);
                        break;
                }
                out += L')';
            } else if constexpr (std::is_same_v<T, CreateView>) {
                out += L"(create-view " + QuoteName(b.name) + L' ';
                if (!b.columns.empty()) {
                    Names(b.columns);
                    out += L' ';
                }
                Select(*b.select);
                out += L')';
            } else if constexpr (std::is_same_v<T, DropView>) {
                out += L"(drop-view " + QuoteName(b.name) + L')';
            } else if constexpr (std::is_same_v<T, CreateProcedure>) {
                out += L"(create-procedure " + QuoteName(b.name) + L' ';
                Params(b.parameters);
                out += L' ';
                Statement(*b.body);
                out += L')';
            } else if constexpr (std::is_same_v<T, DropProcedure>) {
                out += L"(drop-procedure " + QuoteName(b.name) + L')';
            } else if constexpr (std::is_same_v<T, LinkTable>) {
                out += L"(link " + QuoteName(b.localName) + L" to " + QuoteName(b.remoteName);
                out += b.link == LinkKind::Odbc ? L" odbc " : L" src ";
                out += L'"' + b.source + L"\")";
            }
        },
        st.body);
}

}  // namespace

std::wstring Dump(const Statement& statement)
{
    Dumper d;
    d.Statement(statement);
    return std::move(d.out);
}

std::wstring DumpExpression(const Expr& expr)
{
    Dumper d;
    d.Expr(expr);
    return std::move(d.out);
}

}  // namespace provider::sql
