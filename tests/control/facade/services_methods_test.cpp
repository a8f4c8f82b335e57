// The identity, network, password and service methods of the control: their
// argument and buffer checks before any traffic, their result tables against
// a scripted peer, and every setting round trip through kestsim.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <mutex>

#include "control/facade/ctrl.h"
#include "platform/ticks.h"
#include "sim/services.h"
#include "sim/simulator.h"
#include "tests/support/recording_peer.h"

namespace kest {
namespace {

using test::PeerDatagram;
using test::PeerReply;
using test::RecordingPeer;

BufferRef Buf(std::vector<uint8_t>& v) {
    return {v.data(), v.size()};
}

// A peer that opens sessions (scmd_nop, scmd_get_version) and answers one
// command code with a reply laid out at absolute offsets; other codes get
// status 0, or nothing once Silence() is called.
class ScriptedCamera {
  public:
    ScriptedCamera() {
        peer_.SetScript([this](const PeerDatagram& d) -> std::vector<PeerReply> {
            if (d.code() == 0) return {{RecordingPeer::Reply(d, 0)}};
            if (d.code() == 1) return {{RecordingPeer::Reply(d, 20, {11, 0, 20, 0})}};
            std::lock_guard lock(mutex_);
            if (d.code() != code_) {
                if (silent_) return {};
                return {{RecordingPeer::Reply(d, 0)}};
            }
            std::vector<uint8_t> r = reply_;
            StoreU16(&r[0], d.sequence());
            return {{r}};
        });
    }
    // The reply to code: the 16-bit value at offset (4 is the status word).
    void Answer(uint16_t code, size_t offset, uint16_t value, std::vector<uint8_t> base = {}) {
        std::lock_guard lock(mutex_);
        code_ = code;
        reply_ = base;
        reply_.resize(std::max<size_t>({reply_.size(), offset + 2, 6}));
        StoreU16(&reply_[offset], value);
    }
    void Silence() {
        std::lock_guard lock(mutex_);
        silent_ = true;
        code_ = 0xFFFF;
    }
    size_t count() const { return peer_.count(); }
    size_t count(uint16_t code) const {
        size_t n = 0;
        for (const PeerDatagram& d : peer_.Received())
            n += d.code() == code ? 1 : 0;
        return n;
    }
    uint16_t port() const { return peer_.port(); }

  private:
    std::mutex mutex_;
    uint16_t code_ = 0xFFFF;
    bool silent_ = false;
    std::vector<uint8_t> reply_;
    RecordingPeer peer_;
};

// Waits for what the simulator does after a reply; false after ms.
bool WaitUntil(const std::function<bool()>& done, uint32_t ms = 2000) {
    for (uint32_t waited = 0; !done(); ++waited) {
        if (waited >= ms) return false;
        platform::SleepMs(1);
    }
    return true;
}

void Aim(CKestCtrl& c, uint16_t port, const char* address = "127.0.0.1") {
    c.SetRemoteIPAddress(address);
    c.SetCameraPort(port);
    c.SetTimeout(300);
}

// Buffers of every layout, full size.
struct Blocks {
    std::vector<uint8_t> word = std::vector<uint8_t>(4);
    std::vector<uint8_t> word2 = std::vector<uint8_t>(4);
    std::vector<uint8_t> word3 = std::vector<uint8_t>(4);
    std::vector<uint8_t> word4 = std::vector<uint8_t>(4);
    std::vector<uint8_t> timer = std::vector<uint8_t>(180);
    std::vector<uint8_t> fps = {0, 0, 30, 0, 0, 0, 30, 0};
    std::vector<uint8_t> ntp = std::vector<uint8_t>(10);
    std::vector<uint8_t> date = std::vector<uint8_t>(16);
    std::vector<uint8_t> cf1 = std::vector<uint8_t>(292);
    std::vector<uint8_t> cf2 = std::vector<uint8_t>(292);
    std::vector<uint8_t> address = std::vector<uint8_t>{239, 0, 0, 1};
    std::vector<uint8_t> ftp = std::vector<uint8_t>(164);
    std::vector<uint8_t> port_in = std::vector<uint8_t>{0x80, 0x25, 0, 0, 8, 0, 1, 0, 0, 0};
    std::vector<uint8_t> port_out = std::vector<uint8_t>(14);
    std::vector<uint8_t> page = std::vector<uint8_t>(32);
    std::vector<uint8_t> send = std::vector<uint8_t>{1, 2, 3};
    std::vector<uint8_t> ack = std::vector<uint8_t>(16);
};

// Every method that takes a buffer, with the blocks given.
const std::vector<std::pair<const char*, std::function<int16_t(CKestCtrl&, Blocks&)>>>&
BufferMethods() {
    static const std::vector<std::pair<const char*, std::function<int16_t(CKestCtrl&, Blocks&)>>>
        methods = {
            {"GetLocalRecStatus",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t s1 = 0, s2 = 0;
                 std::string name;
                 return c.GetLocalRecStatus(s1, s2, name, Buf(b.date));
             }},
            {"GetLocalRecInformation",
             [](CKestCtrl& c, Blocks& b) {
                 return c.GetLocalRecInformation(Buf(b.word), Buf(b.word2), Buf(b.timer),
                                                 Buf(b.fps), Buf(b.word3), Buf(b.word4));
             }},
            {"SetLocalRecInformation",
             [](CKestCtrl& c, Blocks& b) {
                 return c.SetLocalRecInformation(Buf(b.word), Buf(b.word2), Buf(b.timer),
                                                 Buf(b.fps), Buf(b.word3), Buf(b.word4));
             }},
            {"SetCurrentDatetime",
             [](CKestCtrl& c, Blocks& b) {
                 return c.SetCurrentDatetime(1, Buf(b.ntp), Buf(b.date));
             }},
            {"GetCurrentDateTime",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t ntp = 0;
                 return c.GetCurrentDateTime(ntp, Buf(b.ntp), Buf(b.date));
             }},
            {"GetCFInformaiton",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t n = 0;
                 return c.GetCFInformaiton(n, Buf(b.cf1), Buf(b.cf2));
             }},
            {"SetControlPortConfig",
             [](CKestCtrl& c, Blocks& b) { return c.SetControlPortConfig(0, 1, Buf(b.port_in)); }},
            {"GetControlPortConfig",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t type = 0;
                 return c.GetControlPortConfig(0, type, Buf(b.port_out));
             }},
            {"PassThroughCommand",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t size = 0;
                 return c.PassThroughCommand(0, 1, Buf(b.send), 3, Buf(b.ack), size, 300);
             }},
            {"SetFTPInit",
             [](CKestCtrl& c, Blocks& b) {
                 return c.SetFTPInit(1, 21, Buf(b.address), Buf(b.ftp));
             }},
            {"GetFTPInit",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t e = 0, p = 0;
                 return c.GetFTPInit(e, p, Buf(b.address), Buf(b.ftp));
             }},
            {"GetMulticastMode",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t m = 0, bc = 0, bi = 0, p = 0, t = 0;
                 return c.GetMulticastMode(m, Buf(b.address), bc, bi, p, t);
             }},
            {"SetMulticastMode",
             [](CKestCtrl& c, Blocks& b) {
                 return c.SetMulticastMode(1, Buf(b.address), 1, 0, 5000, 1);
             }},
            {"GetHTTPDefaultPage",
             [](CKestCtrl& c, Blocks& b) { return c.GetHTTPDefaultPage(Buf(b.page)); }},
            {"GetDHCP",
             [](CKestCtrl& c, Blocks& b) {
                 int16_t e = 0, s = 0;
                 int32_t lo = 0, le = 0;
                 return c.GetDHCP(e, s, Buf(b.word), lo, le);
             }},
        };
    return methods;
}

TEST(ServicesMethods, BuffersShorterThanTheirLayoutGive100WithoutTraffic) {
    ScriptedCamera camera;
    CKestCtrl c;
    Aim(c, camera.port());
    // Shrinking any one of a method's buffers by a byte refuses the call.
    std::vector<std::vector<uint8_t> Blocks::*> fields = {
        &Blocks::word,    &Blocks::word2, &Blocks::word3,   &Blocks::word4,    &Blocks::timer,
        &Blocks::fps,     &Blocks::ntp,   &Blocks::date,    &Blocks::cf1,      &Blocks::cf2,
        &Blocks::address, &Blocks::ftp,   &Blocks::port_in, &Blocks::port_out, &Blocks::page,
    };
    for (const auto& [name, call] : BufferMethods()) {
        int refused = 0;
        for (auto field : fields) {
            Blocks b;
            (b.*field).pop_back();
            const size_t before = camera.count();
            const int16_t r = call(c, b);
            if (r == kResultBadArgument) {
                ++refused;
                EXPECT_EQ(camera.count(), before) << name;
            }
        }
        if (std::string(name) != "PassThroughCommand") {
            EXPECT_GT(refused, 0) << name;
        }
        // With every buffer whole the call goes out.
        Blocks whole;
        const size_t before = camera.count();
        EXPECT_NE(call(c, whole), kResultBadArgument) << name;
        EXPECT_GT(camera.count(), before) << name;
    }
    // A buffer without memory is no buffer.
    std::vector<uint8_t> none;
    EXPECT_EQ(c.GetHTTPDefaultPage(BufferRef{nullptr, 32}), kResultBadArgument);
    EXPECT_EQ(c.GetHTTPDefaultPage(Buf(none)), kResultBadArgument);
}

TEST(ServicesMethods, ArgumentChecksComeBeforeAnyTraffic) {
    ScriptedCamera camera;
    CKestCtrl c;
    Aim(c, camera.port());
    std::vector<uint8_t> send(8), ack(4);
    int16_t size = 0, value = 0;
    EXPECT_EQ(c.PassThroughCommand(0, 1, Buf(send), -1, Buf(ack), size, 100), 100);
    EXPECT_EQ(c.PassThroughCommand(0, 1, Buf(send), 9, Buf(ack), size, 100), 100);
    std::vector<uint8_t> big(2000);
    EXPECT_EQ(c.PassThroughCommand(0, 1, Buf(big), 1461, Buf(ack), size, 100), 100);
    EXPECT_EQ(c.DeleteLocalRecFile(std::string(32, 'f')), 100);
    EXPECT_EQ(c.SetHTTPDefaultPage(std::string(32, 'p')), 100);
    EXPECT_EQ(c.SetHTTPGeneralSetting(4, 0), 101);
    EXPECT_EQ(c.GetHTTPGeneralSetting(-1, value), 101);
    EXPECT_EQ(c.SetMPEG4Parameter(3, 100), 101);
    EXPECT_EQ(c.SetMPEG4Parameter(1, 63), 102);
    EXPECT_EQ(c.SetMPEG4Parameter(1, 2049), 102);
    EXPECT_EQ(camera.count(), 0u);

    // A page name that fits its field but not the camera's 20 characters is
    // refused by the command, after the session opened.
    EXPECT_EQ(c.SetHTTPDefaultPage(std::string(21, 'p')), 101);
    EXPECT_EQ(camera.count(1026), 0u);
    EXPECT_GT(camera.count(), 0u);

    // Without an address: 7, and GetLocalRecStatus still hands back a name.
    CKestCtrl none;
    std::string name = "stale";
    std::vector<uint8_t> date(16);
    int16_t s1 = 0, s2 = 0;
    EXPECT_EQ(none.GetLocalRecStatus(s1, s2, name, Buf(date)), kResultNoAddress);
    EXPECT_EQ(name, "");
}

// One command's reply and the method result it must give.
struct MappingCase {
    const char* method;
    uint16_t code;
    size_t offset;  // where the value sits in the reply
    uint16_t value;
    int16_t expected;
};

TEST(ServicesMethods, ResultTables) {
    const std::map<std::string, std::function<int16_t(CKestCtrl&)>> calls = {
        {"GetMacAddress",
         [](CKestCtrl& c) {
             std::string s;
             return c.GetMacAddress(s);
         }},
        {"StartLocalRec", [](CKestCtrl& c) { return c.StartLocalRec(); }},
        {"StopLocalRec", [](CKestCtrl& c) { return c.StopLocalRec(); }},
        {"DeleteLocalRecFile", [](CKestCtrl& c) { return c.DeleteLocalRecFile("a.jpg"); }},
        {"DeleteLocalRecFileAll", [](CKestCtrl& c) { return c.DeleteLocalRecFileAll(); }},
        {"SetNewIPAddress", [](CKestCtrl& c) { return c.SetNewIPAddress("127.0.0.2"); }},
        {"GetSubnetMask",
         [](CKestCtrl& c) {
             std::string s;
             return c.GetSubnetMask(s);
         }},
        {"SetCameraID", [](CKestCtrl& c) { return c.SetCameraID("CAM"); }},
        {"ResetCamera", [](CKestCtrl& c) { return c.ResetCamera(); }},
        {"GetPasswordEnable",
         [](CKestCtrl& c) {
             int16_t e;
             return c.GetPasswordEnable(1, e);
         }},
        {"SetPasswordEnable", [](CKestCtrl& c) { return c.SetPasswordEnable(0, 1, "p"); }},
        {"CheckPassword", [](CKestCtrl& c) { return c.CheckPassword(2, "p"); }},
        {"GetIPAddress",
         [](CKestCtrl& c) {
             std::string s;
             return c.GetIPAddress(s);
         }},
        {"SetDHCP", [](CKestCtrl& c) { return c.SetDHCP(1); }},
        {"SetControlPortMode", [](CKestCtrl& c) { return c.SetControlPortMode(1, 0, 1); }},
        {"SetFTPServerEnable", [](CKestCtrl& c) { return c.SetFTPServerEnable(1); }},
        {"SetHTTPPort", [](CKestCtrl& c) { return c.SetHTTPPort(8080); }},
        {"GetHTTPPort",
         [](CKestCtrl& c) {
             int16_t p;
             return c.GetHTTPPort(p);
         }},
        {"SetHTTPDefaultPage", [](CKestCtrl& c) { return c.SetHTTPDefaultPage("a.htm"); }},
        {"SetHTTPGeneralSetting", [](CKestCtrl& c) { return c.SetHTTPGeneralSetting(1, 1); }},
        {"SetMPEG4Parameter", [](CKestCtrl& c) { return c.SetMPEG4Parameter(1, 512); }},
    };
    const MappingCase cases[] = {
        {"StartLocalRec", 192, 4, 0, 0},
        {"StartLocalRec", 192, 4, 1, 9},
        {"StartLocalRec", 192, 4, 2, 2},
        {"StartLocalRec", 192, 4, 3, 6},
        {"StartLocalRec", 192, 4, 0xFFFF, 5},
        {"StopLocalRec", 193, 4, 1, 2},
        {"StopLocalRec", 193, 4, 4, 6},
        {"DeleteLocalRecFile", 197, 4, 1, 2},
        {"DeleteLocalRecFile", 197, 4, 2, 101},
        {"DeleteLocalRecFile", 197, 4, 3, 9},
        {"DeleteLocalRecFile", 197, 4, 7, 6},
        {"DeleteLocalRecFileAll", 198, 4, 2, 6},
        {"DeleteLocalRecFileAll", 198, 4, 3, 5},
        {"GetLocalRecStatus", 194, 4, 2, 2},
        {"GetLocalRecStatus", 194, 4, 5, 0},
        {"SetLocalRecInformation", 199, 4, 2, 100},
        {"SetLocalRecInformation", 199, 4, 3, 6},
        {"SetLocalRecInformation", 199, 4, 4, 5},
        {"GetLocalRecInformation", 200, 4, 2, 6},
        {"GetLocalRecInformation", 200, 198, 7, 6},  // frame-rate index 7 has no rate
        {"GetLocalRecInformation", 200, 198, 29, 0},
        {"GetCFInformaiton", 226, 4, 1, 2},
        {"GetCFInformaiton", 226, 4, 3, 5},
        {"SetControlPortConfig", 239, 8, 1, 2},
        {"SetControlPortConfig", 239, 8, 2, 100},
        {"SetControlPortConfig", 239, 8, 3, 100},
        {"SetControlPortConfig", 239, 8, 4, 6},
        {"SetControlPortConfig", 239, 8, 5, 5},
        {"GetControlPortConfig", 237, 4, 2, 100},
        {"GetControlPortConfig", 237, 4, 3, 6},
        {"PassThroughCommand", 238, 4, 0x0100, 2},
        {"PassThroughCommand", 238, 4, 0x0200, 6},
        {"PassThroughCommand", 238, 4, 0x0500, 6},
        {"PassThroughCommand", 238, 4, 0x0300, 100},
        {"PassThroughCommand", 238, 4, 0x0400, 100},
        {"PassThroughCommand", 238, 4, 0x0600, 5},
        {"SetFTPInit", 592, 4, 2, 100},
        {"SetFTPInit", 592, 4, 3, 6},
        {"GetFTPInit", 593, 22, 1, 2},
        {"GetFTPInit", 593, 22, 2, 6},
        {"GetFTPInit", 593, 4, 1, 0},  // +4 is Enable here, not a status
        {"SetMulticastMode", 624, 4, 2, 100},
        {"SetMulticastMode", 624, 4, 3, 6},
        {"GetMulticastMode", 625, 4, 2, 6},
        {"GetMulticastMode", 625, 4, 3, 5},
        {"GetHTTPDefaultPage", 1027, 36, 1, 2},
        {"GetHTTPDefaultPage", 1027, 4, 1, 0},  // +4 is the name here
        {"SetHTTPPort", 1024, 4, 1, 2},
        {"SetHTTPPort", 1024, 4, 2, 6},
        {"SetHTTPPort", 1024, 4, 3, 0},
        {"GetHTTPPort", 1025, 4, 0xFFFF, 0},  // +4 is the port
        {"SetHTTPDefaultPage", 1026, 4, 2, 6},
        {"SetHTTPGeneralSetting", 1028, 4, 1, 2},
        {"SetMPEG4Parameter", 123, 4, 2, 6},
        {"GetIPAddress", 166, 8, 1, 2},
        {"GetIPAddress", 166, 8, 2, 6},
        {"GetIPAddress", 166, 8, 3, 5},
        {"GetIPAddress", 166, 4, 1, 0},  // +4 is the address
        {"SetDHCP", 167, 4, 2, 6},
        {"SetNewIPAddress", 161, 4, 1, 2},
        {"SetNewIPAddress", 161, 4, 2, 0},
        {"GetSubnetMask", 162, 4, 1, 2},
        {"GetSubnetMask", 162, 4, 2, 5},
        {"SetCameraID", 177, 4, 1, 2},
        {"SetCameraID", 177, 4, 2, 2},
        {"ResetCamera", 178, 4, 1, 2},
        {"ResetCamera", 178, 4, 2, 5},
        {"GetPasswordEnable", 144, 4, 1, 0},
        {"GetPasswordEnable", 144, 4, 2, 5},
        {"SetPasswordEnable", 155, 4, 1, 2},
        {"CheckPassword", 149, 4, 1, 2},
        {"CheckPassword", 149, 4, 2, 0},
        {"SetControlPortMode", 235, 4, 2, 6},
        {"SetFTPServerEnable", 594, 4, 3, 5},
    };
    ScriptedCamera camera;
    CKestCtrl c;
    Aim(c, camera.port());
    for (const MappingCase& m : cases) {
        camera.Answer(m.code, m.offset, m.value);
        int16_t r = -1;
        if (auto it = calls.find(m.method); it != calls.end()) {
            r = it->second(c);
        } else {
            bool found = false;
            for (const auto& [name, call] : BufferMethods()) {
                if (std::string(name) != m.method) continue;
                Blocks b;
                r = call(c, b);
                found = true;
            }
            ASSERT_TRUE(found) << m.method;
        }
        EXPECT_EQ(r, m.expected) << m.method << " with " << m.value << " at +" << m.offset;
    }
    // No answer to the command itself: 5.
    camera.Silence();
    EXPECT_EQ(c.StartLocalRec(), 5);
    std::string text = "kept";
    EXPECT_EQ(c.GetSubnetMask(text), 5);
    EXPECT_EQ(text, "kept");
}

TEST(ServicesMethods, OutputsAreWrittenOnSuccessOnly) {
    ScriptedCamera camera;
    CKestCtrl c;
    Aim(c, camera.port());
    std::string text = "kept";
    camera.Answer(162, 4, 1, {0, 0, 0, 0, 0, 0, 255, 255, 255, 0});
    EXPECT_EQ(c.GetSubnetMask(text), 2);
    EXPECT_EQ(text, "kept");
    camera.Answer(162, 4, 0, {0, 0, 0, 0, 0, 0, 255, 255, 255, 0});
    EXPECT_EQ(c.GetSubnetMask(text), 0);
    EXPECT_EQ(text, "255.255.255.0");

    // A refused recording status still names its file; the rest stays.
    std::vector<uint8_t> reply(54);
    std::memcpy(&reply[8], "REC1.JPG", 8);
    camera.Answer(194, 4, 2, reply);
    std::vector<uint8_t> date(16, 0xEE);
    int16_t s1 = -7, s2 = -7;
    EXPECT_EQ(c.GetLocalRecStatus(s1, s2, text, Buf(date)), 2);
    EXPECT_EQ(text, "REC1.JPG");
    EXPECT_EQ(s1, -7);
    EXPECT_EQ(date, std::vector<uint8_t>(16, 0xEE));

    // Accepted: seven values into words 0 to 5 and 7, word 6 untouched.
    for (size_t i = 0; i < 7; ++i)
        StoreU16(&reply[40 + 2 * i], uint16_t(0x100 + i));
    camera.Answer(194, 4, 1, reply);
    EXPECT_EQ(c.GetLocalRecStatus(s1, s2, text, Buf(date)), 0);
    EXPECT_EQ(s1, 1);
    EXPECT_EQ(s2, 0);
    const std::vector<uint8_t> expected = {0, 1, 1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 0xEE, 0xEE, 6, 1};
    EXPECT_EQ(date, expected);
}

TEST(ServicesMethods, PassThroughCopiesAtMostItsBuffer) {
    ScriptedCamera camera;
    CKestCtrl c;
    Aim(c, camera.port());
    std::vector<uint8_t> reply(12);
    const std::string data = "0123456789";
    reply.insert(reply.end(), data.begin(), data.end());
    camera.Answer(238, 7, 10, reply);
    std::vector<uint8_t> send = {'x'}, ack(4, 0xEE);
    int16_t size = 0;
    EXPECT_EQ(c.PassThroughCommand(1, 1, Buf(send), 1, Buf(ack), size, 300), 0);
    EXPECT_EQ(size, 10);
    EXPECT_EQ(std::string(ack.begin(), ack.end()), "0123");
    // No buffer for the answer: nothing copied, the size still reported.
    size = 0;
    EXPECT_EQ(c.PassThroughCommand(1, 1, Buf(send), 1, BufferRef{}, size, 300), 0);
    EXPECT_EQ(size, 10);
}

class ServicesSim : public ::testing::Test {
  protected:
    void SetUp() override { Start({}); }
    void Start(const std::string& password) {
        sim::SimConfig config;
        config.port = 0;
        config.password = password;
        sim_ = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        Aim(c_, sim_->port());
    }
    std::unique_ptr<sim::Simulator> sim_;
    CKestCtrl c_;
};

TEST_F(ServicesSim, EverySettingSurvivesAReset) {
    Blocks b;
    // Identity and network.
    ASSERT_EQ(c_.SetCameraID("ROUNDTRP"), 0);
    ASSERT_EQ(c_.SetSubnetMask("255.255.0.0"), 0);
    ASSERT_EQ(c_.SetDefaultGateway("127.0.9.1"), 0);
    ASSERT_EQ(c_.SetDHCP(1), 0);
    ASSERT_EQ(c_.SetNewIPAddress("127.0.0.2"), 0);
    std::string text;
    ASSERT_EQ(c_.GetIPAddress(text), 0);
    EXPECT_EQ(text, "127.0.0.1");  // a new address waits for the reset
    // Services.
    std::vector<uint8_t> trigger = {1, 0, 0, 0}, alarm = {2, 0, 0, 0}, full = {3, 0, 0, 0},
                         lapse = {4, 0, 0, 0}, timer(180, 0x5A);
    std::vector<uint8_t> fps = {0x11, 0x00, 7, 0, 0x22, 0x00, 2, 0};  // 7 and 2 fps
    ASSERT_EQ(c_.SetLocalRecInformation(Buf(trigger), Buf(alarm), Buf(timer), Buf(fps), Buf(full),
                                        Buf(lapse)),
              0);
    std::vector<uint8_t> ntp = {0xFB, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6}, date(16);
    for (size_t i = 0; i < date.size(); ++i)
        date[i] = uint8_t(i + 1);
    ASSERT_EQ(c_.SetCurrentDatetime(1, Buf(ntp), Buf(date)), 0);
    std::vector<uint8_t> ftp_ip = {127, 0, 0, 21}, ftp(164);
    for (size_t i = 0; i < ftp.size(); ++i)
        ftp[i] = uint8_t(i);
    ftp[10] = ftp[11] = 0;  // the camera answers in these two bytes
    ASSERT_EQ(c_.SetFTPInit(1, 2121, Buf(ftp_ip), Buf(ftp)), 0);
    ASSERT_EQ(c_.SetFTPServerEnable(1), 0);
    ASSERT_EQ(c_.SetHTTPPort(8080), 0);
    ASSERT_EQ(c_.SetHTTPDefaultPage("start.htm"), 0);
    ASSERT_EQ(c_.SetHTTPGeneralSetting(2, 77), 0);
    ASSERT_EQ(c_.SetMPEG4Parameter(2, 1024), 0);
    std::vector<uint8_t> group = {239, 5, 6, 7};
    ASSERT_EQ(c_.SetMulticastMode(1, Buf(group), 3, 40, 6000, 8), 0);
    ASSERT_EQ(c_.SetControlPortMode(2, 1, -1), 0);
    std::vector<uint8_t> port_in = {0x00, 0xC2, 0x01, 0x00, 8, 0, 0, 0, 1, 0};  // 115200
    ASSERT_EQ(c_.SetControlPortConfig(1, 3, Buf(port_in)), 0);

    ASSERT_EQ(c_.ResetCamera(), 0);
    ASSERT_TRUE(WaitUntil([&] { return sim_->address() == "127.0.0.2"; }));
    // The camera now answers on its new address only.
    EXPECT_EQ(c_.GetIPAddress(text), kResultCannotOpen);
    c_.SetRemoteIPAddress("127.0.0.2");
    ASSERT_EQ(c_.GetIPAddress(text), 0);
    EXPECT_EQ(text, "127.0.0.2");

    ASSERT_EQ(c_.GetCameraID(text), 0);
    EXPECT_EQ(text, "ROUNDTRP");
    ASSERT_EQ(c_.GetSubnetMask(text), 0);
    EXPECT_EQ(text, "255.255.0.0");
    ASSERT_EQ(c_.GetDefaultGateway(text), 0);
    EXPECT_EQ(text, "127.0.9.1");
    int16_t enabled = 0, status = -1;
    int32_t obtained = -1, expires = -1;
    ASSERT_EQ(c_.GetDHCP(enabled, status, Buf(b.word), obtained, expires), 0);
    EXPECT_EQ(enabled, 1);

    std::vector<uint8_t> t2(4), a2(4), f2(4), l2(4), timer2(180), fps2(8);
    ASSERT_EQ(c_.GetLocalRecInformation(Buf(t2), Buf(a2), Buf(timer2), Buf(fps2), Buf(f2), Buf(l2)),
              0);
    EXPECT_EQ(t2, trigger);
    EXPECT_EQ(a2, alarm);
    EXPECT_EQ(timer2, timer);
    EXPECT_EQ(fps2, fps);
    EXPECT_EQ(f2, full);
    EXPECT_EQ(l2, lapse);

    std::vector<uint8_t> ntp2(10), date2(16);
    int16_t ntp_mode = 0;
    ASSERT_EQ(c_.GetCurrentDateTime(ntp_mode, Buf(ntp2), Buf(date2)), 0);
    EXPECT_EQ(ntp_mode, 1);
    EXPECT_EQ(ntp2, ntp);
    EXPECT_EQ(date2, date);

    std::vector<uint8_t> ftp_ip2(4), ftp2(164);
    int16_t ftp_enable = 0, ftp_port = 0;
    ASSERT_EQ(c_.GetFTPInit(ftp_enable, ftp_port, Buf(ftp_ip2), Buf(ftp2)), 0);
    EXPECT_EQ(ftp_enable, 1);
    EXPECT_EQ(ftp_port, 2121);
    EXPECT_EQ(ftp_ip2, ftp_ip);
    EXPECT_EQ(ftp2, ftp);
    int16_t value = 0;
    ASSERT_EQ(c_.GetFTPSeverEnable(value), 0);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(c_.GetHTTPPort(value), 0);
    EXPECT_EQ(value, 8080);
    std::vector<uint8_t> page(32, 0xEE);
    ASSERT_EQ(c_.GetHTTPDefaultPage(Buf(page)), 0);
    EXPECT_EQ(std::string(page.begin(), page.begin() + 10), std::string("start.htm\0", 10));
    ASSERT_EQ(c_.GetHTTPGeneralSetting(2, value), 0);
    EXPECT_EQ(value, 77);
    int16_t mode = 0, bitrate = 0;
    ASSERT_EQ(c_.GetMPEG4Parameter(mode, bitrate), 0);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(bitrate, 1024);
    std::vector<uint8_t> group2(4);
    int16_t count = 0, interval = 0, port = 0, ttl = 0;
    ASSERT_EQ(c_.GetMulticastMode(mode, Buf(group2), count, interval, port, ttl), 0);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(group2, group);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(interval, 40);
    EXPECT_EQ(port, 6000);
    EXPECT_EQ(ttl, 8);
    EXPECT_EQ(c_.camera()->multicast_address_text(), "239.5.6.7");
    EXPECT_EQ(c_.camera()->multicast_port_text(), "6000");
    ASSERT_EQ(c_.GetControlPortMode(1, value), 0);
    EXPECT_EQ(value, 2);
    std::vector<uint8_t> port_out(14);
    int16_t device = 0;
    ASSERT_EQ(c_.GetControlPortConfig(1, device, Buf(port_out)), 0);
    EXPECT_EQ(device, 3);
    // 115200 travels as 1152 hundreds; the three values follow.
    const std::vector<uint8_t> expected_port = {0x00, 0xC2, 0x01, 0x00, 8, 0, 0,
                                                0,    1,    0,    0,    0, 0, 0};
    EXPECT_EQ(port_out, expected_port);
}

TEST_F(ServicesSim, ResetRaisesTheStartFlagOnTheNextReply) {
    ASSERT_EQ(c_.ResetCamera(), 0);
    EXPECT_EQ(sim_->ReceivedCount(176), 0u);  // not on the reset's own reply
    ASSERT_TRUE(WaitUntil([&] { return sim_->start_flag(); }));
    std::string mac;
    ASSERT_EQ(c_.GetMacAddress(mac), 0);
    EXPECT_EQ(mac, "00.80.4B.1E.57.01");
    EXPECT_EQ(sim_->ReceivedCount(176), 1u);
    EXPECT_FALSE(sim_->start_flag());
}

TEST_F(ServicesSim, CameraSideRecordingAndFiles) {
    std::vector<uint8_t> date(16);
    int16_t s1 = 0, s2 = 0;
    std::string name;
    ASSERT_EQ(c_.StartLocalRec(), 0);
    EXPECT_EQ(c_.StartLocalRec(), 9);  // already recording
    ASSERT_EQ(c_.GetLocalRecStatus(s1, s2, name, Buf(date)), 0);
    EXPECT_EQ(s1, 1);
    EXPECT_EQ(name, "REC00001.JPG");
    EXPECT_EQ(c_.DeleteLocalRecFile(name), 9);  // being recorded
    EXPECT_EQ(c_.DeleteLocalRecFileAll(), 6);
    ASSERT_EQ(c_.StopLocalRec(), 0);
    EXPECT_EQ(c_.StopLocalRec(), 2);
    ASSERT_EQ(c_.GetLocalRecStatus(s1, s2, name, Buf(date)), 0);
    EXPECT_EQ(s1, 0);
    EXPECT_EQ(s2, 1);
    EXPECT_EQ(c_.DeleteLocalRecFile("NOSUCH.JPG"), 101);
    EXPECT_EQ(c_.DeleteLocalRecFile(name), 0);
    EXPECT_EQ(c_.DeleteLocalRecFileAll(), 0);

    int16_t count = 0;
    std::vector<uint8_t> cf1(292), cf2(292);
    ASSERT_EQ(c_.GetCFInformaiton(count, Buf(cf1), Buf(cf2)), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(cf1[0], 1);
}

TEST_F(ServicesSim, TheSimulatorRefusesWhatACameraWould) {
    EXPECT_EQ(c_.SetHTTPPort(79), 6);  // status 2: unusable port
    EXPECT_EQ(c_.SetHTTPPort(0), 100);
    std::vector<uint8_t> unicast = {10, 0, 0, 1};
    EXPECT_EQ(c_.SetMulticastMode(1, Buf(unicast), 1, 0, 5000, 1), 100);
    EXPECT_EQ(c_.SetDHCP(2), 6);
    EXPECT_EQ(c_.SetNewIPAddress("0.0.0.0"), 2);
    EXPECT_EQ(c_.SetNewIPAddress("1.2.3"), 100);
    std::vector<uint8_t> t(4), timer(180), fps = {0, 0, 9, 0, 0, 0, 30, 0};
    EXPECT_EQ(c_.SetLocalRecInformation(Buf(t), Buf(t), Buf(timer), Buf(fps), Buf(t), Buf(t)), 100);
    EXPECT_EQ(sim_->ReceivedCount(199), 0u);

    // The pass-through echoes what it carried; port 5 does not exist.
    std::vector<uint8_t> send = {'p', 'i', 'n', 'g'}, ack(8);
    int16_t size = 0;
    EXPECT_EQ(c_.PassThroughCommand(1, 1, Buf(send), 4, Buf(ack), size, 500), 0);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(std::string(ack.begin(), ack.begin() + 4), "ping");
    EXPECT_EQ(c_.PassThroughCommand(5, 1, Buf(send), 4, Buf(ack), size, 500), 100);
}

TEST_F(ServicesSim, ThePasswordGuardsTheCamera) {
    Start("secret");
    std::string text;
    int16_t value = 0;
    std::vector<uint8_t> page(32), port_in(10, 1), ftp_ip(4), ftp(164), date(16), send = {1},
                                                                                  ack(4);
    // Short-form queries need no password.
    EXPECT_EQ(c_.GetMacAddress(text), 0);
    EXPECT_EQ(c_.GetHTTPPort(value), 0);
    EXPECT_EQ(c_.GetPasswordEnable(1, value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(c_.GetPasswordEnable(0, value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(c_.GetPasswordEnable(3, value), 100);
    // Everything else is refused, wherever its reply keeps its status.
    EXPECT_EQ(c_.GetSubnetMask(text), 2);
    EXPECT_EQ(c_.GetIPAddress(text), 2);
    EXPECT_EQ(c_.GetHTTPDefaultPage(Buf(page)), 2);
    EXPECT_EQ(c_.SetControlPortConfig(0, 1, Buf(port_in)), 2);
    EXPECT_EQ(c_.GetFTPInit(value, value, Buf(ftp_ip), Buf(ftp)), 2);
    EXPECT_EQ(c_.GetLocalRecStatus(value, value, text, Buf(date)), 2);
    EXPECT_EQ(c_.PassThroughCommand(0, 1, Buf(send), 1, Buf(ack), value, 300), 2);

    // A wrong check stays the session password; the right one opens the camera.
    EXPECT_EQ(c_.CheckPassword(1, "wrong"), 2);
    EXPECT_EQ(c_.GetSubnetMask(text), 2);
    EXPECT_EQ(c_.CheckPassword(1, "secret"), 0);
    EXPECT_EQ(c_.GetSubnetMask(text), 0);
    EXPECT_EQ(c_.CheckPassword(7, "secret"), 100);

    // A new password is proven with the Password property.
    EXPECT_EQ(c_.SetPasswordEnable(1, 1, "fresh"), 2);
    c_.SetPassword("secret");
    EXPECT_EQ(c_.SetPasswordEnable(1, 1, "fresh"), 0);
    EXPECT_EQ(c_.GetSubnetMask(text), 0);  // the session now carries "fresh"
    EXPECT_EQ(c_.CheckPassword(1, "secret"), 2);
    EXPECT_EQ(c_.CheckPassword(1, "fresh"), 0);

    // An enabled super password opens the camera too.
    EXPECT_EQ(c_.SetPasswordEnable(2, 1, "admin"), 0);
    EXPECT_EQ(c_.GetPasswordEnable(2, value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(c_.CheckPassword(2, "admin"), 0);
    EXPECT_EQ(c_.GetSubnetMask(text), 0);

    EXPECT_EQ(c_.SetPasswordEnable(1, 2, "x"), 100);
    EXPECT_EQ(c_.SetPasswordEnable(3, 1, "x"), 100);
    EXPECT_EQ(c_.SetPasswordEnable(1, 0, "wrong"), 2);
    EXPECT_EQ(c_.SetPasswordEnable(1, 0, "fresh"), 0);
    EXPECT_EQ(c_.GetPasswordEnable(1, value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(c_.CheckPassword(1, "anything"), 0);
    EXPECT_EQ(c_.GetSubnetMask(text), 0);
}

TEST(ServicesRows, NamesAndDispidsAsTheInterfaceSpellsThem) {
    const std::pair<int32_t, const char*> rows[] = {
        {16, "GetMacAddress"},
        {37, "StartLocalRec"},
        {38, "StopLocalRec"},
        {39, "DeleteLocalRecFile"},
        {40, "DeleteLocalRecFileAll"},
        {41, "GetLocalRecStatus"},
        {42, "GetLocalRecInformation"},
        {43, "SetLocalRecInformation"},
        {44, "SetCurrentDatetime"},
        {45, "GetCurrentDateTime"},
        {46, "GetCFInformaiton"},
        {73, "SetNewIPAddress"},
        {74, "GetSubnetMask"},
        {75, "SetSubnetMask"},
        {76, "GetDefaultGateway"},
        {77, "SetDefaultGateway"},
        {78, "GetCameraID"},
        {79, "SetCameraID"},
        {85, "GetPasswordEnable"},
        {86, "SetPasswordEnable"},
        {87, "CheckPassword"},
        {96, "SetControlPortConfig"},
        {97, "GetControlPortConfig"},
        {98, "SetControlPortMode"},
        {99, "GetControlPortMode"},
        {100, "PassThroughCommand"},
        {103, "SetFTPInit"},
        {104, "GetFTPInit"},
        {107, "ResetCamera"},
        {108, "GetMulticastMode"},
        {109, "SetMulticastMode"},
        {115, "SetFTPServerEnable"},
        {116, "GetFTPSeverEnable"},
        {117, "SetHTTPDefaultPage"},
        {118, "GetHTTPDefaultPage"},
        {119, "SetHTTPGeneralSetting"},
        {120, "GetHTTPGeneralSetting"},
        {121, "GetIPAddress"},
        {122, "SetDHCP"},
        {123, "GetDHCP"},
        {124, "SetMPEG4Parameter"},
        {125, "GetMPEG4Parameter"},
        {127, "SetHTTPPort"},
        {128, "GetHTTPPort"},
    };
    for (const auto& [dispid, name] : rows) {
        const MemberInfo* m = FindMember(dispid, MemberKind::kMethod);
        ASSERT_NE(m, nullptr) << dispid;
        EXPECT_EQ(m->name, name);
    }
    const MemberInfo* get = FindMember("GetMulticastMode", MemberKind::kMethod);
    ASSERT_NE(get, nullptr);
    EXPECT_EQ(get->params[4].name, "MulitcastPort");
    EXPECT_EQ(get->params[1].buffer_size, 4u);
    EXPECT_EQ(FindMember("SetMulticastMode", MemberKind::kMethod)->params[4].name, "MulticastPort");

    // Through dispatch: a buffer goes in, the out parameters come back.
    sim::SimConfig config;
    config.port = 0;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    CKestCtrl c;
    Aim(c, camera.port());
    std::vector<uint8_t> send = {'o', 'k'}, ack(2);
    std::vector<Variant> args = {Variant::I2(0),
                                 Variant::I2(1),
                                 Variant::Buffer(send.data(), send.size()),
                                 Variant::I2(2),
                                 Variant::Buffer(ack.data(), ack.size()),
                                 Variant(),
                                 Variant::I4(500)};
    int16_t result = -1;
    ASSERT_EQ(c.Invoke(100, args, &result), DispError::kOk);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(args[5], Variant::I2(2));
    EXPECT_EQ(std::string(ack.begin(), ack.end()), "ok");
}

}  // namespace
}  // namespace kest
