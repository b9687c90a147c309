// Counts the stored items of a table pair by kind, for the reports.
#pragma once

#include "compare/record_diff_item.h"

class ResultStore;
class TablePair;

class RecordCounter : public StoredItemVisitor {
public:
    void VisitEqual(EqualSideRecordItem&) override { ++equal_; }
    void VisitModified(ModifiedDiffItem&) override { ++modified_; }
    void VisitSecondOnly(SecondSideRecordItem&) override { ++secondOnly_; }
    void VisitFirstOnly(SideRecordItem&) override { ++firstOnly_; }

    int FirstOnly() const { return firstOnly_; }
    int SecondOnly() const { return secondOnly_; }
    int Modified() const { return modified_; }
    int Equal() const { return equal_; }
    int Total() const { return firstOnly_ + secondOnly_ + modified_ + equal_; }

private:
    int firstOnly_ = 0;
    int secondOnly_ = 0;
    int modified_ = 0;
    int equal_ = 0;
};

// The number of the pair's records of the kinds switched on (an aborted store
// counts only what was visited before the abort).
int CountSelectedRecords(const TablePair* pair, const ResultStore& store, bool firstOnly,
                         bool secondOnly, bool modified, bool equal);
