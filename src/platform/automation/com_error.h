// The one exception of every automation failure: a result code and a
// description, as a COM error object carries them.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace automation {

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_DIVBYZERO = static_cast<HRESULT>(0x80020012);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);

inline bool FAILED(HRESULT hr) { return hr < 0; }
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

class ComError : public std::exception {
public:
    explicit ComError(HRESULT hr, std::wstring description = {});

    HRESULT Error() const noexcept { return hr_; }
    // The error object's description; empty when there is none.
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    HRESULT hr_;
    std::wstring description_;
    std::string what_;  // UTF-8 of the description, or the code in hex
};

}  // namespace automation
