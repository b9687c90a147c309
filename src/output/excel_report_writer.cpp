#include "output/excel_report_writer.h"

#include <cwctype>
#include <exception>
#include <functional>

#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "database/db_connection.h"
#include "output/excel_sheet_writer.h"
#include "output/record_kind_visitor.h"
#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/spreadsheet/excel_application.h"
#include "sqlexec/progress.h"

using automation::Ptr;
using automation::Variant;

namespace {

constexpr size_t kMaxSheetName = 31;
constexpr int kBlack = 1;

std::wstring Fold(const std::wstring& name)
{
    std::wstring folded = name;
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(std::towupper(c));
    return folded;
}

void Line(excel::Range& range, int edge, int colorIndex = kBlack)
{
    auto border = range.Borders()->Item(edge);
    border->SetLineStyle(excel::xlContinuous);
    border->SetWeight(excel::xlThin);
    border->SetColorIndex(colorIndex);
}

void Outline(excel::Range& range)
{
    for (int edge : {excel::xlEdgeLeft, excel::xlEdgeTop, excel::xlEdgeBottom, excel::xlEdgeRight})
        Line(range, edge);
}

}  // namespace

// Feeds the visitor's records to the sheet writer, and goes on to a new sheet of the same table
// when the sheet is full; the two rows of a modified record stay together.
class ExcelReportWriter::RowFeed : public RecordEmitter {
public:
    using NextSheet = std::function<std::unique_ptr<ExcelSheetWriter>(ExcelSheetWriter& full)>;

    RowFeed(std::unique_ptr<ExcelSheetWriter> sheet, NextSheet next)
        : sheet_(std::move(sheet)), next_(std::move(next))
    {
    }

    void Insert(const DbRecord& record) override { Room(1).AddRow(record, 36, nullptr); }
    void Update(const DbRecord* target, const DbRecord& source,
                const ModifiedDiffItem* item) override
    {
        Room(2).AddModified(*target, source, *item);
    }
    void Delete(const DbRecord& record) override { Room(1).AddRow(record, 24, nullptr); }
    void Equal(const DbRecord& record) override { Room(1).AddRow(record, 2, nullptr); }

    ExcelSheetWriter& Sheet() { return *sheet_; }

private:
    ExcelSheetWriter& Room(int rows)
    {
        if (sheet_->RowsLeft() < rows)
            sheet_ = next_(*sheet_);
        return *sheet_;
    }

    std::unique_ptr<ExcelSheetWriter> sheet_;
    NextSheet next_;
};

ExcelReportWriter::~ExcelReportWriter() = default;

std::wstring ExcelReportWriter::SheetName(const std::wstring& table, const std::wstring& suffix)
{
    std::wstring name;
    for (wchar_t c : table) {
        const bool refused = c == L':' || c == L'\\' || c == L'/' || c == L'?' || c == L'*' ||
                             c == L'[' || c == L']' || static_cast<unsigned>(c) < 32;
        name += refused ? L'_' : c;
    }
    if (name.empty())
        name = L"Table";
    const size_t room = kMaxSheetName - std::min(suffix.size(), kMaxSheetName - 1);
    if (name.size() > room)
        name.resize(room);
    if (name.front() == L'\'')
        name.front() = L'_';
    if (name.back() == L'\'' && suffix.empty())
        name.back() = L'_';
    return name + suffix;
}

std::wstring ExcelReportWriter::UniqueName(excel::Sheets& sheets, int number,
                                           const std::wstring& table, int part)
{
    auto taken = [&](const std::wstring& candidate) {
        const std::wstring folded = Fold(candidate);
        if (usedNames_.count(folded))
            return true;
        for (int i = 1; i <= sheets.Count(); ++i)
            if (i != number && Fold(sheets.Item(i)->Name()) == folded)
                return true;
        return false;
    };
    const std::wstring partSuffix = part > 1 ? L" (" + std::to_wstring(part) + L")" : L"";
    std::wstring name = SheetName(table, partSuffix);
    for (int k = 2; taken(name); ++k)
        name = SheetName(table, partSuffix + L" (" + std::to_wstring(k) + L")");
    usedNames_.insert(Fold(name));
    return name;
}

std::unique_ptr<ExcelSheetWriter> ExcelReportWriter::StartSheet(excel::Sheets& sheets, int number,
                                                                const TablePair* pair, int part)
{
    // Excel puts a sheet added without a place before the active one; after the last keeps the
    // sheets in the order of the tables.
    Ptr<excel::Worksheet> sheet = number > sheets.Count()
                                      ? sheets.Add(nullptr, sheets.Item(sheets.Count()))
                                      : sheets.Item(number);
    const std::wstring& table1 = pair->First()->Name();
    const std::wstring& table2 = pair->Second()->Name();
    sheet->SetName(UniqueName(sheets, number, table1, part));

    sheet->Range(L"B1")->SetValue(Variant(L"Db1:"));
    sheet->Range(L"C1")->SetValue(Variant(Name1()));
    sheet->Range(L"B2")->SetValue(Variant(L"Db2:"));
    sheet->Range(L"C2")->SetValue(Variant(Name2()));

    auto title = sheet->Range(L"B4:K4");
    title->Merge();
    title->SetHorizontalAlignment(excel::xlCenter);
    // A merged block shows the value of its first cell; the others stay empty.
    sheet->Range(L"B4")->SetValue(Variant(L"Legend"));
    title->Font()->SetBold(true);
    Line(*title, excel::xlEdgeBottom);
    const int colours[] = {2, 24, 36, 4};
    const wchar_t* texts[] = {
        L"equal records", L"records only from Database1", L"records only from Database2",
        L"modified records (first row is from Database1, second row is from Database2)"};
    for (int i = 0; i < 4; ++i) {
        sheet->Range(ExcelCellAddress(1, 5 + i))->Interior()->SetColorIndex(colours[i]);
        sheet->Range(ExcelCellAddress(2, 5 + i))->SetValue(Variant(texts[i]));
    }
    auto samples = sheet->Range(L"B5:B8");
    Outline(*samples);
    Line(*samples, excel::xlInsideHorizontal);
    Outline(*sheet->Range(L"B4:K8"));

    if (const std::wstring note = KeyNote(pair); !note.empty())
        sheet->Range(L"B9")->SetValue(
            Variant(note + L": rows that share a key value may be paired with the wrong rows."));
    sheet->Range(L"B10")->SetValue(Variant(L"Table:"));
    sheet->Range(L"C10")->SetValue(Variant(table1 == table2 ? table1 : table1 + L" / " + table2));

    const CaptionList* captions = Store().ColumnCaptionsOf(pair);
    const int columns = captions ? static_cast<int>(captions->size()) : 0;
    for (int i = 0; i < columns; ++i)
        sheet->Range(ExcelCellAddress(1 + i, 11))->SetValue(Variant((*captions)[i]));
    sheet->Range(ExcelCellAddress(1 + columns, 11))->SetValue(Variant(L" "));
    return std::make_unique<ExcelSheetWriter>(sheet);
}

void ExcelReportWriter::FinishSheet(ExcelSheetWriter& writer, int columns)
{
    writer.Flush();
    // The writer's sheet is the one it was made for; the table's borders go on it.
    auto table = writer.Sheet()->Range(ExcelCellAddress(1, 11) + L":" +
                                       ExcelCellAddress(std::max(columns, 1), writer.LastRow()));
    for (int edge : {excel::xlInsideHorizontal, excel::xlInsideVertical})
        Line(*table, edge);
    Outline(*table);
    writer.MarkModifiedPairs(std::max(columns, 1));
}

void ExcelReportWriter::WriteTable(excel::Sheets& sheets, const TablePair* pair, int& sheetNumber,
                                   IProgress& progress)
{
    const CaptionList* captions = Store().ColumnCaptionsOf(pair);
    const int columns = captions ? static_cast<int>(captions->size()) : 0;
    int part = 1;
    RowFeed feed(StartSheet(sheets, sheetNumber, pair, part), [&](ExcelSheetWriter& full) {
        FinishSheet(full, columns);
        return StartSheet(sheets, ++sheetNumber, pair, ++part);
    });
    VisitRecords(pair, feed, progress);
    if (StopRequested())
        return;
    FinishSheet(feed.Sheet(), columns);
    ++sheetNumber;
}

void ExcelReportWriter::Run(IProgress& progress)
{
    Begin();
    usedNames_.clear();
    Ptr<excel::Application> app;
    try {
        app = automation::CreateObjectAs<excel::Application>(L"Excel.Application");
    } catch (const automation::ComError&) {
        Fail(L"Couldn't start Excel");
        return;
    }
    Ptr<excel::Workbook> book;
    try {
        book = app->Workbooks()->Add();
        progress.SetTotal(StoredItemCount(Pairs(), Store()));
        auto sheets = book->Worksheets();
        int sheetNumber = 1;
        for (const auto& pair : Pairs().Pairs()) {
            if (!pair->Second())
                continue;
            if (Selected(pair.get()) > 0)
                WriteTable(*sheets, pair.get(), sheetNumber, progress);
            if (StopRequested()) {
                book->Close(false);
                app->Quit();
                return;
            }
        }
        app->SetDisplayAlerts(false);
        book->SaveAs(Path(), excel::xlWorkbookNormal, excel::xlNoChange);
        app->Quit();
        progress.Done();
        return;
    } catch (const automation::ComError& error) {
        std::wstring text = FormatComError(error);
        Fail(text.empty() ? std::wstring(L"Excel could not write the workbook.") : text);
    } catch (const std::exception& error) {
        Fail(L"Error: " + automation::FromUtf8(error.what()));
    }
    if (book && book->IsOpen())
        book->Close(false);
    app->Quit();
}
