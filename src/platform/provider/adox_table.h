// ADOX's tables with their columns, indexes and keys, read from the native
// store's catalog when the catalog's Tables collection is asked for. Column
// rules set through Properties go to the store at once.
#pragma once

#include <memory>
#include <string>

#include "platform/automation/object.h"
#include "platform/provider/adox_collection.h"
#include "platform/provider/adox_properties.h"

namespace provider {
struct TableInfo;
struct ColumnInfo;
}  // namespace provider

namespace provider::adodb {
class Connection;
}

namespace provider::adox {

class Catalog;

// ColumnAttributesEnum
constexpr long adColFixed = 1;
constexpr long adColNullable = 2;
// SortOrderEnum
constexpr long adSortAscending = 1;
constexpr long adSortDescending = 2;
// AllowNullsEnum
constexpr long adIndexNullsAllow = 0;
constexpr long adIndexNullsDisallow = 1;
constexpr long adIndexNullsIgnore = 2;
// KeyTypeEnum
constexpr long adKeyPrimary = 1;
constexpr long adKeyForeign = 2;
constexpr long adKeyUnique = 3;
// RuleEnum
constexpr long adRINone = 0;
constexpr long adRICascade = 1;
constexpr long adRISetNull = 2;

// A column of a table, or a member of an index (with its sort order) or of
// a key (with its related column).
class Column : public automation::Object {
public:
    Column();
    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }
    long Type() const { return type_; }
    long DefinedSize() const { return definedSize_; }
    uint8_t Precision() const { return precision_; }
    uint8_t NumericScale() const { return scale_; }
    long Attributes() const { return attributes_; }
    long SortOrder() const { return sortOrder_; }
    const std::wstring& RelatedColumn() const { return relatedColumn_; }
    automation::Ptr<adox::Properties> Properties() const { return properties_; }

    // A table column as the store keeps it; property changes go through
    // `connection` (null: the column cannot be changed).
    static automation::Ptr<Column> FromStore(const TableInfo& table, const ColumnInfo& column,
                                             const automation::Ptr<adodb::Connection>& connection);
    static automation::Ptr<Column> Member(const std::wstring& name, long sortOrder,
                                          const std::wstring& related);

private:
    std::wstring name_;
    long type_ = 202;
    long definedSize_ = 0;
    uint8_t precision_ = 0;
    uint8_t scale_ = 0;
    long attributes_ = 0;
    long sortOrder_ = adSortAscending;
    std::wstring relatedColumn_;
    automation::Ptr<adox::Properties> properties_;
};

class Columns : public Collection<Column> {};

class Index : public automation::Object {
public:
    const std::wstring& Name() const { return name_; }
    bool PrimaryKey() const { return primaryKey_; }
    bool Unique() const { return unique_; }
    long IndexNulls() const { return indexNulls_; }
    automation::Ptr<adox::Columns> Columns() const { return columns_; }

private:
    friend class Table;
    std::wstring name_;
    bool primaryKey_ = false;
    bool unique_ = false;
    long indexNulls_ = adIndexNullsAllow;
    automation::Ptr<adox::Columns> columns_ = std::make_shared<adox::Columns>();
};

class Indexes : public Collection<Index> {};

class Key : public automation::Object {
public:
    const std::wstring& Name() const { return name_; }
    long Type() const { return type_; }
    const std::wstring& RelatedTable() const { return relatedTable_; }
    long UpdateRule() const { return updateRule_; }
    long DeleteRule() const { return deleteRule_; }
    automation::Ptr<adox::Columns> Columns() const { return columns_; }

private:
    friend class Table;
    std::wstring name_;
    long type_ = adKeyPrimary;
    std::wstring relatedTable_;
    long updateRule_ = adRINone;
    long deleteRule_ = adRINone;
    automation::Ptr<adox::Columns> columns_ = std::make_shared<adox::Columns>();
};

class Keys : public Collection<Key> {};

class Table : public automation::Object {
public:
    // A new table, to be appended to a catalog's Tables (linked tables).
    Table();

    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }
    // "TABLE", "LINK", "PASS-THROUGH" or "VIEW".
    const std::wstring& Type() const { return type_; }
    const automation::Ptr<Catalog>& ParentCatalog() const { return parent_; }
    void SetParentCatalog(const automation::Ptr<Catalog>& catalog) { parent_ = catalog; }
    automation::Ptr<adox::Columns> Columns() const { return columns_; }
    automation::Ptr<adox::Indexes> Indexes() const { return indexes_; }
    automation::Ptr<adox::Keys> Keys() const { return keys_; }
    automation::Ptr<adox::Properties> Properties() const { return properties_; }

    static automation::Ptr<Table> FromStore(const TableInfo& table,
                                            const automation::Ptr<adodb::Connection>& connection);
    static automation::Ptr<Table> ViewTable(const std::wstring& name);

private:
    void AddTableProperties(bool hidden, const std::wstring& source,
                            const std::wstring& providerText, const std::wstring& remote,
                            bool link);

    std::wstring name_;
    std::wstring type_ = L"TABLE";
    automation::Ptr<Catalog> parent_;
    automation::Ptr<adox::Columns> columns_ = std::make_shared<adox::Columns>();
    automation::Ptr<adox::Indexes> indexes_ = std::make_shared<adox::Indexes>();
    automation::Ptr<adox::Keys> keys_ = std::make_shared<adox::Keys>();
    automation::Ptr<adox::Properties> properties_ = std::make_shared<adox::Properties>();
};

class Tables : public Collection<Table> {
public:
    explicit Tables(automation::Ptr<adodb::Connection> connection)
        : connection_(std::move(connection))
    {
    }
    // Appends a new linked table: "Jet OLEDB:Create Link" set, with either
    // "Jet OLEDB:Link Datasource" (an Access file) or "Jet OLEDB:Link
    // Provider String" (ODBC), and "Jet OLEDB:Remote Table Name".
    void Append(const automation::Ptr<Table>& table);
    void Refresh();

private:
    automation::Ptr<adodb::Connection> connection_;
};

}  // namespace provider::adox
