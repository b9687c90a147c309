// A 100,000-row INSERT script run by the script executor against a new native store, side by
// side with the sqlite3 shell running the equivalent SQLite script on an empty file with the same
// table. Five runs, each side timed in the same run; prints each run, the medians and the ratios.
// The shell also runs the script on a table laid out as the native store lays out the executor's
// (copied from the store the executor wrote), to tell what the layout costs from what the runner
// costs. A key of one Long is the row id, as in the shell's table; a key kept as an index of its
// own (made after its table, or of another type) would make every committed INSERT write two
// pages instead of one.
#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "database/connection_settings.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/provider_classes.h"
#include "sqlexec/mdb_creator.h"
#include "sqlexec/script_executor.h"

namespace {

constexpr int kRows = 100000;
constexpr int kRuns = 5;

struct Scripts {
    std::wstring access;     // for the script executor
    std::string sqlite;      // for the sqlite3 shell
    std::string durability;  // the shell's journal settings, before its CREATE TABLE
    std::string inserts;     // the shell's INSERT statements
};

std::string Hex(const std::vector<unsigned char>& bytes)
{
    static const char* const digits = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::wstring Base64(const std::vector<unsigned char>& bytes)
{
    std::string encoded;
    CryptoPP::StringSource(bytes.data(), bytes.size(), true,
                           new CryptoPP::Base64Encoder(new CryptoPP::StringSink(encoded), false));
    return automation::FromUtf8(encoded);
}

// Mixed types; one row in twenty carries a chr() text or a base64 binary value.
Scripts MakeScripts()
{
    Scripts s;
    s.access =
        L"CREATE TABLE [Orders] ([id] LONG PRIMARY KEY, [name] TEXT(50), [amount] CURRENCY, "
        L"[placed] DATETIME, [paid] YESNO, [ratio] DOUBLE, [data] LONGBINARY);\r\n";
    // The native store journals ahead and syncs at checkpoints (WAL, synchronous NORMAL); the
    // shell gets the same durability, or it would be timing one disk flush per statement.
    s.durability = "PRAGMA journal_mode = WAL;\nPRAGMA synchronous = NORMAL;\n";
    s.sqlite = s.durability +
               "CREATE TABLE Orders (id INTEGER PRIMARY KEY, name TEXT, amount NUMERIC, "
               "placed TEXT, paid INTEGER, ratio REAL, data BLOB);\n";
    std::mt19937 random(7);
    for (int i = 1; i <= kRows; ++i) {
        const std::string n = std::to_string(i);
        const std::wstring w = std::to_wstring(i);
        const int month = 1 + i % 12, day = 1 + i % 28, hour = i % 24;
        const std::string amount = std::to_string(i % 100000) + "." + std::to_string(i % 10000);
        const std::string ratio = std::to_string((i % 1000) / 7.0);
        char date[32], sqliteDate[32];
        std::snprintf(date, sizeof date, "#%02d/%02d/2024 %02d:07:09#", month, day, hour);
        std::snprintf(sqliteDate, sizeof sqliteDate, "'2024-%02d-%02d %02d:07:09'", month, day,
                      hour);
        const bool paid = i % 2 == 0;
        std::wstring name = L"\"Customer " + w + L"\"";
        std::string sqliteName = "'Customer " + n + "'";
        std::wstring data = L"NULL";
        std::string sqliteData = "NULL";
        if (i % 20 == 0) {
            if (i % 40 == 0) {
                name = L"\"Line " + w + L"\" & chr(13) & chr(10) & \"next\"";
                sqliteName = "'Line " + n + "' || char(13) || char(10) || 'next'";
            } else {
                std::vector<unsigned char> bytes(32 + random() % 64);
                for (unsigned char& b : bytes)
                    b = static_cast<unsigned char>(random());
                data = L"base64(\"" + Base64(bytes) + L"\")";
                sqliteData = "X'" + Hex(bytes) + "'";
            }
        }
        s.access +=
            L"INSERT INTO [Orders] ([id], [name], [amount], [placed], [paid], [ratio], "
            L"[data]) VALUES (" +
            w + L", " + name + L", " + automation::FromUtf8(amount) + L", " +
            automation::FromUtf8(date) + L", " + (paid ? L"-1" : L"0") + L", " +
            automation::FromUtf8(ratio) + L", " + data + L");\r\n";
        s.inserts += "INSERT INTO Orders (id, name, amount, placed, paid, ratio, data) VALUES (" +
                     n + ", " + sqliteName + ", " + amount + ", " + sqliteDate + ", " +
                     (paid ? "1" : "0") + ", " + ratio + ", " + sqliteData + ");\n";
    }
    s.sqlite += s.inserts;
    return s;
}

// The statements that make the Orders table in the store at `path` (table, index, triggers).
std::string StoreLayout(const std::string& path)
{
    sqlite3* db = nullptr;
    std::string sql;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT sql FROM sqlite_master WHERE tbl_name = 'Orders' AND sql IS "
                           "NOT NULL ORDER BY type = 'table' DESC, rowid",
                           -1, &stmt, nullptr);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
            sql += std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) + ";\n";
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return sql;
}

// Wall-clock and processor seconds (user and system) of one side of a run. The machine may be
// shared: the processor time shows the work done, whatever else is running.
struct Timing {
    double wall = -1;
    double cpu = 0;
};

double CpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <class Work>
Timing Measure(int who, Work&& work)
{
    const double cpu = CpuSeconds(who);
    const auto start = std::chrono::steady_clock::now();
    if (!work())
        return {};
    Timing t;
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.cpu = CpuSeconds(who) - cpu;
    return t;
}

// The sqlite3 shell on a new file with `script`.
Timing Shell(const std::filesystem::path& dir, const std::string& script)
{
    const auto sqlitePath = dir / "bench.sqlite";
    const auto scriptPath = dir / "bench.sql";
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(sqlitePath.string() + suffix);
    std::ofstream(scriptPath, std::ios::binary) << script;
    const std::string command =
        "sqlite3 '" + sqlitePath.string() + "' < '" + scriptPath.string() + "' > /dev/null";
    return Measure(RUSAGE_CHILDREN, [&] {
        const int status = std::system(command.c_str());
        if (status != 0)
            std::fprintf(stderr, "sqlite3 failed (%d)\n", status);
        return status == 0;
    });
}

// The executor on a new store.
Timing Executor(const std::filesystem::path& dir, const std::wstring& script)
{
    const auto store = dir / "bench.mdb";
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(store.string() + suffix);
    ConnectionSettings settings;
    settings.path = automation::FromUtf8(store.string());
    SQLExecutor::MdbCreator creator(settings);
    if (!creator.Create()) {
        std::fprintf(stderr, "%s\n", automation::ToUtf8(creator.GetError()).c_str());
        return {};
    }
    Options options;
    SQLExecutor::ScriptExecutor executor(settings, script, false, options);
    FakeProgress progress;
    return Measure(RUSAGE_SELF, [&] {
        const std::wstring output = executor.Run(progress);
        if (executor.IsStopped())
            std::fprintf(stderr, "script failed: %s\n", automation::ToUtf8(output).c_str());
        return !executor.IsStopped();
    });
}

double Median(std::array<double, kRuns> values)
{
    std::sort(values.begin(), values.end());
    return values[kRuns / 2];
}

}  // namespace

int main()
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("sqlexec_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    provider::RegisterProviderClasses();
    const Scripts scripts = MakeScripts();

    std::printf("%d INSERT statements (5%% with chr() or base64 values), %d runs\n", kRows, kRuns);
    std::printf("shell: the sqlite3 shell on the same table (WAL, synchronous NORMAL)\n");
    std::printf("layout: the shell on the table as the native store lays it out\n");
    std::printf(
        "ratio: the executor's time over the other's, in the same run; cpu: user + system\n\n");
    std::printf(
        "          executor          shell            layout        wall ratio    cpu ratio\n");
    std::printf(
        "run      wall    cpu      wall    cpu      wall    cpu   shell layout shell layout\n");
    enum { kOurs, kShell, kLayout, kSides };
    std::array<std::array<double, kRuns>, kSides> wall{}, cpu{};
    auto row = [](const char* name, const std::array<double, kSides>& w,
                  const std::array<double, kSides>& c) {
        std::printf("%-4s %7.3f %6.3f   %7.3f %6.3f   %7.3f %6.3f   %5.2f %5.2f  %5.2f %5.2f\n",
                    name, w[kOurs], c[kOurs], w[kShell], c[kShell], w[kLayout], c[kLayout],
                    w[kOurs] / w[kShell], w[kOurs] / w[kLayout], c[kOurs] / c[kShell],
                    c[kOurs] / c[kLayout]);
    };
    for (int run = 0; run < kRuns; ++run) {
        std::array<Timing, kSides> t;
        t[kOurs] = Executor(dir, scripts.access);
        const std::string storeLayout = StoreLayout((dir / "bench.mdb").string());
        t[kShell] = Shell(dir, scripts.sqlite);
        t[kLayout] = Shell(dir, scripts.durability + storeLayout + scripts.inserts);
        if (storeLayout.empty() ||
            std::any_of(t.begin(), t.end(), [](const Timing& side) { return side.wall < 0; })) {
            std::filesystem::remove_all(dir);
            return 1;
        }
        std::array<double, kSides> w, c;
        for (int side = 0; side < kSides; ++side) {
            w[side] = wall[side][run] = t[side].wall;
            c[side] = cpu[side][run] = t[side].cpu;
        }
        row(std::to_string(run + 1).c_str(), w, c);
    }
    std::filesystem::remove_all(dir);
    std::array<double, kSides> w, c;
    for (int side = 0; side < kSides; ++side) {
        w[side] = Median(wall[side]);
        c[side] = Median(cpu[side]);
    }
    row("med", w, c);
    std::printf("(the median row divides the medians)\n");
    return 0;
}
