// Emitting SQLite SQL from Access SQL syntax trees.
#include "platform/provider/query_emitter.h"

#include <cmath>
#include <cstdio>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/sql/parser.h"
#include "platform/provider/sqlite_util.h"
#include "platform/provider/value_codec.h"

namespace provider {

using sql::ExprKind;
using sql::Op;

struct QueryEmitter::Source {
    std::wstring alias;
    const TableInfo* table = nullptr;
    std::vector<ResultColumn> derived;
};

struct QueryEmitter::Scope {
    const Scope* parent = nullptr;
    std::vector<Source> sources;
    const std::vector<ResultColumn>* outputs = nullptr;
};

namespace {

// SQLite refuses expressions nested deeper than 1000; a chain worked out from the left
// nests one level per term.
constexpr size_t kMaxLeftChain = 900;
constexpr size_t kMaxBoundLiterals = 2000;

bool IsWholeNumberType(AccessType t)
{
    return t == AccessType::Byte || t == AccessType::Short || t == AccessType::Long ||
           t == AccessType::YesNo;
}

bool IsNumberType(AccessType t)
{
    return IsWholeNumberType(t) || t == AccessType::Single || t == AccessType::Double;
}

bool NeedsNaturalConversion(AccessType t)
{
    return t == AccessType::Currency || t == AccessType::Decimal || t == AccessType::Binary ||
           t == AccessType::LongBinary;
}

EmittedExpr Typed(std::string sql, AccessType t)
{
    EmittedExpr e;
    e.sql = std::move(sql);
    e.typed = true;
    e.type.type = t;
    return e;
}

std::string Number(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos)
        s += ".0";
    return s;
}

bool NamesEqual(const std::wstring& a, const std::wstring& b)
{
    return Catalog::Fold(a) == Catalog::Fold(b);
}

const char* RowidName(const TableInfo& t)
{
    for (const char* name : {"rowid", "_rowid_", "oid"})
        if (t.FindColumn(automation::FromUtf8(name)) < 0)
            return name;
    return "rowid";
}

bool HasAggregate(const sql::Expr* e)
{
    if (!e)
        return false;
    if (e->kind == ExprKind::Function && sql::IsAggregateFunction(e->name))
        return true;
    for (const auto& a : e->args)
        if (HasAggregate(a.get()))
            return true;
    return false;
}

// Whether `e` is run with a parameter: a ? or a name, or a literal bound as
// one (`bound`: of every kind; `doubles`: only number and date literals).
bool HasParameter(const sql::Expr* e, bool bound = false, bool doubles = false)
{
    if (!e)
        return false;
    if (e->kind == ExprKind::Parameter)
        return true;
    if (e->kind == ExprKind::Literal && bound) {
        auto vt = e->value.vt();
        if (!doubles || vt == automation::VT_R8 || vt == automation::VT_DATE ||
            vt == automation::VT_DECIMAL)
            return true;
    }
    for (const auto& a : e->args)
        if (HasParameter(a.get(), bound, doubles))
            return true;
    return e->subquery != nullptr;  // a subquery may hold any; keep it simple
}

struct FunctionEntry {
    const wchar_t* name;
    const char* sqlName;
    int minArgs;
    int maxArgs;
    AccessType result;
    bool untyped;  // result has the type of its first argument
};

const FunctionEntry kFunctions[] = {
    {L"chr", "acc_chr", 1, 1, AccessType::Text, false},
    {L"chr$", "acc_chr", 1, 1, AccessType::Text, false},
    {L"chrb", "acc_chrb", 1, 1, AccessType::Text, false},
    {L"chrb$", "acc_chrb", 1, 1, AccessType::Text, false},
    {L"asc", "acc_asc", 1, 1, AccessType::Long, false},
    {L"len", "acc_len", 1, 1, AccessType::Long, false},
    {L"left", "acc_left", 2, 2, AccessType::Text, false},
    {L"left$", "acc_left", 2, 2, AccessType::Text, false},
    {L"right", "acc_right", 2, 2, AccessType::Text, false},
    {L"right$", "acc_right", 2, 2, AccessType::Text, false},
    {L"mid", "acc_mid", 2, 3, AccessType::Text, false},
    {L"mid$", "acc_mid", 2, 3, AccessType::Text, false},
    {L"ucase", "acc_ucase", 1, 1, AccessType::Text, false},
    {L"lcase", "acc_lcase", 1, 1, AccessType::Text, false},
    {L"trim", "acc_trim", 1, 1, AccessType::Text, false},
    {L"ltrim", "acc_ltrim", 1, 1, AccessType::Text, false},
    {L"rtrim", "acc_rtrim", 1, 1, AccessType::Text, false},
    {L"instr", "acc_instr", 2, 3, AccessType::Long, false},
    {L"now", "acc_now", 0, 0, AccessType::DateTime, false},
    {L"date", "acc_date", 0, 0, AccessType::DateTime, false},
    {L"time", "acc_time", 0, 0, AccessType::DateTime, false},
    {L"year", "acc_year", 1, 1, AccessType::Long, false},
    {L"month", "acc_month", 1, 1, AccessType::Long, false},
    {L"day", "acc_day", 1, 1, AccessType::Long, false},
    {L"nz", "acc_nz", 1, 2, AccessType::Text, true},
    {L"cstr", "acc_cstr", 1, 1, AccessType::Text, false},
    {L"clng", "acc_clng", 1, 1, AccessType::Long, false},
    {L"cint", "acc_cint", 1, 1, AccessType::Short, false},
    {L"cdbl", "acc_cdbl", 1, 1, AccessType::Double, false},
    {L"ccur", "acc_ccur", 1, 1, AccessType::Currency, false},
    {L"cdate", "acc_cdate", 1, 1, AccessType::DateTime, false},
    {L"int", "acc_int", 1, 1, AccessType::Double, true},
    {L"fix", "acc_fix", 1, 1, AccessType::Double, true},
    {L"abs", "acc_abs", 1, 1, AccessType::Double, true},
    {L"round", "acc_round", 1, 2, AccessType::Double, true},
};

}  // namespace

QueryEmitter::QueryEmitter(const Catalog& catalog, const wchar_t* statementKind)
    : catalog_(catalog), kind_(statementKind)
{
}

void QueryEmitter::BindLiterals(LiteralBinding mode, std::vector<automation::Variant>* values)
{
    binding_ = values ? mode : LiteralBinding::Inline;
    bound_ = values;
}

template <class Text>
std::string QueryEmitter::LiteralSql(Text&& inlineSql, automation::Variant value,
                                     bool isDouble) const
{
    // SQLite looks a numbered parameter up by a walk over all of them, so a statement of
    // thousands of bound literals would take time in the square of their number. Past a
    // few thousand the statement's text is its own anyway: other literals go inline.
    if (binding_ == LiteralBinding::Inline || (binding_ == LiteralBinding::Doubles && !isDouble) ||
        (!isDouble && bound_->size() >= kMaxBoundLiterals))
        return inlineSql();
    bound_->push_back(std::move(value));
    return "?" + std::to_string(bound_->size());
}

void QueryEmitter::Fail(const std::wstring& text) const
{
    throw automation::ComError(automation::E_FAIL, text + L" (in the " + kind_ + L" statement)");
}

const TableInfo& QueryEmitter::RequireTable(const std::wstring& name) const
{
    const TableInfo* t = catalog_.FindTable(name);
    if (!t)
        Fail(L"The database engine cannot find the input table or query '" + name +
             L"'. Make sure it exists and that its name is spelled correctly.");
    return *t;
}

// ---- expressions ------------------------------------------------------------

bool QueryEmitter::IsDate(const EmittedExpr& e)
{
    return (e.stored || e.typed) && e.type.type == AccessType::DateTime;
}

std::string QueryEmitter::Natural(const EmittedExpr& e) const
{
    if (e.stored && NeedsNaturalConversion(e.type.type))
        return "acc_natural(" + e.sql + ", " + std::to_string(TypeCode(e.type.type)) + ")";
    return e.sql;
}

std::string QueryEmitter::Comparable(const EmittedExpr& value, const EmittedExpr& against) const
{
    if (!against.stored)
        return Natural(value);
    AccessType t = against.type.type;
    if (value.stored && value.type.type == t)
        return value.sql;
    bool valueNumeric = (value.stored || value.typed) && IsNumberType(value.type.type);
    // A SINGLE field holds its values at single precision, so a value meets
    // it rounded the same way ([f]=0.1 finds the 0.1 that was stored).
    if (IsNumberType(t) && t != AccessType::Single && (valueNumeric || value.sql == "NULL"))
        return Natural(value);
    if (t == AccessType::Text || t == AccessType::Memo) {
        if (value.typed && value.type.type == AccessType::DateTime)
            return "acc_datetext(" + value.sql + ")";
        if (value.stored || value.typed) {
            if (value.type.type == AccessType::Text || value.type.type == AccessType::Memo)
                return value.sql;
        }
    }
    ColumnInfo probe;
    probe.type = against.type;
    probe.type.size = 0x7fffffff;
    probe.type.precision = 0;
    return StoreInto(value, probe);
}

std::string QueryEmitter::StoreInto(const EmittedExpr& value, const ColumnInfo& column) const
{
    std::string sql;
    int src = -1;
    if (!value.exact.empty()) {
        sql = binding_ == LiteralBinding::All
                  ? LiteralSql([&] { return QuoteText(std::string_view(value.exact)); },
                               automation::Variant(automation::FromUtf8(value.exact)), false)
                  : QuoteText(std::string_view(value.exact));
    } else if (value.stored) {
        sql = value.sql;
        src = TypeCode(value.type.type);
    } else if (value.typed && value.type.type == AccessType::DateTime &&
               (column.type.type == AccessType::Text || column.type.type == AccessType::Memo)) {
        sql = "acc_datetext(" + value.sql + ")";
    } else if (value.typed && value.type.type == AccessType::DateTime) {
        // Already a date: only a number is read as an automation date.
        sql = value.sql;
        src = TypeCode(AccessType::DateTime);
    } else {
        sql = value.sql;
    }
    const ColumnType& t = column.type;
    return "acc_store(" + sql + ", " + std::to_string(src) + ", " +
           std::to_string(TypeCode(t.type)) + ", " + std::to_string(t.size) + ", " +
           std::to_string(t.precision) + ", " + std::to_string(t.scale) + ", " +
           QuoteText(std::wstring_view(column.name)) + ")";
}

namespace {

std::string DecimalLiteralDigits(const sql::Expr& e)
{
    return e.text.empty() ? DecimalText(e.value.decVal()) : automation::ToUtf8(e.text);
}

}  // namespace

void QueryEmitter::InsertedLiteralValues(const sql::Expr& e, bool negated,
                                         std::vector<automation::Variant>& values)
{
    using namespace automation;
    const Variant& v = e.value;
    switch (v.vt()) {
        case VT_NULL:
        case VT_EMPTY:
            return;
        case VT_DATE:
            values.emplace_back(MonotonicFromOleDate(v.date()));
            return;
        case VT_DECIMAL: {
            values.emplace_back(DecimalToDouble(v.decVal()));
            // The literal's own digits, as the emitter binds them (DecimalLiteralDigits).
            std::wstring digits = e.text.empty() ? FromUtf8(DecimalText(v.decVal())) : e.text;
            if (negated)
                digits = digits[0] == L'-' ? digits.substr(1) : L"-" + digits;
            values.emplace_back(std::move(digits));
            return;
        }
        default:
            values.push_back(v);
    }
}

EmittedExpr QueryEmitter::Literal(const sql::Expr& e)
{
    using namespace automation;
    const Variant& v = e.value;
    switch (v.vt()) {
        case VT_NULL:
        case VT_EMPTY: {
            EmittedExpr r;
            r.sql = "NULL";
            return r;
        }
        case VT_BSTR:
            return Typed(
                LiteralSql([&] { return QuoteText(std::wstring_view(v.bstrVal())); }, v, false),
                AccessType::Text);
        case VT_I4:
            return Typed(LiteralSql([&] { return std::to_string(v.lVal()); }, v, false),
                         AccessType::Long);
        case VT_BOOL:
            return Typed(
                LiteralSql([&] { return std::string(v.boolVal() ? "-1" : "0"); }, v, false),
                AccessType::YesNo);
        case VT_R8:
            return Typed(LiteralSql([&] { return Number(v.dblVal()); }, v, true),
                         AccessType::Double);
        case VT_DATE: {
            double days = MonotonicFromOleDate(v.date());
            return Typed(LiteralSql([&] { return Number(days); }, Variant(days), true),
                         AccessType::DateTime);
        }
        case VT_DECIMAL: {
            std::string digits = DecimalLiteralDigits(e);
            double approx = DecimalToDouble(v.decVal());
            EmittedExpr r = Typed(LiteralSql([&] { return Number(approx); }, Variant(approx), true),
                                  AccessType::Double);
            r.exact = digits;
            return r;
        }
        default:
            Fail(L"A literal of an unexpected type");
    }
}

EmittedExpr QueryEmitter::ColumnRef(const sql::Expr& e, const Scope& scope)
{
    for (const Scope* s = &scope; s; s = s->parent) {
        const Source* found = nullptr;
        int index = -1;
        for (const Source& src : s->sources) {
            if (!e.qualifier.empty() && !NamesEqual(e.qualifier, src.alias))
                continue;
            int i = -1;
            if (src.table) {
                i = src.table->FindColumn(e.name);
            } else {
                for (size_t k = 0; k < src.derived.size(); ++k)
                    if (NamesEqual(src.derived[k].name, e.name))
                        i = static_cast<int>(k);
            }
            if (i < 0)
                continue;
            if (found)
                Fail(L"The specified field '" + e.name +
                     L"' could refer to more than one table listed in the FROM clause");
            found = &src;
            index = i;
        }
        if (found) {
            EmittedExpr r;
            if (found->table) {
                const ColumnInfo& c = found->table->columns[index];
                r.sql = QuoteName(found->alias) + "." + QuoteName(c.name);
                r.stored = true;
                r.type = c.type;
            } else {
                const ResultColumn& c = found->derived[index];
                r.sql = QuoteName(found->alias) + "." + QuoteName(c.name);
                r.stored = c.stored;
                r.typed = c.typed;
                r.type = c.type;
            }
            return r;
        }
    }
    if (e.qualifier.empty() && scope.outputs) {
        for (const ResultColumn& c : *scope.outputs) {
            if (NamesEqual(c.name, e.name)) {
                EmittedExpr r;
                r.sql = QuoteName(c.name);
                r.stored = c.stored;
                r.typed = c.typed;
                r.type = c.type;
                return r;
            }
        }
    }
    std::wstring full = e.qualifier.empty() ? e.name : e.qualifier + L"." + e.name;
    Fail(L"Unknown field name '" + full + L"': no table of the statement has such a field");
}

EmittedExpr QueryEmitter::Binary(const sql::Expr& e, const Scope& scope)
{
    // A chain of one operator may come as one node with all its operands;
    // it binds from the left.
    std::vector<EmittedExpr> operands;
    operands.reserve(e.args.size());
    for (const sql::ExprPtr& arg : e.args)
        operands.push_back(Expr(*arg, scope));
    auto all = [&](auto&& test) {
        for (const EmittedExpr& x : operands) {
            if (!(x.stored || x.typed) || !test(x.type.type))
                return false;
        }
        return true;
    };
    auto isText = [](AccessType t) { return t == AccessType::Text || t == AccessType::Memo; };
    // Where grouping does not change the result, a long chain goes to SQLite as a
    // balanced tree: its depth grows with the logarithm of the terms, and SQLite limits
    // both its parser stack and its expression depth. Whole numbers add and multiply
    // the same in any grouping, and so do texts joined by +; fractions round
    // differently, so those are added from the left as written.
    bool regroupable = false;
    switch (e.op) {
        case Op::Concat:
        case Op::And:
        case Op::Or:
        case Op::Xor:
        case Op::Eqv:
            regroupable = true;
            break;
        case Op::Add:
            regroupable = all(IsWholeNumberType) || all(isText);
            break;
        case Op::Multiply:
            regroupable = all(IsWholeNumberType);
            break;
        default:
            break;
    }
    if (regroupable)
        return CombineBalanced(e.op, operands, 0, operands.size());
    if (operands.size() > kMaxLeftChain)
        Fail(L"Expression too complex in query expression: more than " +
             std::to_wstring(kMaxLeftChain) +
             L" terms of one operator that must be worked out from the left");
    EmittedExpr result = std::move(operands.at(0));
    for (size_t i = 1; i < operands.size(); ++i)
        result = Combine(e.op, result, operands[i]);
    return result;
}

EmittedExpr QueryEmitter::CombineBalanced(sql::Op op, const std::vector<EmittedExpr>& operands,
                                          size_t begin, size_t end) const
{
    if (end - begin == 1)
        return operands[begin];
    size_t middle = begin + (end - begin) / 2;
    return Combine(op, CombineBalanced(op, operands, begin, middle),
                   CombineBalanced(op, operands, middle, end));
}

EmittedExpr QueryEmitter::Combine(sql::Op op, const EmittedExpr& l, const EmittedExpr& r) const
{
    const char* cmp = nullptr;
    switch (op) {
        case Op::Equal:
            cmp = " = ";
            break;
        case Op::NotEqual:
            cmp = " <> ";
            break;
        case Op::Less:
            cmp = " < ";
            break;
        case Op::LessEqual:
            cmp = " <= ";
            break;
        case Op::Greater:
            cmp = " > ";
            break;
        case Op::GreaterEqual:
            cmp = " >= ";
            break;
        default:
            break;
    }
    if (cmp) {
        std::string sql;
        if (l.stored && !(r.stored && r.type.type != l.type.type))
            sql = "(" + l.sql + cmp + Comparable(r, l) + ")";
        else if (r.stored && !l.stored)
            sql = "(" + Comparable(l, r) + cmp + r.sql + ")";
        else
            sql = "(" + Natural(l) + cmp + Natural(r) + ")";
        return Typed(sql, AccessType::YesNo);
    }
    auto kindOf = [](const EmittedExpr& x) {
        return (x.stored || x.typed) ? x.type.type : AccessType::Double;
    };
    auto text = [](const EmittedExpr& x, const std::string& natural) {
        if (x.typed && x.type.type == AccessType::DateTime)
            return "acc_datetext(" + natural + ")";
        return natural;
    };
    std::string a = Natural(l), b = Natural(r);
    AccessType ka = kindOf(l), kb = kindOf(r);
    // Arithmetic meets a date as the automation number it stands for (days backwards before
    // 12/30/1899, the time still forward); a date result is turned back the same way.
    std::string na = IsDate(l) ? "acc_oledate(" + a + ")" : a;
    std::string nb = IsDate(r) ? "acc_oledate(" + b + ")" : b;
    bool textA = (l.stored || l.typed) && (ka == AccessType::Text || ka == AccessType::Memo);
    bool textB = (r.stored || r.typed) && (kb == AccessType::Text || kb == AccessType::Memo);
    switch (op) {
        case Op::Concat:
            return Typed("acc_concat(" + text(l, a) + ", " + text(r, b) + ")", AccessType::Text);
        case Op::Add:
        case Op::Subtract:
        case Op::Multiply: {
            if (op == Op::Add && textA && textB)
                return Typed("(" + a + " || " + b + ")", AccessType::Text);
            const char* sign = op == Op::Add ? " + " : op == Op::Subtract ? " - " : " * ";
            // SQLite binds + and - (and *) from the left as we do: the chain so far takes
            // the next term inside its own parentheses.
            const int level = op == Op::Multiply ? 2 : 1;
            const bool joins = l.chainLevel == level && l.chainSize == a.size() && a == l.sql;
            std::string sql =
                joins ? a.substr(0, a.size() - 1) + sign + b + ")" : "(" + a + sign + b + ")";
            if (!(l.stored || l.typed || l.sql == "NULL") ||
                !(r.stored || r.typed || r.sql == "NULL")) {
                EmittedExpr untyped;  // the value decides its own type
                untyped.sql = std::move(sql);
                untyped.chainLevel = level;
                untyped.chainSize = untyped.sql.size();
                return untyped;
            }
            AccessType t = AccessType::Double;
            if (op != Op::Multiply && (ka == AccessType::DateTime) != (kb == AccessType::DateTime))
                t = AccessType::DateTime;
            else if (IsWholeNumberType(ka) && IsWholeNumberType(kb))
                t = AccessType::Long;
            else if ((ka == AccessType::Currency || kb == AccessType::Currency) &&
                     ka != AccessType::Double && kb != AccessType::Double)
                t = AccessType::Currency;
            // Dates take part as their automation numbers; a date result is turned back, and
            // is then no chain that a following term could join.
            const bool joinsTyped = joins && na == a && nb == b;
            std::string typedSql = joinsTyped ? sql : "(" + na + sign + nb + ")";
            if (t == AccessType::DateTime)
                return Typed("acc_monodate" + typedSql, t);
            EmittedExpr typed = Typed(std::move(typedSql), t);
            typed.chainLevel = level;
            typed.chainSize = typed.sql.size();
            return typed;
        }
        case Op::Divide:
            return Typed("acc_divide(" + na + ", " + nb + ")", AccessType::Double);
        case Op::IntDivide:
            return Typed("acc_intdivide(" + na + ", " + nb + ")", AccessType::Long);
        case Op::Mod:
            return Typed("acc_mod(" + na + ", " + nb + ")", AccessType::Long);
        case Op::Power:
            return Typed("acc_power(" + na + ", " + nb + ")", AccessType::Double);
        case Op::And:
            return Typed("(" + a + " AND " + b + ")", AccessType::YesNo);
        case Op::Or:
            return Typed("(" + a + " OR " + b + ")", AccessType::YesNo);
        case Op::Xor:
            return Typed("((" + a + ") <> 0) <> ((" + b + ") <> 0)", AccessType::YesNo);
        case Op::Eqv:
            return Typed("((" + a + ") <> 0) = ((" + b + ") <> 0)", AccessType::YesNo);
        default:
            Fail(L"An operator this provider does not know");
    }
}

EmittedExpr QueryEmitter::Function(const sql::Expr& e, const Scope& scope)
{
    std::wstring name = Catalog::Fold(e.name);
    auto arg = [&](size_t i) { return Expr(*e.args.at(i), scope); };
    auto argCount = [&](size_t lo, size_t hi) {
        if (e.args.size() < lo || e.args.size() > hi)
            Fail(L"Wrong number of arguments used with function in query expression '" + e.name +
                 L"'");
    };
    if (sql::IsAggregateFunction(e.name)) {
        if (name == L"count") {
            if (e.star)
                return Typed("count(*)", AccessType::Long);
            argCount(1, 1);
            return Typed("count(" + arg(0).sql + ")", AccessType::Long);
        }
        argCount(1, 1);
        EmittedExpr x = arg(0);
        if (name == L"min" || name == L"max" || name == L"first" || name == L"last") {
            std::string fn = name == L"min"     ? "min"
                             : name == L"max"   ? "max"
                             : name == L"first" ? "acc_first"
                                                : "acc_last";
            x.sql = fn + "(" + x.sql + ")";
            x.exact.clear();
            return x;
        }
        if (name == L"sum") {
            if (x.stored && x.type.type == AccessType::Currency) {
                x.sql = "sum(" + x.sql + ")";
                return x;
            }
            bool whole = (x.stored || x.typed) && IsWholeNumberType(x.type.type);
            return Typed("sum(" + Natural(x) + ")", whole ? AccessType::Long : AccessType::Double);
        }
        if (name == L"avg")
            return Typed("avg(" + Natural(x) + ")", AccessType::Double);
        return Typed("acc_" + automation::ToUtf8(name) + "(" + Natural(x) + ")",
                     AccessType::Double);
    }
    if (name == L"iif") {
        argCount(3, 3);
        EmittedExpr c = arg(0), a = arg(1), b = arg(2);
        EmittedExpr r;
        r.sql =
            "(CASE WHEN " + Natural(c) + " THEN " + Natural(a) + " ELSE " + Natural(b) + " END)";
        if ((a.stored || a.typed) && !NeedsNaturalConversion(a.type.type)) {
            r.typed = true;
            r.type = a.type;
        }
        return r;
    }
    for (const FunctionEntry& f : kFunctions) {
        if (name != f.name)
            continue;
        argCount(f.minArgs, f.maxArgs);
        std::string sql = f.sqlName;
        if (name == L"cstr") {
            EmittedExpr x = arg(0);
            if ((x.typed || x.stored) && x.type.type == AccessType::DateTime)
                sql = "acc_datetext";
        }
        // Numbers and dates meet by the automation rule: a conversion to a number takes a
        // date's automation number, a date function a number's automation date.
        const bool toNumber =
            name == L"clng" || name == L"cint" || name == L"cdbl" || name == L"ccur";
        const bool toDate =
            name == L"cdate" || name == L"year" || name == L"month" || name == L"day";
        sql += "(";
        EmittedExpr first;
        for (size_t i = 0; i < e.args.size(); ++i) {
            EmittedExpr x = arg(i);
            if (i == 0)
                first = x;
            std::string natural = Natural(x);
            if (i == 0 && toNumber && IsDate(x))
                natural = "acc_oledate(" + natural + ")";
            else if (i == 0 && toDate && !IsDate(x))
                natural = "acc_monodate(" + natural + ")";
            sql += (i ? ", " : "") + natural;
        }
        sql += ")";
        if (f.untyped) {
            // The result has the type of the argument it passes on.
            EmittedExpr r;
            r.sql = sql;
            if ((first.stored || first.typed) && !NeedsNaturalConversion(first.type.type)) {
                r.typed = true;
                r.type = first.type;
                r.type.autoIncrement = false;
            }
            return r;
        }
        return Typed(sql, f.result);
    }
    Fail(L"Undefined function '" + e.name + L"' in expression");
}

EmittedExpr QueryEmitter::Expr(const sql::Expr& e, const Scope& scope)
{
    switch (e.kind) {
        case ExprKind::Literal:
            return Literal(e);
        case ExprKind::Column:
            return ColumnRef(e, scope);
        case ExprKind::Parameter: {
            if (e.parameterIndex < 0)
                Fail(L"No value given for the parameter '" + e.name + L"'");
            EmittedExpr r;
            r.sql = "?" + std::to_string(e.parameterIndex + 1);
            r.parameterized = true;
            return r;
        }
        case ExprKind::Unary: {
            EmittedExpr x = Expr(*e.args[0], scope);
            if (e.op == Op::Not)
                return Typed("(NOT " + Natural(x) + ")", AccessType::YesNo);
            EmittedExpr r = x;
            r.stored = false;
            r.typed = x.stored || x.typed;
            r.sql = "(-" + Natural(x) + ")";
            if (!x.exact.empty())
                r.exact = x.exact[0] == '-' ? x.exact.substr(1) : "-" + x.exact;
            return r;
        }
        case ExprKind::Binary:
            return Binary(e, scope);
        case ExprKind::Like: {
            EmittedExpr x = Expr(*e.args[0], scope), p = Expr(*e.args[1], scope);
            std::string sql = "acc_like(" + Natural(x) + ", " + Natural(p) + ")";
            return Typed(e.negated ? "(NOT " + sql + ")" : sql, AccessType::YesNo);
        }
        case ExprKind::IsNull: {
            EmittedExpr x = Expr(*e.args[0], scope);
            return Typed("(" + x.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"),
                         AccessType::YesNo);
        }
        case ExprKind::In: {
            EmittedExpr x = Expr(*e.args[0], scope);
            std::string list;
            if (e.subquery) {
                // The subquery sees the outer query's tables (a correlated IN).
                Scope inner;
                inner.parent = &scope;
                std::vector<ResultColumn> cols;
                if (e.subquery->unions.empty() && e.subquery->orderBy.empty())
                    list = Core(e.subquery->core, inner, cols, nullptr);
                else
                    list = EmitSelect(*e.subquery, false).sql;
            } else {
                for (size_t i = 1; i < e.args.size(); ++i)
                    list += (i > 1 ? ", " : "") + Comparable(Expr(*e.args[i], scope), x);
            }
            std::string left = x.stored ? x.sql : Natural(x);
            return Typed("(" + left + (e.negated ? " NOT IN (" : " IN (") + list + "))",
                         AccessType::YesNo);
        }
        case ExprKind::Between: {
            EmittedExpr x = Expr(*e.args[0], scope);
            std::string lo = Comparable(Expr(*e.args[1], scope), x);
            std::string hi = Comparable(Expr(*e.args[2], scope), x);
            std::string left = x.stored ? x.sql : Natural(x);
            return Typed(
                "(" + left + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " + hi + ")",
                AccessType::YesNo);
        }
        case ExprKind::Exists:
        case ExprKind::Subquery: {
            Scope inner;
            inner.parent = &scope;
            std::vector<ResultColumn> cols;
            std::string body = Core(e.subquery->core, inner, cols, nullptr);
            if (!e.subquery->unions.empty() || !e.subquery->orderBy.empty())
                Fail(L"A subquery with UNION or ORDER BY inside an expression");
            if (e.kind == ExprKind::Exists)
                return Typed("EXISTS (" + body + ")", AccessType::YesNo);
            EmittedExpr r;
            r.sql = "(" + body + ")";
            if (!cols.empty()) {
                r.stored = cols[0].stored;
                r.typed = cols[0].typed;
                r.type = cols[0].type;
            }
            return r;
        }
        case ExprKind::Function:
            return Function(e, scope);
        case ExprKind::Star:
            Fail(L"'*' is allowed only in a select list or count(*)");
        case ExprKind::RuleSubject:
            Fail(L"A validation rule outside a field");
    }
    Fail(L"An unknown expression");
}

// ---- queries ------------------------------------------------------------------

std::string QueryEmitter::TableRef(const sql::TableRef& ref, Scope& scope)
{
    switch (ref.kind) {
        case sql::TableRefKind::Table: {
            const QueryInfo* view =
                catalog_.FindTable(ref.name) ? nullptr : catalog_.FindQuery(ref.name);
            if (view && view->kind == L"VIEW") {
                // A stored view reads as the subquery of its text.
                if (++viewDepth_ > 32)
                    Fail(L"The view '" + view->name + L"' refers to itself");
                sql::Statement stored = sql::Parse(view->text);
                EmittedSelect inner = EmitSelect(std::get<sql::Select>(stored.body), false);
                --viewDepth_;
                Source s;
                s.alias = ref.alias.empty() ? view->name : ref.alias;
                s.derived = inner.columns;
                for (const Source& other : scope.sources)
                    if (NamesEqual(other.alias, s.alias))
                        Fail(L"The table '" + s.alias +
                             L"' appears twice in the FROM clause; give one an alias");
                scope.sources.push_back(s);
                return "(" + inner.sql + ") AS " + QuoteName(s.alias);
            }
            const TableInfo& t = RequireTable(ref.name);
            Source s;
            s.alias = ref.alias.empty() ? t.name : ref.alias;
            s.table = &t;
            for (const Source& other : scope.sources)
                if (NamesEqual(other.alias, s.alias))
                    Fail(L"The table '" + s.alias +
                         L"' appears twice in the FROM clause; give one an alias");
            scope.sources.push_back(s);
            return QuoteName(t.name) + " AS " + QuoteName(s.alias);
        }
        case sql::TableRefKind::Subquery: {
            EmittedSelect inner = EmitSelect(*ref.subquery, false);
            Source s;
            s.alias = ref.alias.empty() ? L"Subquery" : ref.alias;
            s.derived = inner.columns;
            scope.sources.push_back(s);
            return "(" + inner.sql + ") AS " + QuoteName(s.alias);
        }
        case sql::TableRefKind::Join: {
            std::string left = TableRef(*ref.left, scope);
            std::string right = TableRef(*ref.right, scope);
            const char* join = ref.join == sql::JoinKind::Inner  ? " INNER JOIN "
                               : ref.join == sql::JoinKind::Left ? " LEFT JOIN "
                                                                 : " RIGHT JOIN ";
            std::string on = ref.on ? Natural(Expr(*ref.on, scope)) : "1";
            return "(" + left + join + right + " ON " + on + ")";
        }
    }
    return {};
}

std::string QueryEmitter::FromClause(const std::vector<sql::TableRefPtr>& from, Scope& scope)
{
    std::string sql;
    for (size_t i = 0; i < from.size(); ++i)
        sql += (i ? ", " : "") + TableRef(*from[i], scope);
    return sql;
}

std::string QueryEmitter::Core(const sql::SelectCore& core, Scope& scope,
                               std::vector<ResultColumn>& cols, std::vector<std::string>* itemSql,
                               std::string* rowid)
{
    std::string from = FromClause(core.from, scope);
    std::string items;
    auto add = [&](const std::string& sql, const ResultColumn& c) {
        std::wstring name = c.name;
        for (const ResultColumn& other : cols)
            if (NamesEqual(other.name, name))
                name = c.name + L"_" + std::to_wstring(cols.size());
        ResultColumn out = c;
        out.name = name;
        std::string item = sql + " AS " + QuoteName(name);
        items += (items.empty() ? "" : ", ") + item;
        if (itemSql)
            itemSql->push_back(item);
        cols.push_back(out);
    };
    for (const sql::SelectItem& item : core.items) {
        const sql::Expr& e = *item.expr;
        if (e.kind == ExprKind::Star) {
            bool any = false;
            // A field name that two tables of the FROM clause share comes out
            // qualified ("a.id", "b.id"), as Access names it.
            auto shared = [&](const Source& self, const std::wstring& name) {
                for (const Source& other : scope.sources) {
                    if (&other == &self)
                        continue;
                    bool has = other.table ? other.table->FindColumn(name) >= 0 : false;
                    for (const ResultColumn& c : other.derived)
                        has = has || NamesEqual(c.name, name);
                    if (has)
                        return true;
                }
                return false;
            };
            for (const Source& s : scope.sources) {
                if (!e.qualifier.empty() && !NamesEqual(e.qualifier, s.alias))
                    continue;
                any = true;
                std::vector<ResultColumn> columns;
                if (s.table) {
                    for (const ColumnInfo& c : s.table->columns)
                        columns.push_back(ResultColumn{c.name, true, false, c.type});
                } else {
                    columns = s.derived;
                }
                for (ResultColumn c : columns) {
                    std::string sql = QuoteName(s.alias) + "." + QuoteName(c.name);
                    if (e.qualifier.empty() && shared(s, c.name))
                        c.name = s.alias + L"." + c.name;
                    add(sql, c);
                }
            }
            if (!any)
                Fail(scope.sources.empty()
                         ? L"SELECT * needs a FROM clause"
                         : L"Unknown table '" + e.qualifier + L"' in '" + e.qualifier + L".*'");
            continue;
        }
        EmittedExpr x = Expr(e, scope);
        ResultColumn rc;
        rc.name = !item.alias.empty()          ? item.alias
                  : e.kind == ExprKind::Column ? e.name
                                               : L"Expr" + std::to_wstring(exprCounter_++);
        rc.stored = x.stored;
        rc.typed = x.typed;
        rc.type = x.type;
        add(x.sql, rc);
    }
    if (rowid) {
        const Source& s = scope.sources.at(0);
        *rowid = QuoteName(s.alias) + "." + RowidName(*s.table);
        items += ", " + *rowid;
    }
    std::string sql = std::string("SELECT ") + (core.distinct ? "DISTINCT " : "") + items;
    if (!from.empty())
        sql += " FROM " + from;
    if (core.where)
        sql += " WHERE " + Natural(Expr(*core.where, scope));
    if (!core.groupBy.empty()) {
        sql += " GROUP BY ";
        for (size_t i = 0; i < core.groupBy.size(); ++i)
            sql += (i ? ", " : "") + Expr(*core.groupBy[i], scope).sql;
    }
    if (core.having)
        sql += " HAVING " + Natural(Expr(*core.having, scope));
    return sql;
}

EmittedSelect QueryEmitter::EmitSelect(const sql::Select& select, bool forCursor)
{
    EmittedSelect out;
    const sql::SelectCore& core = select.core;
    bool simple = forCursor && select.unions.empty() && !core.distinct && core.groupBy.empty() &&
                  !core.having && core.from.size() == 1 &&
                  core.from[0]->kind == sql::TableRefKind::Table &&
                  catalog_.FindTable(core.from[0]->name) && !core.topPercent;
    for (const sql::SelectItem& item : core.items)
        // The row lookup is bound with the rowid alone.
        simple = simple && !HasAggregate(item.expr.get()) &&
                 !HasParameter(item.expr.get(), binding_ != LiteralBinding::Inline,
                               binding_ == LiteralBinding::Doubles);
    for (const sql::OrderItem& o : select.orderBy)
        simple = simple && !HasAggregate(o.expr.get());

    Scope scope;
    std::vector<std::string> itemSql;
    std::string rowid;
    std::string sql = Core(core, scope, out.columns, &itemSql, simple ? &rowid : nullptr);
    if (simple) {
        const Source& s = scope.sources[0];
        std::string visible;
        for (const std::string& item : itemSql)
            visible += (visible.empty() ? "" : ", ") + item;
        out.rowLookup = "SELECT " + visible + " FROM " + QuoteName(s.table->name) + " AS " +
                        QuoteName(s.alias) + " WHERE " + rowid + " = ?1";
    }
    for (const sql::UnionPart& u : select.unions) {
        Scope other;
        std::vector<ResultColumn> cols;
        sql += (u.all ? " UNION ALL " : " UNION ") + Core(u.core, other, cols, nullptr);
        if (cols.size() != out.columns.size())
            Fail(
                L"The number of columns in the two selected tables or queries of a union "
                L"query do not match");
    }
    if (!select.orderBy.empty() || simple) {
        Scope orderScope;
        orderScope.sources = select.unions.empty() ? scope.sources : std::vector<Source>{};
        orderScope.outputs = &out.columns;
        std::string order;
        bool ranged = simple && select.unions.empty() && !core.where && !core.top;
        std::vector<std::string> terms;
        for (const sql::OrderItem& o : select.orderBy) {
            EmittedExpr x = Expr(*o.expr, orderScope);
            order += (order.empty() ? "" : ", ") + (x.stored ? x.sql : Natural(x)) +
                     (o.descending ? " DESC" : "");
            ranged = ranged && x.stored && !o.descending && o.expr->kind == sql::ExprKind::Column;
            terms.push_back(x.sql);
        }
        // Ties keep the table's own order, so the same statement always
        // yields the same row at the same position.
        if (simple)
            order += (order.empty() ? "" : ", ") + rowid;
        if (ranged) {
            const Source& s = scope.sources[0];
            for (const std::string& item : itemSql)
                out.rangeItems += item + ", ";
            out.rangeItems += rowid;
            out.rangeFrom = " FROM " + QuoteName(s.table->name) + " AS " + QuoteName(s.alias);
            terms.push_back(rowid);
            out.orderTerms = std::move(terms);
        }
        sql += " ORDER BY " + order;
    }
    if (core.top) {
        if (core.topPercent)
            Fail(L"TOP n PERCENT is not supported by this provider");
        sql += " LIMIT " + std::to_string(*core.top);
    }
    out.sql = sql;
    return out;
}

// ---- data statements -------------------------------------------------------

std::string QueryEmitter::KeyRequired(const TableInfo& table, int column, const std::string& value)
{
    // SQLite would number a Null given to a rowid key as a new row: it is refused before.
    if (column != table.rowidKey)
        return value;
    const IndexInfo* key = nullptr;
    for (const IndexInfo& index : table.indexes)
        if (index.primary)
            key = &index;
    return "acc_key(" + value + ", " +
           QuoteText(NullKeyText(table.name, key ? key->name : std::wstring(L"PrimaryKey"))) + ")";
}

std::string QueryEmitter::EmitDefault(const ColumnInfo& column)
{
    sql::ExprPtr e = sql::ParseExpression(column.defaultText);
    Scope none;
    return StoreInto(Expr(*e, none), column);
}

std::string QueryEmitter::EmitInsert(const sql::Insert& insert, const TableInfo*& tableOut,
                                     bool& counterGiven)
{
    const TableInfo& table = RequireTable(insert.table);
    tableOut = &table;
    std::vector<int> targets;
    std::vector<ResultColumn> selected;
    EmittedSelect inner;
    if (insert.select) {
        inner = EmitSelect(*insert.select, false);
        selected = inner.columns;
    }
    size_t given = insert.select ? selected.size() : insert.values.size();
    if (insert.columns.empty()) {
        bool byName = insert.select != nullptr;
        for (const ResultColumn& c : selected)
            byName = byName && table.FindColumn(c.name) >= 0;
        for (size_t i = 0; i < given; ++i)
            targets.push_back(byName ? table.FindColumn(selected[i].name) : static_cast<int>(i));
        if (!byName && given != table.columns.size())
            Fail(L"Number of query values and destination fields are not the same");
    } else {
        for (const std::wstring& name : insert.columns) {
            int i = table.FindColumn(name);
            if (i < 0)
                Fail(L"The INSERT INTO statement contains the unknown field name '" + name +
                     L"'. Make sure you have typed the name correctly, and try the operation "
                     L"again");
            for (int t : targets)
                if (t == i)
                    Fail(L"Duplicate output destination '" + name + L"'");
            targets.push_back(i);
        }
        if (targets.size() != given)
            Fail(L"Number of query values and destination fields are not the same");
    }
    int counter = table.CounterColumn();
    counterGiven = false;
    std::string names, values;
    auto put = [&](int column, const std::string& value) {
        names += (names.empty() ? "" : ", ") + QuoteName(table.columns[column].name);
        values += (values.empty() ? "" : ", ") + value;
    };
    Scope none;
    for (size_t i = 0; i < targets.size(); ++i) {
        const ColumnInfo& c = table.columns[targets[i]];
        counterGiven = counterGiven || targets[i] == counter;
        EmittedExpr value;
        if (insert.select) {
            value.sql = "\"s\"." + QuoteName(selected[i].name);
            value.stored = selected[i].stored;
            value.typed = selected[i].typed;
            value.type = selected[i].type;
        } else {
            value = Expr(*insert.values[i], none);
        }
        put(targets[i], KeyRequired(table, targets[i], StoreInto(value, c)));
    }
    for (size_t k = 0; k < table.columns.size(); ++k) {
        bool listed = false;
        for (int t : targets)
            listed = listed || t == static_cast<int>(k);
        if (listed)
            continue;
        const ColumnInfo& c = table.columns[k];
        if (static_cast<int>(k) == counter)
            put(static_cast<int>(k), "acc_counter()");
        else if (!c.defaultText.empty())
            put(static_cast<int>(k), KeyRequired(table, int(k), EmitDefault(c)));
        else if (static_cast<int>(k) == table.rowidKey)
            put(static_cast<int>(k), KeyRequired(table, int(k), "NULL"));
    }
    std::string sql = "INSERT INTO " + QuoteName(table.name);
    if (names.empty())
        return sql + " DEFAULT VALUES";
    sql += " (" + names + ") ";
    if (insert.select)
        return sql + "SELECT " + values + " FROM (" + inner.sql + ") AS \"s\"";
    return sql + "VALUES (" + values + ")";
}

std::string QueryEmitter::EmitUpdate(const sql::Update& update)
{
    Scope scope;
    std::vector<const sql::TableRef*> refs;
    std::vector<const sql::Expr*> ons;
    std::vector<const sql::TableRef*> pending{update.table.get()};
    while (!pending.empty()) {
        const sql::TableRef* r = pending.back();
        pending.pop_back();
        if (r->kind == sql::TableRefKind::Join) {
            if (r->join != sql::JoinKind::Inner)
                Fail(L"Only INNER JOIN is supported in an UPDATE statement");
            pending.push_back(r->right.get());
            pending.push_back(r->left.get());
            if (r->on)
                ons.push_back(r->on.get());
        } else if (r->kind == sql::TableRefKind::Table) {
            refs.push_back(r);
        } else {
            Fail(L"Operation must use an updateable query");
        }
    }
    std::vector<std::string> froms;
    for (const sql::TableRef* r : refs)
        froms.push_back(TableRef(*r, scope));
    // The target is the table that holds the first assigned field.
    size_t target = 0;
    const sql::Assignment& first = update.assignments.at(0);
    for (size_t i = 0; i < scope.sources.size(); ++i) {
        const Source& s = scope.sources[i];
        if ((first.qualifier.empty() || NamesEqual(first.qualifier, s.alias)) &&
            s.table->FindColumn(first.column) >= 0) {
            target = i;
            break;
        }
    }
    const Source& t = scope.sources[target];
    std::string sets;
    for (const sql::Assignment& a : update.assignments) {
        if (!a.qualifier.empty() && !NamesEqual(a.qualifier, t.alias))
            Fail(L"Only the fields of one table can be updated ('" + a.qualifier + L"." + a.column +
                 L"')");
        int i = t.table->FindColumn(a.column);
        if (i < 0)
            Fail(L"Unknown field name '" + a.column + L"' in table '" + t.table->name + L"'");
        const ColumnInfo& c = t.table->columns[i];
        if (c.type.autoIncrement)
            Fail(L"Cannot update '" + c.name + L"'; field not updateable");
        sets += (sets.empty() ? "" : ", ") + QuoteName(c.name) + " = " +
                KeyRequired(*t.table, i, StoreInto(Expr(*a.value, scope), c));
    }
    std::string sql = "UPDATE " + froms[target] + " SET " + sets;
    std::string others;
    for (size_t i = 0; i < froms.size(); ++i)
        if (i != target)
            others += (others.empty() ? "" : ", ") + froms[i];
    if (!others.empty())
        sql += " FROM " + others;
    std::string where;
    for (const sql::Expr* on : ons)
        where += (where.empty() ? "" : " AND ") + Natural(Expr(*on, scope));
    if (update.where)
        where += (where.empty() ? "" : " AND ") + Natural(Expr(*update.where, scope));
    if (!where.empty())
        sql += " WHERE " + where;
    return sql;
}

std::string QueryEmitter::EmitDelete(const sql::Delete& del)
{
    const TableInfo& t = RequireTable(del.table);
    Scope scope;
    Source s;
    s.alias = del.alias.empty() ? t.name : del.alias;
    s.table = &t;
    scope.sources.push_back(s);
    std::string sql = "DELETE FROM " + QuoteName(t.name) + " AS " + QuoteName(s.alias);
    if (del.where)
        sql += " WHERE " + Natural(Expr(*del.where, scope));
    return sql;
}

}  // namespace provider
