// ADOX views and procedures over the native store's stored queries.
#include "platform/provider/adox_views.h"

#include "platform/provider/access_type.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/schema_editor.h"
#include "platform/provider/session.h"
#include "platform/provider/sql/parser.h"

namespace provider::adox {

using automation::ComError;
using automation::Ptr;

Ptr<adodb::Command> StoredCommand(const std::wstring& text)
{
    auto command = std::make_shared<adodb::Command>();
    command->SetCommandText(text);
    command->SetCommandType(adodb::adCmdText);
    // Queries of genuine Access files may be of kinds this provider does not
    // run (crosstab, pass-through, data definition): listed, without parameters.
    sql::Statement statement;
    try {
        statement = sql::Parse(text);
    } catch (const ComError&) {
        return command;
    }
    for (const sql::ParameterDecl& p : statement.parameters) {
        ColumnType type = ColumnTypeFrom(p.type, p.name);
        auto parameter = command->CreateParameter(p.name, AdoTypeOf(type.type));
        parameter->SetSize(type.size);
        parameter->SetPrecision(type.precision);
        parameter->SetNumericScale(type.scale);
        command->Parameters()->Append(parameter);
    }
    return command;
}

void Views::Refresh()
{
    items_.clear();
    for (const QueryInfo& q : connection_->OpenSession().CurrentCatalog().Queries())
        if (q.kind == kind_)
            Add(std::make_shared<View>(q.name, StoredCommand(q.text)));
}

void Views::Append(const std::wstring& name, const Ptr<adodb::Command>& command)
{
    if (!command)
        throw ComError(adodb::adErrInvalidArgument, L"A null command cannot be appended.");
    std::wstring text = command->CommandText();
    try {
        if (std::wstring(kind_) == L"VIEW" && sql::Parse(text).kind() != sql::StatementKind::Select)
            throw ComError(automation::E_FAIL,
                           L"The view '" + name + L"' must be a SELECT statement.");
        connection_->OpenSession().ChangeSchema(
            [&](SchemaEditor& editor) { editor.AddQuery(name, kind_, text); });
    } catch (const ComError& e) {
        connection_->Raise(e);
    }
    Refresh();
}

}  // namespace provider::adox
