#include "control/stream/rtsp_client.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "control/stream/rtsp_request.h"
#include "platform/ticks.h"
#include "platform/udp_socket.h"

namespace kest {

CRtspClient::CRtspClient(std::string instance_name) : instance_name_(std::move(instance_name)) {}

CRtspClient::~CRtspClient() {
    socket_.Close();
}

int32_t CRtspClient::RtspConnect(const std::string& address_text, int32_t port) {
    if (connected_) return kRtspConnected;
    address_text_ = CKestCamera::NormaliseAddress(address_text);
    port_text_ = std::to_string(port);
    uint32_t ip = 0;
    // A port that does not fit the socket address would silently go elsewhere.
    if (!platform::ParseIpv4(address_text_, ip) || port <= 0 || port > 65535) {
        return kRtspBadAddress;
    }
    if (!socket_.Open()) return kRtspNoSocket;
    socket_.SetSendTimeout(timeout_ms_);
    if (!socket_.SetNonBlocking()) {
        socket_.Close();
        return kRtspConnectFailed;
    }
    // Retried every 100 ms while the connect is under way, at least once and
    // then for at most the time-out; a socket that reports itself connected
    // has made it.
    const sockaddr_in to = platform::MakeAddress(ip, uint16_t(port));
    const uint32_t start = platform::TickCount();
    for (int attempt = 0;; ++attempt) {
        const int err = socket_.Connect(to);
        if (err == 0 || err == EISCONN) break;
        const bool pending = err == EINPROGRESS || err == EALREADY || err == EAGAIN || err == EINTR;
        if (!pending || (attempt > 1 && platform::TickCount() - start > timeout_ms_)) {
            socket_.Close();
            return kRtspConnectFailed;
        }
        socket_.WaitWritable(int(kConnectRetryMs));
    }
    {
        std::lock_guard lock(state_mutex_);
        state_ = false;
    }
    connected_ = true;
    return 0;
}

int32_t CRtspClient::RtspDisconnect() {
    if (!connected_) return kRtspNotConnected;
    platform::SleepMs(close_wait_before_ms_);
    const bool closed = socket_.Close();
    connected_ = false;
    platform::SleepMs(close_wait_after_ms_);
    return closed ? 0 : kRtspConnectFailed;
}

bool CRtspClient::Ready(const std::string& address, const std::string& port) const {
    return connected_ && !address.empty() && !port.empty();
}

int32_t CRtspClient::RtspDescribe(const std::string& address, const std::string& port,
                                  const std::string& presentation, std::string* body) {
    if (!Ready(address, port)) return kRtspFailed;
    rtsp::RtspReply reply;
    return RtspRequest("DESCRIBE", rtsp::DescribeText(address, port, presentation, cseq_), reply,
                       nullptr, body);
}

int32_t CRtspClient::RtspSetup(const std::string& address, const std::string& port,
                               const std::string& presentation, const std::string& stream,
                               const std::string* session, std::string* header_values) {
    if (!Ready(address, port)) return kRtspFailed;
    const std::string text =
        session ? rtsp::SetupWithSessionText(address, port, presentation, cseq_, *session)
                : rtsp::SetupText(address, port, presentation, stream, cseq_);
    rtsp::RtspReply reply;
    return RtspRequest("SETUP", text, reply, header_values, nullptr);
}

int32_t CRtspClient::RtspPlay(const std::string& address, const std::string& port,
                              const std::string& presentation, const std::string& session,
                              std::string* body) {
    if (!Ready(address, port)) return kRtspFailed;
    rtsp::RtspReply reply;
    return RtspRequest("PLAY", rtsp::PlayText(address, port, presentation, cseq_, session), reply,
                       nullptr, body);
}

int32_t CRtspClient::RtspTeardown(const std::string& address, const std::string& port,
                                  const std::string& presentation, const std::string& session) {
    if (!Ready(address, port)) return kRtspFailed;
    rtsp::RtspReply reply;
    return RtspRequest("TEARDOWN", rtsp::TeardownText(address, port, presentation, cseq_, session),
                       reply, nullptr, nullptr);
}

int32_t CRtspClient::RtspRequest(std::string_view method, const std::string& text,
                                 rtsp::RtspReply& reply, std::string* header_values,
                                 std::string* body) {
    const auto m = rtsp::MethodFromName(method);
    if (!m) return kRtspBadMethod;
    if (!connected_) return kRtspFailed;
    reply = rtsp::RtspReply{};
    reply.timeout_ms = timeout_ms_;
    request_start_ = platform::TickCount();
    request_limit_ms_ = uint64_t(timeout_ms_) * kRequestTimeouts;
    SendAll(text);
    const int32_t r = ReadReply(*m, reply, header_values, body);
    request_limit_ms_ = UINT64_MAX;
    if (r < 0 && reply.result == 0) reply.result = r;
    last_reply_ = reply;
    ++cseq_;
    return r;
}

void CRtspClient::Cancel() {
    std::lock_guard lock(state_mutex_);
    state_ = true;
}

void CRtspClient::SetPassword(const std::string& text) {
    // The camera's RTSP server asks for no credentials; the password is kept
    // so that it follows the control's property like the session's does.
    password_ = text;
}

void CRtspClient::AddListener(CameraListener* listener) {
    std::lock_guard lock(listener_mutex_);
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void CRtspClient::RemoveListener(CameraListener* listener) {
    std::lock_guard lock(listener_mutex_);
    std::erase(listeners_, listener);
}

bool CRtspClient::PastRequestDeadline() const {
    return platform::TickCount() - request_start_ >= request_limit_ms_;
}

bool CRtspClient::Stopping() {
    std::lock_guard lock(state_mutex_);
    return state_;
}

void CRtspClient::SendAll(std::string_view text) {
    {
        std::lock_guard lock(state_mutex_);
        state_ = false;
    }
    // Best effort: a send that stops or fails shows as a missing reply.
    const uint32_t start = platform::TickCount();
    size_t sent = 0;
    while (sent < text.size()) {
        if ((abort_ && abort_->load()) || Stopping()) return;
        if (platform::TickCount() - start > timeout_ms_) return;
        size_t n = 0;
        int err = 0;
        switch (socket_.Send(text.data() + sent, text.size() - sent, n, err)) {
            case platform::TcpSocket::Io::kData:
                sent += n;
                break;
            case platform::TcpSocket::Io::kWouldBlock:
                socket_.WaitWritable(1);
                break;
            case platform::TcpSocket::Io::kClosed:
            case platform::TcpSocket::Io::kReset:
            case platform::TcpSocket::Io::kError:
                return;
        }
    }
}

int32_t CRtspClient::ReceiveSome(void* buf, size_t cap) {
    const uint32_t start = platform::TickCount();
    for (;;) {
        if (abort_ && abort_->load()) return kRtspAborted;
        if (Stopping()) return kRtspReceiveEnded;
        size_t n = 0;
        int err = 0;
        switch (socket_.Receive(buf, cap, n, err)) {
            case platform::TcpSocket::Io::kData:
                return int32_t(n);
            case platform::TcpSocket::Io::kWouldBlock:
                if (platform::TickCount() - start >= timeout_ms_ || PastRequestDeadline()) {
                    return kRtspTimedOut;
                }
                platform::SleepMs(kWouldBlockWaitMs);
                break;
            case platform::TcpSocket::Io::kReset:
                return kRtspReset;
            case platform::TcpSocket::Io::kError:
                return -err;
            case platform::TcpSocket::Io::kClosed:
                return kRtspReceiveEnded;
        }
    }
}

int32_t CRtspClient::ReadLine(std::string& line) {
    line.clear();
    for (;;) {
        char c = 0;
        const int32_t r = ReceiveSome(&c, 1);
        if (r < 0) return r;
        if (c == '\n') return 0;
        if (line.size() == kMaxLine) return kRtspFailed;
        line.push_back(c);
    }
}

int32_t CRtspClient::ReadReply(rtsp::Method method, rtsp::RtspReply& reply,
                               std::string* header_values, std::string* body) {
    std::string line;
    std::optional<int> status;
    for (size_t skipped = 0; !status; ++skipped) {
        if (skipped == kMaxLinesBeforeStatus) return kRtspFailed;
        if (const int32_t r = ReadLine(line); r < 0) return r;
        status = rtsp::StatusFromLine(line);
    }
    reply.result = rtsp::StatusResult(*status);
    if (reply.result != 0) return kRtspFailed;

    rtsp::HeaderValues values;
    for (size_t count = 0;; ++count) {
        if (count == kMaxHeaderLines) return kRtspFailed;
        if (const int32_t r = ReadLine(line); r < 0) return r;
        if (rtsp::IsEndOfHeaders(line)) break;
        rtsp::ApplyHeaderLine(line, reply, values);
    }
    if (header_values) *header_values = rtsp::ComposeHeaderValues(values);
    if (reply.content_length > rtsp::kMaxContentLength) return kRtspFailed;

    if (!rtsp::TakesBody(method)) return 0;
    std::string content(size_t(reply.content_length), '\0');
    for (size_t got = 0; got < content.size();) {
        const int32_t r = ReceiveSome(content.data() + got, content.size() - got);
        if (r < 0) return r;
        got += size_t(r);
    }
    if (body) *body = std::move(content);
    return 0;
}

}  // namespace kest
