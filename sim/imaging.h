// The simulated camera's imaging, motor, lens and motion-detection state and
// the commands that read and change it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>

#include "sim/simulator.h"

namespace kest::sim {

struct ImagingState {
    // Pan and tilt in motor pulses; a move runs toward its target at the
    // requested speed and stops at the model's limits.
    double pan = 0, tilt = 0;
    double target_pan = 0, target_tilt = 0;
    int speed = 0;
    uint64_t moved_us = 0;  // time of the last update of the position

    // Preset tables: six entries (pan, tilt, third value); the extended table
    // (ten entries of 20 bytes) on model codes 3 and 13.
    std::array<int16_t, 6> preset_pan{}, preset_tilt{}, preset_third{};
    std::array<uint8_t, 200> ex_table{};

    // Lens record: speed, zoom, focus mode, focus level, iris mode, iris auto
    // and manual levels.
    std::array<int16_t, 7> lens{0, 6, 0, 128, 0, 128, 128};

    std::array<int16_t, 31> registers{};  // camera information; 7 is upside down
    int16_t picture_mode = 2;
    int16_t rate_index = 0;
    int16_t width = 640, height = 480;
    bool report_size_codes = true;  // scmd_get_capt_size answers 176, 352 or 704
    int16_t scale_factor = 34;
    int16_t image_mode = 0;
    int16_t motion_detect = 0, update_sec = 10, detect_sec = 5, mask = 0;
    std::array<uint8_t, 40> areas{};
    uint8_t area_y = 0, area_percent = 0, area_diff_average = 0;
    int update_base_count = 0;
    int16_t alarm_out = 0, position = 0, start_ftp = 0;
    int ccd_defaults = 0;

    // A forced answer per command code: the status, or for scmd_set_frame_size
    // and scmd_set_scale_factor the result field the client reads.
    std::map<uint16_t, int16_t> forced;
    std::set<uint16_t> silent;  // commands that get no reply at all

    // Pulses per second of a motor speed (0 to 4).
    static double PulsesPerSecond(int speed) { return 250.0 * (speed + 1); }
};

struct MotorLimits {
    int16_t pan;  // symmetric
    int16_t tilt_min, tilt_max;
};
MotorLimits LimitsOf(int model_code);

// Moves the motors to where they stand at now_us.
void AdvanceMotors(ImagingState& s, int model_code, uint64_t now_us);

void RegisterImaging(Simulator& sim);

}  // namespace kest::sim
