#include "sim/loopback_address.h"

#include <random>

#include "platform/udp_socket.h"

namespace kest::sim {

namespace {

bool PortFree(uint32_t address, uint16_t port, bool reuse) {
    platform::UdpSocket probe;
    if (!probe.Open() || (reuse && !probe.SetReuseAddress())) return false;
    return probe.Bind(address, port);
}

}  // namespace

std::string FreeLoopbackAddress(uint16_t port, const std::vector<std::string>& preferred) {
    for (const std::string& text : preferred) {
        uint32_t address = 0;
        if (platform::ParseIpv4(text, address) && (address >> 24) == 127 &&
            PortFree(address, port, false)) {
            return text;
        }
    }
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<uint32_t> host(1, 254);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const uint32_t address = 127u << 24 | host(random) << 16 | host(random) << 8 | host(random);
        // Simulated cameras bind with address reuse, and so may one that
        // listens for searches on 0.0.0.0 with this port: a bind with reuse
        // still gets this address (a chance pick of an address another
        // camera holds is not worth guarding against).
        if (PortFree(address, port, false) || PortFree(address, port, true)) {
            return platform::FormatIpv4(address);
        }
    }
    return {};
}

}  // namespace kest::sim
