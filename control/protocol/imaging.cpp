#include "control/protocol/imaging.h"

#include <cstring>

namespace kest::protocol {

namespace {

constexpr FrameRate kFrameRates[] = {
    {0, 33, 30}, {1, 66, 15}, {2, 100, 10}, {3, 125, 8},  {4, 142, 7},   {5, 166, 6},
    {6, 200, 5}, {8, 250, 4}, {9, 333, 3},  {14, 500, 2}, {29, 1000, 1},
};

}  // namespace

const FrameRate* FrameRateOfCode(int32_t code) {
    for (const FrameRate& r : kFrameRates) {
        if (r.code == code) return &r;
    }
    return nullptr;
}

const FrameRate* FrameRateOfFramesPerSecond(int32_t frames_per_second) {
    for (const FrameRate& r : kFrameRates) {
        if (r.frames_per_second == frames_per_second) return &r;
    }
    return nullptr;
}

namespace {

const CommandInfo& Command(uint16_t code) {
    // Every code used here is in the command table; a missing one is a build fault.
    const CommandInfo* c = FindCommand(code);
    if (!c) std::abort();
    return *c;
}

// One exchange with parameters from offset 12; 0 with the reply, or -1.
int32_t Run(CommandChannel& channel, uint16_t code, std::span<const uint8_t> params, Reply& reply) {
    return channel.Exchange(Command(code), params, reply) == 0 ? kDone : kNoReply;
}

int32_t Run(CommandChannel& channel, uint16_t code, Reply& reply) {
    return Run(channel, code, {}, reply);
}

// Reads reply fields at absolute offsets; bytes past the datagram read as zero.
ByteReader At(const Reply& reply, size_t offset) {
    ByteReader r(reply.bytes.data(), reply.bytes.size());
    r.Seek(offset);
    return r;
}

// -2 when the status is positive, else 0.
int32_t RefusedWhenPositive(const Reply& reply) {
    return reply.status() > 0 ? kRefused : kDone;
}

// Builds the parameters of a request in a fixed buffer.
template <size_t N>
struct Params {
    uint8_t bytes[N] = {};
    ByteWriter writer{bytes, N};
    std::span<const uint8_t> span() const { return {bytes, N}; }
};

}  // namespace

int32_t scmd_get_motor_pos(CommandChannel& channel, int16_t axis, int16_t& position) {
    Params<2> p;
    p.writer.U16(uint16_t(axis));
    Reply reply;
    if (Run(channel, 33, p.span(), reply) != 0) return kNoReply;
    if (reply.status() == 1) return kRefused;
    position = At(reply, 8).I16();
    return kDone;
}

int32_t scmd_get_motor_tbl(CommandChannel& channel, MotorTable& table) {
    Reply reply;
    if (Run(channel, 34, reply) != 0) return kNoReply;
    if (reply.status() > 0) return kRefused;
    for (size_t i = 0; i < MotorTable::kEntries; ++i) {
        ByteReader r = At(reply, 6 + 8 * i);
        table.pans[i] = r.I16();
        table.tilts[i] = r.I16();
        table.thirds[i] = r.I16();
    }
    return kDone;
}

int32_t scmd_set_motor_tbl(CommandChannel& channel, const MotorTable& table) {
    Params<8 * MotorTable::kEntries> p;
    for (size_t i = 0; i < MotorTable::kEntries; ++i) {
        p.writer.U16(uint16_t(table.pans[i])).U16(uint16_t(table.tilts[i]));
        p.writer.U16(uint16_t(table.thirds[i])).U16(0);
    }
    Reply reply;
    if (Run(channel, 35, p.span(), reply) != 0) return kNoReply;
    return RefusedWhenPositive(reply);
}

int32_t scmd_move_motor_tbl(CommandChannel& channel, int16_t entry, int16_t zero) {
    Params<4> p;
    p.writer.U16(uint16_t(entry)).U16(uint16_t(zero));
    Reply reply;
    if (Run(channel, 36, p.span(), reply) != 0) return kNoReply;
    return RefusedWhenPositive(reply);
}

int32_t scmd_move_motor_pos(CommandChannel& channel, int16_t pan, int16_t tilt, int16_t speed) {
    Params<6> p;
    p.writer.U16(uint16_t(pan)).U16(uint16_t(tilt)).U16(uint16_t(speed));
    Reply reply;
    if (Run(channel, 37, p.span(), reply) != 0) return kNoReply;
    return RefusedWhenPositive(reply);
}

int32_t cl_get_exmotor_tbl(CommandChannel& channel, ExMotorTable& table) {
    Reply reply;
    if (Run(channel, 38, reply) != 0) return kNoReply;
    if (reply.status() != 0) return kRefused;
    std::memcpy(table.data(), &reply.bytes[6], table.size());
    return kDone;
}

int32_t cl_set_exmotor_tbl(CommandChannel& channel, const ExMotorTable& table) {
    Reply reply;
    if (Run(channel, 39, table, reply) != 0) return kNoReply;
    return RefusedWhenPositive(reply);
}

int32_t scmd_set_camera_info(CommandChannel& channel, int16_t reg, int16_t data, int16_t* status) {
    Params<4> p;
    p.writer.U16(uint16_t(reg)).U16(uint16_t(data));
    Reply reply;
    if (Run(channel, 49, p.span(), reply) != 0) return kNoReply;
    if (status) *status = reply.status();
    return RefusedWhenPositive(reply);
}

int32_t scmd_get_camera_info(CommandChannel& channel, int16_t reg) {
    Params<2> p;
    p.writer.U16(uint16_t(reg));
    Reply reply;
    if (Run(channel, 65, p.span(), reply) != 0) return kNoReply;
    if (reply.status() != 0) return kRefused;
    return At(reply, 8).U16();
}

int32_t scmd_set_ccd_default(CommandChannel& channel) {
    Reply reply;
    if (Run(channel, 50, reply) != 0) return kNoReply;
    return reply.status();
}

int32_t scmd_set_jpeg_mode(CommandChannel& channel, int16_t picture_mode, int16_t rate_index,
                           int16_t* status) {
    Params<4> p;
    p.writer.U16(uint16_t(picture_mode)).U16(uint16_t(rate_index));
    Reply reply;
    if (Run(channel, 112, p.span(), reply) != 0) return kNoReply;
    if (status) *status = reply.status();
    return reply.status() == 1 ? kRefused : kDone;
}

int32_t scmd_set_frame_size(CommandChannel& channel, int16_t width, int16_t height) {
    Params<4> p;
    p.writer.U16(uint16_t(width)).U16(uint16_t(height));
    Reply reply;
    if (Run(channel, 113, p.span(), reply) != 0) return kNoReply;
    switch (At(reply, 8).I16()) {
        case 0:
            return kFrameSizeZero;
        case 2:
            return kRefused;
        default:
            return kDone;
    }
}

int32_t scmd_set_scale_factor(CommandChannel& channel, int16_t code) {
    Params<2> p;
    p.writer.U16(uint16_t(code));
    Reply reply;
    if (Run(channel, 116, p.span(), reply) != 0) return kNoReply;
    switch (At(reply, 6).I16()) {
        case 0:
            return kScaleFactorZero;
        case 2:
            return kRefused;
        default:
            return kDone;
    }
}

int32_t scmd_get_scale_factor(CommandChannel& channel) {
    Reply reply;
    if (Run(channel, 117, reply) != 0) return kNoReply;
    if (reply.status() == 1) return kRefused;
    return At(reply, 6).U16();
}

int32_t scmd_get_capt_speed(CommandChannel& channel, int16_t& rate_index) {
    Reply reply;
    if (Run(channel, 118, reply) != 0) return kNoReply;
    if (reply.status() != 0) return kRefused;
    rate_index = At(reply, 6).I16();
    return kDone;
}

int32_t scmd_get_capt_size(CommandChannel& channel, int16_t& width, int16_t& height) {
    Reply reply;
    if (Run(channel, 119, reply) != 0) return kNoReply;
    if (reply.status() != 0) return kRefused;
    ByteReader r = At(reply, 6);
    const int16_t first = r.I16();
    const int16_t second = r.I16();
    switch (first) {
        case 176:
            width = 160, height = 120;
            break;
        case 352:
            width = 320, height = 240;
            break;
        case 704:
            width = 640, height = 480;
            break;
        default:
            width = first, height = second;
            break;
    }
    return kDone;
}

int32_t scmd_get_image_mode(CommandChannel& channel, int16_t& mode) {
    Reply reply;
    if (Run(channel, 121, reply) != 0) return kNoReply;
    mode = At(reply, 6).I16();
    return reply.status();
}

int32_t scmd_set_image_mode(CommandChannel& channel, int16_t mode) {
    Params<2> p;
    p.writer.U16(uint16_t(mode));
    Reply reply;
    if (Run(channel, 122, p.span(), reply) != 0) return kNoReply;
    return reply.status();
}

int32_t scmd_set_motion_detect_info(CommandChannel& channel, const MotionDetectInfo& info) {
    Params<16> p;
    p.writer.U16(uint16_t(info.motion_detect)).U16(uint16_t(info.update_sec));
    p.writer.U16(uint16_t(info.detect_sec)).U16(uint16_t(info.mask));
    Reply reply;
    if (Run(channel, 208, p.span(), reply) != 0) return kNoReply;
    return reply.status();
}

int32_t scmd_get_motion_detect_info(CommandChannel& channel, MotionDetectInfo& info) {
    Params<8> p;
    Reply reply;
    if (Run(channel, 209, p.span(), reply) != 0) return kNoReply;
    ByteReader r = At(reply, 8);
    info.motion_detect = r.I16();
    info.update_sec = r.I16();
    info.detect_sec = r.I16();
    info.mask = r.I16();
    return reply.status();
}

int32_t scmd_set_area_info(CommandChannel& channel, const AreaSet& areas) {
    Params<8 + kAreaBytes> p;
    p.writer.Zeros(8).Bytes(areas.data(), areas.size());
    Reply reply;
    if (Run(channel, 210, p.span(), reply) != 0) return kNoReply;
    return reply.status();
}

int32_t scmd_get_area_info(CommandChannel& channel, AreaSet& areas) {
    Params<8> p;
    Reply reply;
    if (Run(channel, 211, p.span(), reply) != 0) return kNoReply;
    std::memcpy(areas.data(), &reply.bytes[12], areas.size());
    return reply.status();
}

int32_t scmd_set_area_detail_info(CommandChannel& channel, const AreaDetail& detail) {
    Params<12> p;
    p.writer.Zeros(4).U8(detail.y).U8(detail.percent).U8(detail.diff_average);
    Reply reply;
    if (Run(channel, 212, p.span(), reply) != 0) return kNoReply;
    return reply.status();
}

int32_t scmd_get_area_detail_info(CommandChannel& channel, AreaDetail& detail) {
    Params<8> p;
    Reply reply;
    if (Run(channel, 213, p.span(), reply) != 0) return kNoReply;
    ByteReader r = At(reply, 12);
    detail.y = r.U8();
    detail.percent = r.U8();
    detail.diff_average = r.U8();
    return int16_t(reply.status());
}

int32_t scmd_update_motion_detect_base(CommandChannel& channel) {
    Params<8> p;
    Reply reply;
    if (Run(channel, 214, p.span(), reply) != 0) return kNoReply;
    return reply.status();
}

int32_t scmd_set_motion_detect_action(CommandChannel& channel, const MotionAction& action) {
    Params<12> p;
    p.writer.U16(uint16_t(action.alarm_out)).U16(uint16_t(action.position));
    p.writer.U16(uint16_t(action.start_ftp));
    Reply reply;
    if (Run(channel, 2320, p.span(), reply) != 0) return kNoReply;
    return reply.status();
}

int32_t scmd_get_motion_detect_action(CommandChannel& channel, MotionAction& action) {
    Reply reply;
    if (Run(channel, 2321, reply) != 0) return kNoReply;
    ByteReader r = At(reply, 6);
    action.alarm_out = r.I16();
    action.position = r.I16();
    action.start_ftp = r.I16();
    return reply.status();
}

int32_t get_zfi(CommandChannel& channel, LensRecord& lens) {
    Reply reply;
    if (Run(channel, 560, reply) != 0) return kNoReply;
    if (reply.status() == 1) return kRefused;
    ByteReader r = At(reply, 8);
    for (int16_t& v : lens)
        v = r.I16();
    return kDone;
}

int32_t scmd_set_zfi(CommandChannel& channel, const LensWrite& values, LensWrite& now) {
    Params<12> p;
    for (int16_t v : values)
        p.writer.U16(uint16_t(v));
    Reply reply;
    if (Run(channel, 561, p.span(), reply) != 0) return kNoReply;
    if (reply.status() == 1) return kRefused;
    ByteReader r = At(reply, 8);
    for (int16_t& v : now)
        v = r.I16();
    return kDone;
}

}  // namespace kest::protocol
