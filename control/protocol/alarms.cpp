#include "control/protocol/alarms.h"

#include <algorithm>
#include <cstring>

namespace kest::protocol {

namespace {

int32_t Status(CommandChannel& channel, uint16_t code, std::span<const uint8_t> params,
               Reply& reply, const char* name) {
    if (channel.Exchange(*FindCommand(code, name), params, reply) != 0) return kNoReply;
    return int32_t(uint16_t(reply.status()));
}

int32_t PortCommand(CommandChannel& channel, uint16_t code, const char* name, uint16_t port) {
    uint8_t params[2];
    StoreU16(params, port);
    Reply reply;
    return Status(channel, code, params, reply, name);
}

}  // namespace

int32_t cl_alarm_regist(CommandChannel& channel, uint16_t port) {
    return PortCommand(channel, 2304, "cl_alarm_regist", port);
}

int32_t cl_alarm_deregist(CommandChannel& channel, uint16_t port) {
    return PortCommand(channel, 2309, "cl_alarm_deregist", port);
}

int32_t cl_alarm_set_count(CommandChannel& channel, int16_t count) {
    if (count < 0 || count > kMaxAlarmRecipients) return 2;
    uint8_t params[4];
    StoreU16(params, 1);  // set
    StoreU16(params + 2, uint16_t(count));
    Reply reply;
    return Status(channel, 2305, params, reply, "cl_alarm_set_count");
}

int32_t cl_alarm_get_count(CommandChannel& channel, int16_t& count) {
    const uint8_t params[4] = {0, 0, 0, 0};  // get
    Reply reply;
    const int32_t status = Status(channel, 2305, params, reply, "cl_alarm_get_count");
    if (status >= 0) count = int16_t(LoadU16(&reply.bytes[6]));
    return status;
}

int32_t cl_alarm_set_init(CommandChannel& channel,
                          std::span<const uint8_t, kAlarmSettingSize> setting) {
    Reply reply;
    return Status(channel, 2306, setting, reply, "cl_alarm_set_init");
}

int32_t cl_alarm_get_init(CommandChannel& channel, std::span<uint8_t, kAlarmSettingSize> setting) {
    Reply reply;
    const int32_t status = Status(channel, 2307, {}, reply, "cl_alarm_get_init");
    if (status >= 0) std::memcpy(setting.data(), &reply.bytes[6], kAlarmSettingSize);
    return status;
}

int32_t cl_alarm_get_list(CommandChannel& channel, int16_t& count, std::span<uint8_t> list) {
    Reply reply;
    const int32_t status = Status(channel, 2308, {}, reply, "cl_alarm_get_list");
    if (status != 0) return status;
    const int16_t number = int16_t(LoadU16(&reply.bytes[6]));
    if (number < 0) return kBadReply;
    // The count is what the reply holds: records come from +8, and a camera
    // that announces more than it sent does not make the host read further.
    const size_t in_reply = reply.length > 8 ? (reply.length - 8) / kAlarmRecordSize : 0;
    const size_t received = std::min(size_t(number), in_reply);
    count = int16_t(received);
    // As many as the caller's buffer holds.
    const size_t fit = list.size() / kAlarmRecordSize;
    for (size_t i = 0; i < fit && i < received; ++i) {
        std::memcpy(list.data() + i * kAlarmRecordSize, &reply.bytes[8 + i * kAlarmRecordSize],
                    kAlarmRecordSize);
    }
    return status;
}

int32_t cl_alarm_deregist_indirect(CommandChannel& channel, const uint8_t address[4],
                                   uint16_t port) {
    uint8_t params[6];
    std::memcpy(params, address, 4);
    StoreU16(params + 4, port);
    Reply reply;
    return Status(channel, 2310, params, reply, "cl_alarm_deregist_indirect");
}

int32_t cl_alarm_out(CommandChannel& channel, int16_t flag) {
    Reply reply;
    return Status(channel, flag == 0 ? 2450 : 2449, {}, reply, "cl_alarm_out");
}

}  // namespace kest::protocol
