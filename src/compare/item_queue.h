// The hand-over of record items from the merge to the flush: a double buffer, so
// the merge never waits for the result store or its readers.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "compare/record_item.h"

class ItemQueue {
public:
    using Items = std::vector<std::unique_ptr<RecordItemBase>>;

    // Returns how many items wait now.
    size_t Add(std::unique_ptr<RecordItemBase> item)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        front_.push_back(std::move(item));
        return front_.size();
    }
    // Everything added so far; valid until ClearBack. Only the flush calls it.
    Items& TakeAll()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        front_.swap(back_);
        return back_;
    }
    void ClearBack() { back_.clear(); }

private:
    std::mutex mutex_;
    Items front_;
    Items back_;
};
