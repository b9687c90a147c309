// DAO databases, relations and table definitions over the native store.
#include "platform/provider/dao_database.h"

#include "platform/provider/catalog.h"
#include "platform/provider/schema_editor.h"
#include "platform/provider/session.h"

namespace provider::dao {

using automation::ComError;
using automation::Ptr;

namespace {

[[noreturn]] void ReadOnly()
{
    throw ComError(automation::E_FAIL, L"Cannot update. Database or object is read-only.");
}

}  // namespace

void Fields::Append(const Ptr<Field>& field)
{
    if (!field || field->Name().empty())
        throw ComError(automation::E_FAIL, L"A relation field needs a name.");
    for (const Ptr<Field>& f : items_)
        if (SameName(f->Name(), field->Name()) && SameName(f->ForeignName(), field->ForeignName()))
            throw ComError(automation::E_FAIL,
                           L"The field '" + field->Name() + L"' is already in the relation.");
    Add(field);
}

Relation::Relation() : fields_(std::make_shared<dao::Fields>()) {}

void Relation::RequireNew() const
{
    if (appended_)
        throw ComError(automation::E_FAIL, L"Property can't be changed once the relation '" +
                                               name_ + L"' is appended.");
}

void Relation::SetName(const std::wstring& name)
{
    RequireNew();
    name_ = name;
}

void Relation::SetTable(const std::wstring& table)
{
    RequireNew();
    table_ = table;
}

void Relation::SetForeignTable(const std::wstring& table)
{
    RequireNew();
    foreignTable_ = table;
}

void Relation::SetAttributes(long attributes)
{
    RequireNew();
    attributes_ = attributes;
}

Ptr<Field> Relation::CreateField(const std::wstring& name)
{
    return std::make_shared<Field>(name);
}

void Relations::Refresh()
{
    items_.clear();
    const Catalog& catalog = session_->CurrentCatalog();
    for (const TableInfo* t : catalog.Tables())
        for (const KeyInfo& k : t->keys) {
            if (k.type != kForeignKey)
                continue;
            auto r = std::make_shared<Relation>();
            r->name_ = k.name;
            r->table_ = k.relatedTable;
            r->foreignTable_ = t->name;
            r->attributes_ = (k.notEnforced ? dbRelationDontEnforce : 0) |
                             (k.updateRule == kRuleCascade ? dbRelationUpdateCascade : 0) |
                             (k.deleteRule == kRuleCascade ? dbRelationDeleteCascade : 0) |
                             (k.deleteRule == kRuleSetNull ? dbRelationDeleteSetNull : 0);
            r->appended_ = true;
            for (const KeyColumnInfo& c : k.columns) {
                auto f = std::make_shared<Field>(c.related);
                f->SetForeignName(c.name);
                r->fields_->Add(f);
            }
            Add(r);
        }
}

void Relations::Append(const Ptr<Relation>& relation)
{
    if (readOnly_)
        ReadOnly();
    if (!relation)
        throw ComError(automation::E_FAIL, L"A null relation cannot be appended.");
    if (relation->appended_)
        throw ComError(automation::E_FAIL,
                       L"The relation '" + relation->Name() + L"' is already appended.");
    if (relation->Table().empty() || relation->ForeignTable().empty())
        throw ComError(automation::E_FAIL, L"The relation '" + relation->Name() +
                                               L"' needs both its Table and its ForeignTable.");
    KeyInfo key;
    key.name = relation->Name();
    key.type = kForeignKey;
    key.relatedTable = relation->Table();
    long bits = relation->Attributes();
    key.notEnforced = (bits & dbRelationDontEnforce) != 0;
    key.updateRule = (bits & dbRelationUpdateCascade) ? kRuleCascade : kRuleNone;
    key.deleteRule = (bits & dbRelationDeleteSetNull)   ? kRuleSetNull
                     : (bits & dbRelationDeleteCascade) ? kRuleCascade
                                                        : kRuleNone;
    auto& fields = *relation->Fields();
    for (long i = 0; i < fields.Count(); ++i) {
        const Field& f = *fields.Item(i);
        if (f.ForeignName().empty())
            throw ComError(automation::E_FAIL, L"The field '" + f.Name() + L"' of relation '" +
                                                   key.name + L"' has no ForeignName.");
        key.columns.push_back({f.ForeignName(), f.Name()});
    }
    session_->ChangeSchema(
        [&](SchemaEditor& editor) { editor.AddRelation(relation->ForeignTable(), key); });
    relation->appended_ = true;
    Refresh();
}

Database::Database(std::shared_ptr<Session> session, std::wstring name, bool readOnly)
    : session_(std::move(session)), name_(std::move(name)), readOnly_(readOnly)
{
}

Database::~Database() = default;

Session& Database::Open() const
{
    if (!session_ || !session_->IsOpen())
        throw ComError(automation::E_FAIL, L"Object invalid or no longer set.");
    return *session_;
}

void Database::RequireWritable() const
{
    Open();
    if (readOnly_)
        ReadOnly();
}

Ptr<dao::Relations> Database::Relations() const
{
    Open();
    auto relations = std::make_shared<dao::Relations>(session_, readOnly_);
    relations->Refresh();
    return relations;
}

Ptr<dao::TableDefs> Database::TableDefs() const
{
    const Catalog& catalog = Open().CurrentCatalog();
    auto defs = std::make_shared<dao::TableDefs>();
    for (const TableInfo* t : catalog.Tables())
        defs->Add(std::make_shared<TableDef>(t->name, L"", L""));
    for (const auto& l : catalog.Links())
        defs->Add(std::make_shared<TableDef>(
            l->name, l->kind == L"LINK" ? L";DATABASE=" + l->linkSource : l->linkProvider,
            l->remoteName));
    return defs;
}

Ptr<Relation> Database::CreateRelation(const std::wstring& name, const std::wstring& table,
                                       const std::wstring& foreignTable, long attributes)
{
    Open();
    auto r = std::make_shared<Relation>();
    r->SetName(name);
    r->SetTable(table);
    r->SetForeignTable(foreignTable);
    r->SetAttributes(attributes);
    return r;
}

void Database::Execute(const std::wstring& sql, long)
{
    RequireWritable();
    Session::Result result = session_->Execute(sql, {});
    if (result.cursor)
        throw ComError(automation::E_FAIL, L"Cannot execute a select query.");
    recordsAffected_ = result.recordsAffected < 0 ? 0 : result.recordsAffected;
}

void Database::NewPassword(const std::wstring& oldPassword, const std::wstring& newPassword)
{
    RequireWritable();
    session_->Store().ChangePassword(oldPassword, newPassword);
}

void Database::Close()
{
    Open();
    session_->Close();
}

}  // namespace provider::dao
