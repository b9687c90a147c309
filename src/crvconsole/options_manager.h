// The script runner's one option, "Stop on Error", kept under the current user's settings
// ("SOFTWARE\CrvConsole", value "stoponerror"; missing means on).
#pragma once

#include <optional>

#include "sqlexec/options.h"

class OptionsManager {
public:
    virtual ~OptionsManager() = default;

    // The options, read from the settings on the first call.
    const Options& GetOptions();

    // Replaces the held options by the stored ones; the defaults when nothing usable is stored.
    void Load();

    // Sets the flag and stores it; true when the store succeeded. The held flag changes either
    // way, so the running window keeps what the user chose.
    bool SetStopOnError(bool stopOnError);

private:
    std::optional<Options> options_;
};
