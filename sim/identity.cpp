// The simulated camera's identity, network and password commands, and the
// password gate in front of every command.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "control/protocol/commands.h"
#include "control/protocol/identity.h"
#include "sim/services.h"

namespace kest::sim {

namespace {

using Password = IdentityState::Password;

// Bytes after a NUL are not significant.
bool SamePassword(const std::array<uint8_t, 8>& a, const std::array<uint8_t, 8>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
        if (a[i] == 0) return true;
    }
    return true;
}

std::array<uint8_t, 4> ReadAddress(ByteReader r) {
    std::array<uint8_t, 4> a{};
    r.Bytes(a.data(), a.size());
    return a;
}

// Commands whose password block is the password they work on, not a proof.
bool IsPasswordCommand(uint16_t code) {
    switch (code) {
        case 145:
        case 146:
        case 147:
        case 149:
        case 151:
        case 152:
        case 154:
        case 155:
        case 160:
            return true;
        default:
            return false;
    }
}

// How a refusal looks in the replies that carry no status word at +4; every
// other command answers status 1.
struct Refusal {
    uint16_t code;
    size_t offset;
    uint16_t value;
};
constexpr Refusal kRefusals[] = {
    {166, 8, 1},       // scmd_get_IP_address: status after the address
    {194, 4, 2},       // scmd_get_local_rec_status: Status1 2, not permitted
    {238, 4, 0x0100},  // scmd_pass_through_cmd: result byte 5 is 1
    {239, 8, 1},       // scmd_set_port_config: result at +8
    {593, 22, 1},      // scmd_ftp_get_init: result inside the setting block
    {1027, 36, 1},     // scmd_get_http_default_page: status after the name
};

void Refuse(uint16_t code, Response& r) {
    for (const Refusal& refusal : kRefusals) {
        if (refusal.code == code) {
            PutU16(r, refusal.offset, refusal.value);
            return;
        }
    }
    r.status = 1;
}

// With the main password enabled, a request must prove the main (or an
// enabled super) password in its block, as a camera checks it.
bool PasswordGate(Simulator& sim, const Request& request, Response& response) {
    const protocol::CommandInfo* row = protocol::FindCommand(request.code);
    if (!row || row->form != protocol::Form::kLong || IsPasswordCommand(request.code)) {
        return false;
    }
    // The search requests carry an address where others carry the password.
    if (request.code == 14 || request.code == 15) return false;
    const auto block = PasswordBlock(request);
    std::lock_guard lock(sim.state_mutex());
    const IdentityState& st = sim.State<IdentityState>();
    const Password& main = st.passwords[1];
    const Password& super = st.passwords[2];
    if (!main.enabled || SamePassword(block, main.block)) return false;
    if (super.enabled && SamePassword(block, super.block)) return false;
    Refuse(request.code, response);
    return true;
}

void Check(Simulator& sim, const Request& request, Response& r, int level) {
    const auto block = PasswordBlock(request);
    std::lock_guard lock(sim.state_mutex());
    const Password& p = sim.State<IdentityState>().passwords[size_t(level)];
    r.status = p.enabled && !SamePassword(block, p.block) ? 1 : 0;
}

void Disable(Simulator& sim, const Request& request, Response& r, int level) {
    const auto block = PasswordBlock(request);
    std::lock_guard lock(sim.state_mutex());
    Password& p = sim.State<IdentityState>().passwords[size_t(level)];
    if (p.enabled && !SamePassword(block, p.block)) {
        r.status = 1;
        return;
    }
    p.enabled = false;
    r.status = 0;
}

void Set(Simulator& sim, const Request& request, Response& r, int level) {
    const auto old_block = PasswordBlock(request);
    std::array<uint8_t, 8> new_block{};
    Params(request).Bytes(new_block.data(), new_block.size());
    std::lock_guard lock(sim.state_mutex());
    Password& p = sim.State<IdentityState>().passwords[size_t(level)];
    if (p.enabled && !SamePassword(old_block, p.block)) {
        r.status = 1;
        return;
    }
    p.block = new_block;
    p.enabled = true;
    r.status = 0;
}

void Enabled(Simulator& sim, Response& r, int level) {
    std::lock_guard lock(sim.state_mutex());
    r.status = sim.State<IdentityState>().passwords[size_t(level)].enabled ? 1 : 0;
}

// The address commands: 161 address (applies at reset), 163 mask, 165 gateway.
void SetAddress(Simulator& sim, const Request& request, Response& r) {
    const auto a = ReadAddress(Params(request));
    std::lock_guard lock(sim.state_mutex());
    IdentityState& st = sim.State<IdentityState>();
    switch (request.code) {
        case 161:
            // 0.0.0.0 and broadcast are no camera address.
            if (a == std::array<uint8_t, 4>{} || a == std::array<uint8_t, 4>{255, 255, 255, 255}) {
                r.status = 1;
                return;
            }
            st.pending_address = a;
            break;
        case 163:
            st.mask = a;
            break;
        default:
            st.gateway = a;
            break;
    }
    r.status = 0;
}

}  // namespace

void PutBytes(Response& response, size_t offset, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) {
        const size_t at = offset + i;
        if (at < 4) continue;  // the header is the simulator's
        if (at < 6) {
            uint16_t s = uint16_t(response.status);
            s = at == 4 ? uint16_t((s & 0xFF00) | p[i]) : uint16_t((s & 0x00FF) | (p[i] << 8));
            response.status = int16_t(s);
            continue;
        }
        if (response.data.size() < at - 5) response.data.resize(at - 5, 0);
        response.data[at - 6] = p[i];
    }
}

void PutU8(Response& response, size_t offset, uint8_t v) {
    PutBytes(response, offset, &v, 1);
}

void PutU16(Response& response, size_t offset, uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    PutBytes(response, offset, b, 2);
}

void PutU32(Response& response, size_t offset, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    PutBytes(response, offset, b, 4);
}

ByteReader Params(const Request& request) {
    ByteReader r = request.body;
    r.Seek(8);
    return r;
}

std::array<uint8_t, 8> PasswordBlock(const Request& request) {
    std::array<uint8_t, 8> block{};
    ByteReader r = request.body;
    r.Bytes(block.data(), block.size());
    return block;
}

void SetCameraAddress(Simulator& sim, const std::string& address) {
    std::array<uint8_t, 4> bytes{};
    if (protocol::AddressTextToBytes(address, bytes) != 0) return;
    std::lock_guard lock(sim.state_mutex());
    sim.State<IdentityState>().address = bytes;
}

void RegisterIdentity(Simulator& sim) {
    {
        std::lock_guard lock(sim.state_mutex());
        IdentityState& st = sim.State<IdentityState>();
        uint32_t ip = 0;
        if (platform::ParseIpv4(sim.config().bind_address, ip)) {
            st.address = {uint8_t(ip >> 24), uint8_t(ip >> 16), uint8_t(ip >> 8), uint8_t(ip)};
        }
        if (!sim.config().password.empty()) {
            Password& main = st.passwords[1];
            main.block = {};
            const std::string& text = sim.config().password;
            std::memcpy(main.block.data(), text.data(), std::min(text.size(), main.block.size()));
            main.enabled = true;
        }
    }
    sim.SetGate(PasswordGate);

    sim.Register(2, [](Simulator& s, const Request&, Response& r) {
        std::lock_guard lock(s.state_mutex());
        const auto& mac = s.State<IdentityState>().mac;
        PutBytes(r, 4, mac.data(), mac.size());
    });
    sim.Register(4, [](Simulator& s, const Request&, Response& r) {
        std::lock_guard lock(s.state_mutex());
        const auto& id = s.State<IdentityState>().camera_id;
        PutBytes(r, 4, id.data(), id.size());
    });
    sim.Register(177, [](Simulator& s, const Request& q, Response&) {
        std::array<uint8_t, 8> id{};
        Params(q).Bytes(id.data(), id.size());
        std::lock_guard lock(s.state_mutex());
        s.State<IdentityState>().camera_id = id;
    });
    sim.Register(178, [](Simulator&, const Request&, Response& r) {
        r.status = 0;
        // The camera restarts after answering: a new address applies, and the
        // next reply carries the start flag.
        r.after_reply = [](Simulator& sim_after) {
            std::optional<std::array<uint8_t, 4>> moved;
            {
                std::lock_guard lock(sim_after.state_mutex());
                IdentityState& st = sim_after.State<IdentityState>();
                ++st.resets;
                if (st.pending_address) {
                    st.address = *st.pending_address;
                    st.pending_address.reset();
                    moved = st.address;
                }
            }
            if (moved) sim_after.MoveTo(protocol::AddressBytesToText(moved->data()));
            sim_after.SimulateRestart();
        };
    });

    // Passwords: 0 user, 1 main, 2 super.
    sim.Register(153, [](Simulator& s, const Request&, Response& r) { Enabled(s, r, 0); });
    sim.Register(144, [](Simulator& s, const Request&, Response& r) { Enabled(s, r, 1); });
    sim.Register(150, [](Simulator& s, const Request&, Response& r) { Enabled(s, r, 2); });
    sim.Register(152, [](Simulator& s, const Request& q, Response& r) { Check(s, q, r, 0); });
    sim.Register(146, [](Simulator& s, const Request& q, Response& r) { Check(s, q, r, 1); });
    sim.Register(149, [](Simulator& s, const Request& q, Response& r) { Check(s, q, r, 2); });
    sim.Register(154, [](Simulator& s, const Request& q, Response& r) { Disable(s, q, r, 0); });
    sim.Register(145, [](Simulator& s, const Request& q, Response& r) { Disable(s, q, r, 1); });
    sim.Register(151, [](Simulator& s, const Request& q, Response& r) { Disable(s, q, r, 2); });
    sim.Register(155, [](Simulator& s, const Request& q, Response& r) { Set(s, q, r, 0); });
    sim.Register(147, [](Simulator& s, const Request& q, Response& r) { Set(s, q, r, 1); });
    sim.Register(160, [](Simulator& s, const Request& q, Response& r) { Set(s, q, r, 2); });

    // Network.
    for (uint16_t code : {uint16_t(161), uint16_t(163), uint16_t(165)})
        sim.Register(code, SetAddress);
    sim.Register(162, [](Simulator& s, const Request&, Response& r) {
        std::lock_guard lock(s.state_mutex());
        const auto& a = s.State<IdentityState>().mask;
        PutBytes(r, 6, a.data(), a.size());
    });
    sim.Register(164, [](Simulator& s, const Request&, Response& r) {
        std::lock_guard lock(s.state_mutex());
        const auto& a = s.State<IdentityState>().gateway;
        PutBytes(r, 6, a.data(), a.size());
    });
    sim.Register(166, [](Simulator& s, const Request&, Response& r) {
        std::lock_guard lock(s.state_mutex());
        const auto& a = s.State<IdentityState>().address;
        PutBytes(r, 4, a.data(), a.size());
        PutU16(r, 8, 0);
    });
    sim.Register(167, [](Simulator& s, const Request& q, Response& r) {
        const int16_t enabled = Params(q).I16();
        if (enabled != 0 && enabled != 1) {
            r.status = 2;
            return;
        }
        std::lock_guard lock(s.state_mutex());
        IdentityState& st = s.State<IdentityState>();
        st.dhcp_enabled = enabled;
        // Without a DHCP server on loopback the client reports "no lease" (0).
        st.dhcp_status = 0;
    });
    sim.Register(168, [](Simulator& s, const Request&, Response& r) {
        std::lock_guard lock(s.state_mutex());
        const IdentityState& st = s.State<IdentityState>();
        PutU16(r, 6, uint16_t(st.dhcp_enabled));
        PutU16(r, 8, uint16_t(st.dhcp_status));
        PutBytes(r, 10, st.dhcp_server.data(), st.dhcp_server.size());
        PutU32(r, 14, 0);
        PutU32(r, 18, uint32_t(st.lease_obtained));
        PutU32(r, 22, uint32_t(st.lease_expires));
    });
}

}  // namespace kest::sim
