#include "sim/simulator.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/ticks.h"

namespace kest::sim {

std::string Datagram::Hex() const {
    static const char* const kDigits = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (uint8_t b : bytes)
        s.push_back(kDigits[b >> 4]), s.push_back(kDigits[b & 15]);
    return s;
}

Simulator::Simulator(SimConfig config) : config_(std::move(config)) {
    RegisterHandshake(*this);
    RegisterFamilies(*this);
}

Simulator::~Simulator() {
    Stop();
}

void Simulator::Register(uint16_t code, Handler handler) {
    handlers_[code] = std::move(handler);
}

void Simulator::Wrap(
    uint16_t code,
    std::function<void(Simulator&, const Request&, Response&, const Handler& previous)> handler) {
    Handler previous = handlers_.count(code) ? handlers_[code] : Handler();
    handlers_[code] = [handler = std::move(handler), previous](Simulator& sim, const Request& r,
                                                               Response& out) {
        handler(sim, r, out, previous);
    };
}

void Simulator::SendToRequester(const Request& request, const std::vector<uint8_t>& bytes) {
    SendReply(request.datagram, bytes);
}

void Simulator::SendTo(uint32_t ip, uint16_t port, const std::vector<uint8_t>& bytes) {
    // Unasked datagrams (alarm notifications) go to this machine only,
    // whatever address a client registered.
    if ((ip >> 24) != 127) return;
    const sockaddr_in addr = platform::MakeAddress(ip, port);
    std::lock_guard lock(fault_mutex_);
    socket_.SendTo(bytes.data(), bytes.size(), addr);
}

std::vector<uint8_t> Simulator::BuildReply(uint16_t sequence, const Response& response) const {
    std::vector<uint8_t> reply(6);
    StoreU16(&reply[0], sequence);
    StoreU16(&reply[2], start_flag_.load() ? 0x8000 : 0);
    StoreU16(&reply[4], uint16_t(response.status));
    reply.insert(reply.end(), response.data.begin(), response.data.end());
    return reply;
}

void Simulator::SetGate(Gate gate) {
    gate_ = std::move(gate);
}

bool Simulator::MoveTo(const std::string& address) {
    uint32_t ip = 0;
    // Never anything but loopback.
    if (!platform::ParseIpv4(address, ip) || (ip >> 24) != 127) return false;
    platform::UdpSocket s;
    if (!s.Open()) return false;
    s.SetReuseAddress();
    s.SetBufferSizes(1 << 20, 1 << 20);
    if (!s.Bind(ip, port_) || !s.SetNonBlocking()) return false;
    {
        std::lock_guard lock(fault_mutex_);
        socket_ = std::move(s);
    }
    std::lock_guard lock(address_mutex_);
    address_ = platform::FormatIpv4(ip);
    return true;
}

std::string Simulator::address() const {
    std::lock_guard lock(address_mutex_);
    return address_;
}

bool Simulator::Start() {
    uint32_t ip = 0;
    // A simulated camera lives on loopback only, like its moves.
    if (!platform::ParseIpv4(config_.bind_address, ip) || (ip >> 24) != 127) return false;
    if (!socket_.Open()) return false;
    socket_.SetReuseAddress();
    socket_.SetBufferSizes(1 << 20, 1 << 20);
    if (!socket_.Bind(ip, config_.port) || !socket_.SetNonBlocking()) {
        socket_.Close();
        return false;
    }
    port_ = socket_.LocalPort();
    {
        std::lock_guard lock(address_mutex_);
        address_ = platform::FormatIpv4(ip);
    }
    if (config_.search_port != 0) {
        // Address reuse only: every simulated camera must get each broadcast.
        int one = 1;
        if (!search_socket_.Open() ||
            setsockopt(search_socket_.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
            !search_socket_.Bind(0, config_.search_port) || !search_socket_.SetNonBlocking()) {
            socket_.Close();
            search_socket_.Close();
            return false;
        }
    }
    if (!config_.log_path.empty()) log_ = std::fopen(config_.log_path.c_str(), "w");
    wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    running_.store(true);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void Simulator::Stop() {
    if (!running_.exchange(false)) return;
    const uint64_t one = 1;
    ssize_t n = write(wake_fd_, &one, sizeof one);
    (void)n;
    if (thread_.joinable()) thread_.join();
    close(wake_fd_);
    wake_fd_ = -1;
    socket_.Close();
    alternate_.Close();
    search_socket_.Close();
    if (log_) std::fclose(log_), log_ = nullptr;
}

void Simulator::Every(uint32_t period_ms, std::function<void(Simulator& sim)> tick) {
    tickers_.push_back({std::max<uint32_t>(period_ms, 1), 0, std::move(tick)});
}

int Simulator::RunTickers() {
    int wait_ms = 100;
    const uint64_t now = platform::MonotonicMicros();
    for (Ticker& t : tickers_) {
        if (t.due_us <= now) {
            t.due_us = now + uint64_t(t.period_ms) * 1000u;
            t.tick(*this);
        }
        wait_ms = std::min<int>(wait_ms, int((t.due_us - std::min(t.due_us, now) + 999) / 1000));
    }
    return wait_ms;
}

void Simulator::Run() {
    std::vector<uint8_t> buf(65536);
    while (running_.load()) {
        const int wait_ms = RunTickers();
        pollfd fds[3] = {
            {wake_fd_, POLLIN, 0}, {socket_.fd(), POLLIN, 0}, {search_socket_.fd(), POLLIN, 0}};
        if (poll(fds, search_socket_.is_open() ? 3 : 2, wait_ms) <= 0) continue;
        if (fds[0].revents & POLLIN) break;
        for (platform::UdpSocket* s : {&socket_, &search_socket_}) {
            if (!s->is_open()) continue;
            sockaddr_in from{};
            size_t n = 0;
            if (s->ReceiveFrom(buf.data(), buf.size(), n, from) !=
                platform::UdpSocket::Receive::kData) {
                continue;
            }
            // Searches are answered on this machine only: loopback, or 0.0.0.0,
            // the source of a broadcast sent on a loopback-only network.
            const uint32_t source = ntohl(from.sin_addr.s_addr);
            if (s == &search_socket_ && source != 0 && (source >> 24) != 127) continue;
            // The shared search port is for searches: other commands sent
            // there are not this camera's.
            if (s == &search_socket_ &&
                (n < 4 || (LoadU16(buf.data() + 2) != 14 && LoadU16(buf.data() + 2) != 15))) {
                continue;
            }
            Datagram d;
            d.bytes.assign(buf.begin(), buf.begin() + long(n));
            d.from_ip = ntohl(from.sin_addr.s_addr);
            d.from_port = ntohs(from.sin_port);
            d.time_us = platform::MonotonicMicros();
            {
                std::lock_guard lock(log_mutex_);
                received_.push_back(d);
                if (log_) std::fprintf(log_, "%s\n", d.Hex().c_str()), std::fflush(log_);
            }
            Handle(d);
        }
    }
}

void Simulator::Handle(const Datagram& d) {
    if (d.bytes.size() < 4) return;
    auto it = handlers_.find(d.code());
    if (it == handlers_.end()) return;  // a camera ignores what it does not know
    Request request{d, d.sequence(), d.code(), ByteReader(d.bytes.data() + 4, d.bytes.size() - 4)};
    Response response;
    if (!gate_ || !gate_(*this, request, response)) it->second(*this, request, response);
    if (response.send) Reply(d, response);
    if (response.after_reply) response.after_reply(*this);
    if (response.then) response.then(*this);
}

void Simulator::Reply(const Datagram& d, const Response& response) {
    const std::vector<uint8_t> reply = BuildReply(d.sequence(), response);

    bool drop = false, wrong_first = false;
    uint32_t delay = 0;
    {
        std::lock_guard lock(fault_mutex_);
        if (drop_next_ > 0) {
            --drop_next_;
            drop = true;
        } else if (drop_fraction_ > 0.0) {
            drop = std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < drop_fraction_;
        }
        delay = delay_ms_;
        wrong_first = wrong_sequence_first_;
    }
    if (drop) return;
    if (delay) platform::SleepMs(delay);
    if (wrong_first) {
        std::vector<uint8_t> stale = reply;
        StoreU16(&stale[0], uint16_t(d.sequence() - 1));
        SendReply(d, stale);
    }
    SendReply(d, reply);
}

void Simulator::SendTo(const Datagram& to, const void* data, size_t size) {
    const sockaddr_in addr = platform::MakeAddress(to.from_ip, to.from_port);
    std::lock_guard lock(fault_mutex_);
    platform::UdpSocket& s = alternate_.is_open() ? alternate_ : socket_;
    s.SendTo(data, size, addr);
}

void Simulator::SendReply(const Datagram& to, const std::vector<uint8_t>& bytes) {
    const sockaddr_in addr = platform::MakeAddress(to.from_ip, to.from_port);
    std::lock_guard lock(fault_mutex_);
    platform::UdpSocket& s = alternate_.is_open() ? alternate_ : socket_;
    s.SendTo(bytes.data(), bytes.size(), addr);
}

std::vector<Datagram> Simulator::Received() const {
    std::lock_guard lock(log_mutex_);
    return received_;
}

size_t Simulator::ReceivedCount() const {
    std::lock_guard lock(log_mutex_);
    return received_.size();
}

size_t Simulator::ReceivedCount(uint16_t code) const {
    std::lock_guard lock(log_mutex_);
    size_t n = 0;
    for (const Datagram& d : received_)
        n += d.code() == code ? 1 : 0;
    return n;
}

void Simulator::ClearReceived() {
    std::lock_guard lock(log_mutex_);
    received_.clear();
}

void Simulator::DropNextReplies(int count) {
    std::lock_guard lock(fault_mutex_);
    drop_next_ = count;
}

void Simulator::DropFraction(double fraction, uint32_t seed) {
    std::lock_guard lock(fault_mutex_);
    drop_fraction_ = fraction;
    rng_.seed(seed);
}

void Simulator::DelayReplies(uint32_t ms) {
    std::lock_guard lock(fault_mutex_);
    delay_ms_ = ms;
}

void Simulator::SendWrongSequenceFirst(bool on) {
    std::lock_guard lock(fault_mutex_);
    wrong_sequence_first_ = on;
}

bool Simulator::AnswerFrom(const std::string& address) {
    uint32_t ip = 0;
    if (!platform::ParseIpv4(address, ip)) return false;
    platform::UdpSocket s;
    if (!s.Open() || !s.Bind(ip, 0)) return false;
    std::lock_guard lock(fault_mutex_);
    alternate_ = std::move(s);
    return true;
}

void Simulator::SimulateRestart() {
    start_flag_.store(true);
}

void RegisterHandshake(Simulator& sim) {
    sim.Register(0, [](Simulator&, const Request&, Response&) {});
    sim.Register(1, [](Simulator& s, const Request&, Response& r) {
        // +4 version number, +6 type number, +8 program version.
        r.status = int16_t(s.version_number());
        r.U16(uint16_t(s.model_code()));
        r.U16(uint16_t(s.program_version()));
    });
    sim.Register(176, [](Simulator& s, const Request&, Response& r) {
        s.ClearStartFlag();
        r.status = 0;
    });
}

}  // namespace kest::sim
