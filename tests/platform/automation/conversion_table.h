// Table-driven checks of automation conversions shared by the conversion tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/automation/wide_text.h"

namespace automation::testing {

struct Conversion {
    Variant from;
    VarType to;
    Variant expected;  // when error is 0
    HRESULT error = 0;
};

inline Conversion Ok(Variant from, VarType to, Variant expected)
{
    return {std::move(from), to, std::move(expected), 0};
}

inline Conversion Fails(Variant from, VarType to, HRESULT error)
{
    return {std::move(from), to, Variant(), error};
}

inline Variant Dec(bool negative, uint8_t scale, uint32_t hi32, uint64_t lo64)
{
    Decimal d;
    d.negative = negative;
    d.scale = scale;
    d.hi32 = hi32;
    d.lo64 = lo64;
    return Variant(d);
}

inline Variant Cy(int64_t scaled)
{
    return Variant(Currency{scaled});
}

// "vt 5 (0.1)" for failure messages; the text is made by the code under test
// and only helps the reader.
inline std::string Show(const Variant& v)
{
    std::string text = "vt " + std::to_string(v.vt());
    try {
        text += " (" + ToUtf8(ChangeTypeEx(v, LOCALE_INVARIANT, 0, VT_BSTR).bstrVal()) + ")";
    } catch (const ComError&) {
    }
    if (v.vt() == VT_DECIMAL)
        text += " scale " + std::to_string(v.decVal().scale);
    return text;
}

inline void CheckConversions(const std::vector<Conversion>& cases, Lcid lcid = LOCALE_USER_DEFAULT,
                             uint16_t flags = 0)
{
    for (size_t i = 0; i < cases.size(); ++i) {
        const Conversion& c = cases[i];
        SCOPED_TRACE("row " + std::to_string(i) + ": " + Show(c.from) + " to vt " +
                     std::to_string(c.to));
        if (c.error != 0) {
            try {
                const Variant result = ChangeTypeEx(c.from, lcid, flags, c.to);
                ADD_FAILURE() << "expected an error, got " << Show(result);
            } catch (const ComError& e) {
                EXPECT_EQ(e.Error(), c.error);
                EXPECT_FALSE(e.Description().empty());
            }
            continue;
        }
        try {
            const Variant result = ChangeTypeEx(c.from, lcid, flags, c.to);
            EXPECT_TRUE(result == c.expected)
                << "got " << Show(result) << ", expected " << Show(c.expected);
        } catch (const ComError& e) {
            ADD_FAILURE() << "unexpected error: " << e.what();
        }
    }
}

}  // namespace automation::testing
