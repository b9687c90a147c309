#include "platform/automation/com_error.h"

#include <cstdio>

#include "platform/automation/wide_text.h"

namespace automation {

ComError::ComError(HRESULT hr, std::wstring description)
    : hr_(hr), description_(std::move(description))
{
    if (!description_.empty()) {
        what_ = ToUtf8(description_);
    } else {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "error 0x%08X", static_cast<unsigned>(hr_));
        what_ = buffer;
    }
}

}  // namespace automation
