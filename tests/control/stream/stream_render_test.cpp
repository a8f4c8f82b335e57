// End to end against the simulator: frames of every model are completed,
// decoded through picdec, presented and rendered into the frame surface
// with their time stamp and, for models 11 and 20, the lattice.
#include <gtest/gtest.h>

#include "control/facade/ctrl.h"
#include "control/stream/picdec_binding.h"
#include "control/stream/render.h"
#include "jpeg_fixtures.h"
#include "platform/event_loop.h"
#include "sim/simulator.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

using platform::Rgb;

struct Pictures : _DKestEvents {
    CKestCtrl* ctrl = nullptr;
    int shown = 0;
    int bad = 0;
    bool ended = false;
    FrameTime first_time;
    void OnEvent(const MemberInfo& e, std::span<const Variant>) override {
        if (e.name == "EndDownloading") ended = true;
        if (e.name != "NewImage") return;
        // The presented JPEG stays valid until the handler returns.
        CKestCamera& c = *ctrl->camera();
        const std::vector<uint8_t> file(c.presented_jpeg(),
                                        c.presented_jpeg() + c.presented_length());
        const auto ref = picdec_test::DecodeReference(file);
        const bool ok = ref.width == 640 && ref.height == 480 && c.presented_width() == 640 &&
                        c.presented_height() == 480;
        if (ok && shown == 0) first_time = c.presented_time();
        ++(ok ? shown : bad);
    }
};

class StreamRender : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        if (!ProcessPicdec().can_decode()) GTEST_SKIP() << "picdec.spi is not built next to kest";
        SetLatticeSettings(
            {true, Rgb{1, 2, 3}.ColorRef(), Rgb{250, 0, 0}.ColorRef(), Rgb{0, 250, 0}.ColorRef()});
        sim::SimConfig config;
        config.port = 0;
        config.model_code = GetParam();
        sim_ = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        ctrl_.AttachWindow(loop_.CreateWindow(&ctrl_));
        sink_.ctrl = &ctrl_;
        ctrl_.Advise(&sink_);
        ctrl_.camera()->set_reply_wait(200);
        ASSERT_EQ(ctrl_.camera()->OpenSession("127.0.0.1", sim_->port()), 0);
        ctrl_.camera()->set_frame_interval(0);
    }
    void TearDown() override {
        if (ctrl_.camera()) ctrl_.camera()->CloseSession();
        loop_.RunPending();
        ctrl_.Unadvise(&sink_);
        SetLatticeSettings({});
    }

    test::ScopedTempDir dir_;
    std::unique_ptr<sim::Simulator> sim_;
    platform::EventLoop loop_;
    CKestCtrl ctrl_;
    Pictures sink_;
};

TEST_P(StreamRender, FramesAreDecodedPresentedAndRendered) {
    const int model = GetParam();
    const FrameTime before = LocalFrameTime();
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    ASSERT_TRUE(loop_.RunUntil([this] { return sink_.shown >= 3; }, 20000));
    // After the end every frame presented has been rendered.
    ctrl_.camera()->RequestStop();
    ASSERT_TRUE(loop_.RunUntil([this] { return sink_.ended; }, 5000));
    EXPECT_EQ(sink_.bad, 0);

    // The comment carries the client's reception time (every model).
    EXPECT_GE(sink_.first_time.year, before.year);
    EXPECT_LE(sink_.first_time.year, before.year + 1);  // a run across New Year
    EXPECT_GE(sink_.first_time.month, 1);
    EXPECT_GE(sink_.first_time.day, 1);

    // The frame surface took the 640 x 480 size class and shows the picture.
    CKestCamera& c = *ctrl_.camera();
    const platform::Surface& s = c.frame_surface();
    ASSERT_EQ(s.width(), 640);
    platform::Surface picture;
    picture.LoadBottomUp(c.presented_picture(), 640, 480, 640 * 3);
    EXPECT_EQ(s.Pixel(2, 2), picture.Pixel(2, 2));
    // The lattice's lines are drawn for models 11 and 20 only.
    const bool lattice = model == 11 || model == 20;
    EXPECT_EQ(s.Pixel(32, 101) == (Rgb{1, 2, 3}), lattice) << model;
    if (!lattice) {
        EXPECT_EQ(s.Pixel(32, 101), picture.Pixel(32, 101));
    }
}

INSTANTIATE_TEST_SUITE_P(Models, StreamRender, ::testing::Values(0, 11, 13, 20));

}  // namespace
}  // namespace kest
