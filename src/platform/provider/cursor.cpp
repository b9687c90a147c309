// Static cursors over SQLite statements.
#include "platform/provider/cursor.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/sqlite_util.h"
#include "platform/provider/value_codec.h"

namespace provider {

using automation::Variant;

Variant ReadTyped(sqlite3_value* value, AccessType type)
{
    int kind = sqlite3_value_type(value);
    if (kind == SQLITE_NULL)
        return Variant::Null();
    bool number = kind == SQLITE_INTEGER || kind == SQLITE_FLOAT;
    switch (type) {
        case AccessType::Double:
        case AccessType::Single:
            if (number)
                return Variant(sqlite3_value_double(value));
            break;
        case AccessType::DateTime:
            if (number)
                return Variant::FromDate(OleDateFromMonotonic(sqlite3_value_double(value)));
            break;
        case AccessType::YesNo:
            if (number)
                return Variant(sqlite3_value_double(value) != 0);
            break;
        case AccessType::Byte:
        case AccessType::Short:
        case AccessType::Long:
            if (kind == SQLITE_INTEGER) {
                int64_t v = sqlite3_value_int64(value);
                if (type == AccessType::Short && v >= INT16_MIN && v <= INT16_MAX)
                    return Variant(static_cast<int16_t>(v));
                if (type == AccessType::Byte && v >= 0 && v <= 255)
                    return Variant(static_cast<uint8_t>(v));
                if (v >= INT32_MIN && v <= INT32_MAX)
                    return Variant(static_cast<int32_t>(v));
            }
            break;
        case AccessType::Currency: {
            automation::Decimal d;
            std::string text = kind == SQLITE_FLOAT
                                   ? DoubleText(sqlite3_value_double(value))
                                   : reinterpret_cast<const char*>(sqlite3_value_text(value));
            if (ParseDecimal(text, 4, d) && d.hi32 == 0 &&
                d.lo64 <= static_cast<uint64_t>(INT64_MAX))
                return Variant(automation::Currency{d.negative ? -static_cast<int64_t>(d.lo64)
                                                               : static_cast<int64_t>(d.lo64)});
            break;
        }
        case AccessType::Text:
        case AccessType::Memo:
            if (kind == SQLITE_FLOAT) {
                std::string t = DoubleText(sqlite3_value_double(value));
                return Variant(std::wstring(t.begin(), t.end()));
            }
            if (kind == SQLITE_INTEGER)
                return Variant(std::to_wstring(sqlite3_value_int64(value)));
            break;
        default:
            break;
    }
    return ReadNatural(value);
}

Variant ReadTyped(sqlite3_stmt* stmt, int col, AccessType type)
{
    return ReadTyped(sqlite3_column_value(stmt, col), type);
}

namespace {

// Eight bytes at a time: most text of a table is short, but is read row after row.
bool Ascii(const unsigned char* p, size_t n)
{
    uint64_t high = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        high |= word;
    }
    for (; i < n; ++i)
        high |= p[i];
    return (high & 0x8080808080808080ull) == 0;
}

// The compact form a column's stored values take, by its type.
Cursor::ImageForm ImageFormOf(const ResultColumn& c)
{
    using Form = Cursor::ImageForm;
    if (!c.stored)
        return Form::Value;
    switch (c.type.type) {
        case AccessType::Text:
        case AccessType::Memo:
        case AccessType::Guid:
            return Form::Text;
        case AccessType::Byte:
            return Form::Byte;
        case AccessType::Short:
            return Form::Short;
        case AccessType::Long:
            return Form::Long;
        case AccessType::YesNo:
            return Form::Bool;
        case AccessType::Currency:
            return Form::Money;
        case AccessType::Single:
            return Form::Single;
        case AccessType::Double:
            return Form::Double;
        case AccessType::DateTime:
            return Form::Date;
        default:
            return Form::Value;
    }
}

// SQLite gives a column of REAL affinity a stored integer as a real.
bool RealAffinity(std::string type)
{
    for (char& c : type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto has = [&](const char* part) { return type.find(part) != std::string::npos; };
    if (has("INT") || has("CHAR") || has("CLOB") || has("TEXT") || has("BLOB"))
        return false;
    return has("REAL") || has("FLOA") || has("DOUB");
}

// The statement's rows one after another, each column read as text (Null as empty).
std::vector<std::vector<std::string>> Rows(sqlite3* db, const std::string& sql,
                                           const char* bound = nullptr)
{
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return rows;
    }
    if (bound)
        sqlite3_bind_text(stmt, 1, bound, -1, SQLITE_TRANSIENT);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const unsigned char* text = sqlite3_column_text(stmt, i);
            row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
    }
    sqlite3_finalize(stmt);
    return rows;
}

// Whether the file holds every change its log has (or it keeps none). A checkpoint moves
// frames into the file only up to the oldest read still going on, this connection's among
// them, so a log that is all in the file afterwards ends at this connection's state.
bool LogInFile(sqlite3* db, const char* file)
{
    const auto mode = Rows(db, "PRAGMA main.journal_mode");
    if (mode.size() != 1 || mode[0].empty())
        return false;
    std::string name = mode[0][0];
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name != "wal")
        return true;
    // A file this connection may only read is not checkpointed for it: the read goes through
    // SQLite.
    return LogWhollyInFile(file, sqlite3_db_readonly(db, "main") == 1);
}

RowImage::Kind ImageKindOf(const ResultColumn& c)
{
    if (!c.stored)
        return RowImage::Value;
    switch (c.type.type) {
        case AccessType::Text:
        case AccessType::Memo:
        case AccessType::Guid:
            return RowImage::Text;
        case AccessType::Byte:
        case AccessType::Short:
        case AccessType::Long:
            return RowImage::Integer;
        case AccessType::YesNo:
            return RowImage::Bool;
        case AccessType::Currency:
            return RowImage::Money;
        case AccessType::Single:
        case AccessType::Double:
            return RowImage::Real;
        case AccessType::DateTime:
            return RowImage::Date;
        default:
            return RowImage::Value;
    }
}

}  // namespace

Cursor::Cursor(sqlite3* db, const EmittedSelect& select, const std::vector<Variant>& parameters,
               std::shared_ptr<std::recursive_mutex> lock)
    : db_(db), lock_(std::move(lock)), columns_(select.columns)
{
    range_.rangeItems = select.rangeItems;
    range_.rangeFrom = select.rangeFrom;
    range_.orderTerms = select.orderTerms;
    int rc = PrepareStatement(db, select.sql, 0, &main_);
    if (rc != SQLITE_OK)
        ThrowSqliteError(db, rc);
    int wanted = sqlite3_bind_parameter_count(main_);
    for (int i = 1; i <= wanted; ++i) {
        if (static_cast<size_t>(i) > parameters.size()) {
            Release();
            throw automation::ComError(automation::E_FAIL,
                                       L"No value given for one or more required parameters.");
        }
        BindNatural(main_, i, parameters[i - 1]);
    }
    if (!select.rowLookup.empty()) {
        rc = sqlite3_prepare_v2(db, select.rowLookup.c_str(), -1, &lookup_, nullptr);
        if (rc != SQLITE_OK) {
            Release();
            ThrowSqliteError(db, rc);
        }
    }
    row_.resize(columns_.size());
    for (const ResultColumn& column : columns_) {
        imageKinds_.push_back(ImageKindOf(column));
        imageForms_.push_back(ImageFormOf(column));
    }
}

Cursor::~Cursor()
{
    Release();
}

std::unique_lock<std::recursive_mutex> Cursor::Hold() const
{
    return lock_ ? std::unique_lock<std::recursive_mutex>(*lock_)
                 : std::unique_lock<std::recursive_mutex>();
}

void Cursor::Release()
{
    const auto hold = Hold();
    scan_.reset();
    pages_.reset();
    imaged_ = false;
    sqlite3_finalize(main_);
    sqlite3_finalize(lookup_);
    sqlite3_finalize(hold_);
    main_ = lookup_ = hold_ = nullptr;
    pending_ = false;
    rowids_.Clear();
    kept_.clear();
    atEnd_ = true;
}

void Cursor::DecodeValue(sqlite3_stmt* stmt, size_t column, Variant& out) const
{
    const ResultColumn& c = columns_[column];
    sqlite3_value* value = sqlite3_column_value(stmt, static_cast<int>(column));
    if (c.stored)
        ReadStoredInto(value, c.type, out);
    else if (c.typed)
        out = ReadTyped(value, c.type.type);
    else
        ReadNaturalInto(value, out);
}

// The compact forms stand for exactly the values ReadStored makes of the same
// stored values; whatever is not in its stored form is read by it. The form of
// each column is settled once, when the cursor is made, so that a row costs one
// pass over its columns and a few tests each.
void Cursor::ImageRow(sqlite3_stmt* stmt, const RowImage::Kind* kinds, RowImage& out) const
{
    const size_t count = columns_.size();
    for (size_t column = 0; column < count; ++column) {
        const ImageForm form =
            kinds[column] == imageKinds_[column] ? imageForms_[column] : ImageForm::Value;
        if (form == ImageForm::Value) {
            DecodeValue(stmt, column, out.NewValue(column));
            continue;
        }
        sqlite3_value* value = sqlite3_column_value(stmt, static_cast<int>(column));
        const int stored = sqlite3_value_type(value);
        RowImage::Slot& slot = out.columns[column];
        if (stored == SQLITE_NULL) {
            slot.kind = RowImage::Null;
            slot.vt = automation::VT_NULL;
            continue;
        }
        const bool number = stored == SQLITE_INTEGER || stored == SQLITE_FLOAT;
        switch (form) {
            case ImageForm::Byte:
            case ImageForm::Short:
            case ImageForm::Long:
                if (stored != SQLITE_INTEGER)
                    break;
                slot.kind = RowImage::Integer;
                if (form == ImageForm::Byte) {
                    slot.vt = automation::VT_UI1;
                    slot.i = static_cast<uint8_t>(sqlite3_value_int(value));
                } else if (form == ImageForm::Short) {
                    slot.vt = automation::VT_I2;
                    slot.i = static_cast<int16_t>(sqlite3_value_int(value));
                } else {
                    slot.vt = automation::VT_I4;
                    slot.i = static_cast<int32_t>(sqlite3_value_int(value));
                }
                continue;
            case ImageForm::Bool:
                if (stored != SQLITE_INTEGER)
                    break;
                slot.kind = RowImage::Bool;
                slot.vt = automation::VT_BOOL;
                slot.i = sqlite3_value_int(value) != 0 ? automation::VARIANT_TRUE
                                                       : automation::VARIANT_FALSE;
                continue;
            case ImageForm::Money:
                if (stored != SQLITE_INTEGER)
                    break;
                slot.kind = RowImage::Money;
                slot.vt = automation::VT_CY;
                slot.i = sqlite3_value_int64(value);
                continue;
            case ImageForm::Single:
            case ImageForm::Double:
                if (!number)
                    break;
                slot.kind = RowImage::Real;
                if (form == ImageForm::Single) {
                    slot.vt = automation::VT_R4;
                    slot.r = static_cast<float>(sqlite3_value_double(value));
                } else {
                    slot.vt = automation::VT_R8;
                    slot.r = sqlite3_value_double(value);
                }
                continue;
            case ImageForm::Date:
                if (!number)
                    break;
                slot.kind = RowImage::Date;
                slot.vt = automation::VT_DATE;
                slot.r = OleDateFromMonotonic(sqlite3_value_double(value));
                continue;
            case ImageForm::Text: {
                if (stored != SQLITE_TEXT)
                    break;
                auto p = sqlite3_value_text(value);
                const auto n = static_cast<size_t>(sqlite3_value_bytes(value));
                if (!Ascii(p, n) && !automation::IsWellFormedUtf8(
                                        std::string_view(reinterpret_cast<const char*>(p), n)))
                    break;  // its decoding replaces characters: compared as decoded
                out.SetText(column, std::string_view(reinterpret_cast<const char*>(p), n));
                continue;
            }
            case ImageForm::Value:
                break;
        }
        DecodeValue(stmt, column, out.NewValue(column));
    }
}

bool Cursor::TakeImageAndMoveNext(RowImage& out, const RowImage::Kind* kinds)
{
    const auto hold = Hold();
    return TakeImageLocked(out, kinds);
}

void Cursor::TakeImagesAndMoveNext(RowImage* const* out, size_t count, const RowImage::Kind* kinds,
                                   size_t& taken)
{
    const auto hold = Hold();
    taken = 0;
    while (taken < count) {
        const bool more = TakeImageLocked(*out[taken], kinds);
        ++taken;
        if (!more)
            break;
    }
}

bool Cursor::TakeImageLocked(RowImage& out, const RowImage::Kind* kinds)
{
    const size_t count = columns_.size();
    if (imaged_ && position_ == streamed_ - 1 &&
        std::equal(scanKinds_.begin(), scanKinds_.end(), kinds)) {
        swap(out, scanImage_);
        imaged_ = false;
        return MoveLocked(position_ + 1);
    }
    out.Reset(count);
    if (taken_ && !pending_)
        Revisit(position_);
    if (pending_ && main_) {
        ImageRow(main_, kinds, out);
        if (!scanTried_ && streamed_ >= scanAt_ && position_ == streamed_ - 1)
            StartScan(kinds);
    } else {
        // A row read back by its rowid or kept whole: already automation values.
        for (size_t i = 0; i < count; ++i)
            swap(row_[i], out.NewValue(i));
        taken_ = true;
    }
    return MoveLocked(position_ + 1);
}

void Cursor::StartScan(const RowImage::Kind* kinds)
{
    scanTried_ = true;
    if (StartPages(kinds))
        return;
    // A table whose pages do not parse is read on by the one statement, as SQLite reads it:
    // reads by stretches, which seek through the damaged parts, could answer otherwise from
    // one run to the next.
    if (pagesDamaged_)
        return;
    const char* file = sqlite3_db_filename(db_, "main");
    const unsigned cores = RangeScan::UsableCores();
    // Both sides of a comparison read at once, and a thread merges them.
    const unsigned readers = cores >= 4 ? std::min(3u, cores / 2 - 1) : 0;
    if (range_.orderTerms.empty() || !lookup_ || !file || !*file || readers == 0)
        return;
    // The readers open the file by its name: not once another file has taken it.
    int moved = 1;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || moved)
        return;
    scanKinds_.assign(kinds, kinds + columns_.size());
    auto decode = [this](sqlite3_stmt* stmt, RowImage& image) {
        image.Reset(columns_.size());
        ImageRow(stmt, scanKinds_.data(), image);
    };
    bool later = false;
    scan_ = RangeScan::Start(file, range_, rowids_.At(rowids_.Size() - 1), decode, readers, later);
    if (!scan_) {
        // A row whose ordering holds Null: a few more tries, some rows further on.
        if (later && ++scanTries_ < 8) {
            scanTried_ = false;
            scanAt_ = streamed_ + 4096;
        }
        return;
    }
    // The current row is read; whatever asks for it again reads it by its rowid.
    sqlite3_reset(main_);
    pending_ = false;
    taken_ = true;
}

// Only a select of plain columns of one table (a rowid table whose stored values no
// affinity converts on read), ordered by its rowid, whose columns are all read in their
// compact forms, from a file that holds what the connection reads.
bool Cursor::StartPages(const RowImage::Kind* kinds)
{
    if (!fileHoldsReads_ || !lookup_ || range_.orderTerms.empty() || rowids_.Size() == 0 ||
        sqlite3_txn_state(db_, "main") == SQLITE_TXN_NONE || !fileHoldsReads_())
        return false;
    const char* file = sqlite3_db_filename(db_, "main");
    if (!file || !*file)
        return false;
    const size_t count = columns_.size();
    std::string table;
    std::vector<std::string> origins;
    for (size_t c = 0; c < count; ++c) {
        if (kinds[c] != imageKinds_[c] || imageForms_[c] == ImageForm::Value)
            return false;
        const char* base = sqlite3_column_database_name(main_, static_cast<int>(c));
        const char* name = sqlite3_column_table_name(main_, static_cast<int>(c));
        const char* origin = sqlite3_column_origin_name(main_, static_cast<int>(c));
        if (!base || !name || !origin || std::strcmp(base, "main") != 0 || (c > 0 && table != name))
            return false;
        table = name;
        origins.emplace_back(origin);
    }
    // The select reads the table itself (a view's columns name their tables too).
    if (table.empty() ||
        range_.rangeFrom.rfind(" FROM " + QuoteName(table) + " AS ", 0) != 0)
        return false;
    // The table's columns (cid, name, type, notnull, default, pk, hidden), in the order of
    // the fields of its records.
    const auto columns = Rows(db_, "PRAGMA main.table_xinfo(" + QuoteName(table) + ")");
    std::string alias;
    int keys = 0;
    for (const auto& column : columns) {
        if (column.size() < 7 || column[6] != "0" || RealAffinity(column[2]))
            return false;
        if (column[5] != "0") {
            ++keys;
            std::string type = column[2];
            for (char& ch : type)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (type == "INTEGER")
                alias = column[1];
        }
    }
    // A key of one INTEGER column is the rowid itself, unless it has an index of its own.
    if (keys != 1)
        alias.clear();
    for (const auto& index : Rows(db_, "PRAGMA main.index_list(" + QuoteName(table) + ")"))
        if (index.size() >= 4 && index[3] == "pk")
            alias.clear();
    pageFields_.clear();
    for (const std::string& origin : origins) {
        int field = -2;
        if (!alias.empty() && origin == alias)
            field = -1;
        for (size_t i = 0; field == -2 && i < columns.size(); ++i)
            if (columns[i][1] == origin)
                field = static_cast<int>(i);
        if (field == -2)
            return false;
        pageFields_.push_back(field);
    }
    // Rowid order: the order's first term is the rowid, or the column that is the rowid.
    const std::string& first = range_.orderTerms.front();
    if (first != range_.orderTerms.back()) {
        sqlite3_stmt* term = nullptr;
        bool rowidOrder = false;
        if (sqlite3_prepare_v2(db_, ("SELECT " + first + range_.rangeFrom).c_str(), -1, &term,
                               nullptr) == SQLITE_OK) {
            const char* name = sqlite3_column_table_name(term, 0);
            const char* origin = sqlite3_column_origin_name(term, 0);
            rowidOrder = name && origin && table == name && !alias.empty() && alias == origin;
        }
        sqlite3_finalize(term);
        if (!rowidOrder)
            return false;
    }
    const auto root = Rows(db_,
                           "SELECT rootpage FROM main.sqlite_schema WHERE type = 'table' "
                           "AND name = ?1",
                           table.c_str());
    if (root.size() != 1)
        return false;
    // The log is looked at through the file's name, which must still name the file the
    // connection reads: not once it was renamed or replaced.
    const long long page = std::atoll(root[0][0].c_str());
    int moved = 1;
    if (page < 1 || page > UINT32_MAX ||
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || moved ||
        !LogInFile(db_, file))
        return false;
    // The pages are read through the connection's own descriptor of the file: the file it
    // reads, and one whose closing takes none of the connection's locks with it.
    sqlite3_file* handle = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &handle) != SQLITE_OK ||
        !handle)
        return false;
    pages_ = TablePages::Open(handle, static_cast<uint32_t>(page));
    // Pages that do not lead to the row where the statement stands (or end before it) do not
    // hold what SQLite read.
    pagesDamaged_ =
        pages_ && pages_->Seek(rowids_.At(rowids_.Size() - 1), static_cast<uint64_t>(streamed_)) !=
                      TablePages::Step::Row;
    if (!pages_ || pagesDamaged_) {
        pages_.reset();
        return false;
    }
    pageChanges_ = sqlite3_total_changes64(db_);
    pagesFrom_ = streamed_;
    scanKinds_.assign(kinds, kinds + count);
    // The current row is read; whatever asks for it again reads it by its rowid. The main
    // statement stays on it, and so the connection in its read transaction: whatever becomes
    // of the hold, no commit after this state reaches the file while the pages are read.
    pending_ = false;
    taken_ = true;
    return true;
}

// The current record of the pages into `out` as ImageRow makes it of the same values;
// false for a row ImageRow would read otherwise (a value not in its column's stored
// form, text that is not well-formed) or that is shorter than the table (its last
// columns take their defaults): SQLite reads that one.
bool Cursor::PageImage(RowImage& out) const
{
    const size_t count = columns_.size();
    const std::vector<TablePages::Field>& fields = pages_->Fields();
    out.Reset(count);
    TablePages::Field rowid;
    rowid.type = TablePages::Field::Integer;
    rowid.i = pages_->Rowid();
    for (size_t column = 0; column < count; ++column) {
        const int at = pageFields_[column];
        if (at >= 0 && static_cast<size_t>(at) >= fields.size())
            return false;
        const TablePages::Field& f = at < 0 ? rowid : fields[static_cast<size_t>(at)];
        RowImage::Slot& slot = out.columns[column];
        if (f.type == TablePages::Field::Null) {
            slot.kind = RowImage::Null;
            slot.vt = automation::VT_NULL;
            continue;
        }
        const bool integer = f.type == TablePages::Field::Integer;
        const bool number = integer || f.type == TablePages::Field::Real;
        const double real = integer ? static_cast<double>(f.i) : f.r;
        switch (imageForms_[column]) {
            case ImageForm::Byte:
            case ImageForm::Short:
            case ImageForm::Long:
                if (!integer)
                    return false;
                slot.kind = RowImage::Integer;
                if (imageForms_[column] == ImageForm::Byte) {
                    slot.vt = automation::VT_UI1;
                    slot.i = static_cast<uint8_t>(static_cast<int>(f.i));
                } else if (imageForms_[column] == ImageForm::Short) {
                    slot.vt = automation::VT_I2;
                    slot.i = static_cast<int16_t>(static_cast<int>(f.i));
                } else {
                    slot.vt = automation::VT_I4;
                    slot.i = static_cast<int32_t>(static_cast<int>(f.i));
                }
                break;
            case ImageForm::Bool:
                if (!integer)
                    return false;
                slot.kind = RowImage::Bool;
                slot.vt = automation::VT_BOOL;
                slot.i = static_cast<int>(f.i) != 0 ? automation::VARIANT_TRUE
                                                    : automation::VARIANT_FALSE;
                break;
            case ImageForm::Money:
                if (!integer)
                    return false;
                slot.kind = RowImage::Money;
                slot.vt = automation::VT_CY;
                slot.i = f.i;
                break;
            case ImageForm::Single:
            case ImageForm::Double:
                if (!number)
                    return false;
                slot.kind = RowImage::Real;
                if (imageForms_[column] == ImageForm::Single) {
                    slot.vt = automation::VT_R4;
                    slot.r = static_cast<float>(real);
                } else {
                    slot.vt = automation::VT_R8;
                    slot.r = real;
                }
                break;
            case ImageForm::Date:
                if (!number)
                    return false;
                slot.kind = RowImage::Date;
                slot.vt = automation::VT_DATE;
                slot.r = OleDateFromMonotonic(real);
                break;
            case ImageForm::Text:
                if (f.type != TablePages::Field::Text ||
                    (!Ascii(f.bytes, f.size) &&
                     !automation::IsWellFormedUtf8(
                         std::string_view(reinterpret_cast<const char*>(f.bytes), f.size))))
                    return false;
                out.SetText(column,
                            std::string_view(reinterpret_cast<const char*>(f.bytes), f.size));
                break;
            case ImageForm::Value:
                return false;
        }
    }
    return true;
}

// The next row from the pages into scanImage_; false when the read by pages is over (at
// the end, which then is the statement's end too, or because the file no longer holds what
// the connection reads or does not parse: SQLite then reads on from the row after the last).
bool Cursor::PageStep()
{
    TablePages::Step step = TablePages::Step::Damaged;
    if (fileHoldsReads_() && sqlite3_total_changes64(db_) == pageChanges_)
        step = pages_->Next();
    if (step == TablePages::Step::Row) {
        const int64_t rowid = pages_->Rowid();
        if (!PageImage(scanImage_)) {
            sqlite3_reset(lookup_);
            sqlite3_bind_int64(lookup_, 1, rowid);
            const int rc = sqlite3_step(lookup_);
            if (rc == SQLITE_ROW) {
                scanImage_.Reset(columns_.size());
                ImageRow(lookup_, scanKinds_.data(), scanImage_);
            }
            sqlite3_reset(lookup_);
            if (rc != SQLITE_ROW)
                step = TablePages::Step::Damaged;  // SQLite does not find the row
        }
        if (step == TablePages::Step::Row) {
            rowids_.Add(rowid);
            imaged_ = true;
            taken_ = true;
            ++streamed_;
            return true;
        }
    }
    pages_.reset();
    if (step == TablePages::Step::End) {
        sqlite3_reset(main_);
        exhausted_ = true;
    } else {
        // The main statement still stands on the last row it read, in its read transaction:
        // it goes on over the rows the pages gave, as it would have read them itself.
        passOver_ = streamed_ - pagesFrom_;
    }
    return false;
}

void Cursor::EndReadAhead()
{
    const auto hold = Hold();
    if (!scan_)
        return;
    scan_.reset();
    resume_ = true;
}

void Cursor::Decode(sqlite3_stmt* stmt)
{
    taken_ = false;
    pending_ = false;
    for (size_t i = 0; i < columns_.size(); ++i)
        DecodeValue(stmt, i, row_[i]);
}

bool Cursor::StepMain()
{
    if (exhausted_ || !main_)
        return false;
    if (pages_) {
        imaged_ = false;
        if (PageStep())
            return true;
        if (exhausted_)
            return false;
    }
    if (scan_) {
        int64_t rowid = 0;
        imaged_ = false;
        if (!scan_->Next(rowid, scanImage_)) {
            scan_.reset();
            exhausted_ = true;
            return false;
        }
        rowids_.Add(rowid);
        imaged_ = true;
        taken_ = true;  // row_ is not this row's: it is read by rowid when asked for
        ++streamed_;
        return true;
    }
    // A statement given up for another is finalized once the other has made its first step:
    // until then it keeps the connection in the read transaction it read in, and the other
    // goes on in the same one.
    sqlite3_stmt* replaced = nullptr;
    if (resume_) {
        // The same order from the row after the last one read (a select that is read by
        // stretches has no limit of its own).
        sqlite3_stmt* resumed = nullptr;
        const int rc = PrepareStatement(
            db_, std::string(sqlite3_sql(main_)) + " LIMIT -1 OFFSET " + std::to_string(streamed_),
            0, &resumed);
        if (rc != SQLITE_OK)
            ThrowSqliteError(db_, rc);
        replaced = main_;
        main_ = resumed;
        resume_ = false;
        imaged_ = false;
    }
    for (; passOver_ > 0; --passOver_) {
        const int rc = sqlite3_step(main_);
        if (rc == SQLITE_DONE) {
            passOver_ = 0;
            exhausted_ = true;
            pending_ = false;
            return false;
        }
        if (rc != SQLITE_ROW) {
            passOver_ = 0;
            ThrowSqliteError(db_, rc);
        }
    }
    int rc = sqlite3_step(main_);
    sqlite3_finalize(replaced);
    if (rc == SQLITE_DONE) {
        exhausted_ = true;
        pending_ = false;
        return false;
    }
    if (rc != SQLITE_ROW)
        ThrowSqliteError(db_, rc);
    if (lookup_) {
        // Decoded when asked for, while the statement stands on the row.
        taken_ = false;
        pending_ = true;
        rowids_.Add(sqlite3_column_int64(main_, static_cast<int>(columns_.size())));
    } else {
        Decode(main_);
        kept_.push_back(row_);
    }
    ++streamed_;
    return true;
}

bool Cursor::Revisit(int64_t index)
{
    taken_ = false;
    pending_ = false;
    if (!lookup_) {
        row_ = kept_[static_cast<size_t>(index)];
        return true;
    }
    sqlite3_reset(lookup_);
    sqlite3_bind_int64(lookup_, 1, rowids_.At(static_cast<size_t>(index)));
    int rc = sqlite3_step(lookup_);
    if (rc == SQLITE_ROW) {
        Decode(lookup_);
        sqlite3_reset(lookup_);  // an idle lookup keeps no statement active
        return true;
    }
    if (rc != SQLITE_DONE)
        ThrowSqliteError(db_, rc);
    // The row was deleted since it was read: it reads as all Null.
    for (Variant& v : row_)
        v = Variant::Null();
    return true;
}

void Cursor::HoldReads(bool hold)
{
    const auto lock = Hold();
    if (hold_)
        sqlite3_reset(hold_);
    // Kept rows are revisited without SQLite, and a main statement that has rows left
    // stands on one and holds the transaction itself.
    if (!hold || !lookup_ || rowids_.Size() == 0)
        return;
    if (!hold_) {
        const int rc = sqlite3_prepare_v2(db_, sqlite3_sql(lookup_), -1, &hold_, nullptr);
        if (rc != SQLITE_OK)
            ThrowSqliteError(db_, rc);
    }
    // SQLite keeps a connection's read transaction open while any of its statements
    // stands on a row; a first row deleted since leaves nothing held, which only costs
    // speed.
    sqlite3_bind_int64(hold_, 1, rowids_.At(0));
    if (sqlite3_step(hold_) != SQLITE_ROW)
        sqlite3_reset(hold_);
}

automation::Variant Cursor::TakeValue(size_t index)
{
    if (pending_)
        RestoreTaken();
    taken_ = true;
    return std::move(row_[index]);
}

void Cursor::SwapValue(size_t index, automation::Variant& value)
{
    if (pending_)
        RestoreTaken();
    taken_ = true;
    swap(row_[index], value);
}

void Cursor::TakeRow(Variant* const* out)
{
    const auto hold = Hold();
    TakeRowLocked(out);
}

bool Cursor::TakeRowAndMoveNext(Variant* const* out)
{
    const auto hold = Hold();
    TakeRowLocked(out);
    return MoveLocked(position_ + 1);
}

void Cursor::TakeRowLocked(Variant* const* out)
{
    if (taken_ && !pending_)  // row_ holds what an earlier take left there
        Revisit(position_);
    if (pending_ && main_) {
        for (size_t i = 0; i < columns_.size(); ++i)
            DecodeValue(main_, i, *out[i]);
        return;
    }
    for (size_t i = 0; i < columns_.size(); ++i)
        swap(row_[i], *out[i]);
    taken_ = true;
}

void Cursor::RestoreTaken()
{
    if (!(taken_ || pending_) || atEnd_ || position_ < 0 || !main_)
        return;
    const auto hold = Hold();
    if (pending_)
        Decode(main_);
    else
        Revisit(position_);
}

bool Cursor::MoveTo(int64_t index)
{
    const auto hold = Hold();
    return MoveLocked(index);
}

bool Cursor::MoveLocked(int64_t index)
{
    if (index < 0 || !main_) {
        atEnd_ = true;
        return false;
    }
    if (index < streamed_ - 1 || (index == streamed_ - 1 && position_ != index)) {
        position_ = index;
        atEnd_ = false;
        return Revisit(index);
    }
    if (index == position_ && !atEnd_)
        return taken_ && !pending_ ? Revisit(index) : true;
    // Forward from the furthest row read: each step is the next row.
    while (streamed_ <= index) {
        if (!StepMain()) {
            position_ = streamed_;
            atEnd_ = true;
            return false;
        }
    }
    position_ = index;
    atEnd_ = false;
    return true;
}

}  // namespace provider
