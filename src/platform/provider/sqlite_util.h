// Small helpers over the SQLite C API: an owning prepared statement, quoting
// of names and literals, and SQLite failures as provider errors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace provider {

// Runs one or more statements without results; raises ComError on failure.
void ExecSql(sqlite3* db, const std::string& sql);

// sqlite3_prepare_v3 for statements of any length. SQLite keeps each constant of a statement
// once, looking for an equal one among all kept before it, so that a statement with many
// distinct values (a WHERE of 100,000 OR terms) took up to minutes to prepare; a long statement
// is prepared with that sharing off. Its results are the same: the constants are then worked out
// where they are used.
int PrepareStatement(sqlite3* db, const std::string& sql, unsigned flags, sqlite3_stmt** stmt);

// Whether every frame of the log of the WAL database `file` is in the file itself, asked by a
// passive checkpoint on a connection of its own (read-only where `readOnly`: such a checkpoint
// fails and says no). While a hold keeps writers out, the file then holds the held state.
bool LogWhollyInFile(const char* file, bool readOnly);

// Raises a ComError with SQLite's message for the connection's last error.
[[noreturn]] void ThrowSqliteError(sqlite3* db, int rc);

// "name" with inner quotes doubled, UTF-8.
std::string QuoteName(std::wstring_view name);
std::string QuoteName(std::string_view utf8);
// 'text' with inner apostrophes doubled, UTF-8.
std::string QuoteText(std::wstring_view text);
std::string QuoteText(std::string_view utf8);

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // True while a row is available; raises ComError on failure.
    bool Step();
    void Reset();
    Statement& Bind(int index, int64_t value);
    Statement& Bind(int index, std::wstring_view text);
    Statement& Bind(int index, const std::string& utf8);
    Statement& BindNull(int index);

    int Int(int col) const;
    int64_t Int64(int col) const;
    bool IsNull(int col) const;
    std::wstring Text(int col) const;

    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace provider
