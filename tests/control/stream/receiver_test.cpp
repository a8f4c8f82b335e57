// The pull-mode picture stream end to end against the simulator.
#include "control/stream/receiver.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"
#include "platform/ticks.h"
#include "sim/simulator.h"
#include "sim/stream.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

// Decodes a JPEG file with libjpeg-turbo; false when it is not one.
bool Decodes(const uint8_t* data, size_t length, int& width, int& height) {
    tjhandle tj = tjInitDecompress();
    int sub = 0, cs = 0;
    bool ok = tjDecompressHeader3(tj, data, (unsigned long)length, &width, &height, &sub, &cs) == 0;
    if (ok) {
        std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
        ok = tjDecompress2(tj, data, (unsigned long)length, rgb.data(), width, 0, height, TJPF_RGB,
                           0) == 0;
    }
    tjDestroy(tj);
    return ok;
}

struct Sink : _DKestEvents {
    CKestCtrl* ctrl = nullptr;
    std::vector<std::string> names;
    std::vector<int> end_codes;
    int pictures = 0;
    int bad_pictures = 0;
    void OnEvent(const MemberInfo& e, std::span<const Variant> args) override {
        names.push_back(e.name);
        if (e.name == "EndDownloading") end_codes.push_back(args[0].integer());
        if (e.name == "NewImage") {
            // The presented picture stays valid until the handler returns.
            int w = 0, h = 0;
            CKestCamera& c = *ctrl->camera();
            if (Decodes(c.presented_jpeg(), c.presented_length(), w, h) && w == 640 && h == 480) {
                ++pictures;
            } else {
                ++bad_pictures;
            }
        }
    }
    int Count(const std::string& n) const { return int(std::count(names.begin(), names.end(), n)); }
};

class ReceiverTest : public ::testing::Test {
  protected:
    void Start(int model, int version = 20) {
        sim::SimConfig config;
        config.port = 0;
        config.model_code = model;
        config.version_number = version;
        sim_ = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        ctrl_.AttachWindow(loop_.CreateWindow(&ctrl_));
        sink_.ctrl = &ctrl_;
        ctrl_.Advise(&sink_);
        ctrl_.camera()->set_reply_wait(200);
        ASSERT_EQ(ctrl_.camera()->OpenSession("127.0.0.1", sim_->port()), 0);
        ctrl_.camera()->set_frame_interval(0);
    }
    sim::StreamState& Stream() { return sim_->State<sim::StreamState>(); }
    bool RunUntilEnded(uint32_t ms) {
        return loop_.RunUntil([this] { return !sink_.end_codes.empty(); }, ms);
    }
    void TearDown() override {
        ctrl_.camera()->CloseSession();
        loop_.RunPending();
        ctrl_.Unadvise(&sink_);
    }

    test::ScopedTempDir dir_;
    std::unique_ptr<sim::Simulator> sim_;
    platform::EventLoop loop_;
    CKestCtrl ctrl_;
    Sink sink_;
};

TEST_F(ReceiverTest, FramesWithTheCamerasOwnHeaderArriveAsJpegFiles) {
    Start(20);
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    EXPECT_EQ(ctrl_.camera()->StartReceiving(true, true), -60);
    ASSERT_TRUE(loop_.RunUntil([this] { return sink_.pictures >= 3; }, 10000));
    EXPECT_EQ(sink_.bad_pictures, 0);
    EXPECT_EQ(sink_.Count("ChangeFrameSize"), 1);  // the first frame only
    ctrl_.camera()->RequestStop();
    ASSERT_TRUE(RunUntilEnded(5000));
    EXPECT_EQ(sink_.end_codes, std::vector<int>{101});
    const auto got = sim_->Received();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[2].code(), 0);    // scmd_nop of the start
    EXPECT_EQ(got[3].code(), 112);  // scmd_set_jpeg_mode, continuous: mode 3
    EXPECT_EQ(got[3].bytes[12], 3);
    EXPECT_EQ(got[4].code(), 129);
}

TEST_F(ReceiverTest, ALostPacketIsRecoveredByOneResend) {
    Start(20);
    {
        std::lock_guard lock(sim_->state_mutex());
        Stream().drop_once = {2};
    }
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    ASSERT_TRUE(loop_.RunUntil([this] { return sink_.pictures >= 2; }, 10000));
    EXPECT_EQ(sink_.bad_pictures, 0);
    std::lock_guard lock(sim_->state_mutex());
    EXPECT_EQ(Stream().resends, 1u);
    EXPECT_EQ(sim_->ReceivedCount(240), 1u);
}

TEST_F(ReceiverTest, APacketNeverResentEndsWithCodeTen) {
    Start(20);
    {
        std::lock_guard lock(sim_->state_mutex());
        Stream().drop_once = {1};
        Stream().never_resend = {1};
    }
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    ASSERT_TRUE(RunUntilEnded(5000));
    EXPECT_EQ(sink_.end_codes, std::vector<int>{10});
    EXPECT_EQ(sink_.pictures, 0);
    EXPECT_EQ(sim_->ReceivedCount(240), 1u);  // retry window 0: one request
}

TEST_F(ReceiverTest, ANonContinuousStartPollsOnceAndEndsNormally) {
    Start(0);
    ASSERT_EQ(ctrl_.camera()->StartReceiving(false, true), 0);
    ASSERT_TRUE(RunUntilEnded(5000));
    EXPECT_EQ(sink_.end_codes, std::vector<int>{100});
    EXPECT_EQ(sim_->ReceivedCount(128), 1u);
    std::lock_guard lock(sim_->state_mutex());
    EXPECT_EQ(Stream().jpeg_mode, 2);
}

TEST_F(ReceiverTest, StopDuringThePollLoopEndsWith101) {
    Start(20);
    {
        std::lock_guard lock(sim_->state_mutex());
        Stream().not_ready_polls = 1000000;
    }
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    loop_.RunFor(100);
    ctrl_.camera()->RequestStop();
    ASSERT_TRUE(RunUntilEnded(5000));
    EXPECT_EQ(sink_.end_codes, std::vector<int>{101});
    EXPECT_GE(sim_->ReceivedCount(129), 2u);
}

TEST_F(ReceiverTest, RefusalStatusesAndMpegModeEndReception) {
    Start(20);
    {
        std::lock_guard lock(sim_->state_mutex());
        Stream().mpeg_mode = true;
    }
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    ASSERT_TRUE(RunUntilEnded(5000));
    EXPECT_EQ(sink_.end_codes, std::vector<int>{6});  // once
    EXPECT_EQ(sink_.Count("MpegMode"), 1);

    for (auto [status, code] : {std::pair{3, 3}, std::pair{7, 7}, std::pair{4, 4}}) {
        sink_.end_codes.clear();
        {
            std::lock_guard lock(sim_->state_mutex());
            Stream().mpeg_mode = false;
            Stream().forced_status = status;
        }
        ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
        ASSERT_TRUE(RunUntilEnded(5000)) << status;
        EXPECT_EQ(sink_.end_codes, std::vector<int>{code});
    }
}

TEST_F(ReceiverTest, RequestsArePacedByTheFrameIntervalFromVersionEleven) {
    Start(0, 11);
    ctrl_.camera()->set_frame_interval(400);
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, false), 0);
    ASSERT_TRUE(loop_.RunUntil([this] { return sim_->ReceivedCount(128) >= 3; }, 10000));
    ctrl_.camera()->RequestStop();
    ASSERT_TRUE(RunUntilEnded(5000));
    std::vector<uint64_t> polls;
    for (const auto& d : sim_->Received()) {
        if (d.code() == 128) polls.push_back(d.time_us);
    }
    ASSERT_GE(polls.size(), 3u);
    EXPECT_GE(polls[2] - polls[1], 390000u);
}

TEST_F(ReceiverTest, NoPacingBelowVersionEleven) {
    Start(0, 10);
    ctrl_.camera()->set_frame_interval(1000);
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, false), 0);
    ASSERT_TRUE(loop_.RunUntil([this] { return sim_->ReceivedCount(128) >= 3; }, 900));
}

TEST(EndCodes, ResultsMapToEndDownloadingCodes) {
    EXPECT_EQ(EndCode(-26, false), 7);
    EXPECT_EQ(EndCode(-25, false), 6);
    EXPECT_EQ(EndCode(-24, false), 5);
    EXPECT_EQ(EndCode(-23, false), 4);
    EXPECT_EQ(EndCode(-20, false), 0);
    EXPECT_EQ(EndCode(-2, false), 3);
    EXPECT_EQ(EndCode(-1, true), 10);
    EXPECT_EQ(EndCode(0, true), 101);
    EXPECT_EQ(EndCode(0, false), 100);
    EXPECT_EQ(EndCode(-60, false), 100);
}

}  // namespace
}  // namespace kest
