#include "compare/table_pair_list.h"

TablePairList::TablePairList(const DatabaseSchema& schema1, const DatabaseSchema& schema2)
    : PairList(&schema1.Tables(), &schema2.Tables()), schema2_(schema2)
{
    Build();
}

SchemaTable* TablePairList::FindCounterpart(const SchemaTable& table1) const
{
    return schema2_.FindTable(table1.Name());
}

std::unique_ptr<TablePair> TablePairList::MakePair(SchemaTable* table1, SchemaTable* table2) const
{
    return std::make_unique<TablePair>(table1, table2);
}
