// A scripted UDP peer on loopback that records every datagram it receives and
// answers as its script says.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/udp_socket.h"

namespace kest::test {

struct PeerDatagram {
    std::vector<uint8_t> bytes;
    uint16_t from_port = 0;
    uint64_t time_us = 0;

    uint16_t sequence() const;
    uint16_t code() const;
    // One canonical line: "seq=... code=... <hex of the rest>".
    std::string ToString() const;
};

// What the peer sends for one received datagram.
struct PeerReply {
    std::vector<uint8_t> bytes;
    uint32_t delay_ms = 0;     // before sending
    std::string from_address;  // "": the peer's own socket
};

class RecordingPeer {
  public:
    using Script = std::function<std::vector<PeerReply>(const PeerDatagram&)>;

    explicit RecordingPeer(Script script = nullptr);
    ~RecordingPeer();

    uint16_t port() const { return port_; }
    std::vector<PeerDatagram> Received() const;
    size_t count() const;
    // Waits up to ms for at least n datagrams.
    bool WaitFor(size_t n, uint32_t ms) const;
    void SetScript(Script script);
    // Sends bytes from the peer's own address and port to the sender of the
    // last datagram received, every period_ms, count times at most (a camera
    // that keeps talking); Flood({}, 0, 0) stops it.
    void Flood(std::vector<uint8_t> bytes, uint32_t period_ms, size_t count);
    size_t flood_sent() const;

    // A reply to a request: its sequence, the flags word, status, then data.
    static std::vector<uint8_t> Reply(const PeerDatagram& request, int16_t status,
                                      std::vector<uint8_t> data = {}, uint16_t flags = 0);

  private:
    void Run();

    platform::UdpSocket socket_;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> running_{true};
    mutable std::mutex mutex_;
    Script script_;
    std::vector<PeerDatagram> received_;
    sockaddr_in last_sender_{};
    std::vector<uint8_t> flood_;
    uint32_t flood_period_ms_ = 0;
    size_t flood_left_ = 0;
    size_t flood_sent_ = 0;
    uint64_t flood_due_us_ = 0;
};

}  // namespace kest::test
