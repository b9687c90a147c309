// ADOX.Catalog: creating a database, and binding a catalog to a database.
#pragma once

#include <string>

#include "platform/automation/object.h"

namespace provider::adodb {
class Connection;
}

namespace provider::adox {

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

private:
    automation::Ptr<adodb::Connection> connection_;
};

}  // namespace provider::adox
