// The run loop and the database operations of each command kind. Every statement reaches the
// database through the one DbConnection, which switches between the ADO connection, the ADOX
// catalog and the DAO database as the statements ask for them.
#include "sqlexec/script_executor.h"

#include <cstdio>
#include <memory>

#include "platform/automation/com_error.h"
#include "platform/automation/object.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "sqlexec/sql_parametrized_command.h"
#include "sqlexec/sql_parser.h"

namespace SQLExecutor {

namespace {

namespace adodb = provider::adodb;
using automation::Ptr;
using automation::Variant;

std::wstring Hex(automation::HRESULT code)
{
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%x", static_cast<unsigned>(code));
    return buffer;
}

// A text command on the open ADO connection.
Ptr<adodb::Command> NewTextCommand(const Ptr<adodb::Connection>& connection,
                                   const std::wstring& text)
{
    auto command = automation::CreateObjectAs<adodb::Command>(L"ADODB.Command");
    command->SetActiveConnection(connection);
    command->SetCommandType(adodb::adCmdText);
    command->SetCommandText(text);
    return command;
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
    while (std::unique_ptr<SQLCommand> command = parser.Next()) {
        if (echo_) {
            output += std::to_wstring(command->GetLine());
            output += L'\t';
            output += command->GetText();
            output += L"\r\n";
        }
        try {
            command->Execute(*this);
            progress.Advance(command->GetLine() - previousLine);
            previousLine = command->GetLine();
            succeeded = true;
            continue;
        } catch (const automation::ComError& error) {
            errorText_ = FormatError(error);
        } catch (const DbOpenException& error) {
            errorText_ = error.Message();
        }
        failed = true;
        if (options_.stopOnError) {
            stopped_ = true;
            output += errorText_;
            break;
        }
        output += errorText_;
        output += L"\r\n\r\n";
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
    NewTextCommand(connection_.Open(), command.GetText())
        ->Execute(nullptr, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

void ScriptExecutor::ExecuteParametrized(const SQLParametrizedCommand& command)
{
    auto ado = NewTextCommand(connection_.Open(), command.GetRebuiltText());
    for (const CommandParameter& parameter : command.GetParameters()) {
        const long type = parameter.value.IsByteArray() ? adodb::adLongVarBinary : adodb::adBSTR;
        ado->Parameters()->Append(ado->CreateParameter(
            L"t", type, adodb::adParamInput, static_cast<long>(parameter.size), parameter.value));
    }
    ado->Execute(nullptr, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

// Catalog and relation operations: the provider's ADOX tables and DAO relations are not
// available yet.
void ScriptExecutor::AlterValidationRule(const SQLCommandAlterValidationRule&)
{
    throw automation::ComError(automation::E_NOTIMPL, L"Not available yet.");
}
void ScriptExecutor::AlterZeroLength(const SQLCommandAlterZeroLength&)
{
    throw automation::ComError(automation::E_NOTIMPL, L"Not available yet.");
}
void ScriptExecutor::CreateView(const SQLCommandCreateView&)
{
    throw automation::ComError(automation::E_NOTIMPL, L"Not available yet.");
}
void ScriptExecutor::CreateProcedure(const SQLCommandCreateProcedure&)
{
    throw automation::ComError(automation::E_NOTIMPL, L"Not available yet.");
}
void ScriptExecutor::AddConstraintNoIndex(const SQLCommandAddConstraintNoIndex&)
{
    throw automation::ComError(automation::E_NOTIMPL, L"Not available yet.");
}
void ScriptExecutor::LinkODBC(const SQLCommandLinkODBC& command)
{
    Link(command, L"Jet OLEDB:Link Provider String");
}
void ScriptExecutor::LinkAccess(const SQLCommandLinkAccess& command)
{
    Link(command, L"Jet OLEDB:Link Datasource");
}
void ScriptExecutor::Link(const SQLCommandLinkODBC&, const wchar_t*)
{
    throw automation::ComError(automation::E_NOTIMPL, L"Not available yet.");
}

}  // namespace SQLExecutor
