#include "compare/comparison_options.h"

#include "platform/ui/registry_settings.h"

namespace {
const wchar_t kKey[] = L"SOFTWARE\\Corvina";
const wchar_t kValue[] = L"nulleqemptystr";
}  // namespace

const BoolOption& ComparisonOptions::LoadNullEqualsEmpty()
{
    nullEqualsEmpty_ = std::make_unique<BoolOption>(ui::ReadRegistryDword(kKey, kValue, 0) != 0);
    return *nullEqualsEmpty_;
}

bool ComparisonOptions::SaveNullEqualsEmpty(bool on)
{
    return ui::WriteRegistryDword(kKey, kValue, on ? 1 : 0);
}
