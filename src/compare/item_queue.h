// The hand-over of merge results from the merge to the flush: a double buffer, so
// the merge never waits for the result store or its readers. Each result is a
// small value (its kind and row positions), so queueing one allocates nothing
// once the buffers have grown.
#pragma once

#include <mutex>
#include <vector>

#include "compare/record_item.h"

struct QueuedItem {
    enum Kind { kEqual, kFirstOnly, kSecondOnly, kModified };
    Kind kind;
    int row1;  // the Database1 row; the Database2 row of a row only in Database2
    int row2;  // the Database2 row of a modified record
    ChangedFieldList changed;  // of a modified record
};

class ItemQueue {
public:
    using Items = std::vector<QueuedItem>;

    // Returns how many items wait now.
    size_t Add(QueuedItem item)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        front_.push_back(std::move(item));
        return front_.size();
    }
    // Adds every item of `items` under one lock and empties it; returns how many
    // items wait now.
    size_t AddAll(std::vector<QueuedItem>& items)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (QueuedItem& item : items)
            front_.push_back(std::move(item));
        items.clear();
        return front_.size();
    }
    // Everything added so far; valid until ClearBack. Only the flush calls it.
    Items& TakeAll()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        front_.swap(back_);
        return back_;
    }
    // Keeps the buffer's memory for the next round.
    void ClearBack() { back_.clear(); }

private:
    std::mutex mutex_;
    Items front_;
    Items back_;
};
