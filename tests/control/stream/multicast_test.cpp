// Push mode against simulated cameras that multicast their frames: frames
// assembled from the group's datagrams and shown like pulled ones, malformed
// and incomplete frames dropped, the periodic check and its end codes, and a
// whole site of two cameras found by search. Multicast runs only inside the
// isolated test namespace.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "control/facade/ctrl.h"
#include "control/stream/picdec_binding.h"
#include "control/stream/window_messages.h"
#include "jpeg_fixtures.h"
#include "platform/event_loop.h"
#include "sim/alarms.h"
#include "sim/imaging.h"
#include "sim/services.h"
#include "sim/simulator.h"
#include "sim/stream.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

constexpr uint16_t kGroupPort = 47600;

struct Events : _DKestEvents {
    CKestCtrl* ctrl = nullptr;
    int pictures = 0;
    int mismatched = 0;  // pictures that differ from the reference decode
    std::set<int> widths;
    std::vector<int> ends;
    std::vector<std::pair<std::string, int>> alarms;
    bool hold = false;  // keep the presentation lock past NewImage

    void OnEvent(const MemberInfo& e, std::span<const Variant> args) override {
        if (e.name == "EndDownloading") ends.push_back(args[0].integer());
        if (e.name == "Alarm") alarms.emplace_back(args[0].text(), args[1].integer());
        if (e.name != "NewImage") return;
        ++pictures;
        CKestCamera& c = *ctrl->camera();
        widths.insert(c.presented_width());
        const picdec_test::Bytes file(c.presented_jpeg(),
                                      c.presented_jpeg() + c.presented_length());
        const auto ref = picdec_test::DecodeReference(file);
        if (ref.width != c.presented_width() || ref.height != c.presented_height() ||
            ref.pixels.size() != size_t(ref.width) * size_t(ref.height) * 3) {
            ++mismatched;
            return;
        }
        long sum = 0;
        for (size_t i = 0; i < ref.pixels.size(); ++i)
            sum += std::abs(int(c.presented_picture()[i]) - int(ref.pixels[i]));
        if (double(sum) / double(ref.pixels.size()) > 1.5) ++mismatched;
    }
};

// A window that keeps the timers running on it, and hands everything else to
// a headless window of the test's loop.
class TimerWindow : public platform::MessageWindow {
  public:
    explicit TimerWindow(std::unique_ptr<platform::MessageWindow> inner)
        : inner_(std::move(inner)) {}
    bool Post(uint32_t m, uintptr_t w, intptr_t l) override { return inner_->Post(m, w, l); }
    bool SetTimer(uint32_t id, uint32_t interval_ms) override {
        timers[id] = interval_ms;
        return inner_->SetTimer(id, interval_ms);
    }
    void KillTimer(uint32_t id) override {
        timers.erase(id);
        inner_->KillTimer(id);
    }
    bool WatchSocket(int fd, uint32_t m) override { return inner_->WatchSocket(fd, m); }
    void RearmSocket(int fd) override { inner_->RearmSocket(fd); }
    void UnwatchSocket(int fd) override { inner_->UnwatchSocket(fd); }
    void Invalidate() override { inner_->Invalidate(); }
    bool IsAlive() const override { return inner_->IsAlive(); }

    std::map<uint32_t, uint32_t> timers;  // running timer -> its period

  private:
    std::unique_ptr<platform::MessageWindow> inner_;
};

std::unique_ptr<sim::Simulator> PushCamera(const std::string& address, uint8_t group_last,
                                           int model = 11) {
    sim::SimConfig config;
    config.bind_address = address;
    config.port = 4000;
    config.search_port = 4000;
    config.model_code = model;
    auto sim = std::make_unique<sim::Simulator>(config);
    {
        std::lock_guard lock(sim->state_mutex());
        sim::ServicesState& services = sim->State<sim::ServicesState>();
        services.multicast_mode = 1;
        services.multicast_address = {239, 1, 1, group_last};
        services.multicast_port = int16_t(kGroupPort + group_last);
        sim->State<sim::MulticastPushState>().period_ms = 40;
    }
    return sim;
}

class PushMode : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("KEST_IN_NETNS")) {
            GTEST_SKIP() << "multicast only inside the test namespace";
        }
        if (!ProcessPicdec().can_decode()) GTEST_SKIP() << "picdec.spi is not built next to kest";
        sim_ = PushCamera("127.0.0.2", 2);
        ASSERT_TRUE(sim_->Start());
        AttachTimerWindow();
        events_.ctrl = &ctrl_;
        ctrl_.Advise(&events_);
        ctrl_.SetRemoteIPAddress("127.0.0.2");
        ctrl_.SetCameraPort(4000);
    }
    void TearDown() override {
        if (!sim_) return;
        ctrl_.StopDownloading();
        loop_.RunPending();
        ctrl_.Unadvise(&events_);
    }
    template <typename F>
    void WithPush(F&& f) {
        std::lock_guard lock(sim_->state_mutex());
        f(sim_->State<sim::MulticastPushState>());
    }
    bool RunUntilPictures(int n) {
        return loop_.RunUntil([&] { return events_.pictures >= n; }, 10000);
    }
    const MulticastReceiver& push() { return ctrl_.camera()->multicast(); }
    TimerWindow* AttachTimerWindow() {
        auto window = std::make_unique<TimerWindow>(loop_.CreateWindow(&ctrl_));
        TimerWindow* kept = window.get();
        ctrl_.AttachWindow(std::move(window));
        return kept;
    }
    // Checks of push mode the camera was asked for (command 131 with 0).
    size_t Checks() {
        size_t n = 0;
        for (const auto& d : sim_->Received())
            n += d.code() == 131 && LoadU16(&d.bytes[12]) == 0;
        return n;
    }

    test::ScopedTempDir dir_;
    std::unique_ptr<sim::Simulator> sim_;
    platform::EventLoop loop_;
    CKestCtrl ctrl_;
    Events events_;
};

TEST_F(PushMode, PushedFramesAreShownLikePulledOnesWithoutAnyPoll) {
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    EXPECT_TRUE(push().active());
    ASSERT_TRUE(RunUntilPictures(4));
    EXPECT_EQ(events_.mismatched, 0);
    EXPECT_EQ(ctrl_.camera()->presented_width(), 640);
    // The camera was asked once to push; no frame was polled for.
    EXPECT_EQ(sim_->ReceivedCount(131), 1u);
    EXPECT_EQ(sim_->ReceivedCount(128) + sim_->ReceivedCount(129), 0u);
    const auto asks = sim_->Received();
    for (const auto& d : asks) {
        if (d.code() == 131) {
            EXPECT_EQ(LoadU16(&d.bytes[12]), 1);
        }
    }
    EXPECT_FALSE(ctrl_.camera()->receiver().running());

    EXPECT_EQ(ctrl_.StopDownloading(), 0);
    EXPECT_FALSE(push().session_open());
    EXPECT_FALSE(ctrl_.camera()->session_open());
    // A second start joins the group again.
    const int before = events_.pictures;
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(before + 2));
}

TEST_F(PushMode, APacketBeforeAnyHeaderIsIgnoredAndAFrameMissingAPacketIsDropped) {
    WithPush([](sim::MulticastPushState& p) { p.packet_before_header = true; });
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(2));
    // Taken without its header, the early last packet would have ended a
    // frame that has none of the others.
    EXPECT_EQ(push().frames_dropped(), 0u);

    // Packet 2 of the next frame never comes: that frame is not delivered,
    // and the ones after it are.
    WithPush([&](sim::MulticastPushState& p) { p.drop_once = {2}; });
    ASSERT_TRUE(loop_.RunUntil([&] { return push().frames_dropped() == 1; }, 10000));
    const uint32_t completed = push().frames_completed();
    const int shown = events_.pictures;
    ASSERT_TRUE(loop_.RunUntil([&] { return push().frames_completed() >= completed + 2; }, 10000));
    ASSERT_TRUE(RunUntilPictures(shown + 1));
    EXPECT_EQ(push().frames_dropped(), 1u);
    EXPECT_EQ(events_.mismatched, 0);
}

TEST_F(PushMode, PacketsOfTheNextFrameAreNeverMixedIntoAnIncompleteOne) {
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(2));
    // A frame loses its last packet and the next one its header: the next
    // frame's packets must not complete the first.
    WithPush([](sim::MulticastPushState& p) { p.tail_then_header = true; });
    ASSERT_TRUE(loop_.RunUntil([&] { return push().frames_dropped() >= 1; }, 10000));
    const int shown = events_.pictures;
    ASSERT_TRUE(RunUntilPictures(shown + 3));
    EXPECT_EQ(push().frames_dropped(), 1u);
    EXPECT_EQ(events_.mismatched, 0);
}

TEST_F(PushMode, OnlyTheCamerasOwnDatagramsMakeItsFrames) {
    // Another camera pushes smaller pictures to the same group and port, unasked.
    auto other = PushCamera("127.0.0.3", 2);
    ASSERT_TRUE(other->Start());
    {
        std::lock_guard lock(other->state_mutex());
        other->State<sim::MulticastPushState>().pushing = true;
        other->State<sim::MulticastPushState>().sequence = 0x7000;
        other->State<sim::ImagingState>().width = 320;
        other->State<sim::ImagingState>().height = 240;
    }
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(6));
    EXPECT_EQ(events_.widths, std::set<int>{640});
    EXPECT_EQ(events_.mismatched, 0);
    std::lock_guard lock(other->state_mutex());
    EXPECT_GT(other->State<sim::MulticastPushState>().frames_pushed, 3u);
}

TEST_F(PushMode, TheCheckEndsPushModeWhenThePortChangesOrTheCameraSaysFive) {
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(1));

    // A check that finds everything as it was changes nothing.
    ctrl_.OnTimer(kMulticastCheckTimer);
    EXPECT_TRUE(push().active());
    EXPECT_TRUE(events_.ends.empty());
    EXPECT_EQ(Checks(), 1u);

    {
        std::lock_guard lock(sim_->state_mutex());
        sim_->State<sim::ServicesState>().multicast_port = int16_t(kGroupPort + 9);
    }
    ctrl_.OnTimer(kMulticastCheckTimer);
    loop_.RunPending();
    EXPECT_EQ(events_.ends, std::vector<int>{10});
    EXPECT_FALSE(push().session_open());
    EXPECT_FALSE(ctrl_.camera()->downloading());
    // A check that was already queued asks nothing and ends nothing again.
    ctrl_.OnTimer(kMulticastCheckTimer);
    loop_.RunPending();
    EXPECT_EQ(Checks(), 2u);
    EXPECT_EQ(events_.ends, std::vector<int>{10});

    // Once more, now the camera answers the check with status 5.
    {
        std::lock_guard lock(sim_->state_mutex());
        sim_->State<sim::ServicesState>().multicast_port = int16_t(kGroupPort + 2);
    }
    ctrl_.StopDownloading();
    loop_.RunPending();
    events_.ends.clear();
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    WithPush([](sim::MulticastPushState& p) { p.check_status = 5; });
    ctrl_.OnTimer(kMulticastCheckTimer);
    loop_.RunPending();
    EXPECT_EQ(events_.ends, std::vector<int>{5});
}

TEST_F(PushMode, TheCheckRunsEvery20SecondsOnlyWhilePushing) {
    TimerWindow* window = AttachTimerWindow();
    EXPECT_TRUE(window->timers.empty());
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    EXPECT_EQ(window->timers, (std::map<uint32_t, uint32_t>{{kMulticastCheckTimer, 20000}}));
    ASSERT_TRUE(RunUntilPictures(1));

    // A window given while pushing takes over the socket and the check.
    TimerWindow* next = AttachTimerWindow();
    EXPECT_EQ(next->timers, (std::map<uint32_t, uint32_t>{{kMulticastCheckTimer, 20000}}));
    const int shown = events_.pictures;
    ASSERT_TRUE(RunUntilPictures(shown + 2));

    EXPECT_EQ(ctrl_.StopDownloading(), 0);
    EXPECT_TRUE(next->timers.empty());
}

TEST_F(PushMode, AReceiveErrorEndsPushModeAtTheNextCheck) {
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(1));
    // What a receive error does: the socket is closed, nothing more arrives.
    ctrl_.camera()->multicast_receiver().CloseSocket();
    ctrl_.OnTimer(kMulticastCheckTimer);
    loop_.RunPending();
    EXPECT_EQ(events_.ends, std::vector<int>{10});
    EXPECT_FALSE(ctrl_.camera()->downloading());
    EXPECT_EQ(Checks(), 0u);  // the camera still pushes; asking it would say so
}

TEST_F(PushMode, AFrameIsDroppedWhileTheHostStillHoldsThePreviousOne) {
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(1));
    // The host's thread holds the presentation lock, as it does between a
    // frame's hand-over and the end of its NewImage: frames arriving then are
    // dropped at once, never waited for.
    ASSERT_TRUE(ctrl_.camera()->LockPresentation(1));
    const int shown = events_.pictures;
    const uint32_t completed = push().frames_completed();
    ASSERT_TRUE(loop_.RunUntil([&] { return push().frames_completed() >= completed + 3; }, 10000));
    EXPECT_EQ(events_.pictures, shown);
    ctrl_.camera()->LockPresentation(2);
    ASSERT_TRUE(RunUntilPictures(shown + 2));
}

TEST_F(PushMode, TheGroupIsJoinedOnTheInterfaceTheSettingsName) {
    // An address no interface has: the group cannot be joined.
    std::ofstream(dir_.File("KEST.INI")) << "[udp]\nmulticast_interface=192.0.2.1\n";
    EXPECT_EQ(ctrl_.StartDownloading(), kResultFailed);
    EXPECT_FALSE(ctrl_.camera()->downloading());
    EXPECT_EQ(sim_->ReceivedCount(131), 0u);

    std::ofstream(dir_.File("KEST.INI")) << "[udp]\nmulticast_interface=127.0.0.1\n";
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    ASSERT_TRUE(RunUntilPictures(2));
}

TEST_F(PushMode, ACameraThatDoesNotMulticastIsPulled) {
    {
        std::lock_guard lock(sim_->state_mutex());
        sim_->State<sim::ServicesState>().multicast_mode = 0;
    }
    ASSERT_EQ(ctrl_.StartDownloading(), 0);
    EXPECT_FALSE(push().session_open());
    ASSERT_TRUE(RunUntilPictures(2));
    EXPECT_GT(sim_->ReceivedCount(129), 0u);
    EXPECT_EQ(sim_->ReceivedCount(131), 0u);
}

TEST(PushSite, TwoCamerasFoundOneStreamingByMulticastTheOtherRaisingAnAlarm) {
    if (!std::getenv("KEST_IN_NETNS")) GTEST_SKIP() << "multicast only inside the test namespace";
    if (!ProcessPicdec().can_decode()) GTEST_SKIP() << "picdec.spi is not built next to kest";
    test::ScopedTempDir dir;
    auto streaming = PushCamera("127.0.0.2", 2);
    auto alarming = PushCamera("127.0.0.3", 3, 20);
    ASSERT_TRUE(streaming->Start());
    ASSERT_TRUE(alarming->Start());

    platform::EventLoop loop;
    CKestCtrl viewer, watcher;
    Events shown, alarms;
    shown.ctrl = &viewer;
    alarms.ctrl = &watcher;
    viewer.AttachWindow(loop.CreateWindow(&viewer));
    watcher.AttachWindow(loop.CreateWindow(&watcher));
    viewer.Advise(&shown);
    watcher.Advise(&alarms);

    // Both cameras are found, each with its group and its multicast flag.
    std::vector<uint8_t> records(120, 0);
    int16_t number = 0;
    ASSERT_EQ(viewer.SearchMulticastIP({records.data(), records.size()}, 120, number, 1), 0);
    ASSERT_EQ(number, 2);
    std::set<std::pair<int, int>> found;
    for (int i = 0; i < number; ++i) {
        const uint8_t* r = &records[size_t(i) * 12];
        EXPECT_EQ(r[0], 127);
        EXPECT_EQ(r[4], 239);
        EXPECT_EQ(r[8], 1);
        found.emplace(r[3], r[7]);
    }
    EXPECT_EQ(found, (std::set<std::pair<int, int>>{{2, 2}, {3, 3}}));

    viewer.SetRemoteIPAddress("127.0.0.2");
    viewer.SetCameraPort(4000);
    ASSERT_EQ(viewer.StartDownloading(), 0);
    watcher.SetRemoteIPAddress("127.0.0.3");
    watcher.SetCameraPort(4000);
    ASSERT_EQ(watcher.AlarmRegister(), 0);

    ASSERT_TRUE(loop.RunUntil([&] { return shown.pictures >= 3; }, 10000));
    sim::TriggerAlarm(*alarming, 1);
    ASSERT_TRUE(loop.RunUntil([&] { return !alarms.alarms.empty(); }, 5000));
    EXPECT_EQ(alarms.alarms.front(), (std::pair<std::string, int>{"127.0.0.3", 1}));
    EXPECT_EQ(shown.mismatched, 0);
    EXPECT_TRUE(shown.alarms.empty());  // the viewer registered for none

    EXPECT_EQ(watcher.AlarmDeregister(), 0);
    viewer.StopDownloading();
    loop.RunPending();
    viewer.Unadvise(&shown);
    watcher.Unadvise(&alarms);
}

}  // namespace
}  // namespace kest
