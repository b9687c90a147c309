#include "compare/comparison_options.h"

#include "compare/registry_settings.h"

namespace {
const wchar_t kKey[] = L"SOFTWARE\\Corvina";
const wchar_t kValue[] = L"nulleqemptystr";
}  // namespace

const BoolOption& ComparisonOptions::LoadNullEqualsEmpty()
{
    const auto stored = ReadRegistryDword(kKey, kValue);
    nullEqualsEmpty_ = std::make_unique<BoolOption>(stored && *stored != 0);
    return *nullEqualsEmpty_;
}

bool ComparisonOptions::SaveNullEqualsEmpty(bool on)
{
    return WriteRegistryDword(kKey, kValue, on ? 1 : 0);
}
