#include "compare/table_pair.h"

#include "database/schema_table.h"

TablePair::TablePair(SchemaTable* table1, SchemaTable* table2)
    : ObjectPair(table1, table2), fields_(std::make_unique<FieldPairList>(*table1, table2))
{
    fields_->Build();
}

void TablePair::Reset()
{
    ObjectPair::Reset();
    fields_->ResetAll();
}

void TablePair::SetSecond(SchemaTable* table2)
{
    ObjectPair::SetSecond(table2);
    fields_->SetTable2(table2);
}
