// The push mode of the live picture stream: a camera set to multicast sends
// every frame unasked to its group; the control's window reports the socket
// readable, and frames are assembled from the datagrams on the host's thread
// and handed over like pulled ones. Lost packets are not asked for again.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "control/stream/receiver.h"
#include "platform/message_window.h"
#include "platform/udp_socket.h"

namespace kest {

class CKestCamera;

// Results of StartMulticast besides 0: 30 plus the camera's status, or this.
constexpr int32_t kMulticastNoReply = 29;
constexpr size_t kMulticastDatagramMax = 1526;
constexpr uint16_t kMulticastHeaderCode = 251;
constexpr uint16_t kMulticastPacketCode = 252;

// Host thread only: every member is used from the control's window.
class MulticastReceiver {
  public:
    explicit MulticastReceiver(CKestCamera& camera) : camera_(camera) {}
    ~MulticastReceiver() { CloseSocket(); }
    MulticastReceiver(const MulticastReceiver&) = delete;
    MulticastReceiver& operator=(const MulticastReceiver&) = delete;

    // Joins the group and port the camera reported (the camera object's
    // multicast texts) on the interface "KEST.INI" names; only datagrams from
    // camera_address make frames. 0, -201 when open,
    // -100 for a port outside 1 to 65535, -5 for a bad group, -6 when no
    // socket or membership, -7 for the socket options.
    int32_t Open(platform::MessageWindow* window, uint32_t camera_address,
                 const std::string& group_text, const std::string& port_text);
    // Readable data on the socket becomes the multicast-socket message.
    bool Watch();
    // Asks the camera to push (first 1) or whether it still pushes to the
    // session's group and port (first 0). 0, 30 plus the camera's status,
    // or 29 without reply, when the group or port has changed (the socket
    // is then closed) or when a receive error has closed the socket.
    int32_t Start(int first);
    // Takes the datagrams waiting on the socket. 1 when a frame was completed.
    int32_t OnDatagram(int socket);
    // Moves the socket's notifications to another window (none: unwatched),
    // for a host that gives the control a new window while it streams.
    void SetWindow(platform::MessageWindow* window);
    void CloseSocket();
    // Ends push mode: the socket closed and the flags cleared.
    void End();

    bool session_open() const { return session_open_; }
    bool active() const { return active_; }
    int socket_fd() const { return socket_.fd(); }
    uint16_t port() const { return port_; }
    uint32_t group() const { return group_; }
    // Frames completed and frames dropped for a missing packet.
    uint32_t frames_completed() const { return frames_completed_; }
    uint32_t frames_dropped() const { return frames_dropped_; }

  private:
    // One datagram; true when it completed a frame.
    bool Take(const uint8_t* bytes, size_t length);
    bool TakePacket(const uint8_t* bytes, size_t length);

    CKestCamera& camera_;
    platform::MessageWindow* window_ = nullptr;
    platform::UdpSocket socket_;
    uint32_t group_ = 0;
    uint16_t port_ = 0;
    uint32_t camera_address_ = 0;
    bool session_open_ = false;
    bool active_ = false;
    bool header_present_ = false;
    bool first_packet_seen_ = false;
    uint16_t header_sequence_ = 0;
    size_t header_length_ = 0;
    std::array<uint8_t, kCameraHeaderMax> header_{};
    std::array<uint8_t, kMaxPackets + 1> received_{};
    int packet_count_ = 0;
    int payload_size_ = 0;
    uint32_t frame_length_ = 0;
    uint32_t frames_completed_ = 0;
    uint32_t frames_dropped_ = 0;
    std::array<uint8_t, kMulticastDatagramMax> datagram_{};
};

}  // namespace kest
