// Reading a large table in key order through a static Recordset, side by side
// with the sqlite3 command-line shell running the same ordered select into
// /dev/null; then random AbsolutePosition seeks on the open Recordset.
//   provider_read_bench [rows]   (default 1,000,000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/automation/wide_text.h"
#include "platform/provider/ado_command.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/adox_catalog.h"
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

void Run(const Ptr<Connection>& c, const std::wstring& sql)
{
    c->Execute(sql, nullptr, adCmdText | adExecuteNoRecords);
}

// Fills [Bench] with keys 1..rows in scrambled physical order, by doubling.
void Fill(const Ptr<Connection>& c, long rows)
{
    Run(c,
        L"CREATE TABLE [Bench] (k LONG PRIMARY KEY, a LONG, b DOUBLE, c TEXT(20), "
        L"d TEXT(50), e CURRENCY, f DATETIME, g SHORT, h YESNO, i TEXT(10))");
    const long seed = 1000;
    for (long n = 0; n < seed; ++n) {
        long k = (n * 7919) % seed + 1;
        Run(c, L"INSERT INTO [Bench] VALUES (" + std::to_wstring(k) + L", " +
                   std::to_wstring(k * 3) + L", " + std::to_wstring(k) + L".25, 'name " +
                   std::to_wstring(k) + L"', 'a somewhat longer description of row " +
                   std::to_wstring(k) + L"', " + std::to_wstring(k) + L".5, #1/" +
                   std::to_wstring(n % 28 + 1) + L"/2001 10:30#, " + std::to_wstring(n % 300) +
                   L", " + (n % 2 ? L"TRUE" : L"FALSE") + L", 'x" + std::to_wstring(n) + L"')");
    }
    for (long have = seed; have < rows; have *= 2)
        Run(c, L"INSERT INTO [Bench] SELECT k + " + std::to_wstring(have) +
                   L", a, b, c, d, e, f, g, h, i FROM [Bench]");
    Run(c, L"DELETE FROM [Bench] WHERE k > " + std::to_wstring(rows));
}

}  // namespace

int main(int argc, char** argv)
{
    long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    provider::RegisterProviderClasses();
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("provider_read_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string file = (dir / "bench.mdb").string();
    std::wstring connect =
        L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + automation::FromUtf8(file);

    auto catalog = automation::CreateObjectAs<provider::adox::Catalog>(L"ADOX.Catalog");
    auto connection = catalog->Create(connect);
    auto start = Clock::now();
    Fill(connection, rows);
    std::printf("filled %ld rows x 10 columns in %.2f s\n", rows, Seconds(start));

    const std::wstring query =
        L"select [k], [a], [b], [c], [d], [e], [f], [g], [h], [i] from [Bench] order by [k]";
    start = Clock::now();
    auto rs = automation::CreateObjectAs<Recordset>(L"ADODB.Recordset");
    rs->SetCursorLocation(adUseServer);
    rs->Open(Variant(query), connection, adOpenStatic, adLockOptimistic, 0);
    auto fields = rs->Fields();
    std::vector<Ptr<Field>> columns;
    for (long i = 0; i < fields->Count(); ++i)
        columns.push_back(fields->Item(i));
    long read = 0;
    size_t checksum = 0;
    for (; !rs->IsEOF(); rs->MoveNext(), ++read)
        for (const Ptr<Field>& f : columns)
            checksum += f->Value().vt();
    double ours = Seconds(start);

    std::string shellSql =
        "select \"k\", \"a\", \"b\", \"c\", \"d\", \"e\", \"f\", \"g\", \"h\", \"i\" from "
        "\"Bench\" order by \"k\"";
    std::string command = "sqlite3 -readonly '" + file + "' '" + shellSql + "' > /dev/null";
    start = Clock::now();
    int status = std::system(command.c_str());
    double shell = Seconds(start);
    if (status != 0)
        std::printf("sqlite3 shell failed (status %d)\n", status);

    std::printf("ordered read, static Recordset: %ld rows in %.3f s (checksum %zu)\n", read, ours,
                checksum);
    std::printf("ordered read, sqlite3 shell to /dev/null: %.3f s\n", shell);
    std::printf("ratio provider / shell: %.2f (target: at most 2)\n", ours / shell);

    std::mt19937 random(42);
    std::uniform_int_distribution<long> pick(1, read);
    const int seeks = 10000;
    start = Clock::now();
    for (int n = 0; n < seeks; ++n) {
        rs->SetAbsolutePosition(pick(random));
        checksum += columns[0]->Value().lVal();
    }
    double seekTime = Seconds(start);
    // The same number of seeks within the first 100 rows: a constant-cost seek
    // takes about as long wherever it lands.
    std::uniform_int_distribution<long> near(1, std::min(read, 100L));
    start = Clock::now();
    for (int n = 0; n < seeks; ++n) {
        rs->SetAbsolutePosition(near(random));
        checksum += columns[0]->Value().lVal();
    }
    double nearTime = Seconds(start);
    std::printf("%d random AbsolutePosition seeks over all rows: %.3f s (%.2f us each)\n", seeks,
                seekTime, seekTime / seeks * 1e6);
    std::printf("%d seeks within the first 100 rows: %.3f s (%.2f us each)\n", seeks, nearTime,
                nearTime / seeks * 1e6);
    rs->Close();
    connection->Close();
    std::filesystem::remove_all(dir);
    return 0;
}
