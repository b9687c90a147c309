// ADODB.Connection and its Errors collection over the native store.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/provider/ado.h"

namespace provider {
class Session;
}

namespace provider::adodb {

class Recordset;

class Error : public automation::Object {
public:
    Error(automation::HRESULT number, std::wstring description)
        : number_(number), description_(std::move(description))
    {
    }
    automation::HRESULT Number() const { return number_; }
    const std::wstring& Description() const { return description_; }
    std::wstring Source() const { return L"Microsoft JET Database Engine"; }

private:
    automation::HRESULT number_;
    std::wstring description_;
};

// The provider errors of the connection's last failed operation.
class Errors : public automation::Object {
public:
    long Count() const { return static_cast<long>(items_.size()); }
    automation::Ptr<Error> Item(long index) const;
    void Clear() { items_.clear(); }
    void Add(const automation::ComError& e);

private:
    std::vector<automation::Ptr<Error>> items_;
};

class Connection : public automation::Object, public std::enable_shared_from_this<Connection> {
public:
    Connection();
    ~Connection() override;

    // Opens the database named by the connection string ("Provider=...;Data
    // Source=path;Jet OLEDB:Database Password=..."). The lock taken follows
    // Mode: share-exclusive keeps every other open out.
    void Open(const std::wstring& connectionString = {}, const std::wstring& userId = {},
              const std::wstring& password = {}, long options = adOptionUnspecified);
    void Close();
    long State() const;

    long Mode() const { return mode_; }
    void SetMode(long mode);
    long CursorLocation() const { return cursorLocation_; }
    void SetCursorLocation(long location);
    const std::wstring& ConnectionString() const { return connectionString_; }
    void SetConnectionString(const std::wstring& text);

    // Runs a statement; rows come back as an open Recordset, other
    // statements give a closed one, and adExecuteNoRecords gives none.
    automation::Ptr<Recordset> Execute(const std::wstring& commandText,
                                       automation::Variant* recordsAffected = nullptr,
                                       long options = adOptionUnspecified);

    // A transaction over the connection's statements; BeginTrans returns its level (1:
    // transactions do not nest). RollbackTrans undoes every change since BeginTrans.
    long BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // A schema rowset (adSchemaColumns 4, adSchemaCheckConstraints 5,
    // adSchemaTableConstraints 10) with its restrictions in documented order.
    automation::Ptr<Recordset> OpenSchema(
        long schema, const std::vector<automation::Variant>& restrictions = {});

    automation::Ptr<adodb::Errors> Errors() const { return errors_; }

    // For the provider's own objects (recordsets, commands, catalogs).
    Session& OpenSession();
    automation::Ptr<Recordset> Run(const std::wstring& text,
                                   const std::vector<automation::Variant>& parameters,
                                   automation::Variant* recordsAffected, long options);
    // Records a failure in Errors and raises it again.
    [[noreturn]] void Raise(const automation::ComError& e);

private:
    std::unique_ptr<Session> session_;
    automation::Ptr<adodb::Errors> errors_;
    std::wstring connectionString_;
    long mode_ = adModeUnknown;
    long cursorLocation_ = adUseServer;
};

}  // namespace provider::adodb
