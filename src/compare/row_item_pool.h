// Reusable stored items for rows that exist only as ranges (rest ranges, runs of
// equal rows), so that handing out a page of such rows allocates nothing in the
// steady state. Items handed out stay owned by the pool until its next Rewind.
#pragma once

#include <memory>
#include <vector>

#include "compare/record_diff_item.h"

template <class Item>
class RowItemPool {
public:
    void Rewind() { cursor_ = 0; }
    Item* Take(int row)
    {
        if (cursor_ == items_.size())
            items_.push_back(std::make_unique<Item>(row));
        Item* item = items_[cursor_++].get();
        item->SetRow(row);
        return item;
    }

private:
    std::vector<std::unique_ptr<Item>> items_;
    size_t cursor_ = 0;
};

struct RowItemPools {
    RowItemPool<SideRecordItem> first;         // Database1 rest rows
    RowItemPool<SecondSideRecordItem> second;  // Database2 rest rows
    RowItemPool<EqualSideRecordItem> equal;    // rows of equal runs
    void Rewind()
    {
        first.Rewind();
        second.Rewind();
        equal.Rewind();
    }
};
