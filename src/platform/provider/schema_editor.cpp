// CREATE/DROP TABLE and CREATE/DROP INDEX on the native store.
#include "platform/provider/schema_editor.h"

#include <sqlite3.h>

#include <algorithm>

#include "platform/automation/com_error.h"
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

std::string NullTriggerName(const std::wstring& table, const std::wstring& index, const char* op)
{
    return QuoteName(SqliteIndexName(table, index) + L"." +
                     std::wstring(op, op + std::char_traits<char>::length(op)));
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

void SchemaEditor::BumpCatalogVersion()
{
    ExecSql(db_,
            "INSERT INTO \"crv.properties\"(name, value) VALUES ('catalog_version', 1) "
            "ON CONFLICT(name) DO UPDATE SET value = value + 1");
}

void SchemaEditor::CreateTable(const sql::CreateTable& create)
{
    if (catalog_.FindTable(create.name))
        Fail(L"Table '" + create.name + L"' already exists.");
    if (create.name.empty() || create.name.find_first_of(L".!`[]") != std::wstring::npos)
        Fail(L"'" + create.name + L"' is not a valid table name.");
    if (create.columns.empty())
        Fail(L"A table needs at least one field.");
    TableInfo table;
    table.name = create.name;
    std::vector<IndexInfo> indexes;
    std::vector<int> keyTypes;
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
                Fail(
                    L"FOREIGN KEY and CHECK constraints are not supported by this provider yet "
                    L"(table '" +
                    create.name + L"').");
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

    std::string sql = "CREATE TABLE " + QuoteName(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i)
        sql += (i ? ", " : "") + QuoteName(table.columns[i].name) +
               (table.columns[i].notNull ? " NOT NULL" : "");
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
        AddIndex(table, indexes[i], L"CREATE TABLE");
        AddKey(table.name, indexes[i], keyTypes[i]);
    }
    BumpCatalogVersion();
}

void SchemaEditor::AddIndex(const TableInfo& table, const IndexInfo& index, const wchar_t*)
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
                            QuoteText(
                                L"Index or primary key cannot contain a Null value "
                                L"(index '" +
                                index.name + L"' of table '" + table.name + L"').") +
                            "); END";
        ExecSql(db_, "CREATE TRIGGER " + NullTriggerName(table.name, index.name, "insert") +
                         " BEFORE INSERT ON " + QuoteName(table.name) + " WHEN " + when + raise);
        ExecSql(db_, "CREATE TRIGGER " + NullTriggerName(table.name, index.name, "update") +
                         " BEFORE UPDATE OF " + of + " ON " + QuoteName(table.name) + " WHEN " +
                         when + raise);
    }
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
    if (!t)
        Fail(L"Table '" + drop.name + L"' does not exist.");
    ExecSql(db_, "DROP TABLE " + QuoteName(t->name));
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

void SchemaEditor::RemoveIndex(const std::wstring& table, const std::wstring& index)
{
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
    RemoveIndex(t->name, index->name);
    BumpCatalogVersion();
}

}  // namespace provider
