#include "control/stream/multicast_receiver.h"
#include "control/protocol/settings_file.h"

#include <cstdlib>
#include <cstring>

#include "control/protocol/commands.h"
#include "control/protocol/result_codes.h"
#include "control/stream/camera.h"
#include "control/stream/window_messages.h"
#include "platform/byte_cursor.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace kest {

namespace {

constexpr int kSocketBufferBytes = 65534;
// Datagrams taken for one readable message at most, so a busy group never
// keeps the host's thread from its other messages.
constexpr int kDatagramsPerMessage = 64;

// "KEST.INI" [udp] multicast_interface: the interface that joins the group
// (0.0.0.0: the one the routing table gives the group).
uint32_t MulticastInterface() {
    const std::string path = protocol::SettingsFilePath();
    const std::string text = platform::GetProfileString(path, "udp", "multicast_interface", "");
    uint32_t address = 0;
    if (text.empty() || !platform::ParseIpv4(text, address)) return 0;
    return address;
}

}  // namespace

int32_t MulticastReceiver::Open(platform::MessageWindow* window, uint32_t camera_address,
                                const std::string& group_text, const std::string& port_text) {
    if (session_open_) return protocol::kSessionOpen;
    char* end = nullptr;
    const long port = std::strtol(port_text.c_str(), &end, 10);
    if (port_text.empty() || *end != '\0' || port < 1 || port > 65535) {
        return protocol::kMissingArgument;
    }
    uint32_t group = 0;
    if (!platform::ParseIpv4(group_text, group)) return protocol::kBadCameraAddress;
    platform::UdpSocket s;
    if (!s.Open()) return protocol::kSocketCreate;
    if (!s.SetBufferSizes(kSocketBufferBytes, kSocketBufferBytes) || !s.SetReuseAddress() ||
        !s.SetNonBlocking()) {
        return protocol::kNonBlocking;
    }
    // Bound to the group, the socket hears no other group that shares the port.
    if (!s.Bind(group, uint16_t(port)) || !s.JoinMulticast(group, MulticastInterface())) {
        return protocol::kSocketCreate;
    }
    socket_ = std::move(s);
    window_ = window;
    camera_address_ = camera_address;
    group_ = group;
    port_ = uint16_t(port);
    session_open_ = true;
    active_ = false;
    header_present_ = false;
    return 0;
}

bool MulticastReceiver::Watch() {
    if (!socket_.is_open() || !window_) return false;
    return window_->WatchSocket(socket_.fd(), kMulticastSocketMessage);
}

void MulticastReceiver::SetWindow(platform::MessageWindow* window) {
    if (window == window_) return;
    if (socket_.is_open() && window_) window_->UnwatchSocket(socket_.fd());
    window_ = window;
    if (socket_.is_open() && window_) window_->WatchSocket(socket_.fd(), kMulticastSocketMessage);
}

void MulticastReceiver::CloseSocket() {
    if (!socket_.is_open()) return;
    if (window_) window_->UnwatchSocket(socket_.fd());
    socket_.Close();
}

void MulticastReceiver::End() {
    CloseSocket();
    active_ = false;
    session_open_ = false;
    header_present_ = false;
}

int32_t MulticastReceiver::Start(int first) {
    // A socket closed by a receive error hears nothing more: the check fails
    // without asking the camera, so push mode ends instead of going silent.
    if (first == 0 && !socket_.is_open()) return kMulticastNoReply;
    uint8_t params[2];
    StoreU16(params, uint16_t(first));
    protocol::CommandChannel::Options options;
    options.act_on_start_flag = false;
    protocol::Reply reply;
    if (camera_.channel().Exchange(*protocol::FindCommand(131), params, reply, options) != 0) {
        return kMulticastNoReply;
    }
    const int16_t status = reply.status();
    if (status != 1) return 30 + status;
    if (first == 0) {
        // The camera still pushes, but maybe to another group or port: then
        // this session hears nothing and ends. A reply too short to say fails.
        if (reply.length < 18) {
            CloseSocket();
            session_open_ = false;
            return kMulticastNoReply;
        }
        const uint32_t group = uint32_t(reply.bytes[8]) << 24 | uint32_t(reply.bytes[9]) << 16 |
                               uint32_t(reply.bytes[10]) << 8 | reply.bytes[11];
        const uint16_t port = LoadU16(&reply.bytes[16]);
        if (group != group_ || port != port_) {
            CloseSocket();
            session_open_ = false;
            return kMulticastNoReply;
        }
        return 0;
    }
    active_ = true;
    header_present_ = false;
    return 0;
}

int32_t MulticastReceiver::OnDatagram(int socket) {
    if (!active_ || !socket_.is_open() || socket != socket_.fd()) return 0;
    int32_t completed = 0;
    for (int i = 0; i < kDatagramsPerMessage; ++i) {
        size_t n = 0;
        sockaddr_in from{};
        const auto got = socket_.ReceiveFrom(datagram_.data(), datagram_.size(), n, from);
        if (got == platform::UdpSocket::Receive::kWouldBlock) break;
        if (got == platform::UdpSocket::Receive::kError) {
            // The next check finds the session gone and ends push mode.
            CloseSocket();
            return completed;
        }
        // Only the camera's own datagrams make its frames.
        if (ntohl(from.sin_addr.s_addr) != camera_address_) continue;
        if (Take(datagram_.data(), n)) completed = 1;
    }
    if (window_ && socket_.is_open()) window_->RearmSocket(socket_.fd());
    return completed;
}

bool MulticastReceiver::Take(const uint8_t* bytes, size_t length) {
    if (length < 4) return false;
    const uint16_t code = LoadU16(bytes + 2);
    if (code == kMulticastHeaderCode) {
        if (length < 8) return false;
        header_sequence_ = LoadU16(bytes);
        header_present_ = true;
        received_.fill(0);
        header_length_ = 0;
        first_packet_seen_ = false;
        const int16_t header_length = int16_t(LoadU16(bytes + 4));
        // A header that does not fit, or that the datagram does not hold, is
        // kept empty: the frame then cannot be completed.
        if (header_length < 0 || header_length > kCameraHeaderMax ||
            8 + size_t(header_length) > length) {
            header_present_ = false;
            return false;
        }
        header_length_ = size_t(header_length);
        std::memcpy(header_.data(), bytes + 8, header_length_);
        return false;
    }
    if (code == kMulticastPacketCode && header_present_) return TakePacket(bytes, length);
    return false;
}

bool MulticastReceiver::TakePacket(const uint8_t* bytes, size_t length) {
    PicturePacket p;
    if (!ReadPicturePacket(bytes, length, p)) return false;
    if (p.sequence != header_sequence_) {
        // A packet of another frame: the frame begun is lost with its last
        // packet or the next header, and is not mixed with this one.
        header_present_ = false;
        ++frames_dropped_;
        return false;
    }
    if (p.payload < 0 || p.payload > kPacketPayloadMax ||
        size_t(kPacketHeaderSize) + size_t(p.payload) > length) {
        return false;
    }
    if (!first_packet_seen_) {
        TakeFrameState(camera_, p);
        first_packet_seen_ = true;
        packet_count_ = p.count;
        frame_length_ = p.total;
        payload_size_ = p.payload;
    }
    if (p.number < 1 || p.number > packet_count_) return false;
    FrameRecord& record = camera_.frame_record();
    if (!record.buffer) return false;
    const size_t place = size_t(p.number - 1) * size_t(payload_size_);
    if (p.number <= kMaxPackets && place + size_t(p.payload) <= CKestCamera::kReceiveBufferSize) {
        std::memcpy(record.buffer + place, p.data, size_t(p.payload));
        received_[size_t(p.number)] = 1;
    }
    if (p.number != packet_count_) return false;

    // The last packet: the frame is whole or it is dropped.
    header_present_ = false;
    bool whole = packet_count_ <= kMaxPackets && frame_length_ <= CKestCamera::kReceiveBufferSize;
    for (int n = 1; whole && n <= packet_count_; ++n)
        whole = received_[size_t(n)] != 0;
    if (!whole) {
        ++frames_dropped_;
        return false;
    }
    camera_.set_reverse(camera_.frame_state().reverse);
    const size_t jpeg = camera_.CompleteFrame(header_.data(), header_length_, frame_length_);
    if (jpeg == 0) {
        ++frames_dropped_;
        return false;
    }
    record.frame_number = p.sequence;
    record.length = int32_t(jpeg);
    record.width = camera_.frame_state().width;
    record.height = camera_.frame_state().height;
    ++frames_completed_;
    // A picture too large to show is dropped without a word to the host.
    if (camera_.DeliverFrame(CKestCamera::PresentationWait::kTry)) camera_.ReportCameraState();
    return true;
}

}  // namespace kest
