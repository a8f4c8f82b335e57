// Identity, network and password commands against a peer that records every
// datagram: address text rules, request layouts and the session password.
#include "control/protocol/identity.h"

#include <gtest/gtest.h>

#include <functional>

#include "control/stream/camera.h"
#include "tests/support/recording_peer.h"

namespace kest::protocol {
namespace {

using namespace std::string_literals;
using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

std::string Block(const std::array<uint8_t, 8>& b) {
    return std::string(b.begin(), b.end());
}

std::string Bytes(const PeerDatagram& d, size_t from, size_t n) {
    return std::string(d.bytes.begin() + long(from), d.bytes.begin() + long(from + n));
}

class IdentityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(channel_.Open("127.0.0.1", peer_.port()), 0);
        channel_.set_reply_wait(300);
        channel_.SetPassword("session");
        Answer(0, {});
    }
    // Every request is answered with this status word and these data bytes.
    void Answer(int16_t status, std::vector<uint8_t> data) {
        peer_.SetScript([status, data](const PeerDatagram& d) {
            return std::vector<PeerReply>{{RecordingPeer::Reply(d, status, data)}};
        });
    }
    PeerDatagram Last() const {
        const auto got = peer_.Received();
        return got.empty() ? PeerDatagram{} : got.back();
    }

    RecordingPeer peer_;
    CommandChannel channel_{nullptr};
};

TEST(AddressText, FourNumbersUpTo255AndNothingElse) {
    struct Case {
        const char* text;
        int32_t result;
        std::array<uint8_t, 4> bytes;
    };
    const Case cases[] = {
        {"192.168.000.010", 0, {192, 168, 0, 10}},
        {"192.168.0.300", -90, {}},
        {"10.0.0.1.5", -90, {}},
        {"10.0.1", -90, {}},
        {"", -90, {}},
        {"1..2.3.4", 0, {1, 2, 3, 4}},               // empty pieces are skipped
        {"1.2.3.4x", 0, {1, 2, 3, 4}},               // leading digits of each piece
        {"a.b.c.d", 0, {0, 0, 0, 0}},                // no digits reads as 0
        {"192.168.000.0100", 0, {192, 168, 0, 10}},  // only 15 characters count
        {"99999999999.1.1.1", -90, {}},
    };
    for (const Case& c : cases) {
        std::array<uint8_t, 4> bytes{7, 7, 7, 7};
        EXPECT_EQ(AddressTextToBytes(c.text, bytes), c.result) << c.text;
        if (c.result == 0) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
}

TEST_F(IdentityTest, AddressCommandsSendFourBytesOrNothing) {
    const struct {
        uint16_t code;
        int32_t (*set)(CommandChannel&, std::string_view);
    } commands[] = {
        {161, scmd_set_ip_address},
        {163, scmd_set_subnet_mask},
        {165, scmd_set_default_gateway},
    };
    for (const auto& c : commands) {
        const size_t before = peer_.count();
        EXPECT_EQ(c.set(channel_, "192.168.0.300"), -90);
        EXPECT_EQ(c.set(channel_, "10.0.0.1.5"), -90);
        EXPECT_EQ(peer_.count(), before) << c.code;

        Answer(0, {});
        EXPECT_EQ(c.set(channel_, "192.168.000.010"), 0);
        const PeerDatagram d = Last();
        EXPECT_EQ(d.code(), c.code);
        ASSERT_EQ(d.bytes.size(), 16u);
        EXPECT_EQ(Bytes(d, 4, 8), std::string("session\0", 8));
        EXPECT_EQ(Bytes(d, 12, 4), "\xC0\xA8\x00\x0A"s);

        Answer(1, {});
        EXPECT_EQ(c.set(channel_, "10.1.2.3"), -2) << c.code;
        Answer(2, {});
        EXPECT_EQ(c.set(channel_, "10.1.2.3"), 0) << "only status 1 refuses";
    }
}

TEST_F(IdentityTest, AddressQueriesReadTheirOwnOffsets) {
    std::string text = "unchanged";
    // Mask and gateway: status at +4, address from +6.
    Answer(2, {255, 255, 254, 0});
    EXPECT_EQ(scmd_get_subnet_mask(channel_, text), 2);
    EXPECT_EQ(text, "255.255.254.0");
    EXPECT_EQ(Last().bytes.size(), 12u);
    EXPECT_EQ(scmd_get_default_gateway(channel_, text), 2);
    EXPECT_EQ(Last().code(), 164);

    // The address reply carries the address at +4 and its status at +8.
    peer_.SetScript([](const PeerDatagram& d) {
        auto r = RecordingPeer::Reply(d, 0);
        r.resize(10);
        r[4] = 127, r[5] = 0, r[6] = 0, r[7] = 9;
        r[8] = 2, r[9] = 0;
        return std::vector<PeerReply>{{r}};
    });
    EXPECT_EQ(scmd_get_IP_address(channel_, text), 2);
    EXPECT_EQ(text, "127.0.0.9");
}

TEST_F(IdentityTest, IdentityTextsAndShortForms) {
    std::string text;
    Answer(int16_t(0x0A00), {0xBC, 0xde, 0x0F, 0x10});
    EXPECT_EQ(scmd_get_mac_address(channel_, text), 0);
    EXPECT_EQ(text, "00.0A.BC.DE.0F.10");
    EXPECT_EQ(Last().bytes.size(), 4u);

    // A NUL ends the ID early.
    Answer(int16_t('A' | 'B' << 8), {'C', 0, 'E', 'F', 'G', 'H'});
    EXPECT_EQ(scmd_get_camera_id(channel_, text), 0);
    EXPECT_EQ(text, "ABC");
    EXPECT_EQ(Last().bytes.size(), 4u);

    for (auto query :
         {scmd_get_user_passwd_enable, scmd_get_passwd_enable, scmd_get_super_passwd_enable}) {
        Answer(1, {});
        EXPECT_EQ(query(channel_), 1);
        EXPECT_EQ(Last().bytes.size(), 4u);
    }

    // Eight bytes of the ID at +12; any non-zero status refuses.
    Answer(0, {});
    EXPECT_EQ(scmd_set_camera_id(channel_, "CAMERA-123"), 0);
    ASSERT_EQ(Last().bytes.size(), 20u);
    EXPECT_EQ(Bytes(Last(), 12, 8), "CAMERA-1");
    EXPECT_EQ(scmd_set_camera_id(channel_, "ab"), 0);
    EXPECT_EQ(Bytes(Last(), 12, 8), std::string("ab\0\0\0\0\0\0", 8));
    Answer(2, {});
    EXPECT_EQ(scmd_set_camera_id(channel_, "x"), -2);
}

TEST_F(IdentityTest, DhcpLayout) {
    Answer(0, {});
    EXPECT_EQ(scmd_set_DHCP(channel_, 1), 0);
    ASSERT_EQ(Last().bytes.size(), 16u);
    EXPECT_EQ(Bytes(Last(), 12, 4), "\x01\x00\x00\x00"s);

    // +6 enabled, +8 status, +10 server, +14 not read, +18 and +22 the leases.
    Answer(3, {1,    0,    5,    0,    10,   0,    0,    1,    0xEE, 0xEE,
               0xEE, 0xEE, 0x10, 0x20, 0x30, 0x40, 0xFF, 0xFF, 0xFF, 0xFF});
    DhcpInfo info;
    EXPECT_EQ(scmd_get_DHCP(channel_, info), 3);
    EXPECT_EQ(Last().bytes.size(), 16u);
    EXPECT_EQ(info.enabled, 1);
    EXPECT_EQ(info.status, 5);
    EXPECT_EQ(info.server, (std::array<uint8_t, 4>{10, 0, 0, 1}));
    EXPECT_EQ(info.lease_obtained, 0x40302010);
    EXPECT_EQ(info.lease_expires, -1);
}

// Which password each command carries, and what the session password is after it.
TEST_F(IdentityTest, PasswordBlocksAndTheSessionPassword) {
    enum After { kCandidate, kNew, kUnchanged };
    struct Case {
        uint16_t code;
        std::function<int32_t(CommandChannel&)> run;
        std::string block;  // the password block sent
        After after;
    };
    const std::string nul3("abc\0\0\0\0\0", 8);
    const Case cases[] = {
        {152, [](CommandChannel& c) { return scmd_check_user_passwd(c, "abc"); }, nul3, kCandidate},
        {146, [](CommandChannel& c) { return scmd_check_passwd(c, "abc"); }, nul3, kCandidate},
        {149, [](CommandChannel& c) { return scmd_check_admin_passwd(c, "abc"); }, nul3,
         kCandidate},
        {154, [](CommandChannel& c) { return scmd_set_passwd_disable_user(c, "abc"); }, nul3,
         kUnchanged},
        {145, [](CommandChannel& c) { return scmd_set_passwd_disable(c, "abc"); }, nul3,
         kUnchanged},
        {151, [](CommandChannel& c) { return scmd_set_super_passwd_disable(c, "abc"); }, nul3,
         kUnchanged},
        {155, [](CommandChannel& c) { return scmd_set_passwd_user(c, "abc", "newpassword"); }, nul3,
         kNew},
        {147, [](CommandChannel& c) { return scmd_set_passwd(c, "abc", "newpassword"); }, nul3,
         kNew},
        {160, [](CommandChannel& c) { return scmd_set_super_passwd(c, "abc", "newpassword"); },
         nul3, kUnchanged},
    };
    for (const Case& c : cases) {
        channel_.SetPassword("session");
        // Refused: the session password follows the same rules.
        Answer(1, {});
        const int32_t r = c.run(channel_);
        const PeerDatagram d = Last();
        EXPECT_EQ(d.code(), c.code);
        EXPECT_EQ(Bytes(d, 4, 8), c.block) << c.code;
        const bool is_set = c.after == kNew || c.code == 160;
        if (is_set) {
            ASSERT_EQ(d.bytes.size(), 20u) << c.code;
            EXPECT_EQ(Bytes(d, 12, 8), "newpassw") << c.code;
        } else {
            EXPECT_EQ(d.bytes.size(), 12u) << c.code;
        }
        // Checks report a wrong password as 1, the others as -2.
        const bool is_check = c.after == kCandidate;
        EXPECT_EQ(r, is_check ? 1 : -2) << c.code;
        const std::string expected = c.after == kCandidate ? nul3
                                     : c.after == kNew     ? "newpassw"
                                                           : std::string("session\0", 8);
        EXPECT_EQ(Block(channel_.password()), expected) << c.code;

        Answer(0, {});
        EXPECT_EQ(c.run(channel_), 0) << c.code;
    }
}

TEST(IdentityAccessor, WithoutSessionNothingIsSent) {
    RecordingPeer peer;
    CKestCamera camera("identity-no-session");
    std::string text;
    EXPECT_EQ(camera.WithChannel([&](CommandChannel& c) { return scmd_get_mac_address(c, text); }),
              -200);
    EXPECT_EQ(camera.WithChannel([](CommandChannel& c) { return scmd_check_passwd(c, "x"); }),
              -200);
    // The session password is not touched either.
    EXPECT_EQ(Block(camera.channel().password()), std::string(8, '\0'));
    EXPECT_EQ(peer.count(), 0u);
}

}  // namespace
}  // namespace kest::protocol
