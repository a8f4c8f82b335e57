// The control: properties, persistence, instance names, dispatch, events and
// GetVersion against the simulator.
#include "control/facade/ctrl.h"
#include "control/facade/dispatch_adapter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "control/stream/window_messages.h"
#include "platform/event_loop.h"
#include "sim/simulator.h"
#include "tests/support/recording_peer.h"

namespace kest {
namespace {

struct EventLog : _DKestEvents {
    std::vector<std::pair<std::string, std::vector<Variant>>> events;
    void OnEvent(const MemberInfo& e, std::span<const Variant> args) override {
        events.emplace_back(e.name, std::vector<Variant>(args.begin(), args.end()));
    }
};

TEST(Ctrl, FreshControlHasTheDefaults) {
    CKestCtrl c;
    Variant v;
    const std::pair<const char*, Variant> expected[] = {
        {"Visible", Variant::Bool(true)},       {"Stretch", Variant::Bool(false)},
        {"Timeout", Variant::I4(500)},          {"UpsideDown", Variant::Bool(false)},
        {"LocalFrameRate", Variant::I4(0)},     {"CameraPort", Variant::I4(4000)},
        {"RemoteIPAddress", Variant::Text("")}, {"RtspPort", Variant::I4(554)},
        {"RtpRecvPort", Variant::I4(6970)},
    };
    for (const auto& [name, value] : expected) {
        ASSERT_EQ(c.GetProperty(name, v), DispError::kOk) << name;
        EXPECT_EQ(v, value) << name;
    }
    EXPECT_EQ(c.camera()->reply_wait(), 500u);
    EXPECT_FALSE(c.modified());
}

TEST(Ctrl, PropertiesByDispidAndNameAndTheirErrors) {
    CKestCtrl c;
    Variant v;
    EXPECT_EQ(c.GetProperty(8, v), DispError::kGetNotSupported);
    EXPECT_EQ(c.GetProperty("password", v), DispError::kGetNotSupported);
    EXPECT_EQ(c.GetProperty("NoSuch", v), DispError::kMemberNotFound);
    EXPECT_EQ(c.PutProperty("cameraport", Variant::Text("x")), DispError::kTypeMismatch);
    EXPECT_EQ(c.PutProperty(6, Variant::I2(4100)), DispError::kOk);
    EXPECT_EQ(c.CameraPort(), 4100);
    EXPECT_TRUE(c.modified());

    // Password reaches the session's 8-byte block; Timeout its reply wait.
    ASSERT_EQ(c.PutProperty("Password", Variant::Text("longpassword")), DispError::kOk);
    const auto block = c.camera()->channel().password();
    EXPECT_EQ(std::string(block.begin(), block.end()), "longpass");
    ASSERT_EQ(c.PutProperty("Timeout", Variant::I4(1234)), DispError::kOk);
    EXPECT_EQ(c.camera()->reply_wait(), 1234u);
}

TEST(Ctrl, InstanceNamesAreUniqueAndTheirFilesGoWithTheControl) {
    std::set<std::string> names;
    std::string path;
    {
        CKestCtrl a, b, c;
        names = {a.instance_name(), b.instance_name(), c.instance_name()};
        EXPECT_EQ(names.size(), 3u);
        EXPECT_EQ(a.instance_name().rfind("KX9", 0), 0u);
        path = a.temp_file_path();
        EXPECT_EQ(access(path.c_str(), F_OK), 0);
        EXPECT_EQ(a.camera()->command_lock_name(),
                  "Packet/" + a.instance_name() + "/LockPackSemaphore");
    }
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(Ctrl, PersistenceRoundTrip) {
    CKestCtrl a;
    a.SetVisible(false);
    a.SetStretch(true);
    a.SetTimeout(900);
    a.SetUpsideDown(true);
    a.SetLocalFrameRate(1);
    a.SetRemoteIPAddress("127.0.0.9");
    a.SetCameraPort(4001);
    a.SetRtspPort(8554);
    a.SetRtpRecvPort(17000);
    a.SetPassword("never stored");
    TextPropertyBag bag;
    a.SaveProperties(bag);
    EXPECT_EQ(bag.Text(),
              "_Version=65536\nVisible=0\nStretch=-1\nTimeout=900\nUpsideDown=-1\n"
              "LocalFrameRate=1\nRemoteIPAddress=127.0.0.9\nCameraPort=4001\nRtspPort=8554\n"
              "RtpRecvPort=17000\n");

    CKestCtrl b;
    TextPropertyBag loaded(bag.Text());
    b.LoadProperties(loaded);
    EXPECT_FALSE(b.Visible());
    EXPECT_TRUE(b.Stretch());
    EXPECT_EQ(b.Timeout(), 900);
    EXPECT_EQ(b.camera()->reply_wait(), 900u);
    EXPECT_TRUE(b.UpsideDown());
    EXPECT_EQ(b.LocalFrameRate(), 1);
    EXPECT_EQ(b.RemoteIPAddress(), "127.0.0.9");
    EXPECT_EQ(b.CameraPort(), 4001);
    EXPECT_EQ(b.RtspPort(), 8554);
    EXPECT_EQ(b.RtpRecvPort(), 17000);
}

TEST(Ctrl, DamagedBagKeepsDefaultsWhereItsGroupBroke) {
    // A bad value in the first group skips the whole second group.
    {
        CKestCtrl c;
        TextPropertyBag bag("Visible=maybe\nStretch=-1\nTimeout=900\nCameraPort=4001\n");
        c.LoadProperties(bag);
        EXPECT_TRUE(c.Visible());
        EXPECT_FALSE(c.Stretch());
        EXPECT_EQ(c.Timeout(), 500);
        EXPECT_EQ(c.CameraPort(), 4000);
    }
    // A bad value in the second group ends it there.
    {
        CKestCtrl c;
        TextPropertyBag bag(
            "Visible=0\nTimeout=900\nUpsideDown=-1\nLocalFrameRate=fast\n"
            "RemoteIPAddress=127.0.0.5\nCameraPort=4001\n");
        c.LoadProperties(bag);
        EXPECT_FALSE(c.Visible());
        EXPECT_EQ(c.Timeout(), 900);
        EXPECT_TRUE(c.UpsideDown());
        EXPECT_EQ(c.LocalFrameRate(), 0);
        EXPECT_EQ(c.RemoteIPAddress(), "");
        EXPECT_EQ(c.CameraPort(), 4000);
    }
    // Missing properties take their defaults; garbage lines are ignored.
    {
        CKestCtrl c;
        c.SetCameraPort(1);
        TextPropertyBag bag("garbage\n=x\n");
        c.LoadProperties(bag);
        EXPECT_EQ(c.CameraPort(), 4000);
    }
}

TEST(Ctrl, DispatchErrorsAreApartFromResults) {
    CKestCtrl c;
    int16_t result = -1;
    std::vector<Variant> none;
    std::vector<Variant> one{Variant()};
    std::vector<Variant> two{Variant(), Variant()};
    std::vector<Variant> bad{Variant::Text("x"), Variant()};
    EXPECT_EQ(c.Invoke(9999, none, &result), DispError::kMemberNotFound);
    EXPECT_EQ(c.Invoke("NoSuchMethod", none, &result), DispError::kMemberNotFound);
    EXPECT_EQ(c.Invoke(15, one, &result), DispError::kBadParamCount);
    EXPECT_EQ(c.Invoke("getversion", bad, &result), DispError::kTypeMismatch);
    EXPECT_EQ(result, -1);  // no call was made
    EXPECT_EQ(c.Invoke("GETVERSION", two, &result), DispError::kOk);
    EXPECT_EQ(result, kResultNoAddress);
}

TEST(Dispatch, IntegersConvertWhenTheyFit) {
    int16_t s = 0;
    EXPECT_EQ(dispatch::LoadI2(Variant::I4(65535), s), DispError::kOk);
    EXPECT_EQ(s, -1);
    EXPECT_EQ(dispatch::LoadI2(Variant::I4(-32768), s), DispError::kOk);
    EXPECT_EQ(s, -32768);
    EXPECT_EQ(dispatch::LoadI2(Variant::I4(65536), s), DispError::kOverflow);
    EXPECT_EQ(dispatch::LoadI2(Variant::I4(-32769), s), DispError::kOverflow);
    EXPECT_EQ(dispatch::LoadI2(Variant::Text("1"), s), DispError::kTypeMismatch);
    bool b = false;
    EXPECT_EQ(dispatch::LoadBool(Variant::I4(2), b), DispError::kOk);
    EXPECT_TRUE(b);
    EXPECT_EQ(dispatch::CheckOut(Variant::Text(""), VarType::kI2), DispError::kTypeMismatch);
}

TEST(Ctrl, GetVersionWithoutAddressSendsNothing) {
    test::RecordingPeer peer;
    CKestCtrl c;
    c.SetCameraPort(peer.port());
    int16_t type = 5, program = 5;
    EXPECT_EQ(c.GetVersion(type, program), kResultNoAddress);
    EXPECT_EQ(type, 5);
    EXPECT_EQ(peer.count(), 0u);
}

TEST(Ctrl, GetVersionAgainstSilentAddressGivesOne) {
    test::RecordingPeer peer;
    CKestCtrl c;
    c.SetRemoteIPAddress("127.0.0.1");
    c.SetCameraPort(peer.port());
    c.SetTimeout(100);
    std::vector<Variant> args{Variant(), Variant()};
    int16_t result = 0;
    ASSERT_EQ(c.Invoke(15, args, &result), DispError::kOk);
    EXPECT_EQ(result, kResultCannotOpen);
    EXPECT_EQ(peer.count(), 1u);
    EXPECT_FALSE(c.camera()->session_open());
}

TEST(Ctrl, GetVersionAgainstTheSimulator) {
    sim::SimConfig config;
    config.port = 0;
    config.model_code = 13;
    config.program_version = 31;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    CKestCtrl c;
    c.SetRemoteIPAddress("127.0.0.1");
    c.SetCameraPort(camera.port());
    std::vector<Variant> args{Variant(), Variant()};
    int16_t result = -1;
    ASSERT_EQ(c.Invoke("GetVersion", args, &result), DispError::kOk);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(args[0], Variant::I2(13));
    EXPECT_EQ(args[1], Variant::I2(31));
    EXPECT_FALSE(c.camera()->session_open());  // opened and closed for the call
    EXPECT_EQ(camera.ReceivedCount(0), 1u);
    EXPECT_EQ(camera.ReceivedCount(1), 1u);

    // With a session already open (as while streaming) it is used and kept.
    ASSERT_EQ(c.camera()->OpenSession("127.0.0.1", camera.port()), 0);
    ASSERT_EQ(c.Invoke(15, args, &result), DispError::kOk);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(c.camera()->session_open());
    EXPECT_EQ(camera.ReceivedCount(), 4u);
}

TEST(Ctrl, OldFirmwareReportsTypeZero) {
    sim::SimConfig config;
    config.port = 0;
    config.model_code = 13;
    config.version_number = 11;
    sim::Simulator camera(config);
    ASSERT_TRUE(camera.Start());
    CKestCtrl c;
    c.SetRemoteIPAddress("127.0.0.1");
    c.SetCameraPort(camera.port());
    int16_t type = -1, program = -1;
    EXPECT_EQ(c.GetVersion(type, program), 0);
    EXPECT_EQ(type, 0);
}

TEST(Ctrl, StatusMessagesBecomeEventsOnTheWindowThread) {
    platform::EventLoop loop;
    CKestCtrl c;
    c.AttachWindow(loop.CreateWindow(&c));
    EventLog log;
    c.Advise(&log);
    platform::MessageWindow* w = c.window();
    w->Post(kStatusMessage, 1, 2);
    w->Post(kStatusMessage, 1, 0);
    w->Post(kStatusMessage, 1, 7);
    w->Post(kStatusMessage, 5, intptr_t(0xFFF6000A));
    w->Post(kStatusMessage, 2, 4);
    w->Post(kStatusMessage, 12, 1);  // ignored
    w->Post(kStatusMessage, 10, -60);
    w->Post(kRecordingStoppedMessage, 3, 77);
    EXPECT_TRUE(log.events.empty());  // nothing fires before the loop runs
    loop.RunPending();
    ASSERT_EQ(log.events.size(), 7u);
    EXPECT_EQ(log.events[0].first, "ChangeFrameSize");
    EXPECT_EQ(log.events[0].second, (std::vector<Variant>{Variant::I2(160), Variant::I2(120)}));
    EXPECT_EQ(log.events[1].second, (std::vector<Variant>{Variant::I2(640), Variant::I2(480)}));
    EXPECT_EQ(log.events[2].second, (std::vector<Variant>{Variant::I2(320), Variant::I2(240)}));
    EXPECT_EQ(c.camera()->frame_size_code(), 1);
    EXPECT_EQ(log.events[3].first, "ChangePanTilt");
    EXPECT_EQ(log.events[3].second, (std::vector<Variant>{Variant::I2(-10), Variant::I2(10)}));
    EXPECT_EQ(log.events[4].first, "ChangeQuality");
    EXPECT_EQ(log.events[4].second[0], Variant::I2(5));
    EXPECT_EQ(log.events[5].first, "EndDownloading");
    EXPECT_EQ(log.events[5].second[0], Variant::I2(-60));
    EXPECT_EQ(log.events[6].first, "StopRec");
    EXPECT_EQ(log.events[6].second, (std::vector<Variant>{Variant::I4(3), Variant::I4(77)}));
    c.Unadvise(&log);
}

struct CountingUi : platform::HostUi {
    int about = 0;
    Answer MessageBox(const std::string&, const std::string&, Buttons) override {
        return Answer::kOk;
    }
    bool ChooseFont(platform::LogFont&) override { return false; }
    void AboutBox(const std::string& text) override {
        ++about;
        EXPECT_NE(text.find("kest"), std::string::npos);
    }
};

TEST(Ctrl, AboutBoxGoesToTheHostUi) {
    CKestCtrl c;
    CountingUi ui;
    c.SetHostUi(&ui);
    std::vector<Variant> none;
    int16_t result = 9;
    EXPECT_EQ(c.Invoke(-552, none, &result), DispError::kOk);
    EXPECT_EQ(ui.about, 1);
}

TEST(Factory, ProgramIdentifiers) {
    auto ctrl = CreateObject("KEST.KestCtrl.1");
    ASSERT_TRUE(ctrl);
    EXPECT_NE(dynamic_cast<CKestCtrl*>(ctrl.get()), nullptr);
    auto page = CreateObject("kest.proppage.1");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->ProgId(), "KEST.PropPage.1");
    EXPECT_EQ(CreateObject("KEST.KestCtrl.2"), nullptr);
    EXPECT_EQ(CreateObject(""), nullptr);
}

TEST(TypeLibrary, DispidsAndNamesAreUniquePerKind) {
    for (const MemberInfo& a : KestLib()) {
        for (const MemberInfo& b : KestLib()) {
            if (&a == &b || a.kind != b.kind) continue;
            EXPECT_NE(a.dispid, b.dispid) << a.name << " " << b.name;
            EXPECT_NE(a.name, b.name);
        }
        if (a.kind == MemberKind::kMethod) {
            EXPECT_NE(a.invoke, nullptr) << a.name;
        }
    }
    const MemberInfo* v = FindMember("getversion", MemberKind::kMethod);
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->params.size(), 2u);
    EXPECT_EQ(v->params[0].name, "TypeNumber");
    EXPECT_EQ(v->params[0].type, ParamType::kI2);
    EXPECT_TRUE(v->params[0].out);
    EXPECT_EQ(FindMember(-552, MemberKind::kMethod)->has_result, false);
    EXPECT_EQ(FindMember(-605, MemberKind::kEvent)->params.size(), 4u);
}

}  // namespace
}  // namespace kest
