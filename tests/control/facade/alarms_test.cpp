// Alarm notifications on the control's alarm socket, and the alarm methods
// against a recording peer and the simulator.
#include <gtest/gtest.h>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"
#include "platform/udp_socket.h"
#include "sim/alarms.h"
#include "tests/support/recording_peer.h"

namespace kest {
namespace {

using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

struct Alarms : _DKestEvents {
    std::vector<std::pair<std::string, int>> alarms;
    void OnEvent(const MemberInfo& e, std::span<const Variant> args) override {
        if (e.name == "Alarm") alarms.emplace_back(args[0].text(), args[1].integer());
    }
};

class AlarmTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ctrl_.AttachWindow(loop_.CreateWindow(&ctrl_));
        ctrl_.Advise(&sink_);
        ctrl_.SetRemoteIPAddress("127.0.0.1");
        ctrl_.SetTimeout(200);
    }
    void TearDown() override { ctrl_.Unadvise(&sink_); }
    void SendToAlarmPort(std::vector<uint8_t> d) {
        platform::UdpSocket s;
        ASSERT_TRUE(s.Open());
        s.SendTo(d.data(), d.size(), platform::MakeAddress(0x7F000001, ctrl_.alarm_port()));
    }
    // A camera of the given model that answers every command with `status`
    // and, for the list, announces `announced` recipients and sends `records`.
    void UsePeer(int model, int16_t status, uint16_t announced = 20, int records = 20) {
        peer_.SetScript([=](const PeerDatagram& d) -> std::vector<PeerReply> {
            if (d.code() == 1) return {{RecordingPeer::Reply(d, 20, {uint8_t(model), 0, 1, 0})}};
            if (d.code() == 0) return {{RecordingPeer::Reply(d, 0)}};
            if (d.code() == 2308) {
                std::vector<uint8_t> data = {uint8_t(announced), uint8_t(announced >> 8)};
                for (int i = 0; i < records; ++i) {
                    for (int k = 0; k < 12; ++k)
                        data.push_back(uint8_t(i));
                }
                return {{RecordingPeer::Reply(d, status, data)}};
            }
            return {{RecordingPeer::Reply(d, status)}};
        });
        ctrl_.SetCameraPort(peer_.port());
    }
    std::vector<PeerDatagram> Commands() {
        std::vector<PeerDatagram> out;
        for (const auto& d : peer_.Received()) {
            if (d.code() > 1) out.push_back(d);
        }
        return out;
    }

    platform::EventLoop loop_;
    CKestCtrl ctrl_;
    Alarms sink_;
    RecordingPeer peer_;
};

TEST_F(AlarmTest, NotificationsFireAlarmWithTheAddressFromTheDatagram) {
    ASSERT_NE(ctrl_.alarm_port(), 0);
    SendToAlarmPort({0, 0, 0x90, 0x09, 192, 168, 0, 20, 0, 0, 3, 0});
    SendToAlarmPort({0, 0, 0x8F, 0x09, 192, 168, 0, 21, 0, 0, 4, 0});  // 2447: not an alarm
    SendToAlarmPort({0, 0, 0x90, 0x09, 1, 2});                         // too short
    SendToAlarmPort({0, 0, 0x90, 0x09, 10, 0, 0, 1, 0, 0, 0xFF, 0xFF});
    loop_.RunFor(100);
    ASSERT_EQ(sink_.alarms.size(), 2u);
    EXPECT_EQ(sink_.alarms[0], (std::pair<std::string, int>{"192.168.0.20", 3}));
    EXPECT_EQ(sink_.alarms[1], (std::pair<std::string, int>{"10.0.0.1", -1}));
}

TEST_F(AlarmTest, WithoutAWindowThereIsNoAlarmSocket) {
    CKestCtrl bare;
    EXPECT_EQ(bare.alarm_port(), 0);
    bare.SetRemoteIPAddress("127.0.0.1");
    bare.SetCameraPort(peer_.port());
    EXPECT_EQ(bare.AlarmRegister(), kResultFailed);
    EXPECT_EQ(peer_.count(), 0u);
}

TEST_F(AlarmTest, AlarmOutCodesAndCountLimit) {
    UsePeer(11, 0);
    EXPECT_EQ(ctrl_.AlarmOut(0), 0);
    EXPECT_EQ(ctrl_.AlarmOut(1), 0);
    EXPECT_EQ(ctrl_.AlarmOut(-1), 0);
    EXPECT_EQ(ctrl_.AlarmSetCount(11), kResultBadArgument);
    EXPECT_EQ(ctrl_.AlarmSetCount(10), 0);
    const auto got = Commands();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].code(), 2450);
    EXPECT_EQ(got[1].code(), 2449);
    EXPECT_EQ(got[2].code(), 2449);
    EXPECT_EQ(got[3].ToString(), "seq=" + std::to_string(got[3].sequence()) +
                                     " code=2305 00000000000000000100" + "0a00");
}

TEST_F(AlarmTest, RecipientListIsCutToTheBuffer) {
    UsePeer(11, 0);
    std::vector<uint8_t> list(130, 0xEE);
    int16_t count = 0;
    EXPECT_EQ(ctrl_.AlarmGetList(count, {list.data(), list.size()}, 120), 0);
    EXPECT_EQ(count, 20);
    EXPECT_EQ(list[9 * 12], 9);
    EXPECT_EQ(list[119], 9);
    EXPECT_EQ(list[120], 0xEE);  // the eleventh record is not copied
}

TEST_F(AlarmTest, TheRecipientCountIsWhatTheReplyHolds) {
    const struct {
        uint16_t announced;
        int records;
        int16_t result, count;
    } cases[] = {
        {20, 3, 0, 3},        // announces more than it sent
        {2, 20, 0, 2},        // sends more than it announces
        {0, 0, 0, 0},         //
        {0xFFFF, 20, 5, -7},  // a negative count: refused, Count untouched
        {0x8000, 20, 5, -7},  //
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.announced);
        UsePeer(11, 0, c.announced, c.records);
        std::vector<uint8_t> list(240, 0xEE);
        int16_t count = -7;
        EXPECT_EQ(ctrl_.AlarmGetList(count, {list.data(), list.size()}, 240), c.result);
        EXPECT_EQ(count, c.count);
        // Nothing past the records received is written.
        EXPECT_EQ(list[size_t(std::max<int16_t>(c.count, 0)) * 12], 0xEE);
    }
}

TEST_F(AlarmTest, StatusMappingsAndModels) {
    UsePeer(11, 2);
    EXPECT_EQ(ctrl_.AlarmRegister(), kResultAlarmStatus2);
    EXPECT_EQ(ctrl_.AlarmOut(1), kResultAlarmOut2);
    int16_t count = 5;
    EXPECT_EQ(ctrl_.AlarmGetCount(count), kResultBadArgument);
    UsePeer(11, 1);
    EXPECT_EQ(ctrl_.AlarmDeregister(), kResultRefused);
    std::vector<uint8_t> list(24);
    count = 5;
    EXPECT_EQ(ctrl_.AlarmGetList(count, {list.data(), list.size()}, 24), kResultRefused);
    EXPECT_EQ(count, 5);
    UsePeer(0, 0);
    const size_t before = Commands().size();
    const size_t datagrams = peer_.count();
    EXPECT_EQ(ctrl_.AlarmRegister(), kResultNotThisType);
    EXPECT_EQ(Commands().size(), before);
    EXPECT_EQ(peer_.count(), datagrams + 2);  // the session's handshake only
}

TEST_F(AlarmTest, ShortBuffersAreRefusedWithoutTraffic) {
    UsePeer(11, 0);
    uint8_t small[35];
    EXPECT_EQ(ctrl_.AlarmSetInit({small, sizeof small}), kResultBadArgument);
    EXPECT_EQ(ctrl_.AlarmGetInit({small, sizeof small}), kResultBadArgument);
    EXPECT_EQ(ctrl_.AlarmDeregisterIndirect({small, 3}, 4000), kResultBadArgument);
    EXPECT_EQ(peer_.count(), 0u);
    uint8_t address[4] = {127, 0, 0, 9};
    EXPECT_EQ(ctrl_.AlarmDeregisterIndirect({address, 4}, 4100), 0);
    const auto got = Commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes.size(), 18u);
    EXPECT_EQ(got[0].bytes[12], 127);
    EXPECT_EQ(got[0].bytes[15], 9);
}

TEST_F(AlarmTest, AnAlarmFromTheSimulatedCameraReachesTheEvent) {
    sim::SimConfig config;
    config.port = 0;
    config.model_code = 11;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    ctrl_.SetCameraPort(camera.port());
    ASSERT_EQ(ctrl_.AlarmRegister(), 0);
    uint8_t setting[36];
    for (int i = 0; i < 36; ++i)
        setting[i] = uint8_t(i);
    EXPECT_EQ(ctrl_.AlarmSetInit({setting, 36}), 0);
    uint8_t back[36] = {};
    EXPECT_EQ(ctrl_.AlarmGetInit({back, 36}), 0);
    EXPECT_EQ(std::memcmp(setting, back, 36), 0);
    sim::TriggerAlarm(camera, 5);
    EXPECT_TRUE(loop_.RunUntil([this] { return !sink_.alarms.empty(); }, 2000));
    ASSERT_EQ(sink_.alarms.size(), 1u);
    EXPECT_EQ(sink_.alarms[0], (std::pair<std::string, int>{"127.0.0.1", 5}));
    ASSERT_EQ(ctrl_.AlarmDeregister(), 0);
    sim::TriggerAlarm(camera, 6);
    loop_.RunFor(50);
    EXPECT_EQ(sink_.alarms.size(), 1u);
}

}  // namespace
}  // namespace kest
