#include "control/stream/rtp_receiver.h"
#include "control/protocol/settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "control/protocol/result_codes.h"
#include "platform/byte_cursor.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/ticks.h"

namespace kest {

namespace {

// Set to anything but "0" for one line per datagram on standard error.
constexpr const char* kDebugVariable = "KEST_RTP_DEBUG";
// Datagrams taken per round before the stop flag is looked at again.
constexpr int kDatagramsPerRound = 64;

// RTP fixed header: byte 0 version (2 bits), padding, extension, CSRC count
// (4 bits); byte 1 marker and payload type (7 bits); sequence, time stamp and
// SSRC fill it to 12 bytes; the CSRCs follow. Multi-byte fields are big-endian.
constexpr size_t kRtpHeader = 12;

uint16_t BigEndian16(ByteReader& r) {
    const uint8_t hi = r.U8();
    return uint16_t(hi << 8 | r.U8());
}

bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint32_t(c - '0');
    }
    if (v > 65535) return false;
    port = uint16_t(v);
    return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t n) {
    while (n > 0) {
        const ssize_t w = write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w, n -= size_t(w);
    }
    return true;
}

}  // namespace

DumpSlice DumpSliceOf(std::span<const uint8_t> datagram) {
    const DumpSlice whole{0, datagram.size()};
    if (datagram.size() < 2) return whole;
    const uint8_t first = datagram[0];
    if ((first >> 6) != 2 || (datagram[1] & 0x7F) != CRtpReceiver::kPayloadType) return whole;

    ByteReader r(datagram);
    r.Skip(kRtpHeader + 4 * size_t(first & 0x0F));
    if (first & 0x10) {
        r.Skip(2);  // profile-defined word
        r.Skip(4 * size_t(BigEndian16(r)));
    }
    if (!r.ok()) return {};
    size_t end = datagram.size();
    if (first & 0x20) {
        // The last byte counts the padding bytes, itself included.
        const size_t padding = datagram.back();
        if (padding == 0 || padding > r.remaining()) return {};
        end -= padding;
    }
    return {r.offset(), end - r.offset()};
}

CRtpReceiver::CRtpReceiver(std::string instance_name) : instance_name_(std::move(instance_name)) {}

CRtpReceiver::~CRtpReceiver() {
    RtpClose();
    Join();
}

int32_t CRtpReceiver::RtpOpen(const std::string& address_text, const std::string& server_port_text,
                              const std::string& local_port_text) {
    if (open_) return kRtpAlreadyOpen;
    uint16_t local_port = 0;
    if (address_text.empty() || !ParsePort(local_port_text, local_port)) return kRtpMissingArgument;
    uint32_t ip = 0;
    if (!platform::ParseIpv4(CKestCamera::NormaliseAddress(address_text), ip))
        return protocol::kBadCameraAddress;
    address_text_ = address_text;
    server_port_text_ = server_port_text;
    if (!socket_.Open()) return protocol::kSocketCreate;
    socket_.SetBufferSizes(1 << 20, 1 << 20);
    if (!socket_.Bind(0, local_port)) {
        socket_.Close();
        return protocol::kSocketCreate;
    }
    if (!socket_.SetNonBlocking()) {
        socket_.Close();
        return protocol::kNonBlocking;
    }
    open_ = true;
    return 0;
}

int32_t CRtpReceiver::RtpStart(int32_t continuous) {
    if (!open_) return kRtpNotOpen;
    if (running_.exchange(true)) return kRtpAlreadyRunning;
    Join();  // a thread that ended by itself

    const std::string settings = protocol::SettingsFilePath();
    std::string path = platform::GetProfileString(settings, "rtp", "dump", kDefaultDumpFile);
    if (path.empty()) path = kDefaultDumpFile;
    if (path.front() != '/') path = platform::JoinPath(platform::CurrentDirectory(), path);
    dump_path_ = path;
    const char* debug = std::getenv(kDebugVariable);

    stop_.store(false);
    continuous_.store(continuous != 0);
    result_.store(0);
    datagrams_.store(0);
    dump_bytes_.store(0);
    thread_ = std::thread(&CRtpReceiver::Receive, this, path, continuous != 0,
                          debug && *debug && std::string(debug) != "0");
    return 0;
}

int32_t CRtpReceiver::RtpStop() {
    if (!open_) return kRtpNotOpen;
    if (!running_.load()) {
        result_.store(0);
    } else if (continuous_.load()) {
        stop_.store(true);
    }
    return 0;
}

int32_t CRtpReceiver::RtpClose() {
    if (!open_) return kRtpNotOpen;
    RtpStop();
    // The thread reads the socket; it goes before the socket does.
    Join();
    socket_.Close();
    open_ = false;
    return 0;
}

void CRtpReceiver::Join() {
    if (thread_.joinable()) thread_.join();
}

void CRtpReceiver::AddListener(CameraListener* listener) {
    std::lock_guard lock(listener_mutex_);
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void CRtpReceiver::RemoveListener(CameraListener* listener) {
    std::lock_guard lock(listener_mutex_);
    std::erase(listeners_, listener);
}

void CRtpReceiver::Receive(std::string path, bool continuous, bool debug) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kBufferSize]());
    if (!buffer) {
        result_.store(protocol::kNoReceiveBuffer);
        running_.store(false);
        return;
    }
    unlink(path.c_str());
    int fd = -1;
    do {
        if (!socket_.WaitReadable(1)) continue;
        for (int i = 0; i < kDatagramsPerRound && !stop_.load(); ++i) {
            sockaddr_in from{};
            size_t n = 0;
            if (socket_.ReceiveFrom(buffer.get(), kMaxDatagram, n, from) !=
                platform::UdpSocket::Receive::kData) {
                break;
            }
            const DumpSlice slice = DumpSliceOf({buffer.get(), n});
            datagrams_.fetch_add(1);
            if (debug) {
                std::fprintf(stderr, "rtp %s: offset %zu length %zu of %zu\n",
                             instance_name_.c_str(), slice.offset, slice.length, n);
            }
            if (slice.length == 0) continue;
            if (fd < 0) fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            if (fd >= 0 && WriteAll(fd, buffer.get() + slice.offset, slice.length))
                dump_bytes_.fetch_add(slice.length);
        }
    } while (continuous && !stop_.load());
    if (fd >= 0) close(fd);
    running_.store(false);
}

}  // namespace kest
