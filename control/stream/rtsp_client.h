// CRtspClient: the control's RTSP connection to the camera (TCP, RtspPort).
//
// Requests run on the caller's thread. Each one sends its text, waits for the
// status line, reads the header lines of a 200 or 204 reply and, for DESCRIBE
// and PLAY, the body. Every receive call gives up after the time-out (the
// control's Timeout), and the whole request after kRequestTimeouts of them;
// another thread can make a running request stop with Cancel() or with the
// abort flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "control/stream/camera.h"
#include "control/stream/rtsp_reply.h"
#include "control/stream/rtsp_request.h"
#include "platform/tcp_socket.h"

namespace kest {

enum RtspResult : int32_t {
    kRtspFailed = -1,  // missing address or port, not connected, refused status, bad reply
    kRtspSocketStartup = -40,
    kRtspBadAddress = -41,
    kRtspNoSocket = -42,
    kRtspConnectFailed = -43,  // also a failing close
    kRtspConnected = -50,
    kRtspNotConnected = -51,
    kRtspTimedOut = -54,
    kRtspReset = -55,
    kRtspReceiveEnded = -56,  // stopped by Cancel, or the camera closed the connection
    kRtspBadMethod = -60,
    kRtspAborted = -255,
};

class CRtspClient {
  public:
    static constexpr size_t kMaxLine = 255;              // bytes of a reply line, CR included
    static constexpr size_t kMaxLinesBeforeStatus = 64;  // lines skipped looking for "RTSP/"
    static constexpr size_t kMaxHeaderLines = 128;
    static constexpr uint32_t kWouldBlockWaitMs = 33;
    // One request, its send and its whole reply, gets at most this many
    // time-outs: a server that drips its reply a byte at a time cannot hold
    // the caller longer.
    static constexpr uint32_t kRequestTimeouts = 4;
    static constexpr uint32_t kConnectRetryMs = 100;

    explicit CRtspClient(std::string instance_name);
    ~CRtspClient();
    CRtspClient(const CRtspClient&) = delete;
    CRtspClient& operator=(const CRtspClient&) = delete;

    // 0, -50, -41, -42 or -43.
    int32_t RtspConnect(const std::string& address_text, int32_t port);
    // 0, -43, or -51 when not connected. Waits before and after closing.
    int32_t RtspDisconnect();

    // Each returns 0 or a negative code; -1 when the address or port is
    // missing or the client is not connected.
    int32_t RtspDescribe(const std::string& address, const std::string& port,
                         const std::string& presentation, std::string* body);
    // With a session buffer the SETUP form with "Session: " and its contents
    // is sent, without one the form that names the stream.
    int32_t RtspSetup(const std::string& address, const std::string& port,
                      const std::string& presentation, const std::string& stream,
                      const std::string* session, std::string* header_values);
    int32_t RtspPlay(const std::string& address, const std::string& port,
                     const std::string& presentation, const std::string& session,
                     std::string* body);
    int32_t RtspTeardown(const std::string& address, const std::string& port,
                         const std::string& presentation, const std::string& session);

    // One request: checks the method name (-60), sends the text, reads the
    // reply into reply and the outputs. CSeq advances after every request.
    int32_t RtspRequest(std::string_view method, const std::string& text, rtsp::RtspReply& reply,
                        std::string* header_values, std::string* body);

    // Makes a running send or receive stop (any thread).
    void Cancel();
    // When the flag becomes true, a running send or receive stops with -255.
    void set_abort_flag(const std::atomic<bool>* flag) { abort_ = flag; }

    void set_timeout(int32_t ms) { timeout_ms_ = ms < 0 ? 0 : uint32_t(ms); }
    uint32_t timeout() const { return timeout_ms_; }
    void SetPassword(const std::string& text);
    const std::string& password() const { return password_; }

    // The waits of RtspDisconnect, before and after closing.
    void set_close_waits(uint32_t before_ms, uint32_t after_ms) {
        close_wait_before_ms_ = before_ms, close_wait_after_ms_ = after_ms;
    }

    void AddListener(CameraListener* listener);
    void RemoveListener(CameraListener* listener);

    bool connected() const { return connected_; }
    uint32_t cseq() const { return cseq_; }
    const std::string& address_text() const { return address_text_; }
    const std::string& port_text() const { return port_text_; }
    const rtsp::RtspReply& last_reply() const { return last_reply_; }
    const std::string& instance_name() const { return instance_name_; }

  private:
    bool Stopping();
    void SendAll(std::string_view text);
    // One receive call: bytes (> 0) or a negative code.
    int32_t ReceiveSome(void* buf, size_t cap);
    // One line without its LF; 0 or a negative code.
    int32_t ReadLine(std::string& line);
    int32_t ReadReply(rtsp::Method method, rtsp::RtspReply& reply, std::string* header_values,
                      std::string* body);
    bool Ready(const std::string& address, const std::string& port) const;

    // The tick count when the running request began, and how long it may last.
    bool PastRequestDeadline() const;
    uint32_t request_start_ = 0;
    uint64_t request_limit_ms_ = UINT64_MAX;

    std::string instance_name_;
    bool connected_ = false;
    platform::TcpSocket socket_;
    uint32_t timeout_ms_ = 500;
    std::mutex state_mutex_;
    bool state_ = false;  // under state_mutex_: true makes a running send or receive stop
    const std::atomic<bool>* abort_ = nullptr;
    std::string address_text_;
    std::string port_text_;
    uint32_t cseq_ = 1;
    std::string password_;
    rtsp::RtspReply last_reply_;
    uint32_t close_wait_before_ms_ = 200;
    uint32_t close_wait_after_ms_ = 1000;

    std::mutex listener_mutex_;
    std::vector<CameraListener*> listeners_;
};

}  // namespace kest
