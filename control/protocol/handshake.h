// The two commands that open every camera session.
#pragma once

#include <cstdint>

#include "control/protocol/transport.h"

namespace kest::protocol {

struct VersionInfo {
    int32_t version_number = 0;
    int32_t model_code = 0;       // the type number; 0 for version numbers of 11 or less
    int32_t program_version = 0;  // the second version number
};

// scmd_nop (0): 0 on any matching reply, -1 without one.
int32_t scmd_nop(CommandChannel& channel);

// scmd_get_version (1): the version number (+4), with the type number (+6)
// and program version (+8); -1 without reply.
int32_t scmd_get_version(CommandChannel& channel, VersionInfo& info);

}  // namespace kest::protocol
