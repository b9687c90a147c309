// Parsing speed of the Access SQL front end on the statements a synchronisation
// script is made of: a 1,000,000-statement INSERT script, and UPDATE/DELETE lines.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/provider/sql/parser.h"

namespace {

std::wstring InsertStatement(int i)
{
    return L"INSERT INTO [Order Details] ([Order ID], [Product ID], [Unit Price], [Quantity], "
           L"[Discount], [Shipped], [Note], [Code], [Weight], [Flag]) VALUES (" +
           std::to_wstring(i) + L", " + std::to_wstring(i % 977) + L", " +
           std::to_wstring(i % 500) + L".2500, " + std::to_wstring(i % 40) +
           L", 0.05, #12/31/1999 10:30:00#, \"Note \"\"" + std::to_wstring(i) +
           L"\"\"\" & chr(13) & chr(10) & \"line two\", 'AB-" + std::to_wstring(i) +
           L"', 1.5E2, -1)";
}

std::vector<std::wstring> Script(int count)
{
    std::vector<std::wstring> lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines.push_back(InsertStatement(i));
    return lines;
}

void BM_InsertScriptOfOneMillionStatements(benchmark::State& state)
{
    const std::vector<std::wstring> lines = Script(1000000);
    for (auto _ : state) {
        for (const std::wstring& line : lines) {
            provider::sql::Statement st = provider::sql::Parse(line);
            benchmark::DoNotOptimize(st);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lines.size()));
}
BENCHMARK(BM_InsertScriptOfOneMillionStatements)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UpdateAndDeleteStatements(benchmark::State& state)
{
    const std::wstring update =
        L"UPDATE [Customers] SET [Name]=\"Smith\", [City]=\"Berlin\", [Balance]=1234.5600, "
        L"[Born]=#03/04/1975#, [Active]=-1 WHERE [ID]=42 AND [Branch]=\"North\"";
    const std::wstring del = L"DELETE FROM [Customers] WHERE [ID]=42 AND [Branch]=\"North\"";
    for (auto _ : state) {
        benchmark::DoNotOptimize(provider::sql::Parse(update));
        benchmark::DoNotOptimize(provider::sql::Parse(del));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_UpdateAndDeleteStatements);

}  // namespace

BENCHMARK_MAIN();
