// The simulated camera's identity, network, passwords and services: the state
// behind their commands, the handlers that keep it, and the state file that
// carries the settings from one run to the next.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace kest::sim {

// Identity, network and passwords (sim/identity.cpp).
struct IdentityState {
    std::array<uint8_t, 6> mac{0x00, 0x80, 0x4B, 0x1E, 0x57, 0x01};
    std::array<uint8_t, 8> camera_id{'K', 'E', 'S', 'T', 'C', 'A', 'M', '1'};
    // The address in use, and one set but not yet applied by a reset.
    std::array<uint8_t, 4> address{127, 0, 0, 1};
    std::optional<std::array<uint8_t, 4>> pending_address;
    std::array<uint8_t, 4> mask{255, 0, 0, 0};
    std::array<uint8_t, 4> gateway{127, 0, 0, 254};
    int16_t dhcp_enabled = 0;
    int16_t dhcp_status = 0;
    std::array<uint8_t, 4> dhcp_server{};
    int32_t lease_obtained = 0;
    int32_t lease_expires = 0;

    struct Password {
        std::array<uint8_t, 8> block{};
        bool enabled = false;
        bool operator==(const Password&) const = default;
    };
    std::array<Password, 3> passwords;  // by level: 0 user, 1 main, 2 super
    int resets = 0;

    bool operator==(const IdentityState&) const = default;
};

// Camera services (sim/services.cpp).
struct ServicesState {
    int16_t framerate_mode = 0;
    int16_t bitrate = 512;

    // Recording to the memory card.
    bool recording = false;
    std::string current_file;
    std::vector<std::string> files;
    int next_file = 1;
    std::array<int16_t, 7> rec_started{};
    // Recording settings as on the wire: frame-rate indexes in the high halves.
    int32_t trigger = 0;
    int32_t alarm_rec = 0;
    std::array<uint8_t, 180> timer_rec{};
    std::array<uint32_t, 2> change_fps{};
    int32_t cf_full = 0;
    int32_t time_lapse = 0;

    uint8_t ntp = 0;
    int8_t ntp_signed = 0;
    std::array<uint8_t, 6> ntp_bytes{};
    std::array<uint8_t, 16> date_time{};

    int16_t cf_count = 1;
    std::array<uint8_t, 292> cf1{};
    std::array<uint8_t, 292> cf2{};

    int16_t ftp_enable = 0;
    int16_t ftp_port = 21;
    std::array<uint8_t, 4> ftp_address{};
    std::array<uint8_t, 164> ftp_setting{};
    int16_t ftp_server = 0;

    uint16_t http_port = 80;
    std::array<uint8_t, 32> default_page{'i', 'n', 'd', 'e', 'x', '.', 'h', 't', 'm', 'l'};
    std::array<int16_t, 4> http_settings{};

    int16_t multicast_mode = 0;
    std::array<uint8_t, 4> multicast_address{239, 0, 0, 1};
    int16_t burst_count = 1;
    int16_t burst_interval = 0;
    int16_t multicast_port = 5000;
    uint8_t ttl = 1;

    // Two serial control ports, 0 and 1.
    struct Port {
        int16_t mode = 0;
        int16_t device_type = 0;
        std::array<uint16_t, 6> setting{96, 8, 0, 1, 0, 0};  // speed in hundreds, five values
        bool operator==(const Port&) const = default;
    };
    std::array<Port, 2> ports;

    bool operator==(const ServicesState&) const = default;
};

// When the camera's clock was last set (sim/services.cpp): it runs from there.
struct ClockState {
    std::chrono::steady_clock::time_point set_at{};
};

void RegisterIdentity(Simulator& sim);
void RegisterServices(Simulator& sim);

// The settings of both as "key=value" lines (blocks in hex). Load ignores
// unknown keys and values that do not fit their field; false when the file
// cannot be read or written.
bool SaveState(Simulator& sim, const std::string& path);
bool LoadState(Simulator& sim, const std::string& path);
// Makes the camera's own address (what scmd_get_IP_address reports) this one.
void SetCameraAddress(Simulator& sim, const std::string& address);
// The address a state file holds, read before the simulator binds.
std::optional<std::string> StateFileAddress(const std::string& path);

// Reply fields at absolute datagram offsets (4 and 5 are the status word).
void PutBytes(Response& response, size_t offset, const void* data, size_t n);
void PutU8(Response& response, size_t offset, uint8_t v);
void PutU16(Response& response, size_t offset, uint16_t v);
void PutU32(Response& response, size_t offset, uint32_t v);
// A request's parameters (from offset 12) and its password block.
ByteReader Params(const Request& request);
std::array<uint8_t, 8> PasswordBlock(const Request& request);

}  // namespace kest::sim
