#include "compare/db_record.h"

int DbRecord::CompareKeys(const DbRecord& other, const std::vector<int>& keyIndexes,
                          bool nullEqualsEmpty) const
{
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
