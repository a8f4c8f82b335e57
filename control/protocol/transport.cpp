#include "control/protocol/transport.h"

#include <algorithm>
#include <cstring>

#include "platform/ticks.h"

namespace kest::protocol {

namespace {

void SilentTrace(std::string_view) {}

std::atomic<TraceHook> g_trace_hook{&SilentTrace};
std::array<std::atomic<uint32_t>, 10> g_command_timers{};

}  // namespace

void SetFailureTraceHook(TraceHook hook) {
    g_trace_hook.store(hook ? hook : &SilentTrace);
}

void TraceFailure(std::string_view name) {
    g_trace_hook.load()(name);
}

bool WithinWindow(uint32_t start, uint32_t now, uint32_t window) {
    if (window == 0 || now < start) return false;
    return uint64_t(now) < uint64_t(start) + window;
}

int32_t CommandTimer(int slot, int mode, uint32_t window) {
    if (slot < 0 || slot > 9) return -1;
    if (mode == 0) {
        g_command_timers[size_t(slot)].store(platform::TickCount());
        return 1;
    }
    if (mode != 1) return 0;
    return WithinWindow(g_command_timers[size_t(slot)].load(), platform::TickCount(), window) ? 1
                                                                                              : 0;
}

CommandChannel::CommandChannel(std::shared_ptr<platform::NamedSemaphore> command_lock)
    : command_lock_(std::move(command_lock)) {}

int32_t CommandChannel::Open(const std::string& address_text, uint16_t port) {
    uint32_t ip = 0;
    if (!platform::ParseIpv4(address_text, ip)) return kBadCameraAddress;
    platform::UdpSocket s;
    if (!s.Open()) return kSocketCreate;
    camera_ip_ = ip;
    camera_port_ = port;
    camera_address_ = platform::MakeAddress(ip, port);
    s.SetBufferSizes(kSocketBufferSize, kSocketBufferSize);
    if (!s.SetNonBlocking()) return kNonBlocking;
    socket_ = std::move(s);
    open_.store(true);
    return kDone;
}

void CommandChannel::Close() {
    open_.store(false);
    socket_.Close();
}

std::array<uint8_t, 8> CommandChannel::PasswordBlock(std::string_view text) {
    std::array<uint8_t, 8> block{};
    if (!text.empty()) std::memcpy(block.data(), text.data(), std::min(text.size(), block.size()));
    return block;
}

void CommandChannel::SetPassword(std::string_view text) {
    std::lock_guard lock(password_mutex_);
    password_ = PasswordBlock(text);
}

std::array<uint8_t, 8> CommandChannel::password() const {
    std::lock_guard lock(password_mutex_);
    return password_;
}

uint16_t CommandChannel::NextSequence() {
    const uint16_t seq = uint16_t(sequence_counter_.fetch_add(1) + 1);
    current_sequence_.store(seq);
    return seq;
}

int32_t CommandChannel::Wait(Reply& reply, uint32_t wait_ms, const std::atomic<int>* cancel) {
    const uint16_t expected = current_sequence_.load();
    const uint32_t begin = platform::TickCount();
    const uint64_t limit = uint64_t(wait_ms) * kWaitStretchLimit;
    uint32_t t0 = begin;
    for (;;) {
        if (cancel && cancel->load()) return -1;
        sockaddr_in from{};
        size_t n = 0;
        switch (socket_.ReceiveFrom(reply.bytes.data(), reply.bytes.size(), n, from)) {
            case platform::UdpSocket::Receive::kWouldBlock: {
                const uint32_t now = platform::TickCount();
                if (now - t0 >= wait_ms || now - begin >= limit) {
                    TraceFailure("cl_rack_ack");
                    return -1;
                }
                // Block for at most 1 ms so a reply on loopback is taken at once.
                socket_.WaitReadable(1);
                continue;
            }
            case platform::UdpSocket::Receive::kError:
                TraceFailure("cl_rack_ack");
                return -1;
            case platform::UdpSocket::Receive::kData:
                break;
        }
        // Only the camera's own address and port may answer; anyone else could
        // otherwise stall the session or redirect it.
        if (ntohl(from.sin_addr.s_addr) != camera_ip_ || ntohs(from.sin_port) != camera_port_) {
            continue;
        }
        // Reply fields past the datagram read as zero.
        std::fill(reply.bytes.begin() + long(n), reply.bytes.end(), uint8_t(0));
        reply.length = n;
        if (n >= 2 && reply.sequence() == expected) return int32_t(n);
        // Another sequence number restarts the wait, within the stretch limit.
        t0 = platform::TickCount();
        if (t0 - begin >= limit) {
            TraceFailure("cl_rack_ack");
            return -1;
        }
    }
}

int32_t CommandChannel::ReceiveReply(Reply& reply, const std::atomic<int>* cancel) {
    return Wait(reply, reply_wait_.load(), cancel) < 0 ? -1 : 0;
}

int32_t CommandChannel::ReceiveReplyCounted(Reply& reply, const std::atomic<int>* cancel) {
    return Wait(reply, reply_wait_.load(), cancel);
}

int CommandChannel::SetReceiveBuffer(int bytes) {
    if (!socket_.is_open()) return 0;
    socket_.SetReceiveBuffer(bytes);
    return socket_.ReceiveBuffer();
}

int CommandChannel::receive_buffer() const {
    return socket_.is_open() ? socket_.ReceiveBuffer() : 0;
}

void CommandChannel::LockCommands(int mode) {
    if (!command_lock_) return;
    if (mode == 1) {
        command_lock_->Wait(platform::NamedSemaphore::kInfinite);
    } else if (mode == 2) {
        command_lock_->Release();
    }
}

ssize_t CommandChannel::SendRaw(const void* data, size_t len) {
    return socket_.SendTo(data, len, camera_address_);
}

int32_t CommandChannel::Send(const CommandInfo& command, std::span<const uint8_t> params,
                             const std::array<uint8_t, 8>& password) {
    uint8_t request[kRequestBufferSize];
    ByteWriter w(request, sizeof request);
    w.U16(NextSequence()).U16(command.code);
    if (command.form == Form::kLong) w.Bytes(password.data(), password.size());
    w.Bytes(params.data(), params.size());
    if (!w.ok()) return -1;
    if (SendRaw(request, w.size()) != ssize_t(w.size())) return -1;
    return 0;
}

int32_t CommandChannel::Exchange(const CommandInfo& command, std::span<const uint8_t> params,
                                 Reply& reply, const Options& options) {
    if (options.take_lock) {
        LockCommands(0);
        LockCommands(1);
    }
    auto unlock = [&] {
        if (options.take_lock) LockCommands(2);
    };
    const std::array<uint8_t, 8> password =
        options.password_block ? *options.password_block : this->password();

    // The command keeps its own start time, so commands of other cameras on
    // other threads cannot move its retry window.
    const uint32_t start = platform::TickCount();
    if (Send(command, params, password) < 0) {
        TraceFailure(command.name);
        unlock();
        return -1;
    }
    const uint32_t wait = options.own_reply_wait ? options.reply_wait_ms : reply_wait_.load();
    while (Wait(reply, wait, options.cancel) < 0) {
        if ((options.cancel && options.cancel->load()) ||
            !WithinWindow(start, platform::TickCount(), retry_window_.load())) {
            unlock();
            return -1;
        }
        if (Send(command, params, password) < 0) {
            TraceFailure(command.name);
            unlock();
            return -1;
        }
    }
    if (options.act_on_start_flag && reply.start_flag()) ClearStartFlag();
    unlock();
    return 0;
}

int32_t CommandChannel::ClearStartFlag() {
    static const CommandInfo* const kClear = FindCommand(kClearStartFlagCode);
    Reply reply;
    Options options;
    options.take_lock = false;
    options.act_on_start_flag = false;
    if (Exchange(*kClear, {}, reply, options) != 0) return kNoReply;
    return reply.status() == 1 ? kRefused : kDone;
}

}  // namespace kest::protocol
