// The exception of a failed database open: one complete message, shown by
// callers unchanged.
#pragma once

#include <string>

class DbOpenException {
public:
    explicit DbOpenException(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& Message() const { return message_; }

private:
    std::wstring message_;
};
