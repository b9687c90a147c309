// Reads the rows of one select statement of one side: forwards for the merge, and
// again by position for the views and writers. The lock guards the cursor and the
// cached position, so the merge and a view never move the cursor at once.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "compare/db_record.h"
#include "compare/locked_object.h"
#include "compare/record_cursor.h"

class RecordReader : public LockedObject {
public:
    RecordReader(RecordConnection& connection, std::wstring statement);
    ~RecordReader() override;

    // Executes the statement unless the reader is open.
    void Open();
    void Close();
    bool IsOpen() const { return open_; }

    // The position of the next row, or RecordCursor::kPositionEof.
    int NextPosition();
    // The record at a position (null for kPositionEof); moves the cursor only when
    // it does not stand there already. The caller owns the record; `reuse`, when
    // given, is a record no longer needed whose memory is filled again.
    std::unique_ptr<DbRecord> GetRecordAt(int position, std::unique_ptr<DbRecord> reuse = {});
    // The record under the cursor (null at the end); the cursor moves on.
    std::unique_ptr<DbRecord> BuildRecord(std::unique_ptr<DbRecord> reuse = {});
    // The compact form each column's values can take (see RecordCursor::ImageKinds).
    std::vector<provider::RowImage::Kind> ImageKinds();
    // As GetRecordAt, the record holding a row image, column i in the form kinds[i]
    // where the value has it.
    std::unique_ptr<DbRecord> GetImageAt(int position, const provider::RowImage::Kind* kinds,
                                         std::unique_ptr<DbRecord> reuse = {});
    // As GetImageAt for the rows from `position` on, one into each of `records` (which
    // must not be null) until they are filled or the rows end, counting the records
    // filled in `taken`; should a row raise, the ones before it stay filled.
    void GetImagesAt(int position, const provider::RowImage::Kind* kinds,
                     std::vector<std::unique_ptr<DbRecord>>& records, size_t& taken);

    const std::wstring& Statement() const { return statement_; }

    // For a reader about to read many rows again by position (RecordCursor::HoldReads).
    void HoldReads(bool hold);
    // For a reader whose forward read is over for now (RecordCursor::EndReadAhead).
    void EndReadAhead();

private:
    // Opens the reader and stands its cursor on `position`.
    void MoveTo(int position);

    std::atomic<bool> open_{false};  // read by the data reader without this lock
    std::unique_ptr<RecordCursor> cursor_;
    RecordConnection& connection_;
    const std::wstring statement_;
    int cachedPosition_ = -1;
    std::vector<provider::RowImage*> images_;  // GetImagesAt's, kept for its memory
};

// Holds a reader's reads for as long as it lives.
class HeldReads {
public:
    explicit HeldReads(RecordReader& reader) : reader_(reader) { reader_.HoldReads(true); }
    ~HeldReads() { reader_.HoldReads(false); }
    HeldReads(const HeldReads&) = delete;
    HeldReads& operator=(const HeldReads&) = delete;

private:
    RecordReader& reader_;
};

// Walks one reader forwards for the merge, from wherever other readers left the
// cursor.
class RecordStream {
public:
    explicit RecordStream(RecordReader& reader);
    // Records holding row images, column i in the form kinds[i] where the value has
    // it (see RecordReader::GetImageAt): what a reader that only compares rows wants.
    RecordStream(RecordReader& reader, std::vector<provider::RowImage::Kind> kinds);
    // The next record, or null at the end. `reuse` as for GetRecordAt.
    std::unique_ptr<DbRecord> Next(std::unique_ptr<DbRecord> reuse = {});
    // Appends up to `count` next records to `out` under one lock, filling records
    // taken from the back of `reusable` first; false once the end is reached.
    bool NextBatch(std::vector<std::unique_ptr<DbRecord>>& out, size_t count,
                   std::vector<std::unique_ptr<DbRecord>>& reusable);
    // The stream is done: what its reader read ahead for it goes.
    void End() { reader_.EndReadAhead(); }

private:
    std::unique_ptr<DbRecord> Read(std::unique_ptr<DbRecord> reuse);

    RecordReader& reader_;
    const std::vector<provider::RowImage::Kind> kinds_;  // empty: records of values
    int nextPosition_;
    std::vector<std::unique_ptr<DbRecord>> filling_;  // a batch of images being read
};
