#include "control/stream/receiver.h"

#include <algorithm>
#include <cstring>

#include "control/protocol/handshake.h"
#include "control/stream/camera.h"
#include "platform/ticks.h"

namespace kest {

namespace {

using protocol::CommandChannel;
using protocol::FindCommand;
using protocol::Reply;

constexpr uint32_t kPollPauseMs = 30;
constexpr uint32_t kBusyPauseMs = 1000;
constexpr uint32_t kMaxPaceMs = 1000;
constexpr float kScaleFactors[4] = {50.0f, 25.0f, 12.5f, 6.25f};

bool OwnHeader(int32_t model) {
    return model == 11 || model == 13 || model == 20;
}

// scmd_set_jpeg_mode (112): +12 picture mode, +14 frame-rate index.
int32_t SetJpegMode(CommandChannel& channel, int mode, int16_t index) {
    uint8_t params[4];
    StoreU16(params, uint16_t(mode));
    StoreU16(params + 2, uint16_t(index));
    Reply reply;
    if (channel.Exchange(*FindCommand(112), params, reply) != 0) return protocol::kNoReply;
    return reply.status() == 1 ? protocol::kRefused : protocol::kDone;
}

// scmd_get_comp_data (128 or 129): +12 picture identifier. The loop holds the
// command lock itself; the start flag is not acted on. A stop request ends
// the exchange.
int32_t PollFrame(CommandChannel& channel, uint16_t code, uint16_t picture_id, Reply& reply,
                  const std::atomic<int>& stop) {
    uint8_t params[2];
    StoreU16(params, picture_id);
    CommandChannel::Options options;
    options.take_lock = false;
    options.act_on_start_flag = false;
    options.cancel = &stop;
    return channel.Exchange(*FindCommand(code), params, reply, options) == 0 ? 0
                                                                             : protocol::kNoReply;
}

// scmd_resend_page (240): +12 picture identifier, +14 packet number; reply
// +8: 2 refused, 0 nothing to resend, anything else accepted. A stop request
// ends the exchange.
int32_t ResendPacket(CommandChannel& channel, uint16_t picture_id, uint16_t number,
                     const std::atomic<int>& stop) {
    uint8_t params[4];
    StoreU16(params, picture_id);
    StoreU16(params + 2, number);
    CommandChannel::Options options;
    options.take_lock = false;
    options.cancel = &stop;
    Reply reply;
    if (channel.Exchange(*FindCommand(240), params, reply, options) != 0) {
        return protocol::kNoReply;
    }
    const uint16_t answer = LoadU16(&reply.bytes[8]);
    if (answer == 2) return protocol::kRefused;
    if (answer == 0) return protocol::kResendZero;
    return protocol::kDone;
}

// scmd_block_data (254): +12 picture identifier; tells the camera the frame is in.
int32_t EndOfFrame(CommandChannel& channel, uint16_t picture_id) {
    uint8_t params[2];
    StoreU16(params, picture_id);
    Reply reply;
    if (channel.Exchange(*FindCommand(254), params, reply) != 0) return protocol::kNoReply;
    return reply.status() == 1 ? protocol::kRefused : protocol::kDone;
}

// The first picture identifier of a thread: the seeded sequence counter's
// halves XORed, with the 16 bits in reverse order.
uint16_t FirstPictureId(uint32_t seed) {
    const uint16_t x = uint16_t((seed >> 16) ^ (seed & 0xFFFF));
    uint16_t reversed = 0;
    for (int bit = 0; bit < 16; ++bit) {
        if (x & (1u << bit)) reversed = uint16_t(reversed | (1u << (15 - bit)));
    }
    return reversed;
}

}  // namespace

int16_t EndCode(int32_t result, bool stop) {
    for (const EndCodeRow& row : kEndCodes) {
        if (row.result == result) return row.code;
    }
    return result == 0 && stop ? kEndCodeRequested : kEndCodeNormal;
}

PictureReceiver::~PictureReceiver() {
    stop_.store(1);
    Join();
}

int32_t PictureReceiver::Start(bool continuous, bool notify) {
    if (!camera_.session_open()) return protocol::kNoSession;
    if (running_.load()) return -60;
    if (!camera_.frame_record().buffer) return -101;
    if (const int32_t r = protocol::scmd_nop(camera_.channel()); r < 0) return r;
    Join();  // a thread that ended on its own
    result_.store(0);
    continuous_.store(continuous);
    notify_.store(notify);
    running_.exchange(1);
    stop_.exchange(0);
    thread_ = std::thread([this] { Loop(); });
    return 0;
}

int32_t PictureReceiver::RequestStop() {
    if (!camera_.session_open()) return protocol::kNoSession;
    if (running_.load()) {
        if (continuous_.load()) stop_.exchange(1);
    } else {
        result_.store(0);
    }
    return 0;
}

int32_t PictureReceiver::WaitEnd() {
    if (result_.load() == 0) return running_.load();
    while (running_.load())
        platform::SleepMs(1);
    return result_.load();
}

void PictureReceiver::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void PictureReceiver::Unlock(bool& holding_lock) {
    burst_buffer_.reset();
    if (holding_lock) camera_.channel().LockCommands(2);
    holding_lock = false;
}

void PictureReceiver::Loop() {
    CommandChannel& channel = camera_.channel();
    bool holding_lock = false;
    const int mode = continuous_.load() ? 3 : 2;
    camera_.set_picture_mode(mode);
    if (const int32_t r = SetJpegMode(channel, mode, camera_.frame_rate_index()); r < 0) {
        result_.store(r);
    } else {
        uint16_t picture_id = FirstPictureId(camera_.sequence_seed());
        for (;;) {
            if (FetchFrame(picture_id, holding_lock) == Next::kEnd) break;
            if (!continuous_.load() || stop_.load()) break;
            camera_.CountFrameCycle();
            ++picture_id;
        }
    }
    camera_.frame_record().receiving.store(0);
    Unlock(holding_lock);
    running_.exchange(0);
    camera_.ReportReceiveEnd();
}

PictureReceiver::Next PictureReceiver::FetchFrame(uint16_t picture_id, bool& holding_lock) {
    CommandChannel& channel = camera_.channel();
    FrameRecord& record = camera_.frame_record();
    const int32_t model = camera_.model_code();

    // Pace the requests by the frame interval, per camera.
    if (camera_.version_number() >= 11) {
        const uint32_t now = platform::TickCount();
        const int64_t wait = int64_t(camera_.frame_interval()) + last_request_ms_ - now;
        if (last_request_ms_ != 0 && wait > 0) {
            platform::SleepMs(uint32_t(std::min<int64_t>(wait, kMaxPaceMs)));
        }
        last_request_ms_ = platform::TickCount();
    }

    std::memset(record.buffer, 0, 1 << 20);
    received_.fill(0);
    packet_count_ = 0;
    frame_length_ = 0;
    payload_size_ = 0;
    channel.LockCommands(0);
    channel.LockCommands(1);
    holding_lock = true;
    // The camera sends the whole frame at once: up to 255 packets.
    burst_buffer_.emplace(channel);

    // Poll until a frame is ready.
    const uint16_t poll_code = OwnHeader(model) ? 129 : 128;
    Reply reply;
    for (;;) {
        record.receiving.store(1);
        if (const int32_t r = PollFrame(channel, poll_code, picture_id, reply, stop_); r < 0) {
            if (stop_.load()) return Drop(holding_lock);
            result_.store(r);
            return Next::kEnd;
        }
        const int16_t status = int16_t(LoadU16(&reply.bytes[6]));
        if (poll_code == 129 && status == 6) {
            camera_.ReportMpegMode();
            result_.store(kReceiveMpegMode);
            return Next::kEnd;
        }
        if (status & 4) platform::SleepMs(kBusyPauseMs);
        if (status == 7) return result_.store(kReceiveStatus7), Next::kEnd;
        if (status == 3) return result_.store(kReceiveRefused), Next::kEnd;
        if (status == 4) return result_.store(kReceiveStatus4), Next::kEnd;
        if (!continuous_.load()) return Next::kEnd;  // one poll only
        if (stop_.load()) {
            Unlock(holding_lock);
            return Next::kNextFrame;
        }
        platform::SleepMs(kPollPauseMs);
        if (status == 1) break;
    }

    // The newer models send their own JPEG header first.
    header_length_ = 0;
    if (OwnHeader(model)) {
        const int32_t n = channel.ReceiveReplyCounted(reply, &stop_);
        if (n < 0 || LoadU16(&reply.bytes[2]) != protocol::kPictureHeaderCode) {
            Unlock(holding_lock);
            return Next::kNextFrame;
        }
        const int16_t length = int16_t(LoadU16(&reply.bytes[4]));
        if (length < 0 || length > kCameraHeaderMax || 8 + size_t(length) > size_t(n)) {
            return Next::kEnd;
        }
        header_length_ = size_t(length);
        std::memcpy(header_.data(), &reply.bytes[8], header_length_);
    }

    // The burst of packets.
    int taken = 0;
    for (;;) {
        const int32_t n = channel.ReceiveReplyCounted(reply, &stop_);
        if (n < 0) break;
        const Take t = TakePacket(reply, size_t(n), taken == 0, 0);
        if (t == Take::kEnd) return Next::kEnd;
        if (t == Take::kDropFrame) return Drop(holding_lock);
        if (++taken >= packet_count_) break;
    }
    // Ready, but not a single packet came: nothing to recover from.
    if (taken == 0) return Drop(holding_lock);

    // Ask again for every packet that did not come. Each wait is bounded by
    // the channel, and a stop request ends the frame at once.
    const uint32_t retry = channel.retry_window();
    for (int number = 1; number <= packet_count_; ++number) {
        if (received_[size_t(number)]) continue;
        const uint32_t first_request = platform::TickCount();
        for (;;) {
            if (stop_.load()) return Drop(holding_lock);
            resend_requests_.fetch_add(1);
            if (const int32_t r = ResendPacket(channel, picture_id, uint16_t(number), stop_);
                r < 0) {
                if (stop_.load()) return Drop(holding_lock);
                result_.store(r);
                return Next::kEnd;
            }
            platform::SleepMs(kPollPauseMs);
            const int32_t n = channel.ReceiveReplyCounted(reply, &stop_);
            const uint32_t now = platform::TickCount();
            if (n < 0) {
                if (stop_.load()) return Drop(holding_lock);
                if (protocol::WithinWindow(first_request, now, retry)) continue;
                result_.store(kReceiveLost);
                return Next::kEnd;
            }
            const int got = n >= kPacketHeaderSize ? int16_t(LoadU16(&reply.bytes[16])) : -1;
            if (got != number) {
                if (protocol::WithinWindow(first_request, now, 5 * retry)) continue;
                // Another packet keeps coming instead: drop the frame rather
                // than store that packet's bytes in this one's place.
                return Drop(holding_lock);
            }
            const Take t = TakePacket(reply, size_t(n), false, number);
            if (t == Take::kEnd) return Next::kEnd;
            if (t == Take::kDropFrame) return Drop(holding_lock);
            break;
        }
    }

    record.receiving.store(0);
    Unlock(holding_lock);
    if (const int32_t r = EndOfFrame(channel, picture_id); r < 0) {
        result_.store(r);
        return Next::kEnd;
    }
    frames_completed_.fetch_add(1);

    if (continuous_.load() && camera_.throughput_test() == 1) {
        record.frame_count++;
        return Next::kNextFrame;
    }

    // Complete the JPEG file and hand the frame over.
    camera_.set_reverse(camera_.frame_state().reverse);
    const size_t length =
        camera_.CompleteFrame(header_.data(), header_length_, size_t(frame_length_));
    if (length == 0) return Next::kNextFrame;  // cannot be shown
    record.frame_number = channel.current_sequence();
    record.length = int32_t(length);
    record.width = camera_.frame_state().width;
    record.height = camera_.frame_state().height;
    if (notify_.load() && stop_.load()) return Next::kNextFrame;
    // A picture too large to show is dropped without a word to the host.
    if (!camera_.DeliverFrame()) return Next::kNextFrame;
    if (stop_.load()) return Next::kNextFrame;
    if (notify_.load()) camera_.ReportCameraState();
    return Next::kNextFrame;
}

PictureReceiver::Next PictureReceiver::Drop(bool& holding_lock) {
    camera_.frame_record().receiving.store(0);
    Unlock(holding_lock);
    return Next::kNextFrame;
}

bool ReadPicturePacket(const uint8_t* bytes, size_t length, PicturePacket& p) {
    if (length < kPacketHeaderSize) return false;
    ByteReader r(bytes, length);
    p.sequence = r.U16();
    r.Skip(4);
    p.flags = r.U16();
    p.width = r.U16();
    p.height = r.U16();
    p.pan = r.I16();
    p.tilt = r.I16();
    p.number = r.I16();
    p.count = r.I16();
    p.payload = r.I16();
    p.scale_quality = r.U8();
    r.Skip(1);
    p.total = r.U32();
    p.data = bytes + kPacketHeaderSize;
    return true;
}

void TakeFrameState(CKestCamera& camera, const PicturePacket& p) {
    FrameState& st = camera.frame_state();
    st.sampling = p.flags & 1;
    st.reverse = (p.flags >> 1) & 1;
    st.pan_limit = (p.flags >> 2) & 1;
    st.tilt_limit = (p.flags >> 3) & 1;
    st.motor_moving = (p.flags & 0x30) ? 1 : 0;
    st.initial_moving = (p.flags >> 6) & 1;
    st.zoom = int16_t(p.flags >> 8);
    st.width = p.width;
    st.height = p.height;
    st.pan = p.pan;
    st.tilt = p.tilt;
    st.quality = p.scale_quality & 15;
    const int scale = (p.scale_quality >> 4) & 3;
    camera.set_scale(scale * 16, kScaleFactors[scale]);
    if (camera.version_number() == 10 && camera.frame_counter() < 2) {
        st.pan_limit = 0;
        st.tilt_limit = 0;
    }
}

PictureReceiver::Take PictureReceiver::TakePacket(const Reply& packet, size_t length, bool first,
                                                  int expected) {
    PicturePacket p;
    if (!ReadPicturePacket(packet.bytes.data(), length, p)) return Take::kDropFrame;
    if (p.payload < 0 || p.payload > kPacketPayloadMax) return Take::kEnd;
    if (size_t(kPacketHeaderSize) + size_t(p.payload) > length) return Take::kDropFrame;

    if (first) {
        TakeFrameState(camera_, p);
        // The packet map and the receive buffer bound what a frame may be.
        if (p.count < 1 || p.count > kMaxPackets) return Take::kDropFrame;
        if (p.total > CKestCamera::kReceiveBufferSize) return Take::kDropFrame;
        packet_count_ = p.count;
        frame_length_ = p.total;
        payload_size_ = 0;
    }
    if (p.number < 1 || p.number > packet_count_) return Take::kDropFrame;
    if (expected && p.number != expected) return Take::kDropFrame;
    if (payload_size_ == 0) {
        // Every packet but the last has the frame's packet length. A last
        // packet that comes before all others is left unmarked, and asked
        // for again once the length is known, rather than set a wrong one.
        if (p.number == packet_count_ && packet_count_ > 1) return Take::kOk;
        payload_size_ = p.payload;
    }
    const size_t place = size_t(p.number - 1) * size_t(payload_size_);
    if (place + size_t(p.payload) > CKestCamera::kReceiveBufferSize) return Take::kDropFrame;
    std::memcpy(camera_.frame_record().buffer + place, p.data, size_t(p.payload));
    received_[size_t(p.number)] = 1;
    return Take::kOk;
}

}  // namespace kest
