// The run loop and the database operations of each command kind. Every statement reaches the
// database through the one DbConnection, which switches between the ADO connection, the ADOX
// catalog and the DAO database as the statements ask for them.
#include "sqlexec/script_executor.h"

#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/automation/com_error.h"
#include "platform/automation/object.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_properties.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/dao_database.h"
#include "sqlexec/sql_parametrized_command.h"
#include "sqlexec/sql_parser.h"

namespace SQLExecutor {

namespace {

namespace adodb = provider::adodb;
namespace adox = provider::adox;
using automation::Ptr;
using automation::Variant;

std::wstring Hex(automation::HRESULT code)
{
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%x", static_cast<unsigned>(code));
    return buffer;
}

// A text command: a statement to run, or the text of a stored view or procedure.
Ptr<adodb::Command> NewTextCommand(const std::wstring& text)
{
    auto command = automation::CreateObjectAs<adodb::Command>(L"ADODB.Command");
    command->SetCommandType(adodb::adCmdText);
    command->SetCommandText(text);
    return command;
}

// A property of a column in the catalog.
Ptr<adox::Property> ColumnProperty(DbConnection& connection, const std::wstring& table,
                                   const std::wstring& field, const wchar_t* property)
{
    return connection.OpenCatalog()
        ->Tables()
        ->Item(table)
        ->Columns()
        ->Item(field)
        ->Properties()
        ->Item(property);
}

}  // namespace

ScriptExecutor::ScriptExecutor(const ConnectionSettings& settings, const std::wstring& script,
                               bool echo, const Options& options)
    : echo_(echo), options_(options), script_(script), connection_(&settings)
{
}

ScriptExecutor::~ScriptExecutor() = default;

std::wstring ScriptExecutor::Run(IProgress& progress)
{
    SQLParser parser(script_);
    std::wstring output;
    int previousLine = 0;
    bool succeeded = false;
    bool failed = false;
    progress.SetTotal(parser.GetLineCount());
    const bool allOrNothing = options_.allOrNothing;
    bool inTransaction = false;
    while (std::unique_ptr<SQLCommand> command = parser.Next()) {
        if (echo_) {
            output += std::to_wstring(command->GetLine());
            output += L'\t';
            output += command->GetText();
            output += L"\r\n";
        }
        try {
            if (allOrNothing && !inTransaction) {
                connection_.Open()->BeginTrans();
                inTransaction = true;
                MakeRunIndexes();
            }
            command->Execute(*this);
            progress.Advance(command->GetLine() - previousLine);
            previousLine = command->GetLine();
            succeeded = true;
            continue;
        } catch (const automation::ComError& error) {
            errorText_ = FormatError(error);
        } catch (const DbOpenException& error) {
            // Ignoring errors means going on past failing statements; a database that cannot be
            // opened fails every statement after this one too, so the run ends here whatever the
            // options say.
            errorText_ = error.Message();
            stopped_ = true;
        }
        failed = true;
        if (stopped_ || options_.stopOnError || allOrNothing) {
            stopped_ = true;
            output += errorText_;
            break;
        }
        output += errorText_;
        output += L"\r\n\r\n";
    }
    if (inTransaction) {
        try {
            if (!stopped_ && !DropRunIndexes()) {
                output += errorText_;
                stopped_ = true;
                failed = true;
            }
            if (stopped_) {
                connection_.Open()->RollbackTrans();
            } else {
                connection_.Open()->CommitTrans();
            }
        } catch (const automation::ComError& error) {
            // A commit that fails has undone the whole run: nothing of it was applied.
            if (!stopped_) {
                errorText_ = FormatError(error);
                output += errorText_;
                stopped_ = true;
                failed = true;
            }
        }
    }
    if (!stopped_ && succeeded) {
        progress.Done();
        // A run that went on past failures has not completed successfully.
        if (!failed)
            output += L"Command(s) completed successfully.";
    }
    try {
        connection_.Close();
    } catch (const automation::ComError& error) {
        // The statements are done; a connection that will not close is still worth a line.
        output += FormatError(error);
    }
    return output;
}

void ScriptExecutor::IndexDuringRun(const std::wstring& table,
                                    const std::vector<std::wstring>& keys)
{
    auto bracketable = [](const std::wstring& name) {
        return !name.empty() && name.find(L']') == std::wstring::npos;
    };
    if (!options_.allOrNothing || keys.empty() || !bracketable(table))
        return;
    for (const std::wstring& key : keys)
        if (!bracketable(key))
            return;
    runIndexes_.push_back({table, keys, {}});
}

void ScriptExecutor::MakeRunIndexes()
{
    for (RunIndex& index : runIndexes_) {
        std::wstring fields;
        for (const std::wstring& key : index.keys)
            fields += (fields.empty() ? L"[" : L", [") + key + L"]";
        // A name the table's own indexes may hold already is passed over for the next one.
        for (int attempt = 1; attempt <= 5 && index.name.empty(); ++attempt) {
            std::wstring name = L"crv run key";
            if (attempt > 1)
                name += L" " + std::to_wstring(attempt);
            try {
                auto command = NewTextCommand(L"CREATE INDEX [" + name + L"] ON [" + index.table +
                                              L"] (" + fields + L")");
                command->SetActiveConnection(connection_.Open());
                command->Execute(nullptr, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
                index.name = std::move(name);
            } catch (const automation::ComError&) {
            }
        }
    }
}

bool ScriptExecutor::DropRunIndexes()
{
    for (auto index = runIndexes_.rbegin(); index != runIndexes_.rend(); ++index) {
        if (index->name.empty())
            continue;
        try {
            auto command =
                NewTextCommand(L"DROP INDEX [" + index->name + L"] ON [" + index->table + L"]");
            command->SetActiveConnection(connection_.Open());
            command->Execute(nullptr, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
            index->name.clear();
        } catch (const automation::ComError& error) {
            errorText_ = FormatError(error);
            return false;
        }
    }
    return true;
}

std::wstring ScriptExecutor::FormatError(const automation::ComError& error)
{
    if (!error.Description().empty())
        return L"\r\nError: " + error.Description();
    if (error.Error() == automation::E_FAIL)
        return L"\r\nError: " + Hex(error.Error()) +
               L"\r\nCheck syntax. If a reserved word is used as a table or a field name. "
               L"Enclose that table and field names within square brackets.";
    return L"\r\nUnknown Error: " + Hex(error.Error()) + L" \r\nCheck permissions.";
}

void ScriptExecutor::Execute(const SQLCommand& command)
{
    auto ado = NewTextCommand(command.GetText());
    ado->SetActiveConnection(connection_.Open());
    ado->Execute(nullptr, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

void ScriptExecutor::ExecuteParametrized(const SQLParametrizedCommand& command)
{
    auto ado = NewTextCommand(command.GetRebuiltText());
    ado->SetActiveConnection(connection_.Open());
    for (const CommandParameter& parameter : command.GetParameters()) {
        const long type = parameter.value.IsByteArray() ? adodb::adLongVarBinary : adodb::adBSTR;
        ado->Parameters()->Append(ado->CreateParameter(
            L"t", type, adodb::adParamInput, static_cast<long>(parameter.size), parameter.value));
    }
    ado->Execute(nullptr, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

void ScriptExecutor::AlterValidationRule(const SQLCommandAlterValidationRule& command)
{
    ColumnProperty(connection_, command.GetTable(), command.GetField(),
                   L"Jet OLEDB:Column Validation Rule")
        ->SetValue(Variant(command.GetRule()));
}

void ScriptExecutor::AlterZeroLength(const SQLCommandAlterZeroLength& command)
{
    const std::int16_t allow = command.GetAllow() ? automation::VARIANT_TRUE : 0;
    ColumnProperty(connection_, command.GetTable(), command.GetField(),
                   L"Jet OLEDB:Allow Zero Length")
        ->SetValue(Variant(allow));
}

void ScriptExecutor::CreateView(const SQLCommandCreateView& command)
{
    auto catalog = connection_.OpenCatalog();
    catalog->Views()->Append(command.GetName(), NewTextCommand(command.GetBody()));
}

void ScriptExecutor::CreateProcedure(const SQLCommandCreateProcedure& command)
{
    const std::wstring text =
        command.GetParameters().empty()
            ? command.GetBody()
            : L"PARAMETERS " + command.GetParameters() + L";" + command.GetBody();
    auto catalog = connection_.OpenCatalog();
    catalog->Procedures()->Append(command.GetName(), NewTextCommand(text));
}

// A relation that the database records but neither indexes nor enforces.
void ScriptExecutor::AddConstraintNoIndex(const SQLCommandAddConstraintNoIndex& command)
{
    const auto& database = connection_.OpenDatabaseDao();
    auto relation = database->CreateRelation(command.GetName());
    relation->SetTable(command.GetReferencedTable());
    relation->SetForeignTable(command.GetTable());
    relation->SetAttributes(provider::dao::dbRelationDontEnforce);
    for (const auto& [column, referenced] : command.GetColumns()) {
        auto field = relation->CreateField(referenced);
        field->SetForeignName(column);
        relation->Fields()->Append(field);
    }
    database->Relations()->Append(relation);
}

void ScriptExecutor::LinkODBC(const SQLCommandLinkODBC& command)
{
    Link(command, L"Jet OLEDB:Link Provider String");
}

void ScriptExecutor::LinkAccess(const SQLCommandLinkAccess& command)
{
    Link(command, L"Jet OLEDB:Link Datasource");
}

void ScriptExecutor::Link(const SQLCommandLinkODBC& command, const wchar_t* sourceProperty)
{
    auto catalog = connection_.OpenCatalog();
    auto table = std::make_shared<adox::Table>();
    table->SetParentCatalog(catalog);
    table->SetName(command.GetLocalTable());
    table->Properties()->Item(L"Jet OLEDB:Create Link")->SetValue(Variant(std::int32_t{1}));
    table->Properties()->Item(sourceProperty)->SetValue(Variant(command.GetSource()));
    table->Properties()
        ->Item(L"Jet OLEDB:Remote Table Name")
        ->SetValue(Variant(command.GetRemoteTable()));
    catalog->Tables()->Append(table);
}

}  // namespace SQLExecutor
