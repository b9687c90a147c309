// A Database1 table, its Database2 counterpart if any, and the pairing of their
// fields.
#pragma once

#include <memory>

#include "compare/field_pair_list.h"
#include "compare/object_pair.h"

class SchemaTable;

class TablePair : public ObjectPair<SchemaTable> {
public:
    TablePair(SchemaTable* table1, SchemaTable* table2);

    // Also unpairs every field.
    void Reset() override;
    // Also pairs the fields with the new table's and sets their default keys.
    void SetSecond(SchemaTable* table2) override;

    FieldPairList& Fields() const { return *fields_; }
    bool Matched() const { return IsMatched(); }

    // Whether the selection page shows the pair's fields; pairing leaves it alone.
    bool IsExpanded() const { return expanded_; }
    void SetExpanded(bool expanded) { expanded_ = expanded; }

private:
    std::unique_ptr<FieldPairList> fields_;
    bool expanded_ = false;
};
