// Genuine files that show the reader's hard cases (a definition over two
// pages, deleted columns, index numbers with gaps, loose row counts, calculated
// fields, extended dates, attachments and multi-values, descending keys, GUID
// AutoNumbers) read through ADO and ADOX exactly as an independent reader of
// the format reads them (tests/data/expected/).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "genuine_test_support.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/mdb/mdb_library.h"
#include "platform/provider/mdb/mdb_session.h"
#include "support/expected_access_file.h"

namespace genuinetest {
namespace {

using namespace provider;
using testsupport::ExpectedText;

std::wstring W(const std::string& s)
{
    return automation::FromUtf8(s);
}

// Complex columns hold their content here where the independent reader
// writes the id of their values; that content is compared on its own below.
std::string WithoutComplex(const std::vector<std::string>& values,
                           const std::vector<testsupport::ExpectedColumn>& columns)
{
    std::string line;
    for (size_t i = 0; i < values.size() && i < columns.size(); ++i)
        line += (i ? "\t" : "") + (columns[i].Complex() ? std::string("*") : values[i]);
    return line;
}

TEST(GenuineExpected, EveryRowReadsAsTheIndependentReaderReadsIt)
{
    for (const char* file : testsupport::ExpectedSampleFiles()) {
        SCOPED_TRACE(file);
        const auto expected = testsupport::ReadExpected(file);
        ASSERT_FALSE(expected.tables.empty());
        GenuineCopy copy(file);
        auto c = copy.Open();
        for (const auto& table : expected.tables) {
            SCOPED_TRACE(table.name);
            std::vector<std::string> want, got;
            for (const auto& row : table.rows)
                want.push_back(WithoutComplex(testsupport::SplitTabs(row), table.columns));
            auto rs = Query(c, L"SELECT * FROM [" + W(table.name) + L"]");
            for (; !rs->IsEOF(); rs->MoveNext()) {
                std::vector<std::string> values;
                for (const auto& column : table.columns)
                    values.push_back(
                        column.VersionHistory()
                            ? ""
                            : ExpectedText(rs->Fields()->Item(W(column.name))->Value()));
                got.push_back(WithoutComplex(values, table.columns));
            }
            // The rows found, also where the table records another count.
            EXPECT_EQ(static_cast<long>(got.size()), table.rowsRead);
            std::sort(want.begin(), want.end());
            std::sort(got.begin(), got.end());
            EXPECT_EQ(got, want);
        }
        c->Close();
    }
}

TEST(GenuineExpected, ColumnsIndexesKeysAndAutoNumbersComeThroughTheCatalog)
{
    for (const char* file : testsupport::ExpectedSampleFiles()) {
        SCOPED_TRACE(file);
        const auto expected = testsupport::ReadExpected(file);
        GenuineCopy copy(file);
        auto c = copy.Open();
        auto catalog = std::make_shared<adox::Catalog>();
        catalog->SetActiveConnection(c);
        for (const auto& table : expected.tables) {
            SCOPED_TRACE(table.name);
            auto t = catalog->Tables()->Item(W(table.name));
            // Columns in order; the hidden history of an append-only memo is none.
            std::vector<std::string> want, got;
            for (const auto& column : table.columns)
                if (!column.VersionHistory())
                    want.push_back(
                        column.name +
                        (column.flags.starts_with("auto") && !column.Complex() ? " auto" : ""));
            for (long i = 0; i < t->Columns()->Count(); ++i) {
                auto column = t->Columns()->Item(i);
                auto property = [&](const wchar_t* name) {
                    return column->Properties()->Item(name)->Value() == Variant(true);
                };
                got.push_back(automation::ToUtf8(column->Name()) +
                              (property(L"Autoincrement") || property(L"Jet OLEDB:AutoGenerate")
                                   ? " auto"
                                   : ""));
            }
            EXPECT_EQ(got, want);

            // Indexes with their columns, their order and their kind, also
            // where indexes were deleted and made again. Access's own indexes
            // over the value ids of complex columns stay out.
            want.clear();
            got.clear();
            for (const auto& index : table.indexes) {
                const bool overComplex = std::any_of(
                    table.columns.begin(), table.columns.end(), [&](const auto& column) {
                        return column.Complex() && index.columns == column.name;
                    });
                const auto flag = [&](const char* name) {
                    return index.flags.find(name) != std::string::npos;
                };
                if (!overComplex)
                    want.push_back(index.name + ":" + index.columns +
                                   (flag("pk")       ? " pk"
                                    : flag("unique") ? " unique"
                                                     : "") +
                                   (flag("ignorenulls") ? " ignorenulls" : ""));
            }
            for (long i = 0; i < t->Indexes()->Count(); ++i) {
                auto index = t->Indexes()->Item(i);
                std::string columns;
                for (long k = 0; k < index->Columns()->Count(); ++k) {
                    auto column = index->Columns()->Item(k);
                    columns += (k ? "," : "") + automation::ToUtf8(column->Name()) +
                               (column->SortOrder() == adox::adSortDescending ? " DESC" : "");
                }
                got.push_back(automation::ToUtf8(index->Name()) + ":" + columns +
                              (index->PrimaryKey() ? " pk"
                               : index->Unique()   ? " unique"
                                                   : "") +
                              (index->IndexNulls() == adox::adIndexNullsIgnore ? " ignorenulls"
                                                                               : ""));
            }
            std::sort(want.begin(), want.end());
            std::sort(got.begin(), got.end());
            EXPECT_EQ(got, want);
        }
        c->Close();
    }
}

TEST(GenuineExpected, AttachmentsAndMultiValuesReadAsTheirContent)
{
    const auto expected = testsupport::ReadExpected("complexDataTestV2010.accdb");
    // id of the row's values -> the text the column reads as.
    std::map<std::string, std::map<std::string, std::wstring>> want;
    for (const auto& line : expected.complex) {
        const std::string& column = line.at(1);
        std::vector<std::wstring> items;
        for (size_t i = 5; i < line.size(); ++i) {
            const std::string& item = line[i];
            if (item.starts_with("mv:")) {
                items.push_back(W(item.substr(3)));
            } else if (item.starts_with("att:")) {  // att:NAME:bin:LENGTH:SHA1
                const auto parts = item.substr(4);
                const size_t bin = parts.find(":bin:");
                const std::string name = parts.substr(0, bin);
                const std::string rest = parts.substr(bin + 5);
                const size_t colon = rest.find(':');
                items.push_back(W(name + " (" + name.substr(name.rfind('.') + 1) + ", " +
                                  rest.substr(0, colon) + " bytes, sha1 " + rest.substr(colon + 1) +
                                  ")"));
            }
        }
        std::sort(items.begin(), items.end());
        std::wstring text;
        for (const auto& item : items)
            text += (text.empty() ? L"" : L"; ") + item;
        want[column][line.at(2)] = text;
    }
    ASSERT_EQ(want.size(), 3u);

    GenuineCopy copy("complexDataTestV2010.accdb");
    auto c = copy.Open();
    // The rows in their order, each with the id of its values.
    const auto& table = expected.tables.at(0);
    for (const char* column : {"attach-data", "multi-value-data"}) {
        SCOPED_TRACE(column);
        const size_t index = std::find_if(table.columns.begin(), table.columns.end(),
                                          [&](const auto& x) { return x.name == column; }) -
                             table.columns.begin();
        auto rs = Query(c, L"SELECT id, [" + W(column) + L"] FROM Table1 ORDER BY id");
        for (const auto& row : table.rows) {
            ASSERT_FALSE(rs->IsEOF());
            const auto values = testsupport::SplitTabs(row);
            const Variant value = rs->Fields()->Item(1L)->Value();
            const std::wstring& text = want[column][values.at(index)];
            if (text.empty())
                EXPECT_TRUE(value.IsNull()) << values[0];
            else
                EXPECT_EQ(value, Variant(text)) << values[0];
            rs->MoveNext();
        }
    }
    // Row 2 holds two files; a row with other files compares unequal to it.
    auto rs = Query(c,
                    L"SELECT count(*) FROM Table1 WHERE [attach-data] = "
                    L"(SELECT [attach-data] FROM Table1 WHERE id = 'row4')");
    EXPECT_EQ(rs->Fields()->Item(0L)->Value(), Variant(int32_t(1)));
    c->Close();
}

TEST(GenuineExpected, AComplexColumnOfAnUnknownTypeReadsAsTheBytesOfItsItems)
{
    const auto expected = testsupport::ReadExpected("unsupportedFieldsTestV2007.accdb");
    // id of the row's values -> its items' bytes ("RawData[(5) FF FE 62 61  7A]"),
    // in byte order, one after another.
    std::map<std::string, std::vector<uint8_t>> want;
    for (const auto& line : expected.complex) {
        std::vector<std::vector<uint8_t>> items;
        for (size_t i = 5; i < line.size(); ++i) {
            const size_t open = line[i].find("RawData[(");
            ASSERT_NE(open, std::string::npos) << line[i];
            std::istringstream hex(line[i].substr(line[i].find(')', open) + 1));
            std::vector<uint8_t> bytes;
            for (unsigned byte = 0; hex >> std::hex >> byte;)
                bytes.push_back(static_cast<uint8_t>(byte));
            items.push_back(bytes);
        }
        std::sort(items.begin(), items.end());
        std::vector<uint8_t>& joined = want[line.at(2)];
        for (const auto& item : items)
            joined.insert(joined.end(), item.begin(), item.end());
    }
    ASSERT_EQ(want.size(), 3u);

    GenuineCopy copy("unsupportedFieldsTestV2007.accdb");
    auto c = copy.Open();
    const auto& table = expected.tables.at(0);
    auto rs = Query(c, L"SELECT ID, UnknownComplex FROM Test ORDER BY ID");
    std::vector<std::string> rows = table.rows;
    std::sort(rows.begin(), rows.end());
    for (const auto& row : rows) {
        ASSERT_FALSE(rs->IsEOF());
        const auto values = testsupport::SplitTabs(row);
        const std::vector<uint8_t>& bytes = want[values.at(3)];
        const Variant value = rs->Fields()->Item(1L)->Value();
        if (bytes.empty()) {
            EXPECT_TRUE(value.IsNull()) << values[0];
        } else {
            ASSERT_TRUE(value.IsByteArray()) << values[0];
            EXPECT_EQ(value.parray().bytes(), bytes) << values[0];
        }
        rs->MoveNext();
    }
    c->Close();
}

TEST(GenuineExpected, LibmdbMessagesStayOffTheTerminal)
{
    // libmdb prints "can't find index" for delColTestV2003.mdb when it reads
    // the indexes itself; the provider reads them from the definition.
    for (const bool logged : {false, true}) {
        SCOPED_TRACE(logged);
        testsupport::TempDir logDir;
        const auto log = logDir / "mdb.log";
        if (logged)
            ::setenv("CRV_MDB_LOG", log.c_str(), 1);
        GenuineCopy copy("delColTestV2003.mdb");
        testing::internal::CaptureStderr();
        auto c = copy.Open();
        c->Close();
        {
            const mdb::LibmdbMessages quiet;
            MdbHandle* handle = mdb_open(copy.path().c_str(), MDB_NOFLAGS);
            ASSERT_NE(handle, nullptr);
            ASSERT_TRUE(mdb_read_catalog(handle, MDB_TABLE));
            char name[] = "Table1";
            MdbTableDef* table = mdb_read_table_by_name(handle, name, MDB_TABLE);
            ASSERT_NE(table, nullptr);
            mdb_read_columns(table);
            mdb_read_indices(table);
            mdb_free_tabledef(table);
            mdb_close(handle);
        }
        const std::string terminal = testing::internal::GetCapturedStderr();
        ::unsetenv("CRV_MDB_LOG");
        EXPECT_EQ(terminal, "");
        if (logged) {
            const auto bytes = mdbtest::FileBytes(log);
            EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("can't find index"),
                      std::string::npos);
        }
    }
}

}  // namespace
}  // namespace genuinetest
