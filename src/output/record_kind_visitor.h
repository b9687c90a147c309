// Turns the stored result of one table pair into statements: each kind of record item, read
// again from its side's record reader, goes to the emitter's slot for the current pass. The
// target database decides which side's record becomes which statement.
#pragma once

#include <memory>

#include "compare/db_record.h"
#include "compare/record_diff_item.h"

class IProgress;
class RecordReader;
class ResultStore;
class TablePairList;

// The number of stored record items of every pair with a Database2 side: one step per item
// visited, the progress range of the writers.
int StoredItemCount(const TablePairList& pairs, const ResultStore& store);

// Where the visitor's records go, one slot per statement kind: the script's statements, or the
// rows of a report. Each slot may throw to end the visit.
class RecordEmitter {
public:
    virtual ~RecordEmitter() = default;
    virtual void Insert(const DbRecord& record) = 0;
    // target is null unless the visitor reads both records.
    virtual void Update(const DbRecord* target, const DbRecord& source,
                        const ModifiedDiffItem* item) = 0;
    virtual void Delete(const DbRecord& record) = 0;
    virtual void Equal(const DbRecord& record) = 0;
};

// The statement kinds a pass writes.
struct StatementKinds {
    bool insert = false;
    bool update = false;
    bool erase = false;
    bool equal = false;  // never set by the script writer
};

class RecordKindVisitor : public StoredItemVisitor {
public:
    // bothRecords: a modified record also reads the target side's record (for writers that
    // show both); the script's UPDATE needs only the source record.
    RecordKindVisitor(RecordEmitter& emitter, StatementKinds kinds, RecordReader& reader1,
                      RecordReader& reader2, IProgress& progress, bool bothRecords);

    // Makes the variant for a target database: 1 = Database1, 2 = Database2.
    static std::unique_ptr<RecordKindVisitor> ForTarget(int direction, RecordEmitter& emitter,
                                                        StatementKinds kinds, RecordReader& reader1,
                                                        RecordReader& reader2, IProgress& progress,
                                                        bool bothRecords);

    void VisitEqual(EqualSideRecordItem& item) override;

protected:
    // The record at a row of a side's reader, read into `record` (whose memory serves again
    // for row after row); throws when the row is gone.
    const DbRecord& Read(RecordReader& reader, int row, std::unique_ptr<DbRecord>& record);
    void EmitUpdate(ModifiedDiffItem& item, RecordReader& sourceReader, int sourceRow,
                    RecordReader& targetReader, int targetRow);

    RecordEmitter& emitter_;
    StatementKinds kinds_;
    RecordReader& reader1_;
    RecordReader& reader2_;
    IProgress& progress_;
    bool bothRecords_;
    std::unique_ptr<DbRecord> record_;
    std::unique_ptr<DbRecord> target_;  // the other record of a modified one
};

// Target Database1: Database2's records are inserted and its values updated; Database1-only
// records are deleted.
class RecordKindVisitorToFirst : public RecordKindVisitor {
public:
    using RecordKindVisitor::RecordKindVisitor;
    void VisitModified(ModifiedDiffItem& item) override;
    void VisitSecondOnly(SecondSideRecordItem& item) override;
    void VisitFirstOnly(SideRecordItem& item) override;
};

// Target Database2: the mirror image.
class RecordKindVisitorToSecond : public RecordKindVisitor {
public:
    using RecordKindVisitor::RecordKindVisitor;
    void VisitModified(ModifiedDiffItem& item) override;
    void VisitSecondOnly(SecondSideRecordItem& item) override;
    void VisitFirstOnly(SideRecordItem& item) override;
};
