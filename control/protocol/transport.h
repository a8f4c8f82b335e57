// The command exchange with one camera: a request datagram out, the reply with
// the same 16-bit sequence number back, resent while the retry window allows,
// serialised by the camera's command lock.
#pragma once

#include <netinet/in.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "control/protocol/commands.h"
#include "control/protocol/result_codes.h"
#include "platform/byte_cursor.h"
#include "platform/named_semaphore.h"
#include "platform/udp_socket.h"

namespace kest::protocol {

constexpr size_t kReplyBufferSize = 1526;    // replies are at most this long
constexpr size_t kRequestBufferSize = 1536;  // the longest request: a 1460-byte pass-through
constexpr size_t kHeaderSize = 4;            // sequence, code
constexpr size_t kLongHeaderSize = 12;       // sequence, code, password block
constexpr int kSocketBufferSize = 65534;
// An unrelated datagram from the camera restarts the reply wait, but one wait
// never lasts longer than this many reply waits in all: a camera that keeps
// talking cannot hold a command (or a stop) for as long as it talks.
constexpr uint32_t kWaitStretchLimit = 4;
// The retry window that "KEST.INI" may set, in milliseconds; values outside
// are clamped to it.
constexpr int32_t kMaxRetryWindowMs = 60000;
// A retry window from the settings: below 0 is 0, above the limit the limit.
constexpr uint32_t ClampRetryWindow(int32_t ms) {
    return uint32_t(ms < 0 ? 0 : ms > kMaxRetryWindowMs ? kMaxRetryWindowMs : ms);
}
constexpr uint16_t kStartFlag = 0x8000;  // bit 15 of the reply's second word
constexpr uint16_t kClearStartFlagCode = 176;

// The failure trace receives the command's name on a failed send or reply
// wait ("cl_rack_ack" for the wait). The default hook writes nothing.
using TraceHook = void (*)(std::string_view name);
void SetFailureTraceHook(TraceHook hook);
void TraceFailure(std::string_view name);

// True while now lies in [start, start + window); false for a zero window and
// when now is below start (the tick count wrapped), which ends a window early.
bool WithinWindow(uint32_t start, uint32_t now, uint32_t window);

// The process-wide table of 10 tick stamps used by the block transfer and the
// picture loop. Mode 0 stores the tick count (1); mode 1 tells whether the
// window since the stamp is still open (1 or 0); slot outside 0..9 gives -1.
int32_t CommandTimer(int slot, int mode, uint32_t window = 0);

struct Reply {
    std::array<uint8_t, kReplyBufferSize> bytes{};
    size_t length = 0;

    uint16_t sequence() const { return LoadU16(&bytes[0]); }
    bool start_flag() const { return (LoadU16(&bytes[2]) & kStartFlag) != 0; }
    int16_t status() const { return int16_t(LoadU16(&bytes[4])); }
    // Reads the received bytes; bytes past the datagram read as failures.
    ByteReader reader() const { return ByteReader(bytes.data(), length); }
};

class CommandChannel {
  public:
    explicit CommandChannel(std::shared_ptr<platform::NamedSemaphore> command_lock);

    // Creates the non-blocking socket for the camera at address:port.
    // -5 bad address, -6 no socket, -7 not non-blocking.
    int32_t Open(const std::string& address_text, uint16_t port);
    void Close();
    bool is_open() const { return open_.load(); }

    void set_reply_wait(uint32_t ms) { reply_wait_.store(ms); }
    uint32_t reply_wait() const { return reply_wait_.load(); }
    void set_retry_window(uint32_t ms) { retry_window_.store(ms); }
    uint32_t retry_window() const { return retry_window_.load(); }

    // The session password: the first 8 bytes of the text, zero padded.
    void SetPassword(std::string_view text);
    std::array<uint8_t, 8> password() const;
    static std::array<uint8_t, 8> PasswordBlock(std::string_view text);

    void SeedSequence(uint32_t seed) { sequence_counter_.store(seed); }
    uint16_t NextSequence();
    uint16_t current_sequence() const { return current_sequence_.load(); }

    // Waits for the reply to the current sequence: 0, or -1 after the reply
    // wait. A datagram from the camera with another sequence restarts the
    // wait (up to kWaitStretchLimit reply waits in all); one from any other
    // address or port is dropped and changes nothing. A set cancel flag ends
    // the wait at once with -1.
    int32_t ReceiveReply(Reply& reply, const std::atomic<int>* cancel = nullptr);
    // The same wait; the matching datagram's byte count, or -1.
    int32_t ReceiveReplyCounted(Reply& reply, const std::atomic<int>* cancel = nullptr);

    // 0 nothing, 1 wait for the command lock, 2 release it.
    void LockCommands(int mode);

    struct Options {
        bool take_lock = true;
        bool act_on_start_flag = true;
        const std::array<uint8_t, 8>* password_block = nullptr;  // default: the session password
        // A reply wait of the command's own instead of the channel's; the
        // channel's value stays as it is for every other command.
        bool own_reply_wait = false;
        uint32_t reply_wait_ms = 0;
        // When set, ends the exchange (-1) without a further wait or resend.
        const std::atomic<int>* cancel = nullptr;
    };
    // One command: 0 with the reply filled, or -1.
    int32_t Exchange(const CommandInfo& command, std::span<const uint8_t> params, Reply& reply,
                     const Options& options);
    int32_t Exchange(const CommandInfo& command, std::span<const uint8_t> params, Reply& reply) {
        return Exchange(command, params, reply, Options{});
    }

    // scmd_clear_start_flag: 0, -2 when refused (status 1), -1 without reply.
    int32_t ClearStartFlag();

    // Sends one request without waiting (picture requests build their own).
    // Bytes sent or -1.
    ssize_t SendRaw(const void* data, size_t len);

    // Sets the socket's receive buffer; the kernel may grant less (its
    // net.core.rmem_max). The buffer the socket has now, or 0.
    int SetReceiveBuffer(int bytes);
    int receive_buffer() const;

    platform::UdpSocket& socket() { return socket_; }
    uint32_t camera_ip() const { return camera_ip_; }
    uint16_t camera_port() const { return camera_port_; }

  private:
    int32_t Send(const CommandInfo& command, std::span<const uint8_t> params,
                 const std::array<uint8_t, 8>& password);
    int32_t Wait(Reply& reply, uint32_t wait_ms, const std::atomic<int>* cancel);

    std::shared_ptr<platform::NamedSemaphore> command_lock_;
    platform::UdpSocket socket_;
    sockaddr_in camera_address_{};
    uint32_t camera_ip_ = 0;
    uint16_t camera_port_ = 0;
    std::atomic<bool> open_{false};
    std::atomic<uint32_t> sequence_counter_{0};
    std::atomic<uint16_t> current_sequence_{0};
    std::atomic<uint32_t> reply_wait_{500};
    std::atomic<uint32_t> retry_window_{0};
    mutable std::mutex password_mutex_;
    std::array<uint8_t, 8> password_{};
};

// Widens the command socket's receive buffer while a burst is expected (the
// packets of a picture, the pages of a block transfer): at the usual 64 KiB
// the kernel drops whatever arrives while the receiving thread is not
// running, and every drop costs a re-request. The usual size comes back at
// the end of the scope.
class BurstReceiveBuffer {
  public:
    static constexpr int kBytes = 4 * 1024 * 1024;
    explicit BurstReceiveBuffer(CommandChannel& channel) : channel_(channel) {
        channel_.SetReceiveBuffer(kBytes);
    }
    ~BurstReceiveBuffer() { channel_.SetReceiveBuffer(kSocketBufferSize); }
    BurstReceiveBuffer(const BurstReceiveBuffer&) = delete;
    BurstReceiveBuffer& operator=(const BurstReceiveBuffer&) = delete;

  private:
    CommandChannel& channel_;
};

}  // namespace kest::protocol
