// Importing a genuine Access file into a native store.
#include "platform/provider/genuine_import.h"

#include <sqlite3.h>

#include <algorithm>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/catalog.h"
#include "platform/provider/genuine_complex.h"
#include "platform/provider/mdb/mdb_database.h"
#include "platform/provider/schema_editor.h"
#include "platform/provider/sqlite_util.h"
#include "platform/provider/value_codec.h"

namespace provider {

using automation::ComError;
using automation::Variant;

namespace {

// The native type of a genuine column. Large numbers have no native type of
// their own; they keep every digit as a DECIMAL(19, 0). A type that has no
// meaning here keeps its stored bytes.
sql::DataType TypeOf(const mdb::ColumnInfo& c)
{
    sql::DataType t;
    switch (c.mdbType) {
        case mdb::kMdbBoolean:
            t.type = sql::AccessType::YesNo;
            break;
        case mdb::kMdbByte:
            t.type = sql::AccessType::Byte;
            break;
        case mdb::kMdbInteger:
            t.type = sql::AccessType::Short;
            break;
        case mdb::kMdbLong:
            t.type = c.autoIncrement ? sql::AccessType::Counter : sql::AccessType::Long;
            break;
        case mdb::kMdbMoney:
            t.type = sql::AccessType::Currency;
            break;
        case mdb::kMdbSingle:
            t.type = sql::AccessType::Single;
            break;
        case mdb::kMdbDouble:
            t.type = sql::AccessType::Double;
            break;
        case mdb::kMdbDateTime:
        case mdb::kMdbExtDateTime:
            t.type = sql::AccessType::DateTime;
            break;
        case mdb::kMdbBinary:
            t.type = sql::AccessType::Binary;
            t.size = c.definedSize > 0 ? static_cast<int32_t>(c.definedSize) : 255;
            break;
        case mdb::kMdbText:
            t.type = sql::AccessType::Text;
            t.size = c.definedSize > 0 ? static_cast<int32_t>(c.definedSize) : 255;
            break;
        case mdb::kMdbOle:
            t.type = sql::AccessType::LongBinary;
            break;
        case mdb::kMdbMemo:
        case mdb::kMdbComplex:  // attachments and multi-values: their content as text
            t.type = sql::AccessType::Memo;
            break;
        case mdb::kMdbGuid:
            t.type = sql::AccessType::Guid;
            break;
        case mdb::kMdbNumeric:
            t.type = sql::AccessType::Decimal;
            t.precision = c.precision > 0 ? c.precision : 18;
            t.scale = c.scale;
            break;
        case mdb::kMdbBigInt:
            t.type = sql::AccessType::Decimal;
            t.precision = 19;
            t.scale = 0;
            break;
        default:
            t.type = sql::AccessType::LongBinary;
            break;
    }
    return t;
}

automation::Decimal DecimalOf(int64_t v)
{
    automation::Decimal d;
    d.negative = v < 0;
    d.lo64 = d.negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    return d;
}

void BindText(sqlite3_stmt* stmt, int index, const std::wstring& text)
{
    std::string utf8 = automation::ToUtf8(text);
    sqlite3_bind_text(stmt, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

// Binds a value read from the genuine file in the stored form of its column
// (see value_codec.h).
void BindStored(sqlite3_stmt* stmt, int index, const Variant& v, sql::AccessType type)
{
    using automation::VT_BOOL;
    if (v.IsNull() || v.IsEmpty()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (type) {
        case sql::AccessType::Text:
        case sql::AccessType::Memo:
        case sql::AccessType::Guid:
            BindText(stmt, index, v.bstrVal());
            return;
        case sql::AccessType::Single:
        case sql::AccessType::Double:
            sqlite3_bind_double(stmt, index, v.vt() == automation::VT_R4 ? v.fltVal() : v.dblVal());
            return;
        case sql::AccessType::Currency:
            sqlite3_bind_int64(stmt, index, v.cyVal().int64);
            return;
        case sql::AccessType::DateTime:
            if (v.vt() == automation::VT_BSTR) {
                // An extended date beyond what an automation date holds: its exact text.
                BindText(stmt, index, v.bstrVal());
                return;
            }
            sqlite3_bind_double(stmt, index, MonotonicFromOleDate(v.date()));
            return;
        case sql::AccessType::Decimal: {
            std::string key =
                DecimalKey(v.vt() == automation::VT_I8 ? DecimalOf(v.llVal()) : v.decVal());
            sqlite3_bind_text(stmt, index, key.data(), static_cast<int>(key.size()),
                              SQLITE_TRANSIENT);
            return;
        }
        case sql::AccessType::Binary:
        case sql::AccessType::LongBinary: {
            std::string key = BinaryKey(v.parray().data(), v.parray().size());
            sqlite3_bind_blob(stmt, index, key.data(), static_cast<int>(key.size()),
                              SQLITE_TRANSIENT);
            return;
        }
        default: {
            Variant i = automation::ChangeType(v, automation::VT_I8);
            int64_t n = i.llVal();
            if (v.vt() == VT_BOOL)
                n = v.boolVal() ? -1 : 0;
            sqlite3_bind_int64(stmt, index, n);
            return;
        }
    }
}

int RuleOf(int32_t attributes, bool update)
{
    if (update)
        return attributes & mdb::kRelationUpdateCascade ? kRuleCascade : kRuleNone;
    if (attributes & mdb::kRelationDeleteCascade)
        return kRuleCascade;
    return attributes & mdb::kRelationDeleteSetNull ? kRuleSetNull : kRuleNone;
}

// Saved query text without its closing ";" and trailing white space, as the
// store keeps the texts it is given.
std::wstring StoredText(std::wstring text)
{
    while (!text.empty() && (text.back() == L';' || iswspace(text.back())))
        text.pop_back();
    return text;
}

}  // namespace

void GenuineImport::Run()
{
    ExecSql(db_, "BEGIN");
    try {
        ImportTables();
        ImportRelations();
        ImportQueries();
        ExecSql(db_, "COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void GenuineImport::ImportTables()
{
    const ComplexColumns complex(source_);
    for (const mdb::TableInfo& table : source_.Tables()) {
        if (table.kind == mdb::TableKind::SystemTable) {
            // Listed with their own type and hidden, as Access lists them;
            // their rows are the engine's and stay out of the snapshot.
            Statement system(db_,
                             "INSERT INTO \"crv.tables\"(name, ordinal, kind, hidden) VALUES "
                             "(?1, (SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.tables\"), "
                             "'SYSTEM TABLE', 1)");
            system.Bind(1, std::wstring_view(table.name)).Step();
            continue;
        }
        Catalog catalog;
        catalog.Load(db_);
        SchemaEditor editor(db_, catalog);
        if (table.kind != mdb::TableKind::Table) {
            TableInfo link;
            link.name = table.name;
            link.remoteName = table.remoteName;
            if (table.kind == mdb::TableKind::LinkedOdbc) {
                link.kind = L"PASS-THROUGH";
                link.linkProvider = table.linkConnect;
            } else {
                link.kind = L"LINK";
                link.linkSource = table.linkDatabase;
            }
            editor.AddLink(link);
            continue;
        }
        // NOT NULL lives in the catalog only: the rows are the file's as
        // they stand, and the snapshot is never changed.
        sql::CreateTable create;
        create.name = table.name;
        std::vector<sql::AccessType> types;
        // The hidden history of an append-only memo is no field of its own.
        std::vector<size_t> kept;
        std::vector<const mdb::ColumnInfo*> columns;
        for (size_t i = 0; i < table.columns.size(); ++i)
            if (complex.KindOf(table, table.columns[i].name) !=
                ComplexColumns::Kind::VersionHistory) {
                kept.push_back(i);
                columns.push_back(&table.columns[i]);
            }
        for (const mdb::ColumnInfo* column : columns) {
            const mdb::ColumnInfo& c = *column;
            sql::ColumnDef def;
            def.name = c.name;
            def.type = TypeOf(c);
            if (complex.KindOf(table, c.name) == ComplexColumns::Kind::Bytes)
                def.type.type = sql::AccessType::LongBinary;
            def.compressed = c.compressedUnicode;
            types.push_back(def.type.type);
            create.columns.push_back(std::move(def));
        }
        for (const mdb::IndexInfo& index : table.indexes)
            if (index.primaryKey) {
                sql::Constraint pk;
                pk.kind = sql::ConstraintKind::PrimaryKey;
                pk.name = index.name;
                for (const mdb::IndexColumn& c : index.columns)
                    pk.columns.push_back(c.column);
                create.constraints.push_back(std::move(pk));
            }
        const int rowidKey = editor.CreateTable(create);
        std::wstring keyName = L"PrimaryKey";
        for (const mdb::IndexInfo& index : table.indexes)
            if (index.primaryKey)
                keyName = index.name;
        // A key column keeps its order (a primary key may be descending).
        for (const mdb::IndexInfo& index : table.indexes)
            for (const mdb::IndexColumn& c : index.columns)
                if (index.primaryKey && c.descending)
                    Statement(db_,
                              "UPDATE \"crv.index_columns\" SET descending = 1 WHERE "
                              "table_name = ?1 AND index_name = ?2 AND column_name = ?3")
                        .Bind(1, std::wstring_view(table.name))
                        .Bind(2, std::wstring_view(index.name))
                        .Bind(3, std::wstring_view(c.column))
                        .Step();

        Statement columnRow(db_,
                            "UPDATE \"crv.columns\" SET not_null = ?3, allow_zero_length = ?4, "
                            "default_text = ?5, validation_rule = ?6, validation_text = ?7, "
                            "description = ?8, auto_increment = ?9 WHERE table_name = ?1 AND "
                            "name = ?2");
        for (const mdb::ColumnInfo* column : columns) {
            const mdb::ColumnInfo& c = *column;
            columnRow.Reset();
            columnRow.Bind(1, std::wstring_view(table.name))
                .Bind(2, std::wstring_view(c.name))
                .Bind(3, int64_t{!c.nullable || c.required})
                .Bind(4, int64_t{c.allowZeroLength})
                .Bind(9, c.autoGenerateGuid && c.mdbType == mdb::kMdbGuid
                             ? int64_t{kAutoGenerateGuid}
                             : int64_t{c.autoIncrement && c.mdbType == mdb::kMdbLong});
            int i = 5;
            for (const std::wstring* text :
                 {&c.defaultValue, &c.validationRule, &c.validationText, &c.description}) {
                if (text->empty())
                    columnRow.BindNull(i);
                else
                    columnRow.Bind(i, std::wstring_view(*text));
                ++i;
            }
            columnRow.Step();
        }
        Statement tableRow(db_,
                           "UPDATE \"crv.tables\" SET hidden = ?2, description = nullif(?3, ''), "
                           "validation_rule = nullif(?4, ''), validation_text = nullif(?5, '') "
                           "WHERE name = ?1");
        tableRow.Bind(1, std::wstring_view(table.name))
            .Bind(2, int64_t{table.hidden})
            .Bind(3, std::wstring_view(table.description))
            .Bind(4, std::wstring_view(table.validationRule))
            .Bind(5, std::wstring_view(table.validationText))
            .Step();

        std::string insert = "INSERT INTO " + QuoteName(table.name) + " VALUES (";
        for (size_t i = 0; i < columns.size(); ++i)
            insert += i ? ", ?" : "?";
        Statement put(db_, insert + ")");
        auto reader = source_.OpenTable(table.name);
        while (reader->Next()) {
            put.Reset();
            const std::vector<Variant>& values = reader->Values();
            // A damaged file's Null key would otherwise be numbered as a new row.
            if (rowidKey >= 0 &&
                (values[kept[rowidKey]].IsNull() || values[kept[rowidKey]].IsEmpty()))
                throw automation::ComError(automation::E_FAIL, NullKeyText(table.name, keyName));
            for (size_t i = 0; i < kept.size(); ++i) {
                const mdb::ColumnInfo& c = *columns[i];
                BindStored(put.get(), static_cast<int>(i + 1),
                           c.mdbType == mdb::kMdbComplex
                               ? complex.Value(table, c.name, values[kept[i]])
                               : values[kept[i]],
                           types[i]);
            }
            put.Step();
        }
        for (const mdb::ColumnInfo* column : columns)
            if (const mdb::ColumnInfo& c = *column; c.autoIncrement && c.mdbType == mdb::kMdbLong)
                ExecSql(db_, "UPDATE \"crv.columns\" SET next_counter = ifnull((SELECT max(" +
                                 QuoteName(c.name) + ") + 1 FROM " + QuoteName(table.name) +
                                 "), 1) WHERE table_name = " + QuoteText(table.name) +
                                 " AND name = " + QuoteText(c.name));

        // The indexes Access keeps for relations come back as the relations'
        // foreign keys.
        // Index names are unique per table in the file: one read of the
        // catalog serves every index of the table.
        Catalog withTable;
        withTable.Load(db_);
        SchemaEditor indexEditor(db_, withTable);
        for (const mdb::IndexInfo& index : table.indexes) {
            if (index.primaryKey || index.foreignKey)
                continue;
            // Access's own index over the value ids of a complex column has no
            // meaning over its content.
            if (std::any_of(index.columns.begin(), index.columns.end(), [&](const auto& c) {
                    const mdb::ColumnInfo* column = table.FindColumn(c.column);
                    return !column || column->mdbType == mdb::kMdbComplex;
                }))
                continue;
            sql::CreateIndex ci;
            ci.unique = index.unique;
            ci.name = index.name;
            ci.table = table.name;
            for (const mdb::IndexColumn& c : index.columns)
                ci.columns.push_back({c.column, c.descending});
            ci.option = index.required      ? sql::IndexOption::DisallowNull
                        : index.ignoreNulls ? sql::IndexOption::IgnoreNull
                                            : sql::IndexOption::None;
            indexEditor.CreateIndex(ci);
        }
    }
}

void GenuineImport::ImportRelations()
{
    Catalog catalog;
    catalog.Load(db_);
    for (const mdb::RelationInfo& relation : source_.Relations()) {
        if (!catalog.FindTable(relation.table) || !catalog.FindTable(relation.foreignTable))
            continue;  // a relation of a linked table: kept in its own database
        KeyInfo key;
        key.name = relation.name;
        key.type = kForeignKey;
        key.relatedTable = relation.table;
        key.updateRule = RuleOf(relation.attributes, true);
        key.deleteRule = RuleOf(relation.attributes, false);
        key.notEnforced = (relation.attributes & mdb::kRelationDontEnforce) != 0;
        for (const mdb::RelationColumn& c : relation.columns)
            key.columns.push_back({c.foreignColumn, c.column});
        // A relation the store would not enforce as the file holds it (no
        // unique index in the snapshot's terms) is still kept, unenforced:
        // the snapshot is never changed, and the file must open.
        ExecSql(db_, "SAVEPOINT relation");
        try {
            SchemaEditor(db_, catalog).AddRelation(relation.foreignTable, key);
            ExecSql(db_, "RELEASE relation");
        } catch (const ComError&) {
            ExecSql(db_, "ROLLBACK TO relation; RELEASE relation");
            if (key.notEnforced)
                throw;
            key.notEnforced = true;
            SchemaEditor(db_, catalog).AddRelation(relation.foreignTable, key);
        }
    }
}

void GenuineImport::ImportQueries()
{
    // Query names are unique in the file, so one read of the catalog serves all.
    Catalog catalog;
    catalog.Load(db_);
    for (const mdb::QueryInfo& query : source_.Queries()) {
        // Queries named "~..." are the engine's own sources of forms and
        // reports; Access lists them nowhere.
        if (query.name.empty() || query.name[0] == L'~')
            continue;
        const wchar_t* kind = query.kind == mdb::QueryKind::Select && query.parameters.empty()
                                  ? L"VIEW"
                                  : L"PROCEDURE";
        std::wstring text = StoredText(query.sql);
        // Texts our SQL reader does not take (crosstab, pass-through, data
        // definition) are kept as the file holds them.
        ExecSql(db_, "SAVEPOINT query");
        try {
            SchemaEditor(db_, catalog).AddQuery(query.name, kind, text);
            ExecSql(db_, "RELEASE query");
            continue;
        } catch (const ComError&) {
            ExecSql(db_, "ROLLBACK TO query; RELEASE query");
        }
        Statement add(db_,
                      "INSERT INTO \"crv.queries\"(name, kind, text, ordinal) VALUES (?1, ?2, "
                      "?3, (SELECT ifnull(max(ordinal), 0) + 1 FROM \"crv.queries\"))");
        add.Bind(1, std::wstring_view(query.name))
            .Bind(2, std::wstring_view(kind))
            .Bind(3, std::wstring_view(text))
            .Step();
    }
}

}  // namespace provider
