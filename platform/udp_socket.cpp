#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kest::platform {

bool ParseIpv4(const std::string& text, uint32_t& host_order) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    host_order = ntohl(a.s_addr);
    return true;
}

std::string FormatIpv4(uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." +
           std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255);
}

sockaddr_in MakeAddress(uint32_t host_order, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(host_order);
    return sa;
}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool UdpSocket::Open() {
    Close();
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

void UdpSocket::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool UdpSocket::SetNonBlocking() {
    int flags = fcntl(fd_, F_GETFL, 0);
    return flags >= 0 && fcntl(fd_, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool UdpSocket::SetBufferSizes(int send_bytes, int receive_bytes) {
    bool ok = setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &send_bytes, sizeof send_bytes) == 0;
    return setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_bytes, sizeof receive_bytes) == 0 && ok;
}

bool UdpSocket::SetReceiveBuffer(int bytes) {
    return setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

int UdpSocket::ReceiveBuffer() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) return 0;
    return bytes;
}

bool UdpSocket::SetReuseAddress() {
    int one = 1;
    bool ok = setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0;
    return setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one) == 0 && ok;
}

bool UdpSocket::SetBroadcast() {
    int one = 1;
    return setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) == 0;
}

bool UdpSocket::JoinMulticast(uint32_t group, uint32_t interface_address) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface.s_addr = htonl(interface_address);
    return setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0;
}

bool UdpSocket::SetMulticastSender(uint32_t interface_address, int ttl) {
    in_addr iface{};
    iface.s_addr = htonl(interface_address);
    const unsigned char loop = 1;
    const unsigned char hops = static_cast<unsigned char>(ttl);
    return setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof iface) == 0 &&
           setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) == 0 &&
           setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) == 0;
}

bool UdpSocket::Bind(uint32_t host_order_address, uint16_t port) {
    sockaddr_in sa = MakeAddress(host_order_address, port);
    return bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

uint16_t UdpSocket::LocalPort() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

ssize_t UdpSocket::SendTo(const void* data, size_t len, const sockaddr_in& to) {
    return sendto(fd_, data, len, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

UdpSocket::Receive UdpSocket::ReceiveFrom(void* buf, size_t cap, size_t& received,
                                          sockaddr_in& from) {
    socklen_t len = sizeof from;
    ssize_t n = recvfrom(fd_, buf, cap, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n >= 0) {
        received = size_t(n);
        return Receive::kData;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Receive::kWouldBlock;
    // A port-unreachable report from an earlier send is not a receive failure.
    if (errno == ECONNREFUSED || errno == EINTR) return Receive::kWouldBlock;
    return Receive::kError;
}

bool UdpSocket::WaitReadable(int timeout_ms) const {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, timeout_ms) > 0 && (p.revents & POLLIN);
}

}  // namespace kest::platform
