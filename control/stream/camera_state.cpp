#include "control/stream/camera_state.h"

namespace kest {

int SizeClass(uint16_t width, uint16_t height) {
    if ((width == 640 || width == 704) && height == 480) return 0;
    if ((width == 320 || width == 352) && height == 240) return 1;
    if ((width == 160 && height == 120) || (width == 176 && height == 112)) return 2;
    return -1;
}

StatusReport CompareCameraState(FrameState& frame, ReportedState& reported, int16_t motion,
                                int16_t& reported_motion, int32_t version, int32_t model,
                                int32_t& frame_counter) {
    StatusReport report;
    const int size_class = SizeClass(frame.width, frame.height);
    if (size_class >= 0 && uint16_t(size_class) != reported.size_class) {
        reported.size_class = uint16_t(size_class);
        report.Add(kStatusFrameSize, size_class);
    }
    if (frame.quality <= 8 && frame.quality != reported.quality) {
        reported.quality = frame.quality;
        report.Add(kStatusQuality, frame.quality);
    }
    if (frame.reverse <= 1 && frame.reverse != reported.reverse) {
        reported.reverse = frame.reverse;
        report.Add(kStatusUpsideDown, frame.reverse);
    }
    // A start of movement is reported before the new position, a stop after it.
    if (frame.motor_moving == 1 && reported.motor_moving != 1) {
        reported.motor_moving = 1;
        report.Add(kStatusMotorMoving, 1);
    }
    if (frame.pan != reported.pan || frame.tilt != reported.tilt) {
        reported.pan = frame.pan;
        reported.tilt = frame.tilt;
        report.Add(kStatusPanTilt,
                   int32_t(uint32_t(uint16_t(frame.pan)) << 16 | uint16_t(frame.tilt)));
        if (version == 10) {
            frame_counter = 0;
            frame.pan_limit = 0;
            frame.tilt_limit = 0;
        }
    }
    if (frame.motor_moving == 0 && reported.motor_moving != 0) {
        reported.motor_moving = 0;
        report.Add(kStatusMotorMoving, 0);
    }
    const int16_t pan_limit = frame.pan_limit ? 1 : 0;
    if (pan_limit != reported.pan_limit) {
        reported.pan_limit = pan_limit;
        report.Add(kStatusPanLimit, pan_limit);
    }
    const int16_t tilt_limit = frame.tilt_limit ? 1 : 0;
    if (tilt_limit != reported.tilt_limit) {
        reported.tilt_limit = tilt_limit;
        report.Add(kStatusTiltLimit, tilt_limit);
    }
    if (frame.zoom != reported.zoom) {
        reported.zoom = frame.zoom;
        int32_t value = frame.zoom;
        if (model == 3) value = frame.zoom == 0 ? 0 : (frame.zoom - 6) * 100 / 228;
        report.Add(kStatusZoom, value);
    }
    if (frame.initial_moving != reported.initial_moving) {
        reported.initial_moving = frame.initial_moving;
        report.Add(kStatusInitialMoving, frame.initial_moving);
    }
    if (motion != reported_motion) {
        reported_motion = motion;
        report.Add(kStatusMotionDetection, motion);
    }
    return report;
}

}  // namespace kest
