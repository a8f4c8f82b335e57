// StartDownloading and StopDownloading through dispatch, against the simulator.
#include <gtest/gtest.h>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"
#include "sim/simulator.h"
#include "sim/stream.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

struct Events : _DKestEvents {
    int pictures = 0;
    std::vector<int> ends;
    void OnEvent(const MemberInfo& e, std::span<const Variant> args) override {
        if (e.name == "NewImage") ++pictures;
        if (e.name == "EndDownloading") ends.push_back(args[0].integer());
    }
};

struct Boxes : platform::HostUi {
    std::vector<std::string> texts;
    Answer MessageBox(const std::string& text, const std::string&, Buttons) override {
        texts.push_back(text);
        return Answer::kOk;
    }
    bool ChooseFont(platform::LogFont&) override { return false; }
    void AboutBox(const std::string&) override {}
};

class DownloadTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        sim::SimConfig config;
        config.port = 0;
        config.model_code = GetParam();
        sim_ = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        ctrl_.AttachWindow(loop_.CreateWindow(&ctrl_));
        ctrl_.Advise(&events_);
        ctrl_.SetHostUi(&boxes_);
        ctrl_.SetRemoteIPAddress("127.0.0.1");
        ctrl_.SetCameraPort(sim_->port());
    }
    void TearDown() override { ctrl_.Unadvise(&events_); }
    int16_t Call(const char* name) {
        std::vector<Variant> none;
        int16_t result = -1;
        EXPECT_EQ(ctrl_.Invoke(name, none, &result), DispError::kOk);
        return result;
    }

    test::ScopedTempDir dir_;
    std::unique_ptr<sim::Simulator> sim_;
    platform::EventLoop loop_;
    CKestCtrl ctrl_;
    Events events_;
    Boxes boxes_;
};

TEST_P(DownloadTest, PicturesArriveUntilStopped) {
    ASSERT_EQ(Call("StartDownloading"), 0);
    EXPECT_TRUE(ctrl_.camera()->downloading());
    // A second start starts nothing.
    const size_t polls_before = sim_->ReceivedCount(0);
    EXPECT_EQ(Call("StartDownloading"), 0);
    EXPECT_EQ(sim_->ReceivedCount(0), polls_before);
    ASSERT_TRUE(loop_.RunUntil([this] { return events_.pictures >= 3; }, 10000));
    // Methods use the running session instead of opening their own.
    std::vector<Variant> version{Variant(), Variant()};
    int16_t result = -1;
    ASSERT_EQ(ctrl_.Invoke("GetVersion", version, &result), DispError::kOk);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(version[0], Variant::I2(int16_t(GetParam())));
    EXPECT_TRUE(ctrl_.camera()->session_open());
    EXPECT_EQ(Call("StopDownloading"), 0);
    EXPECT_FALSE(ctrl_.camera()->session_open());
    EXPECT_FALSE(ctrl_.camera()->downloading());
    loop_.RunPending();
    EXPECT_EQ(events_.ends, std::vector<int>{101});
    EXPECT_EQ(Call("StopDownloading"), 0);  // in any state
}

INSTANTIATE_TEST_SUITE_P(Models, DownloadTest, ::testing::Values(0, 11, 13, 20));

TEST(Download, WithoutAddressOrCamera) {
    CKestCtrl ctrl;
    EXPECT_EQ(ctrl.StartDownloading(), kResultNoAddress);
    EXPECT_EQ(ctrl.StopDownloading(), 0);
    ctrl.SetRemoteIPAddress("127.0.0.1");
    ctrl.SetCameraPort(9);  // nothing answers there
    ctrl.SetTimeout(50);
    EXPECT_EQ(ctrl.StartDownloading(), kResultCannotOpen);
    EXPECT_FALSE(ctrl.camera()->downloading());
}

}  // namespace
}  // namespace kest

namespace kest {
namespace {

int RedPixels(const platform::Surface& s, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = s.row(y) + size_t(x) * 3;  // blue, green, red
            n += p[0] == 0 && p[1] == 0 && p[2] == 255;
        }
    }
    return n;
}

TEST(Draw, ARunningRecordingShowsRedRecAtThePicturesTopRight) {
    test::ScopedTempDir dir;
    CKestCtrl ctrl;
    platform::Surface target(400, 300);
    ctrl.Draw(target, {0, 0, 400, 300}, {1, 2, 3});
    EXPECT_EQ(RedPixels(target, 240, 0, 320, 40), 0);
    std::vector<Variant> folder{Variant::Text(dir.path())};
    int16_t result = -1;
    ASSERT_EQ(ctrl.Invoke("StartRec", folder, &result), DispError::kOk);
    ASSERT_EQ(result, 0);
    ctrl.Draw(target, {0, 0, 400, 300}, {1, 2, 3});
    EXPECT_GT(RedPixels(target, 240, 0, 320, 40), 0);
    EXPECT_EQ(RedPixels(target, 0, 40, 320, 240), 0);  // only the mark
    // The face colour right of and below the picture.
    const uint8_t* right = target.row(10) + 350 * 3;
    EXPECT_EQ(right[2], 1);
    EXPECT_EQ(right[1], 2);
    EXPECT_EQ(right[0], 3);
    std::vector<Variant> none;
    ASSERT_EQ(ctrl.Invoke("StopRec", none, &result), DispError::kOk);
}

}  // namespace
}  // namespace kest
