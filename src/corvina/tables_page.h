// The page on which the user chooses what is compared: both databases' tables side by side,
// paired by name, each pair with its fields, a list of Database2 candidates behind each pairing
// button, reset crosses, key fields set from the context menu, and tables folded by their icons.
// The pairs live in the comparison context; the page draws them and turns clicks into changes.
#pragma once

#include <string>
#include <vector>

#include "corvina/wizard_page.h"
#include "htmlui/html_host_window.h"
#include "htmlui/popup_behavior.h"

class ComparisonContext;
class TablePairList;

class TablesPage : public htmlui::HtmlHostWindow,
                   public WizardPage,
                   public htmlui::PopupDismissCallback {
    Q_OBJECT
public:
    static constexpr int kPageId = 205;
    static constexpr const wchar_t* kCaption = L"Select tables and fields";
    static constexpr const wchar_t* kNothingChosen = L"Select tables and fields to compare.";

    // Starts again from the automatic pairing of both loaded schemas.
    explicit TablesPage(ComparisonContext& context);
    ~TablesPage() override;

    void Create(WizardDialog& wizard) override;
    void Destroy() override;
    // Refuses to go on while no table is chosen, a chosen table has no key field, or a key
    // field's two sides hold values of kinds that sort differently.
    bool Validate() override;

    // The two paths above the pairs, each fitted to the page's width with its file name whole;
    // the whole path is the tool tip of its line.
    void ShowDatabasePaths(const std::wstring& first, const std::wstring& second);

    // A candidate popup closed after a choice in its list.
    void PopupDismissed(const htmlui::ElementRef& popup) override;
    int HandleEvent(const htmlui::ElementRef& element, html::BehaviorEventParams& params) override;

    // The pairs shown (null when a side has no schema).
    TablePairList* Pairs() const { return pairs_; }
    // The text of the last refusal (empty when the last check passed).
    const std::wstring& Message() const { return message_; }
    // The markup of the structure as last written (UTF-8).
    std::string StructureMarkup() const;

    // What a page command does, as the menus and buttons call it; `command` is a menu item's
    // "cmd", the pair indexes are -1 where there is none.
    void RunMenuCommand(const std::wstring& command, int tableIndex, int fieldIndex);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void FitDatabasePaths();
    // Writes the tables into the page. `changed` names the only pairs that may have changed
    // since the last time (all may, when null); those the page itself changed since, and
    // those the user folded or unfolded, are written as well.
    void BuildStructure(const std::vector<std::size_t>* changed = nullptr);
    // Reads the folding the user left in the page into the pairs; the tables whose folding
    // differs from what was written go into `refolded`.
    void KeepFolding(std::vector<std::size_t>* refolded = nullptr);
    void OnButtonClick(const htmlui::ElementRef& button);
    void OnMenuItem(const htmlui::ElementRef& item, const htmlui::ElementRef& source);
    void ShowCandidates(const htmlui::ElementRef& button, bool tables);

    ComparisonContext& context_;
    TablePairList* pairs_ = nullptr;  // the context's
    WizardDialog* wizard_ = nullptr;
    std::wstring message_;
    // Each table's markup as last written into the page (empty where the page changed it since),
    // and what it was written from.
    std::vector<std::string> shownTables_;
    std::vector<std::string> shownPrints_;
    // Whether each table was written open, and the tables the page changed since.
    std::vector<char> shownOpen_;
    std::vector<std::size_t> pageChanged_;
    QString paths_[2];
};
