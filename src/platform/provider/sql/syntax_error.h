// The error raised for Access SQL that the front end cannot read: a provider error
// (DB_E_ERRORSINCOMMAND) whose description is worded the way Access words it, plus
// the place where reading stopped.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/com_error.h"

namespace provider::sql {

constexpr automation::HRESULT DB_E_ERRORSINCOMMAND = static_cast<automation::HRESULT>(0x80040E14);

class SyntaxError : public automation::ComError {
public:
    SyntaxError(std::wstring description, uint32_t offset)
        : ComError(DB_E_ERRORSINCOMMAND, std::move(description)), offset_(offset)
    {
    }

    // 0-based offset in the statement text where parsing stopped; the description
    // shows it 1-based as "(position N)".
    uint32_t Offset() const noexcept { return offset_; }

private:
    uint32_t offset_;
};

}  // namespace provider::sql
