#include "sim/search_responder.h"

#include <netinet/in.h>

#include "platform/byte_cursor.h"

namespace kest::sim {

SearchResponder::~SearchResponder() {
    Stop();
}

bool SearchResponder::Start(const std::string& address, uint16_t port) {
    uint32_t ip = 0;
    if (!platform::ParseIpv4(address, ip) || (ip >> 24) != 127) return false;
    if (!socket_.Open() || !socket_.Bind(ip, port) || !socket_.SetNonBlocking()) {
        socket_.Close();
        return false;
    }
    port_ = socket_.LocalPort();
    running_.store(true);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void SearchResponder::Stop() {
    if (!running_.exchange(false)) return;
    if (thread_.joinable()) thread_.join();
    socket_.Close();
}

void SearchResponder::Run() {
    uint8_t request[64];
    while (running_.load()) {
        if (!socket_.WaitReadable(20)) continue;
        size_t n = 0;
        sockaddr_in from{};
        if (socket_.ReceiveFrom(request, sizeof request, n, from) !=
            platform::UdpSocket::Receive::kData) {
            continue;
        }
        // +0 sequence, +2 code; answers only to requesters on loopback.
        if (n < 4 || (ntohl(from.sin_addr.s_addr) >> 24) != 127) continue;
        const uint16_t sequence = LoadU16(request);
        const uint16_t code = LoadU16(request + 2);
        if (code != 14 && code != 15) continue;
        requests_.fetch_add(1);
        for (Simulator* camera : cameras_) {
            const std::vector<uint8_t> answer = SearchAnswer(*camera, code, sequence);
            socket_.SendTo(answer.data(), answer.size(), from);
        }
    }
}

}  // namespace kest::sim
