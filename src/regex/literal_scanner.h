// Quick scan for a pattern that must begin with a literal: a Horspool search
// over the subject, optionally accepting a second letter case per character.
#pragma once

#include <algorithm>
#include <cstddef>

namespace regex::detail {

class literal_scanner {
public:
    literal_scanner(const wchar_t* begin, const wchar_t* end, const wchar_t* other_case)
        : key_(begin), other_(other_case),
          k_(std::min<std::size_t>(static_cast<std::size_t>(end - begin), 255))
    {
        std::fill(std::begin(shift_), std::end(shift_), k_);
        for (std::size_t i = 0; i + 1 < k_; ++i) {
            shift_[key_[i] & 0xFF] = k_ - 1 - i;
            if (other_)
                shift_[other_[i] & 0xFF] = std::min(shift_[other_[i] & 0xFF], k_ - 1 - i);
        }
    }

    // First position in [from, end) where the literal starts, or end.
    template <class It>
    It find(It from, It end) const
    {
        const auto n = static_cast<std::size_t>(end - from);
        std::size_t j = k_ - 1;
        while (j < n) {
            It t = from + static_cast<std::ptrdiff_t>(j);
            std::size_t i = k_;
            It probe = t;
            while (i > 0 && matches(*probe, i - 1)) {
                --i;
                if (i > 0)
                    --probe;
            }
            if (i == 0)
                return from + static_cast<std::ptrdiff_t>(j + 1 - k_);
            j += shift_[*t & 0xFF];
        }
        return end;
    }

private:
    bool matches(wchar_t c, std::size_t i) const
    {
        return c == key_[i] || (other_ && c == other_[i]);
    }

    const wchar_t* key_;
    const wchar_t* other_;
    std::size_t k_;
    std::size_t shift_[256];
};

} // namespace regex::detail
