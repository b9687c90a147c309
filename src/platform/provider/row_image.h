// A row in the compact form a reader that only orders and compares rows wants:
// numbers and dates in one machine word, text as UTF-8 in one buffer of the row,
// and what has no compact form as the automation value the row would give. A
// long forward read fills the same image again and again, so it allocates
// nothing once the image has grown to the row's size, and the row occupies a few
// cache lines instead of one automation value per column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/variant.h"

namespace provider {

struct RowImage {
    // The compact forms. Each is what one family of automation values becomes:
    // Integer: VT_UI1, VT_I2, VT_I4 (the value in `i`); Bool: VT_BOOL (-1 or 0);
    // Money: VT_CY (scaled by 10,000); Real: VT_R4, VT_R8 (`r`); Date: VT_DATE
    // (the automation date in `r`); Text: VT_BSTR of well-formed UTF-8. Value: the
    // automation value itself, in `values`.
    enum Kind : uint8_t { Null, Integer, Bool, Money, Real, Date, Text, Value };

    struct Slot {
        Kind kind = Null;
        automation::VarType vt = automation::VT_NULL;  // of the value it stands for
        uint32_t size = 0;                             // Text: its bytes
        union {
            int64_t i = 0;
            double r;
            uint64_t offset;  // Text: into `text`; Value: into `values`
        };
    };

    std::vector<Slot> columns;  // one per column
    std::string text;
    std::vector<automation::Variant> values;  // the first `used` belong to the row
    size_t used = 0;

    // Makes the image hold `count` Null values, keeping its memory.
    void Reset(size_t count)
    {
        columns.resize(count);
        text.clear();
        used = 0;
    }
    // The value to fill for slot `index`, which becomes a Value slot.
    automation::Variant& NewValue(size_t index)
    {
        Slot& slot = columns[index];
        slot.kind = Value;
        slot.vt = automation::VT_EMPTY;
        slot.offset = used;
        if (used == values.size())
            values.emplace_back();
        return values[used++];
    }
    void SetText(size_t index, std::string_view bytes)
    {
        Slot& slot = columns[index];
        slot.kind = Text;
        slot.vt = automation::VT_BSTR;
        slot.size = static_cast<uint32_t>(bytes.size());
        slot.offset = text.size();
        text.append(bytes);
    }
    std::string_view TextOf(const Slot& slot) const
    {
        return std::string_view(text.data() + slot.offset, slot.size);
    }
    const automation::Variant& ValueOf(const Slot& slot) const { return values[slot.offset]; }

    friend void swap(RowImage& a, RowImage& b) noexcept
    {
        a.columns.swap(b.columns);
        a.text.swap(b.text);
        a.values.swap(b.values);
        std::swap(a.used, b.used);
    }
};

}  // namespace provider
