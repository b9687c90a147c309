#include "compare/line_window_cache.h"

#include <algorithm>
#include <iterator>

void LineWindowCache::Clear()
{
    front_.clear();
    back_.clear();
    lastFirst_ = 0;
    lastOffset_ = 0;
}

void LineWindowCache::Load(int a, int b, std::vector<RecordLine>& into)
{
    if (b <= a)
        return;
    std::vector<RecordLine> lines = LoadLines(a, b + 1);
    if (static_cast<int>(lines.size()) > b - a)
        lines.resize(b - a);
    std::move(lines.begin(), lines.end(), std::back_inserter(into));
}

RecordLines LineWindowCache::GetRows(int first, int count)
{
    if (first < 0 || count <= 0)
        return {};
    if (margin_ < count)
        margin_ = 2 * count;
    const int windowFirst = lastFirst_ - lastOffset_;
    const int windowEnd = windowFirst + static_cast<int>(front_.size());
    int offset = 0;
    if (!front_.empty() && first >= windowFirst && first + count <= windowEnd) {
        offset = first - windowFirst;
    } else {
        back_.clear();
        int s = 0;
        if (front_.empty() || first + count - 1 < windowFirst || first > windowEnd - 1 ||
            (first < windowFirst && first + count > windowEnd)) {
            s = std::max(0, first - margin_);
            Load(s, s + 2 * margin_, back_);
        } else if (first < windowFirst) {
            // Overlap at the start: new lines before the window, then the kept ones.
            s = std::max(0, first - margin_);
            Load(s, windowFirst, back_);
            const int keepEnd = std::min(windowEnd, first + margin_);
            std::move(front_.begin(), front_.begin() + (keepEnd - windowFirst),
                      std::back_inserter(back_));
        } else {
            // Overlap at the end: the kept lines, then new lines behind the window.
            s = std::max(first - margin_, windowFirst);
            std::move(front_.begin() + (s - windowFirst), front_.end(), std::back_inserter(back_));
            Load(windowEnd, first + count + margin_, back_);
        }
        offset = first - s;
        front_.clear();
        front_.swap(back_);
    }
    lastFirst_ = first;
    lastOffset_ = offset;
    RecordLines out;
    for (int i = offset; i < static_cast<int>(front_.size()) && i < offset + count; ++i)
        out.push_back(&front_[i]);
    return out;
}
