// Keeps a window of built record lines around the visible range, so scrolling by
// small steps reads rows from the database only at the window's edges.
#pragma once

#include <vector>

#include "compare/record_row_source.h"

class LineWindowCache {
public:
    static constexpr int kInitialMargin = 50;

    virtual ~LineWindowCache() = default;

    // Lines [first, first + count), fewer at the end; valid until the next call.
    RecordLines GetRows(int first, int count);
    // Forgets every cached line (the result behind them changed).
    void Clear();

protected:
    // Builds the lines from `first` on, up to the item that holds line end - 1 (it
    // may return more lines than end - first).
    virtual std::vector<RecordLine> LoadLines(int first, int end) = 0;

private:
    // Lines [a, b) appended to `into`.
    void Load(int a, int b, std::vector<RecordLine>& into);

    int margin_ = kInitialMargin;
    std::vector<RecordLine> front_;
    std::vector<RecordLine> back_;
    int lastFirst_ = 0;
    int lastOffset_ = 0;
};
