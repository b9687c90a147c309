// Opening a genuine Access file and reading its catalog: the object table,
// each table's definition (through libmdb plus the column flags it does not
// expose), the relationship table and the query definitions.
#include "platform/provider/mdb/mdb_database.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/mdb/mdb_bytes.h"
#include "platform/provider/mdb/mdb_query_text.h"
#include "platform/provider/mdb/mdb_session.h"

namespace provider::mdb {
namespace {

using automation::Variant;

// Object types and flags of the object table.
constexpr int kObjectTable = 1, kObjectOdbcLink = 4, kObjectQuery = 5, kObjectLink = 6;
constexpr uint32_t kSystemObject = 0x80000000u, kAltSystemObject = 0x2, kHiddenObject = 0x8;
constexpr uint32_t kObjectTablePage = 2;

// Column flag bits of a table definition.
constexpr uint8_t kColumnFixed = 0x01, kColumnNullable = 0x02, kColumnHyperlink = 0x80;
constexpr uint8_t kColumnCompressedUnicode = 0x01;  // extended flags, Jet 4 and later
constexpr uint8_t kColumnCalculated = 0xC0;
constexpr int kCalculatedWrapping = 23;  // bytes around each calculated value

constexpr unsigned kMaxColumns = 255;  // Access's own limit
constexpr unsigned kMaxIndexes = 255;

std::wstring Utf8(const char* s)
{
    return s ? automation::FromUtf8(s) : std::wstring();
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

std::wstring Text(const Variant& v)
{
    return v.vt() == automation::VT_BSTR ? v.bstrVal() : L"";
}

int64_t Integer(const Variant& v)
{
    switch (v.vt()) {
        case automation::VT_UI1:
            return v.bVal();
        case automation::VT_I2:
            return v.iVal();
        case automation::VT_I4:
            return v.lVal();
        default:
            return 0;
    }
}

}  // namespace

// The rows of a table as values, with column lookup by name.
struct TableRows {
    std::vector<std::wstring> names;
    std::vector<std::vector<automation::Variant>> rows;
    int Column(const wchar_t* name) const
    {
        for (size_t i = 0; i < names.size(); ++i)
            if (SameName(names[i], name))
                return static_cast<int>(i);
        return -1;
    }
    const automation::Variant& At(size_t row, int column) const
    {
        static const automation::Variant kNull = automation::Variant::Null();
        return column < 0 ? kNull : rows[row][column];
    }
};

namespace {

TableRows ReadRows(MdbRowReader& reader)
{
    TableRows t;
    for (const auto& c : reader.Table().columns)
        t.names.push_back(c.name);
    while (reader.Next())
        t.rows.push_back(reader.Values());
    return t;
}

// How ADO describes each column type of the file: type code, defined size
// (bytes for the fixed types; text and binary take theirs from the column),
// precision and scale.
struct AdoTypeRow {
    int mdbType, adoType, fixedAdoType;
    long definedSize;
    int precision, scale;
};
constexpr AdoTypeRow kAdoTypes[] = {
    {kMdbBoolean, 11, 11, 2, 0, 0},   {kMdbByte, 17, 17, 1, 3, 0},
    {kMdbInteger, 2, 2, 2, 5, 0},     {kMdbLong, 3, 3, 4, 10, 0},
    {kMdbMoney, 6, 6, 8, 19, 4},      {kMdbSingle, 4, 4, 4, 7, 0},
    {kMdbDouble, 5, 5, 8, 15, 0},     {kMdbDateTime, 7, 7, 8, 0, 0},
    {kMdbGuid, 72, 72, 16, 0, 0},     {kMdbNumeric, 131, 131, 16, 0, 0},
    {kMdbText, 202, 130, 0, 0, 0},    {kMdbBinary, 204, 128, 0, 0, 0},
    {kMdbMemo, 203, 203, 0, 0, 0},    {kMdbOle, 205, 205, 0, 0, 0},
    {kMdbBigInt, 20, 20, 8, 19, 0},   {kMdbComplex, 3, 3, 4, 10, 0},
    {kMdbExtDateTime, 7, 7, 8, 0, 0},
};

void SetAdoType(ColumnInfo& c, const ::MdbColumn& col, FileFormat format)
{
    c.adoType = 205;  // a type this reader does not know: its bytes
    for (const AdoTypeRow& row : kAdoTypes) {
        if (row.mdbType != c.mdbType)
            continue;
        c.adoType = c.fixedLength ? row.fixedAdoType : row.adoType;
        c.definedSize = row.definedSize;
        c.precision = row.precision;
        c.scale = row.scale;
    }
    // Jet 4 and ACE keep text as UTF-16: the column size is in bytes.
    if (c.mdbType == kMdbText)
        c.definedSize = format == FileFormat::Jet3 ? col.col_size : col.col_size / 2;
    else if (c.mdbType == kMdbBinary)
        c.definedSize = col.col_size;
}

bool PropertyIsTrue(const char* value)
{
    if (!value)
        return false;
    const std::string v = value;
    return v == "yes" || v == "1" || v == "true" || v == "TRUE" || v == "-1";
}

}  // namespace

MdbDatabase::~MdbDatabase() = default;

const MdbFileHeader& MdbDatabase::Header() const
{
    return session_->Header();
}

std::unique_ptr<MdbDatabase> MdbDatabase::Open(const std::filesystem::path& path)
{
    const MdbFileHeader header = MdbFileHeader::Read(path);
    std::unique_ptr<MdbDatabase> db(new MdbDatabase);
    db->session_ = std::make_shared<MdbSession>(path, header);
    db->ReadCatalog();
    return db;
}

namespace {

// Column facts that libmdb reads wrongly or not at all, by column number.
struct ColumnFlags {
    uint8_t flags = 0;
    uint8_t extended = 0;
    // Decimal columns: libmdb 1.0 swaps these two bytes.
    uint8_t precision = 0;
    uint8_t scale = 0;
};

constexpr size_t kDecimalPrecisionOffset = 11, kDecimalScaleOffset = 12;

std::vector<uint8_t> ReadDefinitionBytes(const MdbSession& session, const MdbTableDef& def)
{
    std::vector<uint8_t> bytes;
    if (!session.ReadDefinition(static_cast<uint32_t>(def.entry->table_pg), bytes))
        session.ThrowDamaged(L"the definition of table '" + Utf8(def.name) + L"' cannot be read");
    return bytes;
}

std::map<int, ColumnFlags> ReadColumnFlags(const MdbSession& session, const MdbTableDef& def,
                                           const std::vector<uint8_t>& bytes)
{
    std::map<int, ColumnFlags> out;
    const MdbFormatConstants& fmt = *session.Handle()->fmt;
    const size_t first = fmt.tab_cols_start_offset + def.num_real_idxs * fmt.tab_ridx_entry_size;
    const bool jet3 = session.Header().Format() == FileFormat::Jet3;
    for (unsigned i = 0; i < def.num_cols; ++i) {
        const size_t at = first + i * fmt.tab_col_entry_size;
        if (at + fmt.tab_col_entry_size > bytes.size())
            break;
        const int number = bytes[at + fmt.col_num_offset] | bytes[at + fmt.col_num_offset + 1] << 8;
        ColumnFlags f;
        f.flags = bytes[at + fmt.col_flags_offset];
        f.extended = jet3 ? 0 : bytes[at + fmt.col_flags_offset + 1];
        f.precision = bytes[at + kDecimalPrecisionOffset];
        f.scale = bytes[at + kDecimalScaleOffset];
        out[number] = f;
    }
    return out;
}

// The index sections of a table definition, after the column entries and the column names:
// one entry per real index (the columns, their order and the flags), then one per logical
// index (the names Access shows: its kind and the number of the real index it uses), then the
// logical indexes' names. The number of the real index is read from the logical entry itself:
// once indexes were deleted and made again, the logical numbers have gaps and no longer equal
// the real ones.
struct IndexLayout {
    size_t realSize, realLead, realFlags;  // a real index entry: its size, where its columns
                                           // and its flags begin
    size_t logicalSize, logicalLead;       // a logical index entry: its size and lead
    size_t nameLength;                     // bytes of each name's length
};
constexpr IndexLayout kJet3Indexes{39, 0, 38, 20, 0, 1};
constexpr IndexLayout kJet4Indexes{52, 4, 46, 28, 4, 2};
constexpr size_t kIndexColumns = 10, kIndexColumnSize = 3, kNoColumn = 0xFFFF;
constexpr size_t kLogicalRealNumber = 4, kLogicalKind = 19;
constexpr uint8_t kIndexAscending = 0x01;
constexpr int kPrimaryKeyIndex = 1, kForeignKeyIndex = 2;

std::vector<IndexInfo> ReadIndexes(const MdbSession& session, const MdbTableDef& def,
                                   const std::vector<uint8_t>& bytes,
                                   const std::vector<ColumnInfo>& columns,
                                   const std::map<int, size_t>& columnByNumber)
{
    const MdbFormatConstants& fmt = *session.Handle()->fmt;
    const bool jet3 = session.Header().Format() == FileFormat::Jet3;
    const IndexLayout& layout = jet3 ? kJet3Indexes : kJet4Indexes;
    auto damaged = [&] {
        session.ThrowDamaged(L"the indexes of table '" + Utf8(def.name) + L"' cannot be read");
    };
    auto length = [&](size_t at) -> size_t {
        if (at + layout.nameLength > bytes.size())
            damaged();
        return jet3 ? bytes[at] : Le16(bytes.data() + at);
    };
    size_t pos = fmt.tab_cols_start_offset + size_t{def.num_real_idxs} * fmt.tab_ridx_entry_size +
                 size_t{def.num_cols} * fmt.tab_col_entry_size;
    for (unsigned i = 0; i < def.num_cols; ++i)
        pos += layout.nameLength + length(pos);
    const size_t real = pos;
    const size_t logical = real + size_t{def.num_real_idxs} * layout.realSize;
    pos = logical + size_t{def.num_idxs} * layout.logicalSize;
    if (pos > bytes.size())
        damaged();

    std::vector<IndexInfo> out;
    for (unsigned i = 0; i < def.num_idxs; ++i) {
        const uint8_t* entry = bytes.data() + logical + i * layout.logicalSize + layout.logicalLead;
        const size_t nameSize = length(pos);
        if (pos + layout.nameLength + nameSize > bytes.size())
            damaged();
        IndexInfo x;
        x.name = session.DecodeText(bytes.data() + pos + layout.nameLength, nameSize);
        pos += layout.nameLength + nameSize;
        const int kind = entry[kLogicalKind];
        x.primaryKey = kind == kPrimaryKeyIndex;
        x.foreignKey = kind == kForeignKeyIndex;
        const uint32_t number = Le32(entry + kLogicalRealNumber);
        // A relation's index takes its columns from the relation (see ReadRelations).
        if (!x.foreignKey && number < def.num_real_idxs) {
            const uint8_t* entryStart = bytes.data() + real + number * layout.realSize;
            const uint8_t* r = entryStart + layout.realLead;
            for (size_t k = 0; k < kIndexColumns; ++k) {
                const uint8_t* c = r + k * kIndexColumnSize;
                const auto column = columnByNumber.find(Le16(c));
                if (Le16(c) == kNoColumn || column == columnByNumber.end())
                    continue;
                x.columns.push_back({columns[column->second].name, c[2] != kIndexAscending});
            }
            const uint8_t flags = entryStart[layout.realFlags];
            x.unique = (flags & MDB_IDX_UNIQUE) != 0;
            x.ignoreNulls = (flags & MDB_IDX_IGNORENULLS) != 0;
            x.required = (flags & MDB_IDX_REQUIRED) != 0;
        }
        out.push_back(std::move(x));
    }
    return out;
}

TableInfo DescribeTable(const MdbSession& session, MdbCatalogEntry* entry)
{
    MdbTableDef* def = session.ReadTableDefinition(entry);
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(def, mdb_free_tabledef);
    // libmdb sizes its arrays from these counts; insane ones are damage.
    if (def->num_cols == 0 || def->num_cols > kMaxColumns || def->num_idxs > kMaxIndexes ||
        def->num_real_idxs > def->num_idxs)
        session.ThrowDamaged(L"the definition of table '" + Utf8(entry->object_name) +
                             L"' has impossible counts");
    if (!mdb_read_columns(def) || def->columns->len != def->num_cols)
        session.ThrowDamaged(L"the columns of table '" + Utf8(entry->object_name) +
                             L"' cannot be read");
    const std::vector<uint8_t> bytes = ReadDefinitionBytes(session, *def);
    const auto flags = ReadColumnFlags(session, *def, bytes);
    std::map<int, size_t> columnByNumber;

    TableInfo t;
    t.name = Utf8(entry->object_name);
    t.rowCount = def->num_rows;
    t.description = Utf8(mdb_table_get_prop(def, "Description"));
    t.validationRule = Utf8(mdb_table_get_prop(def, "ValidationRule"));
    t.validationText = Utf8(mdb_table_get_prop(def, "ValidationText"));
    for (unsigned i = 0; i < def->num_cols; ++i) {
        const auto& col = *static_cast<::MdbColumn*>(g_ptr_array_index(def->columns, i));
        ColumnInfo c;
        c.name = Utf8(col.name);
        c.ordinal = static_cast<int>(i) + 1;
        c.mdbType = col.col_type;
        columnByNumber[col.col_num] = i;
        const auto f = flags.find(col.col_num);
        const ColumnFlags cf = f == flags.end() ? ColumnFlags{} : f->second;
        c.fixedLength = (cf.flags & kColumnFixed) != 0 || col.is_fixed;
        c.hyperlink = col.col_type == kMdbMemo && (cf.flags & kColumnHyperlink) != 0;
        c.compressedUnicode = (col.col_type == kMdbText || col.col_type == kMdbMemo) &&
                              (cf.extended & kColumnCompressedUnicode) != 0;
        c.calculated = (cf.extended & kColumnCalculated) != 0;
        if (c.calculated) {
            // The descriptor's type is not always the result's (a money
            // result is described as a double): the property says.
            const char* result = mdb_col_get_prop(&col, "ResultType");
            if (result && std::atoi(result) > 0)
                c.mdbType = std::atoi(result);
        }
        c.autoIncrement = col.is_long_auto != 0;
        c.autoGenerateGuid = col.is_uuid_auto != 0;
        SetAdoType(c, col, session.Header().Format());
        if (c.calculated && c.mdbType == kMdbText)
            c.definedSize = (col.col_size - kCalculatedWrapping) / 2;
        if (c.calculated && c.mdbType == kMdbNumeric) {
            // Each calculated decimal carries its own scale.
            c.precision = 28;
            c.scale = 0;
        } else if (c.mdbType == kMdbNumeric) {
            c.precision = cf.precision;
            c.scale = std::min<int>(cf.scale, 28);
        }
        if (const char* d = mdb_col_get_prop(&col, "DefaultValue")) {
            c.hasDefault = true;
            c.defaultValue = Utf8(d);
        }
        c.validationRule = Utf8(mdb_col_get_prop(&col, "ValidationRule"));
        c.validationText = Utf8(mdb_col_get_prop(&col, "ValidationText"));
        c.description = Utf8(mdb_col_get_prop(&col, "Description"));
        c.required = PropertyIsTrue(mdb_col_get_prop(&col, "Required"));
        c.allowZeroLength = PropertyIsTrue(mdb_col_get_prop(&col, "AllowZeroLength"));
        // Jet 3 files keep the nullable flag on columns that the "Required"
        // property makes NOT NULL; the engine enforces the property.
        c.nullable = (f == flags.end() || (cf.flags & kColumnNullable) != 0) && !c.required &&
                     c.mdbType != kMdbBoolean;  // a Yes/No value lives in the null mask
        t.columns.push_back(std::move(c));
    }
    t.indexes = ReadIndexes(session, *def, bytes, t.columns, columnByNumber);
    return t;
}

// The property blob of a catalog object: a "KKD\0" or "MR2\0" tag, then
// records (length, type, body): one list of property names (type 0x80), then
// blocks of values (types 0 and 1) whose entries name a property by index.
// libmdb walks the records trusting every length and index it finds.
bool PropertyBlobIsSound(const std::vector<uint8_t>& b)
{
    if (b.size() < 4 ||
        (std::memcmp(b.data(), "KKD", 3) != 0 && std::memcmp(b.data(), "MR2", 3) != 0))
        return false;
    size_t names = 0;
    bool haveNames = false;
    for (size_t pos = 4; pos < b.size();) {
        if (pos + 6 > b.size())
            return false;
        const size_t length = Le32(b.data() + pos);
        const uint16_t type = Le16(b.data() + pos + 4);
        if (length < 6 || length > b.size() - pos)
            return false;
        const uint8_t* body = b.data() + pos + 6;
        const size_t size = length - 6;
        if (type == 0x80) {
            names = 0;
            for (size_t p = 0; p < size; ++names) {
                if (p + 2 > size || Le16(body + p) > size - p - 2)
                    return false;
                p += 2 + Le16(body + p);
            }
            haveNames = true;
        } else if (type == 0x00 || type == 0x01) {
            if (!haveNames || size < 6 || Le16(body + 4) > size - 6)
                return false;
            for (size_t p = 6 + Le16(body + 4); p < size;) {
                if (p + 8 > size)
                    return false;
                const size_t entry = Le16(body + p);
                const size_t valueSize = Le16(body + p + 6);
                if (entry < 8 || entry > size - p || Le16(body + p + 4) >= names ||
                    valueSize > entry - 8)
                    return false;
                p += entry;
            }
        }
        pos += length;
    }
    return true;
}

MdbCatalogEntry* FindEntry(MdbHandle* mdb, uint32_t page)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && e->table_pg == page)
            return e;
    }
    return nullptr;
}

}  // namespace

void MdbDatabase::ReadCatalog()
{
    MdbSession& s = *session_;
    MdbHandle* mdb = s.Handle();

    // The object table is read and checked here before libmdb builds its
    // catalog from it, as libmdb walks it without checking what it finds.
    if (s.Header().DatabaseKey() == 0) {
        if (mdb_read_pg(mdb, kObjectTablePage) != mdb->fmt->pg_size || mdb->pg_buf[0] != 0x02)
            s.ThrowDamaged(L"the catalog page is missing");
    }
    MdbCatalogEntry objectsEntry{};
    objectsEntry.mdb = mdb;
    objectsEntry.object_type = MDB_TABLE;
    objectsEntry.table_pg = kObjectTablePage;
    g_strlcpy(objectsEntry.object_name, "MSysObjects", sizeof objectsEntry.object_name);
    const TableInfo objectsInfo = DescribeTable(s, &objectsEntry);
    const TableRows objects =
        ReadRows(*MdbRowReader::Create(session_, objectsInfo, kObjectTablePage));
    const int cName = objects.Column(L"Name"), cProps = objects.Column(L"LvProp");
    if (objects.Column(L"Id") < 0 || cName < 0 || objects.Column(L"Type") < 0)
        s.ThrowDamaged(L"the object table lacks its key columns");
    for (size_t r = 0; r < objects.rows.size(); ++r) {
        const Variant& props = objects.At(r, cProps);
        if (props.IsByteArray() && !PropertyBlobIsSound(props.parray().bytes()))
            s.ThrowDamaged(L"the properties of object '" + Text(objects.At(r, cName)) +
                           L"' are damaged");
    }

    if (!mdb_read_catalog(mdb, MDB_ANY) || mdb->num_catalog == 0)
        s.ThrowDamaged(L"the catalog cannot be read (is the file encrypted?)");

    const std::map<int32_t, size_t> queryIndex = AddObjects(objects, objectsInfo);
    ReadRelations();
    // A relation's index in its referenced table has no columns of its own
    // (the relation's are the referencing table's); it is left out.
    for (auto& t : tables_)
        std::erase_if(t.indexes, [](const IndexInfo& x) { return x.columns.empty(); });
    ReadQueries(queryIndex);
}

std::map<int32_t, size_t> MdbDatabase::AddObjects(const TableRows& objects,
                                                  const TableInfo& objectsInfo)
{
    MdbSession& s = *session_;
    const int cId = objects.Column(L"Id"), cName = objects.Column(L"Name"),
              cType = objects.Column(L"Type"), cFlags = objects.Column(L"Flags"),
              cDatabase = objects.Column(L"Database"), cConnect = objects.Column(L"Connect"),
              cForeign = objects.Column(L"ForeignName");
    std::map<int32_t, size_t> queryIndex;  // object id -> index in queries_
    for (size_t r = 0; r < objects.rows.size(); ++r) {
        const auto id = static_cast<int32_t>(Integer(objects.At(r, cId)));
        const int type = static_cast<int>(Integer(objects.At(r, cType)));
        const auto flags = static_cast<uint32_t>(Integer(objects.At(r, cFlags)));
        const std::wstring name = Text(objects.At(r, cName));
        if (type == kObjectTable) {
            const uint32_t page = static_cast<uint32_t>(id) & 0x00FFFFFF;
            MdbCatalogEntry* entry = FindEntry(s.Handle(), page);
            if (!entry)
                s.ThrowDamaged(L"table '" + name + L"' has no definition");
            TableInfo t = page == kObjectTablePage ? objectsInfo : DescribeTable(s, entry);
            t.name = name;
            t.flags = static_cast<int32_t>(flags);
            t.objectId = id;
            t.hidden = (flags & kHiddenObject) != 0;
            const bool msys = name.size() >= 4 && SameName(name.substr(0, 4), L"MSys");
            t.kind = msys || (flags & (kSystemObject | kAltSystemObject)) ? TableKind::SystemTable
                                                                          : TableKind::Table;
            tables_.push_back(std::move(t));
            definitionPages_.push_back(page);
        } else if (type == kObjectLink || type == kObjectOdbcLink) {
            TableInfo t;
            t.name = name;
            t.kind = type == kObjectLink ? TableKind::LinkedTable : TableKind::LinkedOdbc;
            t.flags = static_cast<int32_t>(flags);
            t.hidden = (flags & kHiddenObject) != 0;
            t.linkDatabase = Text(objects.At(r, cDatabase));
            t.linkConnect = Text(objects.At(r, cConnect));
            t.remoteName = Text(objects.At(r, cForeign));
            tables_.push_back(std::move(t));
            definitionPages_.push_back(0);
        } else if (type == kObjectQuery) {
            QueryInfo q;
            q.name = name;
            q.flags = static_cast<int32_t>(flags);
            q.hidden = (flags & kHiddenObject) != 0 || (!name.empty() && name[0] == L'~');
            queryIndex[id] = queries_.size();
            queries_.push_back(std::move(q));
        }
    }
    return queryIndex;
}

void MdbDatabase::ReadRelations()
{
    if (const TableInfo* rel = FindTable(L"MSysRelationships")) {
        const TableRows rows = ReadRows(*OpenTable(rel->name));
        const int cRel = rows.Column(L"szRelationship"), cGrbit = rows.Column(L"grbit"),
                  cIcol = rows.Column(L"icolumn"), cObj = rows.Column(L"szObject"),
                  cCol = rows.Column(L"szColumn"), cRefObj = rows.Column(L"szReferencedObject"),
                  cRefCol = rows.Column(L"szReferencedColumn");
        std::vector<std::pair<int64_t, size_t>> order;  // column index, row
        for (size_t r = 0; r < rows.rows.size(); ++r)
            order.push_back({Integer(rows.At(r, cIcol)), r});
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [icol, r] : order) {
            const std::wstring name = Text(rows.At(r, cRel));
            auto it = std::find_if(relations_.begin(), relations_.end(),
                                   [&](const RelationInfo& x) { return x.name == name; });
            if (it == relations_.end()) {
                RelationInfo x;
                x.name = name;
                x.table = Text(rows.At(r, cRefObj));
                x.foreignTable = Text(rows.At(r, cObj));
                x.attributes = static_cast<int32_t>(Integer(rows.At(r, cGrbit)));
                relations_.push_back(x);
                it = relations_.end() - 1;
            }
            it->columns.push_back({Text(rows.At(r, cRefCol)), Text(rows.At(r, cCol))});
        }
        // Relation indexes carry no columns of their own in the file.
        for (auto& t : tables_)
            for (auto& x : t.indexes)
                for (const auto& rel : relations_)
                    if (x.foreignKey && x.columns.empty() && SameName(rel.name, x.name) &&
                        SameName(rel.foreignTable, t.name))
                        for (const auto& c : rel.columns)
                            x.columns.push_back({c.foreignColumn, false});
    }
}

void MdbDatabase::ReadQueries(const std::map<int32_t, size_t>& queryIndex)
{
    if (const TableInfo* qt = FindTable(L"MSysQueries")) {
        const TableRows rows = ReadRows(*OpenTable(qt->name));
        const int cObj = rows.Column(L"ObjectId"), cAttr = rows.Column(L"Attribute"),
                  cName1 = rows.Column(L"Name1"), cName2 = rows.Column(L"Name2"),
                  cExpr = rows.Column(L"Expression"), cFlag = rows.Column(L"Flag");
        std::map<size_t, std::vector<QueryRow>> defs;
        for (size_t r = 0; r < rows.rows.size(); ++r) {
            const auto q = queryIndex.find(static_cast<int32_t>(Integer(rows.At(r, cObj))));
            if (q == queryIndex.end())
                continue;
            QueryRow row;
            row.attribute = static_cast<int>(Integer(rows.At(r, cAttr)));
            row.name1 = Text(rows.At(r, cName1));
            row.name2 = Text(rows.At(r, cName2));
            row.expression = Text(rows.At(r, cExpr));
            row.flag = static_cast<int>(Integer(rows.At(r, cFlag)));
            defs[q->second].push_back(std::move(row));
        }
        for (auto& [index, def] : defs) {
            QueryTextBuilder builder(std::move(def));
            QueryInfo& q = queries_[index];
            q.kind = builder.Kind();
            q.sql = builder.Sql();
            q.connect = builder.Connect();
            q.parameters = builder.Parameters();
        }
    }
}

const TableInfo* MdbDatabase::FindTable(const std::wstring& name) const
{
    for (const auto& t : tables_)
        if (SameName(t.name, name))
            return &t;
    return nullptr;
}

const QueryInfo* MdbDatabase::FindQuery(const std::wstring& name) const
{
    for (const auto& q : queries_)
        if (SameName(q.name, name))
            return &q;
    return nullptr;
}

std::unique_ptr<MdbRowReader> MdbDatabase::OpenTable(const std::wstring& name) const
{
    for (size_t i = 0; i < tables_.size(); ++i) {
        if (!SameName(tables_[i].name, name))
            continue;
        if (definitionPages_[i] == 0)
            throw automation::ComError(automation::E_FAIL,
                                       L"Table '" + name +
                                           L"' is linked from another database; its rows are "
                                           L"not stored in '" +
                                           session_->PathText() + L"'.");
        return MdbRowReader::Create(session_, tables_[i], definitionPages_[i]);
    }
    throw automation::ComError(
        automation::E_FAIL,
        L"The table '" + name + L"' does not exist in '" + session_->PathText() + L"'.");
}

const ColumnInfo* TableInfo::FindColumn(const std::wstring& columnName) const
{
    for (const auto& c : columns)
        if (SameName(c.name, columnName))
            return &c;
    return nullptr;
}

}  // namespace provider::mdb
