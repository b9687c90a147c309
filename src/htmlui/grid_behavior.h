// "grid" and "sortable-grid": a table whose rows (the element's children)
// are chosen by mouse and keyboard, with optional multiple selection, and
// whose header cells report clicks (and sort, for the sortable grid).
#pragma once

#include "htmlui/behavior.h"

namespace htmlui {

class GridBehavior : public Behavior {
public:
    GridBehavior() : GridBehavior("grid") {}

    int OnMouse(const ElementRef& element, const ElementRef& target, unsigned cmd, int x, int y,
                unsigned buttons, unsigned keys) override;
    int OnKey(const ElementRef& element, const ElementRef& target, unsigned cmd,
              unsigned keyCode, unsigned keys) override;
    virtual void OnHeaderClick(const ElementRef& grid, const ElementRef& cell);

    static void SetCurrentRow(const ElementRef& grid, const ElementRef& row, unsigned keys,
                              bool doubleClick, bool smooth);

protected:
    explicit GridBehavior(const char* name)
        : Behavior(html::kHandleMouse | html::kHandleKey | html::kHandleFocus, name)
    {
    }
    static ElementRef TargetChildOf(const ElementRef& parent, const ElementRef& target);
    static void CheckRange(const ElementRef& grid, int rowIndex, bool check);
    static ElementRef CurrentRow(const ElementRef& grid);
};

class SortableGridBehavior : public GridBehavior {
public:
    SortableGridBehavior() : GridBehavior("sortable-grid") {}
    void OnHeaderClick(const ElementRef& grid, const ElementRef& cell) override;
};

}  // namespace htmlui
