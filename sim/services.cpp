// The simulated camera's services: recording to its memory card, clock,
// memory-card information, FTP, web server, MPEG-4, multicast, control ports
// and the pass-through to them; and the state file of this family and the
// identity family.
#include "sim/services.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <map>
#include <mutex>
#include <sstream>

#include "control/protocol/identity.h"
#include "control/protocol/services.h"

namespace kest::sim {

namespace {

constexpr size_t kNameField = 32;
constexpr size_t kMaxReply = 1526;
constexpr size_t kPassThroughData = 12;  // offset of the data, both ways

template <size_t N>
std::array<uint8_t, N> ReadBlock(ByteReader& r) {
    std::array<uint8_t, N> a{};
    r.Bytes(a.data(), N);
    return a;
}

// The clock runs from the time it was last set: a camera's clock a second
// later reads a second later. A record that is no time stays as it is.
std::array<uint8_t, 16> RunningClock(const std::array<uint8_t, 16>& set,
                                     std::chrono::steady_clock::time_point set_at) {
    const auto word = [&set](size_t i) { return int(LoadU16(&set[2 * i])); };
    std::tm t{};
    t.tm_year = word(0) - 1900, t.tm_mon = word(1) - 1, t.tm_mday = word(3);
    t.tm_hour = word(4), t.tm_min = word(5), t.tm_sec = word(6);
    if (word(0) < 1900 || word(0) > 2100 || t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 ||
        t.tm_mday > 31 || t.tm_hour > 23 || t.tm_min > 59 || t.tm_sec > 59 ||
        set_at == std::chrono::steady_clock::time_point{}) {
        return set;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - set_at);
    const time_t moved = timegm(&t) + time_t(elapsed.count());
    std::tm n{};
    gmtime_r(&moved, &n);
    std::array<uint8_t, 16> out = set;
    const int fields[7] = {n.tm_year + 1900, n.tm_mon + 1, n.tm_wday, n.tm_mday,
                           n.tm_hour,        n.tm_min,     n.tm_sec};
    for (size_t i = 0; i < 7; ++i)
        StoreU16(&out[2 * i], uint16_t(fields[i]));
    return out;
}

std::string ReadName(ByteReader r) {
    const auto field = ReadBlock<kNameField>(r);
    const char* chars = reinterpret_cast<const char*>(field.data());
    return std::string(chars, strnlen(chars, field.size()));
}

bool KnownRateIndex(uint32_t word) {
    return protocol::RecordingIndexToRate(int(word >> 16)) >= 0;
}

bool ValidPort(int16_t port) {
    return port == 0 || port == 1;
}

// A web server port the camera can use: 80, or one above the well-known
// ports that is not its own command port.
bool UsableHttpPort(uint16_t port, uint16_t command_port) {
    return port == 80 || (port >= 1024 && port != command_port);
}

std::array<int16_t, 7> Now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {int16_t(tm.tm_year + 1900), int16_t(tm.tm_mon + 1), int16_t(tm.tm_wday),
            int16_t(tm.tm_mday),        int16_t(tm.tm_hour),    int16_t(tm.tm_min),
            int16_t(tm.tm_sec)};
}

// Runs a handler body on the family's state under the state lock.
template <typename F>
Handler OnState(F body) {
    return [body](Simulator& sim, const Request& request, Response& response) {
        std::lock_guard lock(sim.state_mutex());
        body(sim, sim.State<ServicesState>(), request, response);
    };
}

void RegisterRecording(Simulator& sim) {
    sim.Register(192, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     if (st.recording) {
                         r.status = 1;  // already recording
                         return;
                     }
                     char name[kNameField];
                     std::snprintf(name, sizeof name, "REC%05d.JPG", st.next_file++ % 100000);
                     st.recording = true;
                     st.current_file = name;
                     st.rec_started = Now();
                 }));
    sim.Register(193, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     if (!st.recording) {
                         r.status = 1;  // nothing to stop
                         return;
                     }
                     st.recording = false;
                     st.files.push_back(st.current_file);
                 }));
    sim.Register(
        194, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
            PutU16(r, 4, st.recording ? 1 : 0);
            PutU16(r, 6, uint16_t(st.files.size()));
            const std::string& name = st.recording
                                          ? st.current_file
                                          : (st.files.empty() ? std::string() : st.files.back());
            std::array<uint8_t, kNameField> field{};
            std::memcpy(field.data(), name.data(), std::min(name.size(), field.size() - 1));
            PutBytes(r, 8, field.data(), field.size());
            for (size_t i = 0; i < st.rec_started.size(); ++i)
                PutU16(r, 40 + 2 * i, uint16_t(st.rec_started[i]));
        }));
    sim.Register(197, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     const std::string name = ReadName(Params(q));
                     if (st.recording && name == st.current_file) {
                         r.status = 3;  // being recorded
                         return;
                     }
                     const auto it = std::find(st.files.begin(), st.files.end(), name);
                     if (it == st.files.end()) {
                         r.status = 2;  // no such file
                         return;
                     }
                     st.files.erase(it);
                 }));
    sim.Register(198, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     if (st.recording) {
                         r.status = 2;
                         return;
                     }
                     st.files.clear();
                 }));
    sim.Register(
        199, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
            ByteReader p = Params(q);
            const int32_t trigger = p.I32();
            const int32_t alarm_rec = p.I32();
            const auto timer_rec = ReadBlock<180>(p);
            const std::array<uint32_t, 2> change_fps{p.U32(), p.U32()};
            const int32_t cf_full = p.I32();
            const int32_t time_lapse = p.I32();
            if (!p.ok() || !KnownRateIndex(change_fps[0]) || !KnownRateIndex(change_fps[1])) {
                r.status = 2;
                return;
            }
            st.trigger = trigger, st.alarm_rec = alarm_rec, st.timer_rec = timer_rec;
            st.change_fps = change_fps, st.cf_full = cf_full, st.time_lapse = time_lapse;
        }));
    sim.Register(200, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutU32(r, 8, uint32_t(st.trigger));
                     PutU32(r, 12, uint32_t(st.alarm_rec));
                     PutBytes(r, 16, st.timer_rec.data(), st.timer_rec.size());
                     PutU32(r, 196, st.change_fps[0]);
                     PutU32(r, 200, st.change_fps[1]);
                     PutU32(r, 204, uint32_t(st.cf_full));
                     PutU32(r, 208, uint32_t(st.time_lapse));
                 }));
}

void RegisterClockAndCard(Simulator& sim) {
    sim.Register(224, OnState([](Simulator& s, ServicesState& st, const Request& q, Response&) {
                     ByteReader p = Params(q);
                     st.ntp = p.U8();
                     st.ntp_signed = int8_t(p.U8());
                     st.ntp_bytes = ReadBlock<6>(p);
                     st.date_time = ReadBlock<16>(p);
                     s.State<ClockState>().set_at = std::chrono::steady_clock::now();
                 }));
    sim.Register(225, OnState([](Simulator& s, ServicesState& st, const Request&, Response& r) {
                     PutU8(r, 8, st.ntp);
                     PutU8(r, 9, uint8_t(st.ntp_signed));
                     PutBytes(r, 10, st.ntp_bytes.data(), st.ntp_bytes.size());
                     const auto now = RunningClock(st.date_time, s.State<ClockState>().set_at);
                     PutBytes(r, 16, now.data(), now.size());
                 }));
    sim.Register(226, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutU16(r, 6, uint16_t(st.cf_count));
                     PutBytes(r, 8, st.cf1.data(), st.cf1.size());
                     PutBytes(r, 300, st.cf2.data(), st.cf2.size());
                 }));
}

void RegisterPorts(Simulator& sim) {
    // Command for PortNo1, and for PortNo2 when that is a port too.
    sim.Register(235, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     ByteReader p = Params(q);
                     const int16_t command = p.I16(), port1 = p.I16(), port2 = p.I16();
                     if (!ValidPort(port1)) {
                         r.status = 2;
                         return;
                     }
                     st.ports[size_t(port1)].mode = command;
                     if (ValidPort(port2)) st.ports[size_t(port2)].mode = command;
                 }));
    sim.Register(236, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     const int16_t port = Params(q).I16();
                     if (!ValidPort(port)) {
                         r.status = 2;
                         return;
                     }
                     PutU16(r, 8, uint16_t(st.ports[size_t(port)].mode));
                 }));
    sim.Register(237, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     const int16_t port = Params(q).I16();
                     if (!ValidPort(port)) {
                         r.status = 2;
                         return;
                     }
                     const ServicesState::Port& p = st.ports[size_t(port)];
                     PutU16(r, 10, uint16_t(p.device_type));
                     for (size_t i = 0; i < p.setting.size(); ++i)
                         PutU16(r, 12 + 2 * i, p.setting[i]);
                 }));
    // The result at +8: 2 no such port, 3 no speed.
    sim.Register(239, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     ByteReader p = Params(q);
                     const int16_t port = p.I16();
                     const int16_t device_type = p.I16();
                     std::array<uint16_t, 6> setting{};
                     for (uint16_t& v : setting)
                         v = p.U16();
                     const uint16_t result = !ValidPort(port) ? 2 : setting[0] == 0 ? 3 : 0;
                     PutU16(r, 8, result);
                     if (result != 0) return;
                     st.ports[size_t(port)].device_type = device_type;
                     st.ports[size_t(port)].setting = setting;
                 }));
    // Echoes the data back from the port: result byte 5 (3 no such port, 4 a
    // size the datagram does not hold), the size at +7, the data from +12.
    sim.Register(238, [](Simulator&, const Request& q, Response& r) {
        ByteReader p = Params(q);
        const uint8_t port = p.U8();
        p.Skip(2);  // the constant 1 and NoOfCommand
        const uint16_t n = p.U16();
        p.Skip(3);
        if (!ValidPort(port)) {
            PutU8(r, 5, 3);
            return;
        }
        if (!p.ok() || !p.Has(n) || n > kMaxReply - kPassThroughData) {
            PutU8(r, 5, 4);
            return;
        }
        std::vector<uint8_t> data(n);
        p.Bytes(data.data(), n);
        PutU8(r, 5, 0);
        PutU16(r, 7, n);
        PutU8(r, 11, 0);
        PutBytes(r, kPassThroughData, data.data(), data.size());
    });
}

void RegisterFtp(Simulator& sim) {
    sim.Register(592, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     ByteReader p = Params(q);
                     const int16_t enable = p.I16();
                     const int16_t port = p.I16();
                     const auto address = ReadBlock<4>(p);
                     const auto setting = ReadBlock<164>(p);
                     if (enable != 0 && enable != 1) {
                         r.status = 2;
                         return;
                     }
                     st.ftp_enable = enable, st.ftp_port = port, st.ftp_address = address;
                     st.ftp_setting = setting;
                 }));
    sim.Register(593, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutU16(r, 4, uint16_t(st.ftp_enable));
                     PutU16(r, 6, uint16_t(st.ftp_port));
                     PutBytes(r, 8, st.ftp_address.data(), st.ftp_address.size());
                     PutBytes(r, 12, st.ftp_setting.data(), st.ftp_setting.size());
                     PutU16(r, 22, 0);  // the camera's answer sits in the block: accepted
                 }));
    sim.Register(594, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     const int16_t status = Params(q).I16();
                     if (status != 0 && status != 1) {
                         r.status = 2;
                         return;
                     }
                     st.ftp_server = status;
                 }));
    sim.Register(595, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutU16(r, 6, uint16_t(st.ftp_server));
                 }));
}

void RegisterHttpMpegMulticast(Simulator& sim) {
    sim.Register(1024, OnState([](Simulator& s, ServicesState& st, const Request& q, Response& r) {
                     const uint16_t port = Params(q).U16();
                     if (!UsableHttpPort(port, s.port())) {
                         r.status = 2;
                         return;
                     }
                     st.http_port = port;
                 }));
    sim.Register(1025, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutU16(r, 4, st.http_port);
                 }));
    sim.Register(1026, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     const std::string name = ReadName(Params(q));
                     if (name.empty() || name.size() > protocol::kMaxHttpPageName) {
                         r.status = 2;
                         return;
                     }
                     st.default_page = {};
                     std::memcpy(st.default_page.data(), name.data(), name.size());
                 }));
    sim.Register(1027, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutBytes(r, 4, st.default_page.data(), st.default_page.size());
                     PutU16(r, 36, 0);
                 }));
    sim.Register(1028, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     ByteReader p = Params(q);
                     const int16_t sub = p.I16();
                     const int16_t value = p.I16();
                     if (sub < 0 || size_t(sub) >= st.http_settings.size()) {
                         r.status = 2;
                         return;
                     }
                     st.http_settings[size_t(sub)] = value;
                 }));
    sim.Register(1029, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     const int16_t sub = Params(q).I16();
                     if (sub < 0 || size_t(sub) >= st.http_settings.size()) {
                         r.status = 2;
                         return;
                     }
                     PutU16(r, 6, uint16_t(st.http_settings[size_t(sub)]));
                 }));

    sim.Register(123, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     ByteReader p = Params(q);
                     const int16_t mode = p.I16();
                     const int16_t bitrate = p.I16();
                     if (mode < 0 || mode > 2 || bitrate < 64 || bitrate > 2048) {
                         r.status = 2;
                         return;
                     }
                     st.framerate_mode = mode, st.bitrate = bitrate;
                 }));
    sim.Register(124, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutU16(r, 8, uint16_t(st.framerate_mode));
                     PutU16(r, 10, uint16_t(st.bitrate));
                 }));

    // A group address is 224 to 239 in its first byte.
    sim.Register(624, OnState([](Simulator&, ServicesState& st, const Request& q, Response& r) {
                     ByteReader p = Params(q);
                     p.Skip(2);
                     const int16_t mode = p.I16();
                     const auto address = ReadBlock<4>(p);
                     const int16_t burst_count = p.I16();
                     const int16_t burst_interval = p.I16();
                     const int16_t port = p.I16();
                     const uint8_t ttl = p.U8();
                     if ((mode != 0 && mode != 1) || address[0] < 224 || address[0] > 239) {
                         r.status = 2;
                         return;
                     }
                     st.multicast_mode = mode, st.multicast_address = address;
                     st.burst_count = burst_count, st.burst_interval = burst_interval;
                     st.multicast_port = port, st.ttl = ttl;
                 }));
    sim.Register(625, OnState([](Simulator&, ServicesState& st, const Request&, Response& r) {
                     PutU16(r, 6, uint16_t(st.multicast_mode));
                     PutBytes(r, 8, st.multicast_address.data(), st.multicast_address.size());
                     PutU16(r, 12, uint16_t(st.burst_count));
                     PutU16(r, 14, uint16_t(st.burst_interval));
                     PutU16(r, 16, uint16_t(st.multicast_port));
                     PutU8(r, 18, st.ttl);
                 }));
}

// The state file: one list of fields for saving and loading alike.

template <typename Visitor>
void VisitFields(IdentityState& id, ServicesState& sv, Visitor& v) {
    v.Bytes("identity.mac", id.mac);
    v.Bytes("identity.camera_id", id.camera_id);
    v.Address("identity.address", id.address);
    v.OptionalAddress("identity.pending_address", id.pending_address);
    v.Address("identity.mask", id.mask);
    v.Address("identity.gateway", id.gateway);
    v.Int("identity.dhcp_enabled", id.dhcp_enabled);
    v.Int("identity.dhcp_status", id.dhcp_status);
    v.Address("identity.dhcp_server", id.dhcp_server);
    v.Int("identity.lease_obtained", id.lease_obtained);
    v.Int("identity.lease_expires", id.lease_expires);
    static const char* const kLevels[] = {"user", "main", "super"};
    for (size_t i = 0; i < id.passwords.size(); ++i) {
        v.Bytes((std::string("identity.password.") + kLevels[i]).c_str(), id.passwords[i].block);
        v.Int((std::string("identity.password_enabled.") + kLevels[i]).c_str(),
              id.passwords[i].enabled);
    }

    v.Int("mpeg4.framerate_mode", sv.framerate_mode);
    v.Int("mpeg4.bitrate", sv.bitrate);
    v.Names("rec.files", sv.files);
    v.Int("rec.next_file", sv.next_file);
    v.Int("rec.trigger", sv.trigger);
    v.Int("rec.alarm_rec", sv.alarm_rec);
    v.Bytes("rec.timer_rec", sv.timer_rec);
    v.Int("rec.change_fps.0", sv.change_fps[0]);
    v.Int("rec.change_fps.1", sv.change_fps[1]);
    v.Int("rec.cf_full", sv.cf_full);
    v.Int("rec.time_lapse", sv.time_lapse);
    v.Int("clock.ntp", sv.ntp);
    v.Int("clock.ntp_signed", sv.ntp_signed);
    v.Bytes("clock.ntp_bytes", sv.ntp_bytes);
    v.Bytes("clock.date_time", sv.date_time);
    v.Int("card.count", sv.cf_count);
    v.Bytes("card.cf1", sv.cf1);
    v.Bytes("card.cf2", sv.cf2);
    v.Int("ftp.enable", sv.ftp_enable);
    v.Int("ftp.port", sv.ftp_port);
    v.Address("ftp.address", sv.ftp_address);
    v.Bytes("ftp.setting", sv.ftp_setting);
    v.Int("ftp.server", sv.ftp_server);
    v.Int("http.port", sv.http_port);
    v.Bytes("http.default_page", sv.default_page);
    for (size_t i = 0; i < sv.http_settings.size(); ++i)
        v.Int(("http.setting." + std::to_string(i)).c_str(), sv.http_settings[i]);
    v.Int("multicast.mode", sv.multicast_mode);
    v.Address("multicast.address", sv.multicast_address);
    v.Int("multicast.burst_count", sv.burst_count);
    v.Int("multicast.burst_interval", sv.burst_interval);
    v.Int("multicast.port", sv.multicast_port);
    v.Int("multicast.ttl", sv.ttl);
    for (size_t i = 0; i < sv.ports.size(); ++i) {
        const std::string port = "port." + std::to_string(i) + ".";
        v.Int((port + "mode").c_str(), sv.ports[i].mode);
        v.Int((port + "device_type").c_str(), sv.ports[i].device_type);
        for (size_t k = 0; k < sv.ports[i].setting.size(); ++k)
            v.Int((port + "setting." + std::to_string(k)).c_str(), sv.ports[i].setting[k]);
    }
}

std::string Hex(const uint8_t* p, size_t n) {
    static const char* const kDigits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += kDigits[p[i] >> 4], s += kDigits[p[i] & 15];
    return s;
}

// Exactly 2n hex digits into n bytes.
bool Unhex(const std::string& text, uint8_t* out, size_t n) {
    if (text.size() != 2 * n) return false;
    const auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < n; ++i) {
        const int hi = digit(text[2 * i]), lo = digit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = uint8_t(hi << 4 | lo);
    }
    return true;
}

struct Saver {
    std::string out;

    void Line(const char* key, const std::string& value) {
        out += std::string(key) + "=" + value + "\n";
    }
    template <typename T>
    void Int(const char* key, T& v) {
        Line(key, std::to_string(int64_t(v)));
    }
    template <size_t N>
    void Bytes(const char* key, std::array<uint8_t, N>& a) {
        Line(key, Hex(a.data(), N));
    }
    void Address(const char* key, std::array<uint8_t, 4>& a) {
        Line(key, protocol::AddressBytesToText(a.data()));
    }
    void OptionalAddress(const char* key, std::optional<std::array<uint8_t, 4>>& a) {
        if (a) Address(key, *a);
    }
    void Names(const char* key, std::vector<std::string>& names) {
        std::string value;
        for (const std::string& n : names)
            value += (value.empty() ? "" : ",") +
                     Hex(reinterpret_cast<const uint8_t*>(n.data()), n.size());
        Line(key, value);
    }
};

struct Loader {
    const std::map<std::string, std::string>& values;

    const std::string* Find(const char* key) const {
        const auto it = values.find(key);
        return it == values.end() ? nullptr : &it->second;
    }
    template <typename T>
    void Int(const char* key, T& v) {
        const std::string* text = Find(key);
        if (!text || text->empty()) return;
        char* end = nullptr;
        errno = 0;
        const long long n = std::strtoll(text->c_str(), &end, 10);
        if (*end || errno) return;
        if (n < (long long)std::numeric_limits<T>::min() ||
            n > (long long)std::numeric_limits<T>::max()) {
            return;
        }
        v = T(n);
    }
    template <size_t N>
    void Bytes(const char* key, std::array<uint8_t, N>& a) {
        const std::string* text = Find(key);
        std::array<uint8_t, N> b{};
        if (text && Unhex(*text, b.data(), N)) a = b;
    }
    void Address(const char* key, std::array<uint8_t, 4>& a) {
        const std::string* text = Find(key);
        std::array<uint8_t, 4> b{};
        if (text && protocol::AddressTextToBytes(*text, b) == 0) a = b;
    }
    void OptionalAddress(const char* key, std::optional<std::array<uint8_t, 4>>& a) {
        std::array<uint8_t, 4> b{};
        const std::string* text = Find(key);
        if (text && protocol::AddressTextToBytes(*text, b) == 0) a = b;
    }
    void Names(const char* key, std::vector<std::string>& names) {
        const std::string* text = Find(key);
        if (!text) return;
        std::vector<std::string> loaded;
        std::stringstream list(*text);
        std::string item;
        while (std::getline(list, item, ',')) {
            if (item.empty() || item.size() % 2 || item.size() / 2 >= kNameField) return;
            std::string name(item.size() / 2, '\0');
            if (!Unhex(item, reinterpret_cast<uint8_t*>(name.data()), name.size())) return;
            loaded.push_back(name);
        }
        names = loaded;
    }
};

std::map<std::string, std::string> ReadValues(std::istream& in) {
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

}  // namespace

void RegisterServices(Simulator& sim) {
    {
        // A 64 MiB card, 48 MiB free, in the first words of its block.
        std::lock_guard lock(sim.state_mutex());
        ServicesState& st = sim.State<ServicesState>();
        ByteWriter(st.cf1.data(), st.cf1.size()).U32(1).U32(65536).U32(49152);
    }
    RegisterRecording(sim);
    RegisterClockAndCard(sim);
    RegisterPorts(sim);
    RegisterFtp(sim);
    RegisterHttpMpegMulticast(sim);
}

bool SaveState(Simulator& sim, const std::string& path) {
    Saver saver;
    {
        std::lock_guard lock(sim.state_mutex());
        VisitFields(sim.State<IdentityState>(), sim.State<ServicesState>(), saver);
    }
    // Written aside and renamed, so an interrupted save keeps the old file.
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!out) return false;
        out << "# kestsim camera settings\n" << saver.out;
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

bool LoadState(Simulator& sim, const std::string& path) {
    std::ifstream in(path);
    if (!in) return false;
    const auto values = ReadValues(in);
    Loader loader{values};
    std::lock_guard lock(sim.state_mutex());
    VisitFields(sim.State<IdentityState>(), sim.State<ServicesState>(), loader);
    return true;
}

std::optional<std::string> StateFileAddress(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    const auto values = ReadValues(in);
    const auto it = values.find("identity.address");
    std::array<uint8_t, 4> b{};
    if (it == values.end() || protocol::AddressTextToBytes(it->second, b) != 0) return std::nullopt;
    return protocol::AddressBytesToText(b.data());
}

}  // namespace kest::sim
