// Real native-store files for the synchronisation tests: tables made with Access DDL, rows
// inserted through ADO parameters, a hand-made schema model of the same tables (so the writer's
// tests state the keys and foreign keys they rely on), a whole comparison run over ADO
// recordsets, and an independent read-back of a table through the sqlite3 shell.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "compare/comparison_context.h"
#include "compare/data_reader.h"
#include "compare/record_cursor.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "database/connection_settings.h"
#include "database/data_type_table.h"
#include "database/database_schema.h"
#include "database/db_connection.h"
#include "output/output_tasks.h"
#include "platform/automation/object.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/provider_classes.h"
#include "sqlexec/mdb_creator.h"
#include "support/temp_dir.h"

namespace synctest {

using automation::Variant;
using Row = std::vector<Variant>;

struct ColumnDef {
    std::wstring name;
    std::wstring ddl;  // the Access type
    int adoType;
};

struct ForeignKeyDef {
    std::wstring column;
    std::wstring relatedTable;
    std::wstring relatedColumn;
};

struct TableDef {
    std::wstring name;
    std::vector<ColumnDef> columns;
    std::vector<std::wstring> keys;  // comparison key columns
    bool primaryKey = true;          // the keys are the table's primary key
    std::vector<ForeignKeyDef> foreignKeys;
    // The file itself holds (and enforces) the foreign keys of the table to itself.
    bool enforceSelfReferences = false;
    // A primary key other than the comparison keys, which are then chosen by hand.
    std::vector<std::wstring> primaryKeyColumns = {};
};

// A table compared by Code whose AutoNumber N is no key.
inline TableDef CountedTable()
{
    return {L"C",
            {{L"Code", L"TEXT(10)", 202}, {L"N", L"COUNTER", 3}, {L"V", L"TEXT(10)", 202}},
            {L"Code"},
            true,
            {}};
}

inline const std::vector<std::wstring>& PrimaryKeyOf(const TableDef& table)
{
    static const std::vector<std::wstring> none;
    if (!table.primaryKeyColumns.empty())
        return table.primaryKeyColumns;
    return table.primaryKey ? table.keys : none;
}

inline std::wstring Path(const testsupport::TempDir& dir, const char* name)
{
    return automation::FromUtf8((dir / name).string());
}

inline void Execute(const std::wstring& path, const std::wstring& sql,
                    const std::vector<Variant>& parameters = {})
{
    auto connection = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    connection->Run(sql, parameters, nullptr, provider::adodb::adCmdText);
    connection->Close();
}

inline std::wstring CreateTableSql(const TableDef& table)
{
    std::wstring sql = L"CREATE TABLE [" + table.name + L"] (";
    for (size_t i = 0; i < table.columns.size(); ++i)
        sql += (i ? L", [" : L"[") + table.columns[i].name + L"] " + table.columns[i].ddl;
    const auto& primary = PrimaryKeyOf(table);
    if (!primary.empty()) {
        sql += L", CONSTRAINT [pk_" + table.name + L"] PRIMARY KEY (";
        for (size_t i = 0; i < primary.size(); ++i)
            sql += (i ? L", [" : L"[") + primary[i] + L"]";
        sql += L")";
    }
    if (table.enforceSelfReferences)
        for (const auto& fk : table.foreignKeys)
            if (fk.relatedTable == table.name)
                sql += L", CONSTRAINT [fk_" + table.name + L"_" + fk.column + L"] FOREIGN KEY ([" +
                       fk.column + L"]) REFERENCES [" + table.name + L"] ([" + fk.relatedColumn +
                       L"])";
    return sql + L")";
}

inline void CreateStore(const std::wstring& path, const std::vector<TableDef>& tables)
{
    provider::RegisterProviderClasses();
    ConnectionSettings settings;
    settings.path = path;
    SQLExecutor::MdbCreator creator(settings);
    ASSERT_TRUE(creator.Create()) << automation::ToUtf8(creator.GetError());
    for (const auto& table : tables)
        Execute(path, CreateTableSql(table));
}

// Inserts rows through one connection and a parameterised statement.
inline void InsertRows(const std::wstring& path, const TableDef& table,
                       const std::vector<Row>& rows)
{
    std::wstring sql = L"INSERT INTO [" + table.name + L"] (";
    std::wstring marks;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        sql += (i ? L", [" : L"[") + table.columns[i].name + L"]";
        marks += i ? L", ?" : L"?";
    }
    sql += L") VALUES (" + marks + L")";
    auto connection = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    for (const Row& row : rows)
        connection->Run(sql, row, nullptr, provider::adodb::adCmdText);
    connection->Close();
}

// The schema model of the tables as the schema reader would give it.
inline std::unique_ptr<DatabaseSchema> BuildSchema(const std::wstring& path,
                                                   const std::vector<TableDef>& tables)
{
    auto schema = std::make_unique<DatabaseSchema>(path);
    for (const auto& def : tables) {
        SchemaTable* table = schema->AddTable(std::make_unique<SchemaTable>(def.name));
        for (const auto& column : def.columns)
            table->AddField(std::make_unique<SchemaField>(
                table, column.name, DataTypeTable::FindByAdoType(column.adoType), 0,
                column.ddl == L"COUNTER", std::nullopt, 0, 0, true, false, L""));
        if (!PrimaryKeyOf(def).empty()) {
            auto key = std::make_unique<SchemaKey>(table, L"pk_" + def.name, L"",
                                                   SchemaKey::kPrimary, 0, 0, false);
            for (const auto& name : PrimaryKeyOf(def))
                key->AddColumn(name, L"");
            table->AddKey(std::move(key));
        }
    }
    for (const auto& def : tables) {
        SchemaTable* table = schema->FindTable(def.name);
        for (const auto& fk : def.foreignKeys) {
            auto key =
                std::make_unique<SchemaKey>(table, L"fk_" + def.name + L"_" + fk.column,
                                            fk.relatedTable, SchemaKey::kForeign, 0, 0, false);
            key->AddColumn(fk.column, fk.relatedColumn);
            key->SetRelatedTable(schema->FindTable(fk.relatedTable));
            table->AddKey(std::move(key));
        }
    }
    return schema;
}

// One finished comparison of two store files, over the schemas of the definitions (foreign
// keys included, which the files need not hold).
class ComparedStores {
public:
    // tables2: Database2's tables when they differ from Database1's.
    ComparedStores(const std::wstring& path1, const std::wstring& path2,
                   const std::vector<TableDef>& tables,
                   const std::vector<TableDef>* tables2 = nullptr)
        : context_(&outputs_)
    {
        context_.Source1().Settings().path = path1;
        context_.Source2().Settings().path = path2;
        schema1 = BuildSchema(path1, tables);
        schema2 = BuildSchema(path2, tables2 ? *tables2 : tables);
        TablePairList* pairs = context_.BuildTablePairs(*schema1, *schema2);
        // Tables without a primary key get their keys from the definition, as the user sets
        // them on the selection page.
        for (const auto& def : tables) {
            if (def.primaryKey && def.primaryKeyColumns.empty())
                continue;
            for (const auto& pair : pairs->Pairs()) {
                if (pair->First()->Name() != def.name)
                    continue;
                for (const auto& field : pair->Fields().Pairs())
                    field->SetKey(std::find(def.keys.begin(), def.keys.end(),
                                            field->First()->Name()) != def.keys.end());
            }
        }
        std::promise<void> done;
        context_.SetCompletionCallback([&done] { done.set_value(); });
        context_.PrepareDataComparison();
        context_.StartThreads();
        done.get_future().wait();
        context_.StopAndWait();
        context_.SetCompletionCallback({});
    }

    ComparisonContext& Context() { return context_; }
    ResultStore& Store() { return *context_.Store(); }
    DataReader& Reader() { return *context_.Reader(); }
    TablePairList& Pairs() { return *context_.PairList(); }

    std::unique_ptr<DatabaseSchema> schema1;
    std::unique_ptr<DatabaseSchema> schema2;

private:
    OutputTasks outputs_;
    ComparisonContext context_;
};

// A table's rows as the sqlite3 shell prints them, each column in its quoted stored form, in a
// fixed order: an independent reader of the file.
// nullIsEmpty: an empty text shows as NULL, for comparisons that treat the two as the same.
inline std::string DumpTable(const std::wstring& path, const TableDef& table,
                             bool nullIsEmpty = false)
{
    std::string select, order;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        std::string column = "[" + automation::ToUtf8(table.columns[i].name) + "]";
        if (nullIsEmpty)
            column = "CASE WHEN typeof(" + column + ") = 'text' AND " + column +
                     " = '' THEN NULL ELSE " + column + " END";
        select += (i ? ", quote(" : "quote(") + column + ")";
        order += (i ? "," : "") + std::to_string(i + 1);
    }
    std::string command = "sqlite3 -bail -readonly -list '" + automation::ToUtf8(path) +
                          "' \"SELECT " + select + " FROM [" + automation::ToUtf8(table.name) +
                          "] ORDER BY " + order + "\" 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

// Runs a script with the built crvconsole, unattended, in `dir`; returns what it reports on
// failure, "" when the run succeeded (exit status 1).
inline std::wstring ApplyWithConsole(const testsupport::TempDir& dir, const std::wstring& script,
                                     const std::wstring& target)
{
    std::string command = "cd '" + dir.path().string() + "' && '" +
                          (testsupport::BinaryDir() / "crvconsole").string() + "' '" +
                          automation::ToUtf8(script) + "' '" + automation::ToUtf8(target) +
                          "' /e 2>&1";
    std::string out;
    int status = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        status = pclose(pipe);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1)
        return L"";
    return out.empty() ? std::wstring(L"crvconsole failed") : automation::FromUtf8(out);
}

}  // namespace synctest
