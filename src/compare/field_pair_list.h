// The fields of one Database1 table paired with those of its Database2 table, with
// the key flags of the comparison.
#pragma once

#include "compare/object_pair.h"
#include "compare/pair_list.h"
#include "database/schema_field.h"
#include "database/schema_table.h"

class FieldPairList : public PairList<SchemaField, FieldPair> {
public:
    // table2 may be null: every field pair then stays unmatched.
    FieldPairList(const SchemaTable& table1, const SchemaTable* table2);

    SchemaField* FindCounterpart(const SchemaField& field1) const override;

    // Pairs the fields, then flags the default keys: the fields of Database1's first
    // primary key that has any resolvable column, where Database2 has them too.
    void Build() override;

    // Makes table2 (or none) the Database2 side and pairs again.
    void SetTable2(const SchemaTable* table2);

protected:
    std::unique_ptr<FieldPair> MakePair(SchemaField* field1, SchemaField* field2) const override;

private:
    void SetDefaultKeys();

    const SchemaTable* table2_;
};
