#include "control/protocol/services.h"

#include <algorithm>
#include <cstring>

#include "control/protocol/command_call.h"
#include "control/protocol/imaging.h"

namespace kest::protocol {

namespace {

// Parameters after the password block, built in a fixed zeroed buffer; the
// array's size is the request's size less the 12-byte header.
template <size_t N>
struct Params {
    std::array<uint8_t, N> bytes{};
    ByteWriter writer{bytes.data(), N};
};

// A command with zeroed parameters whose result is the status word.
int32_t StatusCommand(CommandChannel& channel, uint16_t code) {
    const std::array<uint8_t, 8> params{};
    Reply reply;
    if (Call(channel, code, params, reply) != kDone) return kNoReply;
    return reply.status();
}

ByteReader ReplyAt(const Reply& reply, size_t offset) {
    ByteReader r(reply.bytes.data(), reply.bytes.size());
    r.Seek(offset);
    return r;
}

// Replaces the rate in the high half of a rate-pair word.
uint32_t WithHighHalf(uint32_t word, int high) {
    return (word & 0xFFFFu) | (uint32_t(uint16_t(high)) << 16);
}

}  // namespace

// The recording rates are the camera's frame rates.
int RecordingRateToIndex(int frames_per_second) {
    const FrameRate* r = FrameRateOfFramesPerSecond(frames_per_second);
    return r ? r->code : -1;
}

int RecordingIndexToRate(int index) {
    const FrameRate* r = FrameRateOfCode(index);
    return r ? r->frames_per_second : -1;
}

int32_t scmd_set_mpeg4_param(CommandChannel& channel, const Mpeg4Parameter& parameter) {
    Params<8> p;
    p.writer.U16(uint16_t(parameter.framerate_mode)).U16(uint16_t(parameter.bitrate));
    Reply reply;
    if (Call(channel, 123, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_mpeg4_param(CommandChannel& channel, Mpeg4Parameter& parameter) {
    const std::array<uint8_t, 4> params{};
    Reply reply;
    if (Call(channel, 124, params, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 8);
    parameter.framerate_mode = r.I16();
    parameter.bitrate = r.I16();
    return reply.status();
}

int32_t scmd_start_local_rec(CommandChannel& channel) {
    return StatusCommand(channel, 192);
}

int32_t scmd_stop_local_rec(CommandChannel& channel) {
    return StatusCommand(channel, 193);
}

int32_t scmd_del_local_recfile_all(CommandChannel& channel) {
    return StatusCommand(channel, 198);
}

int32_t scmd_del_local_recfile(CommandChannel& channel, std::string_view filename) {
    if (filename.size() >= kNameFieldSize) return kOutOfRange;
    Params<40> p;
    p.writer.Bytes(filename.data(), filename.size());
    Reply reply;
    if (Call(channel, 197, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_local_rec_status(CommandChannel& channel, LocalRecStatus& status) {
    const std::array<uint8_t, 8> params{};
    Reply reply;
    if (Call(channel, 194, params, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 4);
    status.status1 = r.I16();
    status.status2 = r.I16();
    const char* name = reinterpret_cast<const char*>(&reply.bytes[8]);
    status.filename.assign(name, strnlen(name, kNameFieldSize));
    r.Seek(40);
    for (int16_t& v : status.date_time)
        v = r.I16();
    return status.status1;
}

int32_t scmd_set_local_rec_info(CommandChannel& channel, const LocalRecInfo& info) {
    // Both rates are checked before anything is sent.
    std::array<uint32_t, 2> words{};
    for (size_t i = 0; i < words.size(); ++i) {
        const int index = RecordingRateToIndex(int(info.change_fps[i] >> 16));
        if (index < 0) return kOutOfRange;
        words[i] = WithHighHalf(info.change_fps[i], index);
    }
    Params<212> p;
    p.writer.U32(uint32_t(info.trigger)).U32(uint32_t(info.alarm_rec));
    p.writer.Bytes(info.timer_rec.data(), info.timer_rec.size());
    p.writer.U32(words[0]).U32(words[1]).U32(uint32_t(info.cf_full)).U32(uint32_t(info.time_lapse));
    Reply reply;
    if (Call(channel, 199, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_local_rec_info(CommandChannel& channel, LocalRecInfo& info, bool& unknown_rate) {
    const std::array<uint8_t, 8> params{};
    Reply reply;
    if (Call(channel, 200, params, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 8);
    info.trigger = r.I32();
    info.alarm_rec = r.I32();
    r.Bytes(info.timer_rec.data(), info.timer_rec.size());
    unknown_rate = false;
    for (uint32_t& word : info.change_fps) {
        const uint32_t wire = r.U32();
        const int rate = RecordingIndexToRate(int(wire >> 16));
        if (rate < 0) unknown_rate = true;
        word = WithHighHalf(wire, std::max(rate, 0));
    }
    info.cf_full = r.I32();
    info.time_lapse = r.I32();
    return reply.status();
}

int32_t scmd_set_current_datetime(CommandChannel& channel, const ClockSetting& clock) {
    Params<32> p;
    p.writer.U8(clock.ntp).U8(uint8_t(clock.ntp_signed));
    p.writer.Bytes(clock.ntp_bytes.data(), clock.ntp_bytes.size());
    p.writer.Bytes(clock.date_time.data(), clock.date_time.size());
    Reply reply;
    if (Call(channel, 224, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_current_datetime(CommandChannel& channel, ClockSetting& clock) {
    const std::array<uint8_t, 8> params{};
    Reply reply;
    if (Call(channel, 225, params, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 8);
    clock.ntp = r.U8();
    clock.ntp_signed = int8_t(r.U8());
    r.Bytes(clock.ntp_bytes.data(), clock.ntp_bytes.size());
    r.Bytes(clock.date_time.data(), clock.date_time.size());
    return reply.status();
}

int32_t scmd_get_cf_info(CommandChannel& channel, CfInformation& info) {
    const std::array<uint8_t, 8> params{};
    Reply reply;
    if (Call(channel, 226, params, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 6);
    info.count = r.I16();
    r.Bytes(info.cf1.data(), info.cf1.size());
    r.Bytes(info.cf2.data(), info.cf2.size());
    return reply.status();
}

int32_t scmd_set_port_mode(CommandChannel& channel, int16_t command, int16_t port1, int16_t port2) {
    Params<12> p;
    p.writer.U16(uint16_t(command)).U16(uint16_t(port1)).U16(uint16_t(port2));
    Reply reply;
    if (Call(channel, 235, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_port_mode(CommandChannel& channel, int16_t port, int16_t& port_status) {
    Params<8> p;
    p.writer.U16(uint16_t(port));
    Reply reply;
    if (Call(channel, 236, p.bytes, reply) != kDone) return kNoReply;
    port_status = ReplyAt(reply, 8).I16();
    return reply.status();
}

int32_t scmd_get_port_config(CommandChannel& channel, int16_t port, PortConfig& config) {
    Params<8> p;
    p.writer.U16(uint16_t(port));
    Reply reply;
    if (Call(channel, 237, p.bytes, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 10);
    config.device_type = r.I16();
    config.speed = uint32_t(r.U16()) * 100;
    for (int16_t& v : config.values)
        v = r.I16();
    return reply.status();
}

int32_t scmd_set_port_config(CommandChannel& channel, int16_t port, int16_t device_type,
                             std::span<const uint8_t, 12> setting) {
    Params<20> p;
    p.writer.U16(uint16_t(port)).U16(uint16_t(device_type)).Bytes(setting.data(), setting.size());
    Reply reply;
    if (Call(channel, 239, p.bytes, reply) != kDone) return kNoReply;
    // This reply carries its result at +8, not at +4.
    return ReplyAt(reply, 8).I16();
}

int32_t scmd_pass_through_cmd(CommandChannel& channel, int16_t port, int16_t count,
                              std::span<const uint8_t> data, std::span<uint8_t> ack,
                              int32_t timeout_ms, PassThroughAnswer& answer) {
    if (data.size() > size_t(kMaxPassThroughBytes)) return kOutOfRange;
    constexpr size_t kFixed = 8;  // port, 1, count, size, 3 zero bytes
    Params<kFixed + kMaxPassThroughBytes> p;
    p.writer.U8(uint8_t(port)).U8(1).U8(uint8_t(count)).U16(uint16_t(data.size())).Zeros(3);
    p.writer.Bytes(data.data(), data.size());

    CommandChannel::Options options;
    options.act_on_start_flag = false;
    options.own_reply_wait = true;
    options.reply_wait_ms = uint32_t(std::max(timeout_ms, 0));
    Reply reply;
    if (Call(channel, 238, std::span(p.bytes.data(), p.writer.size()), reply, options) != kDone) {
        return kNoReply;
    }
    // A datagram too short to hold the result byte is no answer.
    if (reply.length < 6) return kNoReply;
    constexpr size_t kAckData = 12;
    const size_t received = reply.length > kAckData ? reply.length - kAckData : 0;
    answer.copied = std::min(received, ack.size());
    if (answer.copied) std::memcpy(ack.data(), &reply.bytes[kAckData], answer.copied);
    // The size the camera states, but never more than the bytes it sent: a
    // host reads that many from its buffer.
    const int16_t stated = int16_t(reply.bytes[7] | (reply.bytes[8] << 8));
    answer.ack_size = int16_t(std::clamp<int64_t>(stated, 0, int64_t(received)));
    return reply.bytes[5];
}

int32_t scmd_ftp_init(CommandChannel& channel, const FtpInit& init) {
    Params<176> p;
    p.writer.U16(uint16_t(init.enable)).U16(uint16_t(init.server_port));
    p.writer.Bytes(init.address.data(), init.address.size());
    p.writer.Bytes(init.setting.data(), init.setting.size());
    Reply reply;
    if (Call(channel, 592, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_ftp_get_init(CommandChannel& channel, FtpInit& init) {
    const std::array<uint8_t, 4> params{};
    Reply reply;
    if (Call(channel, 593, params, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 4);
    init.enable = r.I16();
    init.server_port = r.I16();
    r.Bytes(init.address.data(), init.address.size());
    r.Bytes(init.setting.data(), init.setting.size());
    // The camera's answer sits inside the setting block.
    return ReplyAt(reply, 22).I16();
}

int32_t scmd_set_ftp_server_enable(CommandChannel& channel, int16_t status) {
    Params<4> p;
    p.writer.U16(uint16_t(status));
    Reply reply;
    if (Call(channel, 594, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_ftp_server_enable(CommandChannel& channel, int16_t& status) {
    const std::array<uint8_t, 4> params{};
    Reply reply;
    if (Call(channel, 595, params, reply) != kDone) return kNoReply;
    status = ReplyAt(reply, 6).I16();
    return reply.status();
}

int32_t scmd_set_multicast_mode(CommandChannel& channel, const MulticastMode& mode) {
    Params<16> p;
    p.writer.U16(0).U16(uint16_t(mode.mode)).Bytes(mode.address.data(), mode.address.size());
    p.writer.U16(uint16_t(mode.burst_count)).U16(uint16_t(mode.burst_interval));
    p.writer.U16(uint16_t(mode.port)).U8(mode.ttl);
    Reply reply;
    if (Call(channel, 624, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_multicast_mode(CommandChannel& channel, MulticastMode& mode) {
    Reply reply;
    if (Call(channel, 625, {}, reply) != kDone) return kNoReply;
    ByteReader r = ReplyAt(reply, 6);
    mode.mode = r.I16();
    r.Bytes(mode.address.data(), mode.address.size());
    mode.burst_count = r.I16();
    mode.burst_interval = r.I16();
    mode.port = r.I16();
    mode.ttl = r.U8();
    return reply.status();
}

int32_t scmd_set_http_port(CommandChannel& channel, int16_t port) {
    if (port == 0) return kMissingArgument;
    Params<2> p;
    p.writer.U16(uint16_t(port));
    Reply reply;
    if (Call(channel, 1024, p.bytes, reply) != kDone) return kNoReply;
    switch (reply.status()) {
        case 1:
            return kRefused;
        case 2:
            return kHttpPortRejected;
        default:
            return kDone;
    }
}

int32_t scmd_get_http_port(CommandChannel& channel, int16_t& port) {
    Reply reply;
    if (Call(channel, 1025, {}, reply) != kDone) return kNoReply;
    port = reply.status();  // the port sits where others carry the status
    return kDone;
}

int32_t scmd_set_http_default_page(CommandChannel& channel, std::string_view page) {
    if (page.empty() || page.size() > kMaxHttpPageName) return kOutOfRange;
    Params<36> p;
    p.writer.Bytes(page.data(), page.size());
    Reply reply;
    if (Call(channel, 1026, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_http_default_page(CommandChannel& channel,
                                   std::array<uint8_t, kNameFieldSize>& page) {
    const std::array<uint8_t, 4> params{};
    Reply reply;
    if (Call(channel, 1027, params, reply) != kDone) return kNoReply;
    std::memcpy(page.data(), &reply.bytes[4], page.size());
    return ReplyAt(reply, 36).I16();
}

int32_t scmd_set_http_general_setting(CommandChannel& channel, int16_t sub_command, int16_t value) {
    Params<4> p;
    p.writer.U16(uint16_t(sub_command)).U16(uint16_t(value));
    Reply reply;
    if (Call(channel, 1028, p.bytes, reply) != kDone) return kNoReply;
    return reply.status();
}

int32_t scmd_get_http_general_setting(CommandChannel& channel, int16_t sub_command,
                                      int16_t& value) {
    Params<4> p;
    p.writer.U16(uint16_t(sub_command));
    Reply reply;
    if (Call(channel, 1029, p.bytes, reply) != kDone) return kNoReply;
    value = ReplyAt(reply, 6).I16();
    return reply.status();
}

}  // namespace kest::protocol
