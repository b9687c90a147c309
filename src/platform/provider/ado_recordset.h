// ADODB.Recordset with its Fields: a static cursor over the rows of one
// statement, positioned by AbsolutePosition (1-based) at constant cost.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/provider/ado.h"
#include "platform/provider/row_image.h"

namespace provider {
class Cursor;
}

namespace provider::adodb {

class Connection;

class Field : public automation::Object {
public:
    Field(std::shared_ptr<Cursor> cursor, size_t index);
    const std::wstring& Name() const;
    long Type() const;
    long DefinedSize() const;
    // The value in the current row; raises when there is no current row.
    const automation::Variant& Value() const;
    // The value moved out, for a reader that moves on to the next row right after
    // (Value reads the row again should it be asked for first); raises as Value.
    automation::Variant TakeValue();
    // TakeValue into `value`, whose old content the field keeps in exchange.
    void SwapValue(automation::Variant& value);

private:
    void RequireCurrent() const;

    std::shared_ptr<Cursor> cursor_;
    size_t index_;
};

class Fields : public automation::Object {
public:
    long Count() const { return static_cast<long>(items_.size()); }
    // By 0-based ordinal (an integer Variant) or by name (without regard to case).
    automation::Ptr<Field> Item(const automation::Variant& index) const;
    automation::Ptr<Field> Item(long index) const;
    automation::Ptr<Field> Item(const std::wstring& name) const;
    automation::Ptr<Field> Item(const wchar_t* name) const { return Item(std::wstring(name)); }

    void Reset(const std::shared_ptr<Cursor>& cursor);

private:
    std::vector<automation::Ptr<Field>> items_;
};

class Recordset : public automation::Object {
public:
    Recordset();
    ~Recordset() override;

    void Open(const automation::Variant& source, const automation::Ptr<Connection>& connection,
              long cursorType = adOpenUnspecified, long lockType = adLockUnspecified,
              long options = adCmdUnspecified);
    void Close();
    long State() const;

    long CursorLocation() const { return cursorLocation_; }
    void SetCursorLocation(long location);

    bool IsEOF() const;
    bool IsBOF() const;
    void MoveNext();
    // The current row's values into *out[0..Fields()->Count()), exchanging memory
    // with them (see Field::SwapValue); raises when there is no current row.
    void TakeRow(automation::Variant* const* out);
    // TakeRow, then MoveNext.
    void TakeRowAndMoveNext(automation::Variant* const* out);
    // Keeps one read transaction over many rows read again by position (see
    // Cursor::HoldReads); nothing to do for a closed recordset.
    void HoldReads(bool hold);
    // Ends the reading ahead of a forward read (see Cursor::EndReadAhead).
    void EndReadAhead();
    // The compact form of each field's values in a row image.
    std::vector<RowImage::Kind> ImageKinds() const;
    // The current row into `out`, field i in the compact form kinds[i] where it has
    // it, else as TakeRow gives it; then MoveNext. Raises as TakeRow.
    void TakeImageAndMoveNext(RowImage& out, const RowImage::Kind* kinds);
    // TakeImageAndMoveNext for up to `count` rows into out[0], out[1], ..., counting
    // them in `taken` (fewer when the end comes first, or one raises).
    void TakeImagesAndMoveNext(RowImage* const* out, size_t count, const RowImage::Kind* kinds,
                               size_t& taken);
    // 1-based row number, adPosEOF / adPosBOF when there is no current row.
    long AbsolutePosition() const;
    void SetAbsolutePosition(long position);

    automation::Ptr<adodb::Fields> Fields() const { return fields_; }

    // Binds a recordset to an executed statement (used by Execute).
    void Attach(std::shared_ptr<Cursor> cursor);

private:
    void RequireOpen() const;
    void RequireCurrentRow() const;

    std::shared_ptr<Cursor> cursor_;
    automation::Ptr<adodb::Fields> fields_;
    long cursorLocation_ = adUseServer;
    bool beforeFirst_ = false;
};

}  // namespace provider::adodb
