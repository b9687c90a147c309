// One field value of one row as the provider returned it, and the one ordering and
// equality rule of the whole comparison.
#pragma once

#include <string>

#include "platform/automation/variant.h"
#include "platform/provider/row_image.h"

class CellValue {
public:
    CellValue() = default;
    explicit CellValue(automation::Variant value) : value_(std::move(value)) {}

    // Negative, 0 or positive. The order agrees with the provider's ORDER BY: NULLs
    // first, text by code point, dates chronologically, numbers by exact value (money
    // and decimals never pass through doubles unless the other side is floating; a
    // single against any other number at a single's precision),
    // byte arrays shorter-first, then by unsigned bytes. A text or a date against a
    // value of another class compares as converted text. With nullEqualsEmpty a NULL
    // and an empty text are equal. A failed conversion raises automation::ComError.
    int Compare(const CellValue& other, bool nullEqualsEmpty) const;

    // The same rule between the values at `index` of two row images, without making
    // automation values of the compact ones.
    static int CompareSlots(const provider::RowImage& a, const provider::RowImage& b, size_t index,
                            bool nullEqualsEmpty);

    // The automation value that slot `index` of a row image stands for.
    static automation::Variant SlotValue(const provider::RowImage& image, size_t index);
    // True when the values at `index` of two row images are equal by the rule above
    // as they lie, without a conversion: the same compact form holding the same number
    // or the same bytes of text. False says nothing; CompareSlots then decides.
    static bool SameSlots(const provider::RowImage& a, const provider::RowImage& b, size_t index)
    {
        using Image = provider::RowImage;
        const Image::Slot& x = a.columns[index];
        const Image::Slot& y = b.columns[index];
        if (x.kind != y.kind)
            return false;
        switch (x.kind) {
            case Image::Null:
                return true;
            case Image::Integer:
            case Image::Bool:
            case Image::Money:
                return x.i == y.i;
            case Image::Real:
            case Image::Date:
                return x.r == y.r;
            case Image::Text:
                return x.size == y.size && a.TextOf(x) == b.TextOf(y);
            case Image::Value:
                break;
        }
        return false;
    }

    // Both values converted to text in the user locale, compared by code point.
    int CompareAsText(const CellValue& other) const;

    // The text shown in the views and written by the script writer: "NULL", the
    // text itself, "[Binary Object]", or the invariant-locale text of the value
    // (dates between '#').
    std::wstring ToText() const;

    // ToText with the digits that tell the value from another of the same text: a date to the
    // millisecond, a double with 17 and a single with 9 significant digits.
    std::wstring ToExactText() const;

    // Copies a value, reusing this one's memory where it can.
    void Assign(const automation::Variant& value) { value_ = value; }
    void Assign(automation::Variant&& value) { value_ = std::move(value); }

    const automation::Variant& Variant() const { return value_; }
    automation::Variant& MutableVariant() { return value_; }
    bool IsNull() const { return value_.vt() == automation::VT_NULL; }
    bool IsText() const { return value_.vt() == automation::VT_BSTR; }
    bool IsArray() const { return (value_.vt() & automation::VT_ARRAY) != 0; }
    bool IsEmptyText() const { return IsText() && value_.bstrVal().empty(); }

private:
    automation::Variant value_;
};
