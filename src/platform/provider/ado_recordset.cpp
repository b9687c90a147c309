// ADODB.Recordset and Fields over a provider cursor.
#include "platform/provider/ado_recordset.h"

#include "platform/provider/ado_connection.h"
#include "platform/provider/catalog.h"
#include "platform/provider/cursor.h"

namespace provider::adodb {

using automation::ComError;
using automation::Ptr;
using automation::Variant;

namespace {

[[noreturn]] void NoCurrentRecord()
{
    throw ComError(adErrNoCurrentRecord,
                   L"Either BOF or EOF is True, or the current record has been deleted. "
                   L"Requested operation requires a current record.");
}

[[noreturn]] void Closed()
{
    throw ComError(adErrObjectClosed, L"Operation is not allowed when the object is closed.");
}

[[noreturn]] void NotFound()
{
    throw ComError(adErrItemNotFound,
                   L"Item cannot be found in the collection corresponding "
                   L"to the requested name or ordinal.");
}

}  // namespace

Field::Field(std::shared_ptr<Cursor> cursor, size_t index)
    : cursor_(std::move(cursor)), index_(index)
{
}

const std::wstring& Field::Name() const
{
    return cursor_->Columns()[index_].name;
}

long Field::Type() const
{
    const ResultColumn& c = cursor_->Columns()[index_];
    return (c.stored || c.typed) ? AdoTypeOf(c.type.type) : adVariant;
}

long Field::DefinedSize() const
{
    const ResultColumn& c = cursor_->Columns()[index_];
    return (c.stored || c.typed) ? DefinedSizeOf(c.type) : 0;
}

void Field::RequireCurrent() const
{
    if (cursor_->Released())
        Closed();
    if (cursor_->AtEnd() || cursor_->Position() < 0)
        NoCurrentRecord();
}

const Variant& Field::Value() const
{
    RequireCurrent();
    if (cursor_->Taken())
        cursor_->RestoreTaken();
    return cursor_->Row()[index_];
}

Variant Field::TakeValue()
{
    RequireCurrent();
    return cursor_->TakeValue(index_);
}

void Field::SwapValue(Variant& value)
{
    RequireCurrent();
    cursor_->SwapValue(index_, value);
}

void Fields::Reset(const std::shared_ptr<Cursor>& cursor)
{
    items_.clear();
    if (!cursor)
        return;
    for (size_t i = 0; i < cursor->Columns().size(); ++i)
        items_.push_back(std::make_shared<Field>(cursor, i));
}

Ptr<Field> Fields::Item(long index) const
{
    if (index < 0 || index >= Count())
        NotFound();
    return items_[static_cast<size_t>(index)];
}

Ptr<Field> Fields::Item(const std::wstring& name) const
{
    std::wstring key = Catalog::Fold(name);
    for (const Ptr<Field>& f : items_)
        if (Catalog::Fold(f->Name()) == key)
            return f;
    NotFound();
}

Ptr<Field> Fields::Item(const Variant& index) const
{
    using namespace automation;
    switch (index.vt()) {
        case VT_BSTR:
            return Item(index.bstrVal());
        case VT_I2:
            return Item(static_cast<long>(index.iVal()));
        case VT_I4:
            return Item(static_cast<long>(index.lVal()));
        case VT_INT:
            return Item(static_cast<long>(index.intVal()));
        case VT_UI1:
            return Item(static_cast<long>(index.bVal()));
        case VT_I8:
            return Item(static_cast<long>(index.llVal()));
        default:
            NotFound();
    }
}

Recordset::Recordset() : fields_(std::make_shared<adodb::Fields>()) {}

Recordset::~Recordset() = default;

long Recordset::State() const
{
    // Closing the connection closes its recordsets too.
    return cursor_ && !cursor_->Released() ? adStateOpen : adStateClosed;
}

void Recordset::RequireOpen() const
{
    if (!cursor_ || cursor_->Released())
        Closed();
}

void Recordset::SetCursorLocation(long location)
{
    if (cursor_)
        throw ComError(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    if (location != adUseServer && location != adUseClient)
        throw ComError(adErrInvalidArgument,
                       L"Arguments are of the wrong type, are out of "
                       L"acceptable range, or are in conflict with one "
                       L"another.");
    cursorLocation_ = location;
}

void Recordset::Attach(std::shared_ptr<Cursor> cursor)
{
    cursor_ = std::move(cursor);
    fields_->Reset(cursor_);
    beforeFirst_ = false;
    cursor_->MoveTo(0);
}

void Recordset::Open(const Variant& source, const Ptr<Connection>& connection, long, long,
                     long options)
{
    if (cursor_)
        throw ComError(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    if (!connection)
        throw ComError(adErrInvalidArgument,
                       L"The connection cannot be used to perform this operation. It is either "
                       L"closed or invalid in this context.");
    if (source.vt() != automation::VT_BSTR)
        throw ComError(adErrInvalidArgument, L"The Source of a Recordset must be a text.");
    if (options != adCmdUnspecified)
        options &= ~adExecuteNoRecords;
    Ptr<Recordset> rs = connection->Run(source.bstrVal(), {}, nullptr, options);
    if (!rs || !rs->cursor_)
        throw ComError(automation::E_FAIL,
                       L"The statement returns no rows, so it cannot open a Recordset.");
    Attach(rs->cursor_);
}

void Recordset::Close()
{
    if (!cursor_)
        Closed();
    fields_->Reset(nullptr);
    cursor_.reset();
}

bool Recordset::IsEOF() const
{
    RequireOpen();
    return cursor_->AtEnd() && !beforeFirst_;
}

bool Recordset::IsBOF() const
{
    RequireOpen();
    // An empty recordset is at BOF and EOF at once.
    return beforeFirst_ || (cursor_->AtEnd() && cursor_->Position() <= 0);
}

void Recordset::MoveNext()
{
    RequireOpen();
    if (cursor_->AtEnd() && !beforeFirst_)
        NoCurrentRecord();
    int64_t next = beforeFirst_ ? 0 : cursor_->Position() + 1;
    beforeFirst_ = false;
    cursor_->MoveTo(next);
}

void Recordset::RequireCurrentRow() const
{
    RequireOpen();
    if (beforeFirst_ || cursor_->AtEnd() || cursor_->Position() < 0)
        NoCurrentRecord();
}

void Recordset::TakeRow(Variant* const* out)
{
    RequireCurrentRow();
    cursor_->TakeRow(out);
}

void Recordset::TakeRowAndMoveNext(Variant* const* out)
{
    RequireCurrentRow();
    cursor_->TakeRowAndMoveNext(out);
}

void Recordset::EndReadAhead()
{
    if (cursor_ && !cursor_->Released())
        cursor_->EndReadAhead();
}

void Recordset::HoldReads(bool hold)
{
    if (cursor_ && !cursor_->Released())
        cursor_->HoldReads(hold);
}

std::vector<RowImage::Kind> Recordset::ImageKinds() const
{
    RequireOpen();
    std::vector<RowImage::Kind> kinds;
    for (size_t i = 0; i < cursor_->Columns().size(); ++i)
        kinds.push_back(cursor_->ImageKind(i));
    return kinds;
}

void Recordset::TakeImageAndMoveNext(RowImage& out, const RowImage::Kind* kinds)
{
    RequireCurrentRow();
    cursor_->TakeImageAndMoveNext(out, kinds);
}

void Recordset::TakeImagesAndMoveNext(RowImage* const* out, size_t count,
                                      const RowImage::Kind* kinds, size_t& taken)
{
    taken = 0;
    RequireCurrentRow();
    cursor_->TakeImagesAndMoveNext(out, count, kinds, taken);
}

long Recordset::AbsolutePosition() const
{
    RequireOpen();
    if (beforeFirst_)
        return adPosBOF;
    if (cursor_->AtEnd())
        return adPosEOF;
    return static_cast<long>(cursor_->Position() + 1);
}

void Recordset::SetAbsolutePosition(long position)
{
    RequireOpen();
    if (position < 1 || !cursor_->MoveTo(position - 1))
        throw ComError(adErrInvalidArgument,
                       L"Arguments are of the wrong type, are out of acceptable range, or are "
                       L"in conflict with one another (AbsolutePosition " +
                           std::to_wstring(position) + L" names no row).");
    beforeFirst_ = false;
}

}  // namespace provider::adodb
