#include "output/key_refusal.h"

#include "compare/result_store.h"
#include "compare/table_pair_list.h"

std::wstring KeyRefusal(const ResultStore& store, const TablePairList& pairs)
{
    for (const auto& pair : pairs.Pairs()) {
        if (!pair->Second())
            continue;
        const TableResult* result = store.FindTableResult(pair.get());
        if (!result)
            continue;
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
