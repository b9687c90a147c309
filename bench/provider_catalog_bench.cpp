// Reading a database's catalog the way the schema reader does: every ADOX
// table with its columns' properties, indexes and keys, the check and
// column-order schema rowsets per table, views, procedures and the DAO
// relations.
//   provider_catalog_bench [tables]   (default 300)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/automation/wide_text.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/adox_catalog.h"
#include "platform/provider/adox_table.h"
#include "platform/provider/adox_views.h"
#include "platform/provider/dao_database.h"
#include "platform/provider/dao_engine.h"
#include "platform/provider/provider_classes.h"

namespace {

using automation::Ptr;
using automation::Variant;
using namespace provider::adodb;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv)
{
    long count = argc > 1 ? std::atol(argv[1]) : 300;
    provider::RegisterProviderClasses();
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("provider_catalog_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::wstring path = automation::FromUtf8((dir / "catalog.mdb").string());
    std::wstring connect = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path;
    auto creator = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = creator->Create(connect);
    auto start = Clock::now();
    for (long i = 0; i < count; ++i) {
        std::wstring n = std::to_wstring(i);
        connection->Execute(L"CREATE TABLE T" + n +
                                L" (id COUNTER CONSTRAINT pk PRIMARY KEY, name TEXT(40) NOT NULL, "
                                L"amount CURRENCY DEFAULT 0, at DATETIME, note MEMO, ref LONG, "
                                L"qty DECIMAL(10, 2), CONSTRAINT positive" +
                                n + L" CHECK (qty >= 0))",
                            nullptr, adExecuteNoRecords);
        connection->Execute(L"CREATE INDEX byName ON T" + n + L" (name)", nullptr,
                            adExecuteNoRecords);
        if (i > 0)
            connection->Execute(L"ALTER TABLE T" + n + L" ADD CONSTRAINT fk" + n +
                                    L" FOREIGN KEY (ref) REFERENCES T" + std::to_wstring(i - 1),
                                nullptr, adExecuteNoRecords);
    }
    std::printf("%ld tables declared: %.3f s\n", count, Seconds(start));
    connection->Close();

    start = Clock::now();
    auto reader = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
    reader->Open(connect, L"", L"", -1);
    reader->SetCursorLocation(adUseClient);
    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    catalog->SetActiveConnection(reader);
    auto tables = catalog->Tables();
    long items = 0;
    for (long t = 0; t < tables->Count(); ++t) {
        auto table = tables->Item(t);
        items +=
            provider::adox::PropertyFlag(table->Properties()->Item(L"Temporary Table")->Value());
        auto columns = table->Columns();
        for (long c = 0; c < columns->Count(); ++c) {
            auto props = columns->Item(c)->Properties();
            items += !props->Item(L"Default")->Value().IsEmpty();
            items += provider::adox::PropertyFlag(props->Item(L"Autoincrement")->Value());
            items += !props->Item(L"Jet OLEDB:Column Validation Rule")->Value().IsEmpty();
        }
        items += table->Indexes()->Count() + table->Keys()->Count();
        std::vector<Variant> constraints(5);
        constraints.push_back(Variant(table->Name()));
        constraints.push_back(Variant(L"CHECK"));
        for (auto rs = reader->OpenSchema(10, constraints); !rs->IsEOF(); rs->MoveNext())
            ++items;
        for (auto rs = reader->OpenSchema(4, {Variant(), Variant(), Variant(table->Name())});
             !rs->IsEOF(); rs->MoveNext())
            ++items;
    }
    for (auto rs = reader->OpenSchema(5); !rs->IsEOF(); rs->MoveNext())
        ++items;
    items += catalog->Views()->Count() + catalog->Procedures()->Count();
    reader->Close();
    provider::dao::DBEngine engine;
    auto db = engine.OpenDatabase(path);
    auto relations = db->Relations();
    for (long r = 0; r < relations->Count(); ++r)
        items += relations->Item(r)->Fields()->Count();
    db->Close();
    std::printf("catalog of %ld tables read (%ld items): %.3f s\n", count, items, Seconds(start));
    std::filesystem::remove_all(dir);
    return 0;
}
