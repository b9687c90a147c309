// The list view's page of record lines: pages of 50 lines asked of the row source
// as the view paints them.
#pragma once

#include "compare/record_row_source.h"

class RowPageCache {
public:
    static constexpr int kPageSize = 50;

    explicit RowPageCache(RecordRowSource* source = nullptr) : source_(source) {}

    void SetSource(RecordRowSource* source)
    {
        source_ = source;
        Invalidate();
    }
    // The next GetLine asks the source again.
    void Invalidate()
    {
        page_.clear();
        first_ = end_ = 0;
    }

    // Null when there is no such line.
    const RecordLine* GetLine(int index);
    // Null when there is no such line or cell.
    const std::wstring* GetCellText(int index, int column);

private:
    RecordRowSource* source_;
    RecordLines page_;
    int first_ = 0;
    int end_ = 0;
};
