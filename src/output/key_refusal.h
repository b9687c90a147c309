// The check that every writer of statements makes first: a statement finds its row by the
// key fields' values, so a key value held by more than one row of a side would let one
// UPDATE or DELETE reach rows it was never meant for. Such a table is refused whole.
#pragma once

#include <string>

class DataReader;
class ResultStore;
class TablePair;
class TablePairList;

// Reads the keys of the pair's one-sided tail (its rest range), whose rows the merge does not
// read, and notes on its result a key value held by two of those rows; nothing when the
// comparison settled the tail's keys itself (TableResult::RestKeysChecked).
void CheckUnreadKeys(const TablePair& pair, ResultStore& store, DataReader& reader);

// What a report shows of a pair whose key is not unique (see DataCompareModel::KeyNote), after
// CheckUnreadKeys; empty when the key held or the pair has no result.
std::wstring ReportKeyNote(const TablePair& pair, ResultStore& store, DataReader& reader);

// The message that refuses the comparison's result for writing statements, naming the first
// table, side and key value found on more than one row; empty when every compared table's
// key held on both sides. With a reader, the keys of a one-sided tail (its rest range) that
// the comparison did not settle are read here first, once per comparison, and what they show
// is noted on the result as the comparison notes it. Read errors propagate.
std::wstring KeyRefusal(ResultStore& store, DataReader* reader, const TablePairList& pairs);
