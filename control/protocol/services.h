// Camera-service commands: recording to the camera's memory card, clock and
// NTP, memory-card information, FTP upload and FTP server, web server port and
// pages, MPEG-4 parameters, multicast streaming, the serial control ports and
// the pass-through to them.
//
// Every function runs one exchange on an open channel and returns the command
// result of the transport (0 done, positive a value from the reply, negative
// an error). Blocks the camera defines are passed through unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "control/protocol/transport.h"

namespace kest::protocol {

// Recorded file names and web page names: a 32-byte field with the NUL.
constexpr size_t kNameFieldSize = 32;
constexpr size_t kMaxHttpPageName = 20;
// The data bytes one pass-through may carry.
constexpr int kMaxPassThroughBytes = 1460;

// Frames per second of the recording settings and the camera's frame-rate
// index: 30, 15, 10, 8, 7, 6, 5, 4, 3, 2, 1 <-> 0, 1, 2, 3, 4, 5, 6, 8, 9, 14,
// 29. -1 for a value outside the table.
int RecordingRateToIndex(int frames_per_second);
int RecordingIndexToRate(int index);

// scmd_set_mpeg4_param (123), scmd_get_mpeg4_param (124): the status.
struct Mpeg4Parameter {
    int16_t framerate_mode = 0;
    int16_t bitrate = 0;
};
int32_t scmd_set_mpeg4_param(CommandChannel& channel, const Mpeg4Parameter& parameter);
int32_t scmd_get_mpeg4_param(CommandChannel& channel, Mpeg4Parameter& parameter);

// scmd_start_local_rec (192), scmd_stop_local_rec (193),
// scmd_del_local_recfile_all (198): the status.
int32_t scmd_start_local_rec(CommandChannel& channel);
int32_t scmd_stop_local_rec(CommandChannel& channel);
int32_t scmd_del_local_recfile_all(CommandChannel& channel);
// scmd_del_local_recfile (197): the status; -10 without traffic for a name
// that does not fit its field with the NUL.
int32_t scmd_del_local_recfile(CommandChannel& channel, std::string_view filename);

struct LocalRecStatus {
    int16_t status1 = 0;
    int16_t status2 = 0;
    std::string filename;                // the 32-byte field up to its first NUL
    std::array<int16_t, 7> date_time{};  // the seven values at +40
};
// scmd_get_local_rec_status (194): the value at +4 (Status1).
int32_t scmd_get_local_rec_status(CommandChannel& channel, LocalRecStatus& status);

// The recording settings with frame rates in frames per second: each
// change_fps word holds a 16-bit value in its low half and a rate in its high.
struct LocalRecInfo {
    int32_t trigger = 0;
    int32_t alarm_rec = 0;
    std::array<uint8_t, 180> timer_rec{};
    std::array<uint32_t, 2> change_fps{};
    int32_t cf_full = 0;
    int32_t time_lapse = 0;
};
// scmd_set_local_rec_info (199): the status; -10 without traffic when a frame
// rate is not in the table.
int32_t scmd_set_local_rec_info(CommandChannel& channel, const LocalRecInfo& info);
// scmd_get_local_rec_info (200): the status. A frame-rate index outside the
// table reads as rate 0 and sets unknown_rate.
int32_t scmd_get_local_rec_info(CommandChannel& channel, LocalRecInfo& info, bool& unknown_rate);

struct ClockSetting {
    uint8_t ntp = 0;
    int8_t ntp_signed = 0;  // the signed byte of the NTP settings
    std::array<uint8_t, 6> ntp_bytes{};
    std::array<uint8_t, 16> date_time{};
};
// scmd_set_current_datetime (224), scmd_get_current_datetime (225): the status.
int32_t scmd_set_current_datetime(CommandChannel& channel, const ClockSetting& clock);
int32_t scmd_get_current_datetime(CommandChannel& channel, ClockSetting& clock);

struct CfInformation {
    int16_t count = 0;
    std::array<uint8_t, 292> cf1{};
    std::array<uint8_t, 292> cf2{};
};
// scmd_get_cf_info (226): the status.
int32_t scmd_get_cf_info(CommandChannel& channel, CfInformation& info);

// scmd_set_port_mode (235), scmd_get_port_mode (236): the status.
int32_t scmd_set_port_mode(CommandChannel& channel, int16_t command, int16_t port1, int16_t port2);
int32_t scmd_get_port_mode(CommandChannel& channel, int16_t port, int16_t& port_status);

struct PortConfig {
    int16_t device_type = 0;
    uint32_t speed = 0;  // the camera's hundreds, times 100
    std::array<int16_t, 5> values{};
};
// scmd_get_port_config (237): the status.
int32_t scmd_get_port_config(CommandChannel& channel, int16_t port, PortConfig& config);
// scmd_set_port_config (239): the 12 setting bytes go out unchanged; the
// result is the value at +8.
int32_t scmd_set_port_config(CommandChannel& channel, int16_t port, int16_t device_type,
                             std::span<const uint8_t, 12> setting);

// scmd_pass_through_cmd (238): sends the data bytes to a control port and
// waits timeout_ms for the answer. The result is reply byte 5; the reply's
// bytes from +12 are copied into ack, at most its length, and copied says how
// many; ack_size is the value at +7, within 0 and the data bytes received. -10 without traffic for
// more than 1460 bytes; -1 without a reply or with one too short to carry its result.
struct PassThroughAnswer {
    int16_t ack_size = 0;
    size_t copied = 0;
};
int32_t scmd_pass_through_cmd(CommandChannel& channel, int16_t port, int16_t count,
                              std::span<const uint8_t> data, std::span<uint8_t> ack,
                              int32_t timeout_ms, PassThroughAnswer& answer);

struct FtpInit {
    int16_t enable = 0;
    int16_t server_port = 0;
    std::array<uint8_t, 4> address{};  // the server's address bytes, first number first
    std::array<uint8_t, 164> setting{};
};
// scmd_ftp_init (592): the status.
int32_t scmd_ftp_init(CommandChannel& channel, const FtpInit& init);
// scmd_ftp_get_init (593): the 16-bit value at +22 (byte 10 of the setting block).
int32_t scmd_ftp_get_init(CommandChannel& channel, FtpInit& init);
// scmd_set_ftp_server_enable (594), scmd_get_ftp_server_enable (595): the status.
int32_t scmd_set_ftp_server_enable(CommandChannel& channel, int16_t status);
int32_t scmd_get_ftp_server_enable(CommandChannel& channel, int16_t& status);

struct MulticastMode {
    int16_t mode = 0;
    std::array<uint8_t, 4> address{};  // the group, first number first
    int16_t burst_count = 0;
    int16_t burst_interval = 0;
    int16_t port = 0;
    uint8_t ttl = 0;
};
// scmd_set_multicast_mode (624), scmd_get_multicast_mode (625): the status.
int32_t scmd_set_multicast_mode(CommandChannel& channel, const MulticastMode& mode);
int32_t scmd_get_multicast_mode(CommandChannel& channel, MulticastMode& mode);

// scmd_set_http_port (1024): -100 for port 0 (nothing sent), -2 for status 1,
// -70 for status 2, else 0.
int32_t scmd_set_http_port(CommandChannel& channel, int16_t port);
// scmd_get_http_port (1025, short): 0 and the port at +4.
int32_t scmd_get_http_port(CommandChannel& channel, int16_t& port);
// scmd_set_http_default_page (1026): the status; -10 without traffic for a
// name shorter than 1 or longer than 20 characters.
int32_t scmd_set_http_default_page(CommandChannel& channel, std::string_view page);
// scmd_get_http_default_page (1027): the status at +36, after the name.
int32_t scmd_get_http_default_page(CommandChannel& channel,
                                   std::array<uint8_t, kNameFieldSize>& page);
// scmd_set_http_general_setting (1028), scmd_get_http_general_setting
// (1029): the status.
int32_t scmd_set_http_general_setting(CommandChannel& channel, int16_t sub_command, int16_t value);
int32_t scmd_get_http_general_setting(CommandChannel& channel, int16_t sub_command, int16_t& value);

}  // namespace kest::protocol
