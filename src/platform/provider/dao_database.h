// DAO's Database over the native store, with its Relations (the store's
// foreign keys, seen from the referenced table) and TableDefs. A relation
// appended here is the same foreign key that ADOX lists and that the store
// enforces (unless its attributes say "not enforced").
#pragma once

#include <memory>
#include <string>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/provider/adox_collection.h"

namespace provider {
class Session;
}

namespace provider::dao {

// RelationAttributeEnum (the bits the store keeps).
constexpr long dbRelationUnique = 0x1;
constexpr long dbRelationDontEnforce = 0x2;
constexpr long dbRelationUpdateCascade = 0x100;
constexpr long dbRelationDeleteCascade = 0x1000;
constexpr long dbRelationDeleteSetNull = 0x2000;

// A member of a relation: Name is the referenced table's field, ForeignName
// the referencing table's.
class Field : public automation::Object {
public:
    explicit Field(std::wstring name = {}) : name_(std::move(name)) {}
    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }
    const std::wstring& ForeignName() const { return foreignName_; }
    void SetForeignName(const std::wstring& name) { foreignName_ = name; }

private:
    std::wstring name_;
    std::wstring foreignName_;
};

class Fields : public adox::Collection<Field> {
public:
    void Append(const automation::Ptr<Field>& field);
};

class Relation : public automation::Object {
public:
    Relation();
    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name);
    // The referenced ("primary") table.
    const std::wstring& Table() const { return table_; }
    void SetTable(const std::wstring& table);
    // The referencing table, which holds the foreign key.
    const std::wstring& ForeignTable() const { return foreignTable_; }
    void SetForeignTable(const std::wstring& table);
    long Attributes() const { return attributes_; }
    void SetAttributes(long attributes);
    automation::Ptr<dao::Fields> Fields() const { return fields_; }
    automation::Ptr<Field> CreateField(const std::wstring& name = {});

private:
    friend class Relations;
    void RequireNew() const;

    std::wstring name_;
    std::wstring table_;
    std::wstring foreignTable_;
    long attributes_ = 0;
    bool appended_ = false;
    automation::Ptr<dao::Fields> fields_;
};

class Relations : public adox::Collection<Relation> {
public:
    Relations(std::shared_ptr<Session> session, bool readOnly)
        : session_(std::move(session)), readOnly_(readOnly)
    {
    }
    void Append(const automation::Ptr<Relation>& relation);
    void Refresh();

private:
    std::shared_ptr<Session> session_;
    bool readOnly_;
};

class TableDef : public automation::Object {
public:
    TableDef(std::wstring name, std::wstring connect, std::wstring source)
        : name_(std::move(name)), connect_(std::move(connect)), source_(std::move(source))
    {
    }
    const std::wstring& Name() const { return name_; }
    // Linked tables: ";DATABASE=path" or the ODBC text; empty for local tables.
    const std::wstring& Connect() const { return connect_; }
    const std::wstring& SourceTableName() const { return source_; }

private:
    std::wstring name_;
    std::wstring connect_;
    std::wstring source_;
};

class TableDefs : public adox::Collection<TableDef> {};

class Database : public automation::Object {
public:
    Database(std::shared_ptr<Session> session, std::wstring name, bool readOnly);
    ~Database() override;

    const std::wstring& Name() const { return name_; }
    automation::Ptr<dao::Relations> Relations() const;
    automation::Ptr<dao::TableDefs> TableDefs() const;
    automation::Ptr<Relation> CreateRelation(const std::wstring& name = {},
                                             const std::wstring& table = {},
                                             const std::wstring& foreignTable = {},
                                             long attributes = 0);
    // Runs one statement that returns no rows.
    void Execute(const std::wstring& sql, long options = 0);
    long RecordsAffected() const { return recordsAffected_; }
    // Sets the database password (the database must be open exclusively).
    void NewPassword(const std::wstring& oldPassword, const std::wstring& newPassword);
    void Close();

private:
    Session& Open() const;
    void RequireWritable() const;

    std::shared_ptr<Session> session_;
    std::wstring name_;
    bool readOnly_;
    long recordsAffected_ = 0;
};

}  // namespace provider::dao
