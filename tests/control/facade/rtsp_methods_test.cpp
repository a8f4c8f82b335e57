// StartStreaming and StopStreaming end to end: a control against the
// simulator's camera (UDP commands) and its RTSP server, which streams the
// MPEG-4 test stream as RTP to the control's RtpRecvPort.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "control/facade/ctrl.h"
#include "control/stream/rtp_receiver.h"
#include "control/stream/rtsp_client.h"
#include "platform/ticks.h"
#include "sim/rtsp_server.h"
#include "sim/simulator.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A UDP port that is free now: tests run in parallel, each with its own.
uint16_t FreeUdpPort() {
    platform::UdpSocket s;
    s.Open();
    s.Bind(0x7F000001, 0);
    return s.LocalPort();
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\r'));
}

class StreamingTest : public ::testing::Test {
  protected:
    explicit StreamingTest(int model = 11) : camera_(Config(model)) {}

    static sim::SimConfig Config(int model) {
        sim::SimConfig c;
        c.port = 0;
        c.model_code = model;
        return c;
    }

    void SetUp() override {
        ASSERT_TRUE(camera_.Start());
        rtp_port_ = FreeUdpPort();
        sim::RtspServerConfig config;
        config.port = 0;
        config.rtp_port = rtp_port_;
        config.stream_path = KEST_TEST_DATA "/mpeg4_320x240.m4v";
        config.frame_rate = 100;
        server_ = std::make_unique<sim::RtspServer>(config);
        ASSERT_TRUE(server_->Start());
        ctrl_ = std::make_unique<CKestCtrl>();
        ctrl_->SetRemoteIPAddress("127.0.0.1");
        ctrl_->SetCameraPort(camera_.port());
        ctrl_->SetRtspPort(server_->port());
        ctrl_->SetRtpRecvPort(rtp_port_);
        ctrl_->rtsp_client()->set_close_waits(0, 0);
    }

    // Waits up to 5 s for a condition of the receiver's thread.
    template <typename F>
    static bool WaitUntil(F done) {
        for (int i = 0; i < 5000 && !done(); ++i)
            platform::SleepMs(1);
        return done();
    }
    // Waits until the whole stream was sent and has reached the dump file.
    bool WaitForWholeStream() {
        if (!server_->WaitFinished(20000)) return false;
        const uint64_t size = server_->stream().size();
        for (int i = 0; i < 5000 && ctrl_->rtp_receiver()->dump_bytes() < size; ++i)
            platform::SleepMs(1);
        return ctrl_->rtp_receiver()->dump_bytes() == size;
    }

    test::ScopedTempDir dir_;
    sim::Simulator camera_;
    uint16_t rtp_port_ = 0;
    std::unique_ptr<sim::RtspServer> server_;
    std::unique_ptr<CKestCtrl> ctrl_;
};

TEST_F(StreamingTest, TheDumpFileIsTheStreamTheCameraSent) {
    ASSERT_EQ(ctrl_->StartStreaming(), kResultOk);
    EXPECT_EQ(ctrl_->rtsp_session(), "12345678");
    EXPECT_TRUE(ctrl_->rtp_receiver()->running());
    EXPECT_EQ(ctrl_->rtp_receiver()->local_port(), rtp_port_);
    ASSERT_TRUE(WaitForWholeStream());
    ASSERT_EQ(ctrl_->StopStreaming(), kResultOk);
    EXPECT_FALSE(ctrl_->rtp_receiver()->is_open());
    EXPECT_FALSE(ctrl_->rtsp_client()->connected());
    // StopStreaming closes the command session it opened.
    EXPECT_FALSE(ctrl_->camera()->session_open());

    // Frames larger than one datagram came in fragments.
    const sim::StreamStats stats = server_->Stats();
    EXPECT_EQ(stats.frames, server_->frame_count());
    EXPECT_GT(stats.datagrams, stats.frames);
    const std::vector<uint8_t> dump = ReadFile(dir_.File("unko.b"));
    ASSERT_EQ(dump.size(), server_->stream().size());
    EXPECT_TRUE(dump == server_->stream());

    // DESCRIBE, SETUP, PLAY, TEARDOWN with CSeq 1 to 4 and the session.
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 4u);
    const std::string url = "RTSP://127.0.0.1:" + std::to_string(server_->port()) + "/rtsp.mpg";
    EXPECT_EQ(FirstLine(requests[0]), "DESCRIBE " + url + " RTSP/1.0");
    EXPECT_EQ(FirstLine(requests[1]), "SETUP " + url + "/streamid=1 RTSP/1.0");
    EXPECT_EQ(FirstLine(requests[2]), "PLAY " + url + " RTSP/1.0");
    EXPECT_EQ(FirstLine(requests[3]), "TEARDOWN " + url + "/ RTSP/1.0");
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NE(requests[i].find("\r\nCSeq: " + std::to_string(i + 1) + "\r\n"),
                  std::string::npos)
            << i;
    }
    EXPECT_NE(requests[1].find("\r\nSession: \r\n"), std::string::npos);
    EXPECT_NE(requests[2].find("\r\nSession: 12345678\r\n"), std::string::npos);
    EXPECT_NE(requests[3].find("\r\nSession: 12345678\r\n"), std::string::npos);
}

TEST_F(StreamingTest, ASecondStartOnTheSameControlStreamsAgain) {
    ASSERT_EQ(ctrl_->StartStreaming(), kResultOk);
    ASSERT_TRUE(WaitForWholeStream());
    ASSERT_EQ(ctrl_->StopStreaming(), kResultOk);

    ASSERT_EQ(ctrl_->StartStreaming(), kResultOk);
    EXPECT_EQ(ctrl_->rtsp_session(), "12345679");
    ASSERT_TRUE(WaitForWholeStream());
    ASSERT_EQ(ctrl_->StopStreaming(), kResultOk);
    EXPECT_TRUE(ReadFile(dir_.File("unko.b")) == server_->stream());
    // The torn-down session is not offered to the second SETUP; CSeq goes on.
    const auto requests = server_->Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_NE(requests[5].find("\r\nCSeq: 6\r\n"), std::string::npos);
    EXPECT_NE(requests[5].find("\r\nSession: \r\n"), std::string::npos);
}

TEST_F(StreamingTest, ByDispatchIdentifier) {
    int16_t result = -1;
    ASSERT_EQ(ctrl_->Invoke(113, {}, &result), DispError::kOk);
    EXPECT_EQ(result, kResultOk);
    ASSERT_EQ(ctrl_->Invoke("stopstreaming", {}, &result), DispError::kOk);
    EXPECT_EQ(result, kResultOk);
    EXPECT_EQ(server_->Requests().size(), 4u);
}

TEST_F(StreamingTest, RefusedSetupGivesSixAndStopStreamingRecovers) {
    server_->SetStatus("SETUP", 454);
    EXPECT_EQ(ctrl_->StartStreaming(), kResultStatus);
    EXPECT_EQ(ctrl_->rtsp_client()->last_reply().result, -500);
    // The connection stays open: a second start cannot connect again.
    EXPECT_TRUE(ctrl_->rtsp_client()->connected());
    EXPECT_EQ(ctrl_->StartStreaming(), kResultStatus);
    EXPECT_FALSE(ctrl_->rtp_receiver()->is_open());
    EXPECT_EQ(ctrl_->StopStreaming(), kResultOk);
    EXPECT_FALSE(ctrl_->rtsp_client()->connected());

    server_->SetStatus("SETUP", 0);
    ASSERT_EQ(ctrl_->StartStreaming(), kResultOk);
    EXPECT_EQ(ctrl_->StopStreaming(), kResultOk);
}

TEST_F(StreamingTest, ASetupReplyWithoutServerPortOrSessionStillPlays) {
    // Both are optional in a SETUP reply; the receiver binds RtpRecvPort
    // whatever the server names.
    const struct {
        bool server_port, session;
    } cases[] = {{false, true}, {true, false}, {false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.server_port) + std::to_string(c.session));
        sim::RtspServerConfig config = server_->config();
        config.port = 0;
        config.setup_server_port = c.server_port;
        config.setup_session = c.session;
        sim::RtspServer server(config);
        ASSERT_TRUE(server.Start());
        ctrl_->SetRtspPort(server.port());
        ASSERT_EQ(ctrl_->StartStreaming(), kResultOk);
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_EQ(FirstLine(requests[2]).substr(0, 5), "PLAY ");
        EXPECT_EQ(ctrl_->rtsp_session(), c.session ? "12345678" : "");
        EXPECT_TRUE(WaitUntil([&] { return ctrl_->rtp_receiver()->dump_bytes() > 0; }));
        EXPECT_EQ(ctrl_->StopStreaming(), kResultOk);
    }
}

TEST_F(StreamingTest, SilentServerEndsTheStartAfterTheTimeout) {
    server_->SetStatus("DESCRIBE", -1);
    ASSERT_EQ(ctrl_->PutProperty("Timeout", Variant::I4(100)), DispError::kOk);
    EXPECT_EQ(ctrl_->rtsp_client()->timeout(), 100u);
    EXPECT_EQ(ctrl_->StartStreaming(), kResultStatus);
    EXPECT_EQ(ctrl_->rtsp_client()->last_reply().result, kRtspTimedOut);
    EXPECT_EQ(ctrl_->StopStreaming(), kResultOk);
}

TEST_F(StreamingTest, AReceivePortInUseFailsTheStart) {
    platform::UdpSocket taken;
    ASSERT_TRUE(taken.Open());
    ASSERT_TRUE(taken.Bind(0, rtp_port_));
    EXPECT_EQ(ctrl_->StartStreaming(), kResultFailed);
    EXPECT_FALSE(ctrl_->rtp_receiver()->is_open());
    // No PLAY: the camera sends nothing that nobody records.
    EXPECT_EQ(server_->Requests().size(), 2u);
    EXPECT_EQ(ctrl_->StopStreaming(), kResultOk);
}

TEST_F(StreamingTest, DestroyingAStreamingControlStopsTheReceiver) {
    ASSERT_EQ(ctrl_->StartStreaming(), kResultOk);
    ctrl_.reset();
    // The port is free again: the receiver closed its socket.
    platform::UdpSocket again;
    ASSERT_TRUE(again.Open());
    EXPECT_TRUE(again.Bind(0, rtp_port_));
}

TEST_F(StreamingTest, WithoutAddressSevenAndNoTraffic) {
    ctrl_->SetRemoteIPAddress("");
    EXPECT_EQ(ctrl_->StartStreaming(), kResultNoAddress);
    EXPECT_EQ(ctrl_->StopStreaming(), kResultNoAddress);
    ctrl_->SetRemoteIPAddress("127.0.0.1");
    ctrl_->SetCameraPort(FreeUdpPort());  // nobody answers commands there
    ctrl_->SetTimeout(50);
    EXPECT_EQ(ctrl_->StartStreaming(), kResultCannotOpen);
    EXPECT_EQ(camera_.ReceivedCount(), 0u);
    EXPECT_TRUE(server_->Requests().empty());
}

class OtherModelTest : public StreamingTest {
  protected:
    OtherModelTest() : StreamingTest(13) {}
};

TEST_F(OtherModelTest, GetsNoRtspTrafficAndEight) {
    EXPECT_EQ(ctrl_->StartStreaming(), kResultNotThisType);
    EXPECT_EQ(ctrl_->StopStreaming(), kResultNotThisType);
    EXPECT_TRUE(server_->Requests().empty());
    EXPECT_FALSE(ctrl_->rtsp_client()->connected());
    EXPECT_FALSE(ctrl_->rtp_receiver()->is_open());
    EXPECT_FALSE(ctrl_->camera()->session_open());
    // Only the handshake of each call reached the camera.
    EXPECT_EQ(camera_.ReceivedCount(), 4u);
}

TEST(StreamingProperties, TimeoutAndPasswordReachTheRtspClient) {
    CKestCtrl c;
    ASSERT_NE(c.rtsp_client(), nullptr);
    ASSERT_NE(c.rtp_receiver(), nullptr);
    EXPECT_EQ(c.rtsp_client()->timeout(), 500u);
    EXPECT_EQ(c.rtsp_client()->instance_name(), c.instance_name());
    EXPECT_EQ(c.rtp_receiver()->instance_name(), c.instance_name());
    ASSERT_EQ(c.PutProperty("Timeout", Variant::I4(1234)), DispError::kOk);
    EXPECT_EQ(c.rtsp_client()->timeout(), 1234u);
    ASSERT_EQ(c.PutProperty("Password", Variant::Text("secret")), DispError::kOk);
    EXPECT_EQ(c.rtsp_client()->password(), "secret");
}

}  // namespace
}  // namespace kest
