#include "platform/tcp_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/udp_socket.h"

namespace kest::platform {

namespace {

bool MakeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool WaitFor(int fd, short events, int timeout_ms) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, timeout_ms) > 0 && (p.revents & (events | POLLERR | POLLHUP));
}

}  // namespace

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool TcpSocket::Open() {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

bool TcpSocket::Close() {
    if (fd_ < 0) return true;
    const bool ok = close(fd_) == 0;
    fd_ = -1;
    return ok;
}

bool TcpSocket::SetNonBlocking() {
    return MakeNonBlocking(fd_);
}

bool TcpSocket::SetSendTimeout(uint32_t ms) {
    timeval tv{};
    tv.tv_sec = time_t(ms / 1000);
    tv.tv_usec = suseconds_t((ms % 1000) * 1000);
    return setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

int TcpSocket::Connect(const sockaddr_in& to) {
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    return errno;
}

TcpSocket::Io TcpSocket::Send(const void* data, size_t len, size_t& n, int& err) {
    const ssize_t r = send(fd_, data, len, MSG_NOSIGNAL);
    if (r >= 0) {
        n = size_t(r);
        return Io::kData;
    }
    err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return Io::kWouldBlock;
    if (err == ECONNRESET || err == EPIPE) return Io::kReset;
    return Io::kError;
}

TcpSocket::Io TcpSocket::Receive(void* buf, size_t cap, size_t& n, int& err) {
    const ssize_t r = recv(fd_, buf, cap, 0);
    if (r > 0) {
        n = size_t(r);
        return Io::kData;
    }
    if (r == 0) return Io::kClosed;
    err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR) return Io::kWouldBlock;
    if (err == ECONNRESET) return Io::kReset;
    return Io::kError;
}

bool TcpSocket::WaitWritable(int timeout_ms) const {
    return WaitFor(fd_, POLLOUT, timeout_ms);
}

bool TcpSocket::WaitReadable(int timeout_ms) const {
    return WaitFor(fd_, POLLIN, timeout_ms);
}

bool TcpSocket::PeerAddress(sockaddr_in& out) const {
    socklen_t len = sizeof out;
    return getpeername(fd_, reinterpret_cast<sockaddr*>(&out), &len) == 0;
}

bool TcpListener::Listen(uint32_t host_order_address, uint16_t port, int backlog) {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in sa = MakeAddress(host_order_address, port);
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 ||
        listen(fd_, backlog) != 0 || !MakeNonBlocking(fd_)) {
        Close();
        return false;
    }
    return true;
}

void TcpListener::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

uint16_t TcpListener::LocalPort() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

TcpSocket TcpListener::Accept(sockaddr_in* from) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const int fd = accept4(fd_, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
    if (fd >= 0 && from) *from = sa;
    return TcpSocket(fd);
}

}  // namespace kest::platform
