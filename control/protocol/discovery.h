// Camera discovery: a request broadcast to the cameras' command port, and
// every datagram that comes back within the window counted as an answer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kest::protocol {

struct SearchKind {
    uint16_t code;     // 15 address search, 14 multicast search
    const char* name;  // for the failure trace
    size_t entry;      // bytes per entry taken from offset 4 of each answer
};
constexpr SearchKind kAddressSearch{15, "scmd_get_ip_adr", 4};
constexpr SearchKind kMulticastSearch{14, "scmd_get_multicast_adr", 12};
constexpr int kSearchPasses = 10;

// Where search requests go: "KEST.INI" [udp] search_address ("ADDR" or
// "ADDR:PORT"), default 255.255.255.255 port 4000.
struct SearchTarget {
    uint32_t address = 0xFFFFFFFFu;
    uint16_t port = 4000;
};
SearchTarget ReadSearchTarget();

// The first IPv4 address the host-name lookup of this computer gives (host order).
uint32_t LocalAddress();

// One pass on a socket of its own: sends the request and appends the entry of
// every datagram that arrives within window_ms to pass, while a whole entry
// fits. 0, -6 (no socket), -7 (not non-blocking) or -1 (send failed).
int32_t SearchPass(const SearchKind& kind, const SearchTarget& target, uint32_t local,
                   uint16_t sequence, std::span<uint8_t> pass, uint32_t window_ms);

// The whole search: 10 passes of timeout tenths of a second, merged into
// list without duplicates (by the first 32-bit word); the count of entries.
int16_t Search(const SearchKind& kind, std::span<uint8_t> list, int16_t timeout);

// Merges the pass buffers into list as the search does; the count.
int16_t MergeSearchPasses(const SearchKind& kind, std::span<const uint8_t> passes, size_t pass_size,
                          std::span<uint8_t> list);

}  // namespace kest::protocol
