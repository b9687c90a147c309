#include "compare/db_record.h"

int DbRecord::CompareKeys(const DbRecord& other, const std::vector<int>& keyIndexes,
                          bool nullEqualsEmpty) const
{
    if (imaged_) {
        for (int index : keyIndexes) {
            if (int c = CellValue::CompareSlots(image_, other.image_, index, nullEqualsEmpty))
                return c;
        }
        return 0;
    }
    for (int index : keyIndexes) {
        if (int c = values_[index].Compare(other.values_[index], nullEqualsEmpty))
            return c;
    }
    return 0;
}

bool DbRecord::CompareValues(const DbRecord& other, std::unique_ptr<std::vector<int>>& changed,
                             bool nullEqualsEmpty) const
{
    changed.reset();
    if (imaged_) {
        const size_t count = std::min(image_.columns.size(), other.image_.columns.size());
        for (size_t i = 0; i < count; ++i) {
            // Most values of most rows are the same on both sides, and are seen to be
            // so where they lie.
            if (!CellValue::SameSlots(image_, other.image_, i) &&
                CellValue::CompareSlots(image_, other.image_, i, nullEqualsEmpty) != 0) {
                if (!changed)
                    changed = std::make_unique<std::vector<int>>();
                changed->push_back(static_cast<int>(i));
            }
        }
        return !changed;
    }
    const size_t count = std::min(values_.size(), other.values_.size());
    for (size_t i = 0; i < count; ++i) {
        if (values_[i].Compare(other.values_[i], nullEqualsEmpty) != 0) {
            if (!changed)
                changed = std::make_unique<std::vector<int>>();
            changed->push_back(static_cast<int>(i));
        }
    }
    return !changed;
}

CellValue DbRecord::ValueCopy(size_t index) const
{
    if (imaged_)
        return CellValue(CellValue::SlotValue(image_, index));
    return values_[index];
}

std::wstring DbRecord::KeyText(const std::vector<int>& keyIndexes) const
{
    std::wstring text;
    for (int index : keyIndexes) {
        const CellValue value = ValueCopy(static_cast<size_t>(index));
        if (!text.empty())
            text += L", ";
        text += value.IsText() ? L"'" + value.ToText() + L"'" : value.ToText();
    }
    return text;
}
