// One index of a table: its columns in index order and its flags.
#pragma once

#include <string>
#include <vector>

#include "database/schema_object.h"

class SchemaField;
class SchemaTable;

class SchemaIndex : public SchemaObject {
public:
    // How the index treats NULL keys (the values of ADOX's IndexNulls).
    enum NullsOption : int {
        kNullsAllow = 0,
        kNullsDisallow = 1,
        kNullsIgnore = 2,
    };

    SchemaIndex(SchemaTable* owner, std::wstring name, bool primaryKey, bool unique, int nulls);
    ~SchemaIndex() override;

    int Kind() const override;

    // Appends a column; the field belongs to the owner table, not to the index.
    void AddColumn(SchemaField* field);

    SchemaTable* Owner() const { return owner_; }
    const std::vector<SchemaField*>& Columns() const { return columns_; }
    bool IsPrimaryKey() const { return primaryKey_; }
    bool IsUnique() const { return unique_; }
    int Nulls() const { return nulls_; }

private:
    SchemaTable* owner_;
    std::vector<SchemaField*> columns_;
    bool primaryKey_;
    bool unique_;
    int nulls_;
};
