// Reading a database's catalog into the schema model.
//
// The reader opens an ADO connection of its own (shared, client cursors) for the ADOX catalog and
// the schema rowsets, closes it, and only then opens the database through DAO for the relations,
// so the two never hold the file at the same time.
#include "database/schema_reader.h"

#include <utility>
#include <vector>

#include "database/data_type_table.h"
#include "database/provider_prefix.h"
#include "platform/automation/com_error.h"
#include "platform/automation/variant.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/dao_database.h"
#include "sqlexec/i_progress.h"

namespace {

using automation::Variant;
namespace adodb = provider::adodb;
namespace adox = provider::adox;
namespace dao = provider::dao;

// OLE DB schema rowsets (ADO's SchemaEnum).
constexpr long kSchemaColumns = 4;
constexpr long kSchemaCheckConstraints = 5;
constexpr long kSchemaTableConstraints = 10;

// The text of a failure that has no description of its own.
constexpr const wchar_t* kUnknownError =
    L"\r\nUnknown Error. Check permissions and linked tables existence.";

// A catalog flag: true only when it has a value and that value is true as a boolean. A NULL
// value is no value: converting it would fail the whole read over a flag that is simply unset.
bool FlagValue(const Variant& value)
{
    if (value.IsEmpty() || value.IsNull())
        return false;
    if (value.vt() == automation::VT_BOOL)
        return value.boolVal() != 0;
    return automation::ChangeType(value, automation::VT_BOOL).boolVal() != 0;
}

// The text of a catalog value; an empty or NULL value has none.
std::wstring TextValue(const Variant& value)
{
    if (value.IsEmpty() || value.IsNull())
        return {};
    if (value.vt() == automation::VT_BSTR)
        return value.bstrVal();
    return automation::ChangeType(value, automation::VT_BSTR).bstrVal();
}

// A missing property raises (adErrItemNotFound) and so fails the read: a provider that does not
// describe its tables as expected cannot be read safely.
Variant PropertyValue(const automation::Ptr<adox::Properties>& properties, const wchar_t* name)
{
    return properties->Item(name)->Value();
}

// The connection string of the settings; the provider and data source only when there is a path.
std::wstring ReaderConnectionString(const ConnectionSettings& s)
{
    std::wstring text = DbConnection::BuildConnectionString(s);
    if (s.path.empty())
        text.erase(0, ProviderPrefix(s.path).Text().size());
    return text;
}

void CloseIfOpen(const automation::Ptr<adodb::Recordset>& rowset)
{
    if (rowset && rowset->State() == adodb::adStateOpen)
        rowset->Close();
}

// One field of a schema rowset's rows, looked up by name once per rowset.
automation::Ptr<adodb::Field> RowsetField(const automation::Ptr<adodb::Recordset>& rowset,
                                          const wchar_t* name)
{
    return rowset->Fields()->Item(name);
}

std::unique_ptr<SchemaField> ReadField(SchemaTable* table, const adox::Column& column)
{
    const automation::Ptr<adox::Properties> properties = column.Properties();
    std::optional<std::wstring> defaultValue =
        SchemaField::DefaultFromProperty(PropertyValue(properties, L"Default"));
    const long type = column.Type();
    const DataType* dataType = DataTypeTable::FindByAdoType(type);
    bool compressed = false;
    if (type == adodb::adVarWChar || type == adodb::adLongVarWChar)
        compressed = FlagValue(PropertyValue(properties, L"Jet OLEDB:Compressed UniCode Strings"));
    std::wstring rule = TextValue(PropertyValue(properties, L"Jet OLEDB:Column Validation Rule"));
    const bool autoincrement = FlagValue(PropertyValue(properties, L"Autoincrement"));
    const int precision = column.Precision();
    const int scale = column.NumericScale();
    const int size = static_cast<int>(column.DefinedSize());
    const bool nullable = (column.Attributes() & adox::adColNullable) != 0;
    return std::make_unique<SchemaField>(table, column.Name(), dataType, size, autoincrement,
                                         std::move(defaultValue), scale, precision, nullable,
                                         compressed, std::move(rule));
}

void ReadIndexes(SchemaTable* table, const adox::Table& source)
{
    const automation::Ptr<adox::Indexes> indexes = source.Indexes();
    const long count = indexes->Count();
    for (long i = 0; i < count; ++i) {
        const automation::Ptr<adox::Index> index = indexes->Item(i);
        auto schemaIndex =
            std::make_unique<SchemaIndex>(table, index->Name(), index->PrimaryKey(),
                                          index->Unique(), static_cast<int>(index->IndexNulls()));
        const automation::Ptr<adox::Columns> columns = index->Columns();
        const long columnCount = columns->Count();
        for (long c = 0; c < columnCount; ++c) {
            if (SchemaField* field = table->FindField(columns->Item(c)->Name()))
                schemaIndex->AddColumn(field);
        }
        table->AddIndex(std::move(schemaIndex));
    }
}

// Primary and unique keys; foreign keys come from the relations, which also know the rules
// that are not enforced.
void ReadKeys(SchemaTable* table, const adox::Table& source)
{
    const automation::Ptr<adox::Keys> keys = source.Keys();
    const long count = keys->Count();
    for (long i = 0; i < count; ++i) {
        const automation::Ptr<adox::Key> key = keys->Item(i);
        const long type = key->Type();
        if (type == SchemaKey::kForeign)
            continue;
        SchemaKey* schemaKey = table->AddKey(std::make_unique<SchemaKey>(
            table, key->Name(), key->RelatedTable(), static_cast<int>(type),
            static_cast<int>(key->DeleteRule()), static_cast<int>(key->UpdateRule()), false));
        const automation::Ptr<adox::Columns> columns = key->Columns();
        const long columnCount = columns->Count();
        for (long c = 0; c < columnCount; ++c) {
            const automation::Ptr<adox::Column> column = columns->Item(c);
            schemaKey->AddColumn(column->Name(), column->RelatedColumn());
        }
    }
}

// A relation's delete rule from its attributes; "set null" wins over "cascade".
int DeleteRuleOf(long attributes)
{
    if (attributes & dao::dbRelationDeleteSetNull)
        return SchemaKey::kRuleSetNull;
    if (attributes & dao::dbRelationDeleteCascade)
        return SchemaKey::kRuleCascade;
    return SchemaKey::kRuleNone;
}

}  // namespace

SchemaReader::SchemaReader(const ConnectionSettings* settings)
    : settings_(settings), daoConnection_(settings)
{
}

SchemaReader::~SchemaReader() = default;

void SchemaReader::SetComError(const automation::ComError& error)
{
    SetError(FormatComError(error));
}

void SchemaReader::SetError(const std::wstring& text)
{
    errorText_ = text;
    error_ = true;
}

void SchemaReader::AppendError(const std::wstring& text)
{
    errorText_ += text;
    error_ = true;
}

std::unique_ptr<DatabaseSchema> SchemaReader::Read(IProgress& progress)
{
    auto schema = std::make_unique<DatabaseSchema>(settings_->path);
    ConnectionPtr connection;
    try {
        connection = automation::CreateObjectAs<adodb::Connection>(L"ADODB.Connection");
        connection->Open(ReaderConnectionString(*settings_), L"", L"", adodb::adOptionUnspecified);
        connection->SetCursorLocation(adodb::adUseClient);
        auto catalog = automation::CreateObjectAs<adox::Catalog>(L"ADOX.Catalog");
        catalog->SetActiveConnection(connection);

        ReadTables(catalog, *schema, progress);
        ReadCheckConstraints(connection, *schema);
        progress.Step();
        ReadColumnOrder(connection, *schema);
        ReadQueries(catalog, *schema, progress);

        connection->Close();
        ReadRelations(*schema);
        progress.Done();
    } catch (const DbOpenException& e) {
        SetError(e.Message() +
                 L"\nThe application must have permissions to read/write the database file.");
    } catch (const automation::ComError& e) {
        SetComError(e);
        if (errorText_.empty())
            SetError(kUnknownError);
    } catch (const std::exception&) {
        // Nothing may leave a task; a failure of the provider's own is reported like a COM
        // error without a description.
        SetError(kUnknownError);
    }
    if (error_) {
        // A failed read holds the file no longer than the read itself.
        try {
            if (connection && connection->State() == adodb::adStateOpen)
                connection->Close();
            daoConnection_.Close();
        } catch (const std::exception&) {
        }
        return nullptr;
    }
    ResolveRelatedTables(*schema);
    return schema;
}

void SchemaReader::ReadTables(const CatalogPtr& catalog, DatabaseSchema& schema,
                              IProgress& progress)
{
    const automation::Ptr<adox::Tables> tables = catalog->Tables();
    const long count = tables->Count();
    progress.SetTotal(static_cast<int>(count) + 4);
    for (long i = 0; i < count; ++i) {
        ReadTable(*tables->Item(i), schema);
        progress.Step();
    }
}

void SchemaReader::ReadTable(const adox::Table& table, DatabaseSchema& schema)
{
    const automation::Ptr<adox::Properties> properties = table.Properties();
    const bool temporary = FlagValue(PropertyValue(properties, L"Temporary Table"));
    const bool hidden = FlagValue(PropertyValue(properties, L"Jet OLEDB:Table Hidden In Access"));
    if (temporary || hidden)
        return;

    const std::wstring& type = table.Type();
    if (type == L"LINK") {
        std::wstring source = TextValue(PropertyValue(properties, L"Jet OLEDB:Link Datasource"));
        std::wstring remote = TextValue(PropertyValue(properties, L"Jet OLEDB:Remote Table Name"));
        schema.AddLinkedTable(
            std::make_unique<LinkedTable>(table.Name(), std::move(source), std::move(remote)));
        return;
    }
    if (type == L"PASS-THROUGH") {
        std::wstring source =
            L"ODBC;" + TextValue(PropertyValue(properties, L"Jet OLEDB:Link Provider String"));
        std::wstring remote = TextValue(PropertyValue(properties, L"Jet OLEDB:Remote Table Name"));
        schema.AddLinkedTable(
            std::make_unique<PassThroughTable>(table.Name(), std::move(source), std::move(remote)));
        return;
    }
    if (type != L"TABLE")
        return;  // system and Access tables, views

    auto schemaTable = std::make_unique<SchemaTable>(table.Name());
    const automation::Ptr<adox::Columns> columns = table.Columns();
    const long count = columns->Count();
    for (long i = 0; i < count; ++i)
        schemaTable->AddField(ReadField(schemaTable.get(), *columns->Item(i)));
    ReadIndexes(schemaTable.get(), table);
    ReadKeys(schemaTable.get(), table);
    schema.AddTable(std::move(schemaTable));
}

void SchemaReader::ReadCheckConstraints(const ConnectionPtr& connection, DatabaseSchema& schema)
{
    CheckClauseMap clauses;
    {
        automation::Ptr<adodb::Recordset> rowset = connection->OpenSchema(kSchemaCheckConstraints);
        const auto name = RowsetField(rowset, L"CONSTRAINT_NAME");
        const auto clause = RowsetField(rowset, L"CHECK_CLAUSE");
        for (; !rowset->IsEOF(); rowset->MoveNext())
            clauses.emplace(TextValue(name->Value()), TextValue(clause->Value()));
        CloseIfOpen(rowset);
    }

    std::vector<Variant> restrictions(7);
    restrictions[6] = Variant(L"CHECK");
    for (const std::unique_ptr<SchemaTable>& table : schema.Tables()) {
        restrictions[5] = Variant(table->Name());
        automation::Ptr<adodb::Recordset> rowset =
            connection->OpenSchema(kSchemaTableConstraints, restrictions);
        const auto nameField = RowsetField(rowset, L"CONSTRAINT_NAME");
        for (; !rowset->IsEOF(); rowset->MoveNext()) {
            const std::wstring name = TextValue(nameField->Value());
            auto found = clauses.find(name);
            if (found == clauses.end())
                found = clauses.find(L"[" + table->Name() + L"]." + name);
            if (found == clauses.end())
                continue;
            table->AddCheckConstraint(
                std::make_unique<CheckConstraint>(name, table->Name(), found->second));
        }
        CloseIfOpen(rowset);
    }
}

void SchemaReader::ReadColumnOrder(const ConnectionPtr& connection, DatabaseSchema& schema)
{
    std::vector<Variant> restrictions(4);
    for (const std::unique_ptr<SchemaTable>& table : schema.Tables()) {
        restrictions[2] = Variant(table->Name());
        automation::Ptr<adodb::Recordset> rowset =
            connection->OpenSchema(kSchemaColumns, restrictions);
        const auto nameField = RowsetField(rowset, L"COLUMN_NAME");
        const auto ordinalField = RowsetField(rowset, L"ORDINAL_POSITION");
        for (; !rowset->IsEOF(); rowset->MoveNext()) {
            SchemaField* field = table->FindField(TextValue(nameField->Value()));
            if (field == nullptr)
                continue;
            field->SetOrdinal(
                automation::ChangeType(ordinalField->Value(), automation::VT_R8).dblVal());
        }
        CloseIfOpen(rowset);
        table->SortFieldsByOrdinal();
    }
}

void SchemaReader::ReadQueries(const CatalogPtr& catalog, DatabaseSchema& schema,
                               IProgress& progress)
{
    const automation::Ptr<adox::Views> views = catalog->Views();
    const long viewCount = views->Count();
    for (long i = 0; i < viewCount; ++i) {
        const automation::Ptr<adox::View> view = views->Item(i);
        schema.AddView(std::make_unique<SchemaQuery>(view->Name(), view->Command()->CommandText()));
    }
    progress.Step();

    const automation::Ptr<adox::Views> procedures = catalog->Procedures();
    const long procedureCount = procedures->Count();
    for (long i = 0; i < procedureCount; ++i) {
        const automation::Ptr<adox::View> procedure = procedures->Item(i);
        const automation::Ptr<adodb::Command> command = procedure->Command();
        ParameterQuery* query = schema.AddProcedure(
            std::make_unique<ParameterQuery>(procedure->Name(), command->CommandText()));
        const automation::Ptr<adodb::Parameters> parameters = command->Parameters();
        const long parameterCount = parameters->Count();
        for (long p = 0; p < parameterCount; ++p) {
            const automation::Ptr<adodb::Parameter> parameter = parameters->Item(p);
            query->AddParameter(std::make_unique<QueryParameter>(
                parameter->Name(), DataTypeTable::FindByAdoType(parameter->Type()),
                static_cast<int>(parameter->Size()), parameter->NumericScale(),
                parameter->Precision()));
        }
    }
    progress.Step();
}

void SchemaReader::ReadRelations(DatabaseSchema& schema)
{
    const auto& database = daoConnection_.OpenDatabaseDao();
    const auto relations = database->Relations();
    const long count = relations->Count();
    for (long i = 0; i < count; ++i) {
        const auto relation = relations->Item(i);
        const long attributes = relation->Attributes();
        const int deleteRule = DeleteRuleOf(attributes);
        const int updateRule = (attributes & dao::dbRelationUpdateCascade) ? SchemaKey::kRuleCascade
                                                                           : SchemaKey::kRuleNone;
        const bool notEnforced = (attributes & dao::dbRelationDontEnforce) != 0;

        SchemaTable* owner = schema.FindTable(relation->ForeignTable());
        if (owner == nullptr)
            continue;  // the referencing table was skipped (hidden, linked) or is not a table
        SchemaKey* key = owner->AddKey(
            std::make_unique<SchemaKey>(owner, relation->Name(), relation->Table(),
                                        SchemaKey::kForeign, deleteRule, updateRule, notEnforced));
        const auto fields = relation->Fields();
        const long fieldCount = fields->Count();
        for (long f = 0; f < fieldCount; ++f) {
            const auto field = fields->Item(f);
            key->AddColumn(field->ForeignName(), field->Name());
        }
    }
    daoConnection_.Close();
}

void SchemaReader::ResolveRelatedTables(DatabaseSchema& schema)
{
    for (const std::unique_ptr<SchemaTable>& table : schema.Tables()) {
        for (const std::unique_ptr<SchemaKey>& key : table->Keys()) {
            if (!key->RelatedTableName().empty())
                key->SetRelatedTable(schema.FindTable(key->RelatedTableName()));
        }
    }
}
