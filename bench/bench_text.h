// Subjects the regex benchmarks build.
#pragma once

#include <cstddef>
#include <string>

// `piece` written `n` times.
inline std::wstring Repeat(const std::wstring& piece, std::size_t n)
{
    std::wstring s;
    s.reserve(piece.size() * n);
    for (std::size_t i = 0; i < n; ++i)
        s += piece;
    return s;
}
