#include "tests/support/recording_peer.h"

#include "platform/byte_cursor.h"
#include "platform/ticks.h"

namespace kest::test {

uint16_t PeerDatagram::sequence() const {
    return bytes.size() >= 2 ? LoadU16(&bytes[0]) : 0;
}
uint16_t PeerDatagram::code() const {
    return bytes.size() >= 4 ? LoadU16(&bytes[2]) : 0;
}

std::string PeerDatagram::ToString() const {
    static const char* const kHex = "0123456789abcdef";
    std::string s = "seq=" + std::to_string(sequence()) + " code=" + std::to_string(code());
    if (bytes.size() > 4) s += " ";
    for (size_t i = 4; i < bytes.size(); ++i)
        s += kHex[bytes[i] >> 4], s += kHex[bytes[i] & 15];
    return s;
}

RecordingPeer::RecordingPeer(Script script) : script_(std::move(script)) {
    socket_.Open();
    socket_.Bind(0x7F000001, 0);
    socket_.SetNonBlocking();
    port_ = socket_.LocalPort();
    thread_ = std::thread([this] { Run(); });
}

RecordingPeer::~RecordingPeer() {
    running_.store(false);
    thread_.join();
}

void RecordingPeer::SetScript(Script script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
}

void RecordingPeer::Flood(std::vector<uint8_t> bytes, uint32_t period_ms, size_t count) {
    std::lock_guard lock(mutex_);
    flood_ = std::move(bytes);
    flood_period_ms_ = period_ms;
    flood_left_ = count;
    flood_due_us_ = 0;
}

size_t RecordingPeer::flood_sent() const {
    std::lock_guard lock(mutex_);
    return flood_sent_;
}

std::vector<PeerDatagram> RecordingPeer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

size_t RecordingPeer::count() const {
    std::lock_guard lock(mutex_);
    return received_.size();
}

bool RecordingPeer::WaitFor(size_t n, uint32_t ms) const {
    const uint32_t start = platform::TickCount();
    while (count() < n) {
        if (platform::TickCount() - start >= ms) return false;
        platform::SleepMs(1);
    }
    return true;
}

std::vector<uint8_t> RecordingPeer::Reply(const PeerDatagram& request, int16_t status,
                                          std::vector<uint8_t> data, uint16_t flags) {
    std::vector<uint8_t> out(6);
    StoreU16(&out[0], request.sequence());
    StoreU16(&out[2], flags);
    StoreU16(&out[4], uint16_t(status));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

void RecordingPeer::Run() {
    uint8_t buf[2048];
    while (running_.load()) {
        {
            std::lock_guard lock(mutex_);
            const uint64_t now = platform::MonotonicMicros();
            if (flood_left_ > 0 && last_sender_.sin_port != 0 && now >= flood_due_us_) {
                socket_.SendTo(flood_.data(), flood_.size(), last_sender_);
                --flood_left_;
                ++flood_sent_;
                flood_due_us_ = now + uint64_t(flood_period_ms_) * 1000u;
            }
        }
        if (!socket_.WaitReadable(1)) continue;
        sockaddr_in from{};
        size_t n = 0;
        if (socket_.ReceiveFrom(buf, sizeof buf, n, from) != platform::UdpSocket::Receive::kData) {
            continue;
        }
        PeerDatagram d{{buf, buf + n}, ntohs(from.sin_port), platform::MonotonicMicros()};
        Script script;
        {
            std::lock_guard lock(mutex_);
            received_.push_back(d);
            last_sender_ = from;
            script = script_;
        }
        if (!script) continue;
        for (const PeerReply& r : script(d)) {
            if (r.delay_ms) platform::SleepMs(r.delay_ms);
            if (r.from_address.empty()) {
                socket_.SendTo(r.bytes.data(), r.bytes.size(), from);
            } else {
                uint32_t ip = 0;
                platform::ParseIpv4(r.from_address, ip);
                platform::UdpSocket other;
                if (other.Open() && other.Bind(ip, 0)) {
                    other.SendTo(r.bytes.data(), r.bytes.size(), from);
                }
            }
        }
    }
}

}  // namespace kest::test
