// The camera object's accessors of the imaging, motor and lens commands and
// of the block transfers.
#include "control/stream/camera.h"

namespace kest {

namespace {

struct SizeRow {
    int16_t width;
    int16_t height;
};
constexpr SizeRow kSelectorSizes[] = {{160, 120}, {320, 240}, {640, 480}};

}  // namespace

int32_t CKestCamera::FrameIntervalOf(int32_t index) {
    const protocol::FrameRate* r = protocol::FrameRateOfCode(index);
    return r ? r->interval_ms : -1;
}

int32_t CKestCamera::FramesPerSecondOf(int32_t code) {
    const protocol::FrameRate* r = protocol::FrameRateOfCode(code);
    return r ? r->frames_per_second : 0;
}

int32_t CKestCamera::FrameRateCodeOf(int32_t frames_per_second) {
    const protocol::FrameRate* r = protocol::FrameRateOfFramesPerSecond(frames_per_second);
    return r ? r->code : -1;
}

int32_t CKestCamera::SetFrameRateIndex(int16_t index, int16_t* status) {
    if (!session_open()) return protocol::kNoSession;
    frame_rate_index_.store(index);
    const int32_t interval = FrameIntervalOf(index);
    if (interval < 0) return protocol::kOutOfRange;
    frame_interval_.exchange(interval);
    return protocol::scmd_set_jpeg_mode(channel(), int16_t(picture_mode_.load()), index, status);
}

int32_t CKestCamera::SetFrameSizeSelector(int32_t selector) {
    if (!session_open()) return protocol::kNoSession;
    if (selector < 0 || selector > 2) return protocol::kOutOfRange;
    const SizeRow& size = kSelectorSizes[selector];
    frame_width_.store(size.width);
    frame_height_.store(size.height);
    return protocol::scmd_set_frame_size(channel(), size.width, size.height);
}

int32_t CKestCamera::SetScaleFactorCode(int16_t code) {
    if (!session_open()) return protocol::kNoSession;
    scale_factor_code_.store(code);
    return protocol::scmd_set_scale_factor(channel(), code);
}

int32_t CKestCamera::GetScaleFactorCode() {
    if (!session_open()) return protocol::kNoSession;
    const int32_t code = protocol::scmd_get_scale_factor(channel());
    if (code >= 0) scale_factor_code_.store(code);
    return code;
}

int32_t CKestCamera::GetMotorPos(int16_t axis, int16_t* position) {
    if (!session_open()) return protocol::kNoSession;
    if (!position) return protocol::kMissingArgument;
    const int32_t r = protocol::scmd_get_motor_pos(channel(), axis, *position);
    // The status line "MMOV 1" has no window to go to: the control sets none.
    if (r == 0) motor_state_.store(1);
    return r;
}

int32_t CKestCamera::GetMotorTable(protocol::MotorTable* table) {
    if (!session_open()) return protocol::kNoSession;
    if (!table) return protocol::kMissingArgument;
    const int32_t r = protocol::scmd_get_motor_tbl(channel(), *table);
    if (r == 0) motor_state_.store(1);
    return r;
}

int32_t CKestCamera::GetExMotorTable(protocol::ExMotorTable* table) {
    if (!session_open()) return protocol::kNoSession;
    if (!table) return protocol::kMissingArgument;
    return protocol::cl_get_exmotor_tbl(channel(), *table);
}

int32_t CKestCamera::SetExMotorTable(const protocol::ExMotorTable* table) {
    if (!session_open()) return protocol::kNoSession;
    if (!table) return protocol::kMissingArgument;
    return protocol::cl_set_exmotor_tbl(channel(), *table);
}

int32_t CKestCamera::GetLens(protocol::LensRecord* lens) {
    if (!session_open()) return protocol::kNoSession;
    if (!lens) return protocol::kMissingArgument;
    return protocol::get_zfi(channel(), *lens);
}

int32_t CKestCamera::SetLens(const protocol::LensWrite& values, protocol::LensWrite* now) {
    if (!session_open()) return protocol::kNoSession;
    if (!now) return protocol::kMissingArgument;
    const int32_t r = protocol::scmd_set_zfi(channel(), values, *now);
    if (r == 0) zoom_position_.store((*now)[protocol::kLensZoom]);
    return r;
}

void CKestCamera::NoteTransfer(int32_t result, const protocol::TransferReport& report) {
    if (report.failure != 0) {
        transfer_result_.store(report.failure);
    } else if (result >= 0) {
        transfer_sequence_.store(report.end_sequence);
        transfer_length_.store(report.total_length);
    }
}

int32_t CKestCamera::FetchFileList(const std::string& local_file, int32_t* file_count,
                                   const protocol::TransferOptions& options,
                                   protocol::TransferReport* report) {
    if (!session_open()) return protocol::kNoSession;
    if (!file_count) return protocol::kMissingArgument;
    protocol::TransferReport local;
    protocol::TransferReport& r = report ? *report : local;
    const int32_t result = protocol::FetchFileList(channel(), local_file, *file_count, options, r);
    NoteTransfer(result, r);
    return result;
}

int32_t CKestCamera::FetchRecordedFile(const std::string& name, int32_t file_get_timeout,
                                       const protocol::TransferOptions& options,
                                       protocol::TransferReport* report) {
    if (!session_open()) return protocol::kNoSession;
    protocol::TransferReport local;
    protocol::TransferReport& r = report ? *report : local;
    const int32_t result =
        protocol::FetchRecordedFile(channel(), name, file_get_timeout, options, r);
    NoteTransfer(result, r);
    return result;
}

int32_t CKestCamera::FetchReferencePicture(const std::string& local_file,
                                           const protocol::TransferOptions& options,
                                           protocol::TransferReport* report) {
    if (!session_open()) return protocol::kNoSession;
    protocol::TransferReport local;
    protocol::TransferReport& r = report ? *report : local;
    const int32_t result = protocol::FetchReferencePicture(channel(), local_file, options, r);
    NoteTransfer(result, r);
    return result;
}

}  // namespace kest
