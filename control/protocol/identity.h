// Identity, network and password commands: MAC address, camera ID, IPv4
// address, subnet mask, gateway, DHCP, reset, and the camera's three passwords
// (level 0 user, level 1 main, level 2 super).
//
// Every function runs one exchange on an open channel and returns the command
// result of the transport: 0 done, positive a value from the reply, negative
// an error. The camera object's accessor (WithChannel) gives -200 without an
// open session.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "control/protocol/transport.h"

namespace kest::protocol {

// Address text to its four wire bytes, first number first: at most the first
// 15 characters count, pieces are split at '.', empty pieces are skipped, each
// piece is its leading decimal digits (none gives 0). A number above 255, or
// other than four numbers, gives -90.
int32_t AddressTextToBytes(std::string_view text, std::array<uint8_t, 4>& bytes);
std::string AddressBytesToText(const uint8_t* bytes);
std::string MacBytesToText(const uint8_t* bytes);

// scmd_get_mac_address (2, short): 0 and the text "%02X.%02X...".
int32_t scmd_get_mac_address(CommandChannel& channel, std::string& mac);
// scmd_get_camera_id (4, short): 0 and the 8 bytes as text, ended early by a NUL.
int32_t scmd_get_camera_id(CommandChannel& channel, std::string& id);
// scmd_set_camera_id (177): the first 8 bytes of the text; 0 for status 0, else -2.
int32_t scmd_set_camera_id(CommandChannel& channel, std::string_view id);
// scmd_reset_camera (178): the status.
int32_t scmd_reset_camera(CommandChannel& channel);

// scmd_set_ip_address (161), scmd_set_subnet_mask (163),
// scmd_set_default_gateway (165): -90 for malformed text (nothing sent), -2
// for status 1, else 0.
int32_t scmd_set_ip_address(CommandChannel& channel, std::string_view address);
int32_t scmd_set_subnet_mask(CommandChannel& channel, std::string_view mask);
int32_t scmd_set_default_gateway(CommandChannel& channel, std::string_view gateway);
// scmd_get_subnet_mask (162), scmd_get_default_gateway (164): the status; the
// address text from +6.
int32_t scmd_get_subnet_mask(CommandChannel& channel, std::string& mask);
int32_t scmd_get_default_gateway(CommandChannel& channel, std::string& gateway);
// scmd_get_IP_address (166): the status at +8 (unsigned); the address from +4.
int32_t scmd_get_IP_address(CommandChannel& channel, std::string& address);

struct DhcpInfo {
    int16_t enabled = 0;
    int16_t status = 0;
    std::array<uint8_t, 4> server{};  // the DHCP server's address bytes
    int32_t lease_obtained = 0;
    int32_t lease_expires = 0;
};
// scmd_set_DHCP (167): the status.
int32_t scmd_set_DHCP(CommandChannel& channel, int16_t enabled);
// scmd_get_DHCP (168): the status (low 16 bits) and the five values.
int32_t scmd_get_DHCP(CommandChannel& channel, DhcpInfo& info);

// The password levels of the control methods.
enum PasswordLevel : int16_t { kUserLevel = 0, kMainLevel = 1, kSuperLevel = 2 };

// scmd_get_user_passwd_enable (153), scmd_get_passwd_enable (144),
// scmd_get_super_passwd_enable (150), short: the status (1 enabled, 0 not).
int32_t scmd_get_user_passwd_enable(CommandChannel& channel);
int32_t scmd_get_passwd_enable(CommandChannel& channel);
int32_t scmd_get_super_passwd_enable(CommandChannel& channel);

// The check commands (152, 146, 149) make the candidate the session password
// before sending, whatever the answer: 1 when wrong (status 1), else 0.
int32_t scmd_check_user_passwd(CommandChannel& channel, std::string_view candidate);
int32_t scmd_check_passwd(CommandChannel& channel, std::string_view candidate);
int32_t scmd_check_admin_passwd(CommandChannel& channel, std::string_view candidate);

// The disable commands (154, 145, 151) send the password in the password
// block and leave the session password alone: -2 for status 1, else 0.
int32_t scmd_set_passwd_disable_user(CommandChannel& channel, std::string_view password);
int32_t scmd_set_passwd_disable(CommandChannel& channel, std::string_view password);
int32_t scmd_set_super_passwd_disable(CommandChannel& channel, std::string_view password);

// The set commands (155, 147, 160) send the old password in the password
// block and the new one at +12. The user and main ones make the new password
// the session password before sending; the super one does not. -2 for status
// 1, else 0.
int32_t scmd_set_passwd_user(CommandChannel& channel, std::string_view old_password,
                             std::string_view new_password);
int32_t scmd_set_passwd(CommandChannel& channel, std::string_view old_password,
                        std::string_view new_password);
int32_t scmd_set_super_passwd(CommandChannel& channel, std::string_view old_password,
                              std::string_view new_password);

}  // namespace kest::protocol
