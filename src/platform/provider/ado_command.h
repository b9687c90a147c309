// ADODB.Command with its Parameters: a statement with positional parameters
// run on an open connection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/provider/ado.h"

namespace provider::adodb {

class Connection;
class Recordset;

class Parameter : public automation::Object {
public:
    const std::wstring& Name() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }
    long Type() const { return type_; }
    void SetType(long type) { type_ = type; }
    long Direction() const { return direction_; }
    void SetDirection(long direction) { direction_ = direction; }
    long Size() const { return size_; }
    void SetSize(long size) { size_ = size; }
    uint8_t Precision() const { return precision_; }
    void SetPrecision(uint8_t precision) { precision_ = precision; }
    uint8_t NumericScale() const { return scale_; }
    void SetNumericScale(uint8_t scale) { scale_ = scale; }
    const automation::Variant& Value() const { return value_; }
    void SetValue(const automation::Variant& value) { value_ = value; }

private:
    std::wstring name_;
    long type_ = 0;
    long direction_ = adParamInput;
    long size_ = 0;
    uint8_t precision_ = 0;
    uint8_t scale_ = 0;
    automation::Variant value_;
};

class Parameters : public automation::Object {
public:
    void Append(const automation::Ptr<Parameter>& parameter);
    long Count() const { return static_cast<long>(items_.size()); }
    automation::Ptr<Parameter> Item(long index) const;

private:
    std::vector<automation::Ptr<Parameter>> items_;
};

class Command : public automation::Object {
public:
    Command();

    const automation::Ptr<Connection>& ActiveConnection() const { return connection_; }
    void SetActiveConnection(const automation::Ptr<Connection>& connection);
    const std::wstring& CommandText() const { return text_; }
    void SetCommandText(const std::wstring& text) { text_ = text; }
    long CommandType() const { return type_; }
    void SetCommandType(long type) { type_ = type; }

    // Runs the command with the appended parameters (or `parameters`, when
    // given, in their place). Options 128 (no records) return null.
    automation::Ptr<Recordset> Execute(automation::Variant* recordsAffected = nullptr,
                                       const std::vector<automation::Variant>* parameters = nullptr,
                                       long options = adOptionUnspecified);

    automation::Ptr<Parameter> CreateParameter(const std::wstring& name = {}, long type = 0,
                                               long direction = adParamInput, long size = 0,
                                               const automation::Variant& value = {});
    automation::Ptr<adodb::Parameters> Parameters() const { return parameters_; }

private:
    automation::Ptr<Connection> connection_;
    std::wstring text_;
    long type_ = adCmdUnknown;
    automation::Ptr<adodb::Parameters> parameters_;
};

}  // namespace provider::adodb
