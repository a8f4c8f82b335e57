// The simulator's RTSP server: how it splits the elementary stream into
// frames, how it packetises them as RTP, and how it answers requests.
#include "sim/rtsp_server.h"

#include <gtest/gtest.h>

#include <map>

#include "control/stream/rtsp_client.h"
#include "platform/ticks.h"

namespace kest::sim {
namespace {

constexpr const char* kStream = KEST_TEST_DATA "/mpeg4_320x240.m4v";

size_t CountVops(std::span<const uint8_t> frame) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < frame.size(); ++i) {
        n += frame[i] == 0 && frame[i + 1] == 0 && frame[i + 2] == 1 && frame[i + 3] == 0xB6;
    }
    return n;
}

TEST(SplitFrames, OnePicturePerFrameAndNoGaps) {
    RtspServer server([] {
        RtspServerConfig c;
        c.port = 0;
        c.stream_path = kStream;
        return c;
    }());
    ASSERT_TRUE(server.Start());
    const std::vector<uint8_t>& stream = server.stream();
    ASSERT_GT(stream.size(), 10000u);
    const auto frames = SplitFrames(stream);
    ASSERT_EQ(frames.size(), server.frame_count());
    EXPECT_EQ(frames.size(), 75u);  // 3 s at 25 frames per second
    size_t at = 0;
    for (const auto& f : frames) {
        EXPECT_EQ(f.data(), stream.data() + at);
        EXPECT_EQ(CountVops(f), 1u);
        at += f.size();
    }
    EXPECT_EQ(at, stream.size());
    // The first frame carries the stream's headers (VOS first).
    EXPECT_EQ(frames[0][3], 0xB0);

    // Headers after a picture begin the next frame.
    const std::vector<uint8_t> es = {9, 0, 0,    1, 0xB6, 1, 0, 0,    1, 0xB3, 2, 0,
                                     0, 1, 0xB6, 3, 0,    0, 1, 0xB6, 4, 0,    0, 1};
    const auto small = SplitFrames(es);
    ASSERT_EQ(small.size(), 3u);
    EXPECT_EQ(small[0].size(), 6u);   // 9, VOP 1
    EXPECT_EQ(small[1].size(), 10u);  // GOV 2, VOP 3
    EXPECT_EQ(small[2].size(), 8u);   // VOP 4 and a cut start code
    EXPECT_TRUE(SplitFrames({}).empty());
}

struct Packet {
    bool marker;
    uint16_t sequence;
    uint32_t timestamp;
    std::vector<uint8_t> payload;
};

TEST(RtspServer, StreamsEachFrameAsFragmentsWithTheMarkerOnTheLast) {
    platform::UdpSocket rtp;
    ASSERT_TRUE(rtp.Open());
    ASSERT_TRUE(rtp.Bind(0x7F000001, 0));
    ASSERT_TRUE(rtp.SetNonBlocking());
    rtp.SetBufferSizes(1 << 16, 1 << 20);
    RtspServerConfig config;
    config.port = 0;
    config.rtp_port = rtp.LocalPort();
    config.stream_path = kStream;
    config.frame_rate = 200;
    config.max_payload = 1000;
    config.server_port = "6970-6971";
    RtspServer server(config);
    ASSERT_TRUE(server.Start());

    CRtspClient client("sim-test");
    ASSERT_EQ(client.RtspConnect("127.0.0.1", server.port()), 0);
    const std::string a = client.address_text(), p = client.port_text();
    std::string sdp;
    ASSERT_EQ(client.RtspDescribe(a, p, "rtsp.mpg", &sdp), 0);
    EXPECT_NE(sdp.find("m=video 0 RTP/AVP 98\r\n"), std::string::npos);
    EXPECT_NE(sdp.find("a=rtpmap:98 MP4V-ES/90000\r\n"), std::string::npos);
    EXPECT_NE(sdp.find(";config=000001B0"), std::string::npos);
    const std::string none;
    std::string values;
    ASSERT_EQ(client.RtspSetup(a, p, "rtsp.mpg", "0", &none, &values), 0);
    EXPECT_EQ(values, "12345678\r=6970-6971\r");
    std::string body;
    ASSERT_EQ(client.RtspPlay(a, p, "rtsp.mpg", "12345678", &body), 0);

    std::vector<Packet> packets;
    std::vector<uint8_t> buf(65536);
    for (int i = 0;
         i < 20000 && !(server.Stats().finished && packets.size() == server.Stats().datagrams);
         ++i) {
        sockaddr_in from{};
        size_t n = 0;
        if (!rtp.WaitReadable(1)) continue;
        while (rtp.ReceiveFrom(buf.data(), buf.size(), n, from) ==
               platform::UdpSocket::Receive::kData) {
            ASSERT_GE(n, 12u);
            EXPECT_EQ(buf[0], 0x80);
            EXPECT_EQ(buf[1] & 0x7F, 98);
            packets.push_back(
                {(buf[1] & 0x80) != 0, uint16_t(buf[2] << 8 | buf[3]),
                 uint32_t(buf[4]) << 24 | uint32_t(buf[5]) << 16 | uint32_t(buf[6]) << 8 | buf[7],
                 std::vector<uint8_t>(buf.begin() + 12, buf.begin() + long(n))});
        }
    }
    ASSERT_TRUE(server.Stats().finished);
    ASSERT_EQ(packets.size(), server.Stats().datagrams);
    EXPECT_EQ(client.RtspTeardown(a, p, "rtsp.mpg", "12345678"), 0);

    // Reassemble: fragments up to each marker make one frame.
    const auto frames = SplitFrames(server.stream());
    std::vector<uint8_t> frame;
    size_t index = 0;
    for (size_t i = 0; i < packets.size(); ++i) {
        const Packet& pk = packets[i];
        EXPECT_LE(pk.payload.size(), config.max_payload);
        if (i > 0) {
            EXPECT_EQ(pk.sequence, uint16_t(packets[i - 1].sequence + 1));
        }
        frame.insert(frame.end(), pk.payload.begin(), pk.payload.end());
        if (!pk.marker) continue;
        ASSERT_LT(index, frames.size());
        EXPECT_TRUE(
            std::equal(frame.begin(), frame.end(), frames[index].begin(), frames[index].end()))
            << "frame " << index;
        // 90 kHz time stamps, one frame interval apart, the same on every fragment.
        EXPECT_EQ(pk.timestamp, uint32_t(index * 90000 / 200)) << "frame " << index;
        frame.clear();
        ++index;
    }
    EXPECT_EQ(index, frames.size());
    EXPECT_TRUE(frame.empty());
    EXPECT_GT(packets.size(), frames.size());
}

TEST(RtspServer, AnswersLikeACamera) {
    RtspServerConfig config;
    config.port = 0;
    RtspServer server(config);
    ASSERT_TRUE(server.Start());
    CRtspClient client("sim-test");
    client.set_close_waits(0, 0);
    ASSERT_EQ(client.RtspConnect("127.0.0.1", server.port()), 0);
    const std::string a = client.address_text(), p = client.port_text();
    std::string body;

    // No session yet, an unknown presentation, a stale session.
    EXPECT_EQ(client.RtspPlay(a, p, "rtsp.mpg", "1", &body), -1);
    EXPECT_EQ(client.RtspDescribe(a, p, "other.mpg", &body), -1);
    EXPECT_EQ(client.last_reply().result, -404);
    const std::string stale = "999";
    std::string values;
    EXPECT_EQ(client.RtspSetup(a, p, "rtsp.mpg", "0", &stale, &values), -1);
    // SETUP in its form without a session starts one.
    ASSERT_EQ(client.RtspSetup(a, p, "rtsp.mpg", "0", nullptr, &values), 0);
    EXPECT_EQ(rtsp::SplitHeaderValues(values).session, "12345678");
    EXPECT_EQ(client.RtspPlay(a, p, "rtsp.mpg", "12345679", &body), -1);
    EXPECT_EQ(client.RtspPlay(a, p, "rtsp.mpg", "12345678", &body), 0);
    EXPECT_TRUE(server.Stats().playing);
    EXPECT_TRUE(server.Stats().finished);  // no stream: nothing to send

    server.SetStatus("TEARDOWN", 505);
    EXPECT_EQ(client.RtspTeardown(a, p, "rtsp.mpg", "12345678"), -1);
    EXPECT_EQ(client.last_reply().result, -505);
    server.SetStatus("TEARDOWN", 0);
    EXPECT_EQ(client.RtspTeardown(a, p, "rtsp.mpg", "12345678"), 0);
    EXPECT_FALSE(server.Stats().playing);
    EXPECT_EQ(server.Requests().size(), 8u);
    EXPECT_EQ(client.RtspDisconnect(), 0);

    RtspServer missing([] {
        RtspServerConfig c;
        c.port = 0;
        c.stream_path = "/nonexistent/stream.m4v";
        return c;
    }());
    EXPECT_FALSE(missing.Start());
}

}  // namespace
}  // namespace kest::sim
