// The imaging, motor, lens and motion-detection commands: one exchange each.
//
// Every function here is a command function: it runs on an open channel and
// returns the command's result (0 done, positive a value from the reply,
// negative an error). The accessors of CKestCamera check the session first.
#pragma once

#include <array>
#include <cstdint>

#include "control/protocol/transport.h"

namespace kest::protocol {

// The preset table: six entries, held as all pans, all tilts, all third values.
struct MotorTable {
    static constexpr size_t kEntries = 6;
    static constexpr size_t kBytes = 36;  // the host's buffer: the three arrays in order
    std::array<int16_t, kEntries> pans{};
    std::array<int16_t, kEntries> tilts{};
    std::array<int16_t, kEntries> thirds{};
};

// The extended preset table, carried without interpretation.
constexpr size_t kExMotorTableBytes = 200;
using ExMotorTable = std::array<uint8_t, kExMotorTableBytes>;

// The detection areas, carried without interpretation.
constexpr size_t kAreaBytes = 40;
using AreaSet = std::array<uint8_t, kAreaBytes>;

// The seven lens values in their wire order.
enum LensIndex : size_t {
    kLensSpeed = 0,  // used by the zoom only
    kLensZoom = 1,
    kLensFocusMode = 2,
    kLensFocusLevel = 3,
    kLensIrisMode = 4,
    kLensIrisAutoLevel = 5,
    kLensIrisManualLevel = 6,
};
using LensRecord = std::array<int16_t, 7>;
// What scmd_set_zfi carries: values 1 to 5, then the auto or the manual iris level.
using LensWrite = std::array<int16_t, 6>;

struct MotionDetectInfo {
    int16_t motion_detect = 0;
    int16_t update_sec = 0;
    int16_t detect_sec = 0;
    int16_t mask = 0;
};

struct AreaDetail {
    uint8_t y = 0;
    uint8_t percent = 0;
    uint8_t diff_average = 0;
};

struct MotionAction {
    int16_t alarm_out = 0;
    int16_t position = 0;
    int16_t start_ftp = 0;
};

// Motors. Axis 0 is pan, 1 tilt.
int32_t scmd_get_motor_pos(CommandChannel& channel, int16_t axis, int16_t& position);
int32_t scmd_get_motor_tbl(CommandChannel& channel, MotorTable& table);
int32_t scmd_set_motor_tbl(CommandChannel& channel, const MotorTable& table);
int32_t scmd_move_motor_tbl(CommandChannel& channel, int16_t entry, int16_t zero);
int32_t scmd_move_motor_pos(CommandChannel& channel, int16_t pan, int16_t tilt, int16_t speed);
int32_t cl_get_exmotor_tbl(CommandChannel& channel, ExMotorTable& table);
int32_t cl_set_exmotor_tbl(CommandChannel& channel, const ExMotorTable& table);

// Camera information registers. The set function gives -2 for any positive
// status; status, when given, receives the reply's status itself (untouched
// without a reply) so a method can tell the refusals apart.
int32_t scmd_set_camera_info(CommandChannel& channel, int16_t reg, int16_t data,
                             int16_t* status = nullptr);
// The register's value (0 to 65535), or -2 when refused, -1 without reply.
int32_t scmd_get_camera_info(CommandChannel& channel, int16_t reg);
int32_t scmd_set_ccd_default(CommandChannel& channel);

// The camera's frame-rate indexes: the pause between picture requests and
// the frames per second of each. Any other index is refused.
struct FrameRate {
    int16_t code;         // the camera's frame-rate index
    int16_t interval_ms;  // pause between picture requests
    int16_t frames_per_second;
};
// The row of a frame-rate index, or of a number of frames per second; null
// when there is none.
const FrameRate* FrameRateOfCode(int32_t code);
const FrameRate* FrameRateOfFramesPerSecond(int32_t frames_per_second);

// Picture parameters.
int32_t scmd_set_jpeg_mode(CommandChannel& channel, int16_t picture_mode, int16_t rate_index,
                           int16_t* status = nullptr);
int32_t scmd_set_frame_size(CommandChannel& channel, int16_t width, int16_t height);
int32_t scmd_set_scale_factor(CommandChannel& channel, int16_t code);
// The scale factor code (0 to 65535), -2 when refused.
int32_t scmd_get_scale_factor(CommandChannel& channel);
int32_t scmd_get_capt_speed(CommandChannel& channel, int16_t& rate_index);
int32_t scmd_get_capt_size(CommandChannel& channel, int16_t& width, int16_t& height);
int32_t scmd_get_image_mode(CommandChannel& channel, int16_t& mode);
int32_t scmd_set_image_mode(CommandChannel& channel, int16_t mode);

// Motion detection. The functions that return the status leave the reading
// of it to the method.
int32_t scmd_set_motion_detect_info(CommandChannel& channel, const MotionDetectInfo& info);
int32_t scmd_get_motion_detect_info(CommandChannel& channel, MotionDetectInfo& info);
int32_t scmd_set_area_info(CommandChannel& channel, const AreaSet& areas);
int32_t scmd_get_area_info(CommandChannel& channel, AreaSet& areas);
int32_t scmd_set_area_detail_info(CommandChannel& channel, const AreaDetail& detail);
int32_t scmd_get_area_detail_info(CommandChannel& channel, AreaDetail& detail);
int32_t scmd_update_motion_detect_base(CommandChannel& channel);
int32_t scmd_set_motion_detect_action(CommandChannel& channel, const MotionAction& action);
int32_t scmd_get_motion_detect_action(CommandChannel& channel, MotionAction& action);

// Lens. The set function hands back the six values as the camera now holds them.
int32_t get_zfi(CommandChannel& channel, LensRecord& lens);
int32_t scmd_set_zfi(CommandChannel& channel, const LensWrite& values, LensWrite& now);

}  // namespace kest::protocol
