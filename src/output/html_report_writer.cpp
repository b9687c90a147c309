#include "output/html_report_writer.h"

#include <exception>

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

HtmlReportWriter::~HtmlReportWriter() = default;

// Names come from the databases and may hold anything, markup included; a blank name still
// needs a cell that shows.
std::wstring HtmlReportWriter::Escaped(std::wstring text)
{
    HtmlEscapeText(text);
    return text;
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
        Escaped(Name1()) + L"</span></td><td>Database2<br/><span class=\"db\">" + Escaped(Name2()) +
        L"</span></td><td>Total Records</td></tr>\r\n";
    int number = 0;
    for (const auto& pair : Pairs().Pairs()) {
        if (!pair->Second())
            continue;
        const int n = Selected(pair.get());
        const std::wstring open =
            n > 0 ? L"<a href=\"#" + std::to_wstring(number) + L"\">" : std::wstring();
        const std::wstring close = n > 0 ? L"</a>" : L"";
        // A key that is not unique leaves the number of records without a meaning.
        const std::wstring note = KeyNote(pair.get());
        text += L"<tr><td>" + open + Escaped(pair->First()->Name()) + close + L"</td><td>" + open +
                Escaped(pair->Second()->Name()) + close + L"</td><td>" +
                (note.empty() ? std::to_wstring(n) : Escaped(note)) + L"</td></tr>\r\n";
        ++number;
    }
    return text + L"</table>\r\n";
}

std::wstring HtmlReportWriter::KeyWarning(const TablePair* pair) const
{
    const std::wstring note = KeyNote(pair);
    if (note.empty())
        return {};
    return L"<br/><b>" + Escaped(note) +
           L"</b>: rows that share a key value may be paired with the wrong rows below.";
}

void HtmlReportWriter::WriteTable(const TablePair* pair, int number, TextFileWriter& file,
                                  IProgress& progress)
{
    std::wstring caption = pair->First()->Name();
    if (pair->First()->Name() != pair->Second()->Name())
        caption += L" / " + pair->Second()->Name();
    std::wstring head = L"<a name=\"" + std::to_wstring(number) + L"\"></a><br/><b>Table:</b> " +
                        Escaped(caption) + KeyWarning(pair) +
                        L"\r\n<table class=\"table_data\" cellspacing=\"0\" cellpadding=\"0\"><tr>";
    if (const CaptionList* captions = Store().ColumnCaptionsOf(pair))
        for (const auto& column : *captions)
            head += L"<td>" + Escaped(column) + L"</td>";
    head += L"</tr>\r\n";
    Write(file, head);

    ReportRowWriter rows;
    StatementEmitter emitter(rows, file);
    VisitRecords(pair, emitter, progress);
    if (StopRequested())
        return;
    Write(file, L"</table>\r\n");
}

void HtmlReportWriter::Run(IProgress& progress)
{
    Begin();
    TextFileWriter file(Path(), TextFileWriter::kUtf8);
    if (!file.Open()) {
        Fail(L"Can't create file.");
        return;
    }
    try {
        progress.SetTotal(StoredItemCount(Pairs(), Store()));
        Write(file, report_pieces::Piece(report_pieces::kHead));
        Write(file, TableList());
        Write(file, report_pieces::Piece(report_pieces::kLegend));
        int number = 0;
        for (const auto& pair : Pairs().Pairs()) {
            if (!pair->Second())
                continue;
            if (Selected(pair.get()) > 0)
                WriteTable(pair.get(), number, file, progress);
            if (StopRequested()) {
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
    if (Failed())
        file.Discard();
}
