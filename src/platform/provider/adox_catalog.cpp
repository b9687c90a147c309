// ADOX.Catalog over the native store.
#include "platform/provider/adox_catalog.h"

#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/connection_string.h"
#include "platform/provider/native_store.h"

namespace provider::adox {

using automation::Ptr;

Ptr<adodb::Connection> Catalog::Create(const std::wstring& connectionString)
{
    provider::ConnectionString cs(connectionString);
    std::wstring path = CheckedDataSource(cs, false);
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

const Ptr<adodb::Connection>& Catalog::RequireConnection() const
{
    if (!connection_ || connection_->State() != adodb::adStateOpen)
        throw automation::ComError(adodb::adErrObjectClosed,
                                   L"Operation is not allowed when the object is closed.");
    return connection_;
}

Ptr<adox::Tables> Catalog::Tables() const
{
    auto tables = std::make_shared<adox::Tables>(RequireConnection());
    tables->Refresh();
    return tables;
}

Ptr<adox::Views> Catalog::Views() const
{
    auto views = std::make_shared<adox::Views>(RequireConnection(), L"VIEW");
    views->Refresh();
    return views;
}

Ptr<adox::Views> Catalog::Procedures() const
{
    auto procedures = std::make_shared<adox::Views>(RequireConnection(), L"PROCEDURE");
    procedures->Refresh();
    return procedures;
}

}  // namespace provider::adox
