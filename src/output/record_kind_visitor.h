// Turns the stored result of one table pair into statements: each kind of record item, read
// again from its side's record reader, goes to the emitter's slot for the current pass. The
// target database decides which side's record becomes which statement.
#pragma once

#include <memory>

#include "compare/record_diff_item.h"

class IProgress;
class RecordReader;
class StatementEmitter;
class DbRecord;

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
    RecordKindVisitor(StatementEmitter& emitter, StatementKinds kinds, RecordReader& reader1,
                      RecordReader& reader2, IProgress& progress, bool bothRecords);

    // Makes the variant for a target database: 1 = Database1, 2 = Database2.
    static std::unique_ptr<RecordKindVisitor> ForTarget(int direction, StatementEmitter& emitter,
                                                        StatementKinds kinds, RecordReader& reader1,
                                                        RecordReader& reader2, IProgress& progress,
                                                        bool bothRecords);

    void VisitEqual(EqualSideRecordItem& item) override;

protected:
    // The record at a row of a side's reader; throws when the row is gone.
    std::unique_ptr<DbRecord> Read(RecordReader& reader, int row);
    void EmitUpdate(ModifiedDiffItem& item, RecordReader& sourceReader, int sourceRow,
                    RecordReader& targetReader, int targetRow);

    StatementEmitter& emitter_;
    StatementKinds kinds_;
    RecordReader& reader1_;
    RecordReader& reader2_;
    IProgress& progress_;
    bool bothRecords_;
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
