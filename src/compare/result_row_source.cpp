#include "compare/result_row_source.h"

#include <algorithm>

namespace {

bool IsModified(RecordDiffItem& item)
{
    return dynamic_cast<ModifiedDiffItem*>(&item) != nullptr;
}

}  // namespace

void ResultRowSource::Add(std::unique_ptr<RecordDiffItem> item)
{
    if (auto* equal = dynamic_cast<EqualSideRecordItem*>(item.get())) {
        AddEqualRow(equal->Row());
        return;
    }
    const int lines = IsModified(*item) ? 2 : 1;
    segments_.push_back(Segment{itemCount_, lineCount_, std::move(item), 0, 0});
    itemCount_ += 1;
    lineCount_ += lines;
}

void ResultRowSource::AddCopyOf(RecordDiffItem& item)
{
    struct Copier : StoredItemVisitor {
        ResultRowSource& target;
        explicit Copier(ResultRowSource& t) : target(t) {}
        void VisitEqual(EqualSideRecordItem& i) override { target.AddEqualRow(i.Row()); }
        void VisitModified(ModifiedDiffItem& i) override
        {
            target.Add(
                std::make_unique<ModifiedDiffItem>(i.Row1(), i.Row2(), i.SharedChangedFields()));
        }
        void VisitSecondOnly(SecondSideRecordItem& i) override
        {
            target.Add(std::make_unique<SecondSideRecordItem>(i.Row()));
        }
        void VisitFirstOnly(SideRecordItem& i) override
        {
            target.Add(std::make_unique<SideRecordItem>(i.Row()));
        }
    } copier(*this);
    item.Accept(copier);
}

void ResultRowSource::AddEqualRow(int row)
{
    if (!segments_.empty()) {
        Segment& last = segments_.back();
        if (!last.item && last.runFirstRow + last.runCount == row) {
            last.runCount += 1;
            itemCount_ += 1;
            lineCount_ += 1;
            return;
        }
    }
    segments_.push_back(Segment{itemCount_, lineCount_, nullptr, row, 1});
    itemCount_ += 1;
    lineCount_ += 1;
}

void ResultRowSource::SetRest(int side, int firstRow, int lastRow)
{
    // A stale row count can put the last row before the first; that is no rest.
    SetRestRaw(side, firstRow, std::max(0, lastRow - firstRow + 1));
}

void ResultRowSource::SetRestRaw(int side, int firstRow, int count)
{
    restSide_ = side;
    restFirstRow_ = firstRow;
    restCount_ = std::max(0, count);
}

size_t ResultRowSource::SegmentOfIndex(int index) const
{
    auto it = std::upper_bound(segments_.begin(), segments_.end(), index,
                               [](int i, const Segment& s) { return i < s.firstIndex; });
    return static_cast<size_t>(it - segments_.begin()) - 1;
}

int ResultRowSource::LocateLine(int line, int& offset) const
{
    offset = 0;
    if (line >= lineCount_)
        return line + itemCount_ - lineCount_;
    auto it = std::upper_bound(segments_.begin(), segments_.end(), line,
                               [](int l, const Segment& s) { return l < s.firstLine; });
    const Segment& segment = *(it - 1);
    const int inside = line - segment.firstLine;
    if (segment.item) {
        offset = inside;  // 0, or 1 for the second line of a modified record
        return segment.firstIndex;
    }
    return segment.firstIndex + inside;
}

RecordDiffItem* ResultRowSource::ItemAt(const Segment& segment, int index,
                                        RowItemPools& pools) const
{
    if (segment.item)
        return segment.item.get();
    return pools.equal.Take(segment.runFirstRow + (index - segment.firstIndex));
}

std::vector<RecordDiffItem*> ResultRowSource::GetRows(int start, int count,
                                                      RowItemPools& pools) const
{
    std::vector<RecordDiffItem*> rows;
    if (start < 0 || count <= 0)
        return rows;
    const int end = std::min(start + count, Count());
    rows.reserve(std::max(0, end - start));
    int position = start;
    if (position < itemCount_) {
        size_t s = SegmentOfIndex(position);
        for (; position < std::min(end, itemCount_); ++position) {
            if (position >= segments_[s].firstIndex + segments_[s].Count())
                ++s;
            rows.push_back(ItemAt(segments_[s], position, pools));
        }
    }
    for (; position < end; ++position) {
        const int row = restFirstRow_ + (position - itemCount_);
        if (restSide_ == kDatabase1)
            rows.push_back(pools.first.Take(row));
        else
            rows.push_back(pools.second.Take(row));
    }
    return rows;
}

int ResultRowSource::Visit(int from, StoredItemVisitor& visitor, bool withRest,
                           const std::function<bool()>& stop) const
{
    int position = std::max(0, from);
    if (position < itemCount_) {
        EqualSideRecordItem equal(0);
        for (size_t s = SegmentOfIndex(position); s < segments_.size(); ++s) {
            const Segment& segment = segments_[s];
            for (; position < segment.firstIndex + segment.Count(); ++position) {
                if (stop && stop())
                    return position;
                if (segment.item) {
                    segment.item->Accept(visitor);
                } else {
                    equal.SetRow(segment.runFirstRow + (position - segment.firstIndex));
                    equal.Accept(visitor);
                }
            }
        }
    }
    if (withRest && restCount_ > 0) {
        SideRecordItem first(0);
        SecondSideRecordItem second(0);
        SideRecordItem& item = restSide_ == kDatabase1 ? first : second;
        for (int i = 0; i < restCount_; ++i) {
            if (stop && stop())
                break;
            item.SetRow(restFirstRow_ + i);
            item.Accept(visitor);
        }
    }
    return position;
}
