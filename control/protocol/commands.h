// The camera's command codes with their names and request forms.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kest::protocol {

enum class Form : uint8_t {
    kShort,  // the 4-byte header alone
    kLong,   // header, 8-byte password block, parameters
};

struct CommandInfo {
    uint16_t code;
    std::string_view name;  // handed to the failure trace
    Form form;
};

// Every command the client sends, one row per code and name.
std::span<const CommandInfo> CommandTable();

// The row of a code; the first one when a code has two names. Null if unknown.
const CommandInfo* FindCommand(uint16_t code);
// The row with this code and name. Null if unknown.
const CommandInfo* FindCommand(uint16_t code, std::string_view name);

// Codes the camera sends unasked.
constexpr uint16_t kPictureHeaderCode = 251;
constexpr uint16_t kAlarmNotificationCode = 2448;

}  // namespace kest::protocol
