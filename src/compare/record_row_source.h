// What a records list view shows: lines of one table's result, each of one kind
// with one cell per selected field, handed out by a row source on demand.
#pragma once

#include <string>
#include <vector>

#include "compare/table_result.h"

struct RecordLine {
    enum Kind {
        kFirstOnly = 0,
        kSecondOnly = 1,
        kModifiedFirst = 2,   // the Database1 line of a modified record
        kModifiedSecond = 3,  // the Database2 line of a modified record
        kEqual = 4,
    };
    struct Cell {
        std::wstring text;
        bool changed = false;
        // The text goes on past the value's usual text, to the digits that tell it from the
        // other line's: its end matters more than its start.
        bool exact = false;
    };
    Kind kind = kFirstOnly;
    std::vector<Cell> cells;
};

using RecordLines = std::vector<const RecordLine*>;

class RecordRowSource {
public:
    virtual ~RecordRowSource() = default;
    virtual bool IsReady() const = 0;
    virtual const CaptionList* ColumnCaptions() const = 0;
    // Up to `count` lines from `first` on; valid until the next call.
    virtual RecordLines GetLines(int first, int count) = 0;
    virtual int LineCount() const = 0;
    virtual void Refresh() = 0;
    // Why the last lines asked for could not be read (the database went away or changed under
    // the list); empty when they were read.
    virtual std::wstring ReadError() const { return {}; }
};
