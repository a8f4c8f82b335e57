// Alarm recipients and the alarm output: the camera keeps a list of
// addresses and ports it notifies when an alarm occurs.
#pragma once

#include <cstdint>
#include <span>

#include "control/protocol/transport.h"

namespace kest::protocol {

constexpr uint16_t kAlarmNotification = 2448;
constexpr int kMaxAlarmRecipients = 10;
constexpr size_t kAlarmRecordSize = 12;
constexpr size_t kAlarmSettingSize = 36;

// Each gives the reply's status as an unsigned value, -1 without a reply.
int32_t cl_alarm_regist(CommandChannel& channel, uint16_t port);
int32_t cl_alarm_deregist(CommandChannel& channel, uint16_t port);
// 2 without sending when count is above 10 (or below 0).
int32_t cl_alarm_set_count(CommandChannel& channel, int16_t count);
int32_t cl_alarm_get_count(CommandChannel& channel, int16_t& count);
int32_t cl_alarm_set_init(CommandChannel& channel,
                          std::span<const uint8_t, kAlarmSettingSize> setting);
int32_t cl_alarm_get_init(CommandChannel& channel, std::span<uint8_t, kAlarmSettingSize> setting);
// With status 0: count = the number of recipients whose 12-byte records the
// reply holds (never more than it announces), and as many as fit list are
// copied into it. A negative number gives -30.
int32_t cl_alarm_get_list(CommandChannel& channel, int16_t& count, std::span<uint8_t> list);
int32_t cl_alarm_deregist_indirect(CommandChannel& channel, const uint8_t address[4],
                                   uint16_t port);
// Code 2450 when flag is 0, else 2449.
int32_t cl_alarm_out(CommandChannel& channel, int16_t flag);

}  // namespace kest::protocol
