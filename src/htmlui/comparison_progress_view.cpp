// The progress page's grid, numbers and bars.
#include "htmlui/comparison_progress_view.h"

#include "htmlui/markup_text.h"

namespace htmlui {

ComparisonProgressView::ComparisonProgressView(QWidget* parent)
    : HtmlHostWindow(parent, html::kHandleBehaviorEvent)
{
}

bool ComparisonProgressView::Create()
{
    return OnCreate(kPageId);
}

int ComparisonProgressView::Percentage(long long done, long long total)
{
    return total == 0 ? 0 : int(done * 100 / total);
}

void ComparisonProgressView::SetText(const char* id, const std::wstring& text)
{
    const ElementRef e = GetRootElement().FindById(id);
    e.SetText(text.c_str());
    e.Update();
}

void ComparisonProgressView::SetBarWidth(const char* id, int percent)
{
    const ElementRef bar = GetRootElement().FindById(id);
    bar.SetStyleAttribute("width", (std::to_wstring(percent) + L"%").c_str());
    bar.Update();
}

void ComparisonProgressView::SetTablePairs(const std::vector<ProgressTablePair>& pairs)
{
    pairCount_ = static_cast<long long>(pairs.size());
    const ElementRef grid = GetRootElement().FindById("tables_pairs_grid");
    if (!gridFilled_) {
        gridFilled_ = true;
        std::string markup;
        markup.reserve(256 + pairs.size() * 64);
        markup += "<tr><td>Database1</td><td>Database2</td></tr>";
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            markup += "<tr idx=\"" + std::to_string(i) + "\"><td>";
            AppendName(markup, pairs[i].name1);
            markup += "</td><td>";
            AppendName(markup, pairs[i].name2);
            markup += "</td></tr>";
        }
        grid.SetHtml(markup);
    }
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const ElementRef row = grid.GetChild(unsigned(i + 1));
        const wchar_t* cls = pairs[i].checked ? L"selected" : pairs[i].current ? L"active" : L"";
        row.SetAttribute("class", cls);
        row.Update();
    }
    SetText("tables_total", std::to_wstring(pairCount_));
}

void ComparisonProgressView::SetTablesProcessed(long long count)
{
    SetText("tables_processed", std::to_wstring(count));
    SetBarWidth("progressbar_tables", Percentage(count, pairCount_));
    if (count == pairCount_)
        GetRootElement().Update();
    lastRecordsPercent_ = -1;
}

void ComparisonProgressView::SetRecordsProcessed(long long done, long long total)
{
    SetText("records_processed", std::to_wstring(done));
    SetText("records_total", std::to_wstring(total));
    const int percent = Percentage(done, total);
    if (percent != lastRecordsPercent_) {
        lastRecordsPercent_ = percent;
        SetBarWidth("progressbar_records", percent);
    }
    GetRootElement().FindById("processed_info").Update();
}

void ComparisonProgressView::SetTableNames(const std::wstring& first, const std::wstring& second)
{
    SetText("tables_name", first == second ? first : first + L" / " + second);
}

void ComparisonProgressView::ShowDatabasePaths(const std::wstring& first,
                                               const std::wstring& second)
{
    SetText("db_path1", first);
    SetText("db_path2", second);
}

int ComparisonProgressView::OnEvent(const ElementRef&, const ElementRef& target, unsigned cmd,
                                    std::uintptr_t)
{
    if (cmd != html::kButtonClick)
        return 0;
    const ElementRef row = target.GetParent();
    if (!row.GetParent().HasId("tables_pairs_grid"))
        return 0;
    const int idx = row.GetAttributeInt("idx", -1);
    if (idx >= 0 && rowClick_)
        rowClick_(idx);
    return 1;
}

}  // namespace htmlui
