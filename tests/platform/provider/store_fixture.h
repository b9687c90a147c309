// A fresh native store in a temporary folder, opened through ADO, for the
// provider's tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/automation/object.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"
#include "support/temp_dir.h"

namespace providertest {

using automation::Ptr;
using automation::Variant;
using namespace provider::adodb;

inline std::wstring Wide(const std::filesystem::path& p)
{
    return automation::FromUtf8(p.string());
}

inline std::wstring JetString(const std::wstring& path, const std::wstring& extra = {})
{
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + extra;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        provider::RegisterProviderClasses();
        path = Wide(dir / "test.mdb");
        auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
        catalog->Create(JetString(path))->Close();
        connection = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
        connection->Open(JetString(path));
    }

    long Run(const std::wstring& sql)
    {
        Variant affected;
        connection->Execute(sql, &affected, adCmdText | adExecuteNoRecords);
        return affected.lVal();
    }

    Ptr<Recordset> Query(const std::wstring& sql)
    {
        auto rs = automation::CreateObjectAs<Recordset>(L"ADODB.Recordset");
        rs->Open(Variant(sql), connection, adOpenStatic, adLockOptimistic, adCmdText);
        return rs;
    }

    // The description of the error that `sql` raises; empty when it succeeds.
    std::wstring ErrorOf(const std::wstring& sql)
    {
        try {
            Run(sql);
        } catch (const automation::ComError& e) {
            return e.Description();
        }
        return {};
    }

    testsupport::TempDir dir;
    std::wstring path;
    Ptr<Connection> connection;
};

}  // namespace providertest
