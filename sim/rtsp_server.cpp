#include "sim/rtsp_server.h"

#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/ticks.h"

namespace kest::sim {

namespace {

constexpr uint8_t kPayloadType = 98;
constexpr uint32_t kClockRate = 90000;  // MPEG-4 video RTP clock
constexpr size_t kMaxRequestBytes = 16 * 1024;
constexpr size_t kMaxConnections = 8;
constexpr const char* kPresentation = "rtsp.mpg";

// Start codes (00 00 01 xx) that begin a frame's headers, and the VOP's.
constexpr uint8_t kVopCode = 0xB6;
bool IsHeaderCode(uint8_t code) {
    return code <= 0x2F  // video object, video object layer
           || code == 0xB0 || code == 0xB2 || code == 0xB3 || code == 0xB5;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The value of a header of a request, "" when it is missing.
std::string Header(std::string_view request, std::string_view name) {
    size_t pos = request.find("\r\n");
    while (pos != std::string_view::npos) {
        const size_t start = pos + 2;
        const size_t end = request.find("\r\n", start);
        if (end == std::string_view::npos) break;
        const std::string_view line = request.substr(start, end - start);
        const size_t colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.data(), name.data(), name.size()) == 0)
            return std::string(Trim(line.substr(colon + 1)));
        pos = end;
    }
    return "";
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 454:
            return "Session Not Found";
        case 455:
            return "Method Not Valid in This State";
        case 461:
            return "Unsupported Transport";
        case 501:
            return "Not Implemented";
        default:
            return "Error";
    }
}

void PutBig16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = uint8_t(v >> 8), out[at + 1] = uint8_t(v);
}
void PutBig32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    PutBig16(out, at, uint16_t(v >> 16)), PutBig16(out, at + 2, uint16_t(v));
}

}  // namespace

std::vector<std::span<const uint8_t>> SplitFrames(std::span<const uint8_t> stream) {
    std::vector<std::span<const uint8_t>> frames;
    size_t start = 0;
    bool has_vop = false;
    for (size_t i = 0; i + 3 < stream.size(); ++i) {
        if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1) continue;
        const uint8_t code = stream[i + 3];
        if (code != kVopCode && !IsHeaderCode(code)) continue;
        // A header or picture after this frame's picture begins the next frame.
        if (has_vop && i > start) {
            frames.push_back(stream.subspan(start, i - start));
            start = i;
            has_vop = false;
        }
        if (code == kVopCode) has_vop = true;
        i += 3;
    }
    if (start < stream.size()) frames.push_back(stream.subspan(start));
    return frames;
}

struct RtspServer::Connection {
    platform::TcpSocket socket;
    uint32_t peer_ip = 0;
    std::string input;
    std::string session;
    uint16_t client_port = 0;
    bool playing = false;
    size_t next_frame = 0;
    uint64_t frame_index = 0;  // frames since PLAY, for the time stamps
    uint64_t next_due_us = 0;
    uint16_t sequence = 0;
    uint32_t ssrc = 0;
};

RtspServer::RtspServer(RtspServerConfig config)
    : config_(std::move(config)), next_session_(config_.first_session) {}

RtspServer::~RtspServer() {
    Stop();
}

bool RtspServer::Start() {
    if (!config_.stream_path.empty()) {
        std::ifstream in(config_.stream_path, std::ios::binary);
        if (!in) return false;
        stream_.assign(std::istreambuf_iterator<char>(in), {});
    }
    frames_ = SplitFrames(stream_);
    if (config_.max_payload == 0) config_.max_payload = 1400;
    if (!(config_.frame_rate > 0)) config_.frame_rate = 25.0;

    uint32_t ip = 0;
    if (!platform::ParseIpv4(config_.bind_address, ip)) return false;
    if (!listener_.Listen(ip, config_.port, 8)) return false;
    if (!rtp_socket_.Open() || !rtp_socket_.Bind(ip, 0)) {
        listener_.Close();
        return false;
    }
    rtp_socket_.SetBufferSizes(1 << 20, 1 << 16);
    port_ = listener_.LocalPort();
    wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    running_.store(true);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void RtspServer::Stop() {
    if (!running_.exchange(false)) return;
    const uint64_t one = 1;
    ssize_t n = write(wake_fd_, &one, sizeof one);
    (void)n;
    if (thread_.joinable()) thread_.join();
    close(wake_fd_);
    wake_fd_ = -1;
    listener_.Close();
    rtp_socket_.Close();
}

std::vector<std::string> RtspServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void RtspServer::SetStatus(const std::string& method, int status) {
    std::lock_guard lock(mutex_);
    if (status == 0) {
        statuses_.erase(method);
    } else {
        statuses_[method] = status;
    }
}

StreamStats RtspServer::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

bool RtspServer::WaitFinished(uint32_t ms) const {
    const uint32_t start = platform::TickCount();
    while (!Stats().finished) {
        if (platform::TickCount() - start >= ms) return false;
        platform::SleepMs(5);
    }
    return true;
}

void RtspServer::Run() {
    std::vector<std::unique_ptr<Connection>> connections;
    while (running_.load()) {
        // Wake for the next frame that is due, at the latest after 100 ms.
        const uint64_t now = platform::MonotonicMicros();
        int wait_ms = 100;
        for (const auto& c : connections) {
            const bool done = frames_.empty() || (!config_.loop && c->next_frame >= frames_.size());
            if (!c->playing || done) continue;
            const int64_t until = int64_t(c->next_due_us) - int64_t(now);
            wait_ms = std::min(wait_ms, until <= 0 ? 0 : int((until + 999) / 1000));
        }
        std::vector<pollfd> fds = {{wake_fd_, POLLIN, 0}, {listener_.fd(), POLLIN, 0}};
        for (const auto& c : connections)
            fds.push_back({c->socket.fd(), POLLIN, 0});
        if (poll(fds.data(), nfds_t(fds.size()), wait_ms) < 0) continue;
        if (fds[0].revents & POLLIN) break;

        if (fds[1].revents & POLLIN) {
            sockaddr_in from{};
            platform::TcpSocket s = listener_.Accept(&from);
            if (s.is_open() && connections.size() < kMaxConnections && s.SetNonBlocking()) {
                auto c = std::make_unique<Connection>();
                c->socket = std::move(s);
                c->peer_ip = ntohl(from.sin_addr.s_addr);
                connections.push_back(std::move(c));
            }
        }
        for (size_t i = 0; i + 2 < fds.size(); ++i) {
            if (fds[2 + i].revents & (POLLIN | POLLHUP | POLLERR)) HandleInput(*connections[i]);
        }
        const uint64_t after = platform::MonotonicMicros();
        for (auto& c : connections) {
            if (c->socket.is_open()) SendDueFrames(*c, after);
        }
        std::erase_if(connections, [this](const std::unique_ptr<Connection>& c) {
            if (c->socket.is_open()) return false;
            if (c->playing) {
                std::lock_guard lock(mutex_);
                stats_.playing = false;
            }
            return true;
        });
    }
}

void RtspServer::HandleInput(Connection& c) {
    char buf[4096];
    for (;;) {
        size_t n = 0;
        int err = 0;
        const auto io = c.socket.Receive(buf, sizeof buf, n, err);
        if (io == platform::TcpSocket::Io::kWouldBlock) break;
        if (io != platform::TcpSocket::Io::kData || c.input.size() + n > kMaxRequestBytes) {
            c.socket.Close();  // a client that hangs up ends its session
            return;
        }
        c.input.append(buf, n);
    }
    // The client's requests have no bodies: each ends with an empty line.
    for (size_t end; (end = c.input.find("\r\n\r\n")) != std::string::npos;) {
        const std::string request = c.input.substr(0, end + 4);
        c.input.erase(0, end + 4);
        Answer(c, request);
        if (!c.socket.is_open()) return;
    }
}

void RtspServer::Answer(Connection& c, const std::string& request) {
    const size_t line_end = request.find("\r\n");
    const std::string_view line = std::string_view(request).substr(0, line_end);
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    const std::string method(line.substr(0, sp1));
    const std::string url =
        sp2 == std::string_view::npos ? "" : std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
    const std::string cseq = Header(request, "CSeq");
    const std::string session = Header(request, "Session");

    int forced = 0;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (auto it = statuses_.find(method); it != statuses_.end()) forced = it->second;
    }
    if (forced < 0) return;

    int status = 200;
    std::string headers, body;
    const bool known_session =
        !c.session.empty() && (session == c.session || (!config_.setup_session && session.empty()));
    const bool names_presentation = url.find(std::string("/") + kPresentation) != std::string::npos;
    if (forced > 0) {
        status = forced;
    } else if (method == "OPTIONS") {
        headers = "Public: OPTIONS, DESCRIBE, SETUP, PLAY, PAUSE, TEARDOWN\r\n";
    } else if (method == "DESCRIBE") {
        if (!names_presentation) {
            status = 404;
        } else {
            body = Sdp();
            headers = "Content-Base: " + url + "/\r\nContent-Type: application/sdp\r\n";
        }
    } else if (method == "SETUP") {
        const std::string transport = Header(request, "Transport");
        const size_t at = transport.find("client_port=");
        if (!names_presentation) {
            status = 404;
        } else if (!session.empty() && !known_session) {
            status = 454;
        } else if (at == std::string::npos) {
            status = 461;
        } else {
            c.client_port = uint16_t(std::strtoul(transport.c_str() + at + 12, nullptr, 10));
            if (c.session.empty()) c.session = std::to_string(next_session_++);
            if (config_.setup_session) headers = "Session: " + c.session + "\r\n";
            headers += "Transport: RTP/AVP;unicast;client_port=" +
                       transport.substr(at + 12, transport.find(';', at) - at - 12);
            if (config_.setup_server_port) headers += ";server_port=" + ServerPorts();
            headers += "\r\n";
        }
    } else if (method == "PLAY" || method == "PAUSE" || method == "TEARDOWN") {
        if (c.session.empty()) {
            status = 455;
        } else if (!known_session) {
            status = 454;
        } else {
            headers = "Session: " + c.session + "\r\n";
            if (method == "PLAY" && !c.playing) {
                c.playing = true;
                c.next_frame = 0;
                c.frame_index = 0;
                c.next_due_us = platform::MonotonicMicros();
                c.ssrc = 0x4B455354u ^ uint32_t(c.next_due_us);
                std::lock_guard lock(mutex_);
                stats_ = StreamStats{};
                stats_.playing = true;
                stats_.finished = frames_.empty();
            } else if (method != "PLAY") {
                c.playing = false;
                std::lock_guard lock(mutex_);
                stats_.playing = false;
            }
            if (method == "PLAY") headers += "Range: npt=0.000-\r\n";
            if (method == "TEARDOWN") c.session.clear();
        }
    } else {
        status = 501;
        headers = "Allow: OPTIONS, DESCRIBE, SETUP, PLAY, PAUSE, TEARDOWN\r\n";
    }

    std::string reply = "RTSP/1.0 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    reply += "CSeq: " + cseq + "\r\n";
    if (status == 200) reply += headers;
    if (!body.empty()) reply += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    reply += "\r\n" + body;
    // Replies are small; the socket's buffer takes them whole.
    size_t sent = 0;
    while (sent < reply.size()) {
        size_t n = 0;
        int err = 0;
        const auto io = c.socket.Send(reply.data() + sent, reply.size() - sent, n, err);
        if (io == platform::TcpSocket::Io::kData) {
            sent += n;
        } else if (io == platform::TcpSocket::Io::kWouldBlock) {
            c.socket.WaitWritable(10);
        } else {
            c.socket.Close();
            return;
        }
    }
}

void RtspServer::SendDueFrames(Connection& c, uint64_t now_us) {
    const auto interval_us = uint64_t(1e6 / config_.frame_rate);
    // A server that fell behind catches up by two frames at a time, so the
    // client never sees a burst of many frames at once.
    for (int burst = 0; burst < 2 && c.playing && c.next_due_us <= now_us; ++burst) {
        if (c.next_frame >= frames_.size()) {
            if (!config_.loop || frames_.empty()) return;
            c.next_frame = 0;
        }
        SendFrame(c, frames_[c.next_frame]);
        ++c.next_frame;
        ++c.frame_index;
        c.next_due_us += interval_us;
        if (c.next_frame == frames_.size() && !config_.loop) {
            std::lock_guard lock(mutex_);
            stats_.finished = true;
        }
    }
    if (c.next_due_us + interval_us < now_us) c.next_due_us = now_us;
}

void RtspServer::SendFrame(Connection& c, std::span<const uint8_t> frame) {
    const uint16_t port = config_.rtp_port ? config_.rtp_port : c.client_port;
    const sockaddr_in to = platform::MakeAddress(c.peer_ip, port);
    const auto timestamp = uint32_t(double(c.frame_index) * kClockRate / config_.frame_rate);
    std::vector<uint8_t> datagram;
    uint64_t datagrams = 0, bytes = 0;
    for (size_t at = 0; at < frame.size() || at == 0; at += config_.max_payload) {
        const size_t n = std::min(config_.max_payload, frame.size() - at);
        const bool last = at + n >= frame.size();
        // RTP header: version 2; marker on the frame's last fragment, payload
        // type 98; sequence number, time stamp, SSRC (big-endian).
        datagram.assign(12, 0);
        datagram[0] = 0x80;
        datagram[1] = uint8_t((last ? 0x80 : 0) | kPayloadType);
        PutBig16(datagram, 2, c.sequence++);
        PutBig32(datagram, 4, timestamp);
        PutBig32(datagram, 8, c.ssrc);
        datagram.insert(datagram.end(), frame.begin() + long(at), frame.begin() + long(at + n));
        if (rtp_socket_.SendTo(datagram.data(), datagram.size(), to) >= 0) {
            ++datagrams;
            bytes += n;
        }
        if (last) break;
    }
    std::lock_guard lock(mutex_);
    ++stats_.frames;
    stats_.datagrams += datagrams;
    stats_.payload_bytes += bytes;
}

std::string RtspServer::ServerPorts() const {
    if (!config_.server_port.empty()) return config_.server_port;
    const uint16_t p = rtp_socket_.LocalPort();
    return std::to_string(p) + "-" + std::to_string(p + 1);
}

std::string RtspServer::Sdp() const {
    // The configuration (VOS, VO and VOL headers) is everything before the
    // first GOV or VOP.
    std::string config;
    static const char* const kHex = "0123456789ABCDEF";
    for (size_t i = 0; i < stream_.size(); ++i) {
        if (i + 3 < stream_.size() && stream_[i] == 0 && stream_[i + 1] == 0 &&
            stream_[i + 2] == 1 && (stream_[i + 3] == 0xB3 || stream_[i + 3] == kVopCode)) {
            break;
        }
        config += kHex[stream_[i] >> 4], config += kHex[stream_[i] & 15];
    }
    std::string sdp =
        "v=0\r\n"
        "o=- 1 1 IN IP4 " +
        config_.bind_address +
        "\r\n"
        "s=kestsim MPEG-4 stream\r\n"
        "c=IN IP4 0.0.0.0\r\n"
        "t=0 0\r\n"
        "a=control:*\r\n"
        "m=video 0 RTP/AVP 98\r\n"
        "a=rtpmap:98 MP4V-ES/90000\r\n";
    sdp += "a=fmtp:98 profile-level-id=1";
    if (!config.empty()) sdp += ";config=" + config;
    sdp += "\r\na=framerate:" + std::to_string(int(config_.frame_rate)) + "\r\n";
    sdp += "a=control:streamid=0\r\n";
    return sdp;
}

}  // namespace kest::sim
