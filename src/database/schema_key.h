// One key of a table: a primary key, a unique key or a foreign key (relation)
// with its column pairs and rules.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "database/schema_object.h"

class SchemaField;
class SchemaTable;

class SchemaKey : public SchemaObject {
public:
    enum KeyTypeCode : int {
        kPrimary = 1,
        kForeign = 2,
        kUnique = 3,
    };

    // What happens to referencing rows when the referenced row is deleted or its
    // key updated.
    enum RuleCode : int {
        kRuleNone = 0,
        kRuleCascade = 1,
        kRuleSetNull = 2,
        kRuleSetDefault = 3,
    };

    // A column of the owner table and the column of the related table it refers to
    // (empty for primary and unique keys).
    using ColumnPair = std::pair<std::wstring, std::wstring>;

    SchemaKey(SchemaTable* owner, std::wstring name, std::wstring relatedTableName, int keyType,
              int deleteRule, int updateRule, bool notEnforced);
    ~SchemaKey() override;

    int Kind() const override;

    void AddColumn(std::wstring column, std::wstring relatedColumn);

    SchemaTable* Owner() const { return owner_; }
    int KeyType() const { return keyType_; }
    bool IsPrimary() const { return keyType_ == kPrimary; }
    bool IsPrimaryOrUnique() const { return keyType_ == kPrimary || keyType_ == kUnique; }
    int DeleteRule() const { return deleteRule_; }
    int UpdateRule() const { return updateRule_; }
    bool IsNotEnforced() const { return notEnforced_; }
    const std::vector<ColumnPair>& Columns() const { return columns_; }

    // The referenced table, once the reader has resolved the related table name in
    // the same schema; null until then or when that table is not in the schema.
    SchemaTable* RelatedTable() const { return relatedTable_; }
    void SetRelatedTable(SchemaTable* table) { relatedTable_ = table; }
    const std::wstring& RelatedTableName() const { return relatedTableName_; }

    // The owner's fields named by the pairs' first members, in pair order; names
    // that the owner does not have are left out.
    std::vector<SchemaField*> Fields() const;

private:
    SchemaTable* owner_;
    SchemaTable* relatedTable_ = nullptr;
    std::wstring relatedTableName_;
    bool notEnforced_;
    std::vector<ColumnPair> columns_;
    int keyType_;
    int deleteRule_;
    int updateRule_;
};
