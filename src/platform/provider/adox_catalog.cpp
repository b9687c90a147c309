// ADOX.Catalog over the native store.
#include "platform/provider/adox_catalog.h"

#include "platform/provider/ado_connection.h"
#include "platform/provider/connection_string.h"
#include "platform/provider/native_store.h"

namespace provider::adox {

using automation::Ptr;

Ptr<adodb::Connection> Catalog::Create(const std::wstring& connectionString)
{
    provider::ConnectionString cs(connectionString);
    std::wstring path = CheckedDataSource(cs);
    NativeStore::Create(path, cs.Get(L"Jet OLEDB:Database Password"));
    auto connection = std::make_shared<adodb::Connection>();
    connection->Open(connectionString);
    connection_ = connection;
    return connection;
}

void Catalog::SetActiveConnection(const std::wstring& connectionString)
{
    auto connection = std::make_shared<adodb::Connection>();
    connection->Open(connectionString);
    connection_ = connection;
}

void Catalog::SetActiveConnection(const Ptr<adodb::Connection>& connection)
{
    connection_ = connection;
}

}  // namespace provider::adox
