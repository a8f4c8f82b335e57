// The pull mode of the live picture stream: the receive thread asks the
// camera for one compressed picture at a time, collects its packets, asks
// again for lost ones, has the frame completed and hands it to the listeners.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

#include "control/protocol/transport.h"

namespace kest {

class CKestCamera;

// Results that end reception, and the end codes EndDownloading reports.
enum ReceiveResult : int32_t {
    kReceiveMpegMode = -25,    // end code 6
    kReceiveStatus7 = -26,     // end code 7
    kReceiveStatus4 = -23,     // end code 4
    kReceiveMulticast = -24,   // end code 5
    kReceiveRefused = -2,      // end code 3
    kReceiveLost = -1,         // end code 10: no answer within the retry window
    kReceiveResendZero = -20,  // end code 0
};
// The receive results that have an end code of their own; every other result
// ends as 100 (or 101 when a stop was asked for).
struct EndCodeRow {
    int32_t result;
    int16_t code;
};
inline constexpr EndCodeRow kEndCodes[] = {
    {kReceiveStatus7, 7}, {kReceiveMpegMode, 6},   {kReceiveMulticast, 5}, {kReceiveStatus4, 4},
    {kReceiveRefused, 3}, {kReceiveResendZero, 0}, {kReceiveLost, 10},
};
inline constexpr int16_t kEndCodeNormal = 100;
inline constexpr int16_t kEndCodeRequested = 101;
// The end code of a receive result; stop tells a requested end (101) from a
// normal one (100).
int16_t EndCode(int32_t result, bool stop);

constexpr int kPacketPayloadMax = 1375;
constexpr int kPacketHeaderSize = 28;
constexpr int kMaxPackets = 255;        // the packet map has 256 entries
constexpr int kCameraHeaderMax = 1300;  // the camera's own JPEG header

// The head of a picture packet, as the pull and the push mode receive it.
struct PicturePacket {
    uint16_t sequence = 0;
    uint16_t flags = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    int16_t pan = 0;
    int16_t tilt = 0;
    int16_t number = 0;
    int16_t count = 0;
    int16_t payload = 0;  // bytes of picture data after the head
    uint8_t scale_quality = 0;
    uint32_t total = 0;  // the frame's compressed length
    const uint8_t* data = nullptr;
};
// False when the datagram is shorter than the head; the payload length is
// the caller's to check against the datagram.
bool ReadPicturePacket(const uint8_t* bytes, size_t length, PicturePacket& packet);
// The first packet of a frame carries the frame's state: orientation, limits,
// motors, zoom, size, quality and scale.
void TakeFrameState(CKestCamera& camera, const PicturePacket& packet);

class PictureReceiver {
  public:
    explicit PictureReceiver(CKestCamera& camera) : camera_(camera) {}
    ~PictureReceiver();
    PictureReceiver(const PictureReceiver&) = delete;
    PictureReceiver& operator=(const PictureReceiver&) = delete;

    // 0, -60 when running already, or the negative scmd_nop result.
    int32_t Start(bool continuous, bool notify);
    int32_t RequestStop();
    // The running flag while no result is recorded; else waits for the end
    // and gives the result.
    int32_t WaitEnd();
    // Joins an ended thread.
    void Join();

    bool running() const { return running_.load() != 0; }
    bool stop_requested() const { return stop_.load() != 0; }
    bool continuous() const { return continuous_.load(); }
    int32_t result() const { return result_.load(); }
    void set_result(int32_t r) { result_.store(r); }

    // Pictures the camera completed (ended with scmd_block_data).
    uint32_t frames_completed() const { return frames_completed_.load(); }
    uint32_t resend_requests() const { return resend_requests_.load(); }

  private:
    enum class Next { kNextFrame, kEnd };

    void Loop();
    Next FetchFrame(uint16_t picture_id, bool& holding_lock);
    // Takes one picture packet into place; false when it is malformed.
    enum class Take { kOk, kDropFrame, kEnd };
    Take TakePacket(const protocol::Reply& packet, size_t length, bool first, int expected);
    void Unlock(bool& holding_lock);
    // Drops the frame being fetched: the next one is asked for (or the loop
    // ends on a stop request).
    Next Drop(bool& holding_lock);

    CKestCamera& camera_;
    std::thread thread_;
    std::atomic<int> running_{0};
    std::atomic<int> stop_{0};
    std::atomic<int32_t> result_{0};
    std::atomic<bool> continuous_{false};
    std::atomic<bool> notify_{false};
    std::atomic<uint32_t> frames_completed_{0};
    std::atomic<uint32_t> resend_requests_{0};

    // Receive thread only.
    std::optional<protocol::BurstReceiveBuffer> burst_buffer_;  // while the lock is held
    uint32_t last_request_ms_ = 0;                              // pacing, per camera
    std::array<uint8_t, kMaxPackets + 1> received_{};
    int packet_count_ = 0;
    int payload_size_ = 0;  // L, from the first packet of the frame
    uint32_t frame_length_ = 0;
    size_t header_length_ = 0;
    std::array<uint8_t, kCameraHeaderMax> header_{};
};

}  // namespace kest
