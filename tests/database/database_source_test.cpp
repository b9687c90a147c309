// Loading a database's schema through DatabaseSource: a store built by DDL with every kind of
// object comes back as exactly that schema, progress is reported, and failed opens give the
// database path followed by the reader's text.
#include "database/database_source.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "database/data_type_table.h"
#include "database/db_connection.h"
#include "database/provider_prefix.h"
#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"
#include "platform/provider/provider_classes.h"
#include "sqlexec/i_progress.h"
#include "support/temp_dir.h"

namespace {

using automation::Variant;
namespace adodb = provider::adodb;
namespace adox = provider::adox;
namespace dao = provider::dao;

std::wstring Wide(const std::filesystem::path& p)
{
    return automation::FromUtf8(p.string());
}

// Counts what a load reports.
class RecordingProgress : public IProgress {
public:
    void SetTotal(int total) override { totals.push_back(total); }
    void Advance(int delta) override { advanced += delta; }
    void Step() override { ++steps; }
    void Done() override { ++done; }

    std::vector<int> totals;
    int advanced = 0;
    int steps = 0;
    int done = 0;
};

// Creates a native store at `path` (with an optional database password) and runs each statement.
automation::Ptr<adodb::Connection> CreateStore(const std::wstring& path,
                                               const std::vector<std::wstring>& statements,
                                               const std::wstring& password = {})
{
    provider::RegisterProviderClasses();
    auto catalog = automation::CreateObjectAs<adox::Catalog>(L"ADOX.Catalog");
    std::wstring text = CreationString(path);
    if (!password.empty())
        text += L";Jet OLEDB:Database Password=" + password;
    automation::Ptr<adodb::Connection> connection = catalog->Create(text);
    for (const std::wstring& statement : statements)
        connection->Execute(statement, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
    return connection;
}

// One of every kind of object the reader knows.
const std::vector<std::wstring> kEveryKindScript = {
    L"CREATE TABLE Customers (CustomerID AUTOINCREMENT CONSTRAINT PK_Customers PRIMARY KEY, "
    L"Name TEXT(50) WITH COMPRESSION NOT NULL, Email TEXT(100) CONSTRAINT UQ_Email UNIQUE, "
    L"Notes MEMO, Balance CURRENCY DEFAULT 0, Rating DECIMAL(18, 2), Joined DATETIME, "
    L"Active BIT NOT NULL, Code TEXT(10) DEFAULT 'X', "
    L"CONSTRAINT CK_Balance CHECK (Balance >= 0))",
    L"CREATE TABLE Orders (OrderID LONG NOT NULL, CustomerID LONG, Amount DOUBLE, "
    L"Qty SMALLINT, Flags BYTE, Price SINGLE, Photo LONGBINARY, Tag BINARY(16), Ref GUID, "
    L"CONSTRAINT PK_Orders PRIMARY KEY (OrderID), "
    L"CONSTRAINT FK_OrdersCustomers FOREIGN KEY (CustomerID) REFERENCES Customers (CustomerID) "
    L"ON UPDATE CASCADE ON DELETE CASCADE)",
    L"CREATE TABLE Lines (LineID COUNTER NOT NULL CONSTRAINT PK_Lines PRIMARY KEY, OrderRef LONG, "
    L"CONSTRAINT FK_LinesOrders FOREIGN KEY (OrderRef) REFERENCES Orders (OrderID) "
    L"ON DELETE SET NULL)",
    L"CREATE TABLE Secret (ID LONG NOT NULL CONSTRAINT PK_Secret PRIMARY KEY, CustomerID LONG, "
    L"CONSTRAINT FK_SecretCustomers FOREIGN KEY (CustomerID) REFERENCES Customers (CustomerID))",
    L"CREATE TABLE Notes (NoteID LONG NOT NULL CONSTRAINT PK_Notes PRIMARY KEY, OrderID LONG, "
    L"SecretID LONG, CONSTRAINT FK_NotesSecret FOREIGN KEY (SecretID) REFERENCES Secret (ID))",
    L"CREATE UNIQUE INDEX ByNameCode ON Customers (Name DESC, Code) WITH IGNORE NULL",
    L"CREATE INDEX ByAmount ON Orders (Amount) WITH DISALLOW NULL",
    // A default declared as NULL has no text of its own and must not fail the load.
    L"ALTER TABLE Orders ADD COLUMN Remark TEXT(20) DEFAULT NULL",
    L"ALTER TABLE Orders ADD CONSTRAINT CK_Qty CHECK (Qty > 0)",
    L"CREATE VIEW ActiveCustomers AS SELECT Name FROM Customers WHERE Active = TRUE",
    L"CREATE PROCEDURE OrdersSince (since DATETIME, minAmount DOUBLE) AS "
    L"SELECT OrderID FROM Orders WHERE Amount >= minAmount",
    L"LINK TABLE [Linked Customers] TO [Customers] SRC \"/elsewhere/other.mdb\"",
    L"LINK TABLE [Remote Items] TO [dbo.Items] ODBC \"DSN=Items;UID=me\"",
};

class DatabaseSourceTest : public ::testing::Test {
protected:
    void SetUp() override { path = Wide(dir / "every kind.mdb"); }

    // The store of kEveryKindScript, with what DDL cannot say set through ADOX and DAO.
    void BuildEveryKindStore()
    {
        automation::Ptr<adodb::Connection> connection = CreateStore(path, kEveryKindScript);
        auto catalog = automation::CreateObjectAs<adox::Catalog>(L"ADOX.Catalog");
        catalog->SetActiveConnection(connection);
        auto amount = catalog->Tables()->Item(L"Orders")->Columns()->Item(L"Amount");
        amount->Properties()->Item(L"Jet OLEDB:Column Validation Rule")->SetValue(Variant(L"> 0"));
        auto email = catalog->Tables()->Item(L"Customers")->Columns()->Item(L"Email");
        email->Properties()->Item(L"Jet OLEDB:Allow Zero Length")->SetValue(Variant(true));
        connection->Close();

        ConnectionSettings settings;
        settings.path = path;
        DbConnection daoConnection(&settings);
        const auto& database = daoConnection.OpenDatabaseDao();
        auto relation = database->CreateRelation(L"RelNotesOrders", L"Orders", L"Notes",
                                                 dao::dbRelationDontEnforce);
        auto field = relation->CreateField(L"OrderID");
        field->SetForeignName(L"OrderID");
        relation->Fields()->Append(field);
        database->Relations()->Append(relation);
        daoConnection.Close();
        HideTable(L"Secret");
    }

    // Access hides a table from its own user interface; neither DDL nor the provider's catalog
    // objects can, so the flag goes straight into the store's catalog row of the table.
    void HideTable(const std::wstring& table)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(automation::ToUtf8(path).c_str(), &db), SQLITE_OK);
        const std::string sql =
            "UPDATE \"crv.tables\" SET hidden = 1 WHERE name = '" + automation::ToUtf8(table) + "'";
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_changes(db), 1);
        sqlite3_close(db);
    }

    testsupport::TempDir dir;
    std::wstring path;
};

struct ExpectedField {
    const wchar_t* name;
    const wchar_t* definition;  // the column definition text
    const wchar_t* rule;
};

TEST_F(DatabaseSourceTest, StoreWithEveryKindOfObjectLoadsIntoExactlyThatSchema)
{
    BuildEveryKindStore();
    DatabaseSource source;
    source.Settings().Assign(path, L"", L"", L"", L"");
    RecordingProgress progress;
    static_cast<WizardTask&>(source).Run(progress);
    ASSERT_FALSE(source.Failed()) << automation::ToUtf8(source.ErrorText());
    DatabaseSchema* schema = source.Schema();
    ASSERT_NE(schema, nullptr);
    EXPECT_EQ(schema->GetName(), path);

    // Tables in catalog order; links are no tables, and the hidden table is left out.
    std::vector<std::wstring> tableNames;
    for (const auto& table : schema->Tables())
        tableNames.emplace_back(table->Name());
    EXPECT_EQ(tableNames, (std::vector<std::wstring>{L"Customers", L"Orders", L"Lines", L"Notes"}));

    struct TableCase {
        const wchar_t* table;
        std::vector<ExpectedField> fields;  // in ordinal order
    };
    const TableCase tables[] = {
        {L"Customers",
         {{L"CustomerID", L" AUTOINCREMENT", L""},
          {L"Name", L" TEXT(50) WITH COMPRESSION NOT NULL", L""},
          {L"Email", L" TEXT(100)", L""},
          {L"Notes", L" MEMO", L""},
          {L"Balance", L" CURRENCY DEFAULT 0", L""},
          {L"Rating", L" DECIMAL(18, 2)", L""},
          {L"Joined", L" DATETIME", L""},
          {L"Active", L" BIT NOT NULL", L""},
          {L"Code", L" TEXT(10) DEFAULT 'X'", L""}}},
        {L"Orders",
         {{L"OrderID", L" LONG NOT NULL", L""},
          {L"CustomerID", L" LONG", L""},
          {L"Amount", L" DOUBLE", L"> 0"},
          {L"Qty", L" SMALLINT", L""},
          {L"Flags", L" TINYINT", L""},
          {L"Price", L" SINGLE", L""},
          {L"Photo", L" IMAGE", L""},
          {L"Tag", L" BINARY", L""},
          {L"Ref", L" UNIQUEIDENTIFIER", L""},
          {L"Remark", L" TEXT(20) DEFAULT NULL", L""}}},
        {L"Lines", {{L"LineID", L" AUTOINCREMENT", L""}, {L"OrderRef", L" LONG", L""}}},
        {L"Notes",
         {{L"NoteID", L" LONG NOT NULL", L""},
          {L"OrderID", L" LONG", L""},
          {L"SecretID", L" LONG", L""}}},
    };
    for (const TableCase& c : tables) {
        SCOPED_TRACE(automation::ToUtf8(c.table));
        SchemaTable* table = schema->FindTable(c.table);
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->Fields().size(), c.fields.size());
        for (size_t i = 0; i < c.fields.size(); ++i) {
            const SchemaField& field = *table->Fields()[i];
            SCOPED_TRACE(automation::ToUtf8(c.fields[i].name));
            EXPECT_EQ(field.Name(), c.fields[i].name);
            EXPECT_EQ(field.Owner(), table);
            // ORDINAL_POSITION counts from 1.
            EXPECT_EQ(field.Ordinal(), static_cast<double>(i + 1));
            EXPECT_EQ(field.ColumnDefinition(), c.fields[i].definition);
            EXPECT_EQ(field.ValidationRule(), c.fields[i].rule);
        }
    }
    // Compression is read for text columns only.
    EXPECT_TRUE(schema->FindTable(L"Customers")->FindField(L"Name")->IsCompressed());
    EXPECT_FALSE(schema->FindTable(L"Orders")->FindField(L"OrderID")->IsCompressed());
}

TEST_F(DatabaseSourceTest, IndexesKeysAndRelationsComeWithTheirColumnsAndRules)
{
    BuildEveryKindStore();
    DatabaseSource source;
    source.Settings().Assign(path, L"", L"", L"", L"");
    RecordingProgress progress;
    ASSERT_TRUE(source.Load(progress)) << automation::ToUtf8(source.ErrorText());
    DatabaseSchema& schema = *source.Schema();
    SchemaTable* customers = schema.FindTable(L"Customers");
    SchemaTable* orders = schema.FindTable(L"Orders");
    SchemaTable* notes = schema.FindTable(L"Notes");

    // Indexes: flags and columns, resolved to the owner's fields.
    struct IndexCase {
        SchemaTable* table;
        const wchar_t* name;
        bool primary;
        bool unique;
        int nulls;
        std::vector<std::wstring> columns;
    };
    const IndexCase indexes[] = {
        {customers, L"ByNameCode", false, true, SchemaIndex::kNullsIgnore, {L"Name", L"Code"}},
        {orders, L"ByAmount", false, false, SchemaIndex::kNullsDisallow, {L"Amount"}},
    };
    for (const IndexCase& c : indexes) {
        SCOPED_TRACE(automation::ToUtf8(c.name));
        const SchemaIndex* found = nullptr;
        for (const auto& index : c.table->Indexes())
            if (index->Name() == c.name)
                found = index.get();
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->IsPrimaryKey(), c.primary);
        EXPECT_EQ(found->IsUnique(), c.unique);
        EXPECT_EQ(found->Nulls(), c.nulls);
        std::vector<std::wstring> columns;
        for (const SchemaField* field : found->Columns()) {
            EXPECT_EQ(field->Owner(), c.table);
            columns.emplace_back(field->Name());
        }
        EXPECT_EQ(columns, c.columns);
    }

    // Keys: ADOX's primary and unique keys first, then the relations from DAO.
    struct KeyCase {
        const wchar_t* name;
        int type;
        const wchar_t* related;
        int deleteRule;
        int updateRule;
        bool notEnforced;
        std::vector<SchemaKey::ColumnPair> columns;
    };
    struct TableKeys {
        SchemaTable* table;
        std::vector<KeyCase> keys;
    };
    // clang-format off
    const TableKeys tableKeys[] = {
        {customers,
         {{L"PK_Customers", SchemaKey::kPrimary, L"", 0, 0, false, {{L"CustomerID", L""}}},
          {L"UQ_Email", SchemaKey::kUnique, L"", 0, 0, false, {{L"Email", L""}}}}},
        {orders,
         {{L"PK_Orders", SchemaKey::kPrimary, L"", 0, 0, false, {{L"OrderID", L""}}},
          {L"FK_OrdersCustomers", SchemaKey::kForeign, L"Customers", SchemaKey::kRuleCascade,
           SchemaKey::kRuleCascade, false, {{L"CustomerID", L"CustomerID"}}}}},
        {schema.FindTable(L"Lines"),
         {{L"PK_Lines", SchemaKey::kPrimary, L"", 0, 0, false, {{L"LineID", L""}}},
          {L"FK_LinesOrders", SchemaKey::kForeign, L"Orders", SchemaKey::kRuleSetNull,
           SchemaKey::kRuleNone, false, {{L"OrderRef", L"OrderID"}}}}},
        // The hidden table is not in the schema: the key to it keeps no related table.
        {notes,
         {{L"PK_Notes", SchemaKey::kPrimary, L"", 0, 0, false, {{L"NoteID", L""}}},
          {L"FK_NotesSecret", SchemaKey::kForeign, L"Secret", 0, 0, false, {{L"SecretID", L"ID"}}},
          {L"RelNotesOrders", SchemaKey::kForeign, L"Orders", 0, 0, true,
           {{L"OrderID", L"OrderID"}}}}},
    };
    // clang-format on
    for (const TableKeys& t : tableKeys) {
        SCOPED_TRACE(automation::ToUtf8(t.table->Name()));
        ASSERT_EQ(t.table->Keys().size(), t.keys.size());
        for (size_t i = 0; i < t.keys.size(); ++i) {
            const KeyCase& c = t.keys[i];
            const SchemaKey& key = *t.table->Keys()[i];
            SCOPED_TRACE(automation::ToUtf8(c.name));
            EXPECT_EQ(key.Name(), c.name);
            EXPECT_EQ(key.KeyType(), c.type);
            EXPECT_EQ(key.RelatedTableName(), c.related);
            EXPECT_EQ(key.RelatedTable(), *c.related ? schema.FindTable(c.related) : nullptr);
            EXPECT_EQ(key.DeleteRule(), c.deleteRule);
            EXPECT_EQ(key.UpdateRule(), c.updateRule);
            EXPECT_EQ(key.IsNotEnforced(), c.notEnforced);
            EXPECT_EQ(key.Columns(), c.columns);
        }
    }

    // Check constraints, with their clauses, on their tables.
    ASSERT_EQ(customers->CheckConstraints().size(), 1u);
    EXPECT_EQ(customers->CheckConstraints()[0]->Name(), L"CK_Balance");
    EXPECT_EQ(customers->CheckConstraints()[0]->TableName(), L"Customers");
    EXPECT_EQ(customers->CheckConstraints()[0]->Clause(), L"Balance >= 0");
    ASSERT_EQ(orders->CheckConstraints().size(), 1u);
    EXPECT_EQ(orders->CheckConstraints()[0]->Name(), L"CK_Qty");
    EXPECT_EQ(orders->CheckConstraints()[0]->Clause(), L"Qty > 0");
    EXPECT_TRUE(notes->CheckConstraints().empty());

    // Linked tables, and the data source of a pass-through link.
    ASSERT_EQ(schema.LinkedTables().size(), 2u);
    const LinkedTable& link = *schema.LinkedTables()[0];
    EXPECT_EQ(link.Name(), L"Linked Customers");
    EXPECT_EQ(link.DataSource(), L"/elsewhere/other.mdb");
    EXPECT_EQ(link.RemoteTableName(), L"Customers");
    EXPECT_EQ(dynamic_cast<const PassThroughTable*>(&link), nullptr);
    const LinkedTable& remote = *schema.LinkedTables()[1];
    EXPECT_EQ(remote.Name(), L"Remote Items");
    EXPECT_NE(dynamic_cast<const PassThroughTable*>(&remote), nullptr);
    EXPECT_EQ(remote.DataSource(), L"ODBC;DSN=Items;UID=me");
    EXPECT_EQ(remote.RemoteTableName(), L"dbo.Items");
    EXPECT_EQ(schema.FindTable(L"Linked Customers"), nullptr);

    // Views and procedures with their parameters.
    ASSERT_EQ(schema.Views().size(), 1u);
    EXPECT_EQ(schema.Views()[0]->Name(), L"ActiveCustomers");
    EXPECT_EQ(schema.Views()[0]->SqlText(), L"SELECT Name FROM Customers WHERE Active = TRUE");
    ASSERT_EQ(schema.Procedures().size(), 1u);
    const ParameterQuery& procedure = *schema.Procedures()[0];
    EXPECT_EQ(procedure.Name(), L"OrdersSince");
    EXPECT_NE(procedure.SqlText().find(L"SELECT OrderID FROM Orders WHERE Amount >= minAmount"),
              std::wstring::npos);
    ASSERT_EQ(procedure.Parameters().size(), 2u);
    EXPECT_EQ(procedure.Parameters()[0]->Name(), L"since");
    EXPECT_EQ(procedure.Parameters()[0]->Type(), DataTypeTable::FindByAdoType(adodb::adDate));
    EXPECT_EQ(procedure.Parameters()[1]->Name(), L"minAmount");
    EXPECT_EQ(procedure.Parameters()[1]->Type(), DataTypeTable::FindByAdoType(adodb::adDouble));

    // One step per catalog table (tables, links and views alike), then the check constraints,
    // the views and the procedures; the total leaves one more for the relations.
    ASSERT_EQ(progress.totals.size(), 1u);
    const int catalogTables = 5 + 2 + 1;
    EXPECT_EQ(progress.totals[0], catalogTables + 4);
    EXPECT_EQ(progress.steps, catalogTables + 3);
    EXPECT_EQ(progress.done, 1);
    EXPECT_EQ(progress.advanced, 0);
}

TEST_F(DatabaseSourceTest, LookupsFoldCaseAlikeForTablesAndFields)
{
    CreateStore(path, {L"CREATE TABLE [Ärger] ([Größe] LONG, [ΣΊΣΥΦΟΣ] TEXT(5))"})->Close();
    DatabaseSource source;
    source.Settings().path = path;
    FakeProgress progress;
    ASSERT_TRUE(source.Load(progress)) << automation::ToUtf8(source.ErrorText());
    struct Case {
        const wchar_t* table;
        const wchar_t* field;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"ärger", L"GRÖSSE", nullptr},  // no fold maps one letter to two
        {L"ÄRGER", L"größe", L"Größe"},
        {L"äRGER", L"σίσυφος", L"ΣΊΣΥΦΟΣ"},
        {L"ärger", L"σίσυφοσ", L"ΣΊΣΥΦΟΣ"},  // final and medial sigma meet
    };
    for (const Case& c : cases) {
        SchemaTable* table = source.Schema()->FindTable(c.table);
        ASSERT_NE(table, nullptr) << automation::ToUtf8(c.table);
        SchemaField* field = table->FindField(c.field);
        if (c.expected == nullptr) {
            EXPECT_EQ(field, nullptr) << automation::ToUtf8(c.field);
        } else {
            ASSERT_NE(field, nullptr) << automation::ToUtf8(c.field);
            EXPECT_EQ(field->Name(), c.expected);
        }
    }
}

TEST_F(DatabaseSourceTest, EmptyDatabaseLoadsAsSchemaWithoutTables)
{
    CreateStore(path, {})->Close();
    DatabaseSource source;
    source.Settings().path = path;
    RecordingProgress progress;
    ASSERT_TRUE(source.Load(progress)) << automation::ToUtf8(source.ErrorText());
    EXPECT_TRUE(source.Schema()->Tables().empty());
    EXPECT_EQ(progress.totals, std::vector<int>{4});
    EXPECT_EQ(progress.steps, 3);
    EXPECT_EQ(progress.done, 1);
}

TEST_F(DatabaseSourceTest, SecondLoadReplacesTheFirstSchema)
{
    CreateStore(path, {L"CREATE TABLE A (x LONG)"})->Close();
    DatabaseSource source;
    source.Settings().path = path;
    FakeProgress progress;
    ASSERT_TRUE(source.Load(progress));
    const DatabaseSchema* first = source.Schema();
    ASSERT_NE(first->FindTable(L"a"), nullptr);

    CreateStore(Wide(dir / "second.mdb"), {L"CREATE TABLE B (y LONG)"})->Close();
    source.Settings().path = Wide(dir / "second.mdb");
    ASSERT_TRUE(source.Load(progress));
    EXPECT_EQ(source.Schema()->FindTable(L"a"), nullptr);
    EXPECT_NE(source.Schema()->FindTable(L"b"), nullptr);
    EXPECT_EQ(source.Schema()->GetName(), Wide(dir / "second.mdb"));

    // A failed load keeps no schema of an earlier one.
    source.Settings().path = Wide(dir / "missing.mdb");
    EXPECT_FALSE(source.Load(progress));
    EXPECT_EQ(source.Schema(), nullptr);
    // And a good load after a failed one clears the error.
    source.Settings().path = path;
    EXPECT_TRUE(source.Load(progress));
    EXPECT_FALSE(source.Failed());
    EXPECT_EQ(source.ErrorText(), L"");
}

TEST_F(DatabaseSourceTest, FailedOpensReportThePathAndTheProviderError)
{
    const std::wstring locked = Wide(dir / "locked.mdb");
    const std::wstring secret = Wide(dir / "secret.mdb");
    CreateStore(locked, {L"CREATE TABLE A (x LONG)"})->Close();
    CreateStore(secret, {L"CREATE TABLE A (x LONG)"}, L"right")->Close();

    // Somebody else holds the file exclusively, as the comparison's own connections do.
    ConnectionSettings holderSettings;
    holderSettings.path = locked;
    DbConnection holder(&holderSettings);
    holder.Open();

    struct Case {
        const char* what;
        std::wstring path;
        const wchar_t* password;
    };
    const Case cases[] = {
        {"missing file", Wide(dir / "nowhere.mdb"), L""},
        {"no file named", L"", L""},
        {"wrong password", secret, L"wrong"},
        {"no password", secret, L""},
        {"locked file", locked, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DatabaseSource source;
        source.Settings().Assign(c.path, L"", c.password, L"", L"");
        RecordingProgress progress;
        static_cast<WizardTask&>(source).Run(progress);
        EXPECT_TRUE(source.Failed());
        EXPECT_EQ(source.Schema(), nullptr);
        // The path, LF, then the COM error text: CR LF "Error: " and the description.
        const std::wstring head = c.path + L"\n\r\nError: ";
        const std::wstring text = source.ErrorText();
        ASSERT_GT(text.size(), head.size()) << automation::ToUtf8(text);
        EXPECT_EQ(text.substr(0, head.size()), head) << automation::ToUtf8(text);
        EXPECT_TRUE(progress.totals.empty());
        EXPECT_EQ(progress.done, 0);
    }

    // The right password opens it; the lock goes with its holder.
    holder.Close();
    for (const auto& [file, password] : {std::pair{secret, L"right"}, std::pair{locked, L""}}) {
        DatabaseSource source;
        source.Settings().Assign(file, L"", password, L"", L"");
        FakeProgress progress;
        EXPECT_TRUE(source.Load(progress)) << automation::ToUtf8(source.ErrorText());
    }
}

TEST_F(DatabaseSourceTest, RelationsThatCannotBeOpenedAddThePermissionsHint)
{
    CreateStore(path, {L"CREATE TABLE A (x LONG)"})->Close();
    // No DAO engine: the DAO open fails after the ADO part has been read.
    std::vector<std::wstring> engines;
    for (const wchar_t* engine : {L"DAO.DBEngine.120", L"DAO.DBEngine.36", L"DAO.DBEngine.35"}) {
        if (automation::IsClassRegistered(engine)) {
            automation::UnregisterClass(engine);
            engines.emplace_back(engine);
        }
    }
    DatabaseSource source;
    source.Settings().path = path;
    FakeProgress progress;
    EXPECT_FALSE(source.Load(progress));
    for (const std::wstring& engine : engines)
        automation::RegisterClass(engine, [] { return std::make_shared<dao::DBEngine>(); });
    EXPECT_TRUE(source.Failed());
    EXPECT_EQ(source.Schema(), nullptr);
    EXPECT_EQ(source.ErrorText(),
              path +
                  L"\nCan't initialize DAO.\nThe application must have permissions to read/write "
                  L"the database file.");
    // The reader let go of the file: it opens exclusively again.
    ConnectionSettings settings;
    settings.path = path;
    DbConnection exclusive(&settings);
    EXPECT_NO_THROW(exclusive.Open());
}

}  // namespace
