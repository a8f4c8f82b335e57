// The simulator's RTSP/RTP side: an RTSP server on the camera's RTSP port that
// answers DESCRIBE, SETUP, PLAY, PAUSE and TEARDOWN as a camera does, and
// streams an MPEG-4 elementary stream as RTP (payload type 98) to the client's
// port while it plays: one frame per frame interval, split into fragments of
// at most max_payload bytes, the marker bit on each frame's last fragment.
//
// It records every request text it receives and can be told to answer a
// method with an error status, or not at all.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"

namespace kest::sim {

struct RtspServerConfig {
    std::string bind_address = "127.0.0.1";
    uint16_t port = 554;        // 0: an ephemeral port
    uint16_t rtp_port = 0;      // RTP goes here; 0: to the client_port the SETUP names
    std::string stream_path;    // the elementary stream; empty: nothing to send
    double frame_rate = 25.0;   // frames per second
    bool loop = false;          // start the stream again at its end
    size_t max_payload = 1400;  // RTP payload bytes per datagram
    uint32_t first_session = 12345678;
    std::string server_port;        // the Transport's server_port; "": the sending socket's ports
    bool setup_server_port = true;  // false: the SETUP reply's Transport names no server_port
    // false: the SETUP reply has no Session header, and requests without a
    // session are taken as the connection's own.
    bool setup_session = true;
};

// What has been streamed since the last PLAY from the start.
struct StreamStats {
    uint64_t frames = 0;
    uint64_t datagrams = 0;
    uint64_t payload_bytes = 0;
    bool playing = false;
    bool finished = false;  // every frame of the stream was sent (not looping)
};

// Splits an MPEG-4 Part 2 elementary stream into frames: each frame holds one
// picture (VOP) and the headers before it (VOS, VO, VOL, GOV, user data).
// The frames cover the stream without gaps.
std::vector<std::span<const uint8_t>> SplitFrames(std::span<const uint8_t> stream);

class RtspServer {
  public:
    explicit RtspServer(RtspServerConfig config = {});
    ~RtspServer();
    RtspServer(const RtspServer&) = delete;
    RtspServer& operator=(const RtspServer&) = delete;

    // Loads the stream, listens and starts serving on a thread of its own.
    // False when the stream cannot be read or the port cannot be bound.
    bool Start();
    void Stop();
    uint16_t port() const { return port_; }
    const RtspServerConfig& config() const { return config_; }
    const std::vector<uint8_t>& stream() const { return stream_; }
    size_t frame_count() const { return frames_.size(); }

    // Every request text received, in order.
    std::vector<std::string> Requests() const;
    // Answers every request of method with status; 0 answers normally again,
    // a negative status leaves the requests unanswered.
    void SetStatus(const std::string& method, int status);

    StreamStats Stats() const;
    // Waits up to ms until every frame was sent.
    bool WaitFinished(uint32_t ms) const;

  private:
    struct Connection;
    void Run();
    void HandleInput(Connection& c);
    void Answer(Connection& c, const std::string& request);
    void SendDueFrames(Connection& c, uint64_t now_us);
    void SendFrame(Connection& c, std::span<const uint8_t> frame);
    std::string Sdp() const;
    std::string ServerPorts() const;

    RtspServerConfig config_;
    std::vector<uint8_t> stream_;
    std::vector<std::span<const uint8_t>> frames_;
    platform::TcpListener listener_;
    platform::UdpSocket rtp_socket_;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> running_{false};
    int wake_fd_ = -1;
    uint32_t next_session_ = 0;

    mutable std::mutex mutex_;  // guards what follows
    std::vector<std::string> requests_;
    std::map<std::string, int> statuses_;
    StreamStats stats_;
};

}  // namespace kest::sim
