// The file is made by the ADOX catalog from the creation string alone: no password, workgroup
// file or user reaches a new database.
#include "sqlexec/mdb_creator.h"

#include "database/provider_prefix.h"
#include "platform/automation/com_error.h"
#include "platform/automation/object.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"

namespace SQLExecutor {

bool MdbCreator::Create()
{
    hasError_ = false;
    error_.clear();
    try {
        auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
        // The connection that Create opens is not needed: it is released at once, so that the
        // new file is free for whoever opens it next.
        catalog->Create(CreationString(settings_.path));
        return true;
    } catch (const automation::ComError& error) {
        hasError_ = true;
        const std::wstring description = error.Description().empty()
                                             ? L"Can't create database '" + settings_.path + L"'."
                                             : error.Description();
        error_ = L"\r\nError: " + description;
        return false;
    }
}

}  // namespace SQLExecutor
