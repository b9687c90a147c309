// DAO's DBEngine over the native store.
#include "platform/provider/dao_engine.h"

#include "platform/provider/connection_string.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/native_store.h"
#include "platform/provider/session.h"

namespace provider::dao {

using automation::Variant;

namespace {

bool Flag(const Variant& v)
{
    if (v.IsEmpty() || v.IsNull() || v.vt() == automation::VT_ERROR)
        return false;  // an omitted optional argument
    return automation::ChangeType(v, automation::VT_BOOL).boolVal() != 0;
}

}  // namespace

automation::Ptr<Database> DBEngine::OpenDatabase(const std::wstring& path, const Variant& options,
                                                 const Variant& readOnly, const Variant& connect)
{
    std::wstring connectText;
    if (connect.vt() == automation::VT_BSTR)
        connectText = connect.bstrVal();
    // The provider's own checks: a path, and the workgroup file when one is named.
    std::wstring text =
        L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + QuoteConnectionValue(path);
    if (!systemDb_.empty())
        text += L";Jet OLEDB:System database=" + QuoteConnectionValue(systemDb_);
    std::wstring checked = CheckedDataSource(ConnectionString(text));
    // DAO's connect text starts with its source type, empty for Jet: ";PWD=...".
    size_t first = connectText.find_first_not_of(L';');
    std::wstring password =
        first == std::wstring::npos ? L"" : ConnectionString(connectText.substr(first)).Get(L"PWD");
    auto session = std::make_shared<Session>(NativeStore::Open(checked, Flag(options), password));
    return std::make_shared<Database>(std::move(session), path, Flag(readOnly));
}

}  // namespace provider::dao
