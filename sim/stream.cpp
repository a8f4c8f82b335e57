#include "sim/stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/ticks.h"
#include "sim/imaging.h"
#include "sim/services.h"
#include "sim/test_picture.h"

namespace kest::sim {

namespace {

constexpr float kScaleFactors[4] = {50.0f, 25.0f, 12.5f, 6.25f};
constexpr uint16_t kMulticastHeader = 251;
constexpr uint16_t kMulticastPacket = 252;

bool HasOwnHeader(int model) {
    return model == 11 || model == 13 || model == 20;
}

std::tm LocalNow() {
    const time_t now = time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

// 300 cells packed 8 to a byte, bit 0 first: 38 bytes.
std::vector<uint8_t> PackCells(const std::vector<uint8_t>& cells) {
    std::vector<uint8_t> bytes(38, 0);
    for (size_t i = 0; i < 300 && i < cells.size(); ++i) {
        if (cells[i]) bytes[i / 8] |= uint8_t(1u << (i % 8));
    }
    return bytes;
}

void Segment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& body) {
    out.push_back(0xFF);
    out.push_back(marker);
    const size_t length = body.size() + 2;
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(length));
    out.insert(out.end(), body.begin(), body.end());
}

// The frame data as the camera sends it: for models with their own header
// the header datagram's bytes and the entropy data with its end marker.
struct FrameData {
    std::vector<uint8_t> header;
    std::vector<uint8_t> data;
};

FrameData MakeFrame(Simulator& sim, StreamState& st) {
    const int q = int(float(st.quality_level) * kScaleFactors[st.scale_code & 3]);
    const std::tm clock = LocalNow();
    const EncodedPicture picture =
        EncodePicture(DrawTestPicture(st.width, st.height, st.frames_sent, clock), st.width,
                      st.height, q, st.sampling);
    FrameData frame;
    frame.data = picture.entropy;
    if (HasOwnHeader(sim.model_code())) {
        std::vector<uint8_t> set(300, 0), detect(300, 0);
        for (size_t i = 0; i < 300; ++i)
            set[i] = (st.areas[i / 8] >> (i % 8)) & 1;
        const size_t column = st.frames_sent % 20;
        for (size_t row = 0; row < 15; ++row)
            detect[row * 20 + column] = uint8_t(st.motion);
        frame.header =
            CameraHeader(sim.model_code(), picture.tables, st.reverse, st.motion, set, detect);
        frame.data.push_back(0xFF);
        frame.data.push_back(0xD9);
        if (!st.header_comment) {
            // The comment segment follows the start marker and the JFIF segment.
            for (size_t i = 2; i + 4 <= frame.header.size();) {
                const size_t length = size_t(frame.header[i + 2]) << 8 | frame.header[i + 3];
                if (frame.header[i + 1] == 0xFE) {
                    frame.header.erase(frame.header.begin() + long(i),
                                       frame.header.begin() + long(i + 2 + length));
                    break;
                }
                i += 2 + length;
            }
        }
        if (st.claimed_width && st.claimed_height) {
            // The frame header's height and width, 5 bytes after its marker.
            for (size_t i = 0; i + 9 <= frame.header.size(); ++i) {
                if (frame.header[i] != 0xFF || frame.header[i + 1] != 0xC0) continue;
                frame.header[i + 5] = uint8_t(st.claimed_height >> 8);
                frame.header[i + 6] = uint8_t(st.claimed_height);
                frame.header[i + 7] = uint8_t(st.claimed_width >> 8);
                frame.header[i + 8] = uint8_t(st.claimed_width);
                break;
            }
        }
    }
    if (st.pad_to_packets > 0) {
        const size_t payload = size_t(std::max(1, std::min(st.payload, kMaxPayload)));
        frame.data.resize(std::max(frame.data.size(), size_t(st.pad_to_packets) * payload), 0);
    }
    return frame;
}

std::vector<uint8_t> Packet(const StreamState& st, uint16_t sequence, uint16_t code, int number,
                            int count, const uint8_t* payload, int length, uint32_t total) {
    std::vector<uint8_t> p(size_t(kPacketHeader + length), 0);
    StoreU16(&p[0], sequence);
    StoreU16(&p[2], code);
    const uint16_t flags =
        uint16_t((st.sampling & 1) | (st.reverse & 1) << 1 | (st.pan_limit ? 1 : 0) << 2 |
                 (st.tilt_limit ? 1 : 0) << 3 | (st.motor_moving ? 1 : 0) << 4 |
                 (st.initial_moving ? 1 : 0) << 6 | (st.zoom & 0xFF) << 8);
    StoreU16(&p[6], flags);
    StoreU16(&p[8], uint16_t(st.claimed_width ? st.claimed_width : st.width));
    StoreU16(&p[10], uint16_t(st.claimed_height ? st.claimed_height : st.height));
    StoreU16(&p[12], uint16_t(st.pan));
    StoreU16(&p[14], uint16_t(st.tilt));
    StoreU16(&p[16], uint16_t(number));
    StoreU16(&p[18], uint16_t(count));
    StoreU16(&p[20], uint16_t(length));
    p[22] = uint8_t((st.scale_code & 3) << 4 | (st.quality_level & 15));
    p[24] = uint8_t(total), p[25] = uint8_t(total >> 8), p[26] = uint8_t(total >> 16),
    p[27] = uint8_t(total >> 24);
    if (length > 0) std::memcpy(&p[kPacketHeader], payload, size_t(length));
    return p;
}

// The frame header datagram (251): sequence, code, header length, header.
std::vector<uint8_t> HeaderDatagram(uint16_t sequence, const std::vector<uint8_t>& header) {
    std::vector<uint8_t> h(8 + header.size(), 0);
    StoreU16(&h[0], sequence);
    StoreU16(&h[2], kMulticastHeader);
    StoreU16(&h[4], uint16_t(header.size()));
    std::copy(header.begin(), header.end(), h.begin() + 8);
    return h;
}

// The frame's data cut into picture packets of the stream's payload size.
std::vector<std::vector<uint8_t>> Packets(const StreamState& st, uint16_t sequence, uint16_t code,
                                          const std::vector<uint8_t>& data) {
    const int payload = std::max(1, std::min(st.payload, kMaxPayload));
    const int count = int((data.size() + size_t(payload) - 1) / size_t(payload));
    std::vector<std::vector<uint8_t>> packets;
    for (int n = 1; n <= count; ++n) {
        const size_t offset = size_t(n - 1) * size_t(payload);
        const int length = int(std::min(data.size() - offset, size_t(payload)));
        packets.push_back(Packet(st, sequence, code, n, count, data.data() + offset, length,
                                 uint32_t(data.size())));
    }
    return packets;
}

// The picture follows the camera's settings: the frame size, the motors as
// they move, the zoom and the orientation.
void FollowImaging(Simulator& sim, StreamState& st) {
    ImagingState& img = sim.State<ImagingState>();
    AdvanceMotors(img, sim.model_code(), platform::MonotonicMicros());
    st.width = img.width;
    st.height = img.height;
    st.pan = int16_t(img.pan);
    st.tilt = int16_t(img.tilt);
    st.motor_moving = img.pan != img.target_pan || img.tilt != img.target_tilt;
    st.zoom = img.lens[1];
    st.reverse = img.registers[7] ? 1 : 0;
    st.areas = img.areas;
}

void Poll(Simulator& sim, const Request& request, Response& response) {
    std::lock_guard lock(sim.state_mutex());
    StreamState& st = sim.State<StreamState>();
    FollowImaging(sim, st);
    ++st.polls;
    if (st.stop_after_frames >= 0 && st.frames_sent >= uint32_t(st.stop_after_frames)) {
        response.send = false;  // the camera has gone away
        return;
    }
    if (st.poll_delay_ms) platform::SleepMs(st.poll_delay_ms);
    ByteReader body = request.body;
    body.Skip(8);
    st.picture_id = body.U16();
    st.client_ip = request.datagram.from_ip;
    st.client_port = request.datagram.from_port;
    st.client_sequence = request.sequence;

    int status = 1;
    if (st.mpeg_mode && request.code == 129) {
        status = 6;
    } else if (st.forced_status >= 0) {
        status = st.forced_status;
    } else if (st.not_ready_polls > 0) {
        --st.not_ready_polls;
        status = 0;
    }
    response.status = 0;
    response.U16(uint16_t(status));  // the poll status stands at +6
    if (status != 1) return;

    // The reply first, then the frame: the header datagram and the packets.
    response.send = false;
    sim.SendToRequester(request, sim.BuildReply(request.sequence, response));

    FrameData frame;
    constexpr size_t kCachedFrames = 8;
    if (st.preencoded && st.cache.size() >= kCachedFrames) {
        const std::vector<uint8_t>& cached = st.cache[st.frames_sent % st.cache.size()];
        const uint16_t header_length = LoadU16(cached.data());
        frame.header.assign(cached.begin() + 2, cached.begin() + 2 + header_length);
        frame.data.assign(cached.begin() + 2 + header_length, cached.end());
    } else {
        frame = MakeFrame(sim, st);
        if (st.preencoded) {
            // Kept as: header length, header, data.
            std::vector<uint8_t> cached(2 + frame.header.size() + frame.data.size());
            StoreU16(cached.data(), uint16_t(frame.header.size()));
            std::copy(frame.header.begin(), frame.header.end(), cached.begin() + 2);
            std::copy(frame.data.begin(), frame.data.end(),
                      cached.begin() + 2 + long(frame.header.size()));
            st.cache.push_back(std::move(cached));
        }
    }
    if (HasOwnHeader(sim.model_code())) {
        sim.SendToRequester(request, HeaderDatagram(request.sequence, frame.header));
    }
    st.packets = Packets(st, request.sequence, request.code, frame.data);
    const int count = int(st.packets.size());
    const bool last_alone = std::exchange(st.last_alone_once, false);
    for (int n = 1; n <= count; ++n) {
        if (st.drop_once.erase(n) || (last_alone && n < count)) continue;
        if (st.loss_fraction > 0 &&
            std::uniform_real_distribution<double>(0, 1)(st.rng) < st.loss_fraction) {
            continue;
        }
        sim.SendToRequester(request, st.packets[size_t(n - 1)]);
    }
    ++st.frames_sent;
}

// True when the identifier is the current frame's (resends and frame ends of
// the picture stream); the block transfers use other identifiers.
bool OwnsIdentifier(Simulator& s, uint16_t id) {
    std::lock_guard lock(s.state_mutex());
    const StreamState& st = s.State<StreamState>();
    return id == st.picture_id && !st.packets.empty();
}

bool IsMulticastGroup(const std::array<uint8_t, 4>& group) {
    return (group[0] & 0xF0) == 0xE0;
}

// scmd_get_comp_data 131: +12 argument. 1 asks the camera to push (status 1
// when it is set to multicast, else 0); 0 checks that it still does, and the
// answer carries its group (+8) and port (+16).
void MulticastStart(Simulator& sim, const Request& request, Response& response) {
    ByteReader body = request.body;
    body.Skip(8);
    const uint16_t argument = body.U16();
    std::lock_guard lock(sim.state_mutex());
    MulticastPushState& push = sim.State<MulticastPushState>();
    const ServicesState& services = sim.State<ServicesState>();
    const bool on = services.multicast_mode == 1 && IsMulticastGroup(services.multicast_address);
    if (argument == 1) {
        response.status = on ? 1 : 0;
        if (on) push.pushing = true;
        return;
    }
    ++push.checks;
    response.status = int16_t(on ? push.check_status : 0);
    response.U16(0);
    response.Bytes(services.multicast_address.data(), 4);
    response.Zeros(4);
    response.U16(uint16_t(services.multicast_port));
}

// Every few milliseconds: the next frame to the group when one is due.
void PushFrame(Simulator& sim) {
    std::lock_guard lock(sim.state_mutex());
    MulticastPushState& push = sim.State<MulticastPushState>();
    if (!push.pushing) return;
    const uint64_t now = platform::MonotonicMicros();
    if (now - push.last_push_us < uint64_t(push.period_ms) * 1000u) return;
    push.last_push_us = now;
    const ServicesState& services = sim.State<ServicesState>();
    if (services.multicast_mode != 1 || !IsMulticastGroup(services.multicast_address)) {
        push.pushing = false;
        return;
    }
    if (!push.sender.is_open()) {
        // Time-to-live 0 through the camera's own loopback address: the
        // frames reach this machine's members and never a network.
        uint32_t own = 0;
        platform::ParseIpv4(sim.address(), own);
        if (!push.sender.Open() || !push.sender.Bind(own, 0) ||
            !push.sender.SetMulticastSender(own, 0)) {
            push.sender.Close();
            push.pushing = false;
            return;
        }
    }
    const auto& g = services.multicast_address;
    const sockaddr_in to = platform::MakeAddress(
        uint32_t(g[0]) << 24 | uint32_t(g[1]) << 16 | uint32_t(g[2]) << 8 | g[3],
        uint16_t(services.multicast_port));

    StreamState& st = sim.State<StreamState>();
    FollowImaging(sim, st);
    const FrameData frame = MakeFrame(sim, st);
    const uint16_t sequence = push.sequence++;
    const std::vector<std::vector<uint8_t>> packets =
        Packets(st, sequence, kMulticastPacket, frame.data);
    const int count = int(packets.size());
    if (push.packet_before_header && !packets.empty()) {
        push.sender.SendTo(packets.back().data(), packets.back().size(), to);
        push.packet_before_header = false;
    }
    const std::vector<uint8_t> h = HeaderDatagram(sequence, frame.header);
    if (!std::exchange(push.header_lost_next, false)) push.sender.SendTo(h.data(), h.size(), to);
    if (std::exchange(push.tail_then_header, false)) {
        push.drop_once.insert(count);
        push.header_lost_next = true;
    }
    for (int n = 1; n <= count; ++n) {
        if (push.drop_once.erase(n)) continue;
        push.sender.SendTo(packets[size_t(n - 1)].data(), packets[size_t(n - 1)].size(), to);
    }
    ++st.frames_sent;
    ++push.frames_pushed;
}

// A datagram from the camera's own port that answers nothing the client asked.
void Flood(Simulator& sim) {
    std::lock_guard lock(sim.state_mutex());
    StreamState& st = sim.State<StreamState>();
    if (st.flood_left <= 0 || st.client_ip == 0) return;
    --st.flood_left;
    ++st.flood_sent;
    std::vector<uint8_t> d(kPacketHeader, 0);
    StoreU16(&d[0], uint16_t(st.client_sequence ^ 0x8000));
    StoreU16(&d[2], 252);
    sim.SendTo(st.client_ip, st.client_port, d);
}

}  // namespace

std::vector<uint8_t> CameraHeader(int model, const std::vector<uint8_t>& tables, int reverse,
                                  int motion, const std::vector<uint8_t>& lattice1,
                                  const std::vector<uint8_t>& lattice2) {
    std::vector<uint8_t> h = {0xFF, 0xD8};
    if (model == 13) {
        h.insert(h.end(), tables.begin(), tables.end());
        return h;
    }
    Segment(h, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 0, 0, 0, 1, 0, 1, 0, 0});
    // "size" and "reverse" take 32 characters, so "timestamp" starts at
    // offset 56 of the header, where the client writes the reception time.
    const std::tm clock = LocalNow();
    char text[128];
    std::snprintf(text, sizeof text,
                  "size = %10d; reverse = %d; timestamp = %04d%02d%02d%02d%02d%02d%03d; "
                  "camera = ; motion = %d; mask = 0; ",
                  0, reverse & 1, clock.tm_year + 1900, clock.tm_mon + 1, clock.tm_mday,
                  clock.tm_hour, clock.tm_min, clock.tm_sec, 0, motion & 1);
    std::vector<uint8_t> comment(text, text + std::strlen(text));
    const std::vector<uint8_t> a = PackCells(lattice1), b = PackCells(lattice2);
    comment.insert(comment.end(), a.begin(), a.end());
    comment.push_back(' '), comment.push_back(' ');
    comment.insert(comment.end(), b.begin(), b.end());
    comment.push_back(' '), comment.push_back(' ');
    comment.push_back(';');
    Segment(h, 0xFE, comment);
    h.insert(h.end(), tables.begin(), tables.end());
    return h;
}

void RegisterStream(Simulator& sim) {
    sim.Register(128, Poll);
    sim.Register(129, Poll);
    sim.Register(131, MulticastStart);
    sim.Every(5, PushFrame);
    sim.Every(10, Flood);
    // scmd_set_jpeg_mode: +12 picture mode, +14 frame-rate index. The stream
    // notes them; the imaging commands, when present, answer.
    sim.Wrap(112, [](Simulator& s, const Request& r, Response& out, const Handler& previous) {
        ByteReader body = r.body;
        body.Skip(8);
        {
            std::lock_guard lock(s.state_mutex());
            StreamState& st = s.State<StreamState>();
            st.jpeg_mode = body.U16();
            st.frame_rate_index = body.I16();
        }
        if (previous) return previous(s, r, out);
        out.status = 0;
    });
    // Re-sent packets and frame ends carry the picture identifier; other
    // identifiers belong to the block transfers.
    sim.Wrap(240, [](Simulator& s, const Request& r, Response& out, const Handler& previous) {
        ByteReader body = r.body;
        body.Skip(8);
        const uint16_t id = body.U16();
        const int number = body.I16();
        if (!OwnsIdentifier(s, id)) {
            // The block transfers' identifiers: theirs to answer, outside our lock.
            if (previous) return previous(s, r, out);
            out.send = false;
            return;
        }
        std::lock_guard lock(s.state_mutex());
        StreamState& st = s.State<StreamState>();
        ++st.resends;
        out.status = 0;
        out.U16(0);
        out.U16(1);  // +8: accepted
        out.send = false;
        s.SendToRequester(r, s.BuildReply(r.sequence, out));
        if (number < 1 || number > int(st.packets.size()) || st.never_resend.count(number)) return;
        std::vector<uint8_t> packet = st.packets[size_t(number - 1)];
        StoreU16(&packet[0], r.sequence);
        s.SendToRequester(r, packet);
    });
    sim.Wrap(254, [](Simulator& s, const Request& r, Response& out, const Handler& previous) {
        ByteReader body = r.body;
        body.Skip(8);
        const uint16_t id = body.U16();
        if (!OwnsIdentifier(s, id)) {
            if (previous) return previous(s, r, out);
            out.status = 0;
            return;
        }
        std::lock_guard lock(s.state_mutex());
        StreamState& st = s.State<StreamState>();
        ++st.frames_completed;
        st.packets.clear();
        out.status = 0;
    });
}

}  // namespace kest::sim
