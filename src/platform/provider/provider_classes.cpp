// The provider's entries in the automation class registry.
#include "platform/provider/provider_classes.h"

#include <mutex>

#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/dao_engine.h"

namespace provider {

void RegisterProviderClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        using automation::RegisterClass;
        RegisterClass(L"ADODB.Connection", [] { return std::make_shared<adodb::Connection>(); });
        RegisterClass(L"ADODB.Recordset", [] { return std::make_shared<adodb::Recordset>(); });
        RegisterClass(L"ADODB.Command", [] { return std::make_shared<adodb::Command>(); });
        RegisterClass(L"ADOX.Catalog", [] { return std::make_shared<adox::Catalog>(); });
        RegisterClass(L"ADOX.Table", [] { return std::make_shared<adox::Table>(); });
        // The DAO versions a Jet 4 / ACE installation registers; DAO 3.5
        // (Jet 3) is not among them.
        RegisterClass(L"DAO.DBEngine.120", [] { return std::make_shared<dao::DBEngine>(); });
        RegisterClass(L"DAO.DBEngine.36", [] { return std::make_shared<dao::DBEngine>(); });
    });
}

}  // namespace provider
