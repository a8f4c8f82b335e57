// INI files ("profile strings") with the semantics hosts and installers know:
// section and key names are case-insensitive, a value loses its leading and
// trailing blanks and one pair of surrounding quotes, a missing key gives the
// default, a missing file reads as empty and is created on the first write,
// and writing one key keeps the rest of the file as it was.
#pragma once

#include <cstdint>
#include <string>

namespace kest::platform {

std::string GetProfileString(const std::string& path, const std::string& section,
                             const std::string& key, const std::string& fallback);

// The leading decimal number of the value (an optional sign, then digits);
// fallback when the key is missing, 0 when the value does not start with one;
// a number beyond the 32-bit range gives INT32_MIN or INT32_MAX.
int32_t GetProfileInt(const std::string& path, const std::string& section, const std::string& key,
                      int32_t fallback);

// Sets key to value, adding the section and key when missing. False when the
// file cannot be written.
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace kest::platform
