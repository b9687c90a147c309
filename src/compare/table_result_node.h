// A filtered copy of one table's result for the records view: only the kinds that
// are switched on, fed incrementally from the store while the comparison runs.
#pragma once

#include <vector>

#include "compare/locked_object.h"
#include "compare/result_row_source.h"
#include "compare/table_result.h"

class ResultStore;

class TableResultNode : public LockedObject, private StoredItemVisitor {
public:
    // Switches in the order Database1 only, Database2 only, modified, equal.
    TableResultNode(ResultStore& store, int tableIndex, bool firstOnly, bool secondOnly,
                    bool modified, bool equal);

    // Under the node's lock.
    int LocateLine(int line, int& offset) const { return rows_.LocateLine(line, offset); }
    int LocateLine(int line) const
    {
        int offset = 0;
        return rows_.LocateLine(line, offset);
    }
    // Items stay valid until the next GetRows.
    std::vector<RecordDiffItem*> GetRows(int start, int count);
    int LineCount() const { return rows_.LineCount(); }

    const CaptionList* Captions() const;
    // Takes what the store has gained since the last call.
    void Update();

    int TableIndex() const { return tableIndex_; }

    // Used by the store while it delivers, with this node's lock and the result's held.
    void Receive(const ResultRowSource& source);

private:
    void VisitEqual(EqualSideRecordItem& item) override;
    void VisitModified(ModifiedDiffItem& item) override;
    void VisitSecondOnly(SecondSideRecordItem& item) override;
    void VisitFirstOnly(SideRecordItem& item) override;
    void AddRest(int side, int firstRow, int count);

    ResultStore& store_;
    const int tableIndex_;
    const bool firstOnly_, secondOnly_, modified_, equal_;
    ResultRowSource rows_;
    RowItemPools pools_;
    int deliveredItems_ = 0;
    int deliveredRest_ = 0;
};
