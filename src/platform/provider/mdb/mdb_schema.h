// What the catalog of a genuine Access file holds, as plain values: tables,
// columns, indexes, relations and saved queries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace provider::mdb {

// The file's own column type codes.
enum MdbColumnType : int {
    kMdbBoolean = 0x01,
    kMdbByte = 0x02,
    kMdbInteger = 0x03,
    kMdbLong = 0x04,
    kMdbMoney = 0x05,
    kMdbSingle = 0x06,
    kMdbDouble = 0x07,
    kMdbDateTime = 0x08,
    kMdbBinary = 0x09,
    kMdbText = 0x0A,
    kMdbOle = 0x0B,
    kMdbMemo = 0x0C,
    kMdbGuid = 0x0F,
    kMdbNumeric = 0x10,
    kMdbComplex = 0x12,
    kMdbBigInt = 0x13,
    // Access 2019 and later: 42 bytes of ASCII, "DDDDDDDDDDDDDDDDDDD:SSSSSSSSSSSSFFFFFFF:7"
    // and a NUL (days since 0001-01-01, seconds in the day, 100 ns units).
    kMdbExtDateTime = 0x14,
};

struct ColumnInfo {
    std::wstring name;
    int ordinal = 0;  // 1-based position in the table
    int mdbType = 0;  // MdbColumnType
    int adoType = 0;  // ADO DataTypeEnum
    long definedSize =
        0;  // characters for text, bytes for binary and fixed types, 0 for long values
    int precision = 0;
    int scale = 0;
    bool nullable = true;
    bool autoIncrement = false;     // long-integer AutoNumber
    bool autoGenerateGuid = false;  // replication-ID AutoNumber
    bool fixedLength = false;
    bool compressedUnicode = false;
    bool hyperlink = false;
    // A calculated field (Access 2010 and later): each stored value is wrapped
    // (see MdbRowReader); mdbType is the type of the wrapped value.
    bool calculated = false;
    bool required = false;         // the "Required" property
    bool allowZeroLength = false;  // the "AllowZeroLength" property
    bool hasDefault = false;
    std::wstring defaultValue;  // expression text as stored
    std::wstring validationRule;
    std::wstring validationText;
    std::wstring description;
};

struct IndexColumn {
    std::wstring column;
    bool descending = false;
};

struct IndexInfo {
    std::wstring name;
    std::vector<IndexColumn> columns;
    bool primaryKey = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    // The index Access keeps for the foreign side of a relation; its columns
    // are the relation's.
    bool foreignKey = false;
};

enum class TableKind {
    Table,        // a user table
    SystemTable,  // MSys* and other engine tables ("SYSTEM TABLE")
    LinkedTable,  // a table linked from another Access/ISAM database ("LINK")
    LinkedOdbc,   // a table linked through ODBC ("PASS-THROUGH")
};

struct TableInfo {
    std::wstring name;
    TableKind kind = TableKind::Table;
    bool hidden = false;   // hidden in Access
    int32_t flags = 0;     // the catalog's object flags
    int32_t objectId = 0;  // the catalog's object id
    std::wstring description;
    std::wstring validationRule;
    std::wstring validationText;
    uint32_t rowCount = 0;  // as the table definition records it
    std::vector<ColumnInfo> columns;
    std::vector<IndexInfo> indexes;
    // Linked tables only.
    std::wstring linkDatabase;  // path of the source database
    std::wstring linkConnect;   // connect string ("ODBC;DSN=...", "dBASE IV;" ...)
    std::wstring remoteName;    // the table's name in its source

    const ColumnInfo* FindColumn(const std::wstring& columnName) const;
};

// Relation attribute bits, as the relationship table stores them.
enum RelationAttribute : int32_t {
    kRelationUnique = 0x1,
    kRelationDontEnforce = 0x2,
    kRelationInherited = 0x4,
    kRelationUpdateCascade = 0x100,
    kRelationDeleteCascade = 0x1000,
    kRelationDeleteSetNull = 0x2000,
    kRelationLeft = 0x1000000,
    kRelationRight = 0x2000000,
};

struct RelationColumn {
    std::wstring column;         // in the primary table
    std::wstring foreignColumn;  // in the foreign (referencing) table
};

struct RelationInfo {
    std::wstring name;
    std::wstring table;         // the primary (referenced) table
    std::wstring foreignTable;  // the referencing table
    int32_t attributes = 0;     // RelationAttribute bits
    std::vector<RelationColumn> columns;
};

enum class QueryKind {
    Select,
    MakeTable,
    Append,
    Update,
    Delete,
    Crosstab,
    DataDefinition,
    PassThrough,
    Union,
    Unknown,
};

struct QueryParameter {
    std::wstring name;
    int daoType = 0;  // DAO DataTypeEnum as stored
    int adoType = 0;  // the matching ADO DataTypeEnum
    long size = 0;    // 255 for text, else 0
};

struct QueryInfo {
    std::wstring name;
    QueryKind kind = QueryKind::Unknown;
    int32_t flags = 0;
    bool hidden = false;   // hidden in Access (names starting "~" are form sources)
    std::wstring sql;      // rebuilt Access SQL, ending with ";"
    std::wstring connect;  // pass-through queries: the ODBC connect string
    std::vector<QueryParameter> parameters;
};

}  // namespace provider::mdb
