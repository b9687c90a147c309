// Row selection, keyboard navigation and header clicks of the grids.
#include "htmlui/grid_behavior.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

namespace htmlui {

namespace {

class AllCollector : public ElementCallback {
public:
    bool ElementFound(const ElementRef& e) override
    {
        found.push_back(e);
        return false;
    }
    std::vector<ElementRef> found;
};

std::vector<ElementRef> SelectList(const ElementRef& root, const char* selector)
{
    AllCollector all;
    root.SelectAll(all, "%s", selector);
    return std::move(all.found);
}

bool Displayed(const ElementRef& row)
{
    return row.GetStyleAttribute("display") != L"none";
}

}  // namespace

ElementRef GridBehavior::TargetChildOf(const ElementRef& parent, const ElementRef& target)
{
    for (ElementRef e = target; e.IsValid(); e = e.GetParent())
        if (e.GetParent() == parent)
            return e;
    return ElementRef();
}

ElementRef GridBehavior::CurrentRow(const ElementRef& grid)
{
    for (int i = int(grid.GetChildCount()) - 1; i >= 0; --i) {
        ElementRef row = grid.GetChild(unsigned(i));
        if (row.HasState(html::kStateCurrent))
            return row;
    }
    return ElementRef();
}

int GridBehavior::OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd,
                          int, int, unsigned buttons, unsigned keys)
{
    if ((cmd != html::kMouseDown && cmd != html::kMouseDoubleClick) ||
        !(buttons & html::kMainButton))
        return 0;
    const ElementRef row = TargetChildOf(element, target);
    if (row.IsValid()) {
        if (row.GetIndex() < element.GetAttributeInt("fixedrows", 0)) {
            const ElementRef cell = TargetChildOf(row, target);
            if (cell.IsValid())
                OnHeaderClick(element, cell);
        } else {
            SetCurrentRow(element, row, keys, cmd == html::kMouseDoubleClick, false);
        }
    }
    return 1;
}

void GridBehavior::SetCurrentRow(const ElementRef& grid, const ElementRef& row, unsigned keys,
                                 bool doubleClick, bool smooth)
{
    if (grid.HasAttribute("multiple")) {
        if (keys & html::kShiftKeyPressed) {
            for (const ElementRef& r : SelectList(grid, "tr:checked"))
                r.SetState(0, html::kStateChecked, false);
            CheckRange(grid, row.GetIndex(), true);
        } else {
            if (keys & html::kControlKeyPressed) {
                if (row.HasState(html::kStateChecked))
                    row.SetState(0, html::kStateChecked, false);
                else
                    row.SetState(html::kStateChecked, 0, false);
            } else {
                for (const ElementRef& r : SelectList(grid, "tr:checked"))
                    r.SetState(0, html::kStateChecked, false);
            }
            const ElementRef anchor = grid.FindFirst("tr:anchor");
            if (anchor.IsValid())
                anchor.SetState(0, html::kStateAnchor, false);
            row.SetState(html::kStateAnchor | html::kStateChecked, 0, false);
        }
    }
    const ElementRef previous = CurrentRow(grid);
    if (previous.IsValid() && !(previous == row))
        previous.SetState(0, html::kStateCurrent, false);
    row.SetState(html::kStateCurrent, 0, true);
    row.ScrollToView(false, smooth);
    grid.PostEvent(doubleClick ? html::kTableRowDoubleClick : html::kTableRowClick,
                   std::uintptr_t(row.GetIndex()), row);
}

void GridBehavior::CheckRange(const ElementRef& grid, int rowIndex, bool check)
{
    if (!grid.HasAttribute("multiple"))
        return;
    const ElementRef anchor = grid.FindFirst("tr:anchor");
    const int anchorIndex = anchor.IsValid() ? anchor.GetIndex() : 0;
    const int first = std::max(std::min(anchorIndex, rowIndex), grid.GetAttributeInt("fixedrows", 0));
    const int last = std::max(anchorIndex, rowIndex);
    for (int i = first; i <= last; ++i) {
        const ElementRef row = grid.GetChild(unsigned(i));
        if (!row.IsValid() || !row.IsVisible())
            continue;
        row.SetState(check ? unsigned(html::kStateChecked) : 0u,
                     check ? 0u : unsigned(html::kStateChecked), false);
    }
}

int GridBehavior::OnKey(const ElementRef& element, const ElementRef&, unsigned cmd,
                        unsigned keyCode, unsigned keys)
{
    if (cmd != html::kKeyDown)
        return 0;
    const int fixed = element.GetAttributeInt("fixedrows", 0);
    const int count = int(element.GetChildCount());
    auto rowAt = [&](int i) { return element.GetChild(unsigned(i)); };
    switch (keyCode) {
    case html::kVkPageUp:
    case html::kVkPageDown: {
        const QRect view = element.GetLocation(html::kRootRelative | html::kScrollableArea);
        const int page = view.height();
        ElementRef chosen, previous;
        bool stopped = false;
        if (keyCode == html::kVkPageUp) {
            for (int i = count - 1; i >= fixed && !stopped; --i) {
                const ElementRef row = rowAt(i);
                if (!Displayed(row))
                    continue;
                const QRect box = row.GetLocation(html::kRootRelative | html::kBorderBox);
                if (box.top() < view.top() - page) {
                    chosen = previous.IsValid() ? previous : row;
                    stopped = true;
                } else {
                    previous = row;
                }
            }
        } else {
            const int visibleBottom = view.top() + page;
            for (int i = fixed; i < count && !stopped; ++i) {
                const ElementRef row = rowAt(i);
                if (!Displayed(row))
                    continue;
                const QRect box = row.GetLocation(html::kRootRelative | html::kBorderBox);
                if (box.bottom() + 1 > visibleBottom + page) {
                    chosen = previous.IsValid() ? previous : row;
                    stopped = true;
                } else {
                    previous = row;
                }
            }
        }
        if (!stopped)
            chosen = previous;
        if (chosen.IsValid())
            SetCurrentRow(element, chosen, keys, false, true);
        return 1;
    }
    case html::kVkEnd:
    case html::kVkHome: {
        const bool end = keyCode == html::kVkEnd;
        for (int n = 0; n < count - fixed; ++n) {
            const ElementRef row = rowAt(end ? count - 1 - n : fixed + n);
            if (row.IsVisible()) {
                SetCurrentRow(element, row, keys, false, true);
                break;
            }
        }
        return 1;
    }
    case html::kVkUp:
    case html::kVkDown: {
        const ElementRef current = CurrentRow(element);
        const bool up = keyCode == html::kVkUp;
        int i = current.IsValid() ? current.GetIndex() + (up ? -1 : 1) : (up ? count - 1 : fixed);
        for (; i >= fixed && i < count; i += up ? -1 : 1) {
            const ElementRef row = rowAt(i);
            if (row.IsVisible()) {
                SetCurrentRow(element, row, keys, false, false);
                break;
            }
        }
        return 1;
    }
    case 'A':
        if (!(keys & html::kControlKeyPressed) || !element.HasAttribute("multiple"))
            return 0;
        for (const ElementRef& r : SelectList(element, "tr"))
            r.SetState(html::kStateChecked, 0, false);
        element.Update(true);
        return 1;
    default: return 0;
    }
}

void GridBehavior::OnHeaderClick(const ElementRef& grid, const ElementRef& cell)
{
    grid.PostEvent(html::kTableHeaderClick, std::uintptr_t(cell.GetIndex()), cell);
}

void SortableGridBehavior::OnHeaderClick(const ElementRef& grid, const ElementRef& cell)
{
    GridBehavior::OnHeaderClick(grid, cell);
    const ElementRef checked = grid.FindFirst("th:checked");
    if (checked == cell)
        return;
    if (checked.IsValid())
        checked.SetState(0, html::kStateChecked, true);
    cell.SetState(html::kStateChecked, 0, true);
    const unsigned column = unsigned(cell.GetIndex());
    const int fixed = grid.GetAttributeInt("fixedrows", 0);
    // Each row's text is taken once; rows without a cell in the column sort
    // together after the others, so the order is a strict weak ordering and
    // the stable sort keeps their order.
    std::unordered_map<html::Element*, std::optional<std::wstring>> texts;
    for (unsigned i = unsigned(std::max(fixed, 0)); i < grid.GetChildCount(); ++i) {
        const ElementRef row = grid.GetChild(i);
        const ElementRef c = row.GetChild(column);
        texts[row.Handle()] = c.IsValid() ? std::optional(c.GetInnerText()) : std::nullopt;
    }
    grid.Sort(fixed, -1, [&texts](const ElementRef& a, const ElementRef& b) {
        const auto& ta = texts[a.Handle()];
        const auto& tb = texts[b.Handle()];
        if (!ta || !tb)
            return int(!ta) - int(!tb);
        return ta->compare(*tb);
    });
    grid.Update(true);
    const ElementRef current = CurrentRow(grid);
    if (current.IsValid())
        current.ScrollToView(false, false);
}

}  // namespace htmlui
