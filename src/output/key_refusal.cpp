#include "output/key_refusal.h"

#include <optional>

#include "compare/data_compare_model.h"
#include "compare/data_reader.h"
#include "compare/record_reader.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"

namespace {

// The positions of the key fields in the select list of a pair, as the comparison made it.
std::vector<int> KeyIndexes(const TablePair& pair)
{
    std::vector<int> keys;
    int position = 0;
    for (const auto& field : pair.Fields().Pairs()) {
        if (!field->Second())
            continue;
        if (field->IsKey())
            keys.push_back(position);
        ++position;
    }
    return keys;
}

// Reads the rows of a result's rest range in order and notes the first key value that two
// neighbours share. Its first row was compared with the row before it by the merge.
void CheckRestKeys(const TablePair& pair, TableResult& result, DataReader& reader,
                   const ResultStore& store)
{
    int side = 0, first = 0, count = 0;
    {
        ObjectLock lock(result.Mutex());
        if (result.RestKeysChecked())
            return;
        const ResultRowSource& rows = result.Rows();
        side = rows.RestSide();
        first = rows.RestFirstRow();
        count = rows.RestCount();
    }
    std::optional<std::wstring> repeated;
    if (count > 1) {
        const std::vector<int> keys = KeyIndexes(pair);
        RecordReaderPair& readers = reader.GetTableRecords(&pair);
        RecordReader& rows = side == 0 ? *readers.reader1 : *readers.reader2;
        HeldReads held(rows);
        // The result's lock is taken only after the reader's is let go: visits of the store
        // take them in the other order.
        ObjectLock readerLock(rows.Mutex());
        std::unique_ptr<DbRecord> before = rows.GetRecordAt(first), row;
        for (int position = first + 1; before && position < first + count; ++position) {
            if (store.IsAborted())
                return;
            row = rows.GetRecordAt(position, std::move(row));
            if (!row)
                break;
            if (row->CompareKeys(*before, keys, false) == 0) {
                repeated = row->KeyText(keys);
                break;
            }
            std::swap(row, before);
        }
    }
    ObjectLock lock(result.Mutex());
    if (repeated)
        result.NoteDuplicateKey(side, std::move(*repeated));
    result.MarkRestKeysChecked();
}

}  // namespace

void CheckUnreadKeys(const TablePair& pair, ResultStore& store, DataReader& reader)
{
    if (TableResult* result = store.FindTableResult(&pair))
        CheckRestKeys(pair, *result, reader, store);
}

std::wstring ReportKeyNote(const TablePair& pair, ResultStore& store, DataReader& reader)
{
    TableResult* result = store.FindTableResult(&pair);
    if (!result)
        return {};
    CheckRestKeys(pair, *result, reader, store);
    ObjectLock lock(result->Mutex());
    return DataCompareModel::KeyNote(*result);
}

std::wstring KeyRefusal(ResultStore& store, DataReader* reader, const TablePairList& pairs)
{
    for (const auto& pair : pairs.Pairs()) {
        if (!pair->Second())
            continue;
        TableResult* result = store.FindTableResult(pair.get());
        if (!result)
            continue;
        if (reader)
            CheckRestKeys(*pair, *result, *reader, store);
        ObjectLock lock(result->Mutex());
        for (int side = 0; side < 2; ++side) {
            const auto& value = result->DuplicateKey(side);
            if (!value)
                continue;
            const std::wstring& table = side == 0 ? pair->First()->Name() : pair->Second()->Name();
            return L"The key of table " + table + L" is not unique in Database" +
                   std::to_wstring(side + 1) + L": the key value " + *value +
                   L" is held by more than one row, so a statement could change or delete rows "
                   L"it is not meant for. Nothing was written. Choose key fields whose values "
                   L"are unique in both databases.";
        }
    }
    return {};
}
