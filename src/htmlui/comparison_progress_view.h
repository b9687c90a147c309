// The comparison progress page: a grid of the table pairs and two progress
// bars (tables, records) on an HTML page.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "htmlui/html_host_window.h"

namespace htmlui {

// What the page shows of one table pair.
struct ProgressTablePair {
    std::wstring name1;
    std::wstring name2;
    bool checked = false;  // the pair's row is selected
    bool current = false;  // the pair's row is the current one
};

class ComparisonProgressView : public HtmlHostWindow {
    Q_OBJECT
public:
    static constexpr int kPageId = 214;

    explicit ComparisonProgressView(QWidget* parent = nullptr);
    // Creates the page (connects to the engine and loads resource 214).
    bool Create();

    // Fills the grid the first time; afterwards only marks the rows.
    void SetTablePairs(const std::vector<ProgressTablePair>& pairs);
    void SetTablesProcessed(long long count);
    void SetRecordsProcessed(long long done, long long total);
    void SetTableNames(const std::wstring& first, const std::wstring& second);
    void ShowDatabasePaths(const std::wstring& first, const std::wstring& second);
    // Called with the pair index of a clicked grid row.
    void SetRowClickCallback(std::function<void(int)> callback) { rowClick_ = std::move(callback); }

    int OnEvent(const ElementRef& element, const ElementRef& target, unsigned cmd,
                std::uintptr_t reason) override;

    // done * 100 / total in whole percent, 0 when total is 0.
    static int Percentage(long long done, long long total);

private:
    void SetText(const char* id, const std::wstring& text);
    void SetBarWidth(const char* id, int percent);

    long long pairCount_ = 0;
    bool gridFilled_ = false;
    int lastRecordsPercent_ = -1;
    std::function<void(int)> rowClick_;
};

}  // namespace htmlui
