// The record lines of one compared table, of the kinds switched on, built on demand
// by reading the rows again through the data reader.
#pragma once

#include <atomic>
#include <vector>

#include "compare/line_window_cache.h"
#include "compare/record_item.h"
#include "compare/record_row_source.h"

class DataReader;
class TableResultNode;

class CategoryRecordList : public RecordRowSource,
                           private LineWindowCache,
                           private RecordItemVisitor {
public:
    // Neither the node nor the reader is owned.
    CategoryRecordList(TableResultNode& node, DataReader& reader, int tableIndex);

    bool IsReady() const override { return ready_.load(); }
    const CaptionList* ColumnCaptions() const override { return captions_.load(); }
    RecordLines GetLines(int first, int count) override;
    int LineCount() const override { return lineCount_.load(); }
    // Takes what the comparison has added; callable from the progress thread.
    void Refresh() override;
    std::wstring ReadError() const override { return readError_; }

private:
    std::vector<RecordLine> LoadLines(int first, int end) override;

    // The line builder.
    void VisitEqual(EqualRecordItem& item) override;
    void VisitModified(ModifiedRecordItem& item) override;
    void VisitSecondOnly(SecondOnlyRecordItem& item) override;
    void VisitFirstOnly(FirstOnlyRecordItem& item) override;
    // other: the record on the modified record's other line.
    void AddLine(RecordLine::Kind kind, const DbRecord& record,
                 const std::vector<int>* changed = nullptr, const DbRecord* other = nullptr);

    int skipFirstLine_ = 0;
    std::atomic<bool> ready_{false};
    const int tableIndex_;
    std::atomic<int> lineCount_{0};
    std::atomic<const CaptionList*> captions_{nullptr};
    TableResultNode& node_;
    DataReader& reader_;
    std::vector<RecordLine> page_;
    std::wstring readError_;  // of the last LoadLines; only the thread reading lines uses it
};
