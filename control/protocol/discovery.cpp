#include "control/protocol/discovery.h"
#include "control/protocol/settings_file.h"

#include <netdb.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "control/protocol/transport.h"
#include "platform/byte_cursor.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/ticks.h"
#include "platform/udp_socket.h"

namespace kest::protocol {

namespace {

uint32_t FirstWord(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

SearchTarget ReadSearchTarget() {
    SearchTarget target;
    const std::string path = SettingsFilePath();
    std::string text = platform::GetProfileString(path, "udp", "search_address", "");
    if (text.empty()) return target;
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const long port = std::strtol(text.c_str() + colon + 1, nullptr, 10);
        if (port > 0 && port <= 65535) target.port = uint16_t(port);
        text.resize(colon);
    }
    uint32_t address = 0;
    if (platform::ParseIpv4(text, address)) target.address = address;
    return target;
}

uint32_t LocalAddress() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return 0;
    const uint32_t address =
        ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return address;
}

int32_t SearchPass(const SearchKind& kind, const SearchTarget& target, uint32_t local,
                   uint16_t sequence, std::span<uint8_t> pass, uint32_t window_ms) {
    platform::UdpSocket socket;
    if (!socket.Open()) return kSocketCreate;
    socket.SetBroadcast();
    socket.SetBufferSizes(kSocketBufferSize, kSocketBufferSize);
    if (!socket.SetNonBlocking()) return kNonBlocking;

    // +0 sequence, +2 code, +4 the local address, first number first.
    uint8_t request[8];
    StoreU16(request, sequence);
    StoreU16(request + 2, kind.code);
    request[4] = uint8_t(local >> 24), request[5] = uint8_t(local >> 16);
    request[6] = uint8_t(local >> 8), request[7] = uint8_t(local);
    const uint32_t start = platform::TickCount();
    if (socket.SendTo(request, sizeof request,
                      platform::MakeAddress(target.address, target.port)) !=
        ssize_t(sizeof request)) {
        TraceFailure(kind.name);
        return kNoReply;
    }
    size_t filled = 0;
    uint8_t answer[kReplyBufferSize];
    while (filled + kind.entry <= pass.size()) {
        const uint32_t elapsed = platform::TickCount() - start;
        if (elapsed >= window_ms) break;
        if (!socket.WaitReadable(int(std::min<uint32_t>(10, window_ms - elapsed)))) continue;
        size_t n = 0;
        sockaddr_in from{};
        if (socket.ReceiveFrom(answer, sizeof answer, n, from) !=
            platform::UdpSocket::Receive::kData) {
            continue;
        }
        // Any datagram is an answer; bytes past its end count as zero.
        uint8_t entry[12] = {};
        if (n > 4) std::memcpy(entry, answer + 4, std::min(n - 4, kind.entry));
        std::memcpy(pass.data() + filled, entry, kind.entry);
        filled += kind.entry;
    }
    return kDone;
}

int16_t MergeSearchPasses(const SearchKind& kind, std::span<const uint8_t> passes, size_t pass_size,
                          std::span<uint8_t> list) {
    std::fill(list.begin(), list.end(), uint8_t(0));
    const size_t capacity = list.size() / kind.entry;
    for (size_t p = 0; p + pass_size <= passes.size(); p += pass_size) {
        for (size_t e = 0; e + kind.entry <= pass_size; e += kind.entry) {
            const uint8_t* entry = passes.data() + p + e;
            const uint32_t word = FirstWord(entry);
            if (word == 0) break;
            for (size_t slot = 0; slot < capacity; ++slot) {
                uint8_t* at = list.data() + slot * kind.entry;
                const uint32_t here = FirstWord(at);
                if (here == word) break;
                if (here == 0) {
                    std::memcpy(at, entry, kind.entry);
                    break;
                }
            }
        }
    }
    int16_t count = 0;
    while (size_t(count) < capacity && FirstWord(list.data() + size_t(count) * kind.entry) != 0) {
        ++count;
    }
    return count;
}

int16_t Search(const SearchKind& kind, std::span<uint8_t> list, int16_t timeout) {
    const size_t size = list.size();
    std::vector<uint8_t> passes(size * kSearchPasses, 0);
    const SearchTarget target = ReadSearchTarget();
    const uint32_t local = LocalAddress();
    // The search keeps its own sequence numbers: it never touches a session's.
    uint32_t sequence = platform::TickCount() << 8;
    const uint32_t window = timeout > 0 ? uint32_t(timeout) * 100u : 0u;
    for (int pass = 0; pass < kSearchPasses; ++pass) {
        std::span<uint8_t> buffer(passes.data() + size_t(pass) * size, size);
        SearchPass(kind, target, local, uint16_t(++sequence), buffer, window);
    }
    return MergeSearchPasses(kind, passes, size, list);
}

}  // namespace kest::protocol
