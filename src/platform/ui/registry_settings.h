// The current user's registry values, kept as QSettings: a key path such as
// "SOFTWARE\\Corvina" names the organisation and application, value names stay.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// Reads a 32-bit value under HKEY_CURRENT_USER. `defaultValue` when the key or
// the value is missing or the stored value is not a number from 0 to 2^32-1.
uint32_t ReadRegistryDword(const std::wstring& key, const std::wstring& valueName,
                           uint32_t defaultValue);

// Writes a 32-bit value under HKEY_CURRENT_USER, creating the key as needed;
// false when the settings cannot be stored.
bool WriteRegistryDword(const std::wstring& key, const std::wstring& valueName, uint32_t value);

}  // namespace ui
