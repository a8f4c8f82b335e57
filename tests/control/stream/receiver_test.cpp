// The pull-mode picture stream end to end against the simulator.
#include "control/stream/receiver.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <functional>
#include <set>
#include <string_view>
#include <utility>

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

TEST_F(ReceiverTest, ALastPacketThatComesAloneIsPlacedByTheOthersLength) {
    Start(20);
    {
        std::lock_guard lock(sim_->state_mutex());
        Stream().last_alone_once = true;
    }
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    ASSERT_TRUE(loop_.RunUntil([this] { return sink_.pictures + sink_.bad_pictures >= 2; }, 10000));
    EXPECT_EQ(sink_.bad_pictures, 0);
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

TEST_F(ReceiverTest, AStopReturnsWhileTheCameraKeepsTalking) {
    // Packet 2 is lost and never sent again, the retry window is long, and
    // the camera sends a datagram that answers nothing every 10 ms, each of
    // which restarts the wait for the packet: the stop still ends it.
    Start(20);
    ctrl_.camera()->channel().set_retry_window(60000);
    constexpr int kChatter = 1500;  // 15 s of it
    {
        std::lock_guard lock(sim_->state_mutex());
        Stream().drop_once = {2};
        Stream().never_resend = {2};
        Stream().flood_left = kChatter;
    }
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    ASSERT_TRUE(loop_.RunUntil(
        [this] {
            std::lock_guard lock(sim_->state_mutex());
            return Stream().resends >= 2;
        },
        10000));
    ctrl_.StopDownloading();
    int left = 0;
    {
        std::lock_guard lock(sim_->state_mutex());
        left = std::exchange(Stream().flood_left, 0);
    }
    // It returned while the camera was still talking, and as a stop.
    EXPECT_GT(left, 0);
    ASSERT_TRUE(RunUntilEnded(5000));
    EXPECT_EQ(sink_.end_codes, std::vector<int>{101});
    EXPECT_EQ(sink_.pictures, 0);
}

TEST_F(ReceiverTest, TheLargestPictureComesInOneBurst) {
    // 255 packets of 1375 bytes each, sent at once: the socket takes the
    // whole burst, so hardly a packet is asked for again.
    Start(20);
    {
        std::lock_guard lock(sim_->state_mutex());
        Stream().pad_to_packets = kMaxPackets;
    }
    ASSERT_EQ(ctrl_.camera()->StartReceiving(true, true), 0);
    PictureReceiver& receiver = ctrl_.camera()->receiver();
    ASSERT_TRUE(loop_.RunUntil([&] { return receiver.frames_completed() >= 3; }, 60000));
    ctrl_.camera()->RequestStop();
    ASSERT_TRUE(RunUntilEnded(5000));
    EXPECT_GE(ctrl_.camera()->frame_record().length, kMaxPackets * kPacketPayloadMax);
    EXPECT_EQ(sink_.end_codes, std::vector<int>{101});
    // Without the wider buffer about 200 of every frame's packets were lost.
    EXPECT_LE(receiver.resend_requests(), 15u);
    protocol::BurstReceiveBuffer wide(ctrl_.camera()->channel());
    RecordProperty("receive_buffer_granted", ctrl_.camera()->channel().receive_buffer());
    RecordProperty("resend_requests", int(receiver.resend_requests()));
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

namespace kest {
namespace {

// A host that takes 200 ms for every NewImage slows the stream down; no
// picture is lost or shown twice.
struct SlowSink : _DKestEvents {
    CKestCtrl* ctrl = nullptr;
    std::vector<size_t> frames;  // a digest of each presented picture
    void OnEvent(const MemberInfo& e, std::span<const Variant>) override {
        if (e.name != "NewImage") return;
        // The presented picture is the host's while NewImage runs.
        const CKestCamera& c = *ctrl->camera();
        frames.push_back(std::hash<std::string_view>{}(std::string_view(
            reinterpret_cast<const char*>(c.presented_jpeg()), c.presented_length())));
        platform::SleepMs(200);
    }
};

TEST(SlowHost, EveryCompletedPictureReachesNewImageOnce) {
    sim::SimConfig config;
    config.port = 0;
    config.model_code = 20;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    platform::EventLoop loop;
    CKestCtrl ctrl;
    ctrl.AttachWindow(loop.CreateWindow(&ctrl));
    SlowSink sink;
    sink.ctrl = &ctrl;
    ctrl.Advise(&sink);
    ctrl.SetRemoteIPAddress("127.0.0.1");
    ctrl.SetCameraPort(camera.port());
    ASSERT_EQ(ctrl.StartDownloading(), 0);
    loop.RunFor(1500);
    ctrl.StopDownloading();
    loop.RunPending();
    ctrl.Unadvise(&sink);
    const uint32_t completed = ctrl.camera()->receiver().frames_completed();
    ASSERT_GE(sink.frames.size(), 3u);
    // Paced by the host: about one picture per 200 ms, not the camera's 30.
    EXPECT_LE(sink.frames.size(), 10u);
    // At most the picture in the hand-over when the stream stopped is not shown.
    EXPECT_GE(sink.frames.size() + 1, completed);
    std::set<size_t> distinct(sink.frames.begin(), sink.frames.end());
    EXPECT_EQ(distinct.size(), sink.frames.size());
}

TEST(HostileCamera, AFrameThatClaimsAHugePictureIsDroppedWithoutAnEvent) {
    // The packets (model 0, whose header the client builds) or the camera's
    // own header (model 20) claim 16383 x 16383 pixels for a 640 x 480 scan.
    for (int model : {0, 20}) {
        SCOPED_TRACE(model);
        sim::SimConfig config;
        config.port = 0;
        config.model_code = model;
        sim::Simulator camera(config);
        ASSERT_TRUE(camera.Start());
        {
            std::lock_guard lock(camera.state_mutex());
            camera.State<sim::StreamState>().claimed_width = 16383;
            camera.State<sim::StreamState>().claimed_height = 16383;
        }
        platform::EventLoop loop;
        CKestCtrl ctrl;
        ctrl.AttachWindow(loop.CreateWindow(&ctrl));
        Sink sink;
        sink.ctrl = &ctrl;
        ctrl.Advise(&sink);
        CKestCamera& c = *ctrl.camera();
        ASSERT_EQ(c.OpenSession("127.0.0.1", camera.port()), 0);
        c.set_frame_interval(0);
        ASSERT_EQ(c.StartReceiving(true, true), 0);
        ASSERT_TRUE(loop.RunUntil([&] { return c.receiver().frames_completed() >= 3; }, 20000));
        loop.RunFor(50);
        EXPECT_EQ(sink.Count("NewImage"), 0);

        // The same stream with honest frames is shown again.
        {
            std::lock_guard lock(camera.state_mutex());
            camera.State<sim::StreamState>().claimed_width = 0;
            camera.State<sim::StreamState>().claimed_height = 0;
        }
        ASSERT_TRUE(loop.RunUntil([&] { return sink.pictures >= 1; }, 20000));
        EXPECT_EQ(sink.bad_pictures, 0);
        c.RequestStop();
        ASSERT_TRUE(loop.RunUntil([&] { return !sink.end_codes.empty(); }, 5000));
        c.CloseSession();
        loop.RunPending();
        ctrl.Unadvise(&sink);
    }
}

TEST(SimulatedPictures, FollowTheFrameSizeTheCameraWasGiven) {
    sim::SimConfig config;
    config.port = 0;
    config.model_code = 3;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    CKestCtrl ctrl;
    ctrl.SetRemoteIPAddress("127.0.0.1");
    ctrl.SetCameraPort(camera.port());
    ASSERT_EQ(ctrl.camera()->OpenSession("127.0.0.1", camera.port()), 0);
    ASSERT_EQ(ctrl.camera()->SetFrameSizeSelector(1), 0);  // 320 x 240
    ASSERT_EQ(ctrl.camera()->StartReceiving(false, false), 0);
    while (ctrl.camera()->WaitReceiveEnd() == 1)
        platform::SleepMs(1);
    {
        std::lock_guard lock(camera.state_mutex());
        EXPECT_EQ(camera.State<sim::StreamState>().width, 320);
        EXPECT_EQ(camera.State<sim::StreamState>().height, 240);
    }
    ctrl.camera()->CloseSession();
}

}  // namespace
}  // namespace kest
