#include "control/protocol/identity.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "control/protocol/command_call.h"

namespace kest::protocol {

namespace {

constexpr size_t kMaxAddressText = 15;  // "255.255.255.255"

// Status word at +4 as the set commands read it: 1 is a refusal.
int32_t RefusedOnOne(const Reply& reply) {
    return reply.status() == 1 ? kRefused : kDone;
}

// A command whose parameters are four address bytes at +12 (16 bytes in all).
int32_t SetAddress(CommandChannel& channel, uint16_t code, std::string_view text) {
    std::array<uint8_t, 4> address{};
    if (int32_t r = AddressTextToBytes(text, address); r != kDone) return r;
    Reply reply;
    if (Call(channel, code, address, reply) != kDone) return kNoReply;
    return RefusedOnOne(reply);
}

// A query that answers its status at +4 and an address at +6.
int32_t GetAddress(CommandChannel& channel, uint16_t code, std::string& text) {
    Reply reply;
    if (Call(channel, code, {}, reply) != kDone) return kNoReply;
    text = AddressBytesToText(&reply.bytes[6]);
    return reply.status();
}

// A short-form query whose result is the status word.
int32_t StatusQuery(CommandChannel& channel, uint16_t code) {
    Reply reply;
    if (Call(channel, code, {}, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t CheckPassword(CommandChannel& channel, uint16_t code, std::string_view candidate) {
    // The candidate stays the session password whatever the camera answers.
    channel.SetPassword(candidate);
    Reply reply;
    if (Call(channel, code, {}, reply) != kDone) return kNoReply;
    return reply.status() == 1 ? 1 : kDone;
}

int32_t DisablePassword(CommandChannel& channel, uint16_t code, std::string_view password) {
    const auto block = CommandChannel::PasswordBlock(password);
    CommandChannel::Options options;
    options.password_block = &block;
    Reply reply;
    if (Call(channel, code, {}, reply, options) != kDone) return kNoReply;
    return RefusedOnOne(reply);
}

int32_t SetPassword(CommandChannel& channel, uint16_t code, std::string_view old_password,
                    std::string_view new_password, bool becomes_session_password) {
    const auto old_block = CommandChannel::PasswordBlock(old_password);
    const auto new_block = CommandChannel::PasswordBlock(new_password);
    if (becomes_session_password) channel.SetPassword(new_password);
    CommandChannel::Options options;
    options.password_block = &old_block;
    Reply reply;
    if (Call(channel, code, new_block, reply, options) != kDone) return kNoReply;
    return RefusedOnOne(reply);
}

}  // namespace

int32_t AddressTextToBytes(std::string_view text, std::array<uint8_t, 4>& bytes) {
    text = text.substr(0, std::min(text.size(), kMaxAddressText));
    std::array<uint8_t, 4> out{};
    size_t count = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('.', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view piece = text.substr(pos, end - pos);
        pos = end + 1;
        if (piece.empty()) continue;
        uint32_t number = 0;
        for (char c : piece) {
            if (c < '0' || c > '9') break;
            number = number * 10 + uint32_t(c - '0');
            if (number > 255) return kBadAddressArgument;
        }
        if (count == 4) return kBadAddressArgument;
        out[count++] = uint8_t(number);
    }
    if (count != 4) return kBadAddressArgument;
    bytes = out;
    return kDone;
}

std::string AddressBytesToText(const uint8_t* b) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

std::string MacBytesToText(const uint8_t* b) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X.%02X.%02X.%02X.%02X.%02X", b[0], b[1], b[2], b[3], b[4],
                  b[5]);
    return text;
}

int32_t scmd_get_mac_address(CommandChannel& channel, std::string& mac) {
    Reply reply;
    if (Call(channel, 2, {}, reply) != kDone) return kNoReply;
    mac = MacBytesToText(&reply.bytes[4]);
    return kDone;
}

int32_t scmd_get_camera_id(CommandChannel& channel, std::string& id) {
    Reply reply;
    if (Call(channel, 4, {}, reply) != kDone) return kNoReply;
    const char* chars = reinterpret_cast<const char*>(&reply.bytes[4]);
    id.assign(chars, strnlen(chars, 8));
    return kDone;
}

int32_t scmd_set_camera_id(CommandChannel& channel, std::string_view id) {
    std::array<uint8_t, 8> params{};
    id.copy(reinterpret_cast<char*>(params.data()), params.size());
    Reply reply;
    if (Call(channel, 177, params, reply) != kDone) return kNoReply;
    return reply.status() == 0 ? kDone : kRefused;
}

int32_t scmd_reset_camera(CommandChannel& channel) {
    Reply reply;
    if (Call(channel, 178, {}, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_set_ip_address(CommandChannel& channel, std::string_view address) {
    return SetAddress(channel, 161, address);
}

int32_t scmd_set_subnet_mask(CommandChannel& channel, std::string_view mask) {
    return SetAddress(channel, 163, mask);
}

int32_t scmd_set_default_gateway(CommandChannel& channel, std::string_view gateway) {
    return SetAddress(channel, 165, gateway);
}

int32_t scmd_get_subnet_mask(CommandChannel& channel, std::string& mask) {
    return GetAddress(channel, 162, mask);
}

int32_t scmd_get_default_gateway(CommandChannel& channel, std::string& gateway) {
    return GetAddress(channel, 164, gateway);
}

int32_t scmd_get_IP_address(CommandChannel& channel, std::string& address) {
    Reply reply;
    if (Call(channel, 166, {}, reply) != kDone) return kNoReply;
    address = AddressBytesToText(&reply.bytes[4]);
    // This reply carries the address where others carry the status.
    return LoadU16(&reply.bytes[8]);
}

int32_t scmd_set_DHCP(CommandChannel& channel, int16_t enabled) {
    uint8_t params[4] = {};
    StoreU16(params, uint16_t(enabled));
    Reply reply;
    if (Call(channel, 167, params, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_DHCP(CommandChannel& channel, DhcpInfo& info) {
    const uint8_t params[4] = {};
    Reply reply;
    if (Call(channel, 168, params, reply) != kDone) return kNoReply;
    ByteReader r(reply.bytes.data(), reply.bytes.size());
    r.Seek(6);
    info.enabled = r.I16();
    info.status = r.I16();
    r.Bytes(info.server.data(), info.server.size());
    r.Skip(4);
    info.lease_obtained = r.I32();
    info.lease_expires = r.I32();
    return reply.status();
}

int32_t scmd_get_user_passwd_enable(CommandChannel& channel) {
    return StatusQuery(channel, 153);
}

int32_t scmd_get_passwd_enable(CommandChannel& channel) {
    return StatusQuery(channel, 144);
}

int32_t scmd_get_super_passwd_enable(CommandChannel& channel) {
    return StatusQuery(channel, 150);
}

int32_t scmd_check_user_passwd(CommandChannel& channel, std::string_view candidate) {
    return CheckPassword(channel, 152, candidate);
}

int32_t scmd_check_passwd(CommandChannel& channel, std::string_view candidate) {
    return CheckPassword(channel, 146, candidate);
}

int32_t scmd_check_admin_passwd(CommandChannel& channel, std::string_view candidate) {
    return CheckPassword(channel, 149, candidate);
}

int32_t scmd_set_passwd_disable_user(CommandChannel& channel, std::string_view password) {
    return DisablePassword(channel, 154, password);
}

int32_t scmd_set_passwd_disable(CommandChannel& channel, std::string_view password) {
    return DisablePassword(channel, 145, password);
}

int32_t scmd_set_super_passwd_disable(CommandChannel& channel, std::string_view password) {
    return DisablePassword(channel, 151, password);
}

int32_t scmd_set_passwd_user(CommandChannel& channel, std::string_view old_password,
                             std::string_view new_password) {
    return SetPassword(channel, 155, old_password, new_password, true);
}

int32_t scmd_set_passwd(CommandChannel& channel, std::string_view old_password,
                        std::string_view new_password) {
    return SetPassword(channel, 147, old_password, new_password, true);
}

int32_t scmd_set_super_passwd(CommandChannel& channel, std::string_view old_password,
                              std::string_view new_password) {
    return SetPassword(channel, 160, old_password, new_password, false);
}

}  // namespace kest::protocol
