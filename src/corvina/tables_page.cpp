#include "corvina/tables_page.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>
#include <cstring>
#include <sstream>
#include <string_view>
#include <vector>

#include "compare/comparison_context.h"
#include "compare/key_order.h"
#include "compare/table_pair_list.h"
#include "corvina/path_label.h"
#include "corvina/wizard_dialog.h"
#include "database/data_type_table.h"
#include "database/schema_field.h"
#include "htmlui/markup_text.h"
#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"

namespace {

using htmlui::AppendName;
using htmlui::ElementRef;

bool HasClass(const ElementRef& e, const wchar_t* name)
{
    const std::wstring classes = e.GetAttribute("class").value_or(L"");
    std::wistringstream words(classes);
    std::wstring word;
    while (words >> word)
        if (word == name)
            return true;
    return false;
}

ElementRef RowOf(const ElementRef& e)
{
    for (ElementRef r = e; r.IsValid(); r = r.GetParent())
        if (r.GetTag() == "tr")
            return r;
    return ElementRef();
}

void AppendNumber(std::string& out, const char* name, int value)
{
    out += ' ';
    out += name;
    out += "=\"";
    out += std::to_string(value);
    out += '"';
}

// The type text of a field: its column definition without the blank it starts with. The words
// of one clause ("DECIMAL(18, 2)", "WITH COMPRESSION", "NOT NULL", "DEFAULT 0") are joined by
// no-break spaces, so a narrow column wraps the text only between clauses. A long default value
// keeps its own blanks: it may wrap inside itself rather than widen the column.
std::wstring TypeText(const SchemaField& field)
{
    constexpr wchar_t kNoBreak = L'\u00A0';
    constexpr size_t kLongDefault = 20;
    std::wstring text = field.ColumnDefinition();
    if (!text.empty() && text.front() == L' ')
        text.erase(0, 1);
    int depth = 0;
    size_t wordStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'(')
            ++depth;
        else if (c == L')' && depth > 0)
            --depth;
        if (c != L' ')
            continue;
        const std::wstring_view word(text.data() + wordStart, i - wordStart);
        if (word == L"DEFAULT") {
            const bool shortValue = text.size() - (i + 1) <= kLongDefault;
            for (size_t j = i; j < text.size(); ++j)
                if (text[j] == L' ' && (j == i || shortValue))
                    text[j] = kNoBreak;
            break;
        }
        if (depth > 0 || word == L"NOT" || word == L"WITH")
            text[i] = kNoBreak;
        wordStart = i + 1;
    }
    return text;
}

// A field as a refusal names it: its name and its type word, "Id (LONG)".
std::wstring FieldText(const SchemaField& field)
{
    std::wstring text = field.Name();
    if (const DataType* type = field.Type())
        text += L" (" + std::wstring(type->SqlName()) + L")";
    return text;
}

// A table of Database1 without fields: nothing to pair field by field, shown closed.
void AppendFieldlessTable(std::string& out, const TablePair& pair)
{
    out +=
        "<table state=\"close\"><tr class=\"tables_pair\" m=\"g\"><td></td><td colspan=\"2\">"
        "2tbl - ";
    AppendName(out, pair.First()->Name());
    out += "</td><td></td><td colspan=\"2\">";
    if (pair.Second())
        AppendName(out, pair.Second()->Name());
    out +=
        "</td><td></td></tr><tr><td></td><td></td><td></td><td></td><td></td><td></td><td></td>"
        "</tr></table>";
}

void AppendFieldRow(std::string& out, const FieldPair& field, int m, int n, bool tablePaired)
{
    out += tablePaired ? "<tr><td" : "<tr m=\"g\"><td";
    out += field.IsKey() ? " class=\"key\">&nbsp;</td><td>" : ">&nbsp;</td><td>";
    AppendName(out, field.First()->Name());
    out += "</td><td><span class=\"field_type\">";
    AppendName(out, TypeText(*field.First()));
    out += "</span></td><td>";
    if (tablePaired) {
        out += "<div class=\"fields_popup_button\"></div><div class=\"fields_popup\"";
        AppendNumber(out, "idx", m);
        AppendNumber(out, "tidx", n);
        out += "></div>";
    }
    out += "</td>";
    if (const SchemaField* second = field.Second()) {
        out += "<td>";
        AppendName(out, second->Name());
        out += "</td><td><span class=\"field_type\">";
        AppendName(out, TypeText(*second));
        out += "</span></td><td><div class=\"reset_field\"";
        AppendNumber(out, "idx", m);
        AppendNumber(out, "tidx", n);
        out += "></div></td>";
    } else {
        out += "<td>...</td><td>&nbsp;</td><td></td>";
    }
    out += "</tr>";
}

void AppendTable(std::string& out, const TablePair& pair, int n)
{
    if (!pair.First()->HasFields()) {
        AppendFieldlessTable(out, pair);
        return;
    }
    const bool paired = pair.Second() != nullptr;
    out += pair.IsExpanded() ? "<table state=\"open\">" : "<table state=\"close\">";
    out += paired ? "<tr class=\"tables_pair\">" : "<tr class=\"tables_pair\" m=\"g\">";
    out += "<td><div class=\"icon\"></div></td><td colspan=\"2\">";
    AppendName(out, pair.First()->Name());
    out += "</td><td><img class=\"tables_popup_button\"><div class=\"tables_popup\"";
    AppendNumber(out, "idx", n);
    out += "></div></td><td colspan=\"2\">";
    if (paired)
        AppendName(out, pair.Second()->Name());
    out += "</td><td>";
    if (paired) {
        out += "<div class=\"reset_table\"";
        AppendNumber(out, "idx", n);
        out += "></div>";
    }
    out += "</td></tr>";
    const auto& fields = pair.Fields().Pairs();
    for (std::size_t m = 0; m < fields.size(); ++m)
        AppendFieldRow(out, *fields[m], int(m), n, paired);
    out += "</table>";
}

// What a table's markup is written from: the objects shown and the flags on them (the
// schema does not change while the page shows it).
std::string TablePrint(const TablePair& pair)
{
    std::string print;
    auto add = [&](const void* p) {
        print.append(reinterpret_cast<const char*>(&p), sizeof p);
    };
    add(&pair);
    add(pair.First());
    add(pair.Second());
    print += pair.IsExpanded() ? 'o' : 'c';
    for (const auto& field : pair.Fields().Pairs()) {
        add(field.get());
        add(field->First());
        add(field->Second());
        print += field->IsKey() ? 'k' : '-';
    }
    return print;
}

template <class Candidates>
void AppendCandidates(std::string& out, const Candidates& candidates)
{
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        out += "<tr";
        AppendNumber(out, "idx", int(k));
        if (candidates[k].current)
            out += " class=\"current\"";
        else if (candidates[k].used)
            out += " class=\"used\"";
        out += "><td>";
        AppendName(out, candidates[k].object->Name());
        out += "</td></tr>";
    }
    out += "</table>";
}

}  // namespace

TablesPage::TablesPage(ComparisonContext& context)
    : HtmlHostWindow(nullptr, html::kHandleBehaviorEvent), context_(context)
{
    // Every entry starts again from the automatic pairing: the list before, with its manual
    // pairs and keys, goes.
    pairs_ = context_.BuildTablePairs();
}

TablesPage::~TablesPage() = default;

void TablesPage::Create(WizardDialog& wizard)
{
    wizard_ = &wizard;
    OnCreate(kPageId);
    const DatabaseSchema* schema1 = context_.Source1().Schema();
    const DatabaseSchema* schema2 = context_.Source2().Schema();
    ShowDatabasePaths(schema1 ? schema1->GetName() : std::wstring(),
                      schema2 ? schema2->GetName() : std::wstring());
    BuildStructure();
    htmlui::TheSinglePopupBehavior().SetDismissCallback(this);
    wizard.PlacePage(this);
}

void TablesPage::Destroy()
{
    // A candidate popup that closes from now on must call nobody.
    if (htmlui::TheSinglePopupBehavior().DismissCallback() == this)
        htmlui::TheSinglePopupBehavior().SetDismissCallback(nullptr);
    hide();
    deleteLater();
}

void TablesPage::ShowDatabasePaths(const std::wstring& first, const std::wstring& second)
{
    paths_[0] = QString::fromStdWString(first);
    paths_[1] = QString::fromStdWString(second);
    FitDatabasePaths();
}

void TablesPage::FitDatabasePaths()
{
    const ElementRef root = GetRootElement();
    const ElementRef body = root.FindFirst("body");
    if (!body.IsValid())
        return;
    // The page's text font, as its style sheet gives it to the body.
    QFont font(QString::fromStdString(ComputedStyle(body.Handle(), "font-family"))
                   .split(QLatin1Char(','))
                   .value(0)
                   .remove(QLatin1Char('"'))
                   .remove(QLatin1Char('\''))
                   .trimmed());
    const int size = QString::fromStdString(ComputedStyle(body.Handle(), "font-size"))
                         .remove(QStringLiteral("px"))
                         .toInt();
    if (size > 0)
        font.setPixelSize(size);
    const QFontMetrics metrics(font);
    // A path's line ends where the body does: a long path widens its table, not the body.
    const int right = body.GetLocation(html::kRootRelative | html::kContentBox).right();
    for (int side = 0; side < 2; ++side) {
        const ElementRef cell = root.FindById(side == 0 ? "db_path1" : "db_path2");
        if (!cell.IsValid())
            continue;
        const int left = cell.GetLocation(html::kRootRelative | html::kContentBox).left();
        // The cell's right padding, and a few pixels to spare: the engine measures a line
        // word by word, which may come out a little wider than the whole line measured here.
        const QString shown = PathLabel::Shorten(paths_[side], metrics, right - left - 4 - 10);
        if (QString::fromStdWString(cell.GetInnerText()) != shown)
            cell.SetText(shown.toStdWString().c_str());
    }
}

void TablesPage::resizeEvent(QResizeEvent* event)
{
    HtmlHostWindow::resizeEvent(event);
    FitDatabasePaths();
}

bool TablesPage::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint at = help->pos();
        const ElementRef root = GetRootElement();
        for (int side = 0; side < 2; ++side) {
            const ElementRef cell = root.FindById(side == 0 ? "db_path1" : "db_path2");
            const ElementRef row = cell.IsValid() ? cell.GetParent() : ElementRef();
            if (row.IsValid() &&
                row.GetLocation(html::kViewRelative | html::kBorderBox).contains(at)) {
                QToolTip::showText(help->globalPos(), paths_[side], this);
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return HtmlHostWindow::viewportEvent(event);
}

namespace {

// The index of a table as the only one a change reaches (none for a bad index).
std::vector<std::size_t> OnlyTable(int index)
{
    return index >= 0 ? std::vector<std::size_t>{std::size_t(index)} : std::vector<std::size_t>();
}

// The rows of a table's markup, each from its "<tr" to its "</tr>"; none when the markup is not
// rows alone. (Names in it are escaped: no "<" but the tags'.)
std::vector<std::string_view> SplitRows(std::string_view rows)
{
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at < rows.size();) {
        const std::size_t end = rows.find("</tr>", at);
        if (rows.compare(at, 3, "<tr") != 0 || end == std::string_view::npos)
            return {};
        out.push_back(rows.substr(at, end + 5 - at));
        at = end + 5;
    }
    return out;
}

// Writes a table's rows: where the rows it shows (`shown`) are as many and only some differ
// with the same start tags, only those rows are written again (setting a key changes one).
void WriteRows(const ElementRef& table, std::string_view rows, std::string_view shown)
{
    const std::vector<std::string_view> now = SplitRows(rows);
    const std::vector<std::string_view> before = SplitRows(shown);
    std::vector<std::size_t> changed;
    bool inPlace = !now.empty() && now.size() == before.size() &&
                   table.GetChildCount() == now.size();
    for (std::size_t i = 0; inPlace && i < now.size(); ++i) {
        if (now[i] == before[i])
            continue;
        const std::size_t start = now[i].find('>');
        inPlace = now[i].substr(0, start) == before[i].substr(0, before[i].find('>')) &&
                  changed.size() < now.size() / 4 && table.GetChild(unsigned(i)).GetTag() == "tr";
        changed.push_back(i);
    }
    if (!inPlace) {
        table.SetHtml(std::string(rows));
        return;
    }
    for (const std::size_t i : changed) {
        const std::size_t start = now[i].find('>') + 1;
        table.GetChild(unsigned(i))
            .SetHtml(std::string(now[i].substr(start, now[i].size() - start - 5)));
    }
}

// Whether a table's markup writes it open.
bool WrittenOpen(const std::string& text)
{
    const std::size_t state = text.find("state=\"");
    return state != std::string::npos && text.compare(state + 7, 4, "open") == 0;
}

}  // namespace

void TablesPage::BuildStructure(const std::vector<std::size_t>* changed)
{
    const ElementRef structure = GetRootElement().FindById("structure");
    const std::size_t count = pairs_ ? pairs_->Pairs().size() : 0;
    // A user action changes a table or a few (all of them only for their folding): the page
    // writes only the tables whose rows changed and sets the folding of the others, so that
    // only those are laid out again. A table drawn from the same objects in the same state
    // as when last written is not written out again; where the action names the tables it
    // may have changed, the others are not looked at.
    const bool inPlace = count == shownTables_.size() && count == shownPrints_.size() &&
                         count == shownOpen_.size() && structure.GetChildCount() == count;
    if (!inPlace) {
        shownTables_.assign(count, std::string());
        shownPrints_.assign(count, std::string());
        shownOpen_.assign(count, 0);
        for (std::size_t n = 0; n < count; ++n) {
            const TablePair& pair = *pairs_->Pairs()[n];
            shownPrints_[n] = TablePrint(pair);
            AppendTable(shownTables_[n], pair, int(n));
            shownOpen_[n] = WrittenOpen(shownTables_[n]);
        }
        pageChanged_.clear();
        structure.SetHtml(StructureMarkup());
        structure.Update();
        return;
    }
    std::vector<std::size_t> tables;
    if (changed) {
        tables = *changed;
        tables.insert(tables.end(), pageChanged_.begin(), pageChanged_.end());
        std::sort(tables.begin(), tables.end());
        tables.erase(std::unique(tables.begin(), tables.end()), tables.end());
        tables.erase(std::lower_bound(tables.begin(), tables.end(), count), tables.end());
    } else {
        tables.resize(count);
        for (std::size_t n = 0; n < count; ++n)
            tables[n] = n;
    }
    pageChanged_.clear();
    for (const std::size_t n : tables) {
        const TablePair& pair = *pairs_->Pairs()[n];
        std::string print = TablePrint(pair);
        if (shownTables_[n].empty() || print != shownPrints_[n]) {
            std::string text;
            AppendTable(text, pair, int(n));
            const std::size_t open = text.find('>') + 1;
            const std::size_t close = text.size() - std::strlen("</table>");
            const std::string_view rows(text.data() + open, close - open);
            const std::string& shown = shownTables_[n];
            const std::size_t shownOpen = shown.find('>');
            const std::string_view shownRows =
                shownOpen == std::string::npos ? std::string_view()
                                               : std::string_view(shown).substr(shownOpen + 1);
            if (shownOpen == std::string::npos ||
                shownRows != std::string_view(text).substr(open))
                WriteRows(structure.GetChild(unsigned(n)), rows,
                          shownOpen == std::string::npos
                              ? std::string_view()
                              : shownRows.substr(0, shownRows.size() - std::strlen("</table>")));
            shownTables_[n] = std::move(text);
            shownPrints_[n] = std::move(print);
        }
        const bool open = WrittenOpen(shownTables_[n]);
        structure.GetChild(unsigned(n)).SetAttribute("state", open ? L"open" : L"close");
        shownOpen_[n] = open;
    }
    structure.Update();
}

std::string TablesPage::StructureMarkup() const
{
    std::size_t size = 3;
    for (const std::string& table : shownTables_)
        size += table.size();
    std::string markup;
    markup.reserve(size);
    markup += "\xEF\xBB\xBF";
    for (const std::string& table : shownTables_)
        markup += table;
    return markup;
}

void TablesPage::KeepFolding(std::vector<std::size_t>* refolded)
{
    if (!pairs_)
        return;
    html::Element* structure = GetRootElement().FindById("structure").Handle();
    if (!structure)
        return;
    const auto& pairs = pairs_->Pairs();
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const html::Element* table = structure->Child(i);
        if (!table)
            return;
        const std::string* state = table->Attribute("state");
        const bool open = state && *state == "open";
        pairs[i]->SetExpanded(open);
        if (refolded && i < shownOpen_.size() && bool(shownOpen_[i]) != open)
            refolded->push_back(i);
    }
}

int TablesPage::HandleEvent(const ElementRef&, html::BehaviorEventParams& params)
{
    if (params.cmd & (html::kSinking | html::kHandled))
        return 0;
    if (params.cmd == html::kButtonClick) {
        OnButtonClick(ElementRef(params.target));
        return 0;
    }
    if (params.cmd == html::kMenuItemClick) {
        OnMenuItem(ElementRef(params.target), ElementRef(params.source));
        return 1;
    }
    return 0;
}

void TablesPage::OnButtonClick(const ElementRef& button)
{
    if (!pairs_ || !button.IsValid())
        return;
    if (HasClass(button, L"tables_popup_button")) {
        ShowCandidates(button, true);
    } else if (HasClass(button, L"fields_popup_button")) {
        ShowCandidates(button, false);
    } else if (HasClass(button, L"reset_table")) {
        const int idx = button.GetAttributeInt("idx", -1);
        std::vector<std::size_t> changed = OnlyTable(idx);
        KeepFolding(&changed);
        pairs_->ResetPair(idx);
        BuildStructure(&changed);
    } else if (HasClass(button, L"reset_field")) {
        const int tidx = button.GetAttributeInt("tidx", -1);
        std::vector<std::size_t> changed = OnlyTable(tidx);
        KeepFolding(&changed);
        if (TablePair* pair = pairs_->GetPair(tidx))
            pair->Fields().ResetPair(button.GetAttributeInt("idx", -1));
        BuildStructure(&changed);
    }
}

void TablesPage::ShowCandidates(const ElementRef& button, bool tables)
{
    const ElementRef popup = RowOf(button).FindFirst(tables ? "tables_popup,.tables_popup"
                                                            : "fields_popup,.fields_popup");
    if (!popup.IsValid())
        return;
    const int idx = popup.GetAttributeInt("idx", -1);
    // The table holding the popup no longer shows what was written: the next rebuild writes it.
    const int shownIndex = tables ? idx : popup.GetAttributeInt("tidx", -1);
    if (shownIndex >= 0 && std::size_t(shownIndex) < shownTables_.size()) {
        shownTables_[std::size_t(shownIndex)].clear();
        pageChanged_.push_back(std::size_t(shownIndex));
    }
    std::string markup;
    if (tables) {
        markup = "<table class=\"popup_grid\" cmd=\"tables\"";
        AppendNumber(markup, "idx", idx);
        markup += '>';
        AppendCandidates(markup, pairs_->Candidates(idx));
    } else {
        const int tidx = popup.GetAttributeInt("tidx", -1);
        const TablePair* pair = pairs_->GetPair(tidx);
        if (!pair)
            return;
        markup = "<table class=\"popup_grid\" cmd=\"fields\"";
        AppendNumber(markup, "idx", idx);
        AppendNumber(markup, "tidx", tidx);
        markup += '>';
        AppendCandidates(markup, pair->Fields().Candidates(idx));
    }
    popup.SetHtml(markup);
    ShowPopup(popup.Handle(), button.Handle(), html::kPlaceBelow);
}

void TablesPage::PopupDismissed(const ElementRef& popup)
{
    if (!pairs_)
        return;
    const ElementRef grid = popup.FindFirst("popup_grid,.popup_grid");
    if (!grid.IsValid())
        return;
    int chosen = -1;
    for (unsigned i = grid.GetChildCount(); i-- > 0;) {
        const ElementRef row = grid.GetChild(i);
        if (row.HasState(html::kStateCurrent)) {
            chosen = row.GetAttributeInt("idx", -1);
            break;
        }
    }
    const std::wstring cmd = grid.GetAttribute("cmd").value_or(L"");
    const int idx = grid.GetAttributeInt("idx", -1);
    if (cmd == L"tables") {
        // The pair that held the table chosen loses it.
        std::vector<std::size_t> changed = OnlyTable(idx);
        const auto* tables2 = pairs_->Objects2();
        if (tables2 && chosen >= 0 && std::size_t(chosen) < tables2->size()) {
            const SchemaTable* table2 = (*tables2)[std::size_t(chosen)].get();
            const auto& pairs = pairs_->Pairs();
            for (std::size_t n = 0; n < pairs.size(); ++n)
                if (pairs[n]->Second() == table2)
                    changed.push_back(n);
        }
        KeepFolding(&changed);
        pairs_->SetCounterpart(idx, chosen);
        BuildStructure(&changed);
    } else if (cmd == L"fields") {
        const int tidx = popup.GetAttributeInt("tidx", -1);
        TablePair* pair = pairs_->GetPair(tidx);
        if (!pair)
            return;
        std::vector<std::size_t> changed = OnlyTable(tidx);
        KeepFolding(&changed);
        pair->Fields().SetCounterpart(idx, chosen);
        BuildStructure(&changed);
    }
}

void TablesPage::OnMenuItem(const ElementRef& item, const ElementRef& source)
{
    // The row the menu was opened on may have gone with a rebuild since: then nothing applies.
    if (!item.IsValid() || !source.IsValid() || source.GetHwnd() != this)
        return;
    const ElementRef row = RowOf(source);
    int tableIndex = -1, fieldIndex = -1;
    if (const ElementRef fields = row.FindFirst(".fields_popup"); fields.IsValid()) {
        fieldIndex = fields.GetAttributeInt("idx", -1);
        tableIndex = fields.GetAttributeInt("tidx", -1);
    } else if (const ElementRef tables = row.FindFirst(".tables_popup"); tables.IsValid()) {
        tableIndex = tables.GetAttributeInt("idx", -1);
    }
    RunMenuCommand(item.GetAttribute("cmd").value_or(L""), tableIndex, fieldIndex);
}

void TablesPage::RunMenuCommand(const std::wstring& command, int tableIndex, int fieldIndex)
{
    if (!pairs_)
        return;
    TablePair* pair = pairs_->GetPair(tableIndex);
    // A command on one table changes that table alone.
    std::vector<std::size_t> changed = OnlyTable(tableIndex);
    bool one = false;
    if (command == L"set_key" || command == L"reset_key") {
        FieldPair* field = pair ? pair->Fields().GetPair(fieldIndex) : nullptr;
        if (!field)
            return;
        KeepFolding(&changed);
        one = true;
        field->SetKey(command == L"set_key");
    } else if (command == L"tables_collapse" || command == L"tables_expand") {
        for (const auto& p : pairs_->Pairs())
            p->SetExpanded(command == L"tables_expand");
    } else if (command == L"tables_reset_all") {
        pairs_->ResetAll();
    } else if (command == L"tables_reset_fields" || command == L"tables_autofill") {
        if (!pair)
            return;
        KeepFolding(&changed);
        one = true;
        if (command == L"tables_reset_fields")
            pair->Fields().ResetAll();
        else
            pair->Fields().Build();
    } else if (command == L"tables_autofill_all") {
        pairs_->Build();
    } else {
        return;
    }
    BuildStructure(one ? &changed : nullptr);
}

bool TablesPage::Validate()
{
    message_.clear();
    bool anyChosen = false;
    std::wstring unkeyed, unlike;
    if (pairs_) {
        for (const auto& pair : pairs_->Pairs()) {
            if (!pair->Second())
                continue;
            anyChosen = true;
            bool keyed = false;
            for (const auto& field : pair->Fields().Pairs()) {
                if (!field->Second() || !field->IsKey())
                    continue;
                keyed = true;
                if (!KeyFieldsOrderAlike(*field->First(), *field->Second()))
                    unlike += L"    " + pair->First()->Name() + L": " + FieldText(*field->First()) +
                              L" / " + FieldText(*field->Second()) + L"\r\n";
            }
            if (!keyed)
                unkeyed += L"    " + pair->First()->Name() + L"\r\n";
        }
    }
    if (!anyChosen)
        message_ = kNothingChosen;
    else if (!unkeyed.empty())
        message_ = L"Select key fields for the following table(s):\r\n" + unkeyed +
                   L"\r\n(Use the right mouse button  to  open  the\r\ncontext menu on the "
                   L"appropriate field and\r\nchoose 'Set key')";
    else if (!unlike.empty())
        message_ =
            L"These key fields hold values of different kinds in the two databases, "
            L"which sort differently, so rows could not be paired by them:\r\n" +
            unlike +
            L"\r\nChoose key fields of one kind on both sides: numbers, texts, dates, "
            L"yes/no or binary.";
    if (message_.empty())
        return true;
    if (wizard_)
        wizard_->Dialogs().MessageBox(this, message_, kCaption, ui::MB_OK);
    return false;
}
