// The simulator's handshake answers and fault injection, seen from the client.
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <fstream>

#include "control/stream/camera.h"
#include "platform/ticks.h"
#include "tests/support/temp_dir.h"

namespace kest::sim {
namespace {

class SimulatorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SimConfig config;
        config.port = 0;
        config.model_code = 3;
        config.program_version = 44;
        config.log_path = dir_.File("datagrams.log");
        sim_ = std::make_unique<Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        camera_.set_reply_wait(150);
    }
    int32_t Open() { return camera_.OpenSession("127.0.0.1", sim_->port()); }

    test::ScopedTempDir dir_;
    std::unique_ptr<Simulator> sim_;
    CKestCamera camera_{"sim-test"};
};

TEST_F(SimulatorTest, AnswersTheHandshakeAndRecordsEveryDatagram) {
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(camera_.model_code(), 3);
    EXPECT_EQ(camera_.second_version(), 44);
    EXPECT_EQ(camera_.version_number(), 20);
    camera_.CloseSession();
    sim_->Stop();
    const auto got = sim_->Received();
    ASSERT_EQ(got.size(), 2u);
    // The log has one line of hex per datagram.
    std::ifstream log(dir_.File("datagrams.log"));
    std::string line;
    for (const Datagram& d : got) {
        ASSERT_TRUE(std::getline(log, line));
        EXPECT_EQ(line, d.Hex());
        EXPECT_EQ(line.size(), 8u);
    }
}

TEST_F(SimulatorTest, RestartRaisesTheStartFlagUntilTheClientClearsIt) {
    ASSERT_EQ(Open(), 0);
    sim_->SimulateRestart();
    EXPECT_EQ(camera_.scmd_nop(), 0);
    EXPECT_FALSE(sim_->start_flag());
    EXPECT_EQ(camera_.scmd_nop(), 0);
    const auto got = sim_->Received();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[2].code(), 0);
    EXPECT_EQ(got[3].code(), 176);
    EXPECT_EQ(got[4].code(), 0);
}

TEST_F(SimulatorTest, DroppedRepliesAreRecoveredWithinTheRetryWindow) {
    ASSERT_EQ(Open(), 0);
    sim_->DropNextReplies(1);
    EXPECT_EQ(camera_.scmd_nop(), -1);  // retry window 0: one attempt
    camera_.channel().set_retry_window(1000);
    sim_->DropNextReplies(2);
    EXPECT_EQ(camera_.scmd_nop(), 0);
    EXPECT_EQ(sim_->ReceivedCount(0), 5u);  // open, lost one, then three attempts
}

TEST_F(SimulatorTest, DropFractionIsSeeded) {
    ASSERT_EQ(Open(), 0);
    sim_->DropFraction(1.0, 7);
    EXPECT_EQ(camera_.scmd_nop(), -1);
    sim_->DropFraction(0.0, 7);
    EXPECT_EQ(camera_.scmd_nop(), 0);
}

TEST_F(SimulatorTest, SlowAndMisnumberedReplies) {
    ASSERT_EQ(Open(), 0);
    sim_->SendWrongSequenceFirst(true);
    EXPECT_EQ(camera_.scmd_nop(), 0);
    sim_->SendWrongSequenceFirst(false);
    sim_->DelayReplies(300);
    EXPECT_EQ(camera_.scmd_nop(), -1);  // the reply comes after the 150 ms wait
    camera_.set_reply_wait(1000);
    platform::SleepMs(300);  // let the late reply arrive and be skipped
    EXPECT_EQ(camera_.scmd_nop(), 0);
}

TEST_F(SimulatorTest, RepliesFromAnotherAddressAreNotTaken) {
    ASSERT_TRUE(sim_->AnswerFrom("127.0.0.2"));
    EXPECT_EQ(Open(), -1);
    EXPECT_EQ(sim_->ReceivedCount(0), 1u);
}

TEST(SimulatorBind, BadAddressFailsToStart) {
    SimConfig config;
    config.port = 0;
    config.bind_address = "not-an-address";
    Simulator sim(config);
    EXPECT_FALSE(sim.Start());
    config.bind_address = "192.0.2.1";  // not an address of this machine
    Simulator foreign(config);
    EXPECT_FALSE(foreign.Start());
    config.bind_address = "0.0.0.0";  // every address: not only loopback
    Simulator everywhere(config);
    EXPECT_FALSE(everywhere.Start());
}

}  // namespace
}  // namespace kest::sim
