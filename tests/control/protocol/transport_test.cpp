// The command exchange against a scripted peer that records every datagram.
#include "control/protocol/transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "control/protocol/handshake.h"
#include "platform/ticks.h"
#include "tests/support/recording_peer.h"

namespace kest::protocol {
namespace {

using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

// Answers every request with status 0.
std::vector<PeerReply> AnswerAll(const PeerDatagram& d) {
    return {{RecordingPeer::Reply(d, 0)}};
}

class TransportTest : public ::testing::Test {
  protected:
    void Open(uint32_t reply_wait, uint32_t retry_window) {
        ASSERT_EQ(channel_.Open("127.0.0.1", peer_.port()), 0);
        channel_.set_reply_wait(reply_wait);
        channel_.set_retry_window(retry_window);
        channel_.SeedSequence(0x4000);
        channel_.SetPassword("secret99x");
    }
    uint32_t ElapsedSince(uint64_t start_us) const {
        return uint32_t((platform::MonotonicMicros() - start_us) / 1000);
    }

    std::shared_ptr<platform::NamedSemaphore> lock_ =
        platform::NamedSemaphore::Create("Packet/transport-test/LockPackSemaphore", 1, 1);
    CommandChannel channel_{lock_};
    RecordingPeer peer_;
};

TEST_F(TransportTest, ShortFormIsFourBytesAndLongFormTwelve) {
    peer_.SetScript(AnswerAll);
    Open(500, 0);
    EXPECT_EQ(scmd_nop(channel_), 0);
    Reply reply;
    EXPECT_EQ(channel_.Exchange(*FindCommand(178), {}, reply), 0);  // scmd_reset_camera
    auto got = peer_.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].bytes.size(), 4u);
    EXPECT_EQ(got[0].code(), 0);
    ASSERT_EQ(got[1].bytes.size(), 12u);
    EXPECT_EQ(got[1].code(), 178);
    // The password block is the first 8 bytes of the password.
    EXPECT_EQ(std::string(got[1].bytes.begin() + 4, got[1].bytes.end()), "secret99");
    EXPECT_EQ(got[1].sequence(), uint16_t(got[0].sequence() + 1));
}

TEST_F(TransportTest, ShortPasswordIsPaddedWithZeros) {
    peer_.SetScript(AnswerAll);
    Open(500, 0);
    channel_.SetPassword("abc");
    Reply reply;
    ASSERT_EQ(channel_.Exchange(*FindCommand(178), {}, reply), 0);
    const auto got = peer_.Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].ToString(),
              "seq=" + std::to_string(got[0].sequence()) + " code=178 6162630000000000");
}

TEST_F(TransportTest, RetryZeroSendsOnceAndFailsAfterOneReplyWait) {
    Open(200, 0);
    const uint64_t start = platform::MonotonicMicros();
    EXPECT_EQ(scmd_nop(channel_), -1);
    EXPECT_GE(ElapsedSince(start), 195u);
    EXPECT_EQ(peer_.count(), 1u);
}

TEST_F(TransportTest, RetryWindowResendsWithRisingSequenceNumbers) {
    Open(500, 2000);
    EXPECT_EQ(scmd_nop(channel_), -1);
    const auto got = peer_.Received();
    ASSERT_GE(got.size(), 3u);
    ASSERT_LE(got.size(), 5u);
    for (size_t i = 1; i < got.size(); ++i) {
        EXPECT_EQ(got[i].sequence(), uint16_t(got[i - 1].sequence() + 1));
        EXPECT_EQ(got[i].code(), 0);
    }
}

TEST_F(TransportTest, ReplyToAnEarlierAttemptIsSkipped) {
    // The first attempt's reply comes late, after the resend: the exchange
    // waits for the reply carrying the new sequence number.
    peer_.SetScript([this](const PeerDatagram& d) -> std::vector<PeerReply> {
        if (peer_.count() == 1) return {};
        std::vector<uint8_t> stale = RecordingPeer::Reply(d, 0);
        StoreU16(stale.data(), uint16_t(d.sequence() - 1));
        return {{stale}, {RecordingPeer::Reply(d, 0, {7, 0})}};
    });
    Open(150, 1000);
    Reply reply;
    ASSERT_EQ(channel_.Exchange(*FindCommand(0), {}, reply), 0);
    EXPECT_EQ(reply.sequence(), channel_.current_sequence());
    EXPECT_EQ(reply.bytes[6], 7);
    EXPECT_EQ(peer_.count(), 2u);
}

TEST_F(TransportTest, DatagramWithAnotherSequenceRestartsTheWait) {
    peer_.SetScript([](const PeerDatagram& d) -> std::vector<PeerReply> {
        std::vector<uint8_t> other = RecordingPeer::Reply(d, 0);
        StoreU16(other.data(), uint16_t(d.sequence() + 7));
        return {{other, 200}};
    });
    Open(300, 0);
    const uint64_t start = platform::MonotonicMicros();
    EXPECT_EQ(scmd_nop(channel_), -1);
    // 200 ms to the stray datagram, then a whole new wait of 300 ms.
    EXPECT_GE(ElapsedSince(start), 480u);
    EXPECT_EQ(peer_.count(), 1u);
}

TEST_F(TransportTest, DatagramFromAnotherAddressOrPortIsIgnored) {
    // Each sender answers with the right sequence number: another address,
    // and the camera's own address from another port.
    Open(300, 0);
    for (const char* sender : {"127.0.0.2", "127.0.0.1"}) {
        SCOPED_TRACE(sender);
        const size_t before = peer_.count();
        peer_.SetScript([sender](const PeerDatagram& d) -> std::vector<PeerReply> {
            return {{RecordingPeer::Reply(d, 0), 250, sender}};
        });
        const uint64_t start = platform::MonotonicMicros();
        EXPECT_EQ(scmd_nop(channel_), -1);
        // Not taken as the reply, and the wait was not restarted (that would be 550 ms).
        EXPECT_LT(ElapsedSince(start), 500u);

        // The camera's own answer after a foreign one is taken, and requests
        // keep going to the camera's address and port.
        peer_.SetScript([sender](const PeerDatagram& d) -> std::vector<PeerReply> {
            return {{RecordingPeer::Reply(d, 0), 0, sender}, {RecordingPeer::Reply(d, 0), 20}};
        });
        EXPECT_EQ(scmd_nop(channel_), 0);
        EXPECT_EQ(scmd_nop(channel_), 0);
        EXPECT_EQ(peer_.count(), before + 3);
    }
}

TEST_F(TransportTest, ACameraThatKeepsTalkingCannotHoldACommand) {
    // It never answers the command, but sends a datagram with another
    // sequence number every 20 ms, each of which restarts the reply wait.
    // The command still ends after at most four reply waits, long before
    // the talking stops.
    Open(100, 0);
    std::vector<uint8_t> chatter(6, 0);
    StoreU16(chatter.data(), 0x1234);
    constexpr size_t kChatter = 1000;  // 20 s of it
    peer_.SetScript([this, chatter](const PeerDatagram& d) -> std::vector<PeerReply> {
        if (d.code() == 0) peer_.Flood(chatter, 20, kChatter);
        return {};
    });
    EXPECT_EQ(scmd_nop(channel_), -1);
    const size_t heard = peer_.flood_sent();
    peer_.Flood({}, 0, 0);
    EXPECT_GE(heard, 3u);  // the wait was restarted by it, more than once
    EXPECT_LT(heard, kChatter);
    EXPECT_EQ(peer_.count(), 1u);
}

TEST(CommandWindow, WithinWindowAndWrapRules) {
    EXPECT_TRUE(WithinWindow(1000, 1000, 10));
    EXPECT_TRUE(WithinWindow(1000, 1009, 10));
    EXPECT_FALSE(WithinWindow(1000, 1010, 10));
    EXPECT_FALSE(WithinWindow(1000, 1005, 0));
    // The tick count wrapped: below the stored stamp ends the window early.
    EXPECT_FALSE(WithinWindow(0xFFFFFFF0u, 5, 100));
    EXPECT_TRUE(WithinWindow(0xFFFFFFF0u, 0xFFFFFFFFu, 100));
}

TEST(CommandWindow, CommandTimerSlots) {
    EXPECT_EQ(CommandTimer(10, 0), -1);
    EXPECT_EQ(CommandTimer(-1, 1, 100), -1);
    EXPECT_EQ(CommandTimer(2, 0), 1);
    EXPECT_EQ(CommandTimer(2, 1, 10000), 1);
    EXPECT_EQ(CommandTimer(2, 1, 0), 0);
    EXPECT_EQ(CommandTimer(2, 7, 10000), 0);
}

TEST(CommandTable, CodesAndNamesAreUnique) {
    std::set<std::pair<uint16_t, std::string_view>> seen;
    for (const CommandInfo& c : CommandTable()) {
        EXPECT_TRUE(seen.insert({c.code, c.name}).second) << c.code << " " << c.name;
        EXPECT_TRUE(c.name.starts_with("scmd_") || c.name.starts_with("cl_") || c.name == "get_zfi")
            << c.name;
    }
    // The short form is the exception: exactly these eight commands.
    std::set<uint16_t> short_codes;
    for (const CommandInfo& c : CommandTable()) {
        if (c.form == Form::kShort) short_codes.insert(c.code);
    }
    EXPECT_EQ(short_codes, (std::set<uint16_t>{0, 1, 2, 4, 144, 150, 153, 1025}));
    EXPECT_EQ(FindCommand(2305, "cl_alarm_get_count")->code, 2305);
    EXPECT_EQ(FindCommand(9999), nullptr);
}

}  // namespace
}  // namespace kest::protocol

namespace kest::protocol {
namespace {

std::vector<std::string> g_traced;
void RecordTrace(std::string_view name) {
    g_traced.emplace_back(name);
}

TEST(FailureTrace, ReceivesTheCommandNameOrTheReplyWait) {
    test::RecordingPeer peer;
    auto lock = platform::NamedSemaphore::Create("Packet/trace-test/LockPackSemaphore", 1, 1);
    CommandChannel channel(lock);
    ASSERT_EQ(channel.Open("127.0.0.1", peer.port()), 0);
    channel.set_reply_wait(20);
    g_traced.clear();
    SetFailureTraceHook(&RecordTrace);
    EXPECT_EQ(scmd_nop(channel), -1);
    SetFailureTraceHook(nullptr);
    EXPECT_EQ(g_traced, std::vector<std::string>{"cl_rack_ack"});
    // The default hook is silent and harmless.
    EXPECT_EQ(scmd_nop(channel), -1);
    EXPECT_EQ(g_traced.size(), 1u);
}

}  // namespace
}  // namespace kest::protocol
