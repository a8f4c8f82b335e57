// The RTSP request texts and the parsing of reply lines.
#include "control/stream/rtsp_request.h"
#include "control/stream/rtsp_reply.h"

#include <gtest/gtest.h>

namespace kest::rtsp {
namespace {

TEST(RtspRequest, TextsAreExactlyTheCamerasOwn) {
    EXPECT_EQ(DescribeText("10.0.0.2", "554", "rtsp.mpg", 1),
              "DESCRIBE RTSP://10.0.0.2:554/rtsp.mpg RTSP/1.0\r\n"
              "CSeq: 1\r\n"
              "Accept: application/sdp\r\n"
              "Bandwidth: 2147483647\r\n"
              "Accept-Language: fr-FR\r\n"
              "User-Agent: QTS (qtver=5.0.2;05=windows NT 5.0)\r\n"
              "\r\n");
    // The form with a session always names stream 1; two blanks after fr-FR.
    EXPECT_EQ(SetupWithSessionText("10.0.0.2", "554", "rtsp.mpg", 2, "77"),
              "SETUP RTSP://10.0.0.2:554/rtsp.mpg/streamid=1 RTSP/1.0\r\n"
              "CSeq: 2\r\n"
              "Transport: RTP/AVP;unicast;client_port=6970-6971\r\n"
              "x-retransmit: our-retransmit\r\n"
              "x-transport-options: late-tolerance=2.484000\r\n"
              "Session: 77\r\n"
              "User-Agent: QTS (qtver=5.0.2;05=windows NT 5.0)\r\n"
              "Accept-Language: fr-FR  \r\n"
              "\r\n");
    EXPECT_EQ(SetupText("10.0.0.2", "554", "rtsp.mpg", "0", 3),
              "SETUP RTSP://10.0.0.2:554/rtsp.mpg/streamid=0 RTSP/1.0\r\n"
              "CSeq: 3\r\n"
              "Transport: RTP/AVP;unicast;client_port=6970-6971\r\n"
              "x-retransmit: our-retransmit\r\n"
              "x-transport-options: late-tolerance=2.484000\r\n"
              "User-Agent: QTS (qtver=5.0.2;05=windows NT 5.0)\r\n"
              "Accept-Language: fr-FR  \r\n"
              "\r\n");
    EXPECT_EQ(PlayText("10.0.0.2", "554", "rtsp.mpg", 4, "12345678"),
              "PLAY RTSP://10.0.0.2:554/rtsp.mpg RTSP/1.0\r\n"
              "CSeq: 4\r\n"
              "Range: npt=0.000000-51.051667\r\n"
              "x-prebuffer: maxtime=2.000000\r\n"
              "Session: 12345678\r\n"
              "User-Agent: QTS (qtver=5.0.2;05=windows NT 5.0)\r\n"
              "\r\n");
    EXPECT_EQ(TeardownText("10.0.0.2", "554", "rtsp.mpg", 5, "12345678"),
              "TEARDOWN RTSP://10.0.0.2:554/rtsp.mpg/ RTSP/1.0\r\n"
              "CSeq: 5\r\n"
              "Session: 12345678\r\n"
              "\r\n");
}

TEST(RtspRequest, OnlyTheKnownMethodNamesAreAccepted) {
    for (const char* name : {"OPTIONS", "DESCRIBE", "SETUP", "PLAY", "PAUSE", "TEARDOWN"}) {
        const auto m = MethodFromName(name);
        ASSERT_TRUE(m) << name;
        EXPECT_EQ(MethodName(*m), name);
    }
    for (const char* name : {"", "GET", "play", "ANNOUNCE", "SETUP "})
        EXPECT_FALSE(MethodFromName(name)) << name;
    EXPECT_TRUE(TakesBody(Method::kDescribe));
    EXPECT_TRUE(TakesBody(Method::kPlay));
    EXPECT_FALSE(TakesBody(Method::kSetup));
    EXPECT_FALSE(TakesBody(Method::kTeardown));
}

TEST(RtspReply, StatusLines) {
    struct Row {
        const char* line;
        std::optional<int> status;
    };
    const Row rows[] = {
        {"RTSP/1.0 200 OK\r", 200},
        {"junk RTSP/1.0 454 Session Not Found\r", 454},
        {"RTSP/1.0 20", 0},         // too short for the three digits
        {"RTSP/1.0 2x0 OK\r", 0},   // not digits
        {"HTTP/1.0 200 OK\r", {}},  // not a status line at all
        {"", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(StatusFromLine(row.line), row.status) << row.line;
}

TEST(RtspReply, StatusResults) {
    const std::pair<int, int32_t> rows[] = {
        {200, 0},    {204, 0},    {202, -202}, {400, -400}, {401, -401}, {404, -404},
        {405, -405}, {414, -414}, {505, -505}, {454, -500}, {0, -500},   {201, -500},
    };
    for (const auto& [status, result] : rows)
        EXPECT_EQ(StatusResult(status), result) << status;
}

TEST(RtspReply, ContentTypesCompareUpToTheLineEnd) {
    EXPECT_EQ(ContentTypeIndex("video/mpeg\r"), 0);
    EXPECT_EQ(ContentTypeIndex("image/jpeg"), 1);
    EXPECT_EQ(ContentTypeIndex("text/plain\r\n"), 2);
    EXPECT_EQ(ContentTypeIndex("application/sdp\r"), -1);
    EXPECT_EQ(ContentTypeIndex("video/mpeg4\r"), -1);
}

TEST(RtspReply, SetupHeadersGiveSessionAndServerPort) {
    RtspReply reply;
    HeaderValues values;
    // Cameras may send Transport before Session; the session still comes first.
    for (const char* line : {"CSeq: 2\r",
                             "Transport: RTP/AVP;unicast;client_port=6970-6971;"
                             "server_port=6970-6971\r",
                             "Session: 12345678\r", "Content-Length: 0\r"}) {
        ApplyHeaderLine(line, reply, values);
    }
    EXPECT_TRUE(IsEndOfHeaders("\r"));
    EXPECT_TRUE(IsEndOfHeaders(""));
    EXPECT_FALSE(IsEndOfHeaders(" \r"));
    const std::string composed = ComposeHeaderValues(values);
    EXPECT_EQ(composed, "12345678\r=6970-6971\r");
    const SetupValues setup = SplitHeaderValues(composed);
    EXPECT_EQ(setup.session, "12345678");
    EXPECT_EQ(setup.server_port, "6970-6971");
}

TEST(RtspReply, HeaderValuesAndLengths) {
    RtspReply reply;
    HeaderValues values;
    ApplyHeaderLine("content-length:   512\r", reply, values);
    EXPECT_EQ(reply.content_length, 512);
    ApplyHeaderLine("Content-Type: video/mpeg\r", reply, values);
    EXPECT_EQ(reply.content_type, 0);
    // A length past the limit saturates just above it, whatever its digits.
    ApplyHeaderLine("Content-length: 99999999999999999999\r", reply, values);
    EXPECT_EQ(reply.content_length, kMaxContentLength + 1);
    ApplyHeaderLine("Content-length: 1048576\r", reply, values);
    EXPECT_EQ(reply.content_length, kMaxContentLength);
    ApplyHeaderLine("Content-length: -5\r", reply, values);
    EXPECT_EQ(reply.content_length, 0);
    // A line without a colon changes nothing.
    ApplyHeaderLine("Session 999\r", reply, values);
    EXPECT_EQ(values.session, "");

    // Only the server port after the next "=", at most 11 characters.
    EXPECT_EQ(SplitHeaderValues("abc\r=50000-50001;ssrc=1\r").server_port, "50000-50001");
    EXPECT_EQ(SplitHeaderValues("abc").session, "abc");
    EXPECT_EQ(SplitHeaderValues("abc").server_port, "");
    EXPECT_EQ(SplitHeaderValues("\r\r").session, "");
}

}  // namespace
}  // namespace kest::rtsp
