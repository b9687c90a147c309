#include "output/record_report.h"

#include "compare/data_reader.h"
#include "compare/record_counter.h"
#include "compare/record_reader.h"
#include "compare/result_store.h"
#include "output/key_refusal.h"

RecordReport::RecordReport(std::wstring path, std::wstring name1, std::wstring name2,
                           ResultStore& store, DataReader& reader, const TablePairList& pairs,
                           bool firstOnly, bool secondOnly, bool modified, bool equal)
    : firstOnly_(firstOnly),
      secondOnly_(secondOnly),
      modified_(modified),
      equal_(equal),
      store_(store),
      reader_(reader),
      pairs_(pairs),
      name1_(std::move(name1)),
      name2_(std::move(name2)),
      path_(std::move(path))
{
}

void RecordReport::RequestStop()
{
    stop_.Request();
    store_.Abort();
}

void RecordReport::Begin()
{
    failed_ = false;
    errorText_.clear();
    // A cancelled earlier task leaves the store's abort flag set.
    if (!stop_.IsRequested())
        store_.ResetAbort();
}

void RecordReport::Fail(std::wstring text)
{
    failed_ = true;
    errorText_ = std::move(text);
}

int RecordReport::Selected(const TablePair* pair) const
{
    return CountSelectedRecords(pair, store_, firstOnly_, secondOnly_, modified_, equal_);
}

void RecordReport::VisitRecords(const TablePair* pair, RecordEmitter& rows, IProgress& progress)
{
    RecordReaderPair& readers = reader_.GetTableRecords(pair);
    // The rows are read again one by one, most of the table in turn.
    HeldReads held1(*readers.reader1), held2(*readers.reader2);
    StatementKinds kinds{secondOnly_, modified_, firstOnly_, equal_};
    auto visitor = RecordKindVisitor::ForTarget(1, rows, kinds, *readers.reader1, *readers.reader2,
                                                progress, true);
    store_.VisitTable(pair, *visitor);
}

std::wstring RecordReport::KeyNote(const TablePair* pair) const
{
    return ReportKeyNote(*pair, store_, reader_);
}
