#include "compare/record_counter.h"

#include "compare/result_store.h"

int CountSelectedRecords(const TablePair* pair, const ResultStore& store, bool firstOnly,
                         bool secondOnly, bool modified, bool equal)
{
    RecordCounter counter;
    store.VisitTable(pair, counter);
    return (firstOnly ? counter.FirstOnly() : 0) + (secondOnly ? counter.SecondOnly() : 0) +
           (modified ? counter.Modified() : 0) + (equal ? counter.Equal() : 0);
}
