// Reads the rows of one table of a genuine Access file, one pass over its data
// pages, each value as the automation type ADO gives for its column.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/provider/mdb/mdb_schema.h"

namespace provider::mdb {

class MdbSession;

// Values by column type: Byte VT_UI1, Integer VT_I2, Long VT_I4, Single VT_R4,
// Double VT_R8, Currency VT_CY (exact), Date/Time VT_DATE, Yes/No VT_BOOL,
// Decimal VT_DECIMAL, Text and Memo VT_BSTR, Replication ID VT_BSTR
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", Binary and OLE VT_ARRAY|VT_UI1,
// Large Number VT_I8, Extended Date/Time VT_DATE or its exact text (see
// ExtendedDateValue), an attachment or multi-value field its value ID as
// VT_I4, a calculated field in its result type, a type that has no meaning
// here its stored bytes; a NULL is VT_NULL. Values are taken from the stored
// bytes, never from formatted text.
//
// A reader shares the database's libmdb handle (and keeps it open, so it may
// outlive the MdbDatabase); like the database it is for one thread at a time.
class MdbRowReader {
public:
    ~MdbRowReader();
    MdbRowReader(const MdbRowReader&) = delete;
    MdbRowReader& operator=(const MdbRowReader&) = delete;

    const TableInfo& Table() const;

    // Moves to the next row; false after the last one. Throws ComError when a
    // row or one of its long values is damaged.
    bool Next();
    // The current row's values, in column order.
    const std::vector<automation::Variant>& Values() const;
    const automation::Variant& Value(size_t column) const { return Values().at(column); }
    // Rows returned so far.
    uint64_t RowsRead() const;
    // Starts again before the first row.
    void Rewind();
    // Only these columns (indexes into Table().columns) are decoded; the
    // others stay VT_EMPTY. Empty means all.
    void SelectColumns(const std::vector<size_t>& columns);

private:
    friend class MdbDatabase;
    struct Impl;
    explicit MdbRowReader(std::unique_ptr<Impl> impl);
    static std::unique_ptr<MdbRowReader> Create(std::shared_ptr<MdbSession> session,
                                                const TableInfo& table, uint32_t definitionPage);
    std::unique_ptr<Impl> impl_;
};

}  // namespace provider::mdb
