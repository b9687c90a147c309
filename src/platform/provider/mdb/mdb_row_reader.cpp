// Table scan over libmdb's data-page walk; each row is split by libmdb and its
// values are decoded here from the stored bytes.
#include "platform/provider/mdb/mdb_row_reader.h"

#include <cstring>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/mdb/mdb_bytes.h"
#include "platform/provider/mdb/mdb_session.h"
#include "platform/provider/mdb/mdb_value_decoder.h"

namespace provider::mdb {
namespace {

using automation::Variant;

// Row-slot flags. 0x4000 marks a slot that holds no row of its own: a deleted
// row (both bits) or a pointer to a row that grew and moved; the moved row is
// marked 0x8000 and is read where it lies. Skipping 0x4000 slots, as libmdb
// does, reads every row once (in storage order).
constexpr uint16_t kNoRowHere = 0x4000;
constexpr uint8_t kDataPage = 0x01;
constexpr size_t kCalculatedLengthAt = 16, kCalculatedValueAt = 20;

template <typename T>
T Load(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);  // the file is little-endian, like the host
    return v;
}

}  // namespace

struct MdbRowReader::Impl {
    std::shared_ptr<MdbSession> session;
    TableInfo table;
    MdbCatalogEntry entry{};
    MdbTableDef* def = nullptr;
    std::vector<MdbField> fields;
    std::vector<Variant> values;
    std::vector<bool> wanted;
    std::vector<uint8_t> longValue;
    bool started = false;
    bool finished = false;
    uint64_t rowsRead = 0;
    uint64_t pagesVisited = 0;

    ~Impl()
    {
        if (def)
            mdb_free_tabledef(def);
    }

    [[noreturn]] void Damaged(const std::wstring& what) const
    {
        session->ThrowDamaged(L"table '" + table.name + L"': " + what);
    }

    // The next page of the table's page map. Every page the map names is one
    // of the table's data pages; libmdb would skip (or scan the file for) any
    // other, and its rows would be lost without a word.
    bool NextDataPage()
    {
        if (++pagesVisited > session->Header().PageCount() + 1)
            Damaged(L"its page map loops");
        MdbHandle* mdb = session->Handle();
        const gint32 next = mdb_map_find_next(mdb, def->usage_map,
                                              static_cast<unsigned>(def->map_sz), def->cur_phys_pg);
        if (next == 0)
            return false;
        if (next < 0 || static_cast<uint64_t>(next) >= session->Header().PageCount() ||
            mdb_read_pg(mdb, static_cast<unsigned long>(next)) != mdb->fmt->pg_size)
            Damaged(L"its page map names a page beyond the file");
        def->cur_phys_pg = static_cast<guint32>(next);
        if (mdb->pg_buf[0] != kDataPage || Le32(mdb->pg_buf + 4) != entry.table_pg)
            Damaged(L"page " + std::to_wstring(next) + L" of its page map holds no rows of it");
        return true;
    }

    bool Next();
    void Decode(size_t column, const MdbField& field);
};

bool MdbRowReader::Impl::Next()
{
    if (finished)
        return false;
    MdbHandle* mdb = session->Handle();
    const size_t rco = mdb->fmt->row_count_offset;
    for (;;) {
        if (!started) {
            started = true;
            mdb_rewind_table(def);
            def->cur_pg_num = 1;
            def->cur_row = 0;
            if (!NextDataPage())
                break;
        } else if (mdb->cur_pg != def->cur_phys_pg) {
            // Another reader of the same handle moved libmdb's page buffer.
            if (mdb_read_pg(mdb, def->cur_phys_pg) != mdb->fmt->pg_size)
                Damaged(L"a data page cannot be read");
        }
        const uint8_t* page = mdb->pg_buf;
        const unsigned rows = page[rco] | page[rco + 1] << 8;
        if (def->cur_row >= rows) {
            def->cur_row = 0;
            if (!NextDataPage())
                break;
            continue;
        }
        const unsigned row = def->cur_row++;
        size_t start = 0, size = 0;
        uint16_t flags = 0;
        if (!session->FindRow(page, row, start, size, &flags))
            Damaged(L"row " + std::to_wstring(row) + L" of page " +
                    std::to_wstring(def->cur_phys_pg) + L" is out of bounds");
        if (flags & kNoRowHere)
            continue;
        const int n = mdb_crack_row(def, static_cast<int>(start), size, fields.data());
        if (n < 0)
            Damaged(L"row " + std::to_wstring(row) + L" of page " +
                    std::to_wstring(def->cur_phys_pg) + L" cannot be split into columns");
        for (size_t i = 0; i < fields.size(); ++i) {
            const int c = fields[i].colnum;
            if (c < 0 || static_cast<size_t>(c) >= values.size())
                Damaged(L"a row names a column that does not exist");
            if (wanted.empty() || wanted[c])
                Decode(c, fields[i]);
        }
        ++rowsRead;
        return true;
    }
    // The row count the table definition records is kept loosely by Access
    // (it lags behind inserts and deletes): the rows found are the table's.
    finished = true;
    return false;
}

void MdbRowReader::Impl::Decode(size_t column, const MdbField& field)
{
    const ColumnInfo& col = table.columns[column];
    Variant& v = values[column];
    if (col.mdbType == kMdbBoolean && !col.calculated) {  // in the null mask: set means Yes
        v = Variant(!field.is_null);
        return;
    }
    if (field.is_null) {
        v = Variant::Null();
        return;
    }
    const auto* p = static_cast<const uint8_t*>(field.value);
    size_t n = field.siz < 0 ? 0 : static_cast<size_t>(field.siz);
    auto need = [&](size_t size) {
        if (n < size)
            Damaged(L"a value of column '" + col.name + L"' is too short");
    };
    const bool isLong = col.mdbType == kMdbMemo || col.mdbType == kMdbOle;
    if (isLong) {
        if (!session->ReadLongValue(p, n, longValue))
            Damaged(L"a long value of column '" + col.name + L"' cannot be read");
        p = longValue.data();
        n = longValue.size();
    }
    if (col.calculated) {
        // A calculated value is wrapped: its length at byte 16, itself from byte 20.
        need(kCalculatedValueAt);
        const size_t length = Le32(p + kCalculatedLengthAt);
        if (length > n - kCalculatedValueAt)
            Damaged(L"a calculated value of column '" + col.name + L"' is too short");
        p += kCalculatedValueAt;
        n = length;
        if (length == 0) {  // the expression gave Null
            v = Variant::Null();
            return;
        }
        if (col.mdbType == kMdbBoolean) {
            need(1);
            v = Variant(p[0] != 0);
            return;
        }
        if (col.mdbType == kMdbNumeric) {
            // Kept as an automation decimal, with its own scale.
            automation::Decimal d;
            need(16);
            if (!DecimalFromAutomationBytes(p, d))
                Damaged(L"a calculated decimal of column '" + col.name + L"' is not a number");
            v = Variant(d);
            return;
        }
    }
    switch (col.mdbType) {
        case kMdbByte:
            need(1);
            v = Variant(Load<uint8_t>(p));
            break;
        case kMdbInteger:
            need(2);
            v = Variant(Load<int16_t>(p));
            break;
        case kMdbLong:
        case kMdbComplex:
            need(4);
            v = Variant(Load<int32_t>(p));
            break;
        case kMdbBigInt:
            need(8);
            v = Variant(Load<int64_t>(p));
            break;
        case kMdbMoney:
            need(8);
            v = Variant(automation::Currency{Load<int64_t>(p)});
            break;
        case kMdbSingle:
            need(4);
            v = Variant(Load<float>(p));
            break;
        case kMdbDouble:
            need(8);
            v = Variant(Load<double>(p));
            break;
        case kMdbDateTime:
            need(8);
            v = Variant::FromDate(Load<double>(p));
            break;
        case kMdbExtDateTime:
            if (!ExtendedDateValue(p, n, v))
                Damaged(L"a value of column '" + col.name + L"' is not a date");
            break;
        case kMdbGuid:
            need(16);
            v = Variant(GuidText(p));
            break;
        case kMdbNumeric: {
            need(17);
            automation::Decimal d;
            if (!DecimalFromBytes(p, col.scale, d))
                Damaged(L"a decimal value of column '" + col.name + L"' exceeds 28 digits");
            v = Variant(d);
            break;
        }
        case kMdbText:
        case kMdbMemo:
            v = Variant(session->DecodeText(p, n));
            break;
        default:  // Binary, OLE and types that have no meaning here: the stored bytes
            v = Variant(automation::SafeArray(p, n));
            break;
    }
}

MdbRowReader::MdbRowReader(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MdbRowReader::~MdbRowReader() = default;

std::unique_ptr<MdbRowReader> MdbRowReader::Create(std::shared_ptr<MdbSession> session,
                                                   const TableInfo& table, uint32_t definitionPage)
{
    auto impl = std::make_unique<Impl>();
    impl->session = std::move(session);
    impl->table = table;
    // A catalog entry of our own: the table scan needs no properties, and the
    // object table is read this way before libmdb's catalog exists.
    impl->entry.mdb = impl->session->Handle();
    impl->entry.object_type = MDB_TABLE;
    impl->entry.table_pg = definitionPage;
    g_strlcpy(impl->entry.object_name, automation::ToUtf8(table.name).c_str(),
              sizeof impl->entry.object_name);
    impl->def = impl->session->ReadTableDefinition(&impl->entry);
    if (!impl->def || !mdb_read_columns(impl->def) || impl->def->num_cols != table.columns.size())
        impl->Damaged(L"its definition cannot be read");
    impl->fields.resize(impl->def->num_cols);
    impl->values.resize(impl->def->num_cols);
    return std::unique_ptr<MdbRowReader>(new MdbRowReader(std::move(impl)));
}

const TableInfo& MdbRowReader::Table() const
{
    return impl_->table;
}
bool MdbRowReader::Next()
{
    return impl_->Next();
}
const std::vector<automation::Variant>& MdbRowReader::Values() const
{
    return impl_->values;
}
uint64_t MdbRowReader::RowsRead() const
{
    return impl_->rowsRead;
}

void MdbRowReader::Rewind()
{
    impl_->started = impl_->finished = false;
    impl_->rowsRead = impl_->pagesVisited = 0;
}

void MdbRowReader::SelectColumns(const std::vector<size_t>& columns)
{
    impl_->wanted.clear();
    if (columns.empty())
        return;
    impl_->wanted.assign(impl_->values.size(), false);
    for (size_t c : columns)
        impl_->wanted.at(c) = true;
    for (size_t c = 0; c < impl_->values.size(); ++c)
        if (!impl_->wanted[c])
            impl_->values[c] = Variant();
}

}  // namespace provider::mdb
