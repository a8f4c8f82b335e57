// IPv4 TCP sockets: the client side of one connection, and a listener.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

namespace kest::platform {

class TcpSocket {
  public:
    TcpSocket() = default;
    explicit TcpSocket(int fd) : fd_(fd) {}
    ~TcpSocket() { Close(); }
    TcpSocket(TcpSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    bool Open();
    // False when the system reports an error on close.
    bool Close();
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool SetNonBlocking();
    bool SetSendTimeout(uint32_t ms);

    // 0 when connected, else the errno of the attempt (EINPROGRESS, EALREADY
    // while a non-blocking connect is under way; EISCONN once it completed).
    int Connect(const sockaddr_in& to);

    enum class Io { kData, kWouldBlock, kClosed, kReset, kError };
    // One send or receive call; n holds the bytes moved for kData, err the
    // errno for kError.
    Io Send(const void* data, size_t len, size_t& n, int& err);
    Io Receive(void* buf, size_t cap, size_t& n, int& err);

    // Waits up to timeout_ms until the socket can be written.
    bool WaitWritable(int timeout_ms) const;
    bool WaitReadable(int timeout_ms) const;
    bool PeerAddress(sockaddr_in& out) const;

  private:
    int fd_ = -1;
};

// A non-blocking listening socket.
class TcpListener {
  public:
    TcpListener() = default;
    ~TcpListener() { Close(); }
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    bool Listen(uint32_t host_order_address, uint16_t port, int backlog);
    void Close();
    int fd() const { return fd_; }
    // The bound port (host order), 0 on error.
    uint16_t LocalPort() const;
    // A waiting connection (non-blocking), or a socket that is not open.
    TcpSocket Accept(sockaddr_in* from);

  private:
    int fd_ = -1;
};

}  // namespace kest::platform
