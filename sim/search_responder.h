// One loopback address that answers camera searches for several simulated
// cameras at once, each entry as that camera answers it. A host whose
// KEST.INI points its searches here (the setup tool's demo, its tests) finds
// every camera without broadcasting.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/udp_socket.h"
#include "sim/simulator.h"

namespace kest::sim {

// The answer camera gives to a search request (code 15: the address search;
// 14: the multicast search) with the given sequence number.
std::vector<uint8_t> SearchAnswer(Simulator& camera, uint16_t code, uint16_t sequence);

class SearchResponder {
  public:
    // The cameras must outlive the responder.
    explicit SearchResponder(std::vector<Simulator*> cameras) : cameras_(std::move(cameras)) {}
    ~SearchResponder();
    SearchResponder(const SearchResponder&) = delete;
    SearchResponder& operator=(const SearchResponder&) = delete;

    // Binds address (a loopback address) and port (0: an ephemeral one) and
    // answers on a thread of its own. False when that cannot be done.
    bool Start(const std::string& address = "127.0.0.1", uint16_t port = 0);
    void Stop();
    uint16_t port() const { return port_; }
    // Search requests taken so far.
    size_t requests() const { return requests_.load(); }

  private:
    void Run();

    std::vector<Simulator*> cameras_;
    platform::UdpSocket socket_;
    uint16_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<size_t> requests_{0};
};

}  // namespace kest::sim
