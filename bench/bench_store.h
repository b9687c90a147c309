// The records benchmarks' store: one table of keys 1..rows, filled by doubling, with a side's
// differences made by the statements given.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/provider_classes.h"

namespace benchstore {

namespace adodb = provider::adodb;

inline void Run(const automation::Ptr<adodb::Connection>& c, const std::wstring& sql)
{
    c->Execute(sql, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
}

inline void CreateStore(const std::string& path, long rows,
                        const std::vector<std::wstring>& changes)
{
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto c = catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                             automation::FromUtf8(path));
    Run(c,
        L"CREATE TABLE [Bench] (k LONG PRIMARY KEY, a LONG, b DOUBLE, c TEXT(20), "
        L"d TEXT(50), f DATETIME)");
    const long seed = std::min(rows, 1000L);
    for (long k = 1; k <= seed; ++k) {
        const std::wstring K = std::to_wstring(k);
        Run(c, L"INSERT INTO [Bench] VALUES (" + K + L", " + std::to_wstring(k * 3) + L", " + K +
                   L".25, 'name " + K + L"', 'a somewhat longer description of row " + K +
                   L"', #1/" + std::to_wstring(k % 28 + 1) + L"/2001 10:30#)");
    }
    for (long have = seed; have < rows; have *= 2)
        Run(c, L"INSERT INTO [Bench] SELECT k + " + std::to_wstring(have) +
                   L", a, b, c, d, f FROM [Bench]");
    Run(c, L"DELETE FROM [Bench] WHERE k > " + std::to_wstring(rows));
    for (const auto& change : changes)
        Run(c, change);
    c->Close();
}

}  // namespace benchstore
