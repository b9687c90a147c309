// The tables of Database1 paired with those of Database2 by name, ignoring case:
// what the selection page shows and the data comparison walks.
#pragma once

#include "compare/pair_list.h"
#include "compare/table_pair.h"
#include "database/database_schema.h"

class TablePairList : public PairList<SchemaTable, TablePair> {
public:
    // Builds the pairs at once.
    TablePairList(const DatabaseSchema& schema1, const DatabaseSchema& schema2);

    SchemaTable* FindCounterpart(const SchemaTable& table1) const override;

protected:
    std::unique_ptr<TablePair> MakePair(SchemaTable* table1, SchemaTable* table2) const override;

private:
    const DatabaseSchema& schema2_;
};
