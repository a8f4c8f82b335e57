// The simulator's answers to camera searches: its address, and for the
// multicast search its multicast group and whether it multicasts.
#include "sim/search_responder.h"
#include "sim/services.h"
#include "sim/simulator.h"

namespace kest::sim {

namespace {

void PutAddress(std::vector<uint8_t>& out, const std::string& text) {
    uint32_t a = 0;
    platform::ParseIpv4(text, a);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(a >> shift));
}

}  // namespace

std::vector<uint8_t> SearchAnswer(Simulator& s, uint16_t code, uint16_t sequence) {
    // +0 sequence, +2 code, +4 the camera's address (+8 group, +12 value).
    std::vector<uint8_t> answer(4);
    StoreU16(&answer[0], sequence);
    StoreU16(&answer[2], code);
    PutAddress(answer, s.address());
    if (code == 14) {
        std::lock_guard lock(s.state_mutex());
        const ServicesState& services = s.State<ServicesState>();
        answer.insert(answer.end(), services.multicast_address.begin(),
                      services.multicast_address.end());
        const uint32_t on = services.multicast_mode == 1 ? 1u : 0u;
        for (int shift = 0; shift < 32; shift += 8)
            answer.push_back(uint8_t(on >> shift));
    }
    return answer;
}

void RegisterDiscovery(Simulator& sim) {
    for (uint16_t code : {uint16_t(14), uint16_t(15)}) {
        sim.Register(code, [code](Simulator& s, const Request& r, Response& out) {
            out.send = false;
            s.SendToRequester(r, SearchAnswer(s, code, r.sequence));
        });
    }
}

}  // namespace kest::sim
