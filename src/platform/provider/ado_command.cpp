// ADODB.Command and Parameters.
#include "platform/provider/ado_command.h"

#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"

namespace provider::adodb {

using automation::ComError;
using automation::Ptr;
using automation::Variant;

void Parameters::Append(const Ptr<Parameter>& parameter)
{
    if (!parameter)
        throw ComError(adErrInvalidArgument, L"A null parameter cannot be appended.");
    items_.push_back(parameter);
}

Ptr<Parameter> Parameters::Item(long index) const
{
    if (index < 0 || index >= Count())
        throw ComError(adErrItemNotFound,
                       L"Item cannot be found in the collection "
                       L"corresponding to the requested name or ordinal.");
    return items_[static_cast<size_t>(index)];
}

Command::Command() : parameters_(std::make_shared<adodb::Parameters>()) {}

void Command::SetActiveConnection(const Ptr<Connection>& connection)
{
    connection_ = connection;
}

Ptr<Parameter> Command::CreateParameter(const std::wstring& name, long type, long direction,
                                        long size, const Variant& value)
{
    auto p = std::make_shared<Parameter>();
    p->SetName(name);
    p->SetType(type);
    p->SetDirection(direction);
    p->SetSize(size);
    p->SetValue(value);
    return p;
}

Ptr<Recordset> Command::Execute(Variant* recordsAffected, const std::vector<Variant>* parameters,
                                long options)
{
    if (!connection_ || connection_->State() != adStateOpen)
        throw ComError(adErrObjectClosed,
                       L"The connection cannot be used to perform this operation. It is either "
                       L"closed or invalid in this context.");
    std::vector<Variant> values;
    if (parameters) {
        values = *parameters;
    } else {
        for (long i = 0; i < parameters_->Count(); ++i)
            values.push_back(parameters_->Item(i)->Value());
    }
    long effective = options;
    if (effective == adOptionUnspecified)
        effective = type_ == adCmdUnknown ? adOptionUnspecified : type_;
    else if ((effective & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect)) == 0 &&
             type_ != adCmdUnknown)
        effective |= type_;
    return connection_->Run(text_, values, recordsAffected, effective);
}

}  // namespace provider::adodb
