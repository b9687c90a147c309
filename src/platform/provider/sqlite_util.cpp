// SQLite helpers shared by the store, the catalog and the statement engine.
#include "platform/provider/sqlite_util.h"

#include <sqlite3.h>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"

namespace provider {

bool LogWhollyInFile(const char* file, bool readOnly)
{
    sqlite3* checkpointer = nullptr;
    int rc = sqlite3_open_v2(
        file, &checkpointer,
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX, nullptr);
    int logged = -1, moved = -1;
    // A connection learns that the file keeps a log at its first read.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(checkpointer, "SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                          nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_wal_checkpoint_v2(checkpointer, "main", SQLITE_CHECKPOINT_PASSIVE, &logged,
                                       &moved);
    sqlite3_close(checkpointer);
    return rc == SQLITE_OK && logged >= 0 && logged == moved;
}

void ExecSql(sqlite3* db, const std::string& sql)
{
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        sqlite3_free(message);
        ThrowSqliteError(db, rc);
    }
}

void ThrowSqliteError(sqlite3* db, int rc)
{
    std::wstring message = automation::FromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    int code = db ? sqlite3_extended_errcode(db) : rc;
    // The detail after "...failed: " names the table and fields.
    std::wstring detail;
    size_t colon = message.find(L"failed: ");
    if (colon != std::wstring::npos)
        detail = message.substr(colon + 8);
    switch (code) {
        case SQLITE_CONSTRAINT_NOTNULL:
            message =
                L"The field '" + detail +
                L"' cannot contain a Null value because the "
                L"Required property for this field is set to True. Enter a value in this field.";
            break;
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            message =
                L"The changes you requested to the table were not successful because they "
                L"would create duplicate values in the index, primary key, or relationship "
                L"(fields " +
                detail +
                L"). Change the data in the field or fields that "
                L"contain duplicate data, remove the index, or redefine the index to permit "
                L"duplicate entries and try again.";
            break;
        case SQLITE_MISMATCH:
            // Only a Null reaches a key kept as the rowid this way (a rule setting it Null):
            // every value stored by a statement is converted to the field's type first.
            message = L"Index or primary key cannot contain a Null value.";
            break;
        case SQLITE_LOCKED:
        case SQLITE_LOCKED_SHAREDCACHE:
            message =
                L"The table is in use by an open Recordset of this connection; close the "
                L"Recordset first (" +
                message + L").";
            break;
        case SQLITE_BUSY:
            message = L"Could not update; currently locked by another session on this machine.";
            break;
        case SQLITE_READONLY:
            message = L"Cannot update. Database or object is read-only.";
            break;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            message = L"The database file is damaged or is not a database (" + message + L").";
            break;
        default:
            break;
    }
    throw automation::ComError(automation::E_FAIL, message);
}

std::string QuoteName(std::string_view utf8)
{
    std::string out = "\"";
    for (char c : utf8) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string QuoteName(std::wstring_view name)
{
    return QuoteName(std::string_view(automation::ToUtf8(name)));
}

std::string QuoteText(std::string_view utf8)
{
    std::string out = "'";
    for (char c : utf8) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string QuoteText(std::wstring_view text)
{
    return QuoteText(std::string_view(automation::ToUtf8(text)));
}

int PrepareStatement(sqlite3* db, const std::string& sql, unsigned flags, sqlite3_stmt** stmt)
{
    // Below this length the search costs less than the constants worked out on every row.
    constexpr size_t kLongStatement = 16 * 1024;
    // SQLite's mask bit for sharing constants: a test control, stable across its versions.
    constexpr int kFactorOutConstants = 0x08;
    const bool longStatement = sql.size() > kLongStatement;
    if (longStatement)
        sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kFactorOutConstants);
    const int rc =
        sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), flags, stmt, nullptr);
    if (longStatement)
        sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, 0);
    return rc;
}

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db)
{
    int rc = PrepareStatement(db, sql, 0, &stmt_);
    if (rc != SQLITE_OK)
        ThrowSqliteError(db, rc);
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

bool Statement::Step()
{
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    ThrowSqliteError(db_, rc);
}

void Statement::Reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

Statement& Statement::Bind(int index, int64_t value)
{
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement& Statement::Bind(int index, std::wstring_view text)
{
    return Bind(index, automation::ToUtf8(text));
}

Statement& Statement::Bind(int index, const std::string& utf8)
{
    sqlite3_bind_text(stmt_, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::BindNull(int index)
{
    sqlite3_bind_null(stmt_, index);
    return *this;
}

int Statement::Int(int col) const
{
    return sqlite3_column_int(stmt_, col);
}

int64_t Statement::Int64(int col) const
{
    return sqlite3_column_int64(stmt_, col);
}

bool Statement::IsNull(int col) const
{
    return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}

std::wstring Statement::Text(int col) const
{
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    return automation::FromUtf8(std::string_view(p ? p : "", sqlite3_column_bytes(stmt_, col)));
}

}  // namespace provider
