// CREATE/DROP TABLE and CREATE/DROP INDEX on the native store.
#include "platform/provider/schema_editor.h"

#include <sqlite3.h>

#include <algorithm>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/constraint_triggers.h"
#include "platform/provider/sql/parser.h"
#include "platform/provider/sql/printer.h"
#include "platform/provider/sqlite_util.h"

namespace provider {

namespace {

[[noreturn]] void Fail(const std::wstring& text)
{
    throw automation::ComError(automation::E_FAIL, text);
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return Catalog::Fold(a) == Catalog::Fold(b);
}

// The column of `columns` a table made with `indexes` keeps as its rowid, or -1: the field of a
// primary key of one ascending Long (a counter too). SQLite then finds rows by the key itself, so
// a row written costs one B-tree instead of two.
int RowidKeyOf(const std::vector<ColumnInfo>& columns, const std::vector<IndexInfo>& indexes)
{
    for (const IndexInfo& index : indexes) {
        if (!index.primary || index.columns.size() != 1 || index.columns[0].descending)
            continue;
        for (size_t i = 0; i < columns.size(); ++i)
            if (SameName(columns[i].name, index.columns[0].name))
                return columns[i].type.type == AccessType::Long && !columns[i].autoGenerate
                           ? static_cast<int>(i)
                           : -1;
    }
    return -1;
}

// A column of a CREATE TABLE: the rowid key is SQLite's INTEGER PRIMARY KEY, the others carry no
// type (values are stored as the catalog's types convert them).
std::string ColumnSql(const ColumnInfo& column, bool rowidKey)
{
    return QuoteName(column.name) + (rowidKey ? " INTEGER PRIMARY KEY" : "") +
           (column.notNull ? " NOT NULL" : "");
}

std::string NullTriggerName(const std::wstring& table, const std::wstring& index, const char* op)
{
    return QuoteName(SqliteIndexName(table, index) + L"." +
                     std::wstring(op, op + std::char_traits<char>::length(op)));
}

// Removes the catalog rows of a table's checks (all of them when `name` is empty).
void DeleteChecks(sqlite3* db, const std::wstring& table, const std::wstring& name)
{
    Statement has(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'crv.checks'");
    if (!has.Step())
        return;
    Statement del(db, name.empty()
                          ? "DELETE FROM \"crv.checks\" WHERE table_name = ?1"
                          : "DELETE FROM \"crv.checks\" WHERE table_name = ?1 AND name = ?2");
    del.Bind(1, std::wstring_view(table));
    if (!name.empty())
        del.Bind(2, std::wstring_view(name));
    del.Step();
}

int RuleOf(sql::RefAction action)
{
    switch (action) {
        case sql::RefAction::Cascade:
            return kRuleCascade;
        case sql::RefAction::SetNull:
            return kRuleSetNull;
        default:
            return kRuleNone;
    }
}

bool SameColumns(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameName(a[i], b[i]))
            return false;
    return true;
}

bool UsesColumn(const sql::Expr& e, const std::wstring& column)
{
    if (e.kind == sql::ExprKind::Column && SameName(e.name, column))
        return true;
    for (const sql::ExprPtr& a : e.args)
        if (a && UsesColumn(*a, column))
            return true;
    return false;
}

// Whether a CHECK clause names `column`. Subqueries may name it from the
// inside, so for them any mention of the name counts.
bool MayUseColumn(const std::wstring& clause, const std::wstring& column)
{
    bool subquery = Catalog::Fold(clause).find(L"select") != std::wstring::npos;
    if (subquery)
        return Catalog::Fold(clause).find(Catalog::Fold(column)) != std::wstring::npos;
    return UsesColumn(*sql::ParseExpression(clause), column);
}

std::wstring ParameterText(const std::vector<sql::ParameterDecl>& params)
{
    std::wstring text;
    for (const sql::ParameterDecl& p : params)
        text += (text.empty() ? L"" : L", ") + sql::QuoteName(p.name) + L" " +
                sql::PrintDataType(p.type);
    return text;
}

}  // namespace

ColumnType ColumnTypeFrom(const sql::DataType& d, const std::wstring& column)
{
    ColumnType t;
    switch (d.type) {
        case sql::AccessType::Text:
            t.type = AccessType::Text;
            t.size = d.size.value_or(255);
            if (t.size < 1 || t.size > 255)
                Fail(L"Size of field '" + column +
                     L"' is too long: TEXT holds 1 to 255 characters.");
            return t;
        case sql::AccessType::Memo:
            t.type = AccessType::Memo;
            break;
        case sql::AccessType::Byte:
            t.type = AccessType::Byte;
            break;
        case sql::AccessType::Short:
            t.type = AccessType::Short;
            break;
        case sql::AccessType::Long:
            t.type = AccessType::Long;
            break;
        case sql::AccessType::Single:
            t.type = AccessType::Single;
            break;
        case sql::AccessType::Double:
            t.type = AccessType::Double;
            break;
        case sql::AccessType::Currency:
            t.type = AccessType::Currency;
            break;
        case sql::AccessType::DateTime:
            t.type = AccessType::DateTime;
            break;
        case sql::AccessType::YesNo:
            t.type = AccessType::YesNo;
            break;
        case sql::AccessType::Counter:
            t.type = AccessType::Long;
            t.autoIncrement = true;
            break;
        case sql::AccessType::Decimal: {
            t.type = AccessType::Decimal;
            int p = d.precision.value_or(18), s = d.scale.value_or(0);
            if (p < 1 || p > 28 || s < 0 || s > p)
                Fail(L"Invalid precision or scale for the DECIMAL field '" + column +
                     L"': precision is 1 to 28 and scale 0 to the precision.");
            t.precision = static_cast<uint8_t>(p);
            t.scale = static_cast<uint8_t>(s);
            break;
        }
        case sql::AccessType::Guid:
            t.type = AccessType::Guid;
            break;
        case sql::AccessType::Binary:
            t.type = AccessType::Binary;
            t.size = d.size.value_or(510);
            if (t.size < 1 || t.size > 510)
                Fail(L"Size of field '" + column + L"' is too long: BINARY holds 1 to 510 bytes.");
            return t;
        case sql::AccessType::LongBinary:
            t.type = AccessType::LongBinary;
            break;
    }
    t.size = DefinedSizeOf(t);
    return t;
}

static sql::Constraint CopyConstraint(const sql::Constraint& k)
{
    sql::Constraint c;
    c.kind = k.kind;
    c.name = k.name;
    c.columns = k.columns;
    c.refTable = k.refTable;
    c.refColumns = k.refColumns;
    c.onUpdate = k.onUpdate;
    c.onDelete = k.onDelete;
    c.noIndex = k.noIndex;
    c.checkText = k.checkText;
    c.pos = k.pos;
    return c;
}

void SchemaEditor::BumpCatalogVersion()
{
    ExecSql(db_,
            "INSERT INTO \"crv.properties\"(name, value) VALUES ('catalog_version', 1) "
            "ON CONFLICT(name) DO UPDATE SET value = value + 1");
}

int SchemaEditor::CreateTable(const sql::CreateTable& create)
{
    if (catalog_.FindTable(create.name) || catalog_.FindLink(create.name) ||
        catalog_.FindQuery(create.name))
        Fail(L"Table '" + create.name + L"' already exists.");
    if (create.name.empty() || create.name.find_first_of(L".!`[]") != std::wstring::npos)
        Fail(L"'" + create.name + L"' is not a valid table name.");
    if (create.columns.empty())
        Fail(L"A table needs at least one field.");
    TableInfo table;
    table.name = create.name;
    std::vector<IndexInfo> indexes;
    std::vector<int> keyTypes;
    std::vector<const sql::Constraint*> deferred;  // foreign keys and checks
    auto addConstraint = [&](const sql::Constraint& c, const std::vector<std::wstring>& cols) {
        IndexInfo index;
        switch (c.kind) {
            case sql::ConstraintKind::NotNull:
                return;
            case sql::ConstraintKind::PrimaryKey:
                for (size_t i = 0; i < indexes.size(); ++i)
                    if (indexes[i].primary)
                        Fail(L"Primary key already exists in table '" + create.name + L"'.");
                index.primary = index.unique = index.disallowNull = true;
                index.name = c.name.empty() ? L"PrimaryKey" : c.name;
                keyTypes.push_back(1);
                break;
            case sql::ConstraintKind::Unique:
                index.unique = true;
                index.name = c.name;
                if (index.name.empty()) {
                    index.name = L"Index";
                    for (const std::wstring& col : cols)
                        index.name += L"_" + col;
                }
                keyTypes.push_back(3);
                break;
            default:
                deferred.push_back(&c);
                return;
        }
        for (const std::wstring& col : cols) {
            bool known = false;
            for (const ColumnInfo& ci : table.columns)
                known = known || SameName(ci.name, col);
            if (!known)
                Fail(L"The constraint of table '" + create.name + L"' names the unknown field '" +
                     col + L"'.");
            index.columns.push_back({col, false});
        }
        for (const IndexInfo& other : indexes)
            if (SameName(other.name, index.name))
                Fail(L"Index '" + index.name + L"' already exists in table '" + create.name +
                     L"'.");
        indexes.push_back(index);
    };
    for (const sql::ColumnDef& def : create.columns) {
        for (const ColumnInfo& other : table.columns)
            if (SameName(other.name, def.name))
                Fail(L"Field '" + def.name + L"' is defined more than once in table '" +
                     create.name + L"'.");
        if (def.name.empty() || def.name.find_first_of(L".!`[]") != std::wstring::npos)
            Fail(L"'" + def.name + L"' is not a valid field name.");
        ColumnInfo c;
        c.name = def.name;
        c.type = ColumnTypeFrom(def.type, def.name);
        c.notNull = def.notNull;
        c.compressed = def.compressed;
        c.defaultText = def.defaultValue ? def.defaultText : std::wstring();
        if (c.type.autoIncrement) {
            c.seed = def.type.seed.value_or(1);
            c.increment = def.type.increment.value_or(1);
            if (c.increment == 0)
                Fail(L"The increment of the counter field '" + def.name + L"' cannot be 0.");
        }
        for (const sql::Constraint& k : def.constraints)
            c.notNull = c.notNull || k.kind == sql::ConstraintKind::NotNull;
        table.columns.push_back(c);
    }
    if (std::count_if(table.columns.begin(), table.columns.end(),
                      [](const ColumnInfo& c) { return c.type.autoIncrement; }) > 1)
        Fail(L"Table '" + create.name + L"' can have only one counter field.");
    for (const sql::ColumnDef& def : create.columns)
        for (const sql::Constraint& k : def.constraints)
            addConstraint(k, {def.name});
    for (const sql::Constraint& k : create.constraints)
        addConstraint(k, k.columns);

    table.rowidKey = RowidKeyOf(table.columns, indexes);
    std::string sql = "CREATE TABLE " + QuoteName(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i)
        sql += (i ? ", " : "") + ColumnSql(table.columns[i], table.rowidKey == int(i));
    ExecSql(db_, sql + ")");

    Statement ordinal(db_, "SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.tables\"");
    ordinal.Step();
    Statement addTable(db_, "INSERT INTO \"crv.tables\"(name, ordinal) VALUES (?1, ?2)");
    addTable.Bind(1, std::wstring_view(table.name)).Bind(2, ordinal.Int64(0)).Step();
    Statement addColumn(db_,
                        "INSERT INTO \"crv.columns\"(table_name, ordinal, name, type, size, "
                        "precision, scale, not_null, auto_increment, seed, increment, "
                        "next_counter, default_text, compressed) VALUES (?1, ?2, ?3, ?4, ?5, "
                        "?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)");
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnInfo& c = table.columns[i];
        addColumn.Reset();
        addColumn.Bind(1, std::wstring_view(table.name))
            .Bind(2, static_cast<int64_t>(i + 1))
            .Bind(3, std::wstring_view(c.name))
            .Bind(4, TypeCode(c.type.type))
            .Bind(5, c.type.size)
            .Bind(6, c.type.precision)
            .Bind(7, c.type.scale)
            .Bind(8, c.notNull ? 1 : 0)
            .Bind(9, c.type.autoIncrement ? 1 : 0)
            .Bind(10, c.seed)
            .Bind(11, c.increment)
            .Bind(14, c.compressed ? 1 : 0);
        if (c.type.autoIncrement)
            addColumn.Bind(12, c.seed);
        if (!c.defaultText.empty())
            addColumn.Bind(13, std::wstring_view(c.defaultText));
        addColumn.Step();
    }
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (indexes[i].primary && table.rowidKey >= 0)
            AddIndexRows(table, indexes[i]);
        else
            AddIndex(table, indexes[i], L"CREATE TABLE");
        AddKey(table.name, indexes[i], keyTypes[i]);
    }
    if (!deferred.empty()) {
        Fresh();
        // Foreign keys and checks are made over the table as it now stands
        // (a foreign key may name the table itself).
        for (const sql::ColumnDef& def : create.columns)
            for (const sql::Constraint& k : def.constraints)
                if (k.kind == sql::ConstraintKind::ForeignKey && k.columns.empty()) {
                    sql::Constraint withColumn = CopyConstraint(k);
                    withColumn.columns = {def.name};
                    AddConstraintTo(RequireTable(table.name), withColumn);
                }
        for (const sql::Constraint* k : deferred)
            if (k->kind != sql::ConstraintKind::ForeignKey || !k->columns.empty())
                AddConstraintTo(RequireTable(table.name), *k);
    }
    BumpCatalogVersion();
    return table.rowidKey;
}

void SchemaEditor::AddIndex(const TableInfo& table, const IndexInfo& index, const wchar_t*)
{
    StoreIndex(table, index);
    AddIndexRows(table, index);
}

void SchemaEditor::StoreIndex(const TableInfo& table, const IndexInfo& index)
{
    std::string cols;
    for (const IndexColumnInfo& c : index.columns) {
        int i = table.FindColumn(c.name);
        if (i < 0)
            Fail(L"The index '" + index.name + L"' names the unknown field '" + c.name +
                 L"' of table '" + table.name + L"'.");
        cols += (cols.empty() ? "" : ", ") + QuoteName(table.columns[i].name) +
                (c.descending ? " DESC" : "");
    }
    ExecSql(db_, std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                     QuoteName(SqliteIndexName(table.name, index.name)) + " ON " +
                     QuoteName(table.name) + " (" + cols + ")");
    if (index.disallowNull) {
        std::string when, of;
        for (const IndexColumnInfo& c : index.columns) {
            when +=
                (when.empty() ? "" : " OR ") + std::string("NEW.") + QuoteName(c.name) + " IS NULL";
            of += (of.empty() ? "" : ", ") + QuoteName(c.name);
        }
        std::string exists = "SELECT 1 FROM " + QuoteName(table.name) + " AS NEW WHERE " + when;
        Statement probe(db_, exists + " LIMIT 1");
        if (probe.Step())
            Fail(L"Index or primary key cannot contain a Null value: table '" + table.name +
                 L"' has rows with Null in the fields of index '" + index.name + L"'.");
        std::string raise = " BEGIN SELECT RAISE(ABORT, " +
                            QuoteText(NullKeyText(table.name, index.name)) + "); END";
        ExecSql(db_, "CREATE TRIGGER " + NullTriggerName(table.name, index.name, "insert") +
                         " BEFORE INSERT ON " + QuoteName(table.name) + " WHEN " + when + raise);
        ExecSql(db_, "CREATE TRIGGER " + NullTriggerName(table.name, index.name, "update") +
                         " BEFORE UPDATE OF " + of + " ON " + QuoteName(table.name) + " WHEN " +
                         when + raise);
    }
}

void SchemaEditor::AddIndexRows(const TableInfo& table, const IndexInfo& index)
{
    Statement ordinal(db_,
                      "SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.indexes\" "
                      "WHERE table_name = ?1");
    ordinal.Bind(1, std::wstring_view(table.name)).Step();
    Statement add(db_,
                  "INSERT INTO \"crv.indexes\"(table_name, name, primary_key, is_unique, "
                  "ignore_nulls, disallow_null, ordinal) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    add.Bind(1, std::wstring_view(table.name))
        .Bind(2, std::wstring_view(index.name))
        .Bind(3, index.primary ? 1 : 0)
        .Bind(4, index.unique ? 1 : 0)
        .Bind(5, index.ignoreNulls ? 1 : 0)
        .Bind(6, index.disallowNull ? 1 : 0)
        .Bind(7, ordinal.Int64(0))
        .Step();
    Statement member(db_,
                     "INSERT INTO \"crv.index_columns\"(table_name, index_name, ordinal, "
                     "column_name, descending) VALUES (?1, ?2, ?3, ?4, ?5)");
    for (size_t i = 0; i < index.columns.size(); ++i) {
        int col = table.FindColumn(index.columns[i].name);
        member.Reset();
        member.Bind(1, std::wstring_view(table.name))
            .Bind(2, std::wstring_view(index.name))
            .Bind(3, static_cast<int64_t>(i + 1))
            .Bind(4, std::wstring_view(table.columns[col].name))
            .Bind(5, index.columns[i].descending ? 1 : 0)
            .Step();
    }
}

void SchemaEditor::AddKey(const std::wstring& table, const IndexInfo& index, int type)
{
    Statement ordinal(db_,
                      "SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.keys\" "
                      "WHERE table_name = ?1");
    ordinal.Bind(1, std::wstring_view(table)).Step();
    Statement add(db_,
                  "INSERT INTO \"crv.keys\"(table_name, name, type, ordinal) "
                  "VALUES (?1, ?2, ?3, ?4)");
    add.Bind(1, std::wstring_view(table))
        .Bind(2, std::wstring_view(index.name))
        .Bind(3, type)
        .Bind(4, ordinal.Int64(0))
        .Step();
    Statement member(db_,
                     "INSERT INTO \"crv.key_columns\"(table_name, key_name, ordinal, "
                     "column_name) VALUES (?1, ?2, ?3, ?4)");
    for (size_t i = 0; i < index.columns.size(); ++i) {
        member.Reset();
        member.Bind(1, std::wstring_view(table))
            .Bind(2, std::wstring_view(index.name))
            .Bind(3, static_cast<int64_t>(i + 1))
            .Bind(4, std::wstring_view(index.columns[i].name))
            .Step();
    }
}

void SchemaEditor::DropTable(const sql::DropTable& drop)
{
    const TableInfo* t = catalog_.FindTable(drop.name);
    if (!t) {
        if (const TableInfo* link = catalog_.FindLink(drop.name)) {
            Statement del(db_, "DELETE FROM \"crv.tables\" WHERE name = ?1");
            del.Bind(1, std::wstring_view(link->name)).Step();
            BumpCatalogVersion();
            return;
        }
        Fail(L"Table '" + drop.name + L"' does not exist.");
    }
    for (const auto& [child, key] : catalog_.ReferencesTo(t->name))
        if (!SameName(child->name, t->name))
            Fail(L"Cannot delete table '" + t->name +
                 L"'; it participates in one or more relationships (table '" + child->name +
                 L"', relation '" + key->name + L"').");
    ConstraintTriggers triggers(db_, catalog_);
    for (const KeyInfo& k : t->keys)
        if (k.type == kForeignKey)
            triggers.DropForeignKey(t->name, k.name);
    ExecSql(db_, "DROP TABLE " + QuoteName(t->name));
    DeleteChecks(db_, t->name, L"");
    for (const char* table : {"crv.tables", "crv.columns", "crv.indexes", "crv.index_columns",
                              "crv.keys", "crv.key_columns"}) {
        const char* column = std::string_view(table) == "crv.tables" ? "name" : "table_name";
        Statement del(db_, std::string("DELETE FROM \"") + table + "\" WHERE " + column + " = ?1");
        del.Bind(1, std::wstring_view(t->name)).Step();
    }
    BumpCatalogVersion();
}

void SchemaEditor::CreateIndex(const sql::CreateIndex& create)
{
    const TableInfo* t = catalog_.FindTable(create.table);
    if (!t)
        Fail(L"The database engine cannot find the table '" + create.table + L"'.");
    if (t->FindIndex(create.name))
        Fail(L"Index '" + create.name + L"' already exists in table '" + t->name + L"'.");
    IndexInfo index;
    index.name = create.name;
    index.unique = create.unique;
    switch (create.option) {
        case sql::IndexOption::Primary:
            for (const IndexInfo& other : t->indexes)
                if (other.primary)
                    Fail(L"Primary key already exists in table '" + t->name + L"'.");
            index.primary = index.unique = index.disallowNull = true;
            break;
        case sql::IndexOption::DisallowNull:
            index.disallowNull = true;
            break;
        case sql::IndexOption::IgnoreNull:
            index.ignoreNulls = true;
            break;
        case sql::IndexOption::None:
            break;
    }
    for (const sql::IndexColumn& c : create.columns)
        index.columns.push_back({c.name, c.descending});
    AddIndex(*t, index, L"CREATE INDEX");
    if (index.primary)
        AddKey(t->name, index, 1);
    BumpCatalogVersion();
}

void SchemaEditor::RemoveIndex(const TableInfo& from, const IndexInfo& removed)
{
    const std::wstring table = from.name, index = removed.name;
    if (removed.primary && from.rowidKey >= 0) {
        // The rows keep their rowids (the key's values); the field becomes an ordinary one.
        std::vector<std::string> sources;
        for (const ColumnInfo& c : from.columns)
            sources.push_back(QuoteName(c.name));
        Rebuild(from, from.columns, sources, true);
    }
    ExecSql(db_, "DROP INDEX IF EXISTS " + QuoteName(SqliteIndexName(table, index)));
    ExecSql(db_, "DROP TRIGGER IF EXISTS " + NullTriggerName(table, index, "insert"));
    ExecSql(db_, "DROP TRIGGER IF EXISTS " + NullTriggerName(table, index, "update"));
    for (const char* sql :
         {"DELETE FROM \"crv.indexes\" WHERE table_name = ?1 AND name = ?2",
          "DELETE FROM \"crv.index_columns\" WHERE table_name = ?1 AND index_name = ?2",
          "DELETE FROM \"crv.keys\" WHERE table_name = ?1 AND name = ?2",
          "DELETE FROM \"crv.key_columns\" WHERE table_name = ?1 AND key_name = ?2"}) {
        Statement del(db_, sql);
        del.Bind(1, std::wstring_view(table)).Bind(2, std::wstring_view(index)).Step();
    }
}

void SchemaEditor::DropIndex(const sql::DropIndex& drop)
{
    const TableInfo* t = catalog_.FindTable(drop.table);
    if (!t)
        Fail(L"The database engine cannot find the table '" + drop.table + L"'.");
    const IndexInfo* index = t->FindIndex(drop.name);
    if (!index)
        Fail(L"Index '" + drop.name + L"' does not exist in table '" + t->name + L"'.");
    RemoveIndex(*t, *index);
    BumpCatalogVersion();
}

}  // namespace provider

namespace provider {

const Catalog& SchemaEditor::Fresh()
{
    // Earlier reads stay alive: callers may still hold tables of them.
    fresh_.push_back(std::make_unique<Catalog>());
    fresh_.back()->Load(db_);
    return *fresh_.back();
}

const Catalog& SchemaEditor::Current() const
{
    return fresh_.empty() ? catalog_ : *fresh_.back();
}

const TableInfo& SchemaEditor::RequireTable(const std::wstring& name) const
{
    const TableInfo* t = Current().FindTable(name);
    if (!t)
        Fail(L"The database engine cannot find the table '" + name + L"'.");
    return *t;
}

const ColumnInfo& SchemaEditor::RequireColumn(const TableInfo& table,
                                              const std::wstring& column) const
{
    int i = table.FindColumn(column);
    if (i < 0)
        Fail(L"Field '" + column + L"' does not exist in table '" + table.name + L"'.");
    return table.columns[i];
}

void SchemaEditor::CheckName(const std::wstring& name, const wchar_t* what) const
{
    if (name.empty() || name.find_first_of(L".!`[]") != std::wstring::npos)
        Fail(L"'" + name + L"' is not a valid " + what + L" name.");
}

void SchemaEditor::AddColumnRow(const std::wstring& table, const ColumnInfo& c, int64_t ordinal)
{
    Statement add(db_,
                  "INSERT INTO \"crv.columns\"(table_name, ordinal, name, type, size, "
                  "precision, scale, not_null, auto_increment, seed, increment, "
                  "next_counter, default_text, compressed, allow_zero_length, validation_rule, "
                  "validation_text, description) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
                  "?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)");
    add.Bind(1, std::wstring_view(table))
        .Bind(2, ordinal)
        .Bind(3, std::wstring_view(c.name))
        .Bind(4, TypeCode(c.type.type))
        .Bind(5, c.type.size)
        .Bind(6, c.type.precision)
        .Bind(7, c.type.scale)
        .Bind(8, c.notNull ? 1 : 0)
        .Bind(9, c.type.autoIncrement ? 1 : 0)
        .Bind(10, c.seed)
        .Bind(11, c.increment)
        .Bind(14, c.compressed ? 1 : 0)
        .Bind(15, c.allowZeroLength ? 1 : 0);
    if (c.type.autoIncrement)
        add.Bind(12, c.seed);
    for (auto [index, text] : {std::pair{13, &c.defaultText}, std::pair{16, &c.validationRule},
                               std::pair{17, &c.validationText}, std::pair{18, &c.description}})
        if (!text->empty())
            add.Bind(index, std::wstring_view(*text));
    add.Step();
}

void SchemaEditor::AddKeyRows(const std::wstring& table, const KeyInfo& key)
{
    Statement ordinal(db_,
                      "SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.keys\" WHERE table_name = ?1");
    ordinal.Bind(1, std::wstring_view(table)).Step();
    Statement add(db_,
                  "INSERT INTO \"crv.keys\"(table_name, name, type, related_table, update_rule, "
                  "delete_rule, not_enforced, ordinal) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    add.Bind(1, std::wstring_view(table))
        .Bind(2, std::wstring_view(key.name))
        .Bind(3, key.type)
        .Bind(5, key.updateRule)
        .Bind(6, key.deleteRule)
        .Bind(7, key.notEnforced ? 1 : 0)
        .Bind(8, ordinal.Int64(0));
    if (!key.relatedTable.empty())
        add.Bind(4, std::wstring_view(key.relatedTable));
    add.Step();
    Statement member(db_,
                     "INSERT INTO \"crv.key_columns\"(table_name, key_name, ordinal, "
                     "column_name, related_column) VALUES (?1, ?2, ?3, ?4, ?5)");
    for (size_t i = 0; i < key.columns.size(); ++i) {
        member.Reset();
        member.Bind(1, std::wstring_view(table))
            .Bind(2, std::wstring_view(key.name))
            .Bind(3, static_cast<int64_t>(i + 1))
            .Bind(4, std::wstring_view(key.columns[i].name));
        if (!key.columns[i].related.empty())
            member.Bind(5, std::wstring_view(key.columns[i].related));
        else
            member.BindNull(5);
        member.Step();
    }
    if (key.type == kCheckKey) {
        ExecSql(db_,
                "CREATE TABLE IF NOT EXISTS \"crv.checks\"(table_name TEXT NOT NULL COLLATE "
                "NOCASE, name TEXT NOT NULL COLLATE NOCASE, clause TEXT NOT NULL, "
                "PRIMARY KEY(table_name, name))");
        Statement check(db_,
                        "INSERT INTO \"crv.checks\"(table_name, name, clause) VALUES (?1, ?2, ?3)");
        check.Bind(1, std::wstring_view(table))
            .Bind(2, std::wstring_view(key.name))
            .Bind(3, std::wstring_view(key.checkClause))
            .Step();
    }
}

void SchemaEditor::AddRelation(const std::wstring& tableName, const KeyInfo& given)
{
    const TableInfo& table = RequireTable(tableName);
    KeyInfo key = given;
    key.type = kForeignKey;
    CheckName(key.name, L"relation");
    if (table.FindKey(key.name) || table.FindIndex(key.name))
        Fail(L"Relation '" + key.name + L"' already exists in table '" + table.name + L"'.");
    // Relation names are the database's, not the table's.
    for (const TableInfo* other : Current().Tables())
        if (const KeyInfo* same = other->FindKey(key.name); same && same->type == kForeignKey)
            Fail(L"Relationship '" + key.name + L"' already exists (table '" + other->name +
                 L"').");
    const TableInfo* parent =
        SameName(key.relatedTable, table.name) ? &table : Current().FindTable(key.relatedTable);
    if (!parent)
        Fail(L"The database engine cannot find the referenced table '" + key.relatedTable + L"'.");
    key.relatedTable = parent->name;
    if (key.columns.empty())
        Fail(L"The relation '" + key.name + L"' names no fields.");
    std::vector<std::wstring> related;
    for (KeyColumnInfo& c : key.columns) {
        c.name = RequireColumn(table, c.name).name;
        if (!c.related.empty())
            c.related = RequireColumn(*parent, c.related).name;
        related.push_back(c.related);
    }
    if (related[0].empty()) {
        // No referenced fields: the primary key of the referenced table.
        const IndexInfo* pk = nullptr;
        for (const IndexInfo& i : parent->indexes)
            if (i.primary)
                pk = &i;
        if (!pk || pk->columns.size() != key.columns.size())
            Fail(L"The table '" + parent->name +
                 L"' has no primary key matching the fields of relation '" + key.name + L"'.");
        for (size_t i = 0; i < key.columns.size(); ++i)
            key.columns[i].related = related[i] = pk->columns[i].name;
    }
    if (!key.notEnforced) {
        bool unique = false;
        for (const IndexInfo& i : parent->indexes) {
            std::vector<std::wstring> cols;
            for (const IndexColumnInfo& c : i.columns)
                cols.push_back(c.name);
            unique = unique || (i.unique && SameColumns(cols, related));
        }
        if (!unique)
            Fail(L"No unique index found for the referenced field of the primary table '" +
                 parent->name + L"'.");
        for (size_t i = 0; i < key.columns.size(); ++i) {
            const ColumnInfo& a = RequireColumn(table, key.columns[i].name);
            const ColumnInfo& b = RequireColumn(*parent, related[i]);
            if (a.type.type != b.type.type)
                Fail(L"Relationship '" + key.name + L"': the fields '" + a.name + L"' and '" +
                     b.name + L"' do not have the same data type.");
        }
    }
    AddKeyRows(table.name, key);
    if (!key.notEnforced)
        ConstraintTriggers(db_, Current()).AddForeignKey(table, *parent, key);
    BumpCatalogVersion();
}

void SchemaEditor::AddConstraintTo(const TableInfo& table, const sql::Constraint& c)
{
    std::wstring name = c.name;
    switch (c.kind) {
        case sql::ConstraintKind::NotNull:
            return;
        case sql::ConstraintKind::PrimaryKey:
        case sql::ConstraintKind::Unique: {
            if (c.kind == sql::ConstraintKind::PrimaryKey) {
                for (const IndexInfo& i : table.indexes)
                    if (i.primary)
                        Fail(L"Primary key already exists in table '" + table.name + L"'.");
                if (name.empty())
                    name = L"PrimaryKey";
            } else if (name.empty()) {
                name = L"Index";
                for (const std::wstring& col : c.columns)
                    name += L"_" + col;
            }
            if (table.FindIndex(name) || table.FindKey(name))
                Fail(L"Index '" + name + L"' already exists in table '" + table.name + L"'.");
            IndexInfo index;
            index.name = name;
            index.unique = true;
            index.primary = index.disallowNull = c.kind == sql::ConstraintKind::PrimaryKey;
            for (const std::wstring& col : c.columns)
                index.columns.push_back({RequireColumn(table, col).name, false});
            AddIndex(table, index, L"ALTER TABLE");
            AddKey(table.name, index, index.primary ? kPrimaryKey : kUniqueKey);
            BumpCatalogVersion();
            return;
        }
        case sql::ConstraintKind::ForeignKey: {
            KeyInfo key;
            key.name = name.empty() ? c.refTable + table.name : name;
            key.relatedTable = c.refTable;
            key.updateRule = RuleOf(c.onUpdate);
            key.deleteRule = RuleOf(c.onDelete);
            if (!c.refColumns.empty() && c.refColumns.size() != c.columns.size())
                Fail(L"The relation '" + key.name +
                     L"' names a different number of fields on each side.");
            for (size_t i = 0; i < c.columns.size(); ++i)
                key.columns.push_back(
                    {c.columns[i], c.refColumns.empty() ? std::wstring() : c.refColumns[i]});
            AddRelation(table.name, key);
            return;
        }
        case sql::ConstraintKind::Check: {
            if (name.empty())
                Fail(L"A CHECK constraint needs a name (table '" + table.name + L"').");
            if (table.FindKey(name) || table.FindIndex(name))
                Fail(L"Constraint '" + name + L"' already exists in table '" + table.name + L"'.");
            KeyInfo key;
            key.name = name;
            key.type = kCheckKey;
            key.checkClause = c.checkText;
            AddKeyRows(table.name, key);
            ConstraintTriggers(db_, Current())
                .AddCondition(*Current().FindTable(table.name), name, c.checkText, L"",
                              CheckViolationText(table, key));
            BumpCatalogVersion();
            return;
        }
    }
}

void SchemaEditor::AddConstraint(const std::wstring& table, const sql::Constraint& constraint)
{
    AddConstraintTo(RequireTable(table), constraint);
}

void SchemaEditor::DropConstraint(const std::wstring& tableName, const std::wstring& name)
{
    const TableInfo& table = RequireTable(tableName);
    const KeyInfo* key = table.FindKey(name);
    if (key && key->type == kForeignKey) {
        ConstraintTriggers(db_, Current()).DropForeignKey(table.name, key->name);
    } else if (key && key->type == kCheckKey) {
        ConstraintTriggers(db_, Current()).DropCondition(table.name, key->name);
        DeleteChecks(db_, table.name, key->name);
    } else if (const IndexInfo* index = table.FindIndex(name)) {
        std::vector<std::wstring> cols;
        for (const IndexColumnInfo& c : index->columns)
            cols.push_back(c.name);
        for (const auto& [child, fk] : Fresh().ReferencesTo(table.name)) {
            std::vector<std::wstring> related;
            for (const KeyColumnInfo& c : fk->columns)
                related.push_back(c.related);
            if (!fk->notEnforced && SameColumns(cols, related))
                Fail(L"Cannot delete the index or constraint '" + index->name +
                     L"'; it is part of relationship '" + fk->name + L"' of table '" + child->name +
                     L"'.");
        }
        RemoveIndex(table, *index);
        BumpCatalogVersion();
        return;
    } else {
        Fail(L"Constraint '" + name + L"' does not exist in table '" + table.name + L"'.");
    }
    Statement del(db_, "DELETE FROM \"crv.keys\" WHERE table_name = ?1 AND name = ?2");
    del.Bind(1, std::wstring_view(table.name)).Bind(2, std::wstring_view(key->name)).Step();
    Statement members(db_,
                      "DELETE FROM \"crv.key_columns\" WHERE table_name = ?1 AND key_name = ?2");
    members.Bind(1, std::wstring_view(table.name)).Bind(2, std::wstring_view(key->name)).Step();
    BumpCatalogVersion();
}

void SchemaEditor::Rebuild(const TableInfo& table, const std::vector<ColumnInfo>& columns,
                           const std::vector<std::string>& sources, bool dropRowidKey)
{
    int rowidKey = -1;
    if (table.rowidKey >= 0 && !dropRowidKey)
        for (size_t i = 0; i < columns.size(); ++i)
            if (SameName(columns[i].name, table.columns[table.rowidKey].name) &&
                columns[i].type.type == AccessType::Long)
                rowidKey = static_cast<int>(i);
    // SQLite cannot change a column in place: the table is made anew under a
    // temporary name, filled with the old rows (rowids kept, so counters and
    // positions stay), and takes the old name; its indexes and triggers are
    // made again from their own SQL. The caller's savepoint makes it atomic.
    std::vector<std::string> dependents;
    {
        Statement own(db_,
                      "SELECT sql FROM sqlite_master WHERE tbl_name = ?1 AND sql IS NOT NULL "
                      "AND type IN ('index', 'trigger') ORDER BY type, rowid");
        own.Bind(1, std::wstring_view(table.name));
        while (own.Step())
            dependents.push_back(automation::ToUtf8(own.Text(0)));
    }
    std::string temp = QuoteName(L"crv.rebuild." + table.name);
    std::string create = "CREATE TABLE " + temp + " (", names, values;
    for (size_t i = 0; i < columns.size(); ++i) {
        create += (i ? ", " : "") + ColumnSql(columns[i], rowidKey == int(i));
        names += ", " + QuoteName(columns[i].name);
        values += ", " + sources[i];
    }
    ExecSql(db_, create + ")");
    // The rowid under a name no column takes (SQLite has three for it).
    std::string rowid = "rowid";
    for (const char* alias : {"oid", "_rowid_", "rowid"})
        if (table.FindColumn(std::wstring(alias, alias + std::char_traits<char>::length(alias))) <
            0)
            rowid = alias;
    ExecSql(db_, "INSERT INTO " + temp + "(" + rowid + names + ") SELECT " + rowid + values +
                     " FROM " + QuoteName(table.name));
    ExecSql(db_, "PRAGMA legacy_alter_table = ON");
    try {
        ExecSql(db_, "DROP TABLE " + QuoteName(table.name));
        ExecSql(db_, "ALTER TABLE " + temp + " RENAME TO " + QuoteName(table.name));
        ExecSql(db_, "PRAGMA legacy_alter_table = OFF");
    } catch (...) {
        sqlite3_exec(db_, "PRAGMA legacy_alter_table = OFF", nullptr, nullptr, nullptr);
        throw;
    }
    for (const std::string& sql : dependents)
        ExecSql(db_, sql);
    if (table.rowidKey >= 0 && rowidKey < 0 && !dropRowidKey) {
        // The primary key stands but its field is no Long any more: it gets an index of its own.
        TableInfo now = table;
        now.columns = columns;
        for (const IndexInfo& index : table.indexes)
            if (index.primary)
                StoreIndex(now, index);
    }
}

void SchemaEditor::AddColumn(const TableInfo& table, const sql::ColumnDef& def)
{
    CheckName(def.name, L"field");
    if (table.FindColumn(def.name) >= 0)
        Fail(L"Field '" + def.name + L"' already exists in table '" + table.name + L"'.");
    ColumnInfo c;
    c.name = def.name;
    c.type = ColumnTypeFrom(def.type, def.name);
    c.notNull = def.notNull;
    for (const sql::Constraint& k : def.constraints)
        c.notNull = c.notNull || k.kind == sql::ConstraintKind::NotNull;
    c.compressed = def.compressed;
    c.defaultText = def.defaultValue ? def.defaultText : std::wstring();
    if (c.type.autoIncrement) {
        if (table.CounterColumn() >= 0)
            Fail(L"Table '" + table.name + L"' can have only one counter field.");
        c.seed = def.type.seed.value_or(1);
        c.increment = def.type.increment.value_or(1);
        if (c.increment == 0)
            Fail(L"The increment of the counter field '" + def.name + L"' cannot be 0.");
    }
    if (c.notNull || c.type.autoIncrement) {
        Statement rows(db_, "SELECT 1 FROM " + QuoteName(table.name) + " LIMIT 1");
        if (rows.Step())
            Fail(L"Field '" + def.name +
                 L"' cannot be added as a required or counter field: "
                 L"table '" +
                 table.name + L"' has rows, which would hold Null in it.");
    }
    std::vector<ColumnInfo> columns = table.columns;
    columns.push_back(c);
    if (c.notNull) {
        std::vector<std::string> sources;
        for (const ColumnInfo& old : table.columns)
            sources.push_back(QuoteName(old.name));
        sources.push_back("NULL");
        Rebuild(table, columns, sources);
    } else {
        ExecSql(db_, "ALTER TABLE " + QuoteName(table.name) + " ADD COLUMN " + QuoteName(c.name));
    }
    std::wstring tableName = table.name;
    AddColumnRow(tableName, c, static_cast<int64_t>(columns.size()));
    BumpCatalogVersion();
    for (const sql::Constraint& k : def.constraints) {
        if (k.kind == sql::ConstraintKind::NotNull)
            continue;
        sql::Constraint withColumn = CopyConstraint(k);
        if (withColumn.columns.empty())
            withColumn.columns = {c.name};
        Fresh();
        AddConstraintTo(RequireTable(tableName), withColumn);
    }
}

void SchemaEditor::DropColumn(const TableInfo& table, const std::wstring& column)
{
    const ColumnInfo& c = RequireColumn(table, column);
    if (table.columns.size() == 1)
        Fail(L"Field '" + c.name + L"' is the only field of table '" + table.name +
             L"' and cannot be deleted.");
    for (const IndexInfo& i : table.indexes)
        for (const IndexColumnInfo& m : i.columns)
            if (SameName(m.name, c.name))
                Fail(L"Cannot delete the field '" + c.name + L"': it is part of the index '" +
                     i.name + L"'. Delete the index first.");
    for (const KeyInfo& k : table.keys)
        for (const KeyColumnInfo& m : k.columns)
            if (SameName(m.name, c.name))
                Fail(L"Cannot delete the field '" + c.name + L"': it is part of the constraint '" +
                     k.name + L"'. Delete the constraint first.");
    for (const auto& [child, fk] : Current().ReferencesTo(table.name))
        for (const KeyColumnInfo& m : fk->columns)
            if (SameName(m.related, c.name))
                Fail(L"Cannot delete the field '" + c.name + L"': it is part of relationship '" +
                     fk->name + L"' of table '" + child->name + L"'.");
    for (const KeyInfo& k : table.keys)
        if (k.type == kCheckKey && MayUseColumn(k.checkClause, c.name))
            Fail(L"Cannot delete the field '" + c.name + L"': the CHECK constraint '" + k.name +
                 L"' uses it. Delete the constraint first.");
    ConstraintTriggers triggers(db_, Current());
    triggers.DropCondition(table.name, c.name);
    triggers.AllowZeroLength(table.name, c.name);
    std::vector<ColumnInfo> columns;
    std::vector<std::string> sources;
    for (const ColumnInfo& old : table.columns)
        if (!SameName(old.name, c.name)) {
            columns.push_back(old);
            sources.push_back(QuoteName(old.name));
        }
    std::wstring name = c.name, tableName = table.name;
    Rebuild(table, columns, sources);
    Statement del(db_, "DELETE FROM \"crv.columns\" WHERE table_name = ?1 AND name = ?2");
    del.Bind(1, std::wstring_view(tableName)).Bind(2, std::wstring_view(name)).Step();
    for (size_t i = 0; i < columns.size(); ++i) {
        Statement renumber(db_,
                           "UPDATE \"crv.columns\" SET ordinal = ?3 WHERE table_name = ?1 AND "
                           "name = ?2");
        renumber.Bind(1, std::wstring_view(tableName))
            .Bind(2, std::wstring_view(columns[i].name))
            .Bind(3, static_cast<int64_t>(i + 1))
            .Step();
    }
    BumpCatalogVersion();
}

void SchemaEditor::AlterColumn(const TableInfo& table, const sql::ColumnDef& def)
{
    const ColumnInfo& old = RequireColumn(table, def.name);
    ColumnInfo c = old;
    c.type = ColumnTypeFrom(def.type, def.name);
    c.notNull = def.notNull;
    for (const sql::Constraint& k : def.constraints)
        c.notNull = c.notNull || k.kind == sql::ConstraintKind::NotNull;
    if (def.defaultValue)
        c.defaultText = def.defaultText;
    c.compressed = def.compressed;
    if (c.type.autoIncrement != old.type.autoIncrement)
        Fail(L"Field '" + old.name + L"' cannot be changed to or from a counter field.");
    for (const KeyInfo& k : table.keys)
        for (const KeyColumnInfo& m : k.columns)
            if (k.type == kForeignKey && SameName(m.name, old.name))
                Fail(L"Cannot change field '" + old.name +
                     L"'. It is part of one or more relationships.");
    for (const auto& [child, fk] : Current().ReferencesTo(table.name))
        for (const KeyColumnInfo& m : fk->columns)
            if (SameName(m.related, old.name))
                Fail(L"Cannot change field '" + old.name +
                     L"'. It is part of one or more relationships.");
    std::vector<ColumnInfo> columns;
    std::vector<std::string> sources;
    for (const ColumnInfo& each : table.columns) {
        if (!SameName(each.name, old.name)) {
            columns.push_back(each);
            sources.push_back(QuoteName(each.name));
            continue;
        }
        columns.push_back(c);
        // Every value is converted and checked as an assignment would be; a
        // value that does not fit fails the whole change.
        sources.push_back(
            "acc_store(" + QuoteName(old.name) + ", " + std::to_string(TypeCode(old.type.type)) +
            ", " + std::to_string(TypeCode(c.type.type)) + ", " + std::to_string(c.type.size) +
            ", " + std::to_string(c.type.precision) + ", " + std::to_string(c.type.scale) + ", " +
            QuoteText(std::wstring_view(c.name)) + ")");
    }
    Rebuild(table, columns, sources);
    Statement save(db_,
                   "UPDATE \"crv.columns\" SET type = ?3, size = ?4, precision = ?5, scale = ?6, "
                   "not_null = ?7, default_text = ?8, compressed = ?9 WHERE table_name = ?1 AND "
                   "name = ?2");
    save.Bind(1, std::wstring_view(table.name))
        .Bind(2, std::wstring_view(old.name))
        .Bind(3, TypeCode(c.type.type))
        .Bind(4, c.type.size)
        .Bind(5, c.type.precision)
        .Bind(6, c.type.scale)
        .Bind(7, c.notNull ? 1 : 0)
        .Bind(9, c.compressed ? 1 : 0);
    if (!c.defaultText.empty())
        save.Bind(8, std::wstring_view(c.defaultText));
    else
        save.BindNull(8);
    save.Step();
    BumpCatalogVersion();
    // Checks and rules were made for the column's old type: make them again
    // over the new one (present rows are checked anew on the way).
    const TableInfo& now = *Fresh().FindTable(table.name);
    ConstraintTriggers triggers(db_, Current());
    for (const KeyInfo& k : now.keys)
        if (k.type == kCheckKey) {
            triggers.DropCondition(now.name, k.name);
            triggers.AddCondition(now, k.name, k.checkClause, L"", CheckViolationText(now, k));
        }
    for (const ColumnInfo& each : now.columns)
        if (!each.validationRule.empty()) {
            triggers.DropCondition(now.name, each.name);
            triggers.AddCondition(now, each.name, each.validationRule, each.name,
                                  RuleViolationText(now.name, each));
        }
}

void SchemaEditor::AlterTable(const sql::AlterTable& alter)
{
    const TableInfo& table = RequireTable(alter.table);
    switch (alter.action) {
        case sql::AlterAction::AddColumn:
            AddColumn(table, alter.column);
            return;
        case sql::AlterAction::AlterColumn:
            AlterColumn(table, alter.column);
            return;
        case sql::AlterAction::DropColumn:
            DropColumn(table, alter.name);
            return;
        case sql::AlterAction::AddConstraint:
            AddConstraintTo(table, alter.constraint);
            return;
        case sql::AlterAction::DropConstraint:
            DropConstraint(table.name, alter.name);
            return;
        case sql::AlterAction::AllowZeroLength:
        case sql::AlterAction::DenyZeroLength:
            SetAllowZeroLength(table.name, alter.name,
                               alter.action == sql::AlterAction::AllowZeroLength);
            return;
    }
}

void SchemaEditor::SetValidationRule(const std::wstring& tableName, const std::wstring& column,
                                     const std::wstring& rule)
{
    const TableInfo& table = RequireTable(tableName);
    ColumnInfo c = RequireColumn(table, column);
    ConstraintTriggers(db_, Current()).DropCondition(table.name, c.name);
    Statement save(db_,
                   "UPDATE \"crv.columns\" SET validation_rule = ?3 WHERE table_name = ?1 AND "
                   "name = ?2");
    save.Bind(1, std::wstring_view(table.name)).Bind(2, std::wstring_view(c.name));
    if (rule.empty())
        save.BindNull(3);
    else
        save.Bind(3, std::wstring_view(rule));
    save.Step();
    if (!rule.empty()) {
        c.validationRule = rule;
        ConstraintTriggers(db_, Current())
            .AddCondition(table, c.name, rule, c.name, RuleViolationText(table.name, c));
    }
    BumpCatalogVersion();
}

void SchemaEditor::SetValidationText(const std::wstring& tableName, const std::wstring& column,
                                     const std::wstring& text)
{
    const TableInfo& table = RequireTable(tableName);
    const ColumnInfo& c = RequireColumn(table, column);
    Statement save(db_,
                   "UPDATE \"crv.columns\" SET validation_text = ?3 WHERE table_name = ?1 AND "
                   "name = ?2");
    save.Bind(1, std::wstring_view(table.name))
        .Bind(2, std::wstring_view(c.name))
        .Bind(3, std::wstring_view(text))
        .Step();
    BumpCatalogVersion();
    // The rule's trigger carries the message: make it again with the new text.
    if (!c.validationRule.empty()) {
        std::wstring t = table.name, n = c.name, rule = c.validationRule;
        Fresh();
        SetValidationRule(t, n, rule);
    }
}

void SchemaEditor::SetAllowZeroLength(const std::wstring& tableName, const std::wstring& column,
                                      bool allow)
{
    const TableInfo& table = RequireTable(tableName);
    const ColumnInfo& c = RequireColumn(table, column);
    if (c.type.type != AccessType::Text && c.type.type != AccessType::Memo)
        Fail(L"Allow zero length applies to text and memo fields only ('" + table.name + L"." +
             c.name + L"').");
    ConstraintTriggers triggers(db_, Current());
    triggers.AllowZeroLength(table.name, c.name);
    if (!allow)
        triggers.DenyZeroLength(table, c.name);
    Statement save(db_,
                   "UPDATE \"crv.columns\" SET allow_zero_length = ?3 WHERE table_name = ?1 AND "
                   "name = ?2");
    save.Bind(1, std::wstring_view(table.name))
        .Bind(2, std::wstring_view(c.name))
        .Bind(3, allow ? 1 : 0)
        .Step();
    BumpCatalogVersion();
}

void SchemaEditor::SetDescription(const std::wstring& tableName, const std::wstring& column,
                                  const std::wstring& text)
{
    const TableInfo& table = RequireTable(tableName);
    const ColumnInfo& c = RequireColumn(table, column);
    Statement save(db_,
                   "UPDATE \"crv.columns\" SET description = ?3 WHERE table_name = ?1 AND "
                   "name = ?2");
    save.Bind(1, std::wstring_view(table.name))
        .Bind(2, std::wstring_view(c.name))
        .Bind(3, std::wstring_view(text))
        .Step();
    BumpCatalogVersion();
}

void SchemaEditor::AddQuery(const std::wstring& name, const wchar_t* kind, const std::wstring& text)
{
    CheckName(name, L"query");
    if (Current().FindTable(name) || Current().FindLink(name) || Current().FindQuery(name))
        Fail(L"Table or query '" + name + L"' already exists.");
    // Stored text must be a statement the parser reads (raises otherwise).
    sql::Parse(text);
    Statement ordinal(db_, "SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.queries\"");
    ordinal.Step();
    Statement add(db_,
                  "INSERT INTO \"crv.queries\"(name, kind, text, ordinal) VALUES (?1, ?2, ?3, ?4)");
    add.Bind(1, std::wstring_view(name))
        .Bind(2, std::wstring_view(kind))
        .Bind(3, std::wstring_view(text))
        .Bind(4, ordinal.Int64(0))
        .Step();
    BumpCatalogVersion();
}

void SchemaEditor::DropQuery(const std::wstring& name, const wchar_t* kind)
{
    const QueryInfo* q = Current().FindQuery(name);
    if (!q || q->kind != kind)
        Fail(std::wstring(kind == std::wstring(L"VIEW") ? L"View '" : L"Procedure '") + name +
             L"' does not exist.");
    Statement del(db_, "DELETE FROM \"crv.queries\" WHERE name = ?1");
    del.Bind(1, std::wstring_view(q->name)).Step();
    BumpCatalogVersion();
}

void SchemaEditor::CreateView(const sql::CreateView& create)
{
    AddQuery(create.name, L"VIEW", create.selectText);
}

void SchemaEditor::CreateProcedure(const sql::CreateProcedure& create,
                                   const std::vector<sql::ParameterDecl>& prefix)
{
    std::vector<sql::ParameterDecl> params;
    for (const auto* list : {&prefix, &create.parameters})
        for (const sql::ParameterDecl& p : *list) {
            sql::ParameterDecl copy;
            copy.name = p.name;
            copy.type = p.type;
            params.push_back(std::move(copy));
        }
    std::wstring text = create.bodyText;
    if (!params.empty())
        text = L"PARAMETERS " + ParameterText(params) + L";" + text;
    AddQuery(create.name, L"PROCEDURE", text);
}

void SchemaEditor::AddLink(const TableInfo& link)
{
    CheckName(link.name, L"table");
    if (Current().FindTable(link.name) || Current().FindLink(link.name) ||
        Current().FindQuery(link.name))
        Fail(L"Table '" + link.name + L"' already exists.");
    Statement ordinal(db_, "SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.tables\"");
    ordinal.Step();
    Statement add(db_,
                  "INSERT INTO \"crv.tables\"(name, ordinal, kind, link_source, link_provider, "
                  "remote_name) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    add.Bind(1, std::wstring_view(link.name))
        .Bind(2, ordinal.Int64(0))
        .Bind(3, std::wstring_view(link.kind))
        .Bind(4, std::wstring_view(link.linkSource))
        .Bind(5, std::wstring_view(link.linkProvider))
        .Bind(6, std::wstring_view(link.remoteName))
        .Step();
    BumpCatalogVersion();
}

}  // namespace provider
