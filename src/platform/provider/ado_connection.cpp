// ADODB.Connection over a provider session.
#include "platform/provider/ado_connection.h"

#include "platform/provider/ado_recordset.h"
#include "platform/provider/connection_string.h"
#include "platform/provider/session.h"

namespace provider::adodb {

using automation::ComError;
using automation::Ptr;
using automation::Variant;

automation::Ptr<Error> Errors::Item(long index) const
{
    if (index < 0 || index >= Count())
        throw ComError(adErrItemNotFound,
                       L"Item cannot be found in the collection "
                       L"corresponding to the requested name or ordinal.");
    return items_[static_cast<size_t>(index)];
}

void Errors::Add(const ComError& e)
{
    items_.push_back(std::make_shared<Error>(e.Error(), e.Description()));
}

Connection::Connection() : errors_(std::make_shared<adodb::Errors>()) {}

Connection::~Connection()
{
    session_.reset();
}

void Connection::Raise(const ComError& e)
{
    errors_->Add(e);
    throw e;
}

long Connection::State() const
{
    return session_ ? adStateOpen : adStateClosed;
}

void Connection::SetMode(long mode)
{
    if (session_)
        Raise(ComError(adErrObjectOpen, L"Operation is not allowed when the object is open."));
    mode_ = mode;
}

void Connection::SetCursorLocation(long location)
{
    if (location != adUseServer && location != adUseClient)
        Raise(ComError(adErrInvalidArgument,
                       L"Arguments are of the wrong type, are out of "
                       L"acceptable range, or are in conflict with one "
                       L"another."));
    cursorLocation_ = location;
}

void Connection::SetConnectionString(const std::wstring& text)
{
    if (session_)
        Raise(ComError(adErrObjectOpen, L"Operation is not allowed when the object is open."));
    connectionString_ = text;
}

void Connection::Open(const std::wstring& connectionString, const std::wstring&,
                      const std::wstring&, long)
{
    errors_->Clear();
    if (session_)
        Raise(ComError(adErrObjectOpen, L"Operation is not allowed when the object is open."));
    if (!connectionString.empty())
        connectionString_ = connectionString;
    try {
        provider::ConnectionString cs(connectionString_);
        std::wstring path = CheckedDataSource(cs);
        // Share-deny-read (part of share-exclusive, 12) keeps every other open out.
        bool exclusive = (mode_ & adModeShareDenyRead) != 0;
        session_ = std::make_unique<Session>(
            NativeStore::Open(path, exclusive, cs.Get(L"Jet OLEDB:Database Password")));
    } catch (const ComError& e) {
        Raise(e);
    }
}

void Connection::Close()
{
    errors_->Clear();
    if (!session_)
        Raise(ComError(adErrObjectClosed, L"Operation is not allowed when the object is closed."));
    session_.reset();
}

Session& Connection::OpenSession()
{
    if (!session_)
        Raise(ComError(adErrObjectClosed, L"Operation is not allowed when the object is closed."));
    return *session_;
}

Ptr<Recordset> Connection::Run(const std::wstring& text, const std::vector<Variant>& parameters,
                               Variant* recordsAffected, long options)
{
    errors_->Clear();
    Session& session = OpenSession();
    long kind = options == adOptionUnspecified
                    ? adCmdUnknown
                    : options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdUnknown |
                                 adCmdTableDirect);
    bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords) != 0;
    std::wstring table;
    if (kind == adCmdTable || kind == adCmdTableDirect)
        table = L"SELECT * FROM [" + text + L"]";
    try {
        Session::Result result = session.Execute(table.empty() ? text : table, parameters);
        if (recordsAffected)
            *recordsAffected = Variant(
                static_cast<int32_t>(result.recordsAffected < 0 ? 0 : result.recordsAffected));
        if (noRecords)
            return nullptr;
        auto rs = std::make_shared<Recordset>();
        if (result.cursor)
            rs->Attach(std::move(result.cursor));
        return rs;
    } catch (const ComError& e) {
        Raise(e);
    }
}

Ptr<Recordset> Connection::Execute(const std::wstring& commandText, Variant* recordsAffected,
                                   long options)
{
    return Run(commandText, {}, recordsAffected, options);
}

namespace {

// A transaction step on the connection's session; a failure is recorded in Errors.
template <class Step>
void TransactionStep(Connection& connection, Step step)
{
    connection.Errors()->Clear();
    try {
        step(connection.OpenSession());
    } catch (const ComError& e) {
        connection.Raise(e);
    }
}

}  // namespace

long Connection::BeginTrans()
{
    TransactionStep(*this, [](Session& session) { session.BeginTransaction(); });
    return 1;
}

void Connection::CommitTrans()
{
    TransactionStep(*this, [](Session& session) { session.CommitTransaction(); });
}

void Connection::RollbackTrans()
{
    TransactionStep(*this, [](Session& session) { session.RollbackTransaction(); });
}

Ptr<Recordset> Connection::OpenSchema(long schema, const std::vector<Variant>& restrictions)
{
    errors_->Clear();
    Session& session = OpenSession();
    try {
        auto rs = std::make_shared<Recordset>();
        rs->SetCursorLocation(cursorLocation_);
        rs->Attach(session.SchemaRowset(schema, restrictions));
        return rs;
    } catch (const ComError& e) {
        Raise(e);
    }
}

}  // namespace provider::adodb
