// The library's settings file: "KEST.INI" in the current directory, read
// anew wherever a setting is used, so a changed file takes effect at the
// next session, search or stream.
#pragma once

#include <string>

#include "platform/files.h"

namespace kest::protocol {

inline std::string SettingsFilePath() {
    return platform::JoinPath(platform::CurrentDirectory(), "KEST.INI");
}

}  // namespace kest::protocol
