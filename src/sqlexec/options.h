// The script runner's options, shared with the script executor that obeys it.
#pragma once

struct Options {
    // Stop a run at the first failing statement.
    bool stopOnError = true;
    // Run the whole script as one transaction: the first failing statement stops the run and
    // undoes every change before it. The script runner itself goes statement by statement.
    bool allOrNothing = false;
};
