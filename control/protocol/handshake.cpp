#include "control/protocol/handshake.h"

namespace kest::protocol {

int32_t scmd_nop(CommandChannel& channel) {
    static const CommandInfo* const kNop = FindCommand(0);
    Reply reply;
    return channel.Exchange(*kNop, {}, reply) == 0 ? kDone : kNoReply;
}

int32_t scmd_get_version(CommandChannel& channel, VersionInfo& info) {
    static const CommandInfo* const kGetVersion = FindCommand(1);
    Reply reply;
    if (channel.Exchange(*kGetVersion, {}, reply) != 0) return kNoReply;
    ByteReader r(reply.bytes.data(), reply.bytes.size());
    r.Seek(4);
    const int16_t version = r.I16();
    const uint16_t type_word = r.U16();
    const int16_t program = r.I16();
    info.version_number = version;
    info.model_code = version > 11 ? type_word : 0;
    info.program_version = program;
    return version;
}

}  // namespace kest::protocol
