#include "output/record_kind_visitor.h"

#include <algorithm>
#include <stdexcept>

#include "compare/record_reader.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "platform/automation/wide_text.h"
#include "sqlexec/progress.h"

int StoredItemCount(const TablePairList& pairs, const ResultStore& store)
{
    long long total = 0;
    for (const auto& pair : pairs.Pairs()) {
        if (!pair->Second())
            continue;
        if (const TableResult* result = store.FindTableResult(pair.get())) {
            ObjectLock lock(result->Mutex());
            total += result->Rows().Count();
        }
    }
    return static_cast<int>(std::min<long long>(total, 0x7fffffff));
}

RecordKindVisitor::RecordKindVisitor(RecordEmitter& emitter, StatementKinds kinds,
                                     RecordReader& reader1, RecordReader& reader2,
                                     IProgress& progress, bool bothRecords)
    : emitter_(emitter),
      kinds_(kinds),
      reader1_(reader1),
      reader2_(reader2),
      progress_(progress),
      bothRecords_(bothRecords)
{
}

std::unique_ptr<RecordKindVisitor> RecordKindVisitor::ForTarget(
    int direction, RecordEmitter& emitter, StatementKinds kinds, RecordReader& reader1,
    RecordReader& reader2, IProgress& progress, bool bothRecords)
{
    if (direction == 1)
        return std::make_unique<RecordKindVisitorToFirst>(emitter, kinds, reader1, reader2,
                                                          progress, bothRecords);
    return std::make_unique<RecordKindVisitorToSecond>(emitter, kinds, reader1, reader2, progress,
                                                       bothRecords);
}

// A row that cannot be read again (the table changed since the comparison) must not turn into
// a statement without values: that would be a wrong script reported as written.
const DbRecord& RecordKindVisitor::Read(RecordReader& reader, int row,
                                        std::unique_ptr<DbRecord>& record)
{
    record = reader.GetRecordAt(row, std::move(record));
    if (!record)
        throw std::runtime_error("A compared row can no longer be read: row " +
                                 std::to_string(row) + " of " +
                                 automation::ToUtf8(reader.Statement()));
    return *record;
}

void RecordKindVisitor::EmitUpdate(ModifiedDiffItem& item, RecordReader& sourceReader,
                                   int sourceRow, RecordReader& targetReader, int targetRow)
{
    const DbRecord* target = bothRecords_ ? &Read(targetReader, targetRow, target_) : nullptr;
    emitter_.Update(target, Read(sourceReader, sourceRow, record_), &item);
}

void RecordKindVisitor::VisitEqual(EqualSideRecordItem& item)
{
    progress_.Step();
    if (!kinds_.equal)
        return;
    emitter_.Equal(Read(reader1_, item.Row(), record_));
}

void RecordKindVisitorToFirst::VisitModified(ModifiedDiffItem& item)
{
    progress_.Step();
    if (kinds_.update)
        EmitUpdate(item, reader2_, item.Row2(), reader1_, item.Row1());
}

void RecordKindVisitorToFirst::VisitSecondOnly(SecondSideRecordItem& item)
{
    progress_.Step();
    if (kinds_.insert)
        emitter_.Insert(Read(reader2_, item.Row(), record_));
}

void RecordKindVisitorToFirst::VisitFirstOnly(SideRecordItem& item)
{
    progress_.Step();
    if (kinds_.erase)
        emitter_.Delete(Read(reader1_, item.Row(), record_));
}

void RecordKindVisitorToSecond::VisitModified(ModifiedDiffItem& item)
{
    progress_.Step();
    if (kinds_.update)
        EmitUpdate(item, reader1_, item.Row1(), reader2_, item.Row2());
}

void RecordKindVisitorToSecond::VisitSecondOnly(SecondSideRecordItem& item)
{
    progress_.Step();
    if (kinds_.erase)
        emitter_.Delete(Read(reader2_, item.Row(), record_));
}

void RecordKindVisitorToSecond::VisitFirstOnly(SideRecordItem& item)
{
    progress_.Step();
    if (kinds_.insert)
        emitter_.Insert(Read(reader1_, item.Row(), record_));
}
