// The imaging, motor, lens and motion-detection methods and the camera file
// downloads: argument checks, unit conversions, the command, and the mapping
// of its outcome to the method result.
#include <cmath>
#include <cstring>

#include "control/facade/ctrl.h"
#include "control/protocol/block_transfer.h"
#include "control/protocol/imaging.h"

namespace kest {

namespace {

using protocol::kRefused;

// One row of a status-to-result mapping; anything not listed gives the
// mapping's default (5 unless a method says otherwise).
struct StatusRow {
    int32_t status;
    int16_t result;
};

template <size_t N>
int16_t Map(const StatusRow (&rows)[N], int32_t status, int16_t otherwise = kResultFailed) {
    for (const StatusRow& r : rows) {
        if (r.status == status) return r.result;
    }
    return otherwise;
}

constexpr StatusRow kRefusedByStatus[] = {{0, kResultOk}, {1, kResultRefused}};
constexpr StatusRow kRefusedByCommand[] = {{0, kResultOk}, {kRefused, kResultRefused}};
constexpr StatusRow kDetectSet[] = {{0, kResultOk}, {1, kResultRefused}, {2, kResultBadArgument}};
constexpr StatusRow kDetectFull[] = {
    {0, kResultOk}, {1, kResultRefused}, {2, kResultBadArgument}, {3, kResultStatus}};
constexpr StatusRow kStatus2Is6[] = {{0, kResultOk}, {1, kResultRefused}, {2, kResultStatus}};
constexpr StatusRow kUpsideDownSet[] = {{0, kResultOk}, {1, kResultRefused}, {2, kResultBadFirst}};
constexpr StatusRow kInformationSet[] = {
    {0, kResultOk}, {1, kResultRefused}, {2, kResultBadSecond}};
constexpr StatusRow kFileList[] = {{protocol::kNoFiles, kResultOk},
                                   {protocol::kFileListDone, kResultOk},
                                   {2, kResultRefused},
                                   {0, kResultStatus}};

// The preset-table methods: on their camera types -2 is a refusal and any
// other failure 8; other types get 5.
int16_t MapTableResult(int32_t r) {
    if (r == 0) return kResultOk;
    return r == kRefused ? kResultRefused : kResultNotThisType;
}

int16_t MapReferenceResult(int32_t r) {
    if (r < 0) return kResultFailed;
    if (r == protocol::kReferenceDone) return kResultOk;
    return r == 3 ? kResultRefused : kResultStatus;
}

// A transfer that never started cannot have succeeded, whatever its word said.
int16_t TransferResult(int16_t mapped, const protocol::TransferReport& report) {
    if (mapped == kResultOk && report.ack_word != 1) return kResultStatus;
    return mapped;
}

// 4, 7 and 8 frames per second are for type 11 only.
bool RateFitsType(int16_t rate, int32_t type) {
    return (rate != 4 && rate != 7 && rate != 8) || type == 11;
}

bool IsWideMotorType(int32_t type) {
    return type == 3 || type == 13;
}
bool HasMotors(int32_t type) {
    return type == 0 || IsWideMotorType(type);
}

// Degrees and motor pulses per camera type.
struct MotorRange {
    double degrees_per_pulse;
    int16_t pan_degrees;  // symmetric
    int16_t tilt_degrees_min, tilt_degrees_max;
    int16_t pan_pulses;  // symmetric
    int16_t tilt_pulses_min, tilt_pulses_max;
};

// The factors are the single-precision constants widened to double.
constexpr MotorRange kBasicMotors{double(0.225f), 50, -75, 5, 222, -333, 22};
constexpr MotorRange kWideMotors{double(0.306f), 160, -90, 0, 522, -294, 0};

const MotorRange& MotorsOf(int32_t type) {
    return IsWideMotorType(type) ? kWideMotors : kBasicMotors;
}

// Degrees from pulses round half away from zero; pulses from degrees truncate.
int16_t DegreesOf(int16_t pulses, const MotorRange& m) {
    return int16_t(std::round(pulses * m.degrees_per_pulse));
}
int16_t PulsesOf(int16_t degrees, const MotorRange& m) {
    return int16_t(std::trunc(degrees / m.degrees_per_pulse));
}

// Lens levels: raw 0 to 255 shown as percent.
constexpr double kPercentPerRaw = 0.39215686274509803;  // 100 / 255
constexpr double kRawPerPercent = 2.5500000000000003;

int16_t PercentOf(int16_t raw) {
    return int16_t(std::trunc(raw * kPercentPerRaw + 0.5));
}
int16_t RawOf(int16_t percent) {
    return int16_t(std::trunc(percent * kRawPerPercent + 0.5));
}
// Type 3 has a zoom scale of its own.
int16_t ZoomPercentOf(int16_t raw, int32_t type) {
    if (type != 3) return PercentOf(raw);
    return raw == 0 ? 0 : int16_t((raw - 6) * 100 / 228);
}
int16_t ZoomRawOf(int16_t percent, int32_t type) {
    if (type != 3) return RawOf(percent);
    return int16_t(percent * 228 / 100 + 6);
}

// The six values scmd_set_zfi carries: values 1 to 5, then the iris level of
// the iris mode (the automatic one in mode 0, the manual one in mode 1).
protocol::LensWrite LensWriteOf(const protocol::LensRecord& lens) {
    protocol::LensWrite w{};
    for (size_t i = 0; i < 5; ++i)
        w[i] = lens[i];
    w[5] = lens[protocol::kLensIrisMode] == 1 ? lens[protocol::kLensIrisManualLevel]
                                              : lens[protocol::kLensIrisAutoLevel];
    return w;
}

// Compression rates 1 to 7 and the camera's scale factors.
constexpr int16_t kScaleFactors[] = {34, 36, 40, 22, 24, 5, 8};

// SetFrameSize: accepted widths, the heights that go with them, the size code.
struct FrameSizeRow {
    int16_t width;
    int16_t heights[2];
    int16_t code;
};
constexpr FrameSizeRow kFrameSizes[] = {
    {640, {480, 480}, 2}, {704, {480, 480}, 2}, {320, {240, 240}, 1},
    {352, {240, 240}, 1}, {160, {120, 112}, 0}, {176, {120, 112}, 0},
};

// GetFrameSize: the captured width names the size.
struct CapturedSize {
    int16_t width, height, code;
};
constexpr CapturedSize kCapturedSizes[] = {{160, 120, 0}, {320, 240, 1}, {640, 480, 2}};

constexpr int16_t kUpsideDownRegister = 7;
constexpr int16_t kLastRegister = 30;
constexpr int16_t kAreaCount = 300;
constexpr size_t kExEntries = 10;
constexpr size_t kExEntryBytes = 20;

bool FitsBuffer(const BufferRef& b, size_t n) {
    return b.data != nullptr && b.size >= n;
}

void StoreTable(const protocol::MotorTable& t, uint8_t* out) {
    ByteWriter w(out, protocol::MotorTable::kBytes);
    for (int16_t v : t.pans)
        w.U16(uint16_t(v));
    for (int16_t v : t.tilts)
        w.U16(uint16_t(v));
    for (int16_t v : t.thirds)
        w.U16(uint16_t(v));
}

protocol::MotorTable LoadTable(const uint8_t* in) {
    protocol::MotorTable t;
    ByteReader r(in, protocol::MotorTable::kBytes);
    for (int16_t& v : t.pans)
        v = r.I16();
    for (int16_t& v : t.tilts)
        v = r.I16();
    for (int16_t& v : t.thirds)
        v = r.I16();
    return t;
}

}  // namespace

// Frame rate, size and compression.

int16_t CKestCtrl::SetCameraFrameRate(int16_t Rate) {
    const int32_t code = CKestCamera::FrameRateCodeOf(Rate);
    // Both checks come before any traffic; the type is the one kept from the
    // last version reply.
    if (Rate < 1 || Rate > 30 || code < 0) return kResultBadFirst;
    if (camera_ && !RateFitsType(Rate, camera_->model_code())) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        // This session's version reply may name another camera type.
        if (!RateFitsType(Rate, camera.model_code())) return kResultBadFirst;
        int16_t status = 0;
        const int32_t r = camera.SetFrameRateIndex(int16_t(code), &status);
        if (r != 0 && r != kRefused) return kResultFailed;
        return Map(kRefusedByStatus, status);
    });
}

int16_t CKestCtrl::GetCameraFrameRate(int16_t& Rate) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t code = 0;
        const int32_t r = camera.WithChannel(
            [&](protocol::CommandChannel& c) { return protocol::scmd_get_capt_speed(c, code); });
        if (r != 0) return kResultFailed;
        const int32_t fps = CKestCamera::FramesPerSecondOf(code);
        if (fps == 0) return kResultStatus;
        Rate = int16_t(fps);
        return kResultOk;
    });
}

int16_t CKestCtrl::SetFrameSize(int16_t HSize, int16_t VSize) {
    const FrameSizeRow* row = nullptr;
    for (const FrameSizeRow& r : kFrameSizes) {
        if (r.width == HSize) row = &r;
    }
    if (!row) return kResultBadFirst;
    if (VSize != row->heights[0] && VSize != row->heights[1]) return kResultBadSecond;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        camera.set_frame_size_code(row->code);
        return camera.SetFrameSizeSelector(row->code) == 0 ? kResultOk : kResultFailed;
    });
}

int16_t CKestCtrl::GetFrameSize(int16_t& HSize, int16_t& VSize) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t width = 0, height = 0;
        const int32_t r = camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_get_capt_size(c, width, height);
        });
        // Without an answer there is no size to report.
        if (r != 0) return kResultFailed;
        for (const CapturedSize& s : kCapturedSizes) {
            if (s.width != width) continue;
            HSize = s.width;
            VSize = s.height;
            camera.set_frame_size_code(s.code);
            return kResultOk;
        }
        return kResultFailed;
    });
}

int16_t CKestCtrl::SwitchRelayOn(int16_t /*RelayNumber*/) {
    return kResultOk;
}

int16_t CKestCtrl::GetCompressionRate(int16_t& CompressionRate) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t factor = camera.GetScaleFactorCode();
        for (size_t i = 0; i < std::size(kScaleFactors); ++i) {
            if (factor == kScaleFactors[i]) {
                CompressionRate = int16_t(i + 1);
                return kResultOk;
            }
        }
        return kResultFailed;
    });
}

int16_t CKestCtrl::SetCompressionRate(int16_t CompressionRate) {
    if (CompressionRate < 1 || CompressionRate > 7) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return camera.SetScaleFactorCode(kScaleFactors[CompressionRate - 1]) == 0 ? kResultOk
                                                                                  : kResultFailed;
    });
}

int16_t CKestCtrl::GetImageMode(int16_t& Mode) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t mode = 0;
        const int32_t status = camera.WithChannel(
            [&](protocol::CommandChannel& c) { return protocol::scmd_get_image_mode(c, mode); });
        if (status == 0) Mode = mode;
        return Map(kRefusedByStatus, status);
    });
}

int16_t CKestCtrl::SetImageMode(int16_t Mode) {
    if (Mode < 0 || Mode > 1) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return Map(kStatus2Is6, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_image_mode(c, Mode);
        }));
    });
}

// Camera information registers.

int16_t CKestCtrl::GetCameraUpsideDown(bool& UpsideDown) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t value = camera.WithChannel([](protocol::CommandChannel& c) {
            return protocol::scmd_get_camera_info(c, kUpsideDownRegister);
        });
        if (value != 0 && value != 1) return kResultFailed;
        UpsideDown = value == 1;
        return kResultOk;
    });
}

int16_t CKestCtrl::SetCameraUpsideDown(bool UpsideDown) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t status = 0;
        const int32_t r = camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_camera_info(c, kUpsideDownRegister, UpsideDown ? 1 : 0,
                                                  &status);
        });
        if (r != 0 && r != kRefused) return kResultFailed;
        return Map(kUpsideDownSet, status);
    });
}

int16_t CKestCtrl::GetCameraInformation(int16_t Register, int16_t& Data) {
    if (Register < 0 || Register > kLastRegister) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        // Data carries the register value or the command's error code.
        Data = int16_t(camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_get_camera_info(c, Register);
        }));
        return kResultOk;
    });
}

int16_t CKestCtrl::SetCameraInformation(int16_t Register, int16_t Data) {
    if (Register < 0 || Register > kLastRegister) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        int16_t status = 0;
        const int32_t r = camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_camera_info(c, Register, Data, &status);
        });
        if (r != 0 && r != kRefused) return kResultFailed;
        return Map(kInformationSet, status);
    });
}

int16_t CKestCtrl::SetCCDDefault() {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return Map(kRefusedByStatus, camera.WithChannel([](protocol::CommandChannel& c) {
            return protocol::scmd_set_ccd_default(c);
        }));
    });
}

// Motors.

int16_t CKestCtrl::GetMotorPosPulse(int16_t& Pan, int16_t& Tilt) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (!HasMotors(camera.model_code())) return kResultNotThisType;
        int16_t pan = 0, tilt = 0;
        int32_t r = camera.GetMotorPos(0, &pan);
        if (r == 0) r = camera.GetMotorPos(1, &tilt);
        if (r != 0) return Map(kRefusedByCommand, r);
        Pan = pan;
        Tilt = tilt;
        return kResultOk;
    });
}

int16_t CKestCtrl::GetMotorPos(int16_t& Pan, int16_t& Tilt) {
    if (!camera_) return kResultFailed;
    int16_t pan = 0, tilt = 0;
    if (int16_t r = GetMotorPosPulse(pan, tilt); r != kResultOk) return r;
    const int32_t type = camera_->model_code();
    if (!HasMotors(type)) return kResultNotThisType;
    Pan = DegreesOf(pan, MotorsOf(type));
    Tilt = DegreesOf(tilt, MotorsOf(type));
    return kResultOk;
}

int16_t CKestCtrl::MoveMotorPosPulse(int16_t Pan, int16_t Tilt, int16_t Speed) {
    if (!camera_) return kResultFailed;
    if (Speed < 0 || Speed > 4) return kResultBadThird;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t type = camera.model_code();
        if (!HasMotors(type)) return kResultNotThisType;
        const MotorRange& m = MotorsOf(type);
        if (Pan < -m.pan_pulses || Pan > m.pan_pulses) return kResultBadFirst;
        if (Tilt < m.tilt_pulses_min || Tilt > m.tilt_pulses_max) return kResultBadSecond;
        return Map(kRefusedByCommand, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_move_motor_pos(c, Pan, Tilt, Speed);
        }));
    });
}

int16_t CKestCtrl::MoveMotorPos(int16_t Pan, int16_t Tilt, int16_t Speed) {
    if (!camera_) return kResultFailed;
    if (Speed < 0 || Speed > 4) return kResultBadThird;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t type = camera.model_code();
        if (!HasMotors(type)) return kResultNotThisType;
        const MotorRange& m = MotorsOf(type);
        if (Pan < -m.pan_degrees || Pan > m.pan_degrees) return kResultBadFirst;
        if (Tilt < m.tilt_degrees_min || Tilt > m.tilt_degrees_max) return kResultBadSecond;
        // The pulse method runs on this session.
        return MoveMotorPosPulse(PulsesOf(Pan, m), PulsesOf(Tilt, m), Speed);
    });
}

int16_t CKestCtrl::SetMotorTableEntry(int16_t Index) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t type = camera.model_code();
        if (!HasMotors(type)) return kResultNotThisType;
        const bool wide = IsWideMotorType(type);
        if (Index < 0 || Index > (wide ? 9 : 5)) return kResultBadFirst;
        const auto failed = [](int32_t r) {
            return r == kRefused ? kResultRefused : kResultFailed;
        };
        int16_t pan = 0, tilt = 0;
        if (!wide) {
            protocol::MotorTable table;
            if (int32_t r = camera.GetMotorTable(&table); r != 0) return failed(r);
            if (int32_t r = camera.GetMotorPos(0, &pan); r != 0) return failed(r);
            if (int32_t r = camera.GetMotorPos(1, &tilt); r != 0) return failed(r);
            table.pans[size_t(Index)] = pan;
            table.tilts[size_t(Index)] = tilt;
            const int32_t r = camera.WithChannel([&](protocol::CommandChannel& c) {
                return protocol::scmd_set_motor_tbl(c, table);
            });
            return r == 0 ? kResultOk : failed(r);
        }
        protocol::ExMotorTable table{};
        protocol::LensRecord lens{};
        if (int32_t r = camera.GetExMotorTable(&table); r != 0) return failed(r);
        if (int32_t r = camera.GetMotorPos(0, &pan); r != 0) return failed(r);
        if (int32_t r = camera.GetMotorPos(1, &tilt); r != 0) return failed(r);
        if (int32_t r = camera.GetLens(&lens); r != 0) return failed(r);
        // Entry: pan, tilt, the seven lens values, two zero bytes.
        ByteWriter w(table.data() + size_t(Index) * kExEntryBytes, kExEntryBytes);
        w.U16(uint16_t(pan)).U16(uint16_t(tilt));
        for (int16_t v : lens)
            w.U16(uint16_t(v));
        w.U16(0);
        const int32_t r = camera.SetExMotorTable(&table);
        return r == 0 ? kResultOk : failed(r);
    });
}

int16_t CKestCtrl::MoveMotorTable(int16_t Index) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t type = camera.model_code();
        if (!HasMotors(type)) return kResultNotThisType;
        if (Index < 0 || Index > (IsWideMotorType(type) ? 9 : 5)) return kResultBadFirst;
        return Map(kRefusedByCommand, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_move_motor_tbl(c, Index, 0);
        }),
                   kResultStatus);
    });
}

int16_t CKestCtrl::GetMotorTableEntry(BufferRef MotorTable) {
    if (!FitsBuffer(MotorTable, protocol::MotorTable::kBytes)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (camera.model_code() != 0) return kResultFailed;
        protocol::MotorTable table;
        const int32_t r = camera.GetMotorTable(&table);
        if (r == 0) StoreTable(table, MotorTable.data);
        return MapTableResult(r);
    });
}

int16_t CKestCtrl::SetMotorTable(BufferRef MotorTable) {
    if (!FitsBuffer(MotorTable, protocol::MotorTable::kBytes)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (camera.model_code() != 0) return kResultFailed;
        const protocol::MotorTable table = LoadTable(MotorTable.data);
        return MapTableResult(camera.WithChannel(
            [&](protocol::CommandChannel& c) { return protocol::scmd_set_motor_tbl(c, table); }));
    });
}

int16_t CKestCtrl::GetExMotorTableEntry(BufferRef MotorTable) {
    if (!FitsBuffer(MotorTable, protocol::kExMotorTableBytes)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (!IsWideMotorType(camera.model_code())) return kResultFailed;
        protocol::ExMotorTable table{};
        const int32_t r = camera.GetExMotorTable(&table);
        if (r == 0) std::memcpy(MotorTable.data, table.data(), table.size());
        return MapTableResult(r);
    });
}

int16_t CKestCtrl::SetExMotorTable(BufferRef MotorTable) {
    if (!FitsBuffer(MotorTable, protocol::kExMotorTableBytes)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (!IsWideMotorType(camera.model_code())) return kResultFailed;
        protocol::ExMotorTable table{};
        std::memcpy(table.data(), MotorTable.data, table.size());
        return MapTableResult(camera.SetExMotorTable(&table));
    });
}

// Lens (types 3 and 13): each method reads the lens record first.

namespace {

template <typename Op>
int16_t WithLens(CKestCamera& camera, Op&& op) {
    const int32_t type = camera.model_code();
    if (!IsWideMotorType(type)) return kResultNotThisType;
    protocol::LensRecord lens{};
    const int32_t r = camera.GetLens(&lens);
    if (r != 0) return Map(kRefusedByCommand, r);
    return op(lens, type);
}

int16_t WriteLens(CKestCamera& camera, const protocol::LensWrite& values) {
    protocol::LensWrite now{};
    return Map(kRefusedByCommand, camera.SetLens(values, &now));
}

}  // namespace

int16_t CKestCtrl::GetZoomPositon(int16_t& ZoomPos) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return WithLens(camera, [&](const protocol::LensRecord& lens, int32_t type) {
            ZoomPos = ZoomPercentOf(lens[protocol::kLensZoom], type);
            return kResultOk;
        });
    });
}

int16_t CKestCtrl::SetZoomPosition(int16_t ZoomPos, int16_t Speed) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const int32_t type = camera.model_code();
        if (!IsWideMotorType(type)) return kResultNotThisType;
        if (ZoomPos < 0 || ZoomPos > 100) return kResultBadFirst;
        if (Speed < 0 || Speed > (type == 3 ? 1 : 0)) return kResultBadSecond;
        return WithLens(camera, [&](const protocol::LensRecord& lens, int32_t) {
            protocol::LensWrite w = LensWriteOf(lens);
            w[protocol::kLensSpeed] = Speed;
            w[protocol::kLensZoom] = ZoomRawOf(ZoomPos, type);
            return WriteLens(camera, w);
        });
    });
}

int16_t CKestCtrl::GetFocusPosition(int16_t& Mode, int16_t& Level) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return WithLens(camera, [&](const protocol::LensRecord& lens, int32_t) {
            Mode = lens[protocol::kLensFocusMode];
            Level = PercentOf(lens[protocol::kLensFocusLevel]);
            return kResultOk;
        });
    });
}

int16_t CKestCtrl::SetFocusPosition(int16_t Mode, int16_t ManualLevel) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (!IsWideMotorType(camera.model_code())) return kResultNotThisType;
        if (Mode != 0 && Mode != 1) return kResultBadFirst;
        if (Mode == 1 && (ManualLevel < 0 || ManualLevel > 100)) return kResultBadSecond;
        return WithLens(camera, [&](const protocol::LensRecord& lens, int32_t) {
            protocol::LensWrite w = LensWriteOf(lens);
            w[protocol::kLensFocusMode] = Mode;
            // In automatic mode the level is the camera's; it stays as read.
            if (Mode == 1) w[protocol::kLensFocusLevel] = RawOf(ManualLevel);
            return WriteLens(camera, w);
        });
    });
}

int16_t CKestCtrl::GetIrisLevel(int16_t& Mode, int16_t& AutoLevel, int16_t& ManualLevel) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return WithLens(camera, [&](const protocol::LensRecord& lens, int32_t) {
            Mode = lens[protocol::kLensIrisMode];
            AutoLevel = PercentOf(lens[protocol::kLensIrisAutoLevel]);
            ManualLevel = PercentOf(lens[protocol::kLensIrisManualLevel]);
            return kResultOk;
        });
    });
}

int16_t CKestCtrl::SetIrisLevel(int16_t Mode, int16_t AutoLevel, int16_t ManualLevel) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        if (!IsWideMotorType(camera.model_code())) return kResultNotThisType;
        if (Mode != 0 && Mode != 1) return kResultBadFirst;
        if (AutoLevel < 0 || AutoLevel > 100) return kResultBadSecond;
        if (ManualLevel < 0 || ManualLevel > 100) return kResultBadThird;
        return WithLens(camera, [&](const protocol::LensRecord& lens, int32_t) {
            protocol::LensRecord next = lens;
            next[protocol::kLensIrisMode] = Mode;
            next[protocol::kLensIrisAutoLevel] = RawOf(AutoLevel);
            next[protocol::kLensIrisManualLevel] = RawOf(ManualLevel);
            return WriteLens(camera, LensWriteOf(next));
        });
    });
}

// Motion detection.

int16_t CKestCtrl::SetMotionDetectInformation(int16_t MotionDetect, int16_t UpdateSec,
                                              int16_t DetectSec, int16_t Mask) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const protocol::MotionDetectInfo info{MotionDetect, UpdateSec, DetectSec, Mask};
        return Map(kDetectSet, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_motion_detect_info(c, info);
        }));
    });
}

int16_t CKestCtrl::GetMotionDetectInformation(int16_t& MotionDetect, int16_t& UpdateSec,
                                              int16_t& DetectSec, int16_t& Mask) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::MotionDetectInfo info;
        const int32_t status = camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_get_motion_detect_info(c, info);
        });
        if (status == 0) {
            MotionDetect = info.motion_detect;
            UpdateSec = info.update_sec;
            DetectSec = info.detect_sec;
            Mask = info.mask;
        }
        return Map(kDetectFull, status);
    });
}

int16_t CKestCtrl::SetAreaDetailInformation(int16_t y, int16_t Percent, int16_t DiffAverage) {
    // Each travels as one byte; a value that does not fit would arrive changed.
    if (y < 0 || y > 255) return kResultBadFirst;
    if (Percent < 0 || Percent > 255) return kResultBadSecond;
    if (DiffAverage < 0 || DiffAverage > 255) return kResultBadThird;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const protocol::AreaDetail detail{uint8_t(y), uint8_t(Percent), uint8_t(DiffAverage)};
        return Map(kDetectFull, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_area_detail_info(c, detail);
        }));
    });
}

int16_t CKestCtrl::GetAreaDetailInformation(int16_t& y, int16_t& Percent, int16_t& DiffAverage) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::AreaDetail detail;
        const int32_t status = camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_get_area_detail_info(c, detail);
        });
        if (status == 0) {
            y = detail.y;
            Percent = detail.percent;
            DiffAverage = detail.diff_average;
        }
        return Map(kStatus2Is6, status);
    });
}

int16_t CKestCtrl::UpdateMotionDetectBase() {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        return Map(kStatus2Is6, camera.WithChannel([](protocol::CommandChannel& c) {
            return protocol::scmd_update_motion_detect_base(c);
        }));
    });
}

int16_t CKestCtrl::SetSingleAreaInformation(int16_t Count, int16_t Enable) {
    if (Count < 0 || Count >= kAreaCount || (Enable != 0 && Enable != 1)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::AreaSet areas{};
        const int32_t status = camera.WithChannel(
            [&](protocol::CommandChannel& c) { return protocol::scmd_get_area_info(c, areas); });
        if (status != 0) return Map(kDetectFull, status);
        // Area n is bit n, least significant bit first.
        const uint8_t bit = uint8_t(1u << (Count % 8));
        uint8_t& byte = areas[size_t(Count / 8)];
        byte = Enable ? uint8_t(byte | bit) : uint8_t(byte & ~bit);
        return Map(kDetectFull, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_area_info(c, areas);
        }));
    });
}

int16_t CKestCtrl::SetAreaInformation(BufferRef Area) {
    if (!FitsBuffer(Area, protocol::kAreaBytes)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::AreaSet areas{};
        std::memcpy(areas.data(), Area.data, areas.size());
        return Map(kDetectFull, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_area_info(c, areas);
        }));
    });
}

int16_t CKestCtrl::GetAreaInformation(BufferRef Area) {
    if (!FitsBuffer(Area, protocol::kAreaBytes)) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::AreaSet areas{};
        const int32_t status = camera.WithChannel(
            [&](protocol::CommandChannel& c) { return protocol::scmd_get_area_info(c, areas); });
        if (status == 0) std::memcpy(Area.data, areas.data(), areas.size());
        return Map(kDetectFull, status);
    });
}

int16_t CKestCtrl::SetMotionDetectAction(int16_t AlarmOut, int16_t Position, int16_t StartFTP) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        const protocol::MotionAction action{AlarmOut, Position, StartFTP};
        return Map(kDetectFull, camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_set_motion_detect_action(c, action);
        }));
    });
}

int16_t CKestCtrl::GetMotionDetectAction(int16_t& AlarmOut, int16_t& Position, int16_t& StartFTP) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::MotionAction action;
        const int32_t status = camera.WithChannel([&](protocol::CommandChannel& c) {
            return protocol::scmd_get_motion_detect_action(c, action);
        });
        if (status == 0) {
            AlarmOut = action.alarm_out;
            Position = action.position;
            StartFTP = action.start_ftp;
        }
        return Map(kStatus2Is6, status);
    });
}

// Camera files.

int16_t CKestCtrl::GetLocalFilelist(int32_t& FileCount, const std::string& FilePass,
                                    int16_t BurstCount, int16_t BurstInterval) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::TransferOptions options{BurstCount, BurstInterval, transfer_progress_};
        protocol::TransferReport report;
        int32_t count = 0;
        const int32_t r = camera.FetchFileList(FilePass, &count, options, &report);
        const int16_t result = TransferResult(Map(kFileList, r), report);
        if (result == kResultOk) FileCount = count;
        return result;
    });
}

int16_t CKestCtrl::GetLocalRecFile(const std::string& Filename, int16_t BurstCount,
                                   int16_t BurstInterval, int32_t FileGetTimeOut) {
    // The camera's name field holds 31 characters and the NUL.
    if (Filename.size() >= protocol::kCameraFileNameField) return kResultBadArgument;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::TransferOptions options{BurstCount, BurstInterval, transfer_progress_};
        protocol::TransferReport report;
        const int32_t r = camera.FetchRecordedFile(Filename, FileGetTimeOut, options, &report);
        return TransferResult(Map(kStatus2Is6, r), report);
    });
}

int16_t CKestCtrl::SaveReferenceImage(const std::string& Filename) {
    if (Filename.empty()) return kResultBadFirst;
    return WithSession([&](CKestCamera& camera) -> int16_t {
        protocol::TransferOptions options{0, 0, transfer_progress_};
        protocol::TransferReport report;
        const int32_t r = camera.FetchReferencePicture(Filename, options, &report);
        return TransferResult(MapReferenceResult(r), report);
    });
}

}  // namespace kest
