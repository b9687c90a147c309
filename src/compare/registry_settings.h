// The per-user settings store in place of the registry: one DWORD value under a key
// of HKEY_CURRENT_USER such as "SOFTWARE\Corvina" becomes a QSettings value of the
// organisation and application named after the key's last part, under the same
// value name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The value, or nothing when the key or value is missing or is not a 32-bit number.
std::optional<uint32_t> ReadRegistryDword(const std::wstring& key, const std::wstring& name);

// False when the value cannot be written.
bool WriteRegistryDword(const std::wstring& key, const std::wstring& name, uint32_t value);
