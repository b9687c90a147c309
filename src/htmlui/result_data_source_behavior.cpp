// Answers rows-data requests with "My row %d, col %d" in every cell.
#include "htmlui/result_data_source_behavior.h"

#include <cwchar>

namespace htmlui {

int ResultDataSourceBehavior::OnEvent(const ElementRef& element, const ElementRef&, unsigned cmd,
                                      std::uintptr_t reason)
{
    if (cmd != html::kRowsDataRequest || !reason)
        return 0;
    return FillRows(element, *reinterpret_cast<RowsDataRequest*>(reason));
}

int ResultDataSourceBehavior::FillRows(const ElementRef& element, RowsDataRequest& request)
{
    request.result = 1;
    for (int i = request.firstIndex; i <= request.lastIndex; ++i) {
        const ElementRef row = element.GetChild(unsigned(i));
        const unsigned cells = row.GetChildCount();
        for (unsigned c = 0; c < cells; ++c) {
            wchar_t text[64];
            std::swprintf(text, 64, L"My row %d, col %u", request.firstRowNumber + i -
                                                                  request.firstIndex, c);
            row.GetChild(c).SetText(text);
        }
    }
    return 1;
}

}  // namespace htmlui
