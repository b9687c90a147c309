// A genuine Access file compared with a native-store copy of it: the copy is
// made by scripts (the tables by DDL, the rows by the insert script the writer
// produces for the empty copy), then every record compares equal; after a few
// rows of the copy change, exactly those are reported, and the synchronisation
// script for the copy makes them equal again. The genuine file never changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>

#include "compare/ado_record_connection.h"
#include "compare/comparison_context.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "compare/table_result.h"
#include "database/database_source.h"
#include "output/excel_report_writer.h"
#include "output/html_report_writer.h"
#include "output/script_file_writer.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/provider_classes.h"
#include "platform/spreadsheet/excel_application.h"
#include "sqlexec/i_progress.h"
#include "sqlexec/mdb_creator.h"
#include "sqlexec/options.h"
#include "sqlexec/script_executor.h"
#include "sqlexec/script_helper.h"
#include "sqlexec/text_file_writer.h"
#include "support/spreadsheet_readers.h"
#include "support/temp_dir.h"

namespace {

// Five Northwind tables as mdb-schema prints them: every kind of value the
// file holds (long, text, memo, OLE, money, short, single, yes/no, dates).
const wchar_t* const kTables =
    L"CREATE TABLE Shippers (ShipperID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
    L"CompanyName TEXT(40) NOT NULL, Phone TEXT(24));\n"
    L"CREATE TABLE Categories (CategoryID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
    L"CategoryName TEXT(15) NOT NULL, Description MEMO, Picture LONGBINARY);\n"
    L"CREATE TABLE Products (ProductID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
    L"ProductName TEXT(40) NOT NULL, SupplierID LONG, CategoryID LONG, QuantityPerUnit TEXT(20), "
    L"UnitPrice CURRENCY, UnitsInStock SHORT, UnitsOnOrder SHORT, ReorderLevel SHORT, "
    L"Discontinued YESNO NOT NULL);\n"
    L"CREATE TABLE Orders (OrderID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, "
    L"CustomerID TEXT(5), EmployeeID LONG, OrderDate DATETIME, RequiredDate DATETIME, "
    L"ShippedDate DATETIME, ShipVia LONG, Freight CURRENCY, ShipName TEXT(40), "
    L"ShipAddress TEXT(60), ShipCity TEXT(15), ShipRegion TEXT(15), ShipPostalCode TEXT(10), "
    L"ShipCountry TEXT(15));\n"
    L"CREATE TABLE [Order Details] (OrderID LONG, ProductID LONG NOT NULL, "
    L"UnitPrice CURRENCY NOT NULL, Quantity SHORT NOT NULL, Discount SINGLE NOT NULL, "
    L"CONSTRAINT PrimaryKey PRIMARY KEY (OrderID, ProductID));\n";

const wchar_t* const kTableNames[] = {L"Shippers", L"Categories", L"Products", L"Orders",
                                      L"Order Details"};

class GenuineSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        genuine = testsupport::CopyTestData("nwind.mdb", dir);
        genuineBytes = Bytes(genuine);
        genuineTime = std::filesystem::last_write_time(genuine);
        copy = automation::FromUtf8((dir / "copy.mdb").string());
        ConnectionSettings settings;
        settings.path = copy;
        SQLExecutor::MdbCreator creator(settings);
        ASSERT_TRUE(creator.Create()) << automation::ToUtf8(creator.GetError());
        ASSERT_EQ(ApplyText(kTables), L"");
    }

    void TearDown() override
    {
        EXPECT_EQ(std::filesystem::last_write_time(genuine), genuineTime);
        EXPECT_TRUE(Bytes(genuine) == genuineBytes) << "the genuine file changed";
    }

    static std::string Bytes(const std::filesystem::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::wstring ApplyText(const std::wstring& script)
    {
        ConnectionSettings settings;
        settings.path = copy;
        Options options;
        options.stopOnError = true;
        SQLExecutor::ScriptExecutor executor(settings, script, false, options);
        FakeProgress progress;
        executor.Run(progress);
        return executor.IsStopped() ? executor.GetErrorText() : std::wstring();
    }

    std::wstring ApplyFile(const std::wstring& path)
    {
        SQLExecutor::ScriptHelper helper;
        EXPECT_TRUE(helper.Load(path));
        return ApplyText(helper.GetText());
    }

    // Compares the genuine file (Database1) with the copy (Database2), both
    // loaded by the schema reader; returns each table's counts {equal, only
    // in 1, only in 2, modified}. `script`: writes the synchronisation script
    // that makes the copy equal the genuine file, with the given choices.
    // `reports`: writes what it likes from the finished comparison.
    using ReportMaker = std::function<void(DatabaseSource&, DatabaseSource&, ComparisonContext&,
                                           const TablePairList&)>;
    std::map<std::wstring, std::array<int, 4>> Compare(const std::wstring& script = {},
                                                       bool insert = true, bool update = true,
                                                       bool erase = true,
                                                       const ReportMaker& reports = {})
    {
        DatabaseSource source1, source2;
        source1.Settings().Assign(automation::FromUtf8(genuine.string()), L"", L"", L"", L"");
        source2.Settings().Assign(copy, L"", L"", L"", L"");
        FakeProgress progress;
        EXPECT_TRUE(source1.Load(progress)) << automation::ToUtf8(source1.ErrorText());
        EXPECT_TRUE(source2.Load(progress)) << automation::ToUtf8(source2.ErrorText());
        ComparisonContext context([&](int side) {
            return std::make_unique<AdoRecordConnection>(side == 1 ? source1.Settings()
                                                                   : source2.Settings());
        });
        TablePairList* pairs = context.BuildTablePairs(*source1.Schema(), *source2.Schema());
        std::promise<void> done;
        context.SetCompletionCallback([&done] { done.set_value(); });
        context.PrepareDataComparison();
        context.StartThreads();
        done.get_future().wait();
        context.StopAndWait();
        context.SetCompletionCallback({});
        EXPECT_FALSE(context.HasError()) << automation::ToUtf8(context.ErrorText());
        std::map<std::wstring, std::array<int, 4>> counts;
        for (const auto& pair : pairs->Pairs())
            if (TableResult* result = context.Store()->FindTableResult(pair.get()))
                counts[pair->First()->Name()] = result->Counts();
        if (!script.empty()) {
            ScriptFileWriter writer(*source1.Schema(), *source2.Schema(), *context.Store(),
                                    *context.Reader(), *pairs, script, TextFileWriter::kUtf8, 2,
                                    insert, update, erase);
            writer.Run(progress);
            EXPECT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());
        }
        if (reports)
            reports(source1, source2, context, *pairs);
        context.CloseConnections();
        return counts;
    }

    testsupport::TempDir dir;
    std::filesystem::path genuine;
    std::string genuineBytes;
    std::filesystem::file_time_type genuineTime;
    std::wstring copy;
};

TEST_F(GenuineSyncTest, ACopyMadeByScriptComparesEqualAndChangedRowsAreSyncedBack)
{
    // The empty copy: every row of the genuine file is only in Database1.
    const std::map<std::wstring, int> rows = {{L"Shippers", 3},
                                              {L"Categories", 8},
                                              {L"Products", 77},
                                              {L"Orders", 830},
                                              {L"Order Details", 2155}};
    std::wstring fill = automation::FromUtf8((dir / "fill.sql").string());
    auto counts = Compare(fill, true, false, false);
    for (const wchar_t* table : kTableNames)
        EXPECT_EQ(counts[table], (std::array<int, 4>{0, rows.at(table), 0, 0}))
            << automation::ToUtf8(table);
    ASSERT_EQ(ApplyFile(fill), L"");

    counts = Compare();
    ASSERT_EQ(counts.size(), std::size(kTableNames));
    for (const wchar_t* table : kTableNames)
        EXPECT_EQ(counts[table], (std::array<int, 4>{rows.at(table), 0, 0, 0}))
            << automation::ToUtf8(table);

    // A few changes to the copy: two rows modified, one deleted, one added.
    ASSERT_EQ(ApplyText(L"UPDATE Products SET UnitPrice = 19.5 WHERE ProductID = 1;\n"
                        L"UPDATE Orders SET ShippedDate = NULL, ShipRegion = 'X' "
                        L"WHERE OrderID = 10330;\n"
                        L"DELETE FROM [Order Details] WHERE OrderID = 10248 AND ProductID = 11;\n"
                        L"INSERT INTO Shippers (ShipperID, CompanyName) VALUES (4, 'New');\n"),
              L"");
    std::wstring sync = automation::FromUtf8((dir / "sync.sql").string());
    counts = Compare(sync);
    EXPECT_EQ(counts[L"Products"], (std::array<int, 4>{76, 0, 0, 1}));
    EXPECT_EQ(counts[L"Orders"], (std::array<int, 4>{829, 0, 0, 1}));
    EXPECT_EQ(counts[L"Order Details"], (std::array<int, 4>{2154, 1, 0, 0}));
    EXPECT_EQ(counts[L"Shippers"], (std::array<int, 4>{3, 0, 1, 0}));
    EXPECT_EQ(counts[L"Categories"], (std::array<int, 4>{8, 0, 0, 0}));

    ASSERT_EQ(ApplyFile(sync), L"");
    counts = Compare();
    for (const wchar_t* table : kTableNames)
        EXPECT_EQ(counts[table], (std::array<int, 4>{rows.at(table), 0, 0, 0}))
            << automation::ToUtf8(table);
}

// The reports of a changed copy as a browser and a spreadsheet program open them. With
// CRV_REPORT_SAMPLES set to a folder, both files are kept there.
TEST_F(GenuineSyncTest, ReportsOfAChangedCopyOpenInABrowser)
{
    std::wstring fill = automation::FromUtf8((dir / "fill.sql").string());
    Compare(fill, true, false, false);
    ASSERT_EQ(ApplyFile(fill), L"");
    ASSERT_EQ(ApplyText(L"UPDATE Products SET UnitPrice = 19.5, ProductName = 'Chai <tea>' "
                        L"WHERE ProductID = 1;\n"
                        L"UPDATE Orders SET ShippedDate = NULL, ShipRegion = 'X' "
                        L"WHERE OrderID = 10330;\n"
                        L"DELETE FROM [Order Details] WHERE OrderID = 10248 AND ProductID = 11;\n"
                        L"DELETE FROM Categories WHERE CategoryID = 8;\n"
                        L"UPDATE Categories SET Description = 'Sweet and savory sauces, relishes, "
                        L"spreads, and seasonings' & Chr(13) & Chr(10) & 'A second paragraph, long "
                        L"enough to take more than one line of its column' WHERE CategoryID = 2;\n"
                        L"INSERT INTO Shippers (ShipperID, CompanyName) VALUES (4, 'New');\n"),
              L"");
    const auto html = dir / "nwind_report.html";
    const auto xls = dir / "nwind_report.xls";
    Compare({}, true, true, true,
            [&](DatabaseSource& one, DatabaseSource& two, ComparisonContext& context,
                const TablePairList& pairs) {
                FakeProgress progress;
                HtmlReportWriter page(automation::FromUtf8(html.string()), one.Schema()->GetName(),
                                      two.Schema()->GetName(), *context.Store(), *context.Reader(),
                                      pairs, true, true, true, false);
                page.Run(progress);
                EXPECT_FALSE(page.Failed()) << automation::ToUtf8(page.ErrorText());
                excel::RegisterSpreadsheetClasses();
                ExcelReportWriter book(automation::FromUtf8(xls.string()), one.Schema()->GetName(),
                                       two.Schema()->GetName(), *context.Store(), *context.Reader(),
                                       pairs, true, true, true, false);
                book.Run(progress);
                EXPECT_FALSE(book.Failed()) << automation::ToUtf8(book.ErrorText());
            });
    if (const char* samples = std::getenv("CRV_REPORT_SAMPLES")) {
        std::filesystem::copy_file(html, std::filesystem::path(samples) / html.filename(),
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(xls, std::filesystem::path(samples) / xls.filename(),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    if (std::system("command -v chromium >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "chromium is not installed";
    const auto profile = dir / "chromium-profile";
    std::filesystem::create_directories(profile);
    int status = -1;
    const std::string dom = testsupport::RunCommand(
        "timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic "
        "--no-first-run --disable-background-networking --disable-component-update "
        "--disable-sync --user-data-dir=" +
            testsupport::Quoted(profile.string()) + " --dump-dom " +
            testsupport::Quoted("file://" + html.string()) + " 2>/dev/null",
        &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(dom.find("LEGEND"), std::string::npos) << dom.substr(0, 2000);
    EXPECT_NE(dom.find("Chai &lt;tea&gt;"), std::string::npos) << "shown as text";
    EXPECT_EQ(dom.find("<tea>"), std::string::npos);
    for (const char* table :
         {"Table:</b> Products", "Table:</b> Orders", "Table:</b> Order Details",
          "Table:</b> Shippers", "Table:</b> Categories"})
        EXPECT_NE(dom.find(table), std::string::npos) << table;
}

}  // namespace
