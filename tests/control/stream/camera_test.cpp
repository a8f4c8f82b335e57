// Session open and close of the camera object, and the settings it reads.
#include "control/stream/camera.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

// A camera that answers the handshake: version 20, model 11, program 31.
std::vector<PeerReply> Handshake(const PeerDatagram& d) {
    if (d.code() == 1) return {{RecordingPeer::Reply(d, 20, {11, 0, 31, 0})}};
    return {{RecordingPeer::Reply(d, 0)}};
}

class CameraTest : public ::testing::Test {
  protected:
    void WriteIni(const std::string& text) { std::ofstream(dir_.File("KEST.INI")) << text; }
    test::ScopedTempDir dir_;
    RecordingPeer peer_{Handshake};
    CKestCamera camera_{"camera-test"};
};

TEST_F(CameraTest, OpenRunsTheHandshakeAndKeepsTheVersion) {
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_TRUE(camera_.session_open());
    EXPECT_EQ(camera_.version_number(), 20);
    EXPECT_EQ(camera_.model_code(), 11);
    EXPECT_EQ(camera_.second_version(), 31);
    const auto got = peer_.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].code(), 0);
    EXPECT_EQ(got[1].code(), 1);
    EXPECT_EQ(got[0].bytes.size(), 4u);
    EXPECT_EQ(got[1].bytes.size(), 4u);
    EXPECT_EQ(camera_.CloseSession(), 0);
    EXPECT_EQ(camera_.CloseSession(), -200);
}

TEST_F(CameraTest, BadPortAndSecondOpenChangeNothing) {
    EXPECT_EQ(camera_.OpenSession("127.0.0.1", -1), -100);
    EXPECT_EQ(camera_.OpenSession("127.0.0.1", 70000), -100);
    EXPECT_FALSE(camera_.session_open());
    EXPECT_EQ(peer_.count(), 0u);

    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), -201);
    EXPECT_EQ(peer_.count(), 2u);
    EXPECT_EQ(camera_.port_text(), std::to_string(peer_.port()));
}

TEST_F(CameraTest, CommandsWithoutSessionGive200AndSendNothing) {
    protocol::VersionInfo info;
    EXPECT_EQ(camera_.scmd_nop(), -200);
    EXPECT_EQ(camera_.scmd_get_version(&info), -200);
    EXPECT_EQ(camera_.scmd_clear_start_flag(), -200);
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_EQ(camera_.scmd_get_version(nullptr), -100);
    EXPECT_EQ(peer_.count(), 2u);
}

TEST_F(CameraTest, SilentCameraFailsTheOpenAndClosesTheSession) {
    peer_.SetScript(nullptr);
    camera_.set_reply_wait(50);
    EXPECT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), -1);
    EXPECT_FALSE(camera_.session_open());
    EXPECT_EQ(peer_.count(), 1u);  // the scmd_nop only
}

TEST_F(CameraTest, NegativeVersionNumberFailsTheOpen) {
    peer_.SetScript([](const PeerDatagram& d) -> std::vector<PeerReply> {
        if (d.code() == 1) return {{RecordingPeer::Reply(d, -3, {11, 0})}};
        return {{RecordingPeer::Reply(d, 0)}};
    });
    EXPECT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), -3);
    EXPECT_FALSE(camera_.session_open());
}

TEST_F(CameraTest, InvalidAddressIsRefused) {
    EXPECT_EQ(camera_.OpenSession("300.1.1.1", peer_.port()), -5);
    EXPECT_FALSE(camera_.session_open());
}

TEST(CameraAddress, DigitRunsAreNormalised) {
    EXPECT_EQ(CKestCamera::NormaliseAddress("192.168.000.010"), "192.168.0.10");
    EXPECT_EQ(CKestCamera::NormaliseAddress("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(CKestCamera::NormaliseAddress("10 1 2 3"), "10.1.2.3");
    EXPECT_EQ(CKestCamera::NormaliseAddress("1.2.3.4.5"), "1.2.3.4");
    EXPECT_EQ(CKestCamera::NormaliseAddress(""), "0.0.0.0");
    // A long digit run cannot overflow; it stays an invalid address.
    EXPECT_EQ(CKestCamera::NormaliseAddress("99999999999999999999.1.1.1"), "999999.1.1.1");
}

TEST(CameraSettings, QuantisationRowsArePositional) {
    const std::array<uint8_t, 8> row = {16, 11, 10, 16, 24, 40, 51, 61};
    EXPECT_EQ(CKestCamera::ParseQuantRow("016,011,010,016,024,040,051,061"), row);
    // The fourth character of each group is skipped unread.
    EXPECT_EQ(CKestCamera::ParseQuantRow("016x011x010x016x024x040x051x061"), row);
    std::array<uint8_t, 8> tens;
    tens.fill(10);
    EXPECT_EQ(CKestCamera::ParseQuantRow(""), tens);
    // A short value leaves the missing numbers at zero.
    EXPECT_EQ(CKestCamera::ParseQuantRow("001,002"),
              (std::array<uint8_t, 8>{1, 2, 0, 0, 0, 0, 0, 0}));
}

TEST_F(CameraTest, SettingsAreReadAtSessionOpen) {
    WriteIni(
        "[udp]\r\nretry = 1500\r\n[JPEG]\r\nqtaby1=016,011,010,016,024,040,051,061\r\n"
        "qtabc8=099,099,099,099,099,099,099,099\r\nscalef=8\r\n[check]\r\nspeed=1\r\n");
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_EQ(camera_.channel().retry_window(), 1500u);
    EXPECT_EQ(camera_.size_code(), 48);
    EXPECT_FLOAT_EQ(camera_.scale_factor(), 6.25f);
    EXPECT_EQ(camera_.throughput_test(), 1);
    const auto& q = camera_.quant_tables();
    EXPECT_EQ(q[0], 16);
    EXPECT_EQ(q[7], 61);
    EXPECT_EQ(q[8], 10);  // row 2 missing: eight 10s
    EXPECT_EQ(q[64 + 56], 99);
    EXPECT_EQ(camera_.frame_record().quant_tables, q.data());
}

TEST_F(CameraTest, TheRetryWindowFromTheSettingsStaysWithinItsRange) {
    const struct {
        const char* value;
        uint32_t window;
    } cases[] = {
        {"-1", 0},
        {"-99999999999999999999", 0},
        {"2500", 2500},
        {"60000", 60000},
        {"60001", 60000},
        {"999999999", 60000},
        {"99999999999999999999", 60000},  // too big for any integer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        WriteIni(std::string("[udp]\nretry=") + c.value + "\n");
        ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
        EXPECT_EQ(camera_.channel().retry_window(), c.window);
        camera_.CloseSession();
    }

    // A window of -1 makes no resend: a command to a camera that stopped
    // answering is sent once and fails after one reply wait.
    WriteIni("[udp]\nretry=-1\n");
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    camera_.set_reply_wait(50);
    peer_.SetScript(nullptr);
    const size_t before = peer_.count();
    EXPECT_EQ(camera_.scmd_nop(), -1);
    EXPECT_EQ(peer_.count(), before + 1);
}

TEST_F(CameraTest, ScaleFactorThreeKeepsTheCurrentPair) {
    WriteIni("[jpeg]\nscalef=4\n");
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_EQ(camera_.size_code(), 32);
    camera_.CloseSession();
    WriteIni("[jpeg]\nscalef=3\n");
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_EQ(camera_.size_code(), 32);
    EXPECT_FLOAT_EQ(camera_.scale_factor(), 12.5f);
}

TEST_F(CameraTest, DefaultsWithoutSettingsFile) {
    ASSERT_EQ(camera_.OpenSession("127.0.0.1", peer_.port()), 0);
    EXPECT_EQ(camera_.channel().retry_window(), 0u);
    EXPECT_EQ(camera_.size_code(), 16);
    EXPECT_FLOAT_EQ(camera_.scale_factor(), 25.0f);
    EXPECT_EQ(camera_.throughput_test(), 0);
    for (uint8_t v : camera_.quant_tables())
        EXPECT_EQ(v, 10);
    EXPECT_EQ(camera_.reported().pan, 32767);
    EXPECT_EQ(camera_.reported().size_class, 0xFFFF);
}

TEST(CameraLocks, NamedLocksFollowTheToken) {
    CKestCamera camera("KX9abc");
    EXPECT_EQ(camera.command_lock_name(), "Packet/KX9abc/LockPackSemaphore");
    EXPECT_EQ(camera.presentation_lock_name(), "Packet/KX9abc/LockJPEGSemaphore");
    // The presentation lock has count 1 and times out instead of blocking.
    EXPECT_TRUE(camera.LockPresentation(1));
    camera.LockPresentation(2);
    EXPECT_TRUE(camera.LockPresentation(1));
    camera.LockPresentation(2);
    EXPECT_TRUE(camera.LockListeners());
    EXPECT_TRUE(camera.UnlockListeners());
}

}  // namespace
}  // namespace kest
