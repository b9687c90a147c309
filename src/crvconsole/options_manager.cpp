#include "crvconsole/options_manager.h"

#include "platform/ui/registry_settings.h"

namespace {

constexpr const wchar_t* kSettingsKey = L"SOFTWARE\\CrvConsole";
constexpr const wchar_t* kStopOnErrorValue = L"stoponerror";

}  // namespace

const Options& OptionsManager::GetOptions()
{
    if (!options_)
        Load();
    return *options_;
}

void OptionsManager::Load()
{
    // The read helper answers the default for a missing key, a missing value and anything that
    // is not a 32-bit number, so a damaged setting never reads as garbage.
    Options options;
    options.stopOnError = ui::ReadRegistryDword(kSettingsKey, kStopOnErrorValue, 1) != 0;
    options_ = options;
}

bool OptionsManager::SetStopOnError(bool stopOnError)
{
    if (!options_)
        Load();
    options_->stopOnError = stopOnError;
    return ui::WriteRegistryDword(kSettingsKey, kStopOnErrorValue, stopOnError ? 1 : 0);
}
