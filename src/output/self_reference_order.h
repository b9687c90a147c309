// The order of one table's rows when the table refers to itself: a row is inserted after the
// row it refers to and deleted before it. Rows whose references form a cycle cannot be ordered
// so; one row of each cycle is "broken": inserted with its references empty and given them by
// an UPDATE once the others are in (and, when deleting, emptied before the others go).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "compare/db_record.h"

class SchemaTable;

// One foreign key of a table to itself, as positions among the script's fields.
struct SelfReference {
    std::vector<int> columns;     // the referring fields
    std::vector<int> referenced;  // the fields they refer to, in the same order
};

// The table's foreign keys to itself whose fields are all among `fields` and whose referring
// fields are no key fields (a key cannot be emptied and set again).
std::vector<SelfReference> FindSelfReferences(const SchemaTable& table,
                                              const std::vector<std::wstring>& fields,
                                              const std::vector<int>& keyIndexes);

struct SelfReferenceOrder {
    std::vector<size_t> order;  // row positions, each row referred to before the rows referring
    std::vector<bool> broken;   // per row: written without its references at first
};

// Orders `rows` parents first; rows otherwise keep their order. A reference to a row outside
// `rows` puts no condition on the order; a row that refers to itself is broken.
SelfReferenceOrder ParentsFirst(const std::vector<DbRecord>& rows,
                                const std::vector<SelfReference>& references);

// The referring fields of all the references, each once.
std::vector<int> ReferringColumns(const std::vector<SelfReference>& references);
