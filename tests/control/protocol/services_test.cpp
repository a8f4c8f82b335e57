// Camera-service commands against a peer that records every datagram:
// request sizes and layouts, the reply fields each reads, the frame-rate
// conversion and the pass-through.
#include "control/protocol/services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "control/stream/camera.h"
#include "tests/support/recording_peer.h"

namespace kest::protocol {
namespace {

using namespace std::string_literals;
using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

std::string Bytes(const PeerDatagram& d, size_t from, size_t n) {
    return std::string(d.bytes.begin() + long(from), d.bytes.begin() + long(from + n));
}

// A reply datagram laid out at absolute offsets.
struct RawReply {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(6);
    RawReply& U8(size_t at, uint8_t v) {
        if (bytes.size() < at + 1) bytes.resize(at + 1);
        bytes[at] = v;
        return *this;
    }
    RawReply& U16(size_t at, uint16_t v) { return U8(at, uint8_t(v)).U8(at + 1, uint8_t(v >> 8)); }
    RawReply& U32(size_t at, uint32_t v) {
        return U16(at, uint16_t(v)).U16(at + 2, uint16_t(v >> 16));
    }
    RawReply& Text(size_t at, const std::string& s) {
        for (size_t i = 0; i < s.size(); ++i)
            U8(at + i, uint8_t(s[i]));
        return *this;
    }
};

class ServicesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(channel_.Open("127.0.0.1", peer_.port()), 0);
        channel_.set_reply_wait(300);
        channel_.SetPassword("pw");
    }
    void Answer(RawReply reply, uint16_t flags = 0) {
        peer_.SetScript([reply, flags](const PeerDatagram& d) {
            std::vector<uint8_t> r = reply.bytes;
            StoreU16(&r[0], d.sequence());
            StoreU16(&r[2], flags);
            return std::vector<PeerReply>{{r}};
        });
    }
    void Status(int16_t status) { Answer(RawReply().U16(4, uint16_t(status))); }
    PeerDatagram Last() const {
        const auto got = peer_.Received();
        return got.empty() ? PeerDatagram{} : got.back();
    }

    RecordingPeer peer_;
    CommandChannel channel_{nullptr};
};

TEST_F(ServicesTest, EveryRequestHasItsCodeAndSize) {
    const std::array<uint8_t, 12> setting{};
    struct Case {
        uint16_t code;
        size_t size;
        std::function<int32_t(CommandChannel&)> run;
    };
    const Case cases[] = {
        {123, 20,
         [](CommandChannel& c) {
             return scmd_set_mpeg4_param(c, {1, 512});
         }},
        {124, 16,
         [](CommandChannel& c) {
             Mpeg4Parameter p;
             return scmd_get_mpeg4_param(c, p);
         }},
        {192, 20, [](CommandChannel& c) { return scmd_start_local_rec(c); }},
        {193, 20, [](CommandChannel& c) { return scmd_stop_local_rec(c); }},
        {194, 20,
         [](CommandChannel& c) {
             LocalRecStatus s;
             return scmd_get_local_rec_status(c, s);
         }},
        {197, 52, [](CommandChannel& c) { return scmd_del_local_recfile(c, "a.jpg"); }},
        {198, 20, [](CommandChannel& c) { return scmd_del_local_recfile_all(c); }},
        {199, 224,
         [](CommandChannel& c) {
             LocalRecInfo i;
             i.change_fps = {30u << 16, 1u << 16};
             return scmd_set_local_rec_info(c, i);
         }},
        {200, 20,
         [](CommandChannel& c) {
             LocalRecInfo i;
             bool u;
             return scmd_get_local_rec_info(c, i, u);
         }},
        {224, 44, [](CommandChannel& c) { return scmd_set_current_datetime(c, {}); }},
        {225, 20,
         [](CommandChannel& c) {
             ClockSetting s;
             return scmd_get_current_datetime(c, s);
         }},
        {226, 20,
         [](CommandChannel& c) {
             CfInformation i;
             return scmd_get_cf_info(c, i);
         }},
        {235, 24, [](CommandChannel& c) { return scmd_set_port_mode(c, 1, 2, 3); }},
        {236, 20,
         [](CommandChannel& c) {
             int16_t s;
             return scmd_get_port_mode(c, 1, s);
         }},
        {237, 20,
         [](CommandChannel& c) {
             PortConfig p;
             return scmd_get_port_config(c, 1, p);
         }},
        {239, 32, [&](CommandChannel& c) { return scmd_set_port_config(c, 1, 2, setting); }},
        {592, 188, [](CommandChannel& c) { return scmd_ftp_init(c, {}); }},
        {593, 16,
         [](CommandChannel& c) {
             FtpInit i;
             return scmd_ftp_get_init(c, i);
         }},
        {594, 16, [](CommandChannel& c) { return scmd_set_ftp_server_enable(c, 1); }},
        {595, 16,
         [](CommandChannel& c) {
             int16_t s;
             return scmd_get_ftp_server_enable(c, s);
         }},
        {624, 28, [](CommandChannel& c) { return scmd_set_multicast_mode(c, {}); }},
        {625, 12,
         [](CommandChannel& c) {
             MulticastMode m;
             return scmd_get_multicast_mode(c, m);
         }},
        {1024, 14, [](CommandChannel& c) { return scmd_set_http_port(c, 8080); }},
        {1025, 4,
         [](CommandChannel& c) {
             int16_t p;
             return scmd_get_http_port(c, p);
         }},
        {1026, 48, [](CommandChannel& c) { return scmd_set_http_default_page(c, "index.htm"); }},
        {1027, 16,
         [](CommandChannel& c) {
             std::array<uint8_t, 32> page{};
             return scmd_get_http_default_page(c, page);
         }},
        {1028, 16, [](CommandChannel& c) { return scmd_set_http_general_setting(c, 1, 2); }},
        {1029, 16,
         [](CommandChannel& c) {
             int16_t v;
             return scmd_get_http_general_setting(c, 1, v);
         }},
    };
    Status(0);
    for (const Case& c : cases) {
        const size_t before = peer_.count();
        EXPECT_GE(c.run(channel_), 0) << c.code;
        ASSERT_EQ(peer_.count(), before + 1) << c.code;
        const PeerDatagram d = Last();
        EXPECT_EQ(d.code(), c.code);
        EXPECT_EQ(d.bytes.size(), c.size) << c.code;
        // Every long request proves itself with the session password; the
        // web server port query alone goes without.
        if (c.size > 4) {
            EXPECT_EQ(Bytes(d, 4, 8), std::string("pw\0\0\0\0\0\0", 8)) << c.code;
        }
    }
}

TEST_F(ServicesTest, StatusQueriesReadTheirFields) {
    Answer(RawReply().U16(4, 0).U16(8, 2).U16(10, 1024));
    Mpeg4Parameter mpeg;
    EXPECT_EQ(scmd_get_mpeg4_param(channel_, mpeg), 0);
    EXPECT_EQ(mpeg.framerate_mode, 2);
    EXPECT_EQ(mpeg.bitrate, 1024);

    // +6 Count, +8 and +300 the two 292-byte blocks.
    Answer(RawReply().U16(4, 1).U16(6, 2).U8(8, 0xA1).U8(299, 0xA2).U8(300, 0xB1).U8(591, 0xB2));
    CfInformation cf;
    EXPECT_EQ(scmd_get_cf_info(channel_, cf), 1);
    EXPECT_EQ(cf.count, 2);
    EXPECT_EQ(cf.cf1.front(), 0xA1);
    EXPECT_EQ(cf.cf1.back(), 0xA2);
    EXPECT_EQ(cf.cf2.front(), 0xB1);
    EXPECT_EQ(cf.cf2.back(), 0xB2);

    // The FTP settings answer inside their own block, at +22.
    Answer(RawReply()
               .U16(4, 1)
               .U16(6, 2121)
               .Text(8, "\x0A\x00\x00\x07"s)
               .U8(12, 0x55)
               .U16(22, 3)
               .U8(175, 0x66));
    FtpInit ftp;
    EXPECT_EQ(scmd_ftp_get_init(channel_, ftp), 3);
    EXPECT_EQ(ftp.enable, 1);
    EXPECT_EQ(ftp.server_port, 2121);
    EXPECT_EQ(ftp.address, (std::array<uint8_t, 4>{10, 0, 0, 7}));
    EXPECT_EQ(ftp.setting[0], 0x55);
    EXPECT_EQ(ftp.setting[10], 3);
    EXPECT_EQ(ftp.setting[163], 0x66);

    Answer(RawReply().U16(4, 2).U16(6, 1).U16(8, 7));
    int16_t value = 0;
    EXPECT_EQ(scmd_get_ftp_server_enable(channel_, value), 2);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(scmd_get_http_general_setting(channel_, 3, value), 2);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(Bytes(Last(), 12, 4), "\x03\x00\x00\x00"s);
    EXPECT_EQ(scmd_get_port_mode(channel_, 1, value), 2);
    EXPECT_EQ(value, 7);
}

TEST_F(ServicesTest, RecordingStatusFilenameAndDateTime) {
    RawReply reply;
    reply.U16(4, 1).U16(6, 12).Text(8, "REC00042.JPG");
    for (int i = 0; i < 7; ++i)
        reply.U16(40 + 2 * size_t(i), uint16_t(2000 + i));
    Answer(reply);
    LocalRecStatus status;
    EXPECT_EQ(scmd_get_local_rec_status(channel_, status), 1);
    EXPECT_EQ(status.status2, 12);
    EXPECT_EQ(status.filename, "REC00042.JPG");
    EXPECT_EQ(status.date_time, (std::array<int16_t, 7>{2000, 2001, 2002, 2003, 2004, 2005, 2006}));

    // A name filling all 32 bytes without a NUL stays inside its field.
    Answer(RawReply().Text(8, std::string(40, 'N')));
    EXPECT_EQ(scmd_get_local_rec_status(channel_, status), 0);
    EXPECT_EQ(status.filename, std::string(32, 'N'));

    // A file name must leave room for its NUL.
    const size_t before = peer_.count();
    EXPECT_EQ(scmd_del_local_recfile(channel_, std::string(32, 'x')), -10);
    EXPECT_EQ(peer_.count(), before);
    Status(3);
    EXPECT_EQ(scmd_del_local_recfile(channel_, std::string(31, 'x')), 3);
    EXPECT_EQ(Bytes(Last(), 12, 32), std::string(31, 'x') + '\0');
}

TEST_F(ServicesTest, RecordingFrameRatesTravelAsIndexes) {
    const int rates[] = {30, 15, 10, 8, 7, 6, 5, 4, 3, 2, 1};
    const int indexes[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 14, 29};
    for (size_t i = 0; i < std::size(rates); ++i) {
        EXPECT_EQ(RecordingRateToIndex(rates[i]), indexes[i]);
        EXPECT_EQ(RecordingIndexToRate(indexes[i]), rates[i]);
    }
    for (int odd : {0, 9, 20, 31, -1})
        EXPECT_EQ(RecordingRateToIndex(odd), -1) << odd;
    for (int odd : {7, 10, 13, 30, -1})
        EXPECT_EQ(RecordingIndexToRate(odd), -1) << odd;

    LocalRecInfo info;
    info.trigger = 0x11223344;
    info.alarm_rec = 5;
    info.timer_rec.fill(0xAB);
    info.change_fps = {(7u << 16) | 0x1234, (9u << 16) | 2};
    info.cf_full = 6;
    info.time_lapse = 7;
    Status(0);
    EXPECT_EQ(scmd_set_local_rec_info(channel_, info), -10);  // 9 fps is no rate
    EXPECT_EQ(peer_.count(), 0u);

    info.change_fps[1] = (1u << 16) | 2;
    EXPECT_EQ(scmd_set_local_rec_info(channel_, info), 0);
    const PeerDatagram d = Last();
    ASSERT_EQ(d.bytes.size(), 224u);
    EXPECT_EQ(Bytes(d, 12, 4), "\x44\x33\x22\x11"s);
    EXPECT_EQ(Bytes(d, 20, 180), std::string(180, '\xAB'));
    EXPECT_EQ(Bytes(d, 200, 4), "\x34\x12\x04\x00"s);  // 7 fps -> index 4, low half kept
    EXPECT_EQ(Bytes(d, 204, 4), "\x02\x00\x1D\x00"s);  // 1 fps -> index 29
    EXPECT_EQ(Bytes(d, 208, 8), "\x06\x00\x00\x00\x07\x00\x00\x00"s);

    // Back from the camera: indexes become frames per second.
    Answer(RawReply()
               .U32(8, 1)
               .U32(12, 2)
               .U8(16, 0xCD)
               .U32(196, (8u << 16) | 5)
               .U32(200, 14u << 16)
               .U32(204, 3)
               .U32(208, 4));
    LocalRecInfo got;
    bool unknown = true;
    EXPECT_EQ(scmd_get_local_rec_info(channel_, got, unknown), 0);
    EXPECT_FALSE(unknown);
    EXPECT_EQ(got.trigger, 1);
    EXPECT_EQ(got.alarm_rec, 2);
    EXPECT_EQ(got.timer_rec[0], 0xCD);
    EXPECT_EQ(got.change_fps[0], (4u << 16) | 5);
    EXPECT_EQ(got.change_fps[1], 2u << 16);
    EXPECT_EQ(got.cf_full, 3);
    EXPECT_EQ(got.time_lapse, 4);

    Answer(RawReply().U32(196, 7u << 16));
    EXPECT_EQ(scmd_get_local_rec_info(channel_, got, unknown), 0);
    EXPECT_TRUE(unknown);
    EXPECT_EQ(got.change_fps[0] >> 16, 0u);
}

TEST_F(ServicesTest, ClockBytesAndTheSignedNtpByte) {
    ClockSetting clock;
    clock.ntp = 1;
    clock.ntp_signed = -9;
    clock.ntp_bytes = {1, 2, 3, 4, 5, 6};
    for (size_t i = 0; i < 16; ++i)
        clock.date_time[i] = uint8_t(0x40 + i);
    Status(0);
    EXPECT_EQ(scmd_set_current_datetime(channel_, clock), 0);
    const PeerDatagram d = Last();
    EXPECT_EQ(Bytes(d, 12, 8), "\x01\xF7\x01\x02\x03\x04\x05\x06"s);
    EXPECT_EQ(Bytes(d, 20, 16), "@ABCDEFGHIJKLMNO");
    EXPECT_EQ(Bytes(d, 36, 8), std::string(8, '\0'));

    Answer(RawReply()
               .U16(4, 2)
               .U8(8, 200)
               .U8(9, 0x80)
               .Text(10, "abcdef")
               .Text(16, "0123456789ABCDEF"));
    ClockSetting got;
    EXPECT_EQ(scmd_get_current_datetime(channel_, got), 2);
    EXPECT_EQ(got.ntp, 200);
    EXPECT_EQ(got.ntp_signed, -128);
    EXPECT_EQ(std::string(got.ntp_bytes.begin(), got.ntp_bytes.end()), "abcdef");
    EXPECT_EQ(std::string(got.date_time.begin(), got.date_time.end()), "0123456789ABCDEF");
}

TEST_F(ServicesTest, ControlPortConfigSpeedInHundreds) {
    Answer(
        RawReply().U16(4, 0).U16(10, 2).U16(12, 96).U16(14, 8).U16(16, 1).U16(18, 2).U16(20, 3).U16(
            22, 4));
    PortConfig config;
    EXPECT_EQ(scmd_get_port_config(channel_, 1, config), 0);
    EXPECT_EQ(config.device_type, 2);
    EXPECT_EQ(config.speed, 9600u);
    EXPECT_EQ(config.values, (std::array<int16_t, 5>{8, 1, 2, 3, 4}));

    // Its result is at +8, whatever +4 says.
    Answer(RawReply().U16(4, 1).U16(8, 4));
    const std::array<uint8_t, 12> setting{0x80, 0x25, 8, 0, 1, 0, 0, 0, 9, 9, 9, 9};
    EXPECT_EQ(scmd_set_port_config(channel_, 1, 3, setting), 4);
    const PeerDatagram d = Last();
    EXPECT_EQ(Bytes(d, 12, 4), "\x01\x00\x03\x00"s);
    EXPECT_EQ(Bytes(d, 16, 12), std::string(setting.begin(), setting.end()));
    EXPECT_EQ(Bytes(d, 28, 4), std::string(4, '\0'));
}

TEST_F(ServicesTest, PassThroughLayoutAndCountedReply) {
    Answer(RawReply().U8(5, 2).U16(7, 300).Text(12, "ANSWER"), 0x8000);
    const uint8_t data[] = {'h', 'e', 'l', 'l', 'o'};
    std::array<uint8_t, 4> ack{};
    PassThroughAnswer answer;
    EXPECT_EQ(scmd_pass_through_cmd(channel_, 0x0102, 0x0309, data, ack, 300, answer), 2);
    const PeerDatagram d = Last();
    ASSERT_EQ(d.bytes.size(), 25u);
    EXPECT_EQ(d.code(), 238);
    EXPECT_EQ(Bytes(d, 12, 8), "\x02\x01\x09\x05\x00\x00\x00\x00"s);
    EXPECT_EQ(Bytes(d, 20, 5), "hello");
    // At most the buffer is filled; AckCommandSize never says more than came.
    EXPECT_EQ(answer.ack_size, 6);
    EXPECT_EQ(answer.copied, 4u);
    EXPECT_EQ(std::string(ack.begin(), ack.end()), "ANSW");
    // The start flag is not acted on here.
    EXPECT_EQ(peer_.count(), 1u);

    // A 12-byte reply carries no data but still its result.
    Answer(RawReply().U8(5, 7).U8(11, 0));
    ack.fill(0xEE);
    EXPECT_EQ(scmd_pass_through_cmd(channel_, 0, 1, data, ack, 300, answer), 7);
    EXPECT_EQ(answer.copied, 0u);
    EXPECT_EQ(ack, (std::array<uint8_t, 4>{0xEE, 0xEE, 0xEE, 0xEE}));

    // Too short for the result byte: no answer at all.
    peer_.SetScript([](const PeerDatagram& q) {
        std::vector<uint8_t> r(5);
        StoreU16(&r[0], q.sequence());
        return std::vector<PeerReply>{{r}};
    });
    EXPECT_EQ(scmd_pass_through_cmd(channel_, 0, 1, data, ack, 300, answer), -1);

    const size_t before = peer_.count();
    std::vector<uint8_t> big(1461);
    EXPECT_EQ(scmd_pass_through_cmd(channel_, 0, 1, big, ack, 300, answer), -10);
    EXPECT_EQ(peer_.count(), before);
    big.resize(1460);
    Status(0);
    EXPECT_EQ(scmd_pass_through_cmd(channel_, 0, 1, big, ack, 300, answer), 0);
    EXPECT_EQ(Last().bytes.size(), 1480u);
}

TEST_F(ServicesTest, PassThroughSizeIsNeverMoreThanWasReceived) {
    // The camera's stated size against the data bytes it really sent, into
    // a buffer of 64 bytes.
    const struct {
        int16_t stated;
        const char* data;
        int16_t reported;
    } cases[] = {
        {4, "ABCD", 4},  {30000, "ABCD", 4}, {2, "ABCDEFGH", 2},
        {-5, "ABCD", 0}, {-1, "", 0},        {100, "", 0},
    };
    const uint8_t send[] = {1};
    std::array<uint8_t, 64> ack{};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stated);
        Answer(RawReply().U8(5, 0).U16(7, uint16_t(c.stated)).U8(11, 0).Text(12, c.data));
        PassThroughAnswer answer;
        EXPECT_EQ(scmd_pass_through_cmd(channel_, 0, 1, send, ack, 300, answer), 0);
        EXPECT_EQ(answer.ack_size, c.reported);
        EXPECT_EQ(answer.copied, std::strlen(c.data));
    }
}

TEST_F(ServicesTest, PassThroughWaitsWithItsOwnTimeout) {
    // The port answers later than the channel's reply wait but within the
    // command's own Timeout; the channel's wait is left as it was.
    channel_.set_reply_wait(20);
    peer_.SetScript([](const PeerDatagram& q) {
        auto r = RecordingPeer::Reply(q, 0);
        r.resize(12);
        return std::vector<PeerReply>{{r, 150}};
    });
    const uint8_t data[] = {1};
    PassThroughAnswer answer;
    EXPECT_EQ(scmd_pass_through_cmd(channel_, 0, 1, data, {}, 2000, answer), 0);
    EXPECT_EQ(channel_.reply_wait(), 20u);
}

TEST_F(ServicesTest, WebServerPortAndPages) {
    Status(1);
    EXPECT_EQ(scmd_set_http_port(channel_, 8080), -2);
    EXPECT_EQ(Bytes(Last(), 12, 2), "\x90\x1F"s);
    Status(2);
    EXPECT_EQ(scmd_set_http_port(channel_, 8080), -70);
    Status(3);
    EXPECT_EQ(scmd_set_http_port(channel_, 8080), 0);
    size_t before = peer_.count();
    EXPECT_EQ(scmd_set_http_port(channel_, 0), -100);
    EXPECT_EQ(peer_.count(), before);

    Answer(RawReply().U16(4, 8080));
    int16_t port = 0;
    EXPECT_EQ(scmd_get_http_port(channel_, port), 0);
    EXPECT_EQ(port, 8080);

    before = peer_.count();
    EXPECT_EQ(scmd_set_http_default_page(channel_, ""), -10);
    EXPECT_EQ(scmd_set_http_default_page(channel_, std::string(21, 'p')), -10);
    EXPECT_EQ(peer_.count(), before);
    Status(2);
    EXPECT_EQ(scmd_set_http_default_page(channel_, std::string(20, 'p')), 2);
    EXPECT_EQ(Bytes(Last(), 12, 36), std::string(20, 'p') + std::string(16, '\0'));

    // The page name comes first, its status after it at +36.
    Answer(RawReply().U16(4, 0).Text(4, "home.html").U16(36, 2));
    std::array<uint8_t, 32> page{};
    EXPECT_EQ(scmd_get_http_default_page(channel_, page), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page.data())), "home.html");
}

TEST_F(ServicesTest, MulticastLayoutAndTheTextTheCameraKeeps) {
    MulticastMode mode;
    mode.mode = 1;
    mode.address = {239, 1, 2, 3};
    mode.burst_count = 4;
    mode.burst_interval = 5;
    mode.port = int16_t(50000);
    mode.ttl = 16;
    Status(0);
    EXPECT_EQ(scmd_set_multicast_mode(channel_, mode), 0);
    EXPECT_EQ(Bytes(Last(), 12, 16),
              "\x00\x00\x01\x00\xEF\x01\x02\x03\x04\x00\x05\x00\x50\xC3\x10\x00"s);

    Answer(RawReply()
               .U16(4, 0)
               .U16(6, 1)
               .Text(8, "\xE0\x00\x00\x07"s)
               .U16(12, 3)
               .U16(14, 9)
               .U16(16, 50000)
               .U8(18, 200));
    CKestCamera camera("services-multicast");
    ASSERT_EQ(camera.OpenSession("127.0.0.1", peer_.port()), 0);
    MulticastMode got;
    EXPECT_EQ(camera.scmd_get_multicast_mode(&got), 0);
    EXPECT_EQ(got.mode, 1);
    EXPECT_EQ(got.burst_count, 3);
    EXPECT_EQ(got.burst_interval, 9);
    EXPECT_EQ(uint16_t(got.port), 50000);
    EXPECT_EQ(got.ttl, 200);
    EXPECT_EQ(camera.multicast_address_text(), "224.0.0.7");
    EXPECT_EQ(camera.multicast_port_text(), "50000");

    // A refused answer leaves the kept settings alone.
    Answer(RawReply().U16(4, 1).Text(8, "\xE0\x09\x09\x09"s));
    EXPECT_EQ(camera.scmd_get_multicast_mode(&got), 1);
    EXPECT_EQ(camera.multicast_address_text(), "224.0.0.7");
    camera.CloseSession();
    EXPECT_EQ(camera.scmd_get_multicast_mode(&got), -200);
}

}  // namespace
}  // namespace kest::protocol
