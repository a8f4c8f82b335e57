// kestctl end to end: the real program against an in-process simulator.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "control/facade/typelib.h"
#include "platform/ticks.h"
#include "sim/alarms.h"
#include "sim/simulator.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace {

struct Output {
    int exit_code = -1;
    std::string out;
};

// Runs a shell command line and keeps what it prints.
Output Shell(const std::string& cmd) {
    Output run;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        run.out.append(buf, n);
    const int status = pclose(p);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs kestctl with a shell command line; stdin from `input` when given.
Output Kestctl(const std::string& args, const std::string& input = "") {
    static int counter = 0;
    const std::string in_path =
        "/tmp/kestctl-test-in-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    std::ofstream(in_path) << input;
    Output run = Shell(std::string(KESTCTL_PATH) + " " + args + " <" + in_path + " 2>/dev/null");
    std::remove(in_path.c_str());
    return run;
}

class KestctlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kest::sim::SimConfig config;
        config.port = 0;
        config.model_code = 11;
        config.program_version = 31;
        sim_ = std::make_unique<kest::sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
    }
    std::string Flags() const {
        return "--ip 127.0.0.1 --port " + std::to_string(sim_->port()) + " --timeout 300";
    }
    std::unique_ptr<kest::sim::Simulator> sim_;
};

TEST_F(KestctlTest, CallGetVersionPrintsOneJsonObject) {
    Output r = Kestctl(Flags() + " call GetVersion");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out,
              "{\"method\":\"GetVersion\",\"dispid\":15,\"result\":0,"
              "\"out\":{\"TypeNumber\":11,\"ProgramVersion\":31}}\n");
}

TEST_F(KestctlTest, MethodResultsGiveExitOne) {
    Output none = Kestctl("call GetVersion");
    EXPECT_EQ(none.exit_code, 1);
    EXPECT_NE(none.out.find("\"result\":7"), std::string::npos);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);

    sim_->Stop();
    Output silent = Kestctl(Flags() + " call getversion");
    EXPECT_EQ(silent.exit_code, 1);
    EXPECT_NE(silent.out.find("\"result\":1"), std::string::npos);
}

TEST_F(KestctlTest, UsageAndDispatchErrorsGiveExitTwo) {
    EXPECT_EQ(Kestctl(Flags() + " call NoSuchMethod").exit_code, 2);
    EXPECT_EQ(Kestctl(Flags() + " call GetVersion 1").exit_code, 2);
    EXPECT_EQ(Kestctl("--set Bogus=1 call GetVersion").exit_code, 2);
    EXPECT_EQ(Kestctl("--set CameraPort=abc call GetVersion").exit_code, 2);
    EXPECT_EQ(Kestctl("--frobnicate 1 call GetVersion").exit_code, 2);
    EXPECT_EQ(Kestctl("").exit_code, 2);
    EXPECT_EQ(sim_->ReceivedCount(), 0u);
}

TEST_F(KestctlTest, SetFlagsApplyBeforeTheCall) {
    Output r =
        Kestctl("--set RemoteIPAddress=127.0.0.1 --set CameraPort=" + std::to_string(sim_->port()) +
                " call GetVersion");
    EXPECT_EQ(r.exit_code, 0);
}

TEST_F(KestctlTest, ListPrintsTheTypeLibrary) {
    Output r = Kestctl("list");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("15\tGetVersion(TypeNumber: out 16-bit, ProgramVersion: out 16-bit)"),
              std::string::npos);
    EXPECT_NE(r.out.find("8\tPassword: text (write-only)"), std::string::npos);
    EXPECT_NE(r.out.find("-605\tMouseDown("), std::string::npos);
    EXPECT_EQ(Kestctl("--help").exit_code, 0);
}

TEST_F(KestctlTest, SessionRunsLinesOnOneControl) {
    const std::string script =
        "# a comment\n"
        "\n"
        "get Timeout\n"
        "set Timeout 700\n"
        "get timeout\n"
        "call GetVersion\n"
        "wait 20\n"
        "set RemoteIPAddress 127.0.0.1   # trailing comment\n"
        "quit\n"
        "call NoSuchMethod\n";
    Output r = Kestctl(Flags() + " session", script);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out,
              "{\"property\":\"Timeout\",\"dispid\":3,\"value\":300}\n"
              "{\"property\":\"Timeout\",\"dispid\":3,\"value\":700}\n"
              "{\"property\":\"Timeout\",\"dispid\":3,\"value\":700}\n"
              "{\"method\":\"GetVersion\",\"dispid\":15,\"result\":0,"
              "\"out\":{\"TypeNumber\":11,\"ProgramVersion\":31}}\n"
              "{\"waited\":20,\"events\":0}\n"
              "{\"property\":\"RemoteIPAddress\",\"dispid\":7,\"value\":\"127.0.0.1\"}\n");
}

TEST_F(KestctlTest, SessionStopsAtTheFirstError) {
    Output r = Kestctl(Flags() + " session", "call GetVersion\ncall Frobnicate\ncall GetVersion\n");
    EXPECT_EQ(r.exit_code, 2);
    const size_t second = r.out.find('\n') + 1;
    EXPECT_EQ(r.out.substr(second),
              "{\"error\":\"Frobnicate: member not found\",\"line\":\"call Frobnicate\"}\n");
    EXPECT_EQ(sim_->ReceivedCount(1), 1u);

    Output password = Kestctl(Flags() + " session", "set Password abc\nget Password\n");
    EXPECT_EQ(password.exit_code, 2);
    EXPECT_NE(password.out.find("\"error\":\"get Password: property cannot be read\""),
              std::string::npos);

    Output type = Kestctl(Flags() + " session", "set CameraPort many\n");
    EXPECT_EQ(type.exit_code, 2);
    Output wait = Kestctl(Flags() + " session", "wait-event NoSuchEvent 10\n");
    EXPECT_EQ(wait.exit_code, 2);
}

TEST_F(KestctlTest, WaitEventReportsWhetherItCame) {
    Output r = Kestctl(Flags() + " session", "wait-event NewImage 30\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "{\"wait-event\":\"NewImage\",\"fired\":false}\n");
}

}  // namespace

namespace {

TEST_F(KestctlTest, SearchPrintsTheCamerasFoundAsJson) {
    // The searches go to a recording peer on loopback instead of the broadcast address.
    kest::test::ScopedTempDir dir;
    kest::test::RecordingPeer peer;
    peer.SetScript([](const kest::test::PeerDatagram& d) -> std::vector<kest::test::PeerReply> {
        std::vector<kest::test::PeerReply> answers;
        for (uint8_t camera : {5, 6}) {
            answers.push_back({{0, 0, uint8_t(d.code()), 0, 127, 0, 0, camera, 239, 0, 0, camera,
                                uint8_t(camera == 5), 0, 0, 0}});
        }
        return answers;
    });
    std::ofstream(dir.File("KEST.INI"))
        << "[udp]\nsearch_address=127.0.0.1:" << peer.port() << "\n";
    Output r = Kestctl("search --seconds 1");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "{\"cameras\":[\"127.0.0.5\",\"127.0.0.6\"]}\n");
    EXPECT_EQ(peer.count(), 10u);
    r = Kestctl("search --multicast --seconds 1");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out,
              "{\"cameras\":[{\"address\":\"127.0.0.5\",\"multicast\":\"239.0.0.5\",\"value\":1},"
              "{\"address\":\"127.0.0.6\",\"multicast\":\"239.0.0.6\",\"value\":0}]}\n");
    EXPECT_EQ(Kestctl("search --seconds").exit_code, 2);
}

TEST_F(KestctlTest, AlarmsPrintsEveryAlarmBetweenRegisterAndDeregister) {
    std::atomic<bool> done{false};
    std::thread trigger([&] {
        while (!done.load()) {
            kest::sim::TriggerAlarm(*sim_, 7);
            kest::platform::SleepMs(100);
        }
    });
    Output r = Kestctl(Flags() + " alarms --seconds 1");
    done.store(true);
    trigger.join();
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out.rfind("{\"method\":\"AlarmRegister\",\"dispid\":11,\"result\":0}\n", 0), 0u);
    EXPECT_NE(r.out.find("{\"event\":\"Alarm\",\"dispid\":3,\"args\":{\"IPAddress\":\"127.0.0.1\","
                         "\"AlarmType\":7}}\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("{\"method\":\"AlarmDeregister\",\"dispid\":12,\"result\":0}\n"),
              std::string::npos);
}

TEST_F(KestctlTest, AnInterruptedAlarmsCommandStillDeregisters) {
    // kestctl runs in the background and is interrupted once it has registered.
    const std::string cmd =
        "sh -c 'out=$(mktemp); " + std::string(KESTCTL_PATH) + " " + Flags() +
        " alarms --seconds 60 >\"$out\" & pid=$!; "
        "for i in $(seq 400); do grep -q AlarmRegister \"$out\" && break; sleep 0.05; done; "
        "kill -INT $pid; wait $pid; echo exit=$?; cat \"$out\"; rm -f \"$out\"' 2>/dev/null";
    const uint64_t began = kest::platform::MonotonicMicros();
    const Output r = Shell(cmd);
    EXPECT_LT(kest::platform::MonotonicMicros() - began, 30000000u) << "the interrupt was ignored";
    EXPECT_EQ(r.out.rfind("exit=0\n{\"method\":\"AlarmRegister\",\"dispid\":11,\"result\":0}\n", 0),
              0u);
    EXPECT_NE(r.out.find("{\"method\":\"AlarmDeregister\",\"dispid\":12,\"result\":0}\n"),
              std::string::npos);
    std::lock_guard lock(sim_->state_mutex());
    EXPECT_TRUE(sim_->State<kest::sim::AlarmState>().recipients.empty());
}

}  // namespace

namespace {

TEST_F(KestctlTest, SessionStreamsPicturesAndStops) {
    Output r = Kestctl(Flags() + " session",
                       "call StartDownloading\nwait-event NewImage 5000\nwait-event NewImage "
                       "5000\ncall StopDownloading\nwait 50\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out.rfind("{\"method\":\"StartDownloading\",\"dispid\":9,\"result\":0}\n", 0), 0u);
    EXPECT_NE(r.out.find("{\"wait-event\":\"NewImage\",\"fired\":true}"), std::string::npos);
    EXPECT_NE(r.out.find("{\"event\":\"ChangeFrameSize\",\"dispid\":5,\"args\":{\"Width\":640,"
                         "\"Height\":480}}"),
              std::string::npos);
    EXPECT_NE(
        r.out.find("{\"event\":\"EndDownloading\",\"dispid\":15,\"args\":{\"ErrorCode\":101}}"),
        std::string::npos);
}

}  // namespace

namespace {

TEST_F(KestctlTest, StreamSavesPicturesAndEndsWithASummary) {
    kest::test::ScopedTempDir dir;
    Output r = Kestctl(Flags() + " stream --frames 3 --save " + dir.path());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out.rfind("{\"frames\":3,", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\"end_code\":101}"), std::string::npos);
    for (const char* name : {"000001.jpg", "000002.jpg", "000003.jpg"}) {
        std::ifstream in(dir.File(name), std::ios::binary);
        char soi[2] = {};
        in.read(soi, 2);
        EXPECT_EQ(uint8_t(soi[0]), 0xFF) << name;
        EXPECT_EQ(uint8_t(soi[1]), 0xD8) << name;
    }
    EXPECT_EQ(Kestctl(Flags() + " stream --frames x").exit_code, 2);
}

}  // namespace

namespace {

// The raw JSON value of "key" in a line: a quoted string up to its closing
// quote, or the text up to the next comma or brace; "" when absent.
std::string JsonValue(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\":";
    const size_t at = line.find(tag);
    if (at == std::string::npos) return "";
    size_t i = at + tag.size();
    if (i < line.size() && line[i] == '"') {
        size_t j = i + 1;
        while (j < line.size() && line[j] != '"')
            j += line[j] == '\\' ? 2 : 1;
        return line.substr(i, j + 1 - i);
    }
    const size_t end = line.find_first_of(",}", i);
    return line.substr(i, end - i);
}

// The argument a call line gives for an input parameter: numbers 0, texts a
// word, buffers as hex for the methods that write to the camera and as a size
// for the others, so both forms reach every kind of row.
std::string ArgumentFor(const kest::MemberInfo& m, const kest::ParamInfo& p) {
    switch (p.type) {
        case kest::ParamType::kText:
            return "x";
        case kest::ParamType::kBuffer: {
            const uint32_t n = p.buffer_size ? p.buffer_size : 64;
            if (m.name.rfind("Set", 0) == 0) return "hex:" + std::string(2 * n, '0');
            return "size:" + std::to_string(n);
        }
        default:
            return "0";
    }
}

uint16_t ClosedTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

TEST_F(KestctlTest, ListAndSessionReachEveryMethodRow) {
    // Searches go to a loopback port where nothing answers, never to the network.
    kest::test::ScopedTempDir dir;
    std::ofstream(dir.File("KEST.INI")) << "[udp]\nsearch_address=127.0.0.1:9\n";

    const Output list = Kestctl("list");
    ASSERT_EQ(list.exit_code, 0);
    std::string script;
    std::vector<const kest::MemberInfo*> methods;
    for (const kest::MemberInfo& m : kest::KestLib()) {
        EXPECT_NE(list.out.find("  " + std::to_string(m.dispid) + "\t" + m.name), std::string::npos)
            << m.name << " is not listed";
        if (m.kind != kest::MemberKind::kMethod) continue;
        methods.push_back(&m);
        script += "call " + m.name;
        for (const kest::ParamInfo& p : m.params) {
            if (!p.out || p.type == kest::ParamType::kBuffer) script += " " + ArgumentFor(m, p);
        }
        script += "\n";
    }

    const Output r = Kestctl(
        Flags() + " --set RtspPort=" + std::to_string(ClosedTcpPort()) + " session", script);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    std::istringstream lines(r.out);
    std::string line;
    size_t next = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("{\"method\":", 0) != 0) continue;  // events between the calls
        ASSERT_LT(next, methods.size()) << line;
        const kest::MemberInfo& m = *methods[next++];
        SCOPED_TRACE(line);
        EXPECT_EQ(JsonValue(line, "method"), "\"" + m.name + "\"");
        EXPECT_EQ(JsonValue(line, "dispid"), std::to_string(m.dispid));
        EXPECT_EQ(JsonValue(line, "result").empty(), !m.has_result);
        for (const kest::ParamInfo& p : m.params) {
            const bool shown = p.out || p.type == kest::ParamType::kBuffer;
            const std::string v = JsonValue(line, p.name);
            if (!shown) continue;
            ASSERT_FALSE(v.empty()) << p.name << " missing";
            if (p.type == kest::ParamType::kBuffer) {
                const uint32_t n = p.buffer_size ? p.buffer_size : 64;
                EXPECT_EQ(v.size(), 2 * n + 2) << p.name;  // quoted hex
            } else if (p.type == kest::ParamType::kText) {
                EXPECT_EQ(v.front(), '"') << p.name;
            }
        }
    }
    EXPECT_EQ(next, methods.size()) << r.out;
}

TEST_F(KestctlTest, CallCarriesTextsAndBuffersBothWays) {
    // Text in, text out.
    EXPECT_EQ(Kestctl(Flags() + " call SetCameraID KESTCAM7").exit_code, 0);
    EXPECT_EQ(Kestctl(Flags() + " call GetCameraID").out,
              "{\"method\":\"GetCameraID\",\"dispid\":78,\"result\":0,"
              "\"out\":{\"CameraID\":\"KESTCAM7\"}}\n");
    // A buffer in as hex, back out into a zeroed buffer of a size.
    const std::string areas =
        "0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f2021"
        "22232425262728";
    EXPECT_EQ(Kestctl(Flags() + " call SetAreaInformation hex:" + areas).exit_code, 0);
    EXPECT_EQ(Kestctl(Flags() + " call GetAreaInformation size:40").out,
              "{\"method\":\"GetAreaInformation\",\"dispid\":61,\"result\":0,"
              "\"out\":{\"Area\":\"" +
                  areas + "\"}}\n");
    // A buffer shorter than its layout is the method's refusal, not a usage error.
    const Output shorter = Kestctl(Flags() + " call GetAreaInformation size:39");
    EXPECT_EQ(shorter.exit_code, 1);
    EXPECT_NE(shorter.out.find("\"result\":100"), std::string::npos);
    // Bad buffer forms are usage errors.
    EXPECT_EQ(Kestctl(Flags() + " call GetAreaInformation 40").exit_code, 2);
    EXPECT_EQ(Kestctl(Flags() + " call SetAreaInformation hex:123").exit_code, 2);
    EXPECT_EQ(Kestctl(Flags() + " call SetAreaInformation hex:zz").exit_code, 2);
}

}  // namespace
