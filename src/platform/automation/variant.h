// Automation values: the tagged value type that carries every database value,
// parameter and setting between the layers, with the automation type numbers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/com_error.h"

namespace automation {

enum VarType : uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
};

using Lcid = uint32_t;
constexpr Lcid LOCALE_USER_DEFAULT = 0x0400;  // fixed as US English here
constexpr Lcid LOCALE_INVARIANT = 127;

// ChangeType flags (the documented VARIANT_* bits).
constexpr uint16_t VARIANT_NOVALUEPROP = 0x01;
constexpr uint16_t VARIANT_ALPHABOOL = 0x02;
constexpr uint16_t VARIANT_NOUSEROVERRIDE = 0x04;
constexpr uint16_t VARIANT_LOCALBOOL = 0x10;

constexpr int16_t VARIANT_TRUE = -1;
constexpr int16_t VARIANT_FALSE = 0;

// Money: a 64-bit integer scaled by 10,000.
struct Currency {
    int64_t int64 = 0;
    friend bool operator==(const Currency&, const Currency&) = default;
};

// A 96-bit unsigned magnitude with a power-of-ten scale (0..28) and a sign.
struct Decimal {
    uint8_t scale = 0;
    bool negative = false;
    uint32_t hi32 = 0;
    uint64_t lo64 = 0;
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

// A one-dimensional byte array with lower bound 0 (VT_ARRAY | VT_UI1).
class SafeArray {
public:
    SafeArray() = default;
    explicit SafeArray(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    SafeArray(const uint8_t* data, size_t size) : bytes_(data, data + size) {}

    size_t size() const { return bytes_.size(); }
    const uint8_t* data() const { return bytes_.data(); }
    uint8_t* data() { return bytes_.data(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }
    long LowerBound() const { return 0; }
    long UpperBound() const { return static_cast<long>(bytes_.size()) - 1; }

    friend bool operator==(const SafeArray&, const SafeArray&) = default;

private:
    std::vector<uint8_t> bytes_;
};

// A tagged automation value. Copies are deep for text, shared for byte arrays
// (byte arrays are immutable once inside a Variant).
class Variant {
public:
    Variant() = default;  // VT_EMPTY
    Variant(int8_t v) : vt_(VT_I1), i_(v) {}
    Variant(uint8_t v) : vt_(VT_UI1), u_(v) {}
    Variant(int16_t v) : vt_(VT_I2), i_(v) {}
    Variant(uint16_t v) : vt_(VT_UI2), u_(v) {}
    Variant(int32_t v) : vt_(VT_I4), i_(v) {}
    Variant(uint32_t v) : vt_(VT_UI4), u_(v) {}
    Variant(int64_t v) : vt_(VT_I8), i_(v) {}
    Variant(uint64_t v) : vt_(VT_UI8), u_(v) {}
    Variant(float v) : vt_(VT_R4), d_(v) {}
    Variant(double v) : vt_(VT_R8), d_(v) {}
    Variant(bool v) : vt_(VT_BOOL), i_(v ? VARIANT_TRUE : VARIANT_FALSE) {}
    Variant(Currency v) : vt_(VT_CY), i_(v.int64) {}
    Variant(const Decimal& v) : vt_(VT_DECIMAL), dec_(v) {}
    Variant(std::wstring v) : vt_(VT_BSTR), str_(std::move(v)) {}
    Variant(const wchar_t* v) : vt_(VT_BSTR), str_(v ? v : L"") {}
    Variant(SafeArray v)
        : vt_(static_cast<VarType>(VT_ARRAY | VT_UI1)),
          arr_(std::make_shared<const SafeArray>(std::move(v)))
    {
    }

    static Variant Null();
    static Variant FromDate(double date);
    static Variant FromError(HRESULT scode);  // VT_ERROR
    static Variant Missing();                 // VT_ERROR / DISP_E_PARAMNOTFOUND
    static Variant FromInt(int32_t v);        // VT_INT
    static Variant FromUInt(uint32_t v);      // VT_UINT

    VarType vt() const { return vt_; }
    bool IsEmpty() const { return vt_ == VT_EMPTY; }
    bool IsNull() const { return vt_ == VT_NULL; }
    bool IsByteArray() const { return vt_ == (VT_ARRAY | VT_UI1); }

    // Typed reads. Each checks the tag and throws ComError(DISP_E_TYPEMISMATCH)
    // when it does not match; use ChangeType to convert.
    int8_t cVal() const;
    uint8_t bVal() const;
    int16_t iVal() const;
    uint16_t uiVal() const;
    int32_t lVal() const;
    uint32_t ulVal() const;
    int64_t llVal() const;
    uint64_t ullVal() const;
    int32_t intVal() const;
    uint32_t uintVal() const;
    float fltVal() const;
    double dblVal() const;
    double date() const;
    int16_t boolVal() const;  // VARIANT_TRUE or VARIANT_FALSE
    Currency cyVal() const;
    const Decimal& decVal() const;
    const std::wstring& bstrVal() const;
    HRESULT scode() const;
    const SafeArray& parray() const;

    // Same tag and same value (byte arrays compared by content).
    friend bool operator==(const Variant& a, const Variant& b);

    // Makes this an empty text and returns the text to fill. The text keeps the
    // memory it had, so a value read again and again allocates nothing.
    std::wstring& MakeText()
    {
        vt_ = VT_BSTR;
        i_ = 0;
        u_ = 0;
        d_ = 0;
        dec_ = Decimal();
        arr_.reset();
        str_.clear();
        return str_;
    }
    friend void swap(Variant& a, Variant& b) noexcept
    {
        std::swap(a.vt_, b.vt_);
        std::swap(a.i_, b.i_);
        std::swap(a.u_, b.u_);
        std::swap(a.d_, b.d_);
        std::swap(a.dec_, b.dec_);
        a.str_.swap(b.str_);
        a.arr_.swap(b.arr_);
    }

private:
    VarType vt_ = VT_EMPTY;
    int64_t i_ = 0;   // signed integers, VT_BOOL, VT_CY, VT_ERROR
    uint64_t u_ = 0;  // unsigned integers
    double d_ = 0;    // VT_R4, VT_R8, VT_DATE
    Decimal dec_;
    std::wstring str_;
    std::shared_ptr<const SafeArray> arr_;

    void Expect(VarType t) const;
};

// The documented automation conversions. The user-default locale is fixed US
// English; LOCALE_INVARIANT (127) is the invariant one (the locales differ only
// in date text; see automation_date.h). Failures raise ComError with
// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW and a description; an unknown target
// tag raises DISP_E_BADVARTYPE and a decimal with a scale above 28 E_INVALIDARG.
Variant ChangeType(const Variant& v, VarType to, uint16_t flags = 0);
Variant ChangeTypeEx(const Variant& v, Lcid lcid, uint16_t flags, VarType to);

}  // namespace automation
