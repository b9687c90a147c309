// A genuine Access database file (Jet 3, Jet 4 or ACE), opened read-only
// through libmdb: its catalog as plain values and a row reader per table.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/provider/mdb/mdb_file_header.h"
#include "platform/provider/mdb/mdb_row_reader.h"
#include "platform/provider/mdb/mdb_schema.h"

namespace provider::mdb {

class MdbSession;
struct TableRows;

// Not thread-safe: one thread at a time uses a database and its readers.
class MdbDatabase {
public:
    // Opens `path` for reading only and reads its whole catalog. Throws
    // automation::ComError with a description that names the file when it is
    // missing, not an Access database, or damaged.
    static std::unique_ptr<MdbDatabase> Open(const std::filesystem::path& path);
    ~MdbDatabase();
    MdbDatabase(const MdbDatabase&) = delete;
    MdbDatabase& operator=(const MdbDatabase&) = delete;

    const MdbFileHeader& Header() const;
    FileFormat Format() const { return Header().Format(); }

    // Every table of the catalog in catalog order: user, system and linked.
    const std::vector<TableInfo>& Tables() const { return tables_; }
    // Case-insensitive, as Access looks names up; null when absent.
    const TableInfo* FindTable(const std::wstring& name) const;
    const std::vector<RelationInfo>& Relations() const { return relations_; }
    const std::vector<QueryInfo>& Queries() const { return queries_; }
    const QueryInfo* FindQuery(const std::wstring& name) const;

    // A reader over the rows of a local table (user or system). Throws
    // ComError for an unknown or linked table.
    std::unique_ptr<MdbRowReader> OpenTable(const std::wstring& name) const;

private:
    MdbDatabase() = default;
    void ReadCatalog();
    // Tables, linked tables and queries from the object table's rows; gives
    // each query's object id with its index in queries_.
    std::map<int32_t, size_t> AddObjects(const TableRows& objects, const TableInfo& objectsInfo);
    void ReadRelations();
    void ReadQueries(const std::map<int32_t, size_t>& queryIndex);

    std::shared_ptr<MdbSession> session_;
    std::vector<TableInfo> tables_;
    std::vector<uint32_t> definitionPages_;  // parallel to tables_, 0 for linked tables
    std::vector<RelationInfo> relations_;
    std::vector<QueryInfo> queries_;
};

}  // namespace provider::mdb
