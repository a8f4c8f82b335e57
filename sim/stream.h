// The simulator's pull-mode picture stream: frame polls, the camera's own
// header for the newer models, picture packets, re-sent packets, frame ends.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "platform/udp_socket.h"
#include "sim/simulator.h"

namespace kest::sim {

constexpr int kMaxPayload = 1375;  // picture bytes per packet
constexpr int kPacketHeader = 28;

// Lock sim.state_mutex() around access from outside the sim thread.
struct StreamState {
    // The picture.
    int width = 640;
    int height = 480;
    int quality_level = 4;  // Q, 0 to 15
    int scale_code = 1;     // 0..3: factor 50, 25, 12.5, 6.25
    int sampling = 0;       // 1: 4:2:2, 0: 4:2:0
    int reverse = 0;
    int16_t pan = 0;
    int16_t tilt = 0;
    int pan_limit = 0;
    int tilt_limit = 0;
    int motor_moving = 0;
    int initial_moving = 0;
    int zoom = 0;
    int motion = 0;  // the motion flag in the comment of models 11 and 20
    // The detection areas the comment of models 11 and 20 shows as set: the
    // camera's area set (area n is bit n, least significant bit first).
    std::array<uint8_t, 40> areas{};
    int payload = kMaxPayload;

    // Faults.
    int not_ready_polls = 0;       // answer "not ready" this many polls first
    int forced_status = -1;        // every poll answers this status
    bool mpeg_mode = false;        // poll 129 answers 6
    std::set<int> drop_once;       // packets of the next frame lost on their first send
    std::set<int> never_resend;    // packets whose resend never comes
    bool last_alone_once = false;  // the next frame's first send is its last packet only
    double loss_fraction = 0.0;    // packets lost at random (first sends only)
    std::mt19937 rng{1};
    int stop_after_frames = -1;  // stop answering polls after this many frames
    uint32_t poll_delay_ms = 0;
    bool preencoded = false;  // serve a few frames encoded once (benchmarks)
    // The packets (and a camera's own header) claim this picture size while
    // the scan stays the real picture's: a hostile camera. 0: the real size.
    int claimed_width = 0;
    int claimed_height = 0;
    int pad_to_packets = 0;      // the frame's data filled up to this many full packets
    bool header_comment = true;  // false: the camera's own header has no comment
    // A camera that keeps talking: every 10 ms a datagram with a sequence
    // number no request carries goes to the client that polled last, until
    // flood_left is used up.
    int flood_left = 0;
    uint32_t flood_sent = 0;
    uint32_t client_ip = 0;
    uint16_t client_port = 0;
    uint16_t client_sequence = 0;

    // What was sent.
    uint16_t picture_id = 0;
    std::vector<std::vector<uint8_t>> packets;  // the current frame's, for resends
    uint32_t frames_sent = 0;
    uint32_t frames_completed = 0;  // ended with scmd_block_data
    uint32_t polls = 0;
    uint32_t resends = 0;
    int jpeg_mode = 0;
    int frame_rate_index = 0;
    std::vector<std::vector<uint8_t>> cache;  // preencoded frames (whole frame data)
};

// Push mode: a camera set to multicast (mode 1 of scmd_set_multicast_mode)
// sends every frame to its group and port once scmd_get_comp_data 131 asks
// for it: a frame header datagram (251), then the picture packets (252), all
// with the frame's own sequence number. Lock sim.state_mutex() from outside.
struct MulticastPushState {
    bool pushing = false;
    uint32_t period_ms = 100;  // between frames
    int check_status = 1;      // the answer to the check (131 with argument 0)
    uint16_t sequence = 0x4000;
    std::set<int> drop_once;  // packets of the next frame not sent
    bool packet_before_header =
        false;  // the next frame's last packet also goes ahead of its header
    // The next frame loses its last packet, and the frame after it its header.
    bool tail_then_header = false;
    bool header_lost_next = false;
    uint32_t frames_pushed = 0;
    uint32_t checks = 0;
    uint64_t last_push_us = 0;
    platform::UdpSocket sender;
};

// The camera's own JPEG header for models 11, 13 and 20 (K bytes), built
// around the encoded tables; the entropy data then ends with the end marker.
std::vector<uint8_t> CameraHeader(int model, const std::vector<uint8_t>& tables, int reverse,
                                  int motion, const std::vector<uint8_t>& lattice1,
                                  const std::vector<uint8_t>& lattice2);

void RegisterStream(Simulator& sim);

}  // namespace kest::sim
