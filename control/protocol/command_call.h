// Running one catalogued command: its row by code, its parameters from a
// fixed buffer, the reply in a fixed buffer on the caller's stack.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <span>

#include "control/protocol/commands.h"
#include "control/protocol/transport.h"

namespace kest::protocol {

// The row of a code the client sends; an unknown code is a programming error.
inline const CommandInfo& CommandRow(uint16_t code) {
    const CommandInfo* row = FindCommand(code);
    if (!row) std::abort();
    return *row;
}

// 0 with the reply filled, or -1 (not sent, or no reply in time).
inline int32_t Call(CommandChannel& channel, uint16_t code, std::span<const uint8_t> params,
                    Reply& reply, const CommandChannel::Options& options = {}) {
    return channel.Exchange(CommandRow(code), params, reply, options) == 0 ? kDone : kNoReply;
}

}  // namespace kest::protocol
