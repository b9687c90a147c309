// Reading the native store's catalog tables into memory.
#include "platform/provider/catalog.h"

#include <sqlite3.h>

#include <cwctype>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/sqlite_util.h"

namespace provider {

namespace {

constexpr const char* kSchema = R"SQL(
CREATE TABLE "crv.properties"(name TEXT PRIMARY KEY, value);
CREATE TABLE "crv.tables"(
    name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,
    ordinal INTEGER NOT NULL,
    kind TEXT NOT NULL DEFAULT 'TABLE',
    hidden INTEGER NOT NULL DEFAULT 0,
    description TEXT,
    validation_rule TEXT,
    validation_text TEXT,
    link_source TEXT,
    link_provider TEXT,
    remote_name TEXT);
CREATE TABLE "crv.columns"(
    table_name TEXT NOT NULL COLLATE NOCASE,
    ordinal INTEGER NOT NULL,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    size INTEGER NOT NULL,
    precision INTEGER NOT NULL DEFAULT 0,
    scale INTEGER NOT NULL DEFAULT 0,
    not_null INTEGER NOT NULL DEFAULT 0,
    auto_increment INTEGER NOT NULL DEFAULT 0,
    seed INTEGER NOT NULL DEFAULT 1,
    increment INTEGER NOT NULL DEFAULT 1,
    next_counter INTEGER,
    default_text TEXT,
    allow_zero_length INTEGER NOT NULL DEFAULT 1,
    compressed INTEGER NOT NULL DEFAULT 0,
    validation_rule TEXT,
    validation_text TEXT,
    description TEXT,
    PRIMARY KEY(table_name, name));
CREATE TABLE "crv.indexes"(
    table_name TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE,
    primary_key INTEGER NOT NULL DEFAULT 0,
    is_unique INTEGER NOT NULL DEFAULT 0,
    ignore_nulls INTEGER NOT NULL DEFAULT 0,
    disallow_null INTEGER NOT NULL DEFAULT 0,
    ordinal INTEGER NOT NULL,
    PRIMARY KEY(table_name, name));
CREATE TABLE "crv.index_columns"(
    table_name TEXT NOT NULL COLLATE NOCASE,
    index_name TEXT NOT NULL COLLATE NOCASE,
    ordinal INTEGER NOT NULL,
    column_name TEXT NOT NULL,
    descending INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY(table_name, index_name, ordinal));
CREATE TABLE "crv.keys"(
    table_name TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    related_table TEXT,
    update_rule INTEGER NOT NULL DEFAULT 0,
    delete_rule INTEGER NOT NULL DEFAULT 0,
    not_enforced INTEGER NOT NULL DEFAULT 0,
    ordinal INTEGER NOT NULL,
    PRIMARY KEY(table_name, name));
CREATE TABLE "crv.key_columns"(
    table_name TEXT NOT NULL COLLATE NOCASE,
    key_name TEXT NOT NULL COLLATE NOCASE,
    ordinal INTEGER NOT NULL,
    column_name TEXT NOT NULL,
    related_column TEXT,
    PRIMARY KEY(table_name, key_name, ordinal));
CREATE TABLE "crv.queries"(
    name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,
    kind TEXT NOT NULL,
    text TEXT NOT NULL,
    ordinal INTEGER NOT NULL);
)SQL";

}  // namespace

std::wstring Catalog::Fold(const std::wstring& name)
{
    std::wstring f(name);
    for (wchar_t& c : f)
        c = static_cast<wchar_t>(std::towlower(c));
    return f;
}

int TableInfo::FindColumn(const std::wstring& column) const
{
    std::wstring key = Catalog::Fold(column);
    for (size_t i = 0; i < columns.size(); ++i)
        if (Catalog::Fold(columns[i].name) == key)
            return static_cast<int>(i);
    return -1;
}

const IndexInfo* TableInfo::FindIndex(const std::wstring& index) const
{
    std::wstring key = Catalog::Fold(index);
    for (const IndexInfo& i : indexes)
        if (Catalog::Fold(i.name) == key)
            return &i;
    return nullptr;
}

int TableInfo::CounterColumn() const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].type.autoIncrement)
            return static_cast<int>(i);
    return -1;
}

void Catalog::CreateSchema(sqlite3* db)
{
    ExecSql(db, kSchema);
}

void Catalog::Load(sqlite3* db)
{
    tables_.clear();
    order_.clear();
    links_.clear();
    queries_.clear();
    Statement tables(db,
                     "SELECT name, kind, hidden, link_source, link_provider, remote_name "
                     "FROM \"crv.tables\" ORDER BY ordinal");
    while (tables.Step()) {
        auto t = std::make_unique<TableInfo>();
        t->name = tables.Text(0);
        t->kind = tables.Text(1);
        t->hidden = tables.Int(2) != 0;
        t->linkSource = tables.Text(3);
        t->linkProvider = tables.Text(4);
        t->remoteName = tables.Text(5);
        if (t->kind != L"TABLE") {
            links_.push_back(std::move(t));
            continue;
        }
        order_.push_back(t.get());
        tables_[Fold(t->name)] = std::move(t);
    }
    Statement columns(
        db,
        "SELECT table_name, name, type, size, precision, scale, not_null, "
        "auto_increment, seed, increment, default_text, allow_zero_length, compressed, "
        "validation_rule, validation_text, description FROM \"crv.columns\" ORDER BY table_name, "
        "ordinal");
    while (columns.Step()) {
        auto it = tables_.find(Fold(columns.Text(0)));
        if (it == tables_.end())
            continue;
        ColumnInfo c;
        c.name = columns.Text(1);
        AccessTypeFromCode(columns.Int(2), c.type.type);
        c.type.size = columns.Int(3);
        c.type.precision = static_cast<uint8_t>(columns.Int(4));
        c.type.scale = static_cast<uint8_t>(columns.Int(5));
        c.notNull = columns.Int(6) != 0;
        c.type.autoIncrement = columns.Int(7) == 1;
        c.autoGenerate = columns.Int(7) == kAutoGenerateGuid;
        c.seed = columns.Int64(8);
        c.increment = columns.Int64(9);
        c.defaultText = columns.Text(10);
        c.allowZeroLength = columns.Int(11) != 0;
        c.compressed = columns.Int(12) != 0;
        c.validationRule = columns.Text(13);
        c.validationText = columns.Text(14);
        c.description = columns.Text(15);
        it->second->columns.push_back(std::move(c));
    }
    Statement indexes(db,
                      "SELECT table_name, name, primary_key, is_unique, ignore_nulls, "
                      "disallow_null FROM \"crv.indexes\" ORDER BY table_name, ordinal");
    while (indexes.Step()) {
        auto it = tables_.find(Fold(indexes.Text(0)));
        if (it == tables_.end())
            continue;
        IndexInfo i;
        i.name = indexes.Text(1);
        i.primary = indexes.Int(2) != 0;
        i.unique = indexes.Int(3) != 0;
        i.ignoreNulls = indexes.Int(4) != 0;
        i.disallowNull = indexes.Int(5) != 0;
        it->second->indexes.push_back(std::move(i));
    }
    Statement members(db,
                      "SELECT table_name, index_name, column_name, descending "
                      "FROM \"crv.index_columns\" ORDER BY table_name, index_name, ordinal");
    while (members.Step()) {
        auto it = tables_.find(Fold(members.Text(0)));
        if (it == tables_.end())
            continue;
        std::wstring indexKey = Fold(members.Text(1));
        for (IndexInfo& i : it->second->indexes)
            if (Fold(i.name) == indexKey)
                i.columns.push_back({members.Text(2), members.Int(3) != 0});
    }
    Statement keys(db,
                   "SELECT table_name, name, type, related_table, update_rule, delete_rule, "
                   "not_enforced FROM \"crv.keys\" ORDER BY table_name, ordinal");
    while (keys.Step()) {
        auto it = tables_.find(Fold(keys.Text(0)));
        if (it == tables_.end())
            continue;
        KeyInfo k;
        k.name = keys.Text(1);
        k.type = keys.Int(2);
        k.relatedTable = keys.Text(3);
        k.updateRule = keys.Int(4);
        k.deleteRule = keys.Int(5);
        k.notEnforced = keys.Int(6) != 0;
        it->second->keys.push_back(std::move(k));
    }
    Statement keyMembers(db,
                         "SELECT table_name, key_name, column_name, related_column "
                         "FROM \"crv.key_columns\" ORDER BY table_name, key_name, ordinal");
    while (keyMembers.Step()) {
        auto it = tables_.find(Fold(keyMembers.Text(0)));
        if (it == tables_.end())
            continue;
        std::wstring keyName = Fold(keyMembers.Text(1));
        for (KeyInfo& k : it->second->keys)
            if (Fold(k.name) == keyName)
                k.columns.push_back({keyMembers.Text(2), keyMembers.Text(3)});
    }
    // A key kept as the rowid is SQLite's one INTEGER PRIMARY KEY: no other column of a store's
    // table carries a declared type or a primary key.
    Statement rowidKeys(db,
                        "SELECT m.name, p.name FROM sqlite_master AS m, pragma_table_info(m.name) "
                        "AS p WHERE m.type = 'table' AND m.sql LIKE '%INTEGER PRIMARY KEY%' AND "
                        "p.pk = 1 AND p.type = 'INTEGER'");
    while (rowidKeys.Step()) {
        auto it = tables_.find(Fold(rowidKeys.Text(0)));
        if (it != tables_.end())
            it->second->rowidKey = it->second->FindColumn(rowidKeys.Text(1));
    }
    Statement hasChecks(db,
                        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                        "name = 'crv.checks'");
    if (hasChecks.Step()) {
        Statement checks(db, "SELECT table_name, name, clause FROM \"crv.checks\"");
        while (checks.Step()) {
            auto it = tables_.find(Fold(checks.Text(0)));
            if (it == tables_.end())
                continue;
            std::wstring keyName = Fold(checks.Text(1));
            for (KeyInfo& k : it->second->keys)
                if (Fold(k.name) == keyName)
                    k.checkClause = checks.Text(2);
        }
    }
    Statement queries(db, "SELECT name, kind, text FROM \"crv.queries\" ORDER BY ordinal");
    while (queries.Step())
        queries_.push_back({queries.Text(0), queries.Text(1), queries.Text(2)});
}

const KeyInfo* TableInfo::FindKey(const std::wstring& key) const
{
    std::wstring folded = Catalog::Fold(key);
    for (const KeyInfo& k : keys)
        if (Catalog::Fold(k.name) == folded)
            return &k;
    return nullptr;
}

const TableInfo* Catalog::FindLink(const std::wstring& name) const
{
    for (const auto& l : links_)
        if (Fold(l->name) == Fold(name))
            return l.get();
    return nullptr;
}

const QueryInfo* Catalog::FindQuery(const std::wstring& name) const
{
    for (const QueryInfo& q : queries_)
        if (Fold(q.name) == Fold(name))
            return &q;
    return nullptr;
}

std::vector<std::pair<const TableInfo*, const KeyInfo*>> Catalog::ReferencesTo(
    const std::wstring& table) const
{
    std::vector<std::pair<const TableInfo*, const KeyInfo*>> found;
    for (const TableInfo* t : order_)
        for (const KeyInfo& k : t->keys)
            if (k.type == kForeignKey && Fold(k.relatedTable) == Fold(table))
                found.emplace_back(t, &k);
    return found;
}

const TableInfo* Catalog::FindTable(const std::wstring& name) const
{
    auto it = tables_.find(Fold(name));
    return it == tables_.end() ? nullptr : it->second.get();
}

std::vector<const TableInfo*> Catalog::Tables() const
{
    return order_;
}

std::wstring NullKeyText(const std::wstring& table, const std::wstring& index)
{
    return L"Index or primary key cannot contain a Null value (index '" + index + L"' of table '" +
           table + L"').";
}

std::wstring SqliteIndexName(const std::wstring& table, const std::wstring& index)
{
    return table + L"." + index;
}

}  // namespace provider
