// The camera's state carried by every picture, compared with what was last
// reported: each change becomes a status notification (kind, value) that the
// control turns into a Change... event.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kest {

// The per-frame state, taken from the first packet of each frame.
struct FrameState {
    int16_t pan = 0;
    int16_t tilt = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t reverse = 0;
    uint16_t quality = 0;
    uint16_t sampling = 0;
    int16_t pan_limit = 0;
    int16_t tilt_limit = 0;
    int16_t motor_moving = 0;
    int16_t zoom = 0;
    int16_t initial_moving = 0;
};

// Values last reported; reset at every session open.
struct ReportedState {
    uint16_t size_class = 0xFFFF;
    uint16_t quality = 0xFFFF;
    uint16_t reverse = 0xFFFF;
    int16_t pan = 32767;
    int16_t tilt = 32767;
    int16_t pan_limit = -1;
    int16_t tilt_limit = -1;
    int16_t motor_moving = -1;
    int16_t zoom = -1;
    int16_t initial_moving = -1;
};

enum StatusKind : uint32_t {
    kStatusMpegMode = 0,
    kStatusFrameSize = 1,
    kStatusQuality = 2,
    kStatusUpsideDown = 3,
    kStatusMotorMoving = 4,
    kStatusPanTilt = 5,
    kStatusPanLimit = 6,
    kStatusTiltLimit = 7,
    kStatusZoom = 8,
    kStatusInitialMoving = 9,
    kStatusEndDownloading = 10,
    kStatusMotionDetection = 11,
};

struct StatusNotification {
    uint32_t kind;
    int32_t value;
};

// At most one notification per kind 1 to 9 and 11 (motor moving twice).
struct StatusReport {
    std::array<StatusNotification, 12> items{};
    size_t count = 0;
    void Add(uint32_t kind, int32_t value) { items[count++] = {kind, value}; }
};

// The size class of a frame (0 large, 1 middle, 2 small), or -1 for none.
int SizeClass(uint16_t width, uint16_t height);

// Compares the frame's state with the reported one in the reporting order,
// stores what changed and returns the notifications. version and model are the
// session's; with version number 10 a change of position also clears the frame
// counter and the limit flags of the frame state.
StatusReport CompareCameraState(FrameState& frame, ReportedState& reported, int16_t motion,
                                int16_t& reported_motion, int32_t version, int32_t model,
                                int32_t& frame_counter);

}  // namespace kest
