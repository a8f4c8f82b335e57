// The simulator's state file: every setting of a camera survives a save and
// a load, damaged values are ignored, and a loaded camera answers with it.
#include <gtest/gtest.h>

#include <fstream>

#include "control/facade/ctrl.h"
#include "sim/services.h"
#include "tests/support/temp_dir.h"

namespace kest::sim {
namespace {

// Every saved field away from its default.
void Scramble(IdentityState& id, ServicesState& sv) {
    id.mac = {1, 2, 3, 4, 5, 6};
    id.camera_id = {'Z', 'Y', 0, 'W', 'V', 'U', 'T', 'S'};
    id.address = {127, 0, 0, 5};
    id.pending_address = std::array<uint8_t, 4>{127, 0, 0, 6};
    id.mask = {255, 255, 255, 128};
    id.gateway = {127, 0, 0, 129};
    id.dhcp_enabled = 1;
    id.dhcp_status = 3;
    id.dhcp_server = {127, 0, 0, 67};
    id.lease_obtained = -5;
    id.lease_expires = 2000000000;
    for (size_t i = 0; i < id.passwords.size(); ++i) {
        id.passwords[i].block = {uint8_t('a' + i), '=', '\n', 0, 0, 0, 0, 0};
        id.passwords[i].enabled = i != 1;
    }
    sv.framerate_mode = 2;
    sv.bitrate = 2048;
    sv.files = {"REC00001.JPG", "with,comma", std::string("x=\n", 3)};
    sv.next_file = 17;
    sv.trigger = -1;
    sv.alarm_rec = 2;
    sv.timer_rec.fill(0x77);
    sv.change_fps = {0x00040011, 0x001D0022};
    sv.cf_full = 3;
    sv.time_lapse = 4;
    sv.ntp = 255;
    sv.ntp_signed = -128;
    sv.ntp_bytes = {9, 8, 7, 6, 5, 4};
    sv.date_time.fill(0x31);
    sv.cf_count = 2;
    sv.cf1.fill(1);
    sv.cf2.fill(2);
    sv.ftp_enable = 1;
    sv.ftp_port = -2;
    sv.ftp_address = {127, 0, 0, 21};
    sv.ftp_setting.fill(0xFE);
    sv.ftp_server = 1;
    sv.http_port = 65535;
    sv.default_page = {'p', 'a', 'g', 'e'};
    sv.http_settings = {4, 3, 2, 1};
    sv.multicast_mode = 1;
    sv.multicast_address = {239, 9, 9, 9};
    sv.burst_count = 7;
    sv.burst_interval = 8;
    sv.multicast_port = -1;
    sv.ttl = 200;
    sv.ports[0].mode = 3;
    sv.ports[1].device_type = 4;
    sv.ports[1].setting = {1152, 1, 2, 3, 4, 5};
}

SimConfig Config() {
    SimConfig config;
    config.port = 0;
    return config;
}

TEST(SimState, EverySettingSurvivesSaveAndLoad) {
    test::ScopedTempDir dir;
    const std::string path = dir.File("camera.state");
    Simulator a(Config());
    {
        std::lock_guard lock(a.state_mutex());
        Scramble(a.State<IdentityState>(), a.State<ServicesState>());
    }
    ASSERT_TRUE(SaveState(a, path));

    Simulator b(Config());
    ASSERT_TRUE(LoadState(b, path));
    std::lock_guard la(a.state_mutex());
    std::lock_guard lb(b.state_mutex());
    EXPECT_TRUE(a.State<IdentityState>() == b.State<IdentityState>());
    EXPECT_TRUE(a.State<ServicesState>() == b.State<ServicesState>());
    EXPECT_EQ(b.State<ServicesState>().files, a.State<ServicesState>().files);
    EXPECT_EQ(StateFileAddress(path), "127.0.0.5");
}

TEST(SimState, DamagedValuesKeepTheirDefaults) {
    test::ScopedTempDir dir;
    const std::string path = dir.File("damaged.state");
    {
        std::ofstream out(path);
        out << "garbage line\n"
               "identity.mac=0102\n"                    // too short
               "identity.camera_id=zz00000000000000\n"  // not hex
               "identity.address=127.0.0.300\n"
               "identity.dhcp_enabled=70000\n"  // does not fit 16 bits
               "mpeg4.bitrate=12x\n"
               "http.port=-1\n"  // not a port
               "rec.files=41,zz\n"
               "unknown.key=1\n"
               "multicast.ttl=17\n";  // the one good value
    }
    Simulator sim(Config());
    const IdentityState id_before = [&] {
        std::lock_guard lock(sim.state_mutex());
        return sim.State<IdentityState>();
    }();
    ASSERT_TRUE(LoadState(sim, path));
    std::lock_guard lock(sim.state_mutex());
    EXPECT_TRUE(sim.State<IdentityState>() == id_before);
    const ServicesState& sv = sim.State<ServicesState>();
    EXPECT_EQ(sv.bitrate, ServicesState{}.bitrate);
    EXPECT_EQ(sv.http_port, 80);
    EXPECT_TRUE(sv.files.empty());
    EXPECT_EQ(sv.ttl, 17);
    EXPECT_EQ(StateFileAddress(path), std::nullopt);
    EXPECT_FALSE(LoadState(sim, dir.File("missing")));
    EXPECT_EQ(StateFileAddress(dir.File("missing")), std::nullopt);
}

TEST(SimState, ALoadedCameraAnswersWithItsSettings) {
    test::ScopedTempDir dir;
    const std::string path = dir.File("camera.state");
    {
        std::ofstream out(path);
        out << "identity.camera_id=4c4f414445440000\n"
               "identity.password.main=6b65790000000000\n"
               "identity.password_enabled.main=1\n";
    }
    Simulator sim(Config());
    ASSERT_TRUE(LoadState(sim, path));
    ASSERT_TRUE(sim.Start());
    CKestCtrl c;
    c.SetRemoteIPAddress("127.0.0.1");
    c.SetCameraPort(sim.port());
    std::string text;
    ASSERT_EQ(c.GetCameraID(text), 0);
    EXPECT_EQ(text, "LOADED");
    EXPECT_EQ(c.SetCameraID("NEW"), 2);  // the loaded password guards it
    EXPECT_EQ(c.CheckPassword(1, "key"), 0);
    EXPECT_EQ(c.SetCameraID("NEW"), 0);

    // Never anywhere but loopback.
    EXPECT_FALSE(sim.MoveTo("10.0.0.1"));
    EXPECT_EQ(sim.address(), "127.0.0.1");
}

}  // namespace
}  // namespace kest::sim
