// One row as the comparison reads it: its position in the open result and one
// value per selected column, in select-list order.
#pragma once

#include <memory>
#include <vector>

#include "compare/cell_value.h"

// Asks for the cache line at `p` in the state for writing: a plain prefetch would
// bring a line the merge thread has read in shared, and the write would then wait
// for the other core to give it up.
inline void PrefetchForWrite(const void* p)
{
#if defined(__x86_64__)
    asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(p)));
#else
    __builtin_prefetch(p, 1);
#endif
}

class DbRecord {
public:
    // rowNumber: the 1-based position of the row in its result; -1 when unknown.
    explicit DbRecord(int rowNumber = -1) : rowNumber_(rowNumber) {}

    void AddValue(CellValue value) { values_.push_back(std::move(value)); }
    // Makes the record hold another row with `count` values, keeping the memory of
    // the values it held, so a record read again and again allocates nothing.
    void Reuse(int rowNumber, size_t count)
    {
        rowNumber_ = rowNumber;
        imaged_ = false;
        values_.resize(count);
    }
    // Makes the record hold another row as a row image (see RecordReader::BuildImage):
    // its values are then in Image(), and Values() keeps no meaning.
    provider::RowImage& ReuseAsImage(int rowNumber)
    {
        rowNumber_ = rowNumber;
        imaged_ = true;
        return image_;
    }
    bool IsImage() const { return imaged_; }
    const provider::RowImage& Image() const { return image_; }
    void SetValue(size_t index, const automation::Variant& value) { values_[index].Assign(value); }
    void SetValue(size_t index, automation::Variant&& value)
    {
        values_[index].Assign(std::move(value));
    }
    // The value at `index` to be filled in place (below the Reuse count).
    automation::Variant& MutableValue(size_t index) { return values_[index].MutableVariant(); }
    // Asks the processor to bring the values' memory into its cache, ahead of
    // filling the record again.
    void Prefetch() const
    {
        PrefetchRange(this, sizeof *this);
        if (imaged_)
            return;  // the image's memory once the record itself has arrived
        const char* p = reinterpret_cast<const char*>(values_.data());
        const char* end = reinterpret_cast<const char*>(values_.data() + values_.size());
        for (; p < end; p += 64)
            PrefetchForWrite(p);
    }
    // As Prefetch, for the text the values hold (their own memory); best a
    // while after Prefetch, once the values themselves are in the cache.
    void PrefetchText() const
    {
        if (imaged_) {
            PrefetchRange(image_.columns.data(), image_.columns.size() * sizeof(image_.columns[0]));
            PrefetchRange(image_.text.data(), image_.text.size());
            return;
        }
        for (const CellValue& value : values_)
            if (value.IsText()) {
                const std::wstring& text = value.Variant().bstrVal();
                const char* p = reinterpret_cast<const char*>(text.data());
                const char* end = reinterpret_cast<const char*>(text.data() + text.size());
                for (; p <= end; p += 64)
                    PrefetchForWrite(p);
            }
    }
    void Reserve(size_t count) { values_.reserve(count); }
    const std::vector<CellValue>& Values() const { return values_; }
    // index must be below Values().size().
    const CellValue& ValueAt(size_t index) const { return values_[index]; }
    int RowNumber() const { return rowNumber_; }
    // A copy of the value at `index`, whether the record holds values or a row image.
    CellValue ValueCopy(size_t index) const;
    // The key values as a reader of a message sees them: each as the views show it, text
    // between quotes, separated by ", ".
    std::wstring KeyText(const std::vector<int>& keyIndexes) const;

    // The first non-zero comparison of the values at the key positions, in order.
    // Both records hold values, or both row images.
    int CompareKeys(const DbRecord& other, const std::vector<int>& keyIndexes,
                    bool nullEqualsEmpty) const;

    // True when every value equals its counterpart. Otherwise false, and `changed`
    // gets the ascending positions that differ. Equal rows allocate nothing. Both
    // records must hold the same number of values.
    bool CompareValues(const DbRecord& other, std::unique_ptr<std::vector<int>>& changed,
                       bool nullEqualsEmpty) const;

private:
    static void PrefetchRange(const void* data, size_t bytes)
    {
        const char* p = static_cast<const char*>(data);
        for (const char* end = p + bytes; p < end; p += 64)
            PrefetchForWrite(p);
    }

    int rowNumber_;
    bool imaged_ = false;
    std::vector<CellValue> values_;
    provider::RowImage image_;
};
