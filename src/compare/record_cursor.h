// What the comparison needs of a database side: row counts and ordered, static,
// re-readable results. The provider's ADO recordsets implement it in production;
// the interface keeps the comparison independent of how rows are fetched.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "compare/db_record.h"
#include "platform/automation/variant.h"

// One result of a select statement with a static cursor. Positions are 1-based and
// stable: executing the same statement again gives each row the same position.
class RecordCursor {
public:
    static constexpr int kPositionEof = -3;

    virtual ~RecordCursor() = default;
    // Executes the statement (again, after Close).
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual bool IsEof() = 0;
    virtual int AbsolutePosition() = 0;
    virtual void SetAbsolutePosition(int position) = 0;
    virtual int FieldCount() = 0;
    // Valid until the cursor moves.
    virtual const automation::Variant& FieldValue(int index) = 0;
    // The value moved out, for a caller that moves the cursor on right after; the
    // cursor no longer holds it.
    virtual automation::Variant TakeFieldValue(int index) { return FieldValue(index); }
    // TakeFieldValue into `value`; the cursor may keep the old content of `value`
    // in exchange, to reuse its memory for the next row.
    virtual void SwapFieldValue(int index, automation::Variant& value)
    {
        value = TakeFieldValue(index);
    }
    // Every value of the current row into record.MutableValue(0..FieldCount()), as
    // SwapFieldValue would one by one; the record must hold FieldCount() values.
    virtual void TakeRow(DbRecord& record)
    {
        for (int i = 0; i < FieldCount(); ++i)
            SwapFieldValue(i, record.MutableValue(static_cast<size_t>(i)));
    }
    virtual void MoveNext() = 0;
    // Between true and false many rows are about to be read again by position: a
    // cursor may keep what it needs for that open (one read transaction) instead of
    // setting it up per row.
    virtual void HoldReads(bool) {}
    // A forward read is over for now: a cursor that reads ahead may stop doing so and
    // let go of what that holds.
    virtual void EndReadAhead() {}
    // TakeRow, then MoveNext.
    virtual void TakeRowAndMoveNext(DbRecord& record)
    {
        TakeRow(record);
        MoveNext();
    }
    // The compact form of each column's values in a row image; none (empty) unless
    // the cursor knows them.
    virtual std::vector<provider::RowImage::Kind> ImageKinds() { return {}; }
    // The current row into `image`, column i in the compact form kinds[i] where it
    // has it and as the value SwapFieldValue gives otherwise; then MoveNext.
    virtual void TakeImageAndMoveNext(provider::RowImage& image,
                                      const provider::RowImage::Kind* /*kinds*/)
    {
        const int count = FieldCount();
        image.Reset(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            SwapFieldValue(i, image.NewValue(static_cast<size_t>(i)));
        MoveNext();
    }
    // TakeImageAndMoveNext into images[0], images[1], ... for up to `count` rows,
    // counting them in `taken`: fewer when the end comes first, or when one raises
    // (the rows before it stay taken). Requires a current row.
    virtual void TakeImagesAndMoveNext(provider::RowImage* const* images, size_t count,
                                       const provider::RowImage::Kind* kinds, size_t& taken)
    {
        taken = 0;
        while (taken < count) {
            TakeImageAndMoveNext(*images[taken], kinds);
            ++taken;
            if (IsEof())
                break;
        }
    }
};

// One database side. Failures raise automation::ComError; opening the database on
// first use may raise DbOpenException.
class RecordConnection {
public:
    virtual ~RecordConnection() = default;
    virtual std::unique_ptr<RecordCursor> CreateCursor(const std::wstring& statement) = 0;
    // The first value of the first row of the statement's result; VT_EMPTY when the
    // result has no row.
    virtual automation::Variant ExecuteScalar(const std::wstring& statement) = 0;
    virtual void Close() = 0;
};
