// Schema rowsets from the catalog.
#include "platform/provider/schema_rowsets.h"

#include "platform/automation/com_error.h"
#include "platform/provider/ado.h"
#include "platform/provider/sqlite_util.h"

namespace provider {

using automation::Variant;

namespace {

// One rowset under construction: typed columns and rows of SQL literals.
class RowsetBuilder {
public:
    enum Kind { Text, Int, Short, Bool };

    void Column(const wchar_t* name, Kind kind)
    {
        ResultColumn c;
        c.name = name;
        c.typed = kind != Text;
        c.type.type = kind == Int     ? AccessType::Long
                      : kind == Short ? AccessType::Short
                      : kind == Bool  ? AccessType::YesNo
                                      : AccessType::Text;
        columns_.push_back(c);
    }

    void Row(const std::vector<std::string>& values) { rows_.push_back(values); }

    static std::string Str(const std::wstring& text) { return QuoteText(std::wstring_view(text)); }
    static std::string Num(int64_t n) { return std::to_string(n); }
    static std::string Null() { return "NULL"; }

    EmittedSelect Build() const
    {
        EmittedSelect out;
        out.columns = columns_;
        std::string names;
        for (size_t i = 0; i < columns_.size(); ++i)
            names += (i ? ", " : "") + QuoteName(columns_[i].name);
        if (rows_.empty()) {
            std::string nulls;
            for (size_t i = 0; i < columns_.size(); ++i)
                nulls += (i ? ", NULL AS " : "NULL AS ") + QuoteName(columns_[i].name);
            out.sql = "SELECT " + nulls + " WHERE 0";
            return out;
        }
        std::string values;
        for (const auto& row : rows_) {
            std::string r;
            for (const std::string& v : row)
                r += (r.empty() ? "" : ", ") + v;
            values += (values.empty() ? "(" : ", (") + r + ")";
        }
        out.sql = "WITH r(" + names + ") AS (VALUES " + values + ") SELECT * FROM r";
        return out;
    }

private:
    std::vector<ResultColumn> columns_;
    std::vector<std::vector<std::string>> rows_;
};

// The restriction at `index` as text; empty when it does not restrict.
std::wstring Restriction(const std::vector<Variant>& restrictions, size_t index)
{
    if (index >= restrictions.size())
        return {};
    const Variant& v = restrictions[index];
    if (v.IsEmpty() || v.IsNull() || v.vt() == automation::VT_ERROR)
        return {};
    return automation::ChangeType(v, automation::VT_BSTR).bstrVal();
}

bool Matches(const std::wstring& restriction, const std::wstring& value)
{
    return restriction.empty() || Catalog::Fold(restriction) == Catalog::Fold(value);
}

const wchar_t* ConstraintType(int type)
{
    switch (type) {
        case kPrimaryKey:
            return L"PRIMARY KEY";
        case kForeignKey:
            return L"FOREIGN KEY";
        case kUniqueKey:
            return L"UNIQUE";
        default:
            return L"CHECK";
    }
}

EmittedSelect Columns(const Catalog& catalog, const std::vector<Variant>& restrictions)
{
    using B = RowsetBuilder;
    B b;
    for (const wchar_t* name :
         {L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME", L"COLUMN_NAME", L"COLUMN_GUID"})
        b.Column(name, B::Text);
    b.Column(L"COLUMN_PROPID", B::Int);
    b.Column(L"ORDINAL_POSITION", B::Int);
    b.Column(L"COLUMN_HASDEFAULT", B::Bool);
    b.Column(L"COLUMN_DEFAULT", B::Text);
    b.Column(L"COLUMN_FLAGS", B::Int);
    b.Column(L"IS_NULLABLE", B::Bool);
    b.Column(L"DATA_TYPE", B::Short);
    b.Column(L"TYPE_GUID", B::Text);
    b.Column(L"CHARACTER_MAXIMUM_LENGTH", B::Int);
    b.Column(L"CHARACTER_OCTET_LENGTH", B::Int);
    b.Column(L"NUMERIC_PRECISION", B::Short);
    b.Column(L"NUMERIC_SCALE", B::Short);
    b.Column(L"DATETIME_PRECISION", B::Int);
    b.Column(L"DESCRIPTION", B::Text);
    std::wstring table = Restriction(restrictions, 2), column = Restriction(restrictions, 3);
    for (const TableInfo* t : catalog.Tables()) {
        if (!Matches(table, t->name))
            continue;
        for (size_t i = 0; i < t->columns.size(); ++i) {
            const ColumnInfo& c = t->columns[i];
            if (!Matches(column, c.name))
                continue;
            bool text = c.type.type == AccessType::Text || c.type.type == AccessType::Memo;
            bool binary =
                c.type.type == AccessType::Binary || c.type.type == AccessType::LongBinary;
            bool fixed = !text && !binary;
            // DBCOLUMNFLAGS: WRITE 0x4, FIXEDLENGTH 0x10, ISNULLABLE 0x20, MAYBENULL 0x40,
            // ISLONG 0x80.
            int64_t flags =
                0x4 | (fixed ? 0x10 : 0) | (c.notNull ? 0 : 0x20 | 0x40) |
                (c.type.type == AccessType::Memo || c.type.type == AccessType::LongBinary ? 0x80
                                                                                          : 0);
            bool numeric = c.type.type == AccessType::Decimal;
            b.Row({B::Null(), B::Null(), B::Str(t->name), B::Str(c.name), B::Null(), B::Null(),
                   B::Num(static_cast<int64_t>(i + 1)), B::Num(c.defaultText.empty() ? 0 : -1),
                   c.defaultText.empty() ? B::Null() : B::Str(c.defaultText), B::Num(flags),
                   B::Num(c.notNull ? 0 : -1), B::Num(AdoTypeOf(c.type.type)), B::Null(),
                   text || binary ? B::Num(c.type.size) : B::Null(),
                   text     ? B::Num(static_cast<int64_t>(c.type.size) * 2)
                   : binary ? B::Num(c.type.size)
                            : B::Null(),
                   numeric ? B::Num(c.type.precision) : B::Null(),
                   numeric ? B::Num(c.type.scale) : B::Null(), B::Null(),
                   c.description.empty() ? B::Null() : B::Str(c.description)});
        }
    }
    return b.Build();
}

EmittedSelect CheckConstraints(const Catalog& catalog, const std::vector<Variant>& restrictions)
{
    using B = RowsetBuilder;
    B b;
    for (const wchar_t* name : {L"CONSTRAINT_CATALOG", L"CONSTRAINT_SCHEMA", L"CONSTRAINT_NAME",
                                L"CHECK_CLAUSE", L"DESCRIPTION"})
        b.Column(name, B::Text);
    std::wstring name = Restriction(restrictions, 2);
    for (const TableInfo* t : catalog.Tables())
        for (const KeyInfo& k : t->keys)
            if (k.type == kCheckKey && Matches(name, k.name))
                b.Row({B::Null(), B::Null(), B::Str(k.name), B::Str(k.checkClause), B::Null()});
    return b.Build();
}

EmittedSelect TableConstraints(const Catalog& catalog, const std::vector<Variant>& restrictions)
{
    using B = RowsetBuilder;
    B b;
    for (const wchar_t* name :
         {L"CONSTRAINT_CATALOG", L"CONSTRAINT_SCHEMA", L"CONSTRAINT_NAME", L"TABLE_CATALOG",
          L"TABLE_SCHEMA", L"TABLE_NAME", L"CONSTRAINT_TYPE"})
        b.Column(name, B::Text);
    b.Column(L"IS_DEFERRABLE", B::Bool);
    b.Column(L"INITIALLY_DEFERRED", B::Bool);
    b.Column(L"DESCRIPTION", B::Text);
    std::wstring name = Restriction(restrictions, 2), table = Restriction(restrictions, 5),
                 type = Restriction(restrictions, 6);
    for (const TableInfo* t : catalog.Tables()) {
        if (!Matches(table, t->name))
            continue;
        for (const KeyInfo& k : t->keys)
            if (Matches(name, k.name) && Matches(type, ConstraintType(k.type)))
                b.Row({B::Null(), B::Null(), B::Str(k.name), B::Null(), B::Null(), B::Str(t->name),
                       B::Str(ConstraintType(k.type)), B::Num(0), B::Num(0), B::Null()});
    }
    return b.Build();
}

}  // namespace

EmittedSelect SchemaRowsetQuery(const Catalog& catalog, long schema,
                                const std::vector<Variant>& restrictions)
{
    switch (schema) {
        case adSchemaColumns:
            return Columns(catalog, restrictions);
        case adSchemaCheckConstraints:
            return CheckConstraints(catalog, restrictions);
        case adSchemaTableConstraints:
            return TableConstraints(catalog, restrictions);
        default:
            throw automation::ComError(
                adodb::adErrInvalidArgument,
                L"The schema rowset " + std::to_wstring(schema) +
                    L" is not supported by this provider (it has 4, 5 and 10).");
    }
}

}  // namespace provider
