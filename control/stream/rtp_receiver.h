// CRtpReceiver: the control's RTP receiver for the camera's MPEG-4 stream.
//
// A UDP socket bound to RtpRecvPort and one receive thread that appends the
// payload of every datagram to the dump file ("unko.b" in the current
// directory unless "KEST.INI" [rtp] dump names another path). Nothing in the
// library reads the file; it is the stream as the camera sent it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "control/stream/camera.h"
#include "platform/udp_socket.h"

namespace kest {

enum RtpResult : int32_t {
    kRtpAlreadyRunning = -60,
    kRtpMissingArgument = -100,
    kRtpNotOpen = -200,
    kRtpAlreadyOpen = -201,
};

// The part of one datagram that goes to the dump file.
struct DumpSlice {
    size_t offset = 0;
    size_t length = 0;
};

// An RTP version-2 datagram of payload type 98 gives its payload: after the
// 12-byte header, 4 bytes per CSRC and the header extension when its bit is
// set, without the padding when its bit is set; one whose header does not fit
// gives nothing. Any other datagram is kept whole.
DumpSlice DumpSliceOf(std::span<const uint8_t> datagram);

class CRtpReceiver {
  public:
    static constexpr size_t kBufferSize = 3 * 1024 * 1024;
    static constexpr size_t kMaxDatagram = 65536;
    static constexpr uint8_t kPayloadType = 98;
    static constexpr const char* kDefaultDumpFile = "unko.b";

    explicit CRtpReceiver(std::string instance_name);
    // Stops and joins the receive thread.
    ~CRtpReceiver();
    CRtpReceiver(const CRtpReceiver&) = delete;
    CRtpReceiver& operator=(const CRtpReceiver&) = delete;

    // Binds local_port on any local address. The server port is only kept:
    // a server may leave it out of its Transport header, so it may be empty.
    // 0, -201, -100 (missing or bad argument), -5 (bad camera address), -6
    // (no socket, or the port cannot be bound), -7 (non-blocking mode).
    int32_t RtpOpen(const std::string& address_text, const std::string& server_port_text,
                    const std::string& local_port_text);
    // Starts the receive thread: 0, -200 when not open, -60 when running.
    int32_t RtpStart(int32_t continuous);
    // -200 when not open; a continuous thread is told to stop.
    int32_t RtpStop();
    // Stops and joins the thread, then closes the socket.
    int32_t RtpClose();

    void AddListener(CameraListener* listener);
    void RemoveListener(CameraListener* listener);

    bool is_open() const { return open_; }
    bool running() const { return running_.load(); }
    int32_t result() const { return result_.load(); }
    uint16_t local_port() const { return socket_.is_open() ? socket_.LocalPort() : 0; }
    const std::string& address_text() const { return address_text_; }
    const std::string& server_port_text() const { return server_port_text_; }
    // The file the last start writes to.
    const std::string& dump_path() const { return dump_path_; }
    // Datagrams and dump bytes the running or last thread handled.
    uint64_t datagrams() const { return datagrams_.load(); }
    uint64_t dump_bytes() const { return dump_bytes_.load(); }
    const std::string& instance_name() const { return instance_name_; }

  private:
    void Receive(std::string path, bool continuous, bool debug);
    void Join();

    std::string instance_name_;
    bool open_ = false;
    platform::UdpSocket socket_;
    std::string address_text_;
    std::string server_port_text_;
    std::string dump_path_;

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> continuous_{false};
    std::atomic<int32_t> result_{0};
    std::atomic<uint64_t> datagrams_{0};
    std::atomic<uint64_t> dump_bytes_{0};

    std::mutex listener_mutex_;
    std::vector<CameraListener*> listeners_;
};

}  // namespace kest
