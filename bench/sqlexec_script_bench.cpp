// A 100,000-row INSERT script run by the script executor against a new native store, side by
// side with the sqlite3 shell running the equivalent SQLite script on an empty file with the same
// table. One run; prints both times and their ratio.
#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <unistd.h>

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

struct Scripts {
    std::wstring access;  // for the script executor
    std::string sqlite;   // for the sqlite3 shell
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
    s.sqlite =
        "PRAGMA journal_mode = WAL;\nPRAGMA synchronous = NORMAL;\n"
        "CREATE TABLE Orders (id INTEGER PRIMARY KEY, name TEXT, amount NUMERIC, placed TEXT, "
        "paid INTEGER, ratio REAL, data BLOB);\n";
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
        s.sqlite += "INSERT INTO Orders (id, name, amount, placed, paid, ratio, data) VALUES (" +
                    n + ", " + sqliteName + ", " + amount + ", " + sqliteDate + ", " +
                    (paid ? "1" : "0") + ", " + ratio + ", " + sqliteData + ");\n";
    }
    return s;
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main()
{
    const auto dir =
        std::filesystem::temp_directory_path() / ("sqlexec_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    provider::RegisterProviderClasses();
    const Scripts scripts = MakeScripts();

    ConnectionSettings settings;
    settings.path = automation::FromUtf8((dir / "bench.mdb").string());
    SQLExecutor::MdbCreator creator(settings);
    if (!creator.Create()) {
        std::fprintf(stderr, "%s\n", automation::ToUtf8(creator.GetError()).c_str());
        return 1;
    }
    Options options;
    SQLExecutor::ScriptExecutor executor(settings, scripts.access, false, options);
    FakeProgress progress;
    auto start = std::chrono::steady_clock::now();
    const std::wstring output = executor.Run(progress);
    const double ours = Seconds(std::chrono::steady_clock::now() - start);
    if (executor.IsStopped()) {
        std::fprintf(stderr, "script failed: %s\n", automation::ToUtf8(output).c_str());
        return 1;
    }

    const auto sqlitePath = dir / "bench.sqlite";
    const auto scriptPath = dir / "bench.sql";
    std::ofstream(scriptPath, std::ios::binary) << scripts.sqlite;
    const std::string command =
        "sqlite3 '" + sqlitePath.string() + "' < '" + scriptPath.string() + "' > /dev/null";
    start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double shell = Seconds(std::chrono::steady_clock::now() - start);
    std::filesystem::remove_all(dir);
    if (status != 0) {
        std::fprintf(stderr, "sqlite3 failed (%d)\n", status);
        return 1;
    }
    std::printf("%d INSERT statements (5%% with chr() or base64 values)\n", kRows);
    std::printf("script executor, native store: %8.3f s\n", ours);
    std::printf("sqlite3 shell, same table:     %8.3f s (WAL, synchronous NORMAL)\n", shell);
    std::printf("ratio (executor / shell):      %8.2f\n", ours / shell);
    return 0;
}
