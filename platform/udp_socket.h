// A non-blocking IPv4 UDP socket.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace kest::platform {

// Parses dotted IPv4 text ("127.0.0.1") into a host-order address.
bool ParseIpv4(const std::string& text, uint32_t& host_order);
std::string FormatIpv4(uint32_t host_order);
sockaddr_in MakeAddress(uint32_t host_order, uint16_t port);

class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }
    UdpSocket(UdpSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    bool Open();
    void Close();
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool SetNonBlocking();
    bool SetBufferSizes(int send_bytes, int receive_bytes);
    bool SetReceiveBuffer(int bytes);
    // The receive buffer as the kernel accounts it (twice what it granted,
    // which is at most net.core.rmem_max); 0 on error.
    int ReceiveBuffer() const;
    bool SetReuseAddress();
    bool SetBroadcast();
    bool Bind(uint32_t host_order_address, uint16_t port);
    // Joins a multicast group on the interface with the given address (0: the
    // one the routing table picks for the group).
    bool JoinMulticast(uint32_t group, uint32_t interface_address);
    // Sends multicast through the interface with the given address, looped
    // back to this machine's own members, with the given time-to-live.
    bool SetMulticastSender(uint32_t interface_address, int ttl);
    // The bound port (host order), 0 on error.
    uint16_t LocalPort() const;

    // Bytes sent, or -1.
    ssize_t SendTo(const void* data, size_t len, const sockaddr_in& to);

    enum class Receive { kData, kWouldBlock, kError };
    // Receives one datagram; received holds its length for kData.
    Receive ReceiveFrom(void* buf, size_t cap, size_t& received, sockaddr_in& from);

    // Waits up to timeout_ms for a datagram; true when one is waiting.
    bool WaitReadable(int timeout_ms) const;

  private:
    int fd_ = -1;
};

}  // namespace kest::platform
