#include "compare/record_reader.h"

RecordReader::RecordReader(RecordConnection& connection, std::wstring statement)
    : connection_(connection), statement_(std::move(statement))
{
}

RecordReader::~RecordReader()
{
    try {
        Close();
    } catch (...) {
        // A failing close at destruction has no one to report to.
    }
}

void RecordReader::Open()
{
    if (open_)
        return;
    if (!cursor_)
        cursor_ = connection_.CreateCursor(statement_);
    cursor_->Open();
    // A fresh execution stands at its first row, whatever the old cursor did.
    cachedPosition_ = -1;
    open_ = true;
}

void RecordReader::Close()
{
    if (!open_)
        return;
    open_ = false;
    // The position belongs to the closed execution; keeping it would make the next
    // read after a reopen skip its repositioning and return the wrong row.
    cachedPosition_ = -1;
    cursor_->Close();
}

void RecordReader::HoldReads(bool hold)
{
    ObjectLock lock(Mutex());
    if (open_)
        cursor_->HoldReads(hold);
}

void RecordReader::EndReadAhead()
{
    ObjectLock lock(Mutex());
    if (open_)
        cursor_->EndReadAhead();
}

int RecordReader::NextPosition()
{
    Open();
    return cursor_->IsEof() ? RecordCursor::kPositionEof : cursor_->AbsolutePosition();
}

std::unique_ptr<DbRecord> RecordReader::GetRecordAt(int position, std::unique_ptr<DbRecord> reuse)
{
    if (position == RecordCursor::kPositionEof)
        return nullptr;
    MoveTo(position);
    return BuildRecord(std::move(reuse));
}

void RecordReader::MoveTo(int position)
{
    Open();
    if (position != cachedPosition_) {
        cursor_->SetAbsolutePosition(position);
        cachedPosition_ = position;
    }
}

std::unique_ptr<DbRecord> RecordReader::BuildRecord(std::unique_ptr<DbRecord> reuse)
{
    if (cursor_->IsEof())
        return nullptr;
    std::unique_ptr<DbRecord> record = reuse ? std::move(reuse) : std::make_unique<DbRecord>();
    const int count = cursor_->FieldCount();
    record->Reuse(cursor_->AbsolutePosition(), count);
    // The row goes into the record and the cursor on to the next row in one step.
    cursor_->TakeRowAndMoveNext(*record);
    cachedPosition_ += 1;
    return record;
}

std::vector<provider::RowImage::Kind> RecordReader::ImageKinds()
{
    Open();
    return cursor_->ImageKinds();
}

std::unique_ptr<DbRecord> RecordReader::GetImageAt(int position,
                                                   const provider::RowImage::Kind* kinds,
                                                   std::unique_ptr<DbRecord> reuse)
{
    if (position == RecordCursor::kPositionEof)
        return nullptr;
    MoveTo(position);
    if (cursor_->IsEof())
        return nullptr;
    std::unique_ptr<DbRecord> record = reuse ? std::move(reuse) : std::make_unique<DbRecord>();
    cursor_->TakeImageAndMoveNext(record->ReuseAsImage(cursor_->AbsolutePosition()), kinds);
    cachedPosition_ += 1;
    return record;
}

namespace {
constexpr size_t kPrefetchAhead = 6;
}  // namespace

void RecordReader::GetImagesAt(int position, const provider::RowImage::Kind* kinds,
                               std::vector<std::unique_ptr<DbRecord>>& records, size_t& taken)
{
    taken = 0;
    if (position == RecordCursor::kPositionEof || records.empty())
        return;
    MoveTo(position);
    if (cursor_->IsEof())
        return;
    // Positions are consecutive from the current one.
    const int first = cursor_->AbsolutePosition();
    images_.clear();
    for (size_t i = 0; i < records.size(); ++i)
        images_.push_back(&records[i]->ReuseAsImage(first + static_cast<int>(i)));
    try {
        cursor_->TakeImagesAndMoveNext(images_.data(), images_.size(), kinds, taken);
    } catch (...) {
        cachedPosition_ += static_cast<int>(taken);
        throw;
    }
    cachedPosition_ += static_cast<int>(taken);
}

RecordStream::RecordStream(RecordReader& reader) : RecordStream(reader, {}) {}

RecordStream::RecordStream(RecordReader& reader, std::vector<provider::RowImage::Kind> kinds)
    : reader_(reader), kinds_(std::move(kinds))
{
    ObjectLock lock(reader_.Mutex());
    nextPosition_ = reader_.NextPosition();
}

std::unique_ptr<DbRecord> RecordStream::Next(std::unique_ptr<DbRecord> reuse)
{
    ObjectLock lock(reader_.Mutex());
    auto record = Read(std::move(reuse));
    nextPosition_ = reader_.NextPosition();
    return record;
}

std::unique_ptr<DbRecord> RecordStream::Read(std::unique_ptr<DbRecord> reuse)
{
    if (kinds_.empty())
        return reader_.GetRecordAt(nextPosition_, std::move(reuse));
    return reader_.GetImageAt(nextPosition_, kinds_.data(), std::move(reuse));
}

bool RecordStream::NextBatch(std::vector<std::unique_ptr<DbRecord>>& out, size_t count,
                             std::vector<std::unique_ptr<DbRecord>>& reusable)
{
    ObjectLock lock(reader_.Mutex());
    if (!kinds_.empty()) {
        // Row images are taken many at a time, each layer below passed once per batch.
        filling_.clear();
        for (size_t n = 0; n < count; ++n) {
            if (reusable.empty()) {
                filling_.push_back(std::make_unique<DbRecord>());
                continue;
            }
            filling_.push_back(std::move(reusable.back()));
            reusable.pop_back();
            if (reusable.size() > 2 * kPrefetchAhead)
                reusable[reusable.size() - 1 - 2 * kPrefetchAhead]->Prefetch();
            if (reusable.size() > kPrefetchAhead)
                reusable[reusable.size() - 1 - kPrefetchAhead]->PrefetchText();
        }
        size_t taken = 0;
        auto hand = [&] {
            // The rows read go out; the rest are there to fill next time.
            for (size_t n = 0; n < filling_.size(); ++n) {
                if (n < taken)
                    out.push_back(std::move(filling_[n]));
                else
                    reusable.push_back(std::move(filling_[n]));
            }
            filling_.clear();
        };
        try {
            reader_.GetImagesAt(nextPosition_, kinds_.data(), filling_, taken);
        } catch (...) {
            // The rows before the failing one go out ahead of the error, as they would
            // one by one, and the stream stands on the failing row.
            hand();
            nextPosition_ += static_cast<int>(taken);
            throw;
        }
        hand();
        nextPosition_ = reader_.NextPosition();
        return taken == count;
    }
    for (size_t n = 0; n < count; ++n) {
        std::unique_ptr<DbRecord> reuse;
        if (!reusable.empty()) {
            reuse = std::move(reusable.back());
            reusable.pop_back();
            // The records to fill next are most likely out of the cache by now:
            // ask for them a few rows ahead, so their memory arrives in time.
            // Text is fetched in a second step, once the values that point at it
            // have arrived.
            if (reusable.size() > 2 * kPrefetchAhead)
                reusable[reusable.size() - 1 - 2 * kPrefetchAhead]->Prefetch();
            if (reusable.size() > kPrefetchAhead)
                reusable[reusable.size() - 1 - kPrefetchAhead]->PrefetchText();
        }
        auto record = Read(std::move(reuse));
        nextPosition_ = reader_.NextPosition();
        if (!record)
            return false;
        out.push_back(std::move(record));
    }
    return true;
}
