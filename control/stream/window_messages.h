// Numbers of the messages that the camera object and the recorder post to a
// control's window, and that the window handles on the host's thread.
#pragma once

#include <cstdint>

namespace kest {

constexpr uint32_t kNewImageMessage = 0x5F4;          // 0 / camera object
constexpr uint32_t kStatusMessage = 0x5F5;            // kind 0..11 / value
constexpr uint32_t kAlarmSocketMessage = 0x590;       // socket / event
constexpr uint32_t kRecordingStoppedMessage = 0x591;  // ErrorCode / MoreInfo
constexpr uint32_t kDiskWarningMessage = 0x592;       // code / value
constexpr uint32_t kMulticastSocketMessage = 0x8D2;   // socket / event
constexpr uint32_t kMulticastCheckTimer = 1524;
constexpr uint32_t kMulticastCheckMs = 20000;  // its period

}  // namespace kest
