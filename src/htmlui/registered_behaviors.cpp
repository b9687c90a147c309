// The program's behaviours: one global instance each, constructed at start
// in this order, so the registry lists them in the reverse order.
#include "htmlui/collapsible_behavior.h"
#include "htmlui/command_behavior.h"
#include "htmlui/dropdown_behavior.h"
#include "htmlui/grid_behavior.h"
#include "htmlui/popup_behavior.h"
#include "htmlui/result_data_source_behavior.h"

namespace htmlui {

namespace {

CollapsibleByIconBehavior collapsibleByIcon;
CommandBehavior command;
GridBehavior grid;
SortableGridBehavior sortableGrid;
DropdownBehavior dropdown;
PopupBehavior popup;
ResultDataSourceBehavior resultDataSource;
SinglePopupBehavior singlePopup;

}  // namespace

SinglePopupBehavior& TheSinglePopupBehavior()
{
    return singlePopup;
}

// Referencing this file from the registry keeps the linker from dropping
// the globals above out of the static library.
void RegisterProgramBehaviors() {}

}  // namespace htmlui
