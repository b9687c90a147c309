// The one comparison setting, "Treat empty strings and NULL as the same", kept per
// user as "nulleqemptystr" under "SOFTWARE\Corvina".
#pragma once

#include <memory>

class BoolOption {
public:
    explicit BoolOption(bool value) : value_(value) {}
    bool Value() const { return value_; }

private:
    bool value_;
};

class ComparisonOptions {
public:
    // Reads the stored value again; off when it is missing or unreadable.
    const BoolOption& LoadNullEqualsEmpty();
    // False when the value cannot be written.
    static bool SaveNullEqualsEmpty(bool on);

private:
    std::unique_ptr<BoolOption> nullEqualsEmpty_;
};
