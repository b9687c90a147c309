// Query definition rows to Access SQL. Clauses follow the order and layout
// Access itself uses: one clause per line (CR LF), the statement ending in ";".
#include "platform/provider/mdb/mdb_query_text.h"

#include <algorithm>
#include <cwctype>

namespace provider::mdb {
namespace {

constexpr int kTypeRow = 1, kParameterRow = 2, kOptionsRow = 3, kTableRow = 5, kColumnRow = 6,
              kJoinRow = 7, kWhereRow = 8, kGroupRow = 9, kHavingRow = 10, kOrderRow = 11;

// Select options (flag of the options row).
constexpr int kAllFields = 0x01, kDistinct = 0x02, kOwnerAccess = 0x04, kDistinctRow = 0x08,
              kTop = 0x10, kPercent = 0x20;
// Union options: bit 0x02 keeps duplicates out (plain UNION).
constexpr int kUnionDistinct = 0x02;

// Crosstab column roles (flag of an output column or group row).
constexpr int kCrosstabValue = 0, kCrosstabPivot = 1, kCrosstabRowHeading = 2;

const wchar_t* const kNewLine = L"\r\n";

std::wstring Join(const std::vector<std::wstring>& parts, const wchar_t* sep)
{
    std::wstring out;
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? sep : L"") + parts[i];
    return out;
}

std::wstring TrimRight(std::wstring s)
{
    while (!s.empty() && (std::iswspace(s.back()) || s.back() == L';'))
        s.pop_back();
    return s;
}

std::wstring Lower(std::wstring s)
{
    for (auto& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring ParameterTypeName(int daoType)
{
    switch (daoType) {
        case 1:
            return L"Bit";
        case 2:
            return L"Byte";
        case 3:
            return L"Short";
        case 4:
            return L"Long";
        case 5:
            return L"Currency";
        case 6:
            return L"IEEESingle";
        case 7:
            return L"IEEEDouble";
        case 8:
            return L"DateTime";
        case 9:
            return L"Binary";
        case 10:
            return L"Text ( 255 )";
        case 11:
            return L"LongBinary";
        case 12:
            return L"Memo";
        case 15:
            return L"Guid";
        case 16:
            return L"BigInt";
        case 20:
            return L"Decimal";
        default:
            return L"Value";
    }
}

int AdoTypeOfDao(int daoType)
{
    switch (daoType) {
        case 1:
            return 11;  // adBoolean
        case 2:
            return 17;  // adUnsignedTinyInt
        case 3:
            return 2;  // adSmallInt
        case 4:
            return 3;  // adInteger
        case 5:
            return 6;  // adCurrency
        case 6:
            return 4;  // adSingle
        case 7:
            return 5;  // adDouble
        case 8:
            return 7;  // adDate
        case 9:
            return 204;  // adVarBinary
        case 10:
            return 202;  // adVarWChar
        case 11:
            return 205;  // adLongVarBinary
        case 12:
            return 203;  // adLongVarWChar
        case 15:
            return 72;  // adGUID
        case 16:
            return 20;  // adBigInt
        case 20:
            return 131;  // adNumeric
        default:
            return 12;  // adVariant
    }
}

}  // namespace

QueryTextBuilder::QueryTextBuilder(std::vector<QueryRow> rows) : rows_(std::move(rows))
{
    // Access stores some definition texts with their C terminator.
    for (auto& r : rows_)
        for (std::wstring* text : {&r.name1, &r.name2, &r.expression})
            while (!text->empty() && text->back() == L'\0')
                text->pop_back();
    // Rows of one attribute keep their stored order; attributes come in order.
    std::stable_sort(rows_.begin(), rows_.end(), [](const QueryRow& a, const QueryRow& b) {
        return a.attribute < b.attribute;
    });
    for (const auto& r : rows_) {
        if (r.attribute == kTypeRow && !typeRow_)
            typeRow_ = &r;
        if (r.attribute == kOptionsRow) {
            options_ = r.flag;
            top_ = r.name1;
        }
    }
    static const QueryKind kinds[] = {
        QueryKind::Unknown,     QueryKind::Select, QueryKind::MakeTable, QueryKind::Append,
        QueryKind::Update,      QueryKind::Delete, QueryKind::Crosstab,  QueryKind::DataDefinition,
        QueryKind::PassThrough, QueryKind::Union};
    // Queries saved without a kind row (form and report sources among them)
    // are select queries.
    if (!typeRow_)
        kind_ = QueryKind::Select;
    else if (typeRow_->flag >= 1 && typeRow_->flag <= 9)
        kind_ = kinds[typeRow_->flag];
}

std::wstring QueryTextBuilder::QuoteName(const std::wstring& name)
{
    bool plain = !name.empty() && !std::iswdigit(name[0]);
    for (wchar_t c : name)
        plain = plain && c < 128 && (std::iswalnum(c) || c == L'_');
    return plain ? name : L"[" + name + L"]";
}

std::vector<const QueryRow*> QueryTextBuilder::Rows(int attribute) const
{
    std::vector<const QueryRow*> out;
    for (const auto& r : rows_)
        if (r.attribute == attribute)
            out.push_back(&r);
    return out;
}

std::vector<QueryParameter> QueryTextBuilder::Parameters() const
{
    std::vector<QueryParameter> out;
    for (const QueryRow* r : Rows(kParameterRow)) {
        QueryParameter p;
        p.name = r->name1;
        p.daoType = r->flag;
        p.adoType = AdoTypeOfDao(r->flag);
        p.size = r->flag == 10 ? 255 : 0;
        out.push_back(p);
    }
    return out;
}

std::wstring QueryTextBuilder::Connect() const
{
    return kind_ == QueryKind::PassThrough && typeRow_ ? typeRow_->name1 : std::wstring();
}

std::wstring QueryTextBuilder::ParametersClause() const
{
    std::vector<std::wstring> params;
    for (const QueryRow* r : Rows(kParameterRow))
        params.push_back(L"[" + r->name1 + L"] " + ParameterTypeName(r->flag));
    return params.empty() ? std::wstring() : L"PARAMETERS " + Join(params, L", ") + L";" + kNewLine;
}

std::wstring QueryTextBuilder::SelectPrefix() const
{
    std::wstring s;
    if (options_ & kDistinct)
        s += L"DISTINCT ";
    else if (options_ & kDistinctRow)
        s += L"DISTINCTROW ";
    if ((options_ & kTop) && !top_.empty())
        s += L"TOP " + top_ + ((options_ & kPercent) ? L" PERCENT " : L" ");
    return s;
}

std::wstring QueryTextBuilder::OutputColumns(bool withAliases, int onlyFlag) const
{
    std::vector<std::wstring> cols;
    if ((options_ & kAllFields) && onlyFlag < 0)
        cols.push_back(L"*");
    for (const QueryRow* r : Rows(kColumnRow)) {
        if (onlyFlag >= 0 && r->flag != onlyFlag)
            continue;
        std::wstring c = r->expression;
        if (withAliases && !r->name1.empty())
            c += L" AS " + QuoteName(r->name1);
        cols.push_back(c);
    }
    return Join(cols, L", ");
}

std::wstring QueryTextBuilder::From() const
{
    // Each component is a table or a join tree, known by the table names and
    // aliases in it; the join rows merge components in their stored order.
    struct Component {
        std::vector<std::wstring> keys;  // lower-case names and aliases
        std::wstring base;               // the text before the last ON
        std::vector<std::wstring> conditions;
        std::wstring Render() const
        {
            if (conditions.empty())
                return base;
            std::wstring on =
                conditions.size() == 1 ? conditions[0] : L"(" + Join(conditions, L") AND (") + L")";
            return base + L" ON " + on;
        }
    };
    std::vector<Component> parts;
    for (const QueryRow* r : Rows(kTableRow)) {
        Component c;
        c.base =
            r->expression.empty() ? QuoteName(r->name1) : L"(" + TrimRight(r->expression) + L")";
        if (!r->name2.empty())
            c.base += L" AS " + QuoteName(r->name2);
        c.keys.push_back(Lower(r->name2.empty() ? r->name1 : r->name2));
        parts.push_back(c);
    }
    auto find = [&](const std::wstring& name) -> int {
        const std::wstring key = Lower(name);
        for (size_t i = 0; i < parts.size(); ++i)
            if (std::find(parts[i].keys.begin(), parts[i].keys.end(), key) != parts[i].keys.end())
                return static_cast<int>(i);
        return -1;
    };
    for (const QueryRow* r : Rows(kJoinRow)) {
        const int li = find(r->name1), ri = find(r->name2);
        if (li < 0 || ri < 0)
            continue;
        if (li == ri) {
            parts[li].conditions.push_back(r->expression);
            continue;
        }
        const wchar_t* type = r->flag == 2   ? L" LEFT JOIN "
                              : r->flag == 3 ? L" RIGHT JOIN "
                                             : L" INNER JOIN ";
        auto operand = [](const Component& c) {
            return c.conditions.empty() ? c.Render() : L"(" + c.Render() + L")";
        };
        Component merged;
        merged.base = operand(parts[li]) + type + operand(parts[ri]);
        merged.conditions.push_back(r->expression);
        merged.keys = parts[li].keys;
        merged.keys.insert(merged.keys.end(), parts[ri].keys.begin(), parts[ri].keys.end());
        parts[li] = merged;
        parts.erase(parts.begin() + ri);
    }
    std::vector<std::wstring> texts;
    for (const auto& c : parts)
        texts.push_back(c.Render());
    return Join(texts, L", ");
}

std::wstring QueryTextBuilder::Tail(bool groupBy) const
{
    std::wstring s;
    for (const QueryRow* r : Rows(kWhereRow))
        s += kNewLine + std::wstring(L"WHERE ") + r->expression;
    if (groupBy) {
        std::vector<std::wstring> groups;
        for (const QueryRow* r : Rows(kGroupRow))
            if (kind_ != QueryKind::Crosstab || r->flag != kCrosstabPivot)
                groups.push_back(r->expression);
        if (!groups.empty())
            s += kNewLine + std::wstring(L"GROUP BY ") + Join(groups, L", ");
    }
    for (const QueryRow* r : Rows(kHavingRow))
        s += kNewLine + std::wstring(L"HAVING ") + r->expression;
    std::vector<std::wstring> order;
    for (const QueryRow* r : Rows(kOrderRow))
        order.push_back(r->expression + (Lower(r->name1) == L"d" ? L" DESC" : L""));
    if (!order.empty())
        s += kNewLine + std::wstring(L"ORDER BY ") + Join(order, L", ");
    return s;
}

std::wstring QueryTextBuilder::UnionSql() const
{
    std::vector<std::wstring> parts;
    for (const QueryRow* r : Rows(kTableRow))
        parts.push_back(r->expression.empty() ? L"TABLE " + QuoteName(r->name1)
                                              : TrimRight(r->expression));
    const std::wstring glue =
        std::wstring(kNewLine) + ((options_ & kUnionDistinct) ? L"UNION " : L"UNION ALL ");
    return Join(parts, glue.c_str()) + Tail(false) + L";";
}

std::wstring QueryTextBuilder::Sql() const
{
    const std::wstring from = From();
    const std::wstring fromClause = from.empty() ? L"" : kNewLine + std::wstring(L"FROM ") + from;
    const std::wstring owner = (options_ & kOwnerAccess) ? L"\r\nWITH OWNERACCESS OPTION" : L"";
    const std::wstring target = typeRow_ ? QuoteName(typeRow_->name1) : L"";
    switch (kind_) {
        case QueryKind::Select:
            return ParametersClause() + L"SELECT " + SelectPrefix() + OutputColumns(true) +
                   fromClause + Tail(true) + owner + L";";
        case QueryKind::MakeTable:
            return ParametersClause() + L"SELECT " + SelectPrefix() + OutputColumns(true) +
                   L" INTO " + target + fromClause + Tail(true) + owner + L";";
        case QueryKind::Append: {
            std::vector<std::wstring> targets;
            for (const QueryRow* r : Rows(kColumnRow))
                if (!r->name2.empty())
                    targets.push_back(r->name2);
            std::wstring s = ParametersClause() + L"INSERT INTO " + target;
            if (!targets.empty())
                s += L" ( " + Join(targets, L", ") + L" )";
            return s + kNewLine + L"SELECT " + SelectPrefix() + OutputColumns(true) + fromClause +
                   Tail(true) + owner + L";";
        }
        case QueryKind::Update: {
            std::vector<std::wstring> sets;
            for (const QueryRow* r : Rows(kColumnRow))
                sets.push_back(r->name2 + L" = " + r->expression);
            return ParametersClause() + L"UPDATE " + from + L" SET " + Join(sets, L", ") +
                   Tail(false) + owner + L";";
        }
        case QueryKind::Delete:
            return ParametersClause() + L"DELETE " + SelectPrefix() + OutputColumns(false) +
                   fromClause + Tail(false) + owner + L";";
        case QueryKind::Crosstab: {
            std::wstring pivot;
            for (const QueryRow* r : Rows(kColumnRow))
                if (r->flag == kCrosstabPivot)
                    pivot = r->expression;
            return ParametersClause() + L"TRANSFORM " + OutputColumns(true, kCrosstabValue) +
                   kNewLine + L"SELECT " + SelectPrefix() +
                   OutputColumns(true, kCrosstabRowHeading) + fromClause + Tail(true) + kNewLine +
                   L"PIVOT " + pivot + owner + L";";
        }
        case QueryKind::DataDefinition:
        case QueryKind::PassThrough:
            return typeRow_ ? typeRow_->expression : L"";
        case QueryKind::Union:
            return ParametersClause() + UnionSql();
        case QueryKind::Unknown:
            break;
    }
    return L"";
}

}  // namespace provider::mdb
