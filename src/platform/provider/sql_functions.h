// The SQL functions the statement engine emits calls to: value storage and
// coercion by Access type, Access operators whose meaning differs from
// SQLite's (&, \, Mod, /, LIKE), and the Access built-in functions.
#pragma once

#include <cstdint>

struct sqlite3;

namespace provider {

// The numbering of one INSERT into a table with a counter: acc_counter()
// hands out `next` and steps it by `increment`.
struct CounterState {
    int64_t next = 1;
    int64_t increment = 1;
    bool active = false;
};

// Registers every function on a connection (each store connection needs them,
// since the statements that the engine prepares call them).
void RegisterSqlFunctions(sqlite3* db, CounterState* counter);

}  // namespace provider
