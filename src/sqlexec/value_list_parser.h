// Rewrites the value list of an INSERT, or the assignment list of an UPDATE, so that values given
// as chr() codes or base64 literals travel as "?" parameters instead of SQL text. Everything
// else is passed through as written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/variant.h"

namespace SQLExecutor {

// One "?" parameter: a text (VT_BSTR, size in characters) or binary data (VT_ARRAY | VT_UI1,
// size in bytes).
struct CommandParameter {
    automation::Variant value;
    size_t size = 0;
};

class ValueListParser {
public:
    // The value list between the parentheses after VALUES.
    void ParseValues(std::wstring_view list);

    // The assignment list after SET: "target=value, ...". False when an element has no "=":
    // such a list cannot be rebuilt.
    bool ParseAssignments(std::wstring_view list);

    // The rewritten list, with "?" for every parameter.
    const std::wstring& GetText() const { return text_; }
    // The parameters in the order of their "?" placeholders.
    const std::vector<CommandParameter>& GetParameters() const { return parameters_; }
    // Why the list cannot be run as written (a base64 literal that is not base64); empty when
    // it can.
    const std::wstring& GetError() const { return error_; }

private:
    void Reset(std::wstring_view list);
    // Reads one value starting at start_, appends its text and moves past its separator.
    void ReadValue();
    bool ReadTextExpression();
    bool ReadBase64();
    void ReadPlain();
    void SkipSpaces(size_t& position) const;
    // Passes the separator after a value: true at the end of the list or after a comma.
    bool PassSeparator(size_t& position);

    std::wstring_view list_;
    size_t start_ = 0;  // start of the current value
    size_t scan_ = 0;   // where the next value starts
    size_t end_ = 0;
    // A comma was the last thing read: the list goes on even when nothing follows it.
    bool afterComma_ = false;
    std::wstring text_;
    std::vector<CommandParameter> parameters_;
    std::wstring error_;
};

}  // namespace SQLExecutor
