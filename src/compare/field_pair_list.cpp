#include "compare/field_pair_list.h"

#include <algorithm>

#include "database/schema_key.h"

FieldPairList::FieldPairList(const SchemaTable& table1, const SchemaTable* table2)
    : PairList(&table1.Fields(), table2 ? &table2->Fields() : nullptr), table2_(table2)
{
}

SchemaField* FieldPairList::FindCounterpart(const SchemaField& field1) const
{
    return table2_ ? table2_->FindField(field1.Name()) : nullptr;
}

void FieldPairList::Build()
{
    PairList::Build();
    SetDefaultKeys();
}

void FieldPairList::SetTable2(const SchemaTable* table2)
{
    table2_ = table2;
    SetObjects2(table2 ? &table2->Fields() : nullptr);
    Build();
}

std::unique_ptr<FieldPair> FieldPairList::MakePair(SchemaField* field1, SchemaField* field2) const
{
    return std::make_unique<FieldPair>(field1, field2);
}

void FieldPairList::SetDefaultKeys()
{
    if (Pairs().empty())
        return;
    const SchemaTable* table1 = Pairs().front()->First()->Owner();
    if (!table1)
        return;
    for (const auto& key : table1->Keys()) {
        if (!key->IsPrimary())
            continue;
        const std::vector<SchemaField*> keyFields = key->Fields();
        if (keyFields.empty())
            continue;
        for (const auto& pair : Pairs()) {
            if (pair->IsMatched() &&
                std::find(keyFields.begin(), keyFields.end(), pair->First()) != keyFields.end())
                pair->SetKey(true);
        }
        return;
    }
}
