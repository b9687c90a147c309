// What the merge of one table pair produces for each key: an equal record, a record
// only in Database1 or only in Database2, or a modified pair with the positions of
// the fields that differ. Items carry the records until the result store turns
// them into row positions.
#pragma once

#include <memory>
#include <vector>

#include "compare/db_record.h"

class EqualRecordItem;
class ModifiedRecordItem;
class SecondOnlyRecordItem;
class FirstOnlyRecordItem;

// The positions of the differing fields of a modified record, ascending. Shared:
// the stored result keeps it and records read again later point at the same list.
using ChangedFieldList = std::shared_ptr<const std::vector<int>>;

class RecordItemVisitor {
public:
    virtual ~RecordItemVisitor() = default;
    virtual void VisitEqual(EqualRecordItem& item) = 0;
    virtual void VisitModified(ModifiedRecordItem& item) = 0;
    virtual void VisitSecondOnly(SecondOnlyRecordItem& item) = 0;
    virtual void VisitFirstOnly(FirstOnlyRecordItem& item) = 0;
};

class RecordItemBase {
public:
    virtual ~RecordItemBase() = default;
    virtual void Accept(RecordItemVisitor& visitor) = 0;
};

class FirstOnlyRecordItem : public RecordItemBase {
public:
    explicit FirstOnlyRecordItem(std::unique_ptr<DbRecord> record) : record_(std::move(record)) {}
    void Accept(RecordItemVisitor& visitor) override { visitor.VisitFirstOnly(*this); }
    const DbRecord& Record() const { return *record_; }

private:
    std::unique_ptr<DbRecord> record_;
};

// Holds the record of Database2.
class SecondOnlyRecordItem : public FirstOnlyRecordItem {
public:
    using FirstOnlyRecordItem::FirstOnlyRecordItem;
    void Accept(RecordItemVisitor& visitor) override { visitor.VisitSecondOnly(*this); }
};

// Holds the record of Database1.
class EqualRecordItem : public FirstOnlyRecordItem {
public:
    using FirstOnlyRecordItem::FirstOnlyRecordItem;
    void Accept(RecordItemVisitor& visitor) override { visitor.VisitEqual(*this); }
};

class ModifiedRecordItem : public RecordItemBase {
public:
    ModifiedRecordItem(std::unique_ptr<DbRecord> first, std::unique_ptr<DbRecord> second,
                       ChangedFieldList changed)
        : first_(std::move(first)), second_(std::move(second)), changed_(std::move(changed))
    {
    }
    void Accept(RecordItemVisitor& visitor) override { visitor.VisitModified(*this); }
    const DbRecord& First() const { return *first_; }
    const DbRecord& Second() const { return *second_; }
    const ChangedFieldList& SharedChangedFields() const { return changed_; }
    const std::vector<int>& ChangedFields() const { return *changed_; }

private:
    std::unique_ptr<DbRecord> first_;
    std::unique_ptr<DbRecord> second_;
    ChangedFieldList changed_;
};
