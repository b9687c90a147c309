// What the two reports share: the results they read, the kinds the user chose, the two
// database names, the output path, and the task's error and stop state.
#pragma once

#include <string>

#include "compare/wizard_task.h"
#include "output/record_kind_visitor.h"

class DataReader;
class ResultStore;
class TablePair;
class TablePairList;

class RecordReport : public WizardTask {
public:
    // The kinds to report: only in Database1, only in Database2, modified, equal. Nothing is
    // owned.
    RecordReport(std::wstring path, std::wstring name1, std::wstring name2, ResultStore& store,
                 DataReader& reader, const TablePairList& pairs, bool firstOnly, bool secondOnly,
                 bool modified, bool equal);

    bool Failed() const override { return failed_; }
    std::wstring ErrorText() const override { return errorText_; }
    // The visit of the current table ends before its next item.
    void RequestStop() override;

protected:
    // Clears the outcome of an earlier run.
    void Begin();
    void Fail(std::wstring text);
    // The number of the pair's records of the chosen kinds.
    int Selected(const TablePair* pair) const;
    // Visits the pair's records with the kinds chosen, both records of a modified one read, into
    // `rows`: Database2-only records in its insert slot, modified ones in its update slot,
    // Database1-only records in its delete slot.
    void VisitRecords(const TablePair* pair, RecordEmitter& rows, IProgress& progress);
    bool StopRequested() const { return stop_.IsRequested(); }
    // "Key not unique in Db1: 2" for a pair whose key values repeat on a side, its unread
    // tail included; empty when the key held.
    std::wstring KeyNote(const TablePair* pair) const;

    const std::wstring& Path() const { return path_; }
    const std::wstring& Name1() const { return name1_; }
    const std::wstring& Name2() const { return name2_; }
    ResultStore& Store() const { return store_; }
    const TablePairList& Pairs() const { return pairs_; }

private:
    bool failed_ = false;
    std::wstring errorText_;
    bool firstOnly_;
    bool secondOnly_;
    bool modified_;
    bool equal_;
    ResultStore& store_;
    DataReader& reader_;
    const TablePairList& pairs_;
    std::wstring name1_;
    std::wstring name2_;
    std::wstring path_;
    TaskStopFlag stop_;
};
