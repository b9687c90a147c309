// The workbook object model and the .xls files it saves, read back by xlrd and LibreOffice:
// texts exactly as given, palette colours, bold, alignment, wrapping, merges, borders and
// sheet names.
#include "platform/spreadsheet/excel_application.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/automation/wide_text.h"
#include "support/spreadsheet_readers.h"
#include "support/temp_dir.h"

namespace {

using automation::Ptr;
using automation::Variant;
using namespace excel;

std::wstring PathOf(const std::filesystem::path& path)
{
    return automation::FromUtf8(path.string());
}

std::string Utf8(const std::wstring& text)
{
    return automation::ToUtf8(text);
}

class ExcelApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterSpreadsheetClasses();
        app = automation::CreateObjectAs<Application>(L"Excel.Application");
        book = app->Workbooks()->Add();
        sheets = book->Worksheets();
    }

    testsupport::TempDir dir;
    Ptr<Application> app;
    Ptr<Workbook> book;
    Ptr<Sheets> sheets;
};

// Texts a spreadsheet would take for formulas, numbers or dates when typed; long texts that
// cross the records of the string table, compressed and not.
const std::vector<std::wstring> kTexts = {
    L"=1+1",
    L"0012",
    L"1E5",
    L"12/31/1999",
    L"TRUE",
    L"'quoted",
    L"-0",
    L" ",
    L"a\nb",
    L"\u0416\u20AC\U0001F600",
    std::wstring(9000, L'x'),
    std::wstring(5000, L'\u0411') + L"end",
    std::wstring(32767, L'y'),
};

TEST_F(ExcelApplicationTest, SavedCellsReadBackAsTheExactTexts)
{
    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    auto sheet = sheets->Item(1);
    // Many short texts first, so the long ones start at varying places in their records.
    for (int i = 0; i < 3000; ++i)
        sheet->Range(L"A" + std::to_wstring(i + 1))->SetValue(Variant(L"t" + std::to_wstring(i)));
    ValueArray block(static_cast<int>(kTexts.size()), 1);
    for (size_t i = 0; i < kTexts.size(); ++i)
        block.At(static_cast<int>(i) + 1, 1) = Variant(kTexts[i]);
    sheet->Range(L"C1:C" + std::to_wstring(kTexts.size()))->SetValue(block);
    sheet->Range(L"D1")->SetValue(Variant(int32_t(42)));
    sheet->Range(L"IV65536")->SetValue(Variant(L"last cell"));
    const auto file = dir / "texts.xls";
    book->SaveAs(PathOf(file), xlWorkbookNormal, xlNoChange);

    const auto read = testsupport::ReadXls(file);
    ASSERT_EQ(read.error, "");
    for (int i = 0; i < 3000; i += 499)
        EXPECT_EQ(read.Cell(0, i, 0)->text, "t" + std::to_string(i));
    for (size_t i = 0; i < kTexts.size(); ++i) {
        const auto* cell = read.Cell(0, static_cast<int>(i), 2);
        ASSERT_NE(cell, nullptr) << i;
        EXPECT_EQ(cell->type, 1) << i;
        EXPECT_EQ(cell->text, Utf8(kTexts[i])) << i;
    }
    EXPECT_EQ(read.Cell(0, 0, 3)->text, "42");
    EXPECT_EQ(read.Cell(0, 65535, 255)->text, "last cell");
}

TEST_F(ExcelApplicationTest, FormatsReadBackByPaletteIndex)
{
    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    auto sheet = sheets->Item(1);
    sheet->Range(L"B4:K4")->SetValue(Variant(L"Legend"));
    sheet->Range(L"B4:K4")->Merge();
    sheet->Range(L"B4:K4")->SetHorizontalAlignment(xlCenter);
    sheet->Range(L"B4:K4")->Font()->SetBold(true);
    sheet->Range(L"B5")->Interior()->SetColorIndex(24);
    sheet->Range(L"B6")->Interior()->SetColorIndex(36);
    sheet->Range(L"C5:D6")->SetWrapText(true);
    auto box = sheet->Range(L"B8:C9");
    for (int edge :
         {xlEdgeLeft, xlEdgeTop, xlEdgeBottom, xlEdgeRight, xlInsideHorizontal, xlInsideVertical}) {
        auto border = box->Borders()->Item(edge);
        border->SetLineStyle(xlContinuous);
        border->SetWeight(xlThin);
        border->SetColorIndex(1);
    }
    auto white = box->Borders()->Item(xlInsideHorizontal);
    white->SetColorIndex(2);
    const auto file = dir / "formats.xls";
    book->SaveAs(PathOf(file));

    const auto read = testsupport::ReadXls(file);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.merges.size(), 1u);
    EXPECT_EQ(read.merges[0], (std::array<int, 5>{0, 3, 4, 1, 11}));
    const auto* legend = read.Cell(0, 3, 1);
    EXPECT_EQ(legend->text, "Legend");
    EXPECT_EQ(legend->bold, 1);
    EXPECT_EQ(legend->alignment, 2);
    EXPECT_EQ(read.Cell(0, 3, 5)->text, "") << "a merge keeps only the first cell's value";
    // ColorIndex n is the file's palette entry n + 7.
    EXPECT_EQ(read.Cell(0, 4, 1)->fill, "31");
    EXPECT_EQ(read.Cell(0, 5, 1)->fill, "43");
    EXPECT_EQ(read.Cell(0, 4, 2)->wrap, 1);
    EXPECT_EQ(read.Cell(0, 6, 1), nullptr);
    // Line style 1 (thin); black is palette entry 8, white 9.
    struct Expected {
        int row, column;
        const char* borders;  // left, top, bottom, right
    } cells[] = {
        {7, 1, "1:8,1:8,1:9,1:8"},
        {7, 2, "1:8,1:8,1:9,1:8"},
        {8, 1, "1:8,1:9,1:8,1:8"},
        {8, 2, "1:8,1:9,1:8,1:8"},
    };
    for (const auto& c : cells)
        EXPECT_EQ(read.Cell(0, c.row, c.column)->borders, c.borders) << c.row << "," << c.column;
    // The standard palette, so colour indexes mean what they mean in Excel.
    EXPECT_EQ(read.palette.size(), 56u);
    EXPECT_EQ(read.palette, read.standardPalette);
}

// Only the sheet being written stays in memory; the others wait on disk. Going back to one of
// them, changing it and saving (twice) must keep every sheet's cells, formats and merges.
TEST_F(ExcelApplicationTest, SheetsWrittenInTurnKeepTheirCellsFormatsAndMerges)
{
    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    auto write = [](const Ptr<Worksheet>& sheet, int number) {
        ValueArray block(2000, 3);
        for (int r = 1; r <= 2000; ++r)
            for (int c = 1; c <= 3; ++c)
                block.At(r, c) = Variant(L"s" + std::to_wstring(number) + L" " +
                                         std::to_wstring(r) + L" " + std::to_wstring(c));
        sheet->Range(L"A2:C2001")->SetValue(block);
        sheet->Range(L"A1:C1")->Merge();
        sheet->Range(L"A2:C3")->Interior()->SetColorIndex(20 + number);
    };
    write(sheets->Item(1), 1);
    write(sheets->Item(2), 2);
    auto first = sheets->Item(1);
    EXPECT_EQ(first->Range(L"B7")->Text(), L"s1 6 2");
    first->Range(L"B7")->SetValue(Variant(L"changed"));
    write(sheets->Item(3), 3);
    sheets->Add(nullptr, sheets->Item(3))->Range(L"A1")->SetValue(Variant(L"fourth"));
    const auto file = dir / "turns.xls";
    book->SaveAs(PathOf(file));
    sheets->Item(2)->Range(L"A5")->SetValue(Variant(L"after saving"));
    book->SaveAs(PathOf(file));

    const auto read = testsupport::ReadXls(file);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.sheets.size(), 4u);
    for (int sheet = 0; sheet < 3; ++sheet) {
        const std::string prefix = "s" + std::to_string(sheet + 1) + " ";
        for (int r : {1, 2, 999, 2000})
            for (int c : {1, 3})
                EXPECT_EQ(read.Cell(sheet, r, c - 1)->text,
                          prefix + std::to_string(r) + " " + std::to_string(c));
        EXPECT_EQ(read.Cell(sheet, 1, 1)->fill, std::to_string(20 + sheet + 1 + 7));
        EXPECT_EQ(read.Cell(sheet, 3, 1)->fill, "-");
    }
    EXPECT_EQ(read.Cell(0, 6, 1)->text, "changed");
    EXPECT_EQ(read.Cell(1, 4, 0)->text, "after saving");
    EXPECT_EQ(read.Cell(3, 0, 0)->text, "fourth");
    std::vector<std::array<int, 5>> merges = read.merges;
    std::sort(merges.begin(), merges.end());
    EXPECT_EQ(merges,
              (std::vector<std::array<int, 5>>{{0, 0, 1, 0, 3}, {1, 0, 1, 0, 3}, {2, 0, 1, 0, 3}}));
}

// The shared table of texts has a fixed size: the texts past it are saved in their cells, also
// on a sheet set aside and taken up again, and a text the table has is still found there.
TEST_F(ExcelApplicationTest, TextsPastTheSharedTableReadBackOnEverySheet)
{
    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    constexpr int kRows = 36000;
    auto text = [](int sheet, int row, int column) {
        std::wstring t = L"s" + std::to_wstring(sheet) + L" " + std::to_wstring(row) + L" " +
                         std::to_wstring(column);
        return row % 7 == 0 ? t + L" \u0416\u20AC" : t;
    };
    const std::wstring longText = std::wstring(5000, L'\u0411') + L"end";
    for (int s = 1; s <= 2; ++s) {
        auto sheet = sheets->Item(s);
        ValueArray block(kRows, 2);
        for (int r = 1; r <= kRows; ++r)
            for (int c = 1; c <= 2; ++c)
                block.At(r, c) = Variant(text(s, r, c));
        sheet->Range(L"A1:B" + std::to_wstring(kRows))->SetValue(block);
    }
    auto second = sheets->Item(2);
    second->Range(L"C1")->SetValue(Variant(L"s1 1 1"));
    second->Range(L"C2")->SetValue(Variant(longText));
    second->Range(L"C3")->SetValue(Variant(L"second \u0416 own"));
    second->Range(L"C3")->SetWrapText(true);
    // The second sheet goes aside and comes back with the texts it kept itself.
    EXPECT_EQ(sheets->Item(1)->Range(L"A5")->Text(), text(1, 5, 1));
    EXPECT_EQ(second->Range(L"B35000")->Text(), text(2, 35000, 2));
    EXPECT_EQ(second->Range(L"C3")->Text(), L"second \u0416 own");
    second->Range(L"A35001")->SetValue(Variant(L"changed"));
    const auto file = dir / "many.xls";
    book->SaveAs(PathOf(file));

    const auto read = testsupport::ReadXls(file);
    ASSERT_EQ(read.error, "");
    ASSERT_GE(read.sheets.size(), 2u);
    for (int s = 1; s <= 2; ++s)
        for (int r : {1, 7, 20000, 33999, 35000, 35993, kRows})
            for (int c : {1, 2}) {
                const auto* cell = read.Cell(s - 1, r - 1, c - 1);
                ASSERT_NE(cell, nullptr) << s << " " << r << " " << c;
                EXPECT_EQ(cell->text, r == 35001 && s == 2 && c == 1 ? std::string("changed")
                                                                     : Utf8(text(s, r, c)))
                    << s << " " << r << " " << c;
            }
    EXPECT_EQ(read.Cell(1, 35000, 0)->text, "changed");
    EXPECT_EQ(read.Cell(1, 0, 2)->text, "s1 1 1");
    EXPECT_EQ(read.Cell(1, 1, 2)->text, Utf8(longText));
    EXPECT_EQ(read.Cell(1, 2, 2)->text, Utf8(L"second \u0416 own"));
    EXPECT_EQ(read.Cell(1, 2, 2)->wrap, 1);
}

// A wrapped text gets a row tall enough for all its lines, at its column's width, set so that
// readers keep it; texts of one line and texts that are not wrapped keep the default height.
TEST_F(ExcelApplicationTest, RowsOfWrappedTextsAreTallEnoughForTheirLines)
{
    if (!testsupport::HaveXlrd())
        GTEST_SKIP() << "python3-xlrd is not installed";
    std::wstring words = L"word";
    for (int i = 1; i < 200; ++i)
        words += L" word";
    struct Case {
        std::wstring text;
        bool wrap;
        int height;  // twips; 0 for no row record
    } cases[] = {
        {L"one line", true, 0},
        {L"a\nb\nc", true, 3 * 255},
        {L"a\r\nb", true, 2 * 255},
        // The column is 60 characters wide, a line holds 12 of these words.
        {words, true, 17 * 255},
        {std::wstring(32767, L'y'), true, 8180},  // the tallest a row can be
        {L"a\nb", false, 0},
    };
    auto sheet = sheets->Item(1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto cell = sheet->Range(L"B" + std::to_wstring(i + 1));
        cell->SetWrapText(cases[i].wrap);
        cell->SetValue(Variant(cases[i].text));
    }
    const auto file = dir / "heights.xls";
    book->SaveAs(PathOf(file));

    const auto read = testsupport::ReadXls(file);
    ASSERT_EQ(read.error, "");
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto it = read.heights.find({0, static_cast<int>(i)});
        if (cases[i].height == 0) {
            EXPECT_EQ(it, read.heights.end()) << i;
            continue;
        }
        ASSERT_NE(it, read.heights.end()) << i;
        EXPECT_EQ(it->second, std::make_pair(cases[i].height, 1)) << i;
    }
}

TEST_F(ExcelApplicationTest, SheetNamesFollowTheSpreadsheetRules)
{
    auto first = sheets->Item(1);
    struct Case {
        std::wstring name;
        bool accepted;
    } cases[] = {
        {L"Orders", true},
        {std::wstring(31, L'n'), true},
        {L"\u0417\u0430\u043a\u0430\u0437\u044b", true},
        {L"a'b", true},
        {L"", false},
        {std::wstring(32, L'n'), false},
        {L"a:b", false},
        {L"a\\b", false},
        {L"a/b", false},
        {L"a?b", false},
        {L"a*b", false},
        {L"[ab", false},
        {L"ab]", false},
        {L"'ab", false},
        {L"ab'", false},
        {L"SHEET2", false},  // another sheet's name, whatever the case
    };
    for (const auto& c : cases) {
        bool accepted = true;
        try {
            first->SetName(c.name);
        } catch (const automation::ComError& error) {
            accepted = false;
            EXPECT_EQ(error.Error(), kExcelCallFailed);
            EXPECT_FALSE(error.Description().empty());
        }
        EXPECT_EQ(accepted, c.accepted) << Utf8(c.name);
    }
}

TEST_F(ExcelApplicationTest, SheetsAddedWithoutPlaceGoBeforeTheActiveOneAndAfterWhereAsked)
{
    EXPECT_EQ(sheets->Count(), Workbook::kSheetsInNewWorkbook);
    auto added = sheets->Add();
    EXPECT_EQ(added->Name(), L"Sheet4");
    EXPECT_EQ(sheets->Item(1)->Name(), L"Sheet4");
    auto last = sheets->Add(nullptr, sheets->Item(sheets->Count()));
    EXPECT_EQ(sheets->Item(5)->Name(), last->Name());
    EXPECT_THROW(sheets->Item(6), automation::ComError);
}

TEST_F(ExcelApplicationTest, RangesOutsideTheSheetAndOtherFormatsAreRefused)
{
    auto sheet = sheets->Item(1);
    for (const wchar_t* address : {L"", L"B", L"4", L"IW1", L"A65537", L"A0", L"B4:", L"B-4"})
        EXPECT_THROW(sheet->Range(address), automation::ComError) << Utf8(address);
    EXPECT_THROW(sheet->Range(L"A1")->SetValue(Variant(std::wstring(32768, L'z'))),
                 automation::ComError);
    EXPECT_THROW(sheet->Range(L"A1")->Interior()->SetColorIndex(57), automation::ComError);
    EXPECT_THROW(book->SaveAs(PathOf(dir / "x.xlsx"), 51), automation::ComError);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.xlsx"));
}

TEST_F(ExcelApplicationTest, FailedSaveKeepsTheOlderFileAndLeavesNothingBehind)
{
    const auto file = dir / "kept.xls";
    std::ofstream(file) << "older";
    // A workbook without sheets cannot be a file.
    sheets->Item(1)->Range(L"A1")->SetValue(Variant(L"new"));
    EXPECT_THROW(book->SaveAs(PathOf(dir / "missing" / "a.xls")), automation::ComError);
    book->Close();
    EXPECT_THROW(book->SaveAs(PathOf(file)), automation::ComError);
    std::ifstream in(file);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "older");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(ExcelApplicationTest, WorkbookSavedThroughLinksReachesTheLinkedFile)
{
    namespace fs = std::filesystem;
    const auto real = dir / "real.xls";
    std::ofstream(real) << "older";
    fs::create_symlink("real.xls", dir / "symbolic.xls");
    fs::create_hard_link(real, dir / "hard.xls");
    sheets->Item(1)->Range(L"A1")->SetValue(Variant(L"new"));
    book->SaveAs(PathOf(dir / "symbolic.xls"));
    EXPECT_TRUE(fs::is_symlink(dir / "symbolic.xls"));
    EXPECT_EQ(fs::hard_link_count(real), 2u);
    EXPECT_GT(fs::file_size(dir / "hard.xls"), 512u);  // the workbook, seen by every name
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);
}

TEST_F(ExcelApplicationTest, LibreOfficeConvertsTheFileWithItsTexts)
{
    if (!testsupport::HaveLibreOffice())
        GTEST_SKIP() << "LibreOffice is not installed";
    auto sheet = sheets->Item(1);
    sheet->SetName(L"Data");
    sheet->Range(L"A1:D1")->SetValue(Variant(L"h"));
    ValueArray row(1, 4);
    row.At(1, 1) = Variant(L"=1+1");
    row.At(1, 2) = Variant(L"0012");
    row.At(1, 3) = Variant(L"1E5");
    row.At(1, 4) = Variant(L"\u0416");
    sheet->Range(L"A2:D2")->SetValue(row);
    const auto file = dir / "convert.xls";
    book->SaveAs(PathOf(file));
    std::filesystem::path csv;
    int status = -1;
    const std::string out = testsupport::ConvertWithLibreOffice(
        file, "csv:Text - txt - csv (StarCalc):44,34,76", dir.path(), csv, &status);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 124)
        GTEST_SKIP() << "LibreOffice did not finish within its time on this loaded machine";
    ASSERT_EQ(status, 0) << out;
    std::ifstream in(csv);
    std::string header, values;
    std::getline(in, header);
    std::getline(in, values);
    EXPECT_EQ(header, "h,h,h,h");
    EXPECT_EQ(values, "=1+1,0012,1E5,\xD0\x96");
}

}  // namespace
