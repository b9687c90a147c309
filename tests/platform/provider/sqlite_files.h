// SQLite files for the tests of the readers of a table's pages: made and changed through
// SQLite, their tables' root pages, their bytes read and written whole, and a value as SQLite
// and as the pages read it, to compare the two.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/provider/table_pages.h"

namespace sqlitefiles {

// Runs one statement or several; one that fails fails the test, saying which.
inline void Exec(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
        ADD_FAILURE() << sql << ": " << (error ? error : "?");
    sqlite3_free(error);
}

// A connection to the file at `path` (or the URI), made if it is not there yet.
inline sqlite3* OpenDb(const std::string& path,
                       int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI)
{
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, flags, nullptr), SQLITE_OK) << path;
    return db;
}

// A new file's connection, before anything is written: its pages of `pageSize` bytes with
// `reserved` bytes at the end of each.
inline sqlite3* OpenNewDb(const std::string& path, uint32_t pageSize, int reserved = 0)
{
    sqlite3* db = OpenDb(path);
    if (reserved > 0) {
        int reserve = reserved;
        EXPECT_EQ(sqlite3_file_control(db, "main", SQLITE_FCNTL_RESERVE_BYTES, &reserve),
                  SQLITE_OK);
    }
    Exec(db, "PRAGMA page_size = " + std::to_string(pageSize));
    return db;
}

// The root page of a table, 0 where there is no such table.
inline uint32_t RootOf(sqlite3* db, const std::string& table)
{
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_schema WHERE name = ?1", -1, &stmt,
                       nullptr);
    sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    uint32_t root = 0;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        root = static_cast<uint32_t>(sqlite3_column_int64(stmt, 0));
    sqlite3_finalize(stmt);
    return root;
}

inline uint32_t RootOf(const std::string& path, const std::string& table)
{
    sqlite3* db = OpenDb(path);
    const uint32_t root = RootOf(db, table);
    sqlite3_close(db);
    return root;
}

inline std::vector<char> ReadFile(const std::string& path)
{
    std::vector<char> bytes(std::filesystem::file_size(path));
    std::ifstream(path, std::ios::binary)
        .read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void WriteFile(const std::string& path, const std::vector<char>& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// --- a value as either side reads it ------------------------------------------------------

struct Value {
    int type = SQLITE_NULL;
    int64_t i = 0;
    uint64_t bits = 0;  // a real's, compared exactly (-0.0 is not 0.0)
    std::string bytes;
    bool operator==(const Value&) const = default;
};

inline std::string Describe(const Value& v)
{
    switch (v.type) {
        case SQLITE_INTEGER:
            return "integer " + std::to_string(v.i);
        case SQLITE_FLOAT: {
            double r;
            std::memcpy(&r, &v.bits, sizeof r);
            return "real " + std::to_string(r);
        }
        case SQLITE_TEXT:
            return "text of " + std::to_string(v.bytes.size()) + " bytes";
        case SQLITE_BLOB:
            return "blob of " + std::to_string(v.bytes.size()) + " bytes";
        default:
            return "null";
    }
}

// Column `col` of the row SQLite's statement stands on.
inline Value ColumnValue(sqlite3_stmt* stmt, int col)
{
    Value v;
    v.type = sqlite3_column_type(stmt, col);
    if (v.type == SQLITE_INTEGER) {
        v.i = sqlite3_column_int64(stmt, col);
    } else if (v.type == SQLITE_FLOAT) {
        const double r = sqlite3_column_double(stmt, col);
        std::memcpy(&v.bits, &r, sizeof v.bits);
    } else if (v.type != SQLITE_NULL) {
        const void* p = v.type == SQLITE_TEXT
                            ? static_cast<const void*>(sqlite3_column_text(stmt, col))
                            : sqlite3_column_blob(stmt, col);
        v.bytes.assign(static_cast<const char*>(p),
                       static_cast<size_t>(sqlite3_column_bytes(stmt, col)));
    }
    return v;
}

inline Value FromField(const provider::TablePages::Field& f)
{
    using Field = provider::TablePages::Field;
    Value v;
    switch (f.type) {
        case Field::Null:
            break;
        case Field::Integer:
            v.type = SQLITE_INTEGER;
            v.i = f.i;
            break;
        case Field::Real:
            v.type = SQLITE_FLOAT;
            std::memcpy(&v.bits, &f.r, sizeof v.bits);
            break;
        case Field::Text:
        case Field::Blob:
            v.type = f.type == Field::Text ? SQLITE_TEXT : SQLITE_BLOB;
            v.bytes.assign(reinterpret_cast<const char*>(f.bytes), f.size);
            break;
    }
    return v;
}

}  // namespace sqlitefiles
