// The order in which the synchronisation script visits tables: every table referenced by a
// foreign key before the tables that reference it, so INSERTs find their parents and, walked
// backwards, DELETEs remove children first.
#pragma once

#include <memory>
#include <vector>

class SchemaTable;

// tables: the target schema's tables in schema order. Returns each table exactly once.
// A key that references its own table constrains nothing between tables and is ignored.
// Tables on a cycle of foreign keys keep schema order among themselves; the cycle as a whole
// still comes after what it references and before what references it.
std::vector<SchemaTable*> ForeignKeyOrder(const std::vector<std::unique_ptr<SchemaTable>>& tables);
