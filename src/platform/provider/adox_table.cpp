// ADOX tables, columns, indexes and keys over the native store's catalog.
#include "platform/provider/adox_table.h"

#include "platform/provider/access_type.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/catalog.h"
#include "platform/provider/schema_editor.h"
#include "platform/provider/session.h"

namespace provider::adox {

using automation::ComError;
using automation::Ptr;
using automation::Variant;

namespace {

std::wstring TextOf(const Variant& v)
{
    if (v.IsEmpty() || v.IsNull())
        return {};
    return automation::ChangeType(v, automation::VT_BSTR).bstrVal();
}

// A setter that makes one schema change on the connection's store.
Property::Setter StoreSetter(const Ptr<adodb::Connection>& connection,
                             std::function<void(SchemaEditor&, const Variant&)> change)
{
    if (!connection)
        return {};
    return [connection, change](const Variant& value) {
        try {
            connection->OpenSession().ChangeSchema(
                [&](SchemaEditor& editor) { change(editor, value); });
        } catch (const ComError& e) {
            connection->Raise(e);
        }
    };
}

bool FixedLength(AccessType type)
{
    return type != AccessType::Text && type != AccessType::Memo && type != AccessType::Binary &&
           type != AccessType::LongBinary;
}

}  // namespace

Column::Column() : properties_(std::make_shared<adox::Properties>()) {}

Ptr<Column> Column::Member(const std::wstring& name, long sortOrder, const std::wstring& related)
{
    auto c = std::make_shared<Column>();
    c->name_ = name;
    c->sortOrder_ = sortOrder;
    c->relatedColumn_ = related;
    return c;
}

Ptr<Column> Column::FromStore(const TableInfo& table, const ColumnInfo& info,
                              const Ptr<adodb::Connection>& connection)
{
    auto c = std::make_shared<Column>();
    c->name_ = info.name;
    c->type_ = AdoTypeOf(info.type.type);
    c->definedSize_ = info.type.size;
    c->precision_ = info.type.precision;
    c->scale_ = info.type.scale;
    c->attributes_ =
        (info.notNull ? 0 : adColNullable) | (FixedLength(info.type.type) ? adColFixed : 0);
    std::wstring t = table.name, n = info.name;
    adox::Properties& p = *c->properties_;
    p.Add(L"Autoincrement", Variant(info.type.autoIncrement), {}, true);
    p.Add(L"Default", info.defaultText.empty() ? Variant() : Variant(info.defaultText), {}, true);
    p.Add(L"Description", Variant(info.description),
          StoreSetter(connection, [t, n](SchemaEditor& e, const Variant& v) {
              e.SetDescription(t, n, TextOf(v));
          }));
    p.Add(L"Nullable", Variant(!info.notNull), {}, true);
    p.Add(L"Jet OLEDB:Allow Zero Length", Variant(info.allowZeroLength),
          StoreSetter(connection, [t, n](SchemaEditor& e, const Variant& v) {
              e.SetAllowZeroLength(t, n, PropertyFlag(v));
          }));
    p.Add(L"Jet OLEDB:Column Validation Rule", Variant(info.validationRule),
          StoreSetter(connection, [t, n](SchemaEditor& e, const Variant& v) {
              e.SetValidationRule(t, n, TextOf(v));
          }));
    p.Add(L"Jet OLEDB:Column Validation Text", Variant(info.validationText),
          StoreSetter(connection, [t, n](SchemaEditor& e, const Variant& v) {
              e.SetValidationText(t, n, TextOf(v));
          }));
    p.Add(L"Jet OLEDB:Compressed UniCode Strings", Variant(info.compressed), {}, true);
    p.Add(L"Jet OLEDB:AutoGenerate", Variant(info.autoGenerate), {}, true);
    return c;
}

Table::Table()
{
    AddTableProperties(false, L"", L"", L"", false);
}

void Table::AddTableProperties(bool hidden, const std::wstring& source,
                               const std::wstring& providerText, const std::wstring& remote,
                               bool link)
{
    properties_ = std::make_shared<adox::Properties>();
    // Properties of a table read from the store are fixed; a new table's
    // are filled in before it is appended.
    bool stored = !name_.empty();
    adox::Properties& p = *properties_;
    p.Add(L"Temporary Table", Variant(false), {}, stored);
    p.Add(L"Jet OLEDB:Table Hidden In Access", Variant(hidden), {}, stored);
    p.Add(L"Jet OLEDB:Create Link", Variant(link), {}, stored);
    p.Add(L"Jet OLEDB:Link Datasource", Variant(source), {}, stored);
    p.Add(L"Jet OLEDB:Link Provider String", Variant(providerText), {}, stored);
    p.Add(L"Jet OLEDB:Remote Table Name", Variant(remote), {}, stored);
}

Ptr<Table> Table::ViewTable(const std::wstring& name)
{
    auto t = std::make_shared<Table>();
    t->name_ = name;
    t->type_ = L"VIEW";
    t->AddTableProperties(false, L"", L"", L"", false);
    return t;
}

Ptr<Table> Table::FromStore(const TableInfo& info, const Ptr<adodb::Connection>& connection)
{
    auto t = std::make_shared<Table>();
    t->name_ = info.name;
    t->type_ = info.kind;
    t->AddTableProperties(info.hidden, info.linkSource, info.linkProvider, info.remoteName,
                          info.kind == L"LINK" || info.kind == L"PASS-THROUGH");
    for (const ColumnInfo& c : info.columns)
        t->columns_->Add(Column::FromStore(info, c, connection));
    for (const IndexInfo& i : info.indexes) {
        auto index = std::make_shared<Index>();
        index->name_ = i.name;
        index->primaryKey_ = i.primary;
        index->unique_ = i.unique;
        index->indexNulls_ = i.disallowNull  ? adIndexNullsDisallow
                             : i.ignoreNulls ? adIndexNullsIgnore
                                             : adIndexNullsAllow;
        for (const IndexColumnInfo& m : i.columns)
            index->columns_->Add(
                Column::Member(m.name, m.descending ? adSortDescending : adSortAscending, L""));
        t->indexes_->Add(index);
    }
    for (const KeyInfo& k : info.keys) {
        if (k.type == kCheckKey)
            continue;  // checks are no ADOX keys; schema rowsets report them
        auto key = std::make_shared<Key>();
        key->name_ = k.name;
        key->type_ = k.type;
        key->relatedTable_ = k.relatedTable;
        key->updateRule_ = k.updateRule;
        key->deleteRule_ = k.deleteRule;
        for (const KeyColumnInfo& m : k.columns)
            key->columns_->Add(Column::Member(m.name, adSortAscending, m.related));
        t->keys_->Add(key);
    }
    return t;
}

void Tables::Refresh()
{
    items_.clear();
    const provider::Catalog& catalog = connection_->OpenSession().CurrentCatalog();
    for (const TableInfo* t : catalog.Tables())
        Add(Table::FromStore(*t, connection_));
    for (const auto& link : catalog.Links())
        Add(Table::FromStore(*link, connection_));
    for (const QueryInfo& q : catalog.Queries())
        if (q.kind == L"VIEW")
            Add(Table::ViewTable(q.name));
}

void Tables::Append(const Ptr<Table>& table)
{
    if (!table)
        throw ComError(adodb::adErrInvalidArgument, L"A null table cannot be appended.");
    adox::Properties& p = *table->Properties();
    if (!PropertyFlag(p.Item(L"Jet OLEDB:Create Link")->Value()))
        throw ComError(automation::E_FAIL,
                       L"Only linked tables can be appended to this catalog's Tables; create "
                       L"table '" +
                           table->Name() + L"' with CREATE TABLE.");
    TableInfo link;
    link.name = table->Name();
    link.linkSource = TextOf(p.Item(L"Jet OLEDB:Link Datasource")->Value());
    link.linkProvider = TextOf(p.Item(L"Jet OLEDB:Link Provider String")->Value());
    link.remoteName = TextOf(p.Item(L"Jet OLEDB:Remote Table Name")->Value());
    if (link.remoteName.empty())
        link.remoteName = link.name;
    if (!link.linkSource.empty())
        link.kind = L"LINK";
    else if (!link.linkProvider.empty())
        link.kind = L"PASS-THROUGH";
    else
        throw ComError(automation::E_FAIL, L"The linked table '" + link.name +
                                               L"' names no source: set \"Jet OLEDB:Link "
                                               L"Datasource\" or \"Jet OLEDB:Link Provider "
                                               L"String\".");
    try {
        connection_->OpenSession().ChangeSchema(
            [&](SchemaEditor& editor) { editor.AddLink(link); });
    } catch (const ComError& e) {
        connection_->Raise(e);
    }
    Refresh();
}

}  // namespace provider::adox
