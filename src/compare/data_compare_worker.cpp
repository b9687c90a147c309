#include "compare/data_compare_worker.h"

#include <exception>
#include <thread>

#include "compare/comparison_options.h"
#include "compare/data_reader.h"
#include "compare/read_ahead_stream.h"
#include "compare/record_reader.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "database/db_open_exception.h"
#include "database/schema_table.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/range_scan.h"

namespace {

// The window shows the text in a box of its own captioned "Error": the text is the failure
// itself, without a caption of its own or an empty line after it.
std::wstring ComErrorText(const automation::ComError& error)
{
    if (error.Description().empty())
        return L"Database error.";
    return error.Description();
}

std::wstring Bracketed(const std::wstring& name)
{
    return L"[" + name + L"]";
}

void AppendListEntry(std::wstring& list, const std::wstring& entry)
{
    if (!list.empty())
        list += L", ";
    list += entry;
}

// The merge reads rows as row images: a column takes a compact form only where
// both sides give it the same one, so that the two values always compare by the
// rule they would follow as automation values.
std::vector<provider::RowImage::Kind> SharedImageKinds(RecordReader& reader1, RecordReader& reader2)
{
    std::vector<provider::RowImage::Kind> kinds1, kinds2;
    {
        ObjectLock lock(reader1.Mutex());
        kinds1 = reader1.ImageKinds();
    }
    {
        ObjectLock lock(reader2.Mutex());
        kinds2 = reader2.ImageKinds();
    }
    std::vector<provider::RowImage::Kind> kinds(std::max(kinds1.size(), kinds2.size()),
                                                provider::RowImage::Value);
    for (size_t i = 0; i < std::min(kinds1.size(), kinds2.size()); ++i)
        if (kinds1[i] == kinds2[i])
            kinds[i] = kinds1[i];
    return kinds;
}

bool Contains(const std::vector<const SchemaField*>& fields, const SchemaField* field)
{
    return std::find(fields.begin(), fields.end(), field) != fields.end();
}

// Whether no two rows of the table can hold the same values in the key fields: its primary
// key, or a unique key or index none of whose columns admits Null (two Nulls do not clash in
// a unique index), lies within them.
bool KeyIsHeld(const SchemaTable& table, const std::vector<const SchemaField*>& keyFields)
{
    auto within = [&](const std::vector<SchemaField*>& columns, bool primary, bool nullsBarred) {
        if (columns.empty())
            return false;
        for (const SchemaField* column : columns)
            if (!Contains(keyFields, column) || (!primary && !nullsBarred && column->IsNullable()))
                return false;
        return true;
    };
    for (const auto& key : table.Keys())
        if (key->IsPrimaryOrUnique() && within(key->Fields(), key->IsPrimary(), false))
            return true;
    for (const auto& index : table.Indexes())
        if ((index->IsPrimaryKey() || index->IsUnique()) &&
            within(index->Columns(), index->IsPrimaryKey(),
                   index->Nulls() == SchemaIndex::kNullsDisallow))
            return true;
    return false;
}

}  // namespace

DataCompareWorker::DataCompareWorker(const TablePairList& pairs, ResultStore& store,
                                     DataReader& reader)
    : tables_(SnapshotPairs(pairs)), store_(store), reader_(reader)
{
    // Read anew for every run, on the thread that prepares it: the settings store is
    // the UI thread's, where the settings dialog writes it.
    ComparisonOptions options;
    nullEqualsEmpty_ = options.LoadNullEqualsEmpty().Value();
}

DataCompareWorker::~DataCompareWorker() = default;

std::vector<ComparedTable> DataCompareWorker::SnapshotPairs(const TablePairList& pairs)
{
    std::vector<ComparedTable> tables;
    for (const auto& pair : pairs.Pairs()) {
        if (!pair->IsMatched())
            continue;
        ComparedTable table{pair.get(), pair->First()->Name(), pair->Second()->Name(), {}};
        std::vector<const SchemaField*> keys1, keys2;
        for (const auto& field : pair->Fields().Pairs()) {
            if (!field->IsMatched())
                continue;
            table.fields.push_back(
                {field->First()->Name(), field->Second()->Name(), field->IsKey()});
            if (field->IsKey()) {
                keys1.push_back(field->First());
                keys2.push_back(field->Second());
            }
        }
        table.keyHeld[0] = KeyIsHeld(*pair->First(), keys1);
        table.keyHeld[1] = KeyIsHeld(*pair->Second(), keys2);
        tables.push_back(std::move(table));
    }
    return tables;
}

void DataCompareWorker::BuildQueries(const ComparedTable& table, std::wstring& query1,
                                     std::wstring& query2, CaptionList& captions,
                                     std::vector<int>& keyIndexes)
{
    keyIndexes.clear();
    captions.clear();
    std::wstring select1, select2, order1, order2;
    int counter = 0;
    for (const auto& field : table.fields) {
        AppendListEntry(select1, Bracketed(field.name1));
        AppendListEntry(select2, Bracketed(field.name2));
        if (field.key) {
            keyIndexes.push_back(counter);
            AppendListEntry(order1, Bracketed(field.name1));
            AppendListEntry(order2, Bracketed(field.name2));
        }
        captions.push_back(field.name1 == field.name2 ? field.name1
                                                      : field.name1 + L" / " + field.name2);
        ++counter;
    }
    query1 = L"select " + select1 + L" from [" + table.name1 + L"] order by " + order1;
    query2 = L"select " + select2 + L" from [" + table.name2 + L"] order by " + order2;
}

void DataCompareWorker::RequestStop()
{
    running_.store(false);
    WakeTicker();
}

std::wstring DataCompareWorker::ErrorText() const
{
    return errorText_;
}

void DataCompareWorker::WakeTicker()
{
    std::lock_guard<std::mutex> lock(tickMutex_);
    tickWake_.notify_all();
}

void DataCompareWorker::Run()
{
    std::wstring errorText;
    bool failed = false;
    for (const ComparedTable& table : tables_) {
        if (!IsRunning())
            break;
        try {
            if (ComparePair(table, nullEqualsEmpty_) == PairEnd::Stopped)
                break;
        } catch (const DbOpenException& error) {
            errorText = error.Message();
            failed = true;
        } catch (const automation::ComError& error) {
            errorText = ComErrorText(error);
            failed = true;
        } catch (const std::exception& error) {
            errorText = automation::FromUtf8(error.what());
            failed = true;
        } catch (...) {
            errorText = L"Database error.";
            failed = true;
        }
        if (failed)
            break;
    }
    if (!failed && !IsRunning()) {
        // Stopped: no completion notice; the queued items go with the queue.
        endEvent_.Wait();
        return;
    }
    EndRun(failed, errorText);
}

void DataCompareWorker::EndRun(bool withError, const std::wstring& errorText)
{
    if (withError) {
        errorText_ = errorText;
        error_.store(true);
    }
    running_.store(false);
    WakeTicker();
    endEvent_.Wait();
    if (finished_)
        finished_();
}

void DataCompareWorker::CountBoth(const ComparedTable& table, int& count1, int& count2)
{
    // Each count reads a whole index of its side: the two run at once, on their own
    // connections, where there is a processor for each. A failure is the one the
    // counts would meet one after the other: Database1's first.
    if (provider::RangeScan::UsableCores() < 2) {
        count1 = reader_.CountRows1(table.name1);
        count2 = reader_.CountRows2(table.name2);
        return;
    }
    std::exception_ptr error2;
    std::thread other([&] {
        try {
            count2 = reader_.CountRows2(table.name2);
        } catch (...) {
            error2 = std::current_exception();
        }
    });
    try {
        count1 = reader_.CountRows1(table.name1);
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (error2)
        std::rethrow_exception(error2);
}

DataCompareWorker::PairEnd DataCompareWorker::ComparePair(const ComparedTable& table,
                                                          bool nullEqualsEmpty)
{
    RecordReaderPair* readers = nullptr;
    int count1 = 0, count2 = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(section_);
        processed_.store(0);
        CountBoth(table, count1, count2);
        total_.store(count1 + count2);
        std::wstring query1, query2;
        CaptionList captions;
        BuildQueries(table, query1, query2, captions, keyIndexes_);
        store_.AddTableResult(table.pair, std::move(captions), query1, query2);
        equal_.store(0);
        firstOnly_.store(0);
        secondOnly_.store(0);
        modified_.store(0);
        readers = &reader_.OpenRecordsets(table.pair, query1, query2);
    }

    int restRow1 = 0, restRow2 = 0;
    {
        // Both sides read ahead on threads of their own while the merge compares, as far
        // as the processors go: with two, Database1 is read by the merge itself, and with
        // one, both are. The reading ends here, before the pair stops being current.
        const auto kinds = SharedImageKinds(*readers->reader1, *readers->reader2);
        const unsigned cores = provider::RangeScan::UsableCores();
        ReadAheadStream stream1(*readers->reader1, kinds, cores >= 3);
        ReadAheadStream stream2(*readers->reader2, kinds, cores >= 2);
        if (Merge(table, stream1, stream2, nullEqualsEmpty, restRow1, restRow2) ==
            PairEnd::Stopped)
            return PairEnd::Stopped;
    }
    // The unread tails exist on one side only: record them as ranges, unread.
    if (restRow1)
        CheckRestKeys(table, 0, restRow1, count1);
    if (restRow2)
        CheckRestKeys(table, 1, restRow2, count2);
    {
        std::lock_guard<std::recursive_mutex> lock(section_);
        ObjectLock storeLock(store_.Mutex());
        if (TableResult* result = store_.Current()) {
            ObjectLock resultLock(result->Mutex());
            result->MarkRestKeysChecked();
        }
    }
    if (restRow1) {
        const int remaining = std::max(0, count1 - restRow1 + 1);
        {
            std::lock_guard<std::recursive_mutex> lock(section_);
            ObjectLock storeLock(store_.Mutex());
            store_.SetRest1(restRow1, count1);
        }
        processed_ += remaining;
        firstOnly_ += remaining;
    }
    if (restRow2) {
        const int remaining = std::max(0, count2 - restRow2 + 1);
        {
            std::lock_guard<std::recursive_mutex> lock(section_);
            ObjectLock storeLock(store_.Mutex());
            store_.SetRest2(restRow2, count2);
        }
        processed_ += remaining;
        secondOnly_ += remaining;
    }
    FlushItems();
    reader_.ClearCurrent();
    tablesDone_ += 1;
    if (tableDone_)
        tableDone_(tablesDone_.load());
    return PairEnd::Done;
}

DataCompareWorker::PairEnd DataCompareWorker::Merge(const ComparedTable& table,
                                                    ReadAheadStream& stream1,
                                                    ReadAheadStream& stream2, bool nullEqualsEmpty,
                                                    int& restRow1, int& restRow2)
{
    const std::vector<int> keys = keyIndexes_;
    // Results and counts go to the queue and the shared counters a batch at a time:
    // one lock and a few atomic additions per batch, not per row. The counters move
    // only after their items are queued, as they would one by one.
    MergeBatch batch;
    batch.items.reserve(kMergeBatch);
    // Modified records mostly differ in the same fields: consecutive equal lists
    // are stored once and shared.
    ChangedFieldList lastChanged;
    // Each side arrives in key order, so a key value held by several rows of a side
    // arrives as neighbours: every row is compared with the one before it on its side,
    // which is kept until its successor has come and then goes back to its stream.
    // A tail left unread (a rest range) is checked here at its first row only; the rest of
    // it by CheckRestKeys. A side whose schema holds the key unique needs no such check.
    std::unique_ptr<DbRecord> before1, before2;
    bool repeated[2] = {false, false};
    auto advance = [&](ReadAheadStream& stream, std::unique_ptr<DbRecord>& rec,
                       std::unique_ptr<DbRecord>& before, int side) {
        if (table.keyHeld[side]) {
            rec = stream.Next(std::move(rec));
            return;
        }
        std::unique_ptr<DbRecord> next = stream.Next(std::move(before));
        before = std::move(rec);
        rec = std::move(next);
        if (rec && !repeated[side] && rec->CompareKeys(*before, keys, false) == 0) {
            repeated[side] = true;
            NoteDuplicateKey(side, rec->KeyText(keys));
        }
    };
    std::unique_ptr<DbRecord> rec1 = stream1.Next();
    std::unique_ptr<DbRecord> rec2 = stream2.Next();
    while (rec1 && rec2) {
        // Keys never treat NULL and empty text alike, whatever the setting.
        const int c = rec1->CompareKeys(*rec2, keys, false);
        if (c < 0) {
            batch.items.push_back({QueuedItem::kFirstOnly, rec1->RowNumber(), 0, nullptr});
            advance(stream1, rec1, before1, 0);
            batch.firstOnly += 1;
        } else if (c > 0) {
            batch.items.push_back({QueuedItem::kSecondOnly, rec2->RowNumber(), 0, nullptr});
            advance(stream2, rec2, before2, 1);
            batch.secondOnly += 1;
        } else {
            std::unique_ptr<std::vector<int>> changed;
            if (rec1->CompareValues(*rec2, changed, nullEqualsEmpty)) {
                batch.items.push_back({QueuedItem::kEqual, rec1->RowNumber(), 0, nullptr});
                batch.equal += 1;
            } else {
                if (!lastChanged || *lastChanged != *changed)
                    lastChanged = std::move(changed);
                batch.items.push_back(
                    {QueuedItem::kModified, rec1->RowNumber(), rec2->RowNumber(), lastChanged});
                batch.modified += 1;
            }
            advance(stream1, rec1, before1, 0);
            advance(stream2, rec2, before2, 1);
        }
        if (batch.items.size() >= kMergeBatch)
            Publish(batch);
        if (!IsRunning())
            return PairEnd::Stopped;
    }
    Publish(batch);
    // Whatever is left exists on one side only: its first row starts a rest range.
    if (rec1)
        restRow1 = rec1->RowNumber();
    if (rec2)
        restRow2 = rec2->RowNumber();
    return PairEnd::Done;
}

void DataCompareWorker::CheckRestKeys(const ComparedTable& table, int side, int firstRow,
                                      int lastRow)
{
    // The first row of the tail was compared with the row before it, and a tail of one row
    // cannot repeat itself.
    if (table.keyHeld[side] || lastRow - firstRow < 1)
        return;
    {
        std::lock_guard<std::recursive_mutex> lock(section_);
        ObjectLock storeLock(store_.Mutex());
        TableResult* result = store_.Current();
        if (!result)
            return;
        ObjectLock resultLock(result->Mutex());
        if (result->DuplicateKey(side))
            return;
    }
    // Every row before the tail was compared with its neighbour, so the side's first key
    // value held twice, if any, lies in the tail: grouped by the key fields, the whole table
    // gives it without its rows leaving the database.
    std::wstring keyList;
    std::vector<int> positions;
    for (const auto& field : table.fields) {
        if (!field.key)
            continue;
        AppendListEntry(keyList, Bracketed(side == 0 ? field.name1 : field.name2));
        positions.push_back(static_cast<int>(positions.size()));
    }
    const std::wstring& name = side == 0 ? table.name1 : table.name2;
    const std::unique_ptr<DbRecord> repeated = reader_.ReadFirstRow(
        side, L"select top 1 " + keyList + L" from [" + name + L"] group by " + keyList +
                  L" having count(*) > 1 order by " + keyList);
    if (repeated)
        NoteDuplicateKey(side, repeated->KeyText(positions));
}

void DataCompareWorker::NoteDuplicateKey(int side, std::wstring keyText)
{
    std::lock_guard<std::recursive_mutex> lock(section_);
    ObjectLock storeLock(store_.Mutex());
    if (TableResult* result = store_.Current()) {
        ObjectLock resultLock(result->Mutex());
        result->NoteDuplicateKey(side, std::move(keyText));
    }
}

void DataCompareWorker::Publish(MergeBatch& batch)
{
    if (batch.items.empty())
        return;
    if (queue_.AddAll(batch.items) >= kMaxQueued && !flushWanted_.load())
        WantFlush();
    processed_ += batch.firstOnly + batch.secondOnly + 2 * (batch.equal + batch.modified);
    firstOnly_ += batch.firstOnly;
    secondOnly_ += batch.secondOnly;
    equal_ += batch.equal;
    modified_ += batch.modified;
    batch.firstOnly = batch.secondOnly = batch.equal = batch.modified = 0;
}

void DataCompareWorker::WantFlush()
{
    std::lock_guard<std::mutex> lock(tickMutex_);
    flushWanted_.store(true);
    tickWake_.notify_all();
}

void DataCompareWorker::FlushItems(bool report)
{
    std::lock_guard<std::recursive_mutex> lock(section_);
    if (!IsRunning() || !store_.HasCurrent())
        return;
    ItemQueue::Items& items = queue_.TakeAll();
    {
        ObjectLock storeLock(store_.Mutex());
        ObjectLock resultLock(store_.Current()->Mutex());
        store_.SetCounts(equal_.load(), firstOnly_.load(), secondOnly_.load(), modified_.load());
        ResultRowSource& rows = store_.Current()->Rows();
        for (QueuedItem& item : items) {
            switch (item.kind) {
                case QueuedItem::kEqual:
                    rows.AddEqual(item.row1);
                    break;
                case QueuedItem::kFirstOnly:
                    rows.Add(std::make_unique<SideRecordItem>(item.row1));
                    break;
                case QueuedItem::kSecondOnly:
                    rows.Add(std::make_unique<SecondSideRecordItem>(item.row1));
                    break;
                case QueuedItem::kModified:
                    rows.Add(std::make_unique<ModifiedDiffItem>(item.row1, item.row2,
                                                                std::move(item.changed)));
                    break;
            }
        }
    }
    if (report && progress_)
        progress_(tablesDone_.load(), processed_.load(), total_.load());
    queue_.ClearBack();
}

void DataCompareWorker::ProgressTicker()
{
    auto due = std::chrono::steady_clock::now() + kFirstTick;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(tickMutex_);
            tickWake_.wait_until(lock, due, [this] { return !IsRunning() || flushWanted_.load(); });
        }
        if (!IsRunning())
            break;
        // An early flush only empties the queue; progress keeps its own pace.
        const bool early = std::chrono::steady_clock::now() < due;
        flushWanted_.store(false);
        FlushItems(!early);
        if (!early)
            due += kTickPeriod;
    }
    SignalDone();
}
