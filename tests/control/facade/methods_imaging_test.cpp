// The imaging, motor, lens, motion-detection and camera-file methods end to
// end against the in-process simulator: checks, conversions, what reaches the
// camera, and the result of every kind of answer.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <fstream>
#include <iterator>

#include "control/facade/ctrl.h"
#include "platform/ticks.h"
#include "sim/imaging.h"
#include "sim/memory_card.h"
#include "sim/simulator.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

using sim::ImagingState;
using sim::MemoryCardState;

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ImagingMethodsTest : public ::testing::Test {
  protected:
    void Start(int model) {
        sim_.reset();
        sim::SimConfig config;
        config.port = 0;
        config.model_code = model;
        sim_ = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        ctrl_.SetRemoteIPAddress("127.0.0.1");
        ctrl_.SetCameraPort(sim_->port());
        ctrl_.SetTimeout(200);
    }
    template <typename F>
    auto Imaging(F f) {
        std::lock_guard lock(sim_->state_mutex());
        return f(sim_->State<ImagingState>());
    }
    template <typename F>
    auto Card(F f) {
        std::lock_guard lock(sim_->state_mutex());
        return f(sim_->State<MemoryCardState>());
    }
    // The last request with this code.
    sim::Datagram Last(uint16_t code) const {
        sim::Datagram found;
        for (const sim::Datagram& d : sim_->Received())
            if (d.code() == code) found = d;
        return found;
    }
    static int16_t At(const sim::Datagram& d, size_t offset) {
        return offset + 2 <= d.bytes.size() ? int16_t(LoadU16(&d.bytes[offset])) : -32768;
    }

    test::ScopedTempDir dir_;
    std::unique_ptr<sim::Simulator> sim_;
    CKestCtrl ctrl_;
};

TEST_F(ImagingMethodsTest, FrameRateFourIsForTypeElevenOnly) {
    Start(11);
    // Until a version reply names the type, the control knows type 0.
    EXPECT_EQ(ctrl_.SetCameraFrameRate(4), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
    int16_t type = 0, version = 0;
    ASSERT_EQ(ctrl_.GetVersion(type, version), kResultOk);
    EXPECT_EQ(ctrl_.SetCameraFrameRate(4), kResultOk);
    EXPECT_EQ(At(Last(112), 14), 8);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.rate_index; }), 8);
    EXPECT_EQ(ctrl_.camera()->frame_interval(), 250);

    // Another camera behind the address: its own version reply counts.
    Start(0);
    EXPECT_EQ(ctrl_.SetCameraFrameRate(4), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(112), 0u);
    EXPECT_EQ(ctrl_.SetCameraFrameRate(15), kResultOk);
    EXPECT_EQ(At(Last(112), 14), 1);
    // Now the type is known: no traffic for a rate it does not take.
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.SetCameraFrameRate(7), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);

    // Rates outside the table are refused before anything is sent.
    sim_->ClearReceived();
    for (int16_t rate : {0, 9, 31, -1})
        EXPECT_EQ(ctrl_.SetCameraFrameRate(rate), kResultBadFirst) << rate;
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
}

TEST_F(ImagingMethodsTest, FrameRateResultsFollowTheStatus) {
    Start(11);
    Imaging([](ImagingState& s) { s.forced[112] = 1; });
    EXPECT_EQ(ctrl_.SetCameraFrameRate(30), kResultRefused);
    Imaging([](ImagingState& s) { s.forced[112] = 3; });
    EXPECT_EQ(ctrl_.SetCameraFrameRate(30), kResultFailed);
    Imaging([](ImagingState& s) {
        s.forced.erase(112);
        s.silent.insert(112);
    });
    EXPECT_EQ(ctrl_.SetCameraFrameRate(30), kResultFailed);
}

TEST_F(ImagingMethodsTest, ReadFrameRateConvertsEveryCode) {
    Start(0);
    int16_t rate = 0;
    Imaging([](ImagingState& s) { s.rate_index = 8; });
    EXPECT_EQ(ctrl_.GetCameraFrameRate(rate), kResultOk);
    EXPECT_EQ(rate, 4);
    Imaging([](ImagingState& s) { s.rate_index = 29; });
    EXPECT_EQ(ctrl_.GetCameraFrameRate(rate), kResultOk);
    EXPECT_EQ(rate, 1);
    rate = 77;
    Imaging([](ImagingState& s) { s.rate_index = 7; });
    EXPECT_EQ(ctrl_.GetCameraFrameRate(rate), kResultStatus);
    EXPECT_EQ(rate, 77);
    Imaging([](ImagingState& s) { s.forced[118] = 1; });
    EXPECT_EQ(ctrl_.GetCameraFrameRate(rate), kResultFailed);
}

TEST_F(ImagingMethodsTest, FrameSizeCodesAndChecks) {
    Start(11);
    EXPECT_EQ(ctrl_.SetFrameSize(352, 240), kResultOk);
    const sim::Datagram d = Last(113);
    EXPECT_EQ(At(d, 12), 320);
    EXPECT_EQ(At(d, 14), 240);
    EXPECT_EQ(ctrl_.camera()->frame_size_code(), 1);
    EXPECT_EQ(ctrl_.SetFrameSize(176, 112), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.width; }), 160);

    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.SetFrameSize(352, 288), kResultBadSecond);
    EXPECT_EQ(ctrl_.SetFrameSize(800, 600), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);

    Imaging([](ImagingState& s) { s.forced[113] = 0; });
    EXPECT_EQ(ctrl_.SetFrameSize(640, 480), kResultFailed);
    EXPECT_EQ(ctrl_.camera()->frame_size_code(), 2);  // stored all the same

    int16_t w = 0, h = 0;
    Imaging([](ImagingState& s) { s.width = 320, s.height = 240; });
    EXPECT_EQ(ctrl_.GetFrameSize(w, h), kResultOk);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    Imaging([](ImagingState& s) { s.width = 640, s.height = 480, s.report_size_codes = false; });
    EXPECT_EQ(ctrl_.GetFrameSize(w, h), kResultOk);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    Imaging([](ImagingState& s) { s.width = 800; });
    EXPECT_EQ(ctrl_.GetFrameSize(w, h), kResultFailed);
    // A camera that does not answer reports no size at all.
    w = h = 0;
    Imaging([](ImagingState& s) { s.silent.insert(119); });
    EXPECT_EQ(ctrl_.GetFrameSize(w, h), kResultFailed);
    EXPECT_EQ(w, 0);
}

TEST_F(ImagingMethodsTest, CompressionRateTable) {
    Start(11);
    EXPECT_EQ(ctrl_.SetCompressionRate(6), kResultOk);
    EXPECT_EQ(At(Last(116), 12), 5);
    int16_t rate = 0;
    Imaging([](ImagingState& s) { s.scale_factor = 22; });
    EXPECT_EQ(ctrl_.GetCompressionRate(rate), kResultOk);
    EXPECT_EQ(rate, 4);
    EXPECT_EQ(ctrl_.camera()->scale_factor_code(), 22);
    Imaging([](ImagingState& s) { s.scale_factor = 23; });
    EXPECT_EQ(ctrl_.GetCompressionRate(rate), kResultFailed);
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.SetCompressionRate(0), kResultBadFirst);
    EXPECT_EQ(ctrl_.SetCompressionRate(8), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
    Imaging([](ImagingState& s) { s.forced[116] = 2; });
    EXPECT_EQ(ctrl_.SetCompressionRate(1), kResultFailed);
}

TEST_F(ImagingMethodsTest, MoveInDegreesConvertsByTypeAndChecksRanges) {
    Start(3);
    EXPECT_EQ(ctrl_.MoveMotorPos(160, -90, 0), kResultOk);
    sim::Datagram d = Last(37);
    EXPECT_EQ(At(d, 12), 522);
    EXPECT_EQ(At(d, 14), -294);
    EXPECT_EQ(At(d, 16), 0);
    EXPECT_EQ(sim_->ReceivedCount(0), 1u);  // one session for both steps

    Start(0);
    EXPECT_EQ(ctrl_.MoveMotorPos(160, -90, 0), kResultBadFirst);
    EXPECT_EQ(ctrl_.MoveMotorPos(50, -76, 0), kResultBadSecond);
    EXPECT_EQ(sim_->ReceivedCount(37), 0u);
    EXPECT_EQ(ctrl_.MoveMotorPos(-50, 5, 4), kResultOk);
    d = Last(37);
    EXPECT_EQ(At(d, 12), -222);  // trunc(-50 / 0.225)
    EXPECT_EQ(At(d, 14), 22);
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.MoveMotorPos(0, 0, 5), kResultBadThird);
    EXPECT_EQ(ctrl_.MoveMotorPosPulse(0, 0, -1), kResultBadThird);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
    EXPECT_EQ(ctrl_.MoveMotorPosPulse(223, 0, 0), kResultBadFirst);
    EXPECT_EQ(ctrl_.MoveMotorPosPulse(0, 23, 0), kResultBadSecond);
    EXPECT_EQ(sim_->ReceivedCount(37), 0u);
    Imaging([](ImagingState& s) { s.forced[37] = 1; });
    EXPECT_EQ(ctrl_.MoveMotorPosPulse(0, 0, 0), kResultRefused);

    Start(11);
    EXPECT_EQ(ctrl_.MoveMotorPos(0, 0, 0), kResultNotThisType);
    int16_t pan = 0, tilt = 0;
    EXPECT_EQ(ctrl_.GetMotorPos(pan, tilt), kResultNotThisType);
    EXPECT_EQ(sim_->ReceivedCount(33), 0u);
}

TEST_F(ImagingMethodsTest, PositionInDegreesRoundsHalfAwayFromZero) {
    Start(0);
    Imaging([](ImagingState& s) { s.pan = s.target_pan = -3, s.tilt = s.target_tilt = 2; });
    int16_t pan = 0, tilt = 0;
    EXPECT_EQ(ctrl_.GetMotorPos(pan, tilt), kResultOk);
    EXPECT_EQ(pan, -1);  // -0.675
    EXPECT_EQ(tilt, 0);  // 0.45
    EXPECT_EQ(ctrl_.camera()->motor_state(), 1);
    EXPECT_EQ(ctrl_.GetMotorPosPulse(pan, tilt), kResultOk);
    EXPECT_EQ(pan, -3);
    EXPECT_EQ(tilt, 2);

    Start(13);
    Imaging([](ImagingState& s) { s.pan = s.target_pan = 100, s.tilt = s.target_tilt = -100; });
    EXPECT_EQ(ctrl_.GetMotorPos(pan, tilt), kResultOk);
    EXPECT_EQ(pan, 31);    // 30.6
    EXPECT_EQ(tilt, -31);  // -30.6
    Imaging([](ImagingState& s) { s.forced[33] = 1; });
    EXPECT_EQ(ctrl_.GetMotorPos(pan, tilt), kResultRefused);
    EXPECT_EQ(sim_->ReceivedCount(33), 3u);  // stops at the first failure
}

TEST_F(ImagingMethodsTest, MotorsRunToTheirTargetAndStopAtTheLimits) {
    Start(0);
    auto* camera = ctrl_.camera();
    ASSERT_EQ(camera->OpenSession("127.0.0.1", sim_->port()), 0);
    // Asked past the limits (straight on the wire, the method would refuse).
    ASSERT_EQ(camera->WithChannel([](protocol::CommandChannel& c) {
        return protocol::scmd_move_motor_pos(c, 999, -999, 4);
    }),
              0);
    int16_t pan = 0, tilt = 0;
    int16_t first_pan = 0;
    bool first = true;
    const uint32_t start = platform::TickCount();
    while (platform::TickCount() - start < 10000) {
        ASSERT_EQ(ctrl_.GetMotorPosPulse(pan, tilt), kResultOk);
        if (first) first_pan = pan, first = false;
        if (pan == 222 && tilt == -333) break;
        platform::SleepMs(20);
    }
    EXPECT_LT(first_pan, 222);  // it moves, it does not jump
    EXPECT_EQ(pan, 222);
    EXPECT_EQ(tilt, -333);
    camera->CloseSession();
}

TEST_F(ImagingMethodsTest, PresetEntriesOfBothTableKinds) {
    Start(0);
    Imaging([](ImagingState& s) {
        s.pan = s.target_pan = 10, s.tilt = s.target_tilt = -20;
        s.preset_third[2] = 7;
    });
    EXPECT_EQ(ctrl_.SetMotorTableEntry(2), kResultOk);
    Imaging([](ImagingState& s) {
        EXPECT_EQ(s.preset_pan[2], 10);
        EXPECT_EQ(s.preset_tilt[2], -20);
        EXPECT_EQ(s.preset_third[2], 7);
        EXPECT_EQ(s.preset_pan[1], 0);
    });
    EXPECT_EQ(ctrl_.SetMotorTableEntry(6), kResultBadFirst);
    EXPECT_EQ(ctrl_.MoveMotorTable(6), kResultBadFirst);
    EXPECT_EQ(ctrl_.MoveMotorTable(2), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.target_pan; }), 10);
    Imaging([](ImagingState& s) { s.forced[36] = 1; });
    EXPECT_EQ(ctrl_.MoveMotorTable(2), kResultRefused);
    Imaging([](ImagingState& s) { s.forced[36] = 2; });
    EXPECT_EQ(ctrl_.MoveMotorTable(2), kResultRefused);
    Imaging([](ImagingState& s) { s.silent.insert(36); });
    EXPECT_EQ(ctrl_.MoveMotorTable(2), kResultStatus);
    Imaging([](ImagingState& s) { s.forced[34] = 1; });
    EXPECT_EQ(ctrl_.SetMotorTableEntry(1), kResultRefused);
    EXPECT_EQ(sim_->ReceivedCount(35), 1u);

    // Types 3 and 13: pan, tilt and the lens record in a 20-byte entry.
    Start(13);
    Imaging([](ImagingState& s) {
        s.pan = s.target_pan = -400, s.tilt = s.target_tilt = -100;
        s.lens = {1, 2, 3, 4, 5, 6, 7};
        s.ex_table.fill(0xAA);
    });
    EXPECT_EQ(ctrl_.SetMotorTableEntry(9), kResultOk);
    Imaging([](ImagingState& s) {
        ByteReader r(s.ex_table.data() + 180, 20);
        EXPECT_EQ(r.I16(), -400);
        EXPECT_EQ(r.I16(), -100);
        for (int i = 1; i <= 7; ++i)
            EXPECT_EQ(r.I16(), i);
        EXPECT_EQ(r.U16(), 0);
        EXPECT_EQ(s.ex_table[179], 0xAA);  // the other entries untouched
    });
    EXPECT_EQ(ctrl_.SetMotorTableEntry(10), kResultBadFirst);
    EXPECT_EQ(ctrl_.MoveMotorTable(9), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.target_pan; }), -400);
    Start(20);
    EXPECT_EQ(ctrl_.SetMotorTableEntry(0), kResultNotThisType);
    EXPECT_EQ(ctrl_.MoveMotorTable(0), kResultNotThisType);
}

TEST_F(ImagingMethodsTest, PresetTablesThroughBuffers) {
    Start(0);
    Imaging([](ImagingState& s) {
        for (size_t i = 0; i < 6; ++i)
            s.preset_pan[i] = int16_t(i + 1), s.preset_tilt[i] = int16_t(-int(i)),
            s.preset_third[i] = int16_t(50 + i);
    });
    uint8_t buf[36] = {};
    EXPECT_EQ(ctrl_.GetMotorTableEntry({buf, sizeof buf}), kResultOk);
    ByteReader r(buf, sizeof buf);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(r.I16(), i + 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(r.I16(), -i);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(r.I16(), 50 + i);
    StoreU16(buf, 321);
    StoreU16(buf + 12, uint16_t(-9));
    EXPECT_EQ(ctrl_.SetMotorTable({buf, sizeof buf}), kResultOk);
    Imaging([](ImagingState& s) {
        EXPECT_EQ(s.preset_pan[0], 321);
        EXPECT_EQ(s.preset_tilt[0], -9);
    });
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.GetMotorTableEntry({buf, 35}), kResultBadArgument);
    EXPECT_EQ(ctrl_.SetMotorTable({nullptr, 36}), kResultBadArgument);
    EXPECT_EQ(ctrl_.GetExMotorTableEntry({buf, sizeof buf}), kResultBadArgument);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
    uint8_t ex[200] = {};
    EXPECT_EQ(ctrl_.GetExMotorTableEntry({ex, sizeof ex}), kResultFailed);  // type 0
    Imaging([](ImagingState& s) { s.forced[34] = 1; });
    EXPECT_EQ(ctrl_.GetMotorTableEntry({buf, sizeof buf}), kResultRefused);
    Imaging([](ImagingState& s) { s.silent.insert(34); });
    EXPECT_EQ(ctrl_.GetMotorTableEntry({buf, sizeof buf}), kResultNotThisType);

    Start(3);
    for (size_t i = 0; i < sizeof ex; ++i)
        ex[i] = uint8_t(i);
    EXPECT_EQ(ctrl_.SetExMotorTable({ex, sizeof ex}), kResultOk);
    uint8_t back[200] = {};
    EXPECT_EQ(ctrl_.GetExMotorTableEntry({back, sizeof back}), kResultOk);
    EXPECT_EQ(0, std::memcmp(ex, back, sizeof ex));
    EXPECT_EQ(ctrl_.GetMotorTableEntry({buf, sizeof buf}), kResultFailed);  // type 3
}

TEST_F(ImagingMethodsTest, ZoomScalesOfTypesThreeAndThirteen) {
    Start(3);
    EXPECT_EQ(ctrl_.SetZoomPosition(50, 1), kResultOk);
    EXPECT_EQ(At(Last(561), 14), 120);
    EXPECT_EQ(At(Last(561), 12), 1);  // the speed rides in the first value
    int16_t zoom = 0;
    EXPECT_EQ(ctrl_.GetZoomPositon(zoom), kResultOk);
    EXPECT_EQ(zoom, 50);
    EXPECT_EQ(ctrl_.camera()->zoom_position(), 120);
    Imaging([](ImagingState& s) { s.lens[1] = 0; });
    EXPECT_EQ(ctrl_.GetZoomPositon(zoom), kResultOk);
    EXPECT_EQ(zoom, 0);

    Start(13);
    EXPECT_EQ(ctrl_.SetZoomPosition(50, 0), kResultOk);
    EXPECT_EQ(At(Last(561), 14), 128);
    EXPECT_EQ(ctrl_.GetZoomPositon(zoom), kResultOk);
    EXPECT_EQ(zoom, 50);
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.SetZoomPosition(50, 1), kResultBadSecond);
    EXPECT_EQ(ctrl_.SetZoomPosition(101, 0), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(560) + sim_->ReceivedCount(561), 0u);
    Imaging([](ImagingState& s) { s.forced[560] = 1; });
    EXPECT_EQ(ctrl_.GetZoomPositon(zoom), kResultRefused);
    Imaging([](ImagingState& s) {
        s.forced.erase(560);
        s.forced[561] = 1;
    });
    EXPECT_EQ(ctrl_.SetZoomPosition(10, 0), kResultRefused);

    Start(0);
    EXPECT_EQ(ctrl_.GetZoomPositon(zoom), kResultNotThisType);
    EXPECT_EQ(sim_->ReceivedCount(560), 0u);
}

TEST_F(ImagingMethodsTest, FocusAndIrisInPercent) {
    Start(13);
    EXPECT_EQ(ctrl_.SetFocusPosition(1, 40), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.lens[3]; }), 102);  // 40 x 2.55 + 0.5
    int16_t mode = -1, level = -1;
    EXPECT_EQ(ctrl_.GetFocusPosition(mode, level), kResultOk);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(level, 40);
    // Automatic focus keeps the level; the manual level is not checked then.
    EXPECT_EQ(ctrl_.SetFocusPosition(0, 500), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.lens[3]; }), 102);
    EXPECT_EQ(ctrl_.SetFocusPosition(2, 0), kResultBadFirst);
    EXPECT_EQ(ctrl_.SetFocusPosition(1, 101), kResultBadSecond);

    EXPECT_EQ(ctrl_.SetIrisLevel(1, 20, 80), kResultOk);
    sim::Datagram d = Last(561);
    EXPECT_EQ(At(d, 20), 1);
    EXPECT_EQ(At(d, 22), 204);  // the manual level goes in manual mode
    EXPECT_EQ(ctrl_.SetIrisLevel(0, 100, 0), kResultOk);
    EXPECT_EQ(At(Last(561), 22), 255);  // and the automatic one in automatic mode
    Imaging([](ImagingState& s) { s.lens[5] = 51, s.lens[6] = 1; });
    int16_t a = -1, m = -1;
    EXPECT_EQ(ctrl_.GetIrisLevel(mode, a, m), kResultOk);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(a, 20);
    EXPECT_EQ(m, 0);  // 0.39 rounds to 0
    EXPECT_EQ(ctrl_.SetIrisLevel(2, 0, 0), kResultBadFirst);
    EXPECT_EQ(ctrl_.SetIrisLevel(0, 101, 0), kResultBadSecond);
    EXPECT_EQ(ctrl_.SetIrisLevel(0, 0, -1), kResultBadThird);
}

TEST_F(ImagingMethodsTest, UpsideDownAndInformationRegisters) {
    Start(11);
    EXPECT_EQ(ctrl_.SetCameraUpsideDown(true), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.registers[7]; }), 1);
    bool upside = false;
    EXPECT_EQ(ctrl_.GetCameraUpsideDown(upside), kResultOk);
    EXPECT_TRUE(upside);
    Imaging([](ImagingState& s) { s.registers[7] = 5; });
    EXPECT_EQ(ctrl_.GetCameraUpsideDown(upside), kResultFailed);
    for (auto [status, result] : {std::pair<int16_t, int16_t>{1, kResultRefused},
                                  {2, kResultBadFirst},
                                  {3, kResultFailed}}) {
        Imaging([status = status](ImagingState& s) { s.forced[49] = status; });
        EXPECT_EQ(ctrl_.SetCameraUpsideDown(false), result) << status;
        EXPECT_EQ(ctrl_.SetCameraInformation(3, 1),
                  status == 2 ? int16_t(kResultBadSecond) : result)
            << status;
    }
    Imaging([](ImagingState& s) { s.forced.clear(); });
    EXPECT_EQ(ctrl_.SetCameraInformation(30, 77), kResultOk);
    int16_t data = 0;
    EXPECT_EQ(ctrl_.GetCameraInformation(30, data), kResultOk);
    EXPECT_EQ(data, 77);
    // A refused read hands its error code over as the data.
    Imaging([](ImagingState& s) { s.forced[65] = 1; });
    EXPECT_EQ(ctrl_.GetCameraInformation(30, data), kResultOk);
    EXPECT_EQ(data, -2);
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.GetCameraInformation(31, data), kResultBadFirst);
    EXPECT_EQ(ctrl_.SetCameraInformation(-1, 0), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
}

TEST_F(ImagingMethodsTest, MotionDetectionValuesActionsAndDetail) {
    Start(11);
    EXPECT_EQ(ctrl_.SetMotionDetectInformation(1, 30, 4, 0x0F), kResultOk);
    int16_t md = 0, up = 0, det = 0, mask = 0;
    EXPECT_EQ(ctrl_.GetMotionDetectInformation(md, up, det, mask), kResultOk);
    EXPECT_EQ(std::vector<int16_t>({md, up, det, mask}), std::vector<int16_t>({1, 30, 4, 15}));
    Imaging([](ImagingState& s) { s.forced[208] = 2, s.forced[209] = 3; });
    EXPECT_EQ(ctrl_.SetMotionDetectInformation(0, 0, 0, 0), kResultBadArgument);
    EXPECT_EQ(ctrl_.GetMotionDetectInformation(md, up, det, mask), kResultStatus);
    Imaging([](ImagingState& s) { s.forced[208] = 3; });
    EXPECT_EQ(ctrl_.SetMotionDetectInformation(0, 0, 0, 0), kResultFailed);

    EXPECT_EQ(ctrl_.SetMotionDetectAction(1, 2, 1), kResultOk);
    int16_t alarm = 0, pos = 0, ftp = 0;
    EXPECT_EQ(ctrl_.GetMotionDetectAction(alarm, pos, ftp), kResultOk);
    EXPECT_EQ(std::vector<int16_t>({alarm, pos, ftp}), std::vector<int16_t>({1, 2, 1}));
    Imaging([](ImagingState& s) { s.forced[2320] = 3, s.forced[2321] = 2; });
    EXPECT_EQ(ctrl_.SetMotionDetectAction(0, 0, 0), kResultStatus);
    EXPECT_EQ(ctrl_.GetMotionDetectAction(alarm, pos, ftp), kResultStatus);

    EXPECT_EQ(ctrl_.SetAreaDetailInformation(200, 50, 7), kResultOk);
    int16_t y = 0, pct = 0, diff = 0;
    EXPECT_EQ(ctrl_.GetAreaDetailInformation(y, pct, diff), kResultOk);
    EXPECT_EQ(std::vector<int16_t>({y, pct, diff}), std::vector<int16_t>({200, 50, 7}));
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.SetAreaDetailInformation(256, 0, 0), kResultBadFirst);
    EXPECT_EQ(ctrl_.SetAreaDetailInformation(0, -1, 0), kResultBadSecond);
    EXPECT_EQ(ctrl_.SetAreaDetailInformation(0, 0, 300), kResultBadThird);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);

    EXPECT_EQ(ctrl_.UpdateMotionDetectBase(), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.update_base_count; }), 1);
    Imaging([](ImagingState& s) { s.forced[214] = 2; });
    EXPECT_EQ(ctrl_.UpdateMotionDetectBase(), kResultStatus);
    EXPECT_EQ(ctrl_.SetCCDDefault(), kResultOk);
    Imaging([](ImagingState& s) { s.forced[50] = 1; });
    EXPECT_EQ(ctrl_.SetCCDDefault(), kResultRefused);
}

TEST_F(ImagingMethodsTest, DetectionAreasSingleAndWhole) {
    Start(11);
    EXPECT_EQ(ctrl_.SetSingleAreaInformation(9, 1), kResultOk);
    EXPECT_EQ(ctrl_.SetSingleAreaInformation(299, 1), kResultOk);
    Imaging([](ImagingState& s) {
        EXPECT_EQ(s.areas[1], 0x02);
        EXPECT_EQ(s.areas[37], 0x08);
        s.areas[1] = 0xFF;
    });
    EXPECT_EQ(ctrl_.SetSingleAreaInformation(9, 0), kResultOk);
    EXPECT_EQ(Imaging([](ImagingState& s) { return s.areas[1]; }), 0xFD);
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.SetSingleAreaInformation(300, 1), kResultBadArgument);
    EXPECT_EQ(ctrl_.SetSingleAreaInformation(-1, 1), kResultBadArgument);
    EXPECT_EQ(ctrl_.SetSingleAreaInformation(5, 2), kResultBadArgument);
    uint8_t area[40] = {};
    EXPECT_EQ(ctrl_.GetAreaInformation({area, 39}), kResultBadArgument);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);

    for (size_t i = 0; i < sizeof area; ++i)
        area[i] = uint8_t(0x80 + i);
    EXPECT_EQ(ctrl_.SetAreaInformation({area, sizeof area}), kResultOk);
    uint8_t back[40] = {};
    EXPECT_EQ(ctrl_.GetAreaInformation({back, sizeof back}), kResultOk);
    EXPECT_EQ(0, std::memcmp(area, back, sizeof area));
    // A refused read changes nothing, so no write follows.
    Imaging([](ImagingState& s) { s.forced[211] = 3; });
    EXPECT_EQ(ctrl_.SetSingleAreaInformation(0, 1), kResultStatus);
    EXPECT_EQ(sim_->ReceivedCount(210), 1u);
    Imaging([](ImagingState& s) { s.forced[211] = 2; });
    EXPECT_EQ(ctrl_.GetAreaInformation({back, sizeof back}), kResultBadArgument);
}

TEST_F(ImagingMethodsTest, ImageMode) {
    Start(11);
    EXPECT_EQ(ctrl_.SetImageMode(1), kResultOk);
    int16_t mode = 0;
    EXPECT_EQ(ctrl_.GetImageMode(mode), kResultOk);
    EXPECT_EQ(mode, 1);
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.SetImageMode(2), kResultBadFirst);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
    Imaging([](ImagingState& s) { s.forced[122] = 2, s.forced[121] = 1; });
    EXPECT_EQ(ctrl_.SetImageMode(0), kResultStatus);
    EXPECT_EQ(ctrl_.GetImageMode(mode), kResultRefused);
}

TEST_F(ImagingMethodsTest, RecordedFileDownloadWithLossAndProgress) {
    Start(11);
    const std::vector<uint8_t> data = sim::PatternBytes(300000, 7);
    Card([&](MemoryCardState& c) {
        c.AddFile("20260101_000001.rec", data);
        c.SetPageSize(1498);
        c.lose_pages = {3, 100};
    });
    int32_t last_received = 0, last_count = 0;
    ctrl_.SetTransferProgress([&](int32_t received, int32_t count) {
        last_received = received;
        last_count = count;
    });
    EXPECT_EQ(ctrl_.GetLocalRecFile("20260101_000001.rec", 16, 1, 300), kResultOk);
    EXPECT_EQ(ReadFile("20260101_000001.rec"), data);
    EXPECT_EQ(last_count, 201);
    EXPECT_EQ(last_received, 201);
    Card([](MemoryCardState& c) {
        EXPECT_EQ(c.resent_pages, (std::vector<int32_t>{3, 100}));
        EXPECT_EQ(c.block_ends, 1);
    });
    EXPECT_EQ(ctrl_.camera()->reply_wait(), 200u);

    // A file the camera does not have; a name that does not fit.
    EXPECT_EQ(ctrl_.GetLocalRecFile("nothing.rec", 0, 0, 0), kResultStatus);
    sim_->ClearReceived();
    EXPECT_EQ(ctrl_.GetLocalRecFile(std::string(32, 'n'), 0, 0, 0), kResultBadArgument);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
    // The camera's word 0 is no success, however the table reads.
    Card([](MemoryCardState& c) { c.ack_word[196] = 0; });
    EXPECT_EQ(ctrl_.GetLocalRecFile("20260101_000001.rec", 0, 0, 0), kResultStatus);
}

TEST_F(ImagingMethodsTest, ResentAnswersLostOrRefused) {
    Start(11);
    Card([](MemoryCardState& c) {
        c.AddFile("a.rec", sim::PatternBytes(5000, 1));
        c.lose_pages = {2};
        c.lose_resent[2] = 5;
    });
    EXPECT_EQ(ctrl_.GetLocalRecFile("a.rec", 0, 0, 0), kResultFailed);
    Card([](MemoryCardState& c) {
        c.lose_resent.clear();
        c.resend_answer = 2;
    });
    EXPECT_EQ(ctrl_.GetLocalRecFile("a.rec", 0, 0, 0), kResultFailed);
    EXPECT_EQ(ctrl_.camera()->transfer_result(), protocol::kRefused);
    Card([](MemoryCardState& c) { c.resend_answer = 0; });
    EXPECT_EQ(ctrl_.GetLocalRecFile("a.rec", 0, 0, 0), kResultFailed);
    EXPECT_EQ(ctrl_.camera()->transfer_result(), protocol::kResendZero);
    std::ifstream missing("a.rec");
    EXPECT_FALSE(missing.good());
}

TEST_F(ImagingMethodsTest, FileListOfSomeFilesAndOfNone) {
    Start(11);
    std::vector<uint8_t> expected;
    Card([&](MemoryCardState& c) {
        c.AddFile("one.rec", sim::PatternBytes(10, 1));
        c.AddFile("two.rec", sim::PatternBytes(20, 2));
        expected = c.FileList();
    });
    int32_t count = -1;
    EXPECT_EQ(ctrl_.GetLocalFilelist(count, "list.bin", 0, 0), kResultOk);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ReadFile("list.bin"), expected);

    Card([](MemoryCardState& c) { c.files.clear(); });
    count = -1;
    EXPECT_EQ(ctrl_.GetLocalFilelist(count, "empty.bin", 0, 0), kResultOk);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(std::ifstream("empty.bin").good());
    Card([](MemoryCardState& c) { c.ack_word[195] = 2; });
    EXPECT_EQ(ctrl_.GetLocalFilelist(count, "x.bin", 0, 0), kResultRefused);
    Card([](MemoryCardState& c) { c.ack_word[195] = 0; });
    EXPECT_EQ(ctrl_.GetLocalFilelist(count, "x.bin", 0, 0), kResultStatus);
    Card([](MemoryCardState& c) { c.ack_word[195] = 10; });  // not a success either
    EXPECT_EQ(ctrl_.GetLocalFilelist(count, "x.bin", 0, 0), kResultStatus);
}

TEST_F(ImagingMethodsTest, ReferencePictureIsTheCamerasJpeg) {
    Start(11);
    const std::vector<uint8_t> jpeg = sim::MakeReferencePicture(320, 240);
    ASSERT_GT(jpeg.size(), 1000u);
    for (size_t header : {size_t(0), size_t(300)}) {
        Card([header](MemoryCardState& c) {
            c.reference_header = header;
            c.SetPageSize(400);
        });
        ASSERT_EQ(ctrl_.SaveReferenceImage("reference.jpg"), kResultOk) << header;
        const std::vector<uint8_t> file = ReadFile("reference.jpg");
        EXPECT_EQ(file, jpeg) << header;

        // The reference decoder reads it as the 320 x 240 test picture.
        tjhandle tj = tjInitDecompress();
        int w = 0, h = 0, sub = 0, space = 0;
        ASSERT_EQ(tjDecompressHeader3(tj, file.data(), file.size(), &w, &h, &sub, &space), 0);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);
        std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
        ASSERT_EQ(tjDecompress2(tj, file.data(), file.size(), rgb.data(), w, 0, h, TJPF_RGB, 0), 0);
        tjDestroy(tj);
        // Row 10 of the bars: white at the left, green in the fourth bar
        // (their levels scaled by 235 / 240).
        EXPECT_NEAR(rgb[(10 * 320 + 10) * 3 + 0], 230, 8);
        EXPECT_NEAR(rgb[(10 * 320 + 10) * 3 + 2], 230, 8);
        const size_t green = (10 * 320 + 140) * 3;
        EXPECT_NEAR(rgb[green + 0], 15, 10);
        EXPECT_NEAR(rgb[green + 1], 230, 10);
        EXPECT_NEAR(rgb[green + 2], 15, 10);
    }
    Card([](MemoryCardState& c) { c.ack_word[130] = 3; });
    EXPECT_EQ(ctrl_.SaveReferenceImage("r.jpg"), kResultRefused);
    Card([](MemoryCardState& c) { c.ack_word[130] = 4; });
    EXPECT_EQ(ctrl_.SaveReferenceImage("r.jpg"), kResultStatus);

    // An empty name is refused first, even without an address.
    CKestCtrl bare;
    EXPECT_EQ(bare.SaveReferenceImage(""), kResultBadFirst);
    EXPECT_EQ(bare.SaveReferenceImage("r.jpg"), kResultNoAddress);
}

TEST_F(ImagingMethodsTest, MethodsWithoutAddressSendNothing) {
    Start(11);
    CKestCtrl bare;
    int16_t a = 0, b = 0;
    EXPECT_EQ(bare.GetMotorPos(a, b), kResultNoAddress);
    EXPECT_EQ(bare.SetCameraFrameRate(30), kResultNoAddress);
    EXPECT_EQ(bare.GetCompressionRate(a), kResultNoAddress);
    EXPECT_EQ(bare.MoveMotorPos(0, 0, 9), kResultBadThird);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
}

TEST_F(ImagingMethodsTest, DispatchReachesTheMethodsByDispidAndName) {
    Start(3);
    std::vector<Variant> args = {Variant::I2(50), Variant::I2(0)};
    int16_t result = -1;
    ASSERT_EQ(ctrl_.Invoke(22, args, &result), DispError::kOk);
    EXPECT_EQ(result, kResultOk);
    std::vector<Variant> out = {Variant()};
    ASSERT_EQ(ctrl_.Invoke("GetZoomPositon", out, &result), DispError::kOk);
    EXPECT_EQ(out[0], Variant::I2(50));
    uint8_t table[200] = {};
    std::vector<Variant> buf = {Variant::Buffer(table, sizeof table)};
    ASSERT_EQ(ctrl_.Invoke(72, buf, &result), DispError::kOk);
    EXPECT_EQ(result, kResultOk);

    const std::pair<int32_t, const char*> rows[] = {
        {13, "SetCameraFrameRate"}, {21, "GetZoomPositon"},
        {47, "GetLocalFilelist"},   {59, "SetSingleAreaInformation"},
        {83, "GetMotorPosPulse"},   {106, "SaveReferenceImage"},
        {126, "SetImageMode"}};
    for (auto [dispid, name] : rows) {
        const MemberInfo* m = FindMember(dispid, MemberKind::kMethod);
        ASSERT_NE(m, nullptr) << dispid;
        EXPECT_EQ(m->name, name);
    }
    const MemberInfo* list = FindMember("GetLocalFilelist", MemberKind::kMethod);
    ASSERT_EQ(list->params.size(), 4u);
    EXPECT_TRUE(list->params[0].out);
    EXPECT_EQ(list->params[0].type, ParamType::kI4);
    EXPECT_EQ(list->params[1].type, ParamType::kText);
    EXPECT_EQ(FindMember(71, MemberKind::kMethod)->params[0].buffer_size, 36u);
}

}  // namespace
}  // namespace kest
