// The script runner's one option, shared with the script executor that obeys it.
#pragma once

struct Options {
    // Stop a run at the first failing statement.
    bool stopOnError = true;
};
