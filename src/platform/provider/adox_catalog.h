// ADOX.Catalog: creating a database, and binding a catalog to a database.
#pragma once

#include <string>

#include "platform/automation/object.h"

namespace provider::adodb {
class Connection;
}

namespace provider::adox {

class Tables;
class Views;

class Catalog : public automation::Object {
public:
    // Makes a new empty database from a connection string (provider, data
    // source and an optional "Jet OLEDB:Database Password") and returns an
    // open connection to it. Fails when the file exists.
    automation::Ptr<adodb::Connection> Create(const std::wstring& connectionString);

    // The catalog's connection; a text opens a connection of the catalog's own.
    void SetActiveConnection(const std::wstring& connectionString);
    void SetActiveConnection(const automation::Ptr<adodb::Connection>& connection);
    const automation::Ptr<adodb::Connection>& ActiveConnection() const { return connection_; }

    // The catalog's objects as the database holds them now (read afresh at
    // each call). Raises when no connection is set.
    automation::Ptr<adox::Tables> Tables() const;
    automation::Ptr<adox::Views> Views() const;
    automation::Ptr<adox::Views> Procedures() const;

private:
    const automation::Ptr<adodb::Connection>& RequireConnection() const;

    automation::Ptr<adodb::Connection> connection_;
};

}  // namespace provider::adox
