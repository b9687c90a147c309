#include "output/html_report_writer.h"

#include <exception>

#include "compare/data_reader.h"
#include "compare/record_counter.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "output/html_report_pieces.h"
#include "output/record_kind_visitor.h"
#include "output/report_row_writer.h"
#include "output/statement_emitter.h"
#include "output/text_utils.h"
#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "sqlexec/progress.h"
#include "sqlexec/text_file_writer.h"

HtmlReportWriter::HtmlReportWriter(std::wstring path, std::wstring name1, std::wstring name2,
                                   ResultStore& store, DataReader& reader,
                                   const TablePairList& pairs, bool firstOnly, bool secondOnly,
                                   bool modified, bool equal)
    : firstOnly_(firstOnly),
      secondOnly_(secondOnly),
      modified_(modified),
      equal_(equal),
      path_(std::move(path)),
      store_(store),
      reader_(reader),
      pairs_(pairs),
      name1_(std::move(name1)),
      name2_(std::move(name2))
{
}

HtmlReportWriter::~HtmlReportWriter() = default;

void HtmlReportWriter::RequestStop()
{
    stop_.Request();
    store_.Abort();
}

void HtmlReportWriter::Fail(std::wstring text)
{
    failed_ = true;
    errorText_ = std::move(text);
}

// Names come from the databases and may hold anything, markup included; a blank name still
// needs a cell that shows.
std::wstring HtmlReportWriter::Escaped(std::wstring text)
{
    HtmlEscapeText(text);
    return text;
}

int HtmlReportWriter::Selected(const TablePair* pair) const
{
    return CountSelectedRecords(pair, store_, firstOnly_, secondOnly_, modified_, equal_);
}

void HtmlReportWriter::Write(TextFileWriter& file, const std::wstring& text)
{
    if (!file.Write(text))
        throw ScriptWriteError(file.GetError());
}

std::wstring HtmlReportWriter::TableList() const
{
    std::wstring text =
        L"<table class=\"table_list\" cellspacing=\"0\" cellpadding=\"0\"><tr><td>Database1<br/>"
        L"<span class=\"db\">" +
        Escaped(name1_) + L"</span></td><td>Database2<br/><span class=\"db\">" + Escaped(name2_) +
        L"</span></td><td>Total Records</td></tr>\r\n";
    int number = 0;
    for (const auto& pair : pairs_.Pairs()) {
        if (!pair->Second())
            continue;
        const int n = Selected(pair.get());
        const std::wstring open =
            n > 0 ? L"<a href=\"#" + std::to_wstring(number) + L"\">" : std::wstring();
        const std::wstring close = n > 0 ? L"</a>" : L"";
        text += L"<tr><td>" + open + Escaped(pair->First()->Name()) + close + L"</td><td>" + open +
                Escaped(pair->Second()->Name()) + close + L"</td><td>" + std::to_wstring(n) +
                L"</td></tr>\r\n";
        ++number;
    }
    return text + L"</table>\r\n";
}

void HtmlReportWriter::WriteTable(const TablePair* pair, int number, TextFileWriter& file,
                                  IProgress& progress)
{
    std::wstring caption = pair->First()->Name();
    if (pair->First()->Name() != pair->Second()->Name())
        caption += L" / " + pair->Second()->Name();
    std::wstring head = L"<a name=\"" + std::to_wstring(number) + L"\"></a><br/><b>Table:</b> " +
                        Escaped(caption) +
                        L"\r\n<table class=\"table_data\" cellspacing=\"0\" cellpadding=\"0\"><tr>";
    if (const CaptionList* captions = store_.ColumnCaptionsOf(pair))
        for (const auto& column : *captions)
            head += L"<td>" + Escaped(column) + L"</td>";
    head += L"</tr>\r\n";
    Write(file, head);

    RecordReaderPair& readers = reader_.GetTableRecords(pair);
    ReportRowWriter rows;
    StatementEmitter emitter(rows, file);
    StatementKinds kinds{secondOnly_, modified_, firstOnly_, equal_};
    auto visitor = RecordKindVisitor::ForTarget(1, emitter, kinds, *readers.reader1,
                                                *readers.reader2, progress, true);
    store_.VisitTable(pair, *visitor);
    if (stop_.IsRequested())
        return;
    Write(file, L"</table>\r\n");
}

void HtmlReportWriter::Run(IProgress& progress)
{
    failed_ = false;
    errorText_.clear();
    // A cancelled earlier task leaves the store's abort flag set.
    if (!stop_.IsRequested())
        store_.ResetAbort();
    TextFileWriter file(path_, TextFileWriter::kUtf8);
    if (!file.Open()) {
        Fail(L"Can't create file.");
        return;
    }
    try {
        progress.SetTotal(StoredItemCount(pairs_, store_));
        Write(file, report_pieces::Piece(report_pieces::kHead));
        Write(file, TableList());
        Write(file, report_pieces::Piece(report_pieces::kLegend));
        int number = 0;
        for (const auto& pair : pairs_.Pairs()) {
            if (!pair->Second())
                continue;
            if (Selected(pair.get()) > 0)
                WriteTable(pair.get(), number, file, progress);
            if (stop_.IsRequested()) {
                file.Discard();
                return;
            }
            ++number;
        }
        Write(file, report_pieces::Piece(report_pieces::kEnd));
        if (!file.Close()) {
            Fail(file.GetError().empty() ? std::wstring(L"Can't write file") : file.GetError());
            return;
        }
        progress.Done();
    } catch (const ScriptWriteError& error) {
        Fail(error.Text().empty() ? std::wstring(L"Can't write file") : error.Text());
    } catch (const automation::ComError& error) {
        Fail(error.Description().empty() ? L"Database error." : L"Error: " + error.Description());
    } catch (const std::exception& error) {
        Fail(L"Error: " + automation::FromUtf8(error.what()));
    }
    if (failed_)
        file.Discard();
}
