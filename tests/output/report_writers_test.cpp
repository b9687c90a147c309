// The HTML report and the Excel workbook of a real comparison: their structure (order, classes,
// colours, merges, borders, captions), the texts exactly as the databases hold them, escaping,
// sheet names, stops and failures. The workbooks are read back by xlrd and LibreOffice.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "output/excel_report_writer.h"
#include "output/excel_sheet_writer.h"
#include "output/html_report_writer.h"
#include "output/sync_fixture.h"
#include "platform/spreadsheet/excel_application.h"
#include "sqlexec/progress.h"
#include "support/spreadsheet_readers.h"

namespace synctest {
namespace {

using automation::SafeArray;

// Items differs in the case of its name between the two databases; Same does not. Its key
// rows: 1 equal, 2 only in Database1, 3 modified (second field), 4 only in Database2, 5 to 9
// equal.
const std::vector<TableDef> kTables1 = {
    {L"Items",
     {{L"id", L"LONG", 3},
      {L"name", L"MEMO", 203},
      {L"x<y>&z", L"TEXT(20)", 202},
      {L"pic", L"LONGBINARY", 205}},
     {L"id"},
     true,
     {}},
    {L"Same", {{L"k", L"LONG", 3}, {L"v", L"TEXT(20)", 202}}, {L"k"}, true, {}},
};

std::vector<TableDef> Renamed()
{
    auto tables = kTables1;
    tables[0].name = L"ITEMS";
    return tables;
}

Row ItemRow(int32_t id, const std::wstring& name, const std::wstring& text)
{
    return {Variant(id), Variant(name), Variant(text), Variant(SafeArray({1, 2, 3}))};
}

const std::wstring kLong1000(1000, L'm');
const std::wstring kLong40000 = std::wstring(39990, L'n') + L"0123456789";

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ReportWritersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path1 = Path(dir, "one<b>&.mdb");
        path2 = Path(dir, "two.mdb");
        const auto tables2 = Renamed();
        CreateStore(path1, kTables1);
        CreateStore(path2, tables2);
        std::vector<Row> rows1 = {ItemRow(1, L"a<b & c", L"=1+1"), ItemRow(2, L" \t\r\n", L"0012"),
                                  ItemRow(3, L"line\r\nend", L"old")};
        std::vector<Row> rows2 = {
            ItemRow(1, L"a<b & c", L"=1+1"),
            ItemRow(3, L"line\r\nend", L"new"),
            {Variant(int32_t(4)), Variant(kLong40000), Variant(L"1E5"), Variant::Null()}};
        for (int32_t id = 5; id <= 9; ++id) {
            rows1.push_back(ItemRow(id, kLong1000, L""));
            rows2.push_back(ItemRow(id, kLong1000, L""));
        }
        InsertRows(path1, kTables1[0], rows1);
        InsertRows(path2, tables2[0], rows2);
        InsertRows(path1, kTables1[1], {{Variant(int32_t(1)), Variant(L"s")}});
        InsertRows(path2, tables2[1], {{Variant(int32_t(1)), Variant(L"s")}});
        stores = std::make_unique<ComparedStores>(path1, path2, kTables1, &tables2);
    }

    std::unique_ptr<HtmlReportWriter> Html(const std::filesystem::path& file, bool first,
                                           bool second, bool modified, bool equal)
    {
        return std::make_unique<HtmlReportWriter>(automation::FromUtf8(file.string()), path1, path2,
                                                  stores->Store(), stores->Reader(),
                                                  stores->Pairs(), first, second, modified, equal);
    }

    std::unique_ptr<ExcelReportWriter> Excel(const std::filesystem::path& file, bool first,
                                             bool second, bool modified, bool equal)
    {
        excel::RegisterSpreadsheetClasses();
        return std::make_unique<ExcelReportWriter>(automation::FromUtf8(file.string()), path1,
                                                   path2, stores->Store(), stores->Reader(),
                                                   stores->Pairs(), first, second, modified, equal);
    }

    testsupport::TempDir dir;
    std::wstring path1, path2;
    std::unique_ptr<ComparedStores> stores;
    FakeProgress progress;
};

// The rows of the report's data tables, as "class:cell|cell|...", cells with a class as
// "class=text".
std::vector<std::string> DataRows(const std::string& html)
{
    std::vector<std::string> rows;
    static const std::regex row("<tr class=\"([^\"]*)\">(.*?)</tr>\r\n");
    static const std::regex cell("<td( class=\"([^\"]*)\")?>(.*?)</td>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), row);
         it != std::sregex_iterator(); ++it) {
        std::string text = (*it)[1].str() + ":";
        const std::string cells = (*it)[2].str();
        bool firstCell = true;
        for (auto c = std::sregex_iterator(cells.begin(), cells.end(), cell);
             c != std::sregex_iterator(); ++c) {
            text += (firstCell ? "" : "|") + ((*c)[1].matched ? (*c)[2].str() + "=" : "") +
                    (*c)[3].str().substr(0, 12);
            firstCell = false;
        }
        rows.push_back(text);
    }
    return rows;
}

TEST_F(ReportWritersTest, HtmlReportListsThePairsThenTheLegendThenOneTablePerPair)
{
    const auto file = dir / "report.html";
    auto writer = Html(file, true, true, true, false);
    writer->Run(progress);
    ASSERT_FALSE(writer->Failed()) << automation::ToUtf8(writer->ErrorText());
    const std::string html = ReadFile(file);

    ASSERT_EQ(html.substr(0, 10), "\xEF\xBB\xBF<html>\n");
    const std::string name1 = automation::ToUtf8(path1);
    const std::string escaped1 = std::regex_replace(
        std::regex_replace(name1, std::regex("&"), "&amp;"), std::regex("<b>"), "&lt;b&gt;");
    const size_t list = html.find(
        "<table class=\"table_list\" cellspacing=\"0\" cellpadding=\"0\"><tr><td>Database1<br/>"
        "<span class=\"db\">" +
        escaped1 + "</span></td><td>Database2<br/><span class=\"db\">" + automation::ToUtf8(path2) +
        "</span></td><td>Total Records</td></tr>\r\n"
        "<tr><td><a href=\"#0\">Items</a></td><td><a href=\"#0\">ITEMS</a></td><td>3</td>"
        "</tr>\r\n<tr><td>Same</td><td>Same</td><td>0</td></tr>\r\n</table>\r\n");
    ASSERT_NE(list, std::string::npos) << html.substr(0, 4000);
    EXPECT_EQ(html.find("<b>&"), std::string::npos) << "a name was written unescaped";
    const size_t legend = html.find("LEGEND");
    const size_t table = html.find(
        "<a name=\"0\"></a><br/><b>Table:</b> Items / ITEMS\r\n<table class=\"table_data\" "
        "cellspacing=\"0\" cellpadding=\"0\"><tr><td>id</td><td>name</td><td>x&lt;y&gt;&amp;z"
        "</td><td>pic</td></tr>\r\n");
    EXPECT_LT(list, legend);
    ASSERT_NE(table, std::string::npos);
    EXPECT_LT(legend, table);
    EXPECT_EQ(html.find("Table:</b> Same"), std::string::npos) << "no table without records";

    EXPECT_EQ(DataRows(html), (std::vector<std::string>{
                                  "t1:2|&nbsp;|0012|BINARY DATA",
                                  "c1:3|line  end|cc1=old|BINARY DATA",
                                  "c2:3|line  end|cc2=new|BINARY DATA",
                                  "t2:4|nnnnnnnnnnnn|1E5|NULL",
                              }));
    const std::string end = "</table>\r\n</body>\r\n</html>\r\n";
    EXPECT_EQ(html.substr(html.size() - end.size()), end);
}

TEST_F(ReportWritersTest, HtmlReportShowsOnlyTheChosenKinds)
{
    struct Case {
        bool first, second, modified, equal;
        std::vector<std::string> rowClasses;
        const char* itemsCount;
    } cases[] = {
        {false, false, false, false, {}, "0"},
        {true, false, false, false, {"t1"}, "1"},
        {false, true, false, false, {"t2"}, "1"},
        {false, false, true, false, {"c1", "c2"}, "1"},
        {false, false, false, true, {"", "", "", "", "", "", ""}, "6"},
    };
    for (const auto& c : cases) {
        const auto file = dir / "kinds.html";
        Html(file, c.first, c.second, c.modified, c.equal)->Run(progress);
        const std::string html = ReadFile(file);
        std::vector<std::string> classes;
        for (const auto& row : DataRows(html))
            classes.push_back(row.substr(0, row.find(':')));
        EXPECT_EQ(classes, c.rowClasses) << c.itemsCount;
        EXPECT_NE(html.find(std::string("ITEMS") + (c.rowClasses.empty() ? "" : "</a>") +
                            "</td><td>" + c.itemsCount + "</td>"),
                  std::string::npos)
            << html;
        EXPECT_EQ(html.find("table_data\" cellspacing") != std::string::npos,
                  !c.rowClasses.empty());
        if (c.equal) {
            EXPECT_NE(html.find("Table:</b> Same\r\n"), std::string::npos) << "same names";
        }
    }
}

TEST_F(ReportWritersTest, StoppedOrFailedReportsKeepTheOlderFile)
{
    const auto html = dir / "old.html";
    const auto xls = dir / "old.xls";
    std::ofstream(html) << "older";
    std::ofstream(xls) << "older";
    auto names = [&] {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            found.insert(entry.path().filename().string());
        return found;
    };
    const auto before = names();
    auto htmlWriter = Html(html, true, true, true, true);
    htmlWriter->RequestStop();
    htmlWriter->Run(progress);
    EXPECT_FALSE(htmlWriter->Failed());
    auto excelWriter = Excel(xls, true, true, true, true);
    excelWriter->RequestStop();
    excelWriter->Run(progress);
    EXPECT_FALSE(excelWriter->Failed());
    EXPECT_EQ(ReadFile(html), "older");
    EXPECT_EQ(ReadFile(xls), "older");

    auto nowhere = Html(dir / "missing" / "r.html", true, true, true, true);
    nowhere->Run(progress);
    EXPECT_TRUE(nowhere->Failed());
    EXPECT_EQ(nowhere->ErrorText(), L"Can't create file.");
    auto nowhereXls = Excel(dir / "missing" / "r.xls", true, true, true, true);
    nowhereXls->Run(progress);
    EXPECT_TRUE(nowhereXls->Failed());
    EXPECT_NE(nowhereXls->ErrorText().find(L"Error: "), std::wstring::npos);

    automation::UnregisterClass(L"Excel.Application");
    auto noExcel = std::make_unique<ExcelReportWriter>(automation::FromUtf8(xls.string()), path1,
                                                       path2, stores->Store(), stores->Reader(),
                                                       stores->Pairs(), true, true, true, true);
    noExcel->Run(progress);
    EXPECT_TRUE(noExcel->Failed());
    EXPECT_EQ(noExcel->ErrorText(), L"Couldn't start Excel");
    automation::RegisterClass(L"Excel.Application",
                              [] { return std::make_shared<excel::Application>(); });
    EXPECT_EQ(names(), before) << "nothing half-written is left behind";
}

TEST_F(ReportWritersTest, ExcelReportReadsBackWithItsLayoutColoursAndTexts)
{
    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    const auto file = dir / "report.xls";
    auto writer = Excel(file, true, true, true, true);
    writer->Run(progress);
    ASSERT_FALSE(writer->Failed()) << automation::ToUtf8(writer->ErrorText());
    const auto book = testsupport::ReadXls(file);
    ASSERT_EQ(book.error, "");
    // Both tables have records; the third sheet of the new workbook stays.
    EXPECT_EQ(book.sheets, (std::vector<std::string>{"Items", "Same", "Sheet3"}));
    auto text = [&](int sheet, int row, int column) {
        const auto* cell = book.Cell(sheet, row - 1, column);
        return cell ? cell->text : std::string("<none>");
    };
    auto cell = [&](int sheet, int row, int column) {
        const auto* found = book.Cell(sheet, row - 1, column);
        static const testsupport::XlsCell none;
        return found ? *found : none;
    };
    EXPECT_EQ(text(0, 1, 1), "Db1:");
    EXPECT_EQ(text(0, 1, 2), automation::ToUtf8(path1));
    EXPECT_EQ(text(0, 2, 1), "Db2:");
    EXPECT_EQ(text(0, 2, 2), automation::ToUtf8(path2));
    EXPECT_EQ(text(0, 4, 1), "Legend");
    for (int column = 2; column <= 10; ++column)
        EXPECT_NE(text(0, 4, column), "Legend") << "the merged legend holds its text once";
    EXPECT_EQ(cell(0, 4, 1).bold, 1);
    EXPECT_EQ(cell(0, 4, 1).alignment, 2);
    EXPECT_EQ(book.merges[0], (std::array<int, 5>{0, 3, 4, 1, 11}));
    // Palette entries are ColorIndex + 7: white 9, 24 -> 31, 36 -> 43, 4 -> 11, 35 -> 42.
    const char* legendFills[] = {"9", "31", "43", "11"};
    const char* legendTexts[] = {
        "equal records", "records only from Database1", "records only from Database2",
        "modified records (first row is from Database1, second row is from Database2)"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cell(0, 5 + i, 1).fill, legendFills[i]);
        EXPECT_EQ(text(0, 5 + i, 2), legendTexts[i]);
    }
    EXPECT_EQ(cell(0, 5, 1).borders, "1:8,1:8,1:8,1:8") << "the legend samples' box";
    EXPECT_EQ(cell(0, 4, 10).borders, "0:0,1:8,1:8,1:8") << "the legend's box, right";
    EXPECT_EQ(text(0, 10, 1), "Table:");
    EXPECT_EQ(text(0, 10, 2), "Items / ITEMS");
    EXPECT_EQ(text(1, 10, 2), "Same");
    const std::vector<std::string> captions = {"id", "name", "x<y>&z", "pic", " "};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(text(0, 11, 1 + i), captions[i]);

    struct Expected {
        std::vector<std::string> texts;
        const char* fill;
    } rows[] = {
        {{"1", "a<b & c", "=1+1", "BINARY DATA"}, "9"},
        {{"2", " \t\r\n", "0012", "BINARY DATA"}, "31"},
        {{"3", "line\r\nend", "old", "BINARY DATA"}, "11"},
        {{"3", "line\r\nend", "new", "BINARY DATA"}, "11"},
        {{"4", automation::ToUtf8(kLong40000.substr(0, 32766)), "1E5", "NULL"}, "43"},
        {{"5", automation::ToUtf8(kLong1000), " ", "BINARY DATA"}, "9"},
    };
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(text(0, 12 + r, 1 + c), rows[r].texts[c]) << r << "," << c;
            const bool changed = (r == 2 || r == 3) && c == 2;
            EXPECT_EQ(cell(0, 12 + r, 1 + c).fill, changed ? "42" : rows[r].fill) << r;
        }
        EXPECT_EQ(text(0, 12 + r, 5), " ");
    }
    EXPECT_EQ(text(0, 21, 1), "9");
    EXPECT_EQ(text(0, 22, 1), "<none>");
    // Thin black lines around and inside the table; white between a modified record's rows.
    EXPECT_EQ(cell(0, 11, 1).borders, "1:8,1:8,1:8,1:8");
    EXPECT_EQ(cell(0, 14, 2).borders, "1:8,1:8,1:9,1:8");
    EXPECT_EQ(cell(0, 15, 2).borders, "1:8,1:9,1:8,1:8");
    EXPECT_EQ(cell(0, 21, 4).borders, "1:8,1:8,1:8,1:8");
    EXPECT_GT(book.widths.at({0, 2}), 20 * 256) << "the name column is widened";
}

TEST_F(ReportWritersTest, LibreOfficeOpensTheExcelReport)
{
    if (!testsupport::HaveLibreOffice())
        GTEST_SKIP() << "LibreOffice is not installed";
    const auto file = dir / "lo.xls";
    Excel(file, true, true, true, true)->Run(progress);
    std::filesystem::path converted;
    int status = -1;
    const std::string out =
        testsupport::ConvertWithLibreOffice(file, "xlsx", dir.path(), converted, &status);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 124)
        GTEST_SKIP() << "LibreOffice did not finish within its time on this loaded machine";
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(std::filesystem::exists(converted)) << out;
    EXPECT_GT(std::filesystem::file_size(converted), 4000u);
    EXPECT_EQ(out.find("Error"), std::string::npos) << out;
}

// A table wider than 26 columns, one longer than a sheet, and table names that give the same
// sheet name once made valid.
TEST(ExcelReportSheetsTest, RowsBeyondASheetGoOnOverTheNextAndNamesStayUnique)
{
    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    testsupport::TempDir dir;
    TableDef wide{L"a/b", {{L"id", L"LONG", 3}}, {L"id"}, true, {}};
    for (int i = 1; i < 27; ++i)
        wide.columns.push_back({L"f" + std::to_wstring(i), L"TEXT(5)", 202});
    const TableDef big{L"a?b", {{L"k", L"LONG", 3}, {L"v", L"TEXT(10)", 202}}, {L"k"}, true, {}};
    const std::vector<TableDef> tables = {wide, big};
    const std::wstring path1 = Path(dir, "1.mdb"), path2 = Path(dir, "2.mdb");
    constexpr int kRows = 65600;
    for (const auto& path : {path1, path2}) {
        CreateStore(path, tables);
        Row row = {Variant(int32_t(1))};
        for (int i = 1; i < 27; ++i)
            row.push_back(Variant(L"v" + std::to_wstring(i)));
        InsertRows(path, wide, {row});
        Execute(path, L"INSERT INTO [a?b] VALUES (1, 'x')");
        for (int have = 1; have < kRows; have *= 2)
            Execute(path, L"INSERT INTO [a?b] SELECT k + " + std::to_wstring(have) +
                              L", v FROM [a?b] WHERE k + " + std::to_wstring(have) + L" <= " +
                              std::to_wstring(kRows));
    }
    ComparedStores stores(path1, path2, tables);
    excel::RegisterSpreadsheetClasses();
    const auto file = dir / "big.xls";
    ExcelReportWriter writer(automation::FromUtf8(file.string()), path1, path2, stores.Store(),
                             stores.Reader(), stores.Pairs(), false, false, false, true);
    FakeProgress progress;
    writer.Run(progress);
    ASSERT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());

    const auto book = testsupport::ReadXls(file);
    ASSERT_EQ(book.error, "");
    EXPECT_EQ(book.sheets, (std::vector<std::string>{"a_b", "a_b (2)", "a_b (2) (2)"}));
    auto text = [&](int sheet, int row, int column) {
        const auto* cell = book.Cell(sheet, row - 1, column);
        return cell ? cell->text : std::string("<none>");
    };
    // Column index 27 is AB.
    EXPECT_EQ(text(0, 11, 27), "f26");
    EXPECT_EQ(text(0, 11, 28), " ");
    EXPECT_EQ(text(0, 12, 27), "v26");
    // 65,525 records from row 12 to the last row, the rest on the next sheet of the table, each
    // sheet with its heading and the full table name.
    const int onFirst = 65536 - 12 + 1;
    EXPECT_EQ(text(1, 10, 2), "a?b");
    EXPECT_EQ(text(1, 12, 1), "1");
    EXPECT_EQ(text(1, 65536, 1), std::to_string(onFirst));
    EXPECT_EQ(text(2, 10, 2), "a?b");
    EXPECT_EQ(text(2, 11, 1), "k");
    EXPECT_EQ(text(2, 12, 1), std::to_string(onFirst + 1));
    EXPECT_EQ(text(2, 12 + kRows - onFirst - 1, 1), std::to_string(kRows));
    EXPECT_EQ(text(2, 12 + kRows - onFirst, 1), "<none>");
    EXPECT_EQ(book.Cell(2, 12 + kRows - onFirst - 2, 2)->borders, "1:8,1:8,1:8,1:8");
}

// A date with a fraction of a second reads as a date in both reports, to the millisecond; one of
// whole seconds keeps its usual text.
TEST(ReportDatesTest, DatesWithAFractionOfASecondShowTheirMilliseconds)
{
    testsupport::TempDir dir;
    const TableDef times{
        L"Times", {{L"id", L"LONG", 3}, {L"at", L"DATETIME", 7}}, {L"id"}, true, {}};
    const std::wstring path1 = Path(dir, "1.mdb"), path2 = Path(dir, "2.mdb");
    CreateStore(path1, {times});
    CreateStore(path2, {times});
    const double day = 45000;  // 03/15/2023
    InsertRows(path1, times,
               {{Variant(int32_t(1)), Variant::FromDate(day + 0.123456789)},
                {Variant(int32_t(2)), Variant::FromDate(day + 0.5)}});
    InsertRows(path2, times,
               {{Variant(int32_t(1)), Variant::FromDate(day + 0.123456789)},
                {Variant(int32_t(2)), Variant::FromDate(day + 0.5 + 0.25 / 86400)}});
    ComparedStores stores(path1, path2, {times});
    FakeProgress progress;

    const auto html = dir / "times.html";
    HtmlReportWriter htmlWriter(automation::FromUtf8(html.string()), path1, path2, stores.Store(),
                                stores.Reader(), stores.Pairs(), true, true, true, true);
    htmlWriter.Run(progress);
    ASSERT_FALSE(htmlWriter.Failed()) << automation::ToUtf8(htmlWriter.ErrorText());
    const std::string page = ReadFile(html);
    EXPECT_EQ(page.find("CDate"), std::string::npos);
    EXPECT_NE(page.find("<td>#03/15/2023 02:57:46.667#</td>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"cc1\">#03/15/2023 12:00:00#</td>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"cc2\">#03/15/2023 12:00:00.250#</td>"), std::string::npos);

    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    excel::RegisterSpreadsheetClasses();
    const auto xls = dir / "times.xls";
    ExcelReportWriter excelWriter(automation::FromUtf8(xls.string()), path1, path2, stores.Store(),
                                  stores.Reader(), stores.Pairs(), true, true, true, true);
    excelWriter.Run(progress);
    ASSERT_FALSE(excelWriter.Failed()) << automation::ToUtf8(excelWriter.ErrorText());
    const auto book = testsupport::ReadXls(xls);
    ASSERT_EQ(book.error, "");
    auto text = [&](int row, int column) {
        const auto* cell = book.Cell(0, row - 1, column);
        return cell ? cell->text : std::string("<none>");
    };
    EXPECT_EQ(text(12, 2), "#03/15/2023 02:57:46.667#");
    EXPECT_EQ(text(13, 2), "#03/15/2023 12:00:00#");
    EXPECT_EQ(text(14, 2), "#03/15/2023 12:00:00.250#");
}

TEST(ExcelReportNamesTest, CellAddressesAndSheetNames)
{
    EXPECT_EQ(ExcelCellAddress(0, 1), L"A1");
    EXPECT_EQ(ExcelCellAddress(25, 11), L"Z11");
    EXPECT_EQ(ExcelCellAddress(26, 12), L"AA12");
    EXPECT_EQ(ExcelCellAddress(27, 11), L"AB11");
    EXPECT_EQ(ExcelCellAddress(255, 65536), L"IV65536");
    struct Case {
        std::wstring table, suffix, sheet;
    } cases[] = {
        {L"Orders", L"", L"Orders"},
        {L"a:b\\c/d?e*f[g]h", L"", L"a_b_c_d_e_f_g_h"},
        {L"", L"", L"Table"},
        {L"'quoted'", L"", L"_quoted_"},
        {std::wstring(40, L'x'), L"", std::wstring(31, L'x')},
        {std::wstring(40, L'x'), L" (2)", std::wstring(27, L'x') + L" (2)"},
        {L"tab\there", L"", L"tab_here"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExcelReportWriter::SheetName(c.table, c.suffix), c.sheet)
            << automation::ToUtf8(c.table);
}

}  // namespace
}  // namespace synctest
