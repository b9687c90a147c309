// A whole comparison of two native stores through the provider's ADO objects.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "compare/ado_record_connection.h"
#include "compare/comparison_options.h"
#include "compare/data_compare_model.h"
#include "comparison_fixture.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "support/temp_dir.h"

namespace {

using namespace testsupport;

std::wstring JetString(const std::wstring& path)
{
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;
}

void CreateStore(const std::wstring& path, const std::vector<std::wstring>& statements)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog->Create(JetString(path))->Close();
    auto connection = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    connection->Open(JetString(path));
    for (const auto& statement : statements)
        connection->Execute(statement, nullptr,
                            provider::adodb::adCmdText | provider::adodb::adExecuteNoRecords);
    connection->Close();
}

class NativeStoreComparisonTest : public testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        settings1.path = automation::FromUtf8((dir / "one.mdb").string());
        settings2.path = automation::FromUtf8((dir / "two.mdb").string());
        const std::wstring create =
            L"CREATE TABLE T (id LONG PRIMARY KEY, name TEXT(50), amount CURRENCY, d DATETIME)";
        const std::wstring createK = L"CREATE TABLE K (k TEXT(10), v LONG)";
        CreateStore(settings1.path,
                    {create, createK, L"INSERT INTO T VALUES (1, 'a', 1.0001, #1/2/2020#)",
                     L"INSERT INTO T VALUES (2, 'b', 2, #1/2/2020#)",
                     L"INSERT INTO T VALUES (3, 'c', 3, #1/2/2020#)",
                     L"INSERT INTO T VALUES (5, 'x', 5, #12/31/1890 6:00:00 PM#)",
                     L"INSERT INTO K VALUES (NULL, 1)", L"INSERT INTO K VALUES ('', 2)",
                     L"INSERT INTO K VALUES ('a', 3)", L"INSERT INTO K VALUES ('B', 4)"});
        CreateStore(
            settings2.path,
            {create, createK, L"INSERT INTO T VALUES (1, 'a', 1.0002, #1/2/2020#)",
             L"INSERT INTO T VALUES (2, 'b', 2, #1/2/2020#)",
             L"INSERT INTO T VALUES (4, 'd', 4, #1/2/2020#)",
             L"INSERT INTO T VALUES (5, 'x', 5, #12/31/1890 6:00:00 PM#)",
             L"INSERT INTO T VALUES (6, 'f', 6, NULL)", L"INSERT INTO T VALUES (7, 'g', 7, NULL)",
             L"INSERT INTO K VALUES ('b', 5)", L"INSERT INTO K VALUES ('', 2)",
             L"INSERT INTO K VALUES ('a', 3)", L"INSERT INTO K VALUES ('B', 4)"});
        for (DatabaseSchema* schema : {&h.schema1, &h.schema2}) {
            AddTable(*schema, L"T", {L"id", L"name", L"amount", L"d"}, {L"id"});
            AddTable(*schema, L"K", {L"k", L"v"});
        }
        h.UseContext(std::make_unique<ComparisonContext>());
        h.Pairs().GetPair(1)->Fields().GetPair(0)->SetKey(true);
    }

    void Run()
    {
        h.context->Source1().Settings() = settings1;
        h.context->Source2().Settings() = settings2;
        h.Run();
        ASSERT_FALSE(h.context->HasError()) << automation::ToUtf8(h.context->ErrorText());
    }

    TempDir dir;
    ConnectionSettings settings1, settings2;
    ComparisonHarness h;
};

TEST_F(NativeStoreComparisonTest, MergesInTheProvidersOrderAndRereadsRowsByPosition)
{
    Run();
    // T: 1 modified in the fourth decimal of its money, 2 and 5 equal, 3 only in
    // Database1, 4 only in Database2, 6 and 7 the Database2 rest.
    EXPECT_EQ(h.StoredRows(0), (std::vector<StoredRow>{{'M', 1, 1, {2}},
                                                       {'=', 2, 0, {}},
                                                       {'1', 3, 0, {}},
                                                       {'2', 0, 3, {}},
                                                       {'=', 4, 0, {}},
                                                       {'2', 0, 5, {}},
                                                       {'2', 0, 6, {}}}));
    EXPECT_EQ(h.Counts(0), (std::array<int, 4>{2, 1, 3, 1}));
    // K, keyed by text: NULL first, then code-point order ('' < 'B' < 'a' < 'b').
    EXPECT_EQ(
        h.StoredRows(1),
        (std::vector<StoredRow>{
            {'1', 1, 0, {}}, {'=', 2, 0, {}}, {'=', 3, 0, {}}, {'=', 4, 0, {}}, {'2', 0, 4, {}}}));

    DataCompareModel* model = h.context->Model();
    model->SetCategoryFilter(true, true, true, true);
    RecordRowSource* source = model->GetRecordSource(0);
    source->Refresh();
    ASSERT_EQ(source->LineCount(), 8);
    const RecordLines lines = source->GetLines(0, 8);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0]->cells[2].text, L"1.0001");
    EXPECT_TRUE(lines[0]->cells[2].changed);
    EXPECT_EQ(lines[1]->cells[2].text, L"1.0002");
    EXPECT_EQ(lines[4]->cells[1].text, L"d");
    EXPECT_EQ(lines[7]->cells[1].text, L"g");
    EXPECT_EQ(lines[7]->cells[3].text, L"NULL");
}

TEST_F(NativeStoreComparisonTest, ClosingTheConnectionsReleasesTheDatabases)
{
    Run();
    auto other = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    EXPECT_THROW(other->Open(JetString(settings1.path)), automation::ComError);
    h.context->CloseConnections();
    EXPECT_NO_THROW(other->Open(JetString(settings1.path)));
    other->Close();
}

TEST_F(NativeStoreComparisonTest, AMissingDatabaseEndsTheRunWithTheOpenMessage)
{
    settings2.path += L".missing";
    h.context->Source1().Settings() = settings1;
    h.context->Source2().Settings() = settings2;
    h.Run();
    EXPECT_TRUE(h.context->HasError());
    EXPECT_EQ(h.context->ErrorText().rfind(L"Can't open database '" + settings2.path + L"'\n", 0),
              0u);
}

// The merge reads the provider's rows in a compact form and compares that, not the automation
// values the views show. Whatever the values, the outcome must be the one the values give: each
// case is compared once as the comparison reads it and once through a connection that offers
// only automation values, with both settings of "nulleqemptystr".
struct CompactFormCase {
    const char* what;
    std::wstring type1, type2;         // of both columns of T(k, v) on each side
    std::vector<std::wstring> values;  // SQL literals
    // Raw SQLite statements run on each side's file afterwards: values no Access
    // program would store.
    std::vector<std::string> raw1, raw2;
};

void PrintTo(const CompactFormCase& c, std::ostream* os)
{
    *os << c.what;
}

// Hides the compact forms of a provider cursor, so that the merge compares values.
class ValuesOnlyCursor : public RecordCursor {
public:
    explicit ValuesOnlyCursor(std::unique_ptr<RecordCursor> cursor) : cursor_(std::move(cursor)) {}
    void Open() override { cursor_->Open(); }
    void Close() override { cursor_->Close(); }
    bool IsEof() override { return cursor_->IsEof(); }
    int AbsolutePosition() override { return cursor_->AbsolutePosition(); }
    void SetAbsolutePosition(int position) override { cursor_->SetAbsolutePosition(position); }
    int FieldCount() override { return cursor_->FieldCount(); }
    const automation::Variant& FieldValue(int index) override { return cursor_->FieldValue(index); }
    void MoveNext() override { cursor_->MoveNext(); }

private:
    std::unique_ptr<RecordCursor> cursor_;
};

class ValuesOnlyConnection : public AdoRecordConnection {
public:
    using AdoRecordConnection::AdoRecordConnection;
    std::unique_ptr<RecordCursor> CreateCursor(const std::wstring& statement) override
    {
        return std::make_unique<ValuesOnlyCursor>(AdoRecordConnection::CreateCursor(statement));
    }
};

void RunRaw(const std::wstring& path, const std::vector<std::string>& statements)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(automation::ToUtf8(path).c_str(), &db), SQLITE_OK);
    for (const std::string& statement : statements)
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << statement << ": " << sqlite3_errmsg(db);
    sqlite3_close(db);
}

struct Outcome {
    std::vector<StoredRow> rows;
    std::array<int, 4> counts;
};

// Table T of both stores compared as the comparison reads it, or, with `valuesOnly`,
// through a connection that offers only automation values.
Outcome CompareTables(const ConnectionSettings& settings1, const ConnectionSettings& settings2,
                      const std::vector<std::wstring>& fields,
                      const std::vector<std::wstring>& keys, bool valuesOnly)
{
    ComparisonHarness h;
    for (DatabaseSchema* schema : {&h.schema1, &h.schema2})
        AddTable(*schema, L"T", fields, keys);
    if (valuesOnly) {
        h.UseContext(std::make_unique<ComparisonContext>(
            [&](int side) -> std::unique_ptr<RecordConnection> {
                return std::make_unique<ValuesOnlyConnection>(side == 1 ? settings1 : settings2);
            }));
    } else {
        h.UseContext(std::make_unique<ComparisonContext>());
    }
    h.context->Source1().Settings() = settings1;
    h.context->Source2().Settings() = settings2;
    h.Run();
    EXPECT_FALSE(h.context->HasError()) << automation::ToUtf8(h.context->ErrorText());
    Outcome outcome{h.StoredRows(0), h.Counts(0)};
    h.context->CloseConnections();
    return outcome;
}

class CompactFormTest : public testing::TestWithParam<CompactFormCase> {
protected:
    Outcome Compare(bool valuesOnly)
    {
        return CompareTables(settings1, settings2, {L"k", L"v"}, {L"k"}, valuesOnly);
    }

    TempDir dir;
    ConnectionSettings settings1, settings2;
};

TEST_P(CompactFormTest, TheMergeDecidesAsTheValuesDo)
{
    const CompactFormCase& c = GetParam();
    provider::RegisterProviderClasses();
    settings1.path = automation::FromUtf8((dir / "one.mdb").string());
    settings2.path = automation::FromUtf8((dir / "two.mdb").string());
    // Database1 lacks the last value as a key, Database2 the first; the values of
    // Database2 are shifted by one, so that every pair of values meets as keys and
    // as compared fields.
    const size_t n = c.values.size();
    std::vector<std::wstring> rows1{L"CREATE TABLE T (k " + c.type1 + L", v " + c.type1 + L")"};
    std::vector<std::wstring> rows2{L"CREATE TABLE T (k " + c.type2 + L", v " + c.type2 + L")"};
    for (size_t i = 0; i + 1 < n; ++i)
        rows1.push_back(L"INSERT INTO T VALUES (" + c.values[i] + L", " + c.values[i] + L")");
    for (size_t i = 1; i < n; ++i)
        rows2.push_back(L"INSERT INTO T VALUES (" + c.values[i] + L", " + c.values[(i + 1) % n] +
                        L")");
    for (size_t i = 0; i < n; ++i)  // and each value against itself
        rows2.push_back(L"INSERT INTO T VALUES (" + c.values[i] + L", " + c.values[i] + L")");
    CreateStore(settings1.path, rows1);
    CreateStore(settings2.path, rows2);
    RunRaw(settings1.path, c.raw1);
    RunRaw(settings2.path, c.raw2);

    for (bool nullEqualsEmpty : {false, true}) {
        ASSERT_TRUE(ComparisonOptions::SaveNullEqualsEmpty(nullEqualsEmpty));
        const Outcome compact = Compare(false);
        const Outcome values = Compare(true);
        EXPECT_EQ(compact.rows, values.rows) << c.what << ", nulleqemptystr " << nullEqualsEmpty;
        EXPECT_EQ(compact.counts, values.counts) << c.what;
        EXPECT_GT(compact.counts[0] + compact.counts[3], 0) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompactFormTest,
    testing::Values(
        CompactFormCase{"text by code point, case and NULL against empty",
                        L"TEXT(20)",
                        L"TEXT(20)",
                        {L"'a'", L"'A'", L"'ab'", L"'a b'", L"''", L"NULL", L"'\u00e9'",
                         L"'\uff5a'", L"'\U0001F600'", L"'z'"},
                        {},
                        {}},
        CompactFormCase{"texts of one length that differ in one character",
                        L"TEXT(20)",
                        L"TEXT(20)",
                        {L"'abc'", L"'abd'", L"'xbc'", L"'ABC'", L"'abc '"},
                        {},
                        {}},
        CompactFormCase{"text that is not well-formed UTF-8 or not text",
                        L"TEXT(20)",
                        L"TEXT(20)",
                        {L"'x'", L"'y'", L"'5'", L"''"},
                        {"UPDATE T SET v = CAST(X'FF' AS TEXT) WHERE k = 'x'",
                         "UPDATE T SET v = CAST(X'C3' AS TEXT) WHERE k = 'y'",
                         "UPDATE T SET v = 5 WHERE k = '5'"},
                        {"UPDATE T SET v = CAST(X'FE' AS TEXT) WHERE k = 'x'",
                         "UPDATE T SET v = CAST(X'C3A9' AS TEXT) WHERE k = 'y'",
                         "UPDATE T SET v = CAST(X'EDA080' AS TEXT) WHERE k = ''"}},
        CompactFormCase{"integers of one type and of two",
                        L"LONG",
                        L"SHORT",
                        {L"-5", L"0", L"7", L"300", L"NULL"},
                        {},
                        {}},
        CompactFormCase{"bytes and longs",
                        L"BYTE",
                        L"BYTE",
                        {L"0", L"1", L"255", L"NULL"},
                        {"UPDATE T SET v = 256 WHERE k = 0"},
                        {"UPDATE T SET v = 512 WHERE k = 0"}},
        CompactFormCase{"doubles, singles and a long against a double",
                        L"DOUBLE",
                        L"SINGLE",
                        {L"-1.5", L"0", L"0.1", L"1E+30", L"NULL"},
                        {},
                        {}},
        CompactFormCase{"doubles and numbers stored as text",
                        L"DOUBLE",
                        L"DOUBLE",
                        {L"-1.5", L"0", L"0.1", L"2"},
                        {"UPDATE T SET v = '2' WHERE k = 2"},
                        {"UPDATE T SET v = -0.0 WHERE k = 0"}},
        CompactFormCase{
            "money", L"CURRENCY", L"CURRENCY", {L"1.0001", L"1.0002", L"-3", L"NULL"}, {}, {}},
        CompactFormCase{"dates before and after the epoch",
                        L"DATETIME",
                        L"DATETIME",
                        {L"#12/31/1890 6:00:00 AM#", L"#12/31/1890 6:00:00 PM#", L"#12/29/1899#",
                         L"#12/29/1899 6:00:00 PM#", L"#1/2/2020#", L"NULL"},
                        {},
                        {}},
        CompactFormCase{"yes/no against yes/no and against a long",
                        L"YESNO",
                        L"LONG",
                        {L"TRUE", L"FALSE", L"0", L"-1"},
                        {},
                        {}},
        CompactFormCase{"yes/no", L"YESNO", L"YESNO", {L"TRUE", L"FALSE"}, {}, {}}));


// A long read goes on by stretches on several threads once it has read some thousand rows
// (Cursor::kScanAfter). Whatever the key, the outcome and every record's position must be those
// of the one statement the values-only connection reads: keys that bound the stretches, keys with
// Nulls and repeats, which bounds cannot express, and keys of two fields.
struct StretchReadCase {
    const char* what;
    std::vector<std::wstring> create;  // the table T and its index
    std::vector<std::wstring> fields, keys;
    std::string rows;  // the SELECT of the rows of n = 1..N, from a table n(i)
    std::vector<std::wstring> after = {};  // run through the provider once the rows are in
    std::string change = {};                // more changes of Database2
};

void PrintTo(const StretchReadCase& c, std::ostream* os)
{
    *os << c.what;
}

class StretchReadTest : public testing::TestWithParam<StretchReadCase> {};

TEST_P(StretchReadTest, LongReadsDecideAsOneStatementDoes)
{
    const StretchReadCase& c = GetParam();
    provider::RegisterProviderClasses();
    TempDir dir;
    ConnectionSettings settings1, settings2;
    settings1.path = automation::FromUtf8((dir / "one.mdb").string());
    settings2.path = automation::FromUtf8((dir / "two.mdb").string());
    CreateStore(settings1.path, c.create);
    CreateStore(settings2.path, c.create);
    // 2% of the rows only in Database1, 2% only in Database2, 5% modified (column v).
    const std::string fill =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
        "INSERT INTO T " + c.rows;
    RunRaw(settings1.path, {fill + " WHERE i % 50 <> 2"});
    RunRaw(settings2.path, {fill + " WHERE i % 50 <> 1", "UPDATE T SET v = v + 1 WHERE rowid % 20 = 3"});
    for (const std::wstring& path : {settings1.path, settings2.path}) {
        auto connection =
            automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
        connection->Open(JetString(path));
        for (const auto& statement : c.after)
            connection->Execute(statement, nullptr,
                                provider::adodb::adCmdText | provider::adodb::adExecuteNoRecords);
        connection->Close();
    }
    if (!c.change.empty())
        RunRaw(settings2.path, {c.change});

    ASSERT_TRUE(ComparisonOptions::SaveNullEqualsEmpty(false));
    const Outcome stretches = CompareTables(settings1, settings2, c.fields, c.keys, false);
    const Outcome values = CompareTables(settings1, settings2, c.fields, c.keys, true);
    EXPECT_EQ(stretches.counts, values.counts);
    EXPECT_GT(stretches.counts[3], 1000) << "the modified rows";
    ASSERT_EQ(stretches.rows.size(), values.rows.size());
    for (size_t i = 0; i < values.rows.size(); ++i)
        ASSERT_EQ(stretches.rows[i], values.rows[i]) << "item " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StretchReadTest,
    testing::Values(
        StretchReadCase{"a key of one long",
                        {L"CREATE TABLE T (k LONG PRIMARY KEY, v LONG, t TEXT(20))"},
                        {L"k", L"v", L"t"},
                        {L"k"},
                        "SELECT (i * 7919) % 30011, i, 'row ' || i FROM n"},
        // Read from the table's pages past the first few thousand rows: texts over several
        // pages, bytes that are not UTF-8, and a field added after the rows, which they do not
        // hold in their records.
        StretchReadCase{"a key kept as the rowid, long and broken texts, a field added later",
                        {L"CREATE TABLE T (k LONG PRIMARY KEY, v LONG, t MEMO)"},
                        {L"k", L"v", L"t", L"w"},
                        {L"k"},
                        "SELECT i, i, CASE WHEN i % 97 = 0 THEN CAST(x'41ff42' AS TEXT) "
                        "WHEN i % 13 = 0 THEN substr(hex(zeroblob(3000)), 1, 5000 + i % 100) "
                        "ELSE 'row ' || i END FROM n",
                        {L"ALTER TABLE T ADD COLUMN w TEXT(10)"},
                        "UPDATE T SET t = t || 'x' WHERE rowid % 20 = 9; "
                        "UPDATE T SET w = 'w' WHERE rowid % 40 = 11"},
        StretchReadCase{"text keys with Nulls and repeats",
                        {L"CREATE TABLE T (k TEXT(10), v LONG)", L"CREATE INDEX ik ON T (k)"},
                        {L"k", L"v"},
                        {L"k"},
                        "SELECT CASE WHEN i % 7 = 0 THEN NULL ELSE 'k' || (i % 3000) END, i FROM n"},
        StretchReadCase{"two fields, the second with Nulls",
                        {L"CREATE TABLE T (a LONG, b TEXT(10), v LONG)",
                         L"CREATE INDEX iab ON T (a, b)"},
                        {L"a", L"b", L"v"},
                        {L"a", L"b"},
                        "SELECT i / 4, CASE WHEN i % 4 = 0 THEN NULL ELSE 'b' || (i % 4) END, i "
                        "FROM n"}));

}  // namespace

// Key fields of two types that the comparison's value rule orders alike pair up exactly: every
// row that both sides hold is equal, whatever each side's type.
struct KeyTypePairCase {
    std::wstring type1, type2;
    std::vector<std::wstring> values;  // SQL literals, held by both sides
};

class KeyTypePairTest : public testing::TestWithParam<KeyTypePairCase> {};

TEST_P(KeyTypePairTest, RowsOnBothSidesAreEqualWhateverTheKeyTypes)
{
    const KeyTypePairCase& c = GetParam();
    provider::RegisterProviderClasses();
    TempDir dir;
    ConnectionSettings settings1, settings2;
    settings1.path = automation::FromUtf8((dir / "one.mdb").string());
    settings2.path = automation::FromUtf8((dir / "two.mdb").string());
    std::vector<std::wstring> rows1{L"CREATE TABLE T (k " + c.type1 + L", v LONG)"};
    std::vector<std::wstring> rows2{L"CREATE TABLE T (k " + c.type2 + L", v LONG)"};
    for (size_t i = 0; i < c.values.size(); ++i) {
        const std::wstring row =
            L"INSERT INTO T VALUES (" + c.values[i] + L", " + std::to_wstring(i) + L")";
        rows1.push_back(row);
        rows2.push_back(row);
    }
    // One row more on each side, so that both sides also have rows of their own.
    rows1.push_back(L"INSERT INTO T VALUES (NULL, 100)");
    CreateStore(settings1.path, rows1);
    CreateStore(settings2.path, rows2);
    const Outcome outcome = CompareTables(settings1, settings2, {L"k", L"v"}, {L"k"}, false);
    const int n = static_cast<int>(c.values.size());
    EXPECT_EQ(outcome.counts, (std::array<int, 4>{n, 1, 0, 0}))
        << automation::ToUtf8(c.type1) << " against " << automation::ToUtf8(c.type2);
}

void PrintTo(const KeyTypePairCase& c, std::ostream* os)
{
    *os << automation::ToUtf8(c.type1) << " against " << automation::ToUtf8(c.type2);
}

const std::vector<std::wstring> kNumbers = {L"1", L"2", L"10", L"100", L"-5", L"0"};
const std::vector<std::wstring> kFractions = {L"1", L"2", L"10", L"100", L"-5", L"0.5", L"-0.25"};
const std::vector<std::wstring> kTexts = {L"'1'", L"'2'", L"'10'", L"'a'",
                                          L"'B'", L"''",  L"'ab'", L"'\u00e9'"};

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyTypePairTest,
    testing::Values(KeyTypePairCase{L"LONG", L"SHORT", kNumbers},
                    KeyTypePairCase{L"LONG", L"DOUBLE", kNumbers},
                    KeyTypePairCase{L"BYTE", L"LONG", {L"0", L"1", L"2", L"10", L"100", L"255"}},
                    KeyTypePairCase{L"SINGLE", L"DOUBLE", kFractions},
                    // Fractions a single holds only approximately pair at its precision.
                    KeyTypePairCase{L"SINGLE",
                                    L"DOUBLE",
                                    {L"0.1", L"1.1", L"-3.14", L"1E+30", L"123456.7", L"2"}},
                    KeyTypePairCase{L"SINGLE", L"DECIMAL(12,4)", {L"0.1", L"1.1", L"-3.14", L"2"}},
                    KeyTypePairCase{L"CURRENCY", L"SINGLE", {L"0.1", L"1.1", L"-3.14", L"2"}},
                    KeyTypePairCase{L"CURRENCY", L"LONG", kNumbers},
                    KeyTypePairCase{L"CURRENCY", L"DOUBLE", kFractions},
                    KeyTypePairCase{L"DECIMAL(10,2)", L"LONG", kNumbers},
                    KeyTypePairCase{L"DECIMAL(10,2)", L"DOUBLE", kFractions},
                    KeyTypePairCase{L"DECIMAL(12,4)", L"CURRENCY", kFractions},
                    KeyTypePairCase{L"DECIMAL(10,2)", L"SHORT", kNumbers},
                    KeyTypePairCase{L"TEXT(10)", L"TEXT(255)", kTexts},
                    KeyTypePairCase{L"MEMO", L"TEXT(50)", kTexts}));

// Rows that share a key value arrive as neighbours on their side, whether the merge reads
// compact row images or automation values: the first such value of each side is noted on the
// table's result.
TEST(DuplicateKeyNoteTest, TheFirstRepeatedKeyOfEachSideIsNoted)
{
    provider::RegisterProviderClasses();
    TempDir dir;
    ConnectionSettings settings1, settings2;
    settings1.path = automation::FromUtf8((dir / "one.mdb").string());
    settings2.path = automation::FromUtf8((dir / "two.mdb").string());
    CreateStore(
        settings1.path,
        {L"CREATE TABLE T (k TEXT(10), n LONG, v LONG)", L"INSERT INTO T VALUES ('a', 1, 1)",
         L"INSERT INTO T VALUES ('b', 1, 2)", L"INSERT INTO T VALUES ('b', 1, 3)",
         L"INSERT INTO T VALUES ('c', 2, 4)", L"INSERT INTO T VALUES ('c', 2, 5)"});
    CreateStore(
        settings2.path,
        {L"CREATE TABLE T (k TEXT(10), n LONG, v LONG)", L"INSERT INTO T VALUES ('a', 1, 1)",
         L"INSERT INTO T VALUES ('a', 2, 1)", L"INSERT INTO T VALUES ('b', 1, 2)",
         L"INSERT INTO T VALUES ('d', 7, 1)", L"INSERT INTO T VALUES ('d', 7, 2)"});
    for (bool valuesOnly : {false, true}) {
        SCOPED_TRACE(valuesOnly ? "values" : "row images");
        ComparisonHarness h;
        for (DatabaseSchema* schema : {&h.schema1, &h.schema2})
            AddTable(*schema, L"T", {L"k", L"n", L"v"});
        if (valuesOnly)
            h.UseContext(std::make_unique<ComparisonContext>(
                [&](int side) -> std::unique_ptr<RecordConnection> {
                    return std::make_unique<ValuesOnlyConnection>(side == 1 ? settings1
                                                                            : settings2);
                }));
        else
            h.UseContext(std::make_unique<ComparisonContext>());
        h.context->Source1().Settings() = settings1;
        h.context->Source2().Settings() = settings2;
        h.Pairs().GetPair(0)->Fields().GetPair(0)->SetKey(true);
        h.Pairs().GetPair(0)->Fields().GetPair(1)->SetKey(true);
        h.Run();
        ASSERT_FALSE(h.context->HasError()) << automation::ToUtf8(h.context->ErrorText());
        const TableResult* result = h.context->Store()->TableResultAt(0);
        ASSERT_TRUE(result);
        ObjectLock lock(result->Mutex());
        // Database2's ('a', 1) and ('a', 2) differ in n: its repeat is ('d', 7), past the
        // end of Database1's rows, whose rows the merge does not read; their keys are
        // grouped in the database instead.
        EXPECT_EQ(result->DuplicateKey(0).value_or(L"-"), L"'b', 1");
        EXPECT_EQ(result->DuplicateKey(1).value_or(L"-"), L"'d', 7");
        EXPECT_TRUE(result->RestKeysChecked());
        EXPECT_FALSE(result->KeyIsUnique());
        h.context->CloseConnections();
    }
}
