// Camera-state comparison and its notifications, and the events they become.
#include "control/stream/camera_state.h"

#include <gtest/gtest.h>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"

namespace kest {
namespace {

std::vector<std::pair<uint32_t, int32_t>> Items(const StatusReport& r) {
    std::vector<std::pair<uint32_t, int32_t>> out;
    for (size_t i = 0; i < r.count; ++i)
        out.emplace_back(r.items[i].kind, r.items[i].value);
    return out;
}

FrameState Frame(uint16_t w, uint16_t h) {
    FrameState f;
    f.width = w;
    f.height = h;
    f.quality = 4;
    f.pan = -5;
    f.tilt = 10;
    f.zoom = 234;
    return f;
}

struct Compare {
    ReportedState reported;
    int16_t reported_motion = 0;
    int32_t frame_counter = 7;
    StatusReport operator()(FrameState f, int16_t motion = 0, int32_t version = 20,
                            int32_t model = 11) {
        return CompareCameraState(f, reported, motion, reported_motion, version, model,
                                  frame_counter);
    }
};

TEST(CameraState, FirstFrameReportsEveryKindOnceAndAnEqualFrameNothing) {
    Compare compare;
    const auto first = Items(compare(Frame(704, 480)));
    const std::vector<std::pair<uint32_t, int32_t>> expected = {
        {1, 0}, {2, 4}, {3, 0}, {5, int32_t(0xFFFB000A)}, {4, 0}, {6, 0}, {7, 0}, {8, 234}, {9, 0}};
    EXPECT_EQ(first, expected);
    EXPECT_TRUE(Items(compare(Frame(704, 480))).empty());
}

TEST(CameraState, RangesAndClasses) {
    Compare compare;
    FrameState f = Frame(400, 300);  // no size class
    f.quality = 9;                   // never reported
    f.reverse = 2;                   // never reported
    for (auto [kind, value] : Items(compare(f))) {
        EXPECT_NE(kind, 1u);
        EXPECT_NE(kind, 2u);
        EXPECT_NE(kind, 3u);
    }
    EXPECT_EQ(SizeClass(176, 112), 2);
    EXPECT_EQ(SizeClass(176, 120), -1);
    EXPECT_EQ(SizeClass(352, 240), 1);
    f = Frame(160, 120);
    f.quality = 0;
    const auto items = Items(compare(f));
    EXPECT_EQ(items[0], (std::pair<uint32_t, int32_t>{1, 2}));
    EXPECT_EQ(items[1], (std::pair<uint32_t, int32_t>{2, 0}));
}

TEST(CameraState, MotorStartBeforeThePositionAndStopAfterIt) {
    Compare compare;
    compare(Frame(640, 480));
    FrameState moving = Frame(640, 480);
    moving.motor_moving = 1;
    moving.pan = 20;
    EXPECT_EQ(Items(compare(moving)),
              (std::vector<std::pair<uint32_t, int32_t>>{{4, 1}, {5, 20 << 16 | 10}}));
    FrameState stopped = moving;
    stopped.motor_moving = 0;
    stopped.pan = 30;
    EXPECT_EQ(Items(compare(stopped)),
              (std::vector<std::pair<uint32_t, int32_t>>{{5, 30 << 16 | 10}, {4, 0}}));
}

TEST(CameraState, ZoomOnModelThreeAndTheMotionFlag) {
    Compare compare;
    auto items = Items(compare(Frame(640, 480), 1, 20, 3));
    EXPECT_NE(std::find(items.begin(), items.end(), std::pair<uint32_t, int32_t>{8, 100}),
              items.end());
    EXPECT_EQ(items.back(), (std::pair<uint32_t, int32_t>{11, 1}));
    FrameState zero = Frame(640, 480);
    zero.zoom = 0;
    EXPECT_EQ(Items(compare(zero, 1, 20, 3)), (std::vector<std::pair<uint32_t, int32_t>>{{8, 0}}));
}

TEST(CameraState, VersionTenClearsLimitsAndCounterOnMovement) {
    Compare compare;
    FrameState f = Frame(640, 480);
    f.pan_limit = 1;
    f.tilt_limit = 1;
    const auto items = Items(compare(f, 0, 10));
    EXPECT_EQ(compare.frame_counter, 0);
    // Cleared before their own steps, so both limits report 0.
    EXPECT_NE(std::find(items.begin(), items.end(), std::pair<uint32_t, int32_t>{6, 0}),
              items.end());
}

struct Names : _DKestEvents {
    std::vector<std::string> names;
    std::vector<std::vector<Variant>> args;
    void OnEvent(const MemberInfo& e, std::span<const Variant> a) override {
        names.push_back(e.name);
        args.emplace_back(a.begin(), a.end());
    }
};

TEST(CameraState, ReportsBecomeEventsOnTheHostThread) {
    platform::EventLoop loop;
    CKestCtrl ctrl;
    ctrl.AttachWindow(loop.CreateWindow(&ctrl));
    Names sink;
    ctrl.Advise(&sink);
    CKestCamera& camera = *ctrl.camera();
    camera.frame_state() = Frame(320, 240);
    camera.ReportCameraState();
    camera.ReportMpegMode();
    loop.RunPending();
    const std::vector<std::string> expected = {
        "ChangeFrameSize",     "ChangeQuality",  "ChangeUpsideDown", "ChangePanTilt",
        "ChangeMotorMoving",   "ChangePanLimit", "ChangeTiltLimit",  "ChangeZoomPosition",
        "ChangeInitialMoving", "MpegMode"};
    EXPECT_EQ(sink.names, expected);
    EXPECT_EQ(sink.args[0], (std::vector<Variant>{Variant::I2(320), Variant::I2(240)}));
    EXPECT_EQ(sink.args[1], (std::vector<Variant>{Variant::I2(5)}));
    EXPECT_EQ(sink.args[3], (std::vector<Variant>{Variant::I2(-5), Variant::I2(10)}));
    ctrl.Unadvise(&sink);
}

}  // namespace
}  // namespace kest
