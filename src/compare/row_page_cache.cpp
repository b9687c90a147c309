#include "compare/row_page_cache.h"

const RecordLine* RowPageCache::GetLine(int index)
{
    if (!source_ || index < 0)
        return nullptr;
    if (page_.empty() || index < first_ || index >= end_) {
        page_ = source_->GetLines(index, kPageSize);
        first_ = index;
        end_ = index + static_cast<int>(page_.size());
        if (page_.empty())
            return nullptr;
    }
    return page_[index - first_];
}

const std::wstring* RowPageCache::GetCellText(int index, int column)
{
    const RecordLine* line = GetLine(index);
    if (!line || column < 0 || column >= static_cast<int>(line->cells.size()))
        return nullptr;
    return &line->cells[column].text;
}
