// The RTP receiver: what of each datagram goes to the dump file, and the
// receiver's socket, thread and file on loopback.
#include "control/stream/rtp_receiver.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>

#include "platform/ticks.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// An RTP datagram: the two first bytes as given, the rest of the 12-byte
// header (sequence, time stamp, SSRC) as 0xEE, then extra header bytes, then
// the payload.
std::vector<uint8_t> Rtp(uint8_t b0, uint8_t b1, std::vector<uint8_t> extra,
                         std::vector<uint8_t> payload) {
    std::vector<uint8_t> d = {b0, b1};
    d.insert(d.end(), 10, 0xEE);
    d.insert(d.end(), extra.begin(), extra.end());
    d.insert(d.end(), payload.begin(), payload.end());
    return d;
}

TEST(DumpSlice, WhatEachDatagramAppends) {
    const std::vector<uint8_t> p100(100, 0x5A);
    struct Row {
        const char* what;
        std::vector<uint8_t> datagram;
        DumpSlice slice;
    };
    std::vector<uint8_t> padded = Rtp(0xA0, 0x62, {}, {1, 2, 3, 0, 0, 3});
    const Row rows[] = {
        {"marker set", Rtp(0x80, 0xE2, {}, p100), {12, 100}},
        {"marker clear: a frame's inner fragment", Rtp(0x80, 0x62, {}, p100), {12, 100}},
        {"two CSRCs", Rtp(0x82, 0xE2, std::vector<uint8_t>(8, 1), p100), {20, 100}},
        // Extension: profile word, length 1 (in 32-bit words, big-endian), one word.
        {"header extension", Rtp(0x90, 0x62, {0xBE, 0xDE, 0, 1, 9, 9, 9, 9}, p100), {20, 100}},
        {"padding of 3", padded, {12, 3}},
        {"empty payload", Rtp(0x80, 0xE2, {}, {}), {12, 0}},
        // Malformed datagrams of the stream add nothing.
        {"CSRCs past the end", Rtp(0x8F, 0x62, {}, {1, 2, 3}), {0, 0}},
        {"extension past the end", Rtp(0x90, 0x62, {0, 0, 0, 9}, {1, 2, 3}), {0, 0}},
        {"padding past the end", Rtp(0xA0, 0x62, {}, {1, 200}), {0, 0}},
        {"padding count 0", Rtp(0xA0, 0x62, {}, {1, 0}), {0, 0}},
        {"header cut short", {0x80, 0xE2, 1, 2, 3}, {0, 0}},
        // Everything else is kept whole.
        {"other payload type", Rtp(0x80, 0xE0, {}, p100), {0, 112}},
        {"RTP version 1", Rtp(0x40, 0xE2, {}, p100), {0, 112}},
        {"80 E2 later in the datagram", {1, 2, 3, 0x80, 0xE2, 4, 5}, {0, 7}},
        {"one byte", {0x80}, {0, 1}},
    };
    for (const Row& row : rows) {
        const DumpSlice s = DumpSliceOf(row.datagram);
        EXPECT_EQ(s.offset, row.slice.offset) << row.what;
        EXPECT_EQ(s.length, row.slice.length) << row.what;
    }
}

class RtpReceiverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sender_.Open());
        ASSERT_EQ(receiver_.RtpOpen("127.0.0.1", "6970-6971", "0"), 0);
        to_ = platform::MakeAddress(0x7F000001, receiver_.local_port());
    }
    void Send(const std::vector<uint8_t>& d) { sender_.SendTo(d.data(), d.size(), to_); }
    // The receiver counts what it took; a datagram on loopback is not lost.
    bool WaitForDatagrams(uint64_t n) {
        for (int i = 0; i < 10000 && receiver_.datagrams() < n; ++i)
            platform::SleepMs(1);
        return receiver_.datagrams() >= n;
    }

    test::ScopedTempDir dir_;
    CRtpReceiver receiver_{"rtp-test"};
    platform::UdpSocket sender_;
    sockaddr_in to_{};
};

TEST_F(RtpReceiverTest, PayloadsOfTheStreamAndOtherDatagramsWholeGoToUnkoB) {
    { std::ofstream(dir_.File("unko.b")) << "from an earlier run"; }
    ASSERT_EQ(receiver_.RtpStart(1), 0);
    EXPECT_TRUE(receiver_.running());
    EXPECT_EQ(receiver_.dump_path(), dir_.File("unko.b"));
    const std::vector<uint8_t> p100(100, 0x5A);
    Send(Rtp(0x80, 0xE2, {}, p100));       // 80 E2, 10 header bytes, 100 payload bytes
    Send(Rtp(0x80, 0x62, {}, {1, 2, 3}));  // an inner fragment
    Send({0x11, 0x22, 0x33});              // not RTP: whole
    ASSERT_TRUE(WaitForDatagrams(3));
    EXPECT_EQ(receiver_.RtpStop(), 0);
    EXPECT_EQ(receiver_.RtpClose(), 0);
    EXPECT_FALSE(receiver_.running());
    EXPECT_FALSE(receiver_.is_open());

    std::vector<uint8_t> expected = p100;
    expected.insert(expected.end(), {1, 2, 3, 0x11, 0x22, 0x33});
    EXPECT_EQ(ReadFile(dir_.File("unko.b")), expected);
    EXPECT_EQ(receiver_.dump_bytes(), expected.size());
}

TEST_F(RtpReceiverTest, KestIniNamesAnotherDumpFile) {
    { std::ofstream(dir_.File("KEST.INI")) << "[rtp]\ndump=stream.m4v\n"; }
    ASSERT_EQ(receiver_.RtpStart(1), 0);
    EXPECT_EQ(receiver_.dump_path(), dir_.File("stream.m4v"));
    Send(Rtp(0x80, 0xE2, {}, {7, 7}));
    ASSERT_TRUE(WaitForDatagrams(1));
    receiver_.RtpClose();
    EXPECT_EQ(ReadFile(dir_.File("stream.m4v")), (std::vector<uint8_t>{7, 7}));
    EXPECT_FALSE(std::ifstream(dir_.File("unko.b")).good());
}

TEST_F(RtpReceiverTest, OpenAndStartResults) {
    CRtpReceiver other("rtp-test-2");
    EXPECT_EQ(other.RtpStart(1), kRtpNotOpen);
    EXPECT_EQ(other.RtpStop(), kRtpNotOpen);
    EXPECT_EQ(other.RtpClose(), kRtpNotOpen);
    EXPECT_EQ(other.RtpOpen("", "6970", "0"), kRtpMissingArgument);
    EXPECT_EQ(other.RtpOpen("127.0.0.1", "6970", "port"), kRtpMissingArgument);
    EXPECT_EQ(other.RtpOpen("127.0.0.1", "6970", "65536"), kRtpMissingArgument);
    EXPECT_EQ(other.RtpOpen("1.2.3.999", "6970", "0"), -5);
    // The port is taken by the receiver of the fixture.
    EXPECT_EQ(other.RtpOpen("127.0.0.1", "6970", std::to_string(receiver_.local_port())), -6);
    EXPECT_FALSE(other.is_open());
    // A server that names no port of its own still streams to ours.
    EXPECT_EQ(other.RtpOpen("127.0.0.1", "", "0"), 0);
    EXPECT_TRUE(other.is_open());
    other.RtpClose();

    EXPECT_EQ(receiver_.RtpOpen("127.0.0.1", "6970", "0"), kRtpAlreadyOpen);
    EXPECT_EQ(receiver_.address_text(), "127.0.0.1");
    EXPECT_EQ(receiver_.server_port_text(), "6970-6971");
    ASSERT_EQ(receiver_.RtpStart(1), 0);
    EXPECT_EQ(receiver_.RtpStart(1), kRtpAlreadyRunning);
}

TEST_F(RtpReceiverTest, AThreadThatEndedCanBeStartedAgain) {
    // A start that is not continuous takes one round and ends by itself.
    ASSERT_EQ(receiver_.RtpStart(0), 0);
    for (int i = 0; i < 5000 && receiver_.running(); ++i)
        platform::SleepMs(1);
    ASSERT_FALSE(receiver_.running());
    ASSERT_EQ(receiver_.RtpStart(1), 0);
    Send(Rtp(0x80, 0xE2, {}, {4, 5}));
    ASSERT_TRUE(WaitForDatagrams(1));
    // Stopped and started again on the open socket: a fresh dump.
    EXPECT_EQ(receiver_.RtpStop(), 0);
    for (int i = 0; i < 5000 && receiver_.running(); ++i)
        platform::SleepMs(1);
    ASSERT_EQ(receiver_.RtpStart(1), 0);
    Send(Rtp(0x80, 0xE2, {}, {6}));
    ASSERT_TRUE(WaitForDatagrams(1));
    receiver_.RtpClose();
    EXPECT_EQ(ReadFile(dir_.File("unko.b")), (std::vector<uint8_t>{6}));
}

TEST_F(RtpReceiverTest, DebugLinesOnlyWhenAskedFor) {
    for (const char* value : {"", "0", "1"}) {
        setenv("KEST_RTP_DEBUG", value, 1);
        testing::internal::CaptureStderr();
        ASSERT_EQ(receiver_.RtpStart(1), 0);
        Send(Rtp(0x80, 0xE2, {}, {1, 2}));
        Send({9});
        ASSERT_TRUE(WaitForDatagrams(2));
        receiver_.RtpStop();
        for (int i = 0; i < 5000 && receiver_.running(); ++i)
            platform::SleepMs(1);
        const std::string out = testing::internal::GetCapturedStderr();
        if (std::string(value) == "1") {
            EXPECT_EQ(out,
                      "rtp rtp-test: offset 12 length 2 of 14\n"
                      "rtp rtp-test: offset 0 length 1 of 1\n");
        } else {
            EXPECT_EQ(out, "") << value;
        }
    }
    unsetenv("KEST_RTP_DEBUG");
}

TEST_F(RtpReceiverTest, DestroyingARunningReceiverJoinsItsThread) {
    auto receiver = std::make_unique<CRtpReceiver>("rtp-test-3");
    ASSERT_EQ(receiver->RtpOpen("127.0.0.1", "6970", "0"), 0);
    ASSERT_EQ(receiver->RtpStart(1), 0);
    const auto to = platform::MakeAddress(0x7F000001, receiver->local_port());
    const std::vector<uint8_t> d = Rtp(0x80, 0xE2, {}, {1});
    for (int i = 0; i < 50; ++i)
        sender_.SendTo(d.data(), d.size(), to);
    receiver.reset();  // a thread left behind would touch freed memory
    EXPECT_LE(ReadFile(dir_.File("unko.b")).size(), 50u);
}

}  // namespace
}  // namespace kest
