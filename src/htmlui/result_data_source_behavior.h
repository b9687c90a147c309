// "result-data-source": fills requested rows of a grid with sample texts.
#pragma once

#include "htmlui/behavior.h"

namespace htmlui {

// The block a rows-data request points to (through the event's reason).
struct RowsDataRequest {
    int result;       // set to 1 when filled
    int firstRowNumber;
    int firstIndex;   // child indexes to fill, inclusive
    int lastIndex;
};

class ResultDataSourceBehavior : public Behavior {
public:
    ResultDataSourceBehavior() : Behavior(html::kHandleBehaviorEvent, "result-data-source") {}
    int OnEvent(const ElementRef& element, const ElementRef& target, unsigned cmd,
                std::uintptr_t reason) override;
    virtual int FillRows(const ElementRef& element, RowsDataRequest& request);
};

}  // namespace htmlui
