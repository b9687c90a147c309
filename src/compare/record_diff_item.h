// The stored form of a comparison result: row positions in the open results instead
// of records. Whoever needs the values reads the rows again by position.
#pragma once

#include <algorithm>
#include <vector>

#include "compare/record_item.h"

class SideRecordItem;
class SecondSideRecordItem;
class EqualSideRecordItem;
class ModifiedDiffItem;

// Visits stored items; the slots follow the record-item visitor's order.
class StoredItemVisitor {
public:
    virtual ~StoredItemVisitor() = default;
    virtual void VisitEqual(EqualSideRecordItem& item) = 0;
    virtual void VisitModified(ModifiedDiffItem& item) = 0;
    virtual void VisitSecondOnly(SecondSideRecordItem& item) = 0;
    virtual void VisitFirstOnly(SideRecordItem& item) = 0;
};

class RecordDiffItem {
public:
    virtual ~RecordDiffItem() = default;
    virtual void Accept(StoredItemVisitor& visitor) = 0;
};

// A row only in Database1.
class SideRecordItem : public RecordDiffItem {
public:
    explicit SideRecordItem(int row) : row_(row) {}
    void Accept(StoredItemVisitor& visitor) override { visitor.VisitFirstOnly(*this); }
    int Row() const { return row_; }
    void SetRow(int row) { row_ = row; }

private:
    int row_;
};

// A row only in Database2 (the row is a Database2 position).
class SecondSideRecordItem : public SideRecordItem {
public:
    using SideRecordItem::SideRecordItem;
    void Accept(StoredItemVisitor& visitor) override { visitor.VisitSecondOnly(*this); }
};

// An equal record (the row is its Database1 position).
class EqualSideRecordItem : public SideRecordItem {
public:
    using SideRecordItem::SideRecordItem;
    void Accept(StoredItemVisitor& visitor) override { visitor.VisitEqual(*this); }
};

class ModifiedDiffItem : public RecordDiffItem {
public:
    ModifiedDiffItem(int row1, int row2, ChangedFieldList changed)
        : row1_(row1), row2_(row2), changed_(std::move(changed))
    {
    }
    void Accept(StoredItemVisitor& visitor) override { visitor.VisitModified(*this); }
    int Row1() const { return row1_; }
    int Row2() const { return row2_; }
    const ChangedFieldList& SharedChangedFields() const { return changed_; }
    const std::vector<int>& ChangedFields() const { return *changed_; }
    bool Contains(int fieldIndex) const
    {
        return std::binary_search(changed_->begin(), changed_->end(), fieldIndex);
    }

private:
    int row1_;
    int row2_;
    ChangedFieldList changed_;
};
