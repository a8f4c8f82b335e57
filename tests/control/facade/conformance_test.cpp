// Every method row of the type library, driven by the table itself: valid
// calls against the simulator as each camera type, calls without an address,
// calls to an address where nothing answers, the argument checks that come
// before any traffic, and dispatch errors for every row.
//
// The per-method knowledge (valid arguments, the result per camera type, the
// early argument checks) is one table keyed by DISPID; a method row without
// an entry fails the walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "control/facade/ctrl.h"
#include "control/stream/picdec_binding.h"
#include "control/stream/rtsp_client.h"
#include "platform/event_loop.h"
#include "platform/udp_socket.h"
#include "sim/memory_card.h"
#include "sim/rtsp_server.h"
#include "sim/services.h"
#include "sim/simulator.h"
#include "tests/support/recording_peer.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

constexpr int kModels[] = {0, 3, 11, 13, 20};

using Args = std::vector<Variant>;

// Counts pictures and remembers the dialogs asked for.
struct Host : _DKestEvents, platform::HostUi {
    int pictures = 0;
    int about_boxes = 0;
    int fonts = 0;
    void OnEvent(const MemberInfo& e, std::span<const Variant>) override {
        if (e.dispid == 2) ++pictures;
    }
    Answer MessageBox(const std::string&, const std::string&, Buttons) override {
        return Answer::kOk;
    }
    bool ChooseFont(platform::LogFont&) override { return ++fonts, false; }
    void AboutBox(const std::string&) override { ++about_boxes; }
};

uint16_t FreeUdpPort() {
    platform::UdpSocket s;
    s.Open();
    s.Bind(0x7F000001, 0);
    return s.LocalPort();
}

// One control under test, a simulated camera of one type, a recording peer
// that never answers, and the files the local methods work on.
class Env {
  public:
    explicit Env(int model) : model_(model) {
        // Searches go to a loopback peer of their own, never to the network.
        std::ofstream(dir_.File("KEST.INI"))
            << "[udp]\nsearch_address=127.0.0.1:" << search_peer_.port() << "\n";
        std::filesystem::create_directory(dir_.File("rec"));
        sim::SimConfig config;
        config.port = 0;
        config.model_code = model;
        sim_ = std::make_unique<sim::Simulator>(config);
        started_ = sim_->Start();
        rtp_port_ = FreeUdpPort();
        sim::RtspServerConfig rtsp;
        rtsp.port = 0;
        rtsp.rtp_port = rtp_port_;
        rtsp.stream_path = KEST_TEST_DATA "/mpeg4_320x240.m4v";
        rtsp.frame_rate = 100;
        rtsp_ = std::make_unique<sim::RtspServer>(rtsp);
        started_ = started_ && rtsp_->Start();
        Setup(ctrl, host);
        ctrl.SetHostUi(&host);
    }
    ~Env() {
        ctrl.Unadvise(&host);
        if (maker_) maker_->Unadvise(&maker_host_);
    }

    bool started() const { return started_; }
    int model() const { return model_; }
    sim::Simulator& sim() { return *sim_; }
    test::RecordingPeer& silent() { return silent_; }
    test::RecordingPeer& search_peer() { return search_peer_; }
    platform::EventLoop& loop() { return loop_; }
    const test::ScopedTempDir& dir() const { return dir_; }
    // True while the control talks to the simulator.
    bool live() const { return live_; }

    void ToCamera() { Point(ctrl, "127.0.0.1", sim_->port(), 300), live_ = true; }
    void ToNobody() { Point(ctrl, "", silent_.port(), 300), live_ = false; }
    void ToSilent(int32_t timeout) {
        Point(ctrl, "127.0.0.1", silent_.port(), timeout), live_ = false;
    }

    // A host buffer that lives until the next call.
    Variant Buffer(size_t size, std::vector<uint8_t> bytes = {}) {
        bytes.resize(size);
        buffers_.push_back(std::move(bytes));
        return Variant::Buffer(buffers_.back().data(), buffers_.back().size());
    }
    void EndCall() { buffers_.clear(); }

    // Streams on a control until it has presented `count` pictures.
    bool Stream(CKestCtrl& c, Host& h, int count) {
        const int first = h.pictures;
        if (c.StartDownloading() != 0) return false;
        const bool got = loop_.RunUntil([&] { return h.pictures >= first + count; }, 10000);
        c.StopDownloading();
        loop_.RunPending();
        return got;
    }

    // A closed recording of a few pictures, made by a second control.
    const std::string& Recording() {
        if (recording_.empty()) {
            CKestCtrl& m = Maker();
            const std::string folder = dir_.File("made");
            std::filesystem::create_directory(folder);
            if (m.StartRec(folder) == 0 && Stream(m, maker_host_, 3) && m.StopRec() == 0) {
                for (const auto& e : std::filesystem::directory_iterator(folder))
                    recording_ = e.path().string();
            }
        }
        return recording_;
    }
    // A picture as the control saves it, for the still-picture method.
    const std::string& Jpeg() {
        if (jpeg_.empty()) {
            CKestCtrl& m = Maker();
            const std::string path = dir_.File("still.jpg");
            if (Stream(m, maker_host_, 1) && m.SaveImage(path) == 0) jpeg_ = path;
        }
        return jpeg_;
    }
    std::string NewFile(const std::string& name) {
        const std::string path = dir_.File(name);
        std::ofstream(path) << "x";
        return path;
    }

  private:
    void Setup(CKestCtrl& c, Host& h) {
        c.AttachWindow(loop_.CreateWindow(&c));
        c.Advise(&h);
        c.rtsp_client()->set_close_waits(0, 0);
    }
    void Point(CKestCtrl& c, const std::string& address, uint16_t port, int32_t timeout) {
        c.SetRemoteIPAddress(address);
        c.SetCameraPort(port);
        c.SetTimeout(timeout);
        c.SetRtspPort(rtsp_->port());
        c.SetRtpRecvPort(rtp_port_);
    }
    // The second control streams from a camera of its own, so that the
    // simulator under test sees only the control under test.
    CKestCtrl& Maker() {
        if (!maker_) {
            sim::SimConfig config;
            config.port = 0;
            config.model_code = model_;
            maker_sim_ = std::make_unique<sim::Simulator>(config);
            maker_sim_->Start();
            maker_ = std::make_unique<CKestCtrl>();
            Setup(*maker_, maker_host_);
            Point(*maker_, "127.0.0.1", maker_sim_->port(), 300);
        }
        return *maker_;
    }

    // In construction order: the controls go before their windows' loop.
    int model_;
    test::ScopedTempDir dir_;  // the current directory: KEST.INI, downloads, dumps
    test::RecordingPeer silent_;
    test::RecordingPeer search_peer_;
    platform::EventLoop loop_;
    std::unique_ptr<sim::Simulator> sim_;
    std::unique_ptr<sim::RtspServer> rtsp_;
    uint16_t rtp_port_ = 0;
    bool started_ = false;
    bool live_ = false;
    std::deque<std::vector<uint8_t>> buffers_;
    Host maker_host_;
    std::unique_ptr<sim::Simulator> maker_sim_;
    std::unique_ptr<CKestCtrl> maker_;
    std::string recording_;
    std::string jpeg_;

  public:
    Host host;
    CKestCtrl ctrl;
};

// How a method reaches the camera.
enum class Reach {
    kCamera,    // the call convention: 7 without address, 1 when no session opens
    kLocal,     // needs no address and sends nothing
    kSearch,    // needs no address; searches the network
    kAnyState,  // StopDownloading: 0 whatever the state
};

using Build = std::function<Args(Env&)>;
using Expect = std::function<int16_t(int model)>;

// An argument check and its result.
struct Check {
    Build args;
    Expect result;
    bool before_traffic;  // no datagram at all, even with an address
};

struct Case {
    int32_t dispid;
    Reach reach;
    Build args;     // valid arguments
    Expect result;  // their result by camera type
    std::vector<Check> checks = {};
    std::function<void(Env&)> prepare = nullptr;
    std::function<void(Env&)> cleanup = nullptr;
};

Expect Ok() {
    return [](int) -> int16_t { return kResultOk; };
}
// 0 on these camera types, `other` on the rest.
Expect On(std::set<int> types, int16_t other) {
    return [types, other](int model) -> int16_t { return types.count(model) ? 0 : other; };
}
Expect Always(int16_t result) {
    return [result](int) { return result; };
}
// An argument check that runs before any traffic on every camera type.
Check First(Build args, int16_t result) {
    return {std::move(args), Always(result), true};
}

Variant I2(int v) {
    return Variant::I2(int16_t(v));
}
Variant I4(int32_t v) {
    return Variant::I4(v);
}
Variant Text(const std::string& v) {
    return Variant::Text(v);
}
Variant Out() {
    return Variant();
}
Build Fixed(Args args) {
    return [args](Env&) { return args; };
}
Build NoArgs() {
    return Fixed({});
}

const std::set<int> kMotorTypes = {0, 3, 13};
const std::set<int> kLensTypes = {3, 13};
const std::set<int> kAlarmTypes = {3, 11, 13, 20};

std::vector<Case> MakeCases() {
    return {
        // Picture stream.
        {9, Reach::kCamera, NoArgs(), Ok(), {}, nullptr, [](Env& e) { e.ctrl.StopDownloading(); }},
        {10, Reach::kAnyState, NoArgs(), Ok()},

        // Alarm registration needs the alarm socket of a live window.
        {11,
         Reach::kCamera,
         NoArgs(),
         On(kAlarmTypes, kResultNotThisType),
         {},
         nullptr,
         [](Env& e) { e.ctrl.AlarmDeregister(); }},
        {12,
         Reach::kCamera,
         NoArgs(),
         On(kAlarmTypes, kResultNotThisType),
         {},
         [](Env& e) { e.ctrl.AlarmRegister(); }},

        // Frame rate: 4, 7 and 8 only on type 11, known from the version reply.
        {13,
         Reach::kCamera,
         Fixed({I2(15)}),
         Ok(),
         {First(Fixed({I2(0)}), kResultBadFirst),
          First(Fixed({I2(31)}), kResultBadFirst),
          First(Fixed({I2(9)}), kResultBadFirst),
          First(Fixed({I2(-1)}), kResultBadFirst),
          {Fixed({I2(4)}), On({11}, kResultBadFirst), true},
          {Fixed({I2(7)}), On({11}, kResultBadFirst), true},
          {Fixed({I2(8)}), On({11}, kResultBadFirst), true}}},
        {14, Reach::kCamera, Fixed({Out()}), Ok()},
        {15, Reach::kCamera, Fixed({Out(), Out()}), Ok()},
        {16, Reach::kCamera, Fixed({Out()}), Ok()},

        // Motors: types 0, 3 and 13.
        {17, Reach::kCamera, Fixed({Out(), Out()}), On(kMotorTypes, kResultNotThisType)},
        {18,
         Reach::kCamera,
         Fixed({I2(10), I2(-10), I2(0)}),
         On(kMotorTypes, kResultNotThisType),
         {First(Fixed({I2(0), I2(0), I2(5)}), kResultBadThird),
          First(Fixed({I2(0), I2(0), I2(-1)}), kResultBadThird),
          {Fixed({I2(160), I2(-90), I2(0)}),
           [](int m) -> int16_t {
               return m == 0 ? kResultBadFirst : kLensTypes.count(m) ? 0 : kResultNotThisType;
           },
           false}}},
        {19,
         Reach::kCamera,
         Fixed({I2(320), I2(240)}),
         Ok(),
         {First(Fixed({I2(800), I2(600)}), kResultBadFirst),
          First(Fixed({I2(352), I2(288)}), kResultBadSecond)}},
        {20, Reach::kCamera, Fixed({Out(), Out()}), Ok()},

        // Lens: types 3 and 13.
        {21, Reach::kCamera, Fixed({Out()}), On(kLensTypes, kResultNotThisType)},
        {22,
         Reach::kCamera,
         Fixed({I2(50), I2(0)}),
         On(kLensTypes, kResultNotThisType),
         {{Fixed({I2(50), I2(1)}),
           [](int m) -> int16_t {
               return m == 3 ? 0 : m == 13 ? kResultBadSecond : kResultNotThisType;
           },
           false}}},
        {23, Reach::kCamera, Fixed({Out(), Out()}), On(kLensTypes, kResultNotThisType)},
        {24, Reach::kCamera, Fixed({I2(1), I2(40)}), On(kLensTypes, kResultNotThisType)},
        {25, Reach::kCamera, Fixed({Out(), Out(), Out()}), On(kLensTypes, kResultNotThisType)},
        {26, Reach::kCamera, Fixed({I2(0), I2(50), I2(60)}), On(kLensTypes, kResultNotThisType)},

        {27, Reach::kCamera, Fixed({Out()}), Ok()},
        {28, Reach::kCamera, Fixed({Variant::Bool(false)}), Ok()},
        {29, Reach::kCamera, Fixed({I2(1)}), On(kMotorTypes, kResultNotThisType)},
        {30,
         Reach::kCamera,
         Fixed({I2(1)}),
         On(kMotorTypes, kResultNotThisType),
         {{Fixed({I2(7)}),
           [](int m) -> int16_t {
               return m == 0 ? kResultBadFirst : kLensTypes.count(m) ? 0 : kResultNotThisType;
           },
           false}}},

        // The current picture, saved as presented: the control streams first.
        {31,
         Reach::kLocal,
         [](Env& e) { return Args{Text(e.dir().File("saved.jpg"))}; },
         Ok(),
         {},
         [](Env& e) { e.Stream(e.ctrl, e.host, 1); }},
        {32, Reach::kLocal, Fixed({I2(1)}), Ok()},

        {33, Reach::kCamera, Fixed({Out()}), Ok()},
        {34,
         Reach::kCamera,
         Fixed({I2(3)}),
         Ok(),
         {First(Fixed({I2(0)}), kResultBadFirst), First(Fixed({I2(8)}), kResultBadFirst)}},
        {35,
         Reach::kCamera,
         Fixed({I2(7), Out()}),
         Ok(),
         {First(Fixed({I2(31), Out()}), kResultBadFirst),
          First(Fixed({I2(-1), Out()}), kResultBadFirst)}},
        {36,
         Reach::kCamera,
         Fixed({I2(7), I2(0)}),
         Ok(),
         {First(Fixed({I2(31), I2(0)}), kResultBadFirst)}},

        // Recording on the camera's memory card.
        {37, Reach::kCamera, NoArgs(), Ok(), {}, nullptr, [](Env& e) { e.ctrl.StopLocalRec(); }},
        {38, Reach::kCamera, NoArgs(), Ok(), {}, [](Env& e) { e.ctrl.StartLocalRec(); }},
        {39,
         Reach::kCamera,
         Fixed({Text("gone.rec")}),
         Ok(),
         {},
         [](Env& e) {
             std::lock_guard lock(e.sim().state_mutex());
             e.sim().State<sim::ServicesState>().files.push_back("gone.rec");
         }},
        {40, Reach::kCamera, NoArgs(), Ok()},
        {41, Reach::kCamera,
         [](Env& e) {
             return Args{Out(), Out(), Out(), e.Buffer(16)};
         },
         Ok()},
        {42, Reach::kCamera,
         [](Env& e) {
             return Args{e.Buffer(4), e.Buffer(4), e.Buffer(180),
                         e.Buffer(8), e.Buffer(4), e.Buffer(4)};
         },
         Ok()},
        // The settings as the camera holds them, written back.
        {43, Reach::kCamera,
         [](Env& e) {
             Args a{e.Buffer(4), e.Buffer(4), e.Buffer(180), e.Buffer(8), e.Buffer(4), e.Buffer(4)};
             if (e.live()) {
                 e.ctrl.GetLocalRecInformation(a[0].buffer(), a[1].buffer(), a[2].buffer(),
                                               a[3].buffer(), a[4].buffer(), a[5].buffer());
             }
             return a;
         },
         Ok()},
        {44, Reach::kCamera,
         [](Env& e) {
             Args a{I2(0), e.Buffer(10), e.Buffer(16)};
             int16_t ntp = 0;
             if (e.live()) e.ctrl.GetCurrentDateTime(ntp, a[1].buffer(), a[2].buffer());
             a[0] = I2(ntp);
             return a;
         },
         Ok()},
        {45, Reach::kCamera,
         [](Env& e) {
             return Args{Out(), e.Buffer(10), e.Buffer(16)};
         },
         Ok()},
        {46, Reach::kCamera,
         [](Env& e) {
             return Args{Out(), e.Buffer(292), e.Buffer(292)};
         },
         Ok()},
        {47, Reach::kCamera, Fixed({Out(), Text("list.txt"), I2(0), I2(0)}), Ok()},
        {48,
         Reach::kCamera,
         Fixed({Text("clip.rec"), I2(0), I2(0), I4(0)}),
         Ok(),
         {},
         [](Env& e) {
             std::lock_guard lock(e.sim().state_mutex());
             e.sim().State<sim::MemoryCardState>().AddFile("clip.rec", {4, 5, 6, 7});
         }},

        // Time stamp and lattice: process-wide settings, no camera.
        {49, Reach::kLocal,
         Fixed({Variant::Bool(true), I2(255), I2(255), I2(0), I2(0), I2(0), I2(0), I2(2), I2(1),
                I2(4), I2(4)}),
         Ok()},
        {50, Reach::kLocal, Fixed(Args(11, Out())), Ok()},
        {51, Reach::kLocal, NoArgs(), Ok()},
        {52, Reach::kLocal, [](Env& e) { return Args{e.Buffer(60)}; }, Ok()},
        {53, Reach::kLocal, Fixed(Args(10, I2(0))), Ok()},

        // Motion detection.
        {54, Reach::kCamera,
         [](Env& e) {
             int16_t v[4] = {0, 5, 5, 0};
             if (e.live()) e.ctrl.GetMotionDetectInformation(v[0], v[1], v[2], v[3]);
             return Args{I2(v[0]), I2(v[1]), I2(v[2]), I2(v[3])};
         },
         Ok()},
        {55, Reach::kCamera, Fixed(Args(4, Out())), Ok()},
        {56, Reach::kCamera, Fixed({I2(10), I2(50), I2(20)}), Ok()},
        {57, Reach::kCamera, Fixed(Args(3, Out())), Ok()},
        {58, Reach::kCamera, NoArgs(), Ok()},
        {59, Reach::kCamera, Fixed({I2(5), I2(1)}), Ok()},
        {60, Reach::kCamera,
         [](Env& e) {
             return Args{e.Buffer(40, {0xFF, 0x0F})};
         },
         Ok()},
        {61, Reach::kCamera, [](Env& e) { return Args{e.Buffer(40)}; }, Ok()},

        // Local recording and playback.
        {62,
         Reach::kLocal,
         [](Env& e) { return Args{Text(e.dir().File("rec"))}; },
         Ok(),
         {},
         nullptr,
         [](Env& e) { e.ctrl.StopRec(); }},
        {63,
         Reach::kLocal,
         NoArgs(),
         Ok(),
         {},
         [](Env& e) {
             std::filesystem::create_directory(e.dir().File("rec2"));
             e.ctrl.StartRec(e.dir().File("rec2"));
         }},
        {64, Reach::kLocal, [](Env& e) { return Args{Text(e.NewFile("old.rec"))}; }, Ok()},
        {65,
         Reach::kLocal,
         [](Env& e) {
             return Args{Text(e.Recording()), Out()};
         },
         Ok(),
         {},
         nullptr,
         [](Env& e) { e.ctrl.QuitPlayRec(); }},
        {66,
         Reach::kLocal,
         NoArgs(),
         Ok(),
         {},
         [](Env& e) {
             int32_t n = 0;
             e.ctrl.InitPlayRec(e.Recording(), n);
         },
         [](Env& e) { e.ctrl.QuitPlayRec(); }},
        {67,
         Reach::kLocal,
         NoArgs(),
         Ok(),
         {},
         [](Env& e) {
             int32_t n = 0;
             e.ctrl.InitPlayRec(e.Recording(), n);
             e.ctrl.MakeFirstPlayInfo();
         },
         [](Env& e) { e.ctrl.QuitPlayRec(); }},
        {68,
         Reach::kLocal,
         Fixed({Out(), I4(1), Out()}),
         Ok(),
         {},
         [](Env& e) {
             int32_t n = 0;
             e.ctrl.InitPlayRec(e.Recording(), n);
             e.ctrl.MakeFirstPlayInfo();
         },
         [](Env& e) { e.ctrl.QuitPlayRec(); }},
        {69, Reach::kLocal, NoArgs(), Ok()},
        {70,
         Reach::kLocal,
         [](Env& e) {
             return Args{Text(e.Jpeg()), I2(0)};
         },
         [](int) -> int16_t { return ProcessPicdec().can_decode() ? 0 : kResultFailed; },
         {},
         nullptr,
         [](Env& e) { e.ctrl.ShowJpegFile("", 0); }},

        // Preset tables: the basic one on type 0, the extended one on 3 and 13.
        {71, Reach::kCamera, [](Env& e) { return Args{e.Buffer(36)}; }, On({0}, kResultFailed)},
        {72, Reach::kCamera, [](Env& e) { return Args{e.Buffer(200)}; },
         On(kLensTypes, kResultFailed)},

        // Identity and network.
        {73, Reach::kCamera, Fixed({Text("127.0.0.1")}), Ok()},
        {74, Reach::kCamera, Fixed({Out()}), Ok()},
        {75, Reach::kCamera, Fixed({Text("255.255.255.0")}), Ok()},
        {76, Reach::kCamera, Fixed({Out()}), Ok()},
        {77, Reach::kCamera, Fixed({Text("127.0.0.254")}), Ok()},
        {78, Reach::kCamera, Fixed({Out()}), Ok()},
        {79, Reach::kCamera, Fixed({Text("CAMERA01")}), Ok()},
        {80, Reach::kCamera, Fixed({I2(0), I2(0), I2(0)}), Ok()},
        {81, Reach::kCamera, Fixed(Args(3, Out())), Ok()},
        {82, Reach::kCamera, NoArgs(), Ok()},
        {83, Reach::kCamera, Fixed({Out(), Out()}), On(kMotorTypes, kResultNotThisType)},
        {84,
         Reach::kCamera,
         Fixed({I2(10), I2(-10), I2(0)}),
         On(kMotorTypes, kResultNotThisType),
         {First(Fixed({I2(0), I2(0), I2(5)}), kResultBadThird)}},

        // Passwords.
        {85, Reach::kCamera, Fixed({I2(1), Out()}), Ok()},
        {86, Reach::kCamera, Fixed({I2(0), I2(0), Text("")}), Ok()},
        {87, Reach::kCamera, Fixed({I2(1), Text("")}), Ok()},

        {88, Reach::kSearch,
         [](Env& e) {
             return Args{e.Buffer(1024), I2(1024), Out(), I2(0)};
         },
         Ok()},

        // Alarm output, count, settings and recipients.
        {89, Reach::kCamera, Fixed({I2(0)}), Ok()},
        {90, Reach::kCamera, Fixed({I2(2)}), Ok()},
        {91, Reach::kCamera, Fixed({Out()}), Ok()},
        {92, Reach::kCamera, [](Env& e) { return Args{e.Buffer(36)}; }, Ok()},
        {93, Reach::kCamera, [](Env& e) { return Args{e.Buffer(36)}; }, Ok()},
        {94, Reach::kCamera,
         [](Env& e) {
             return Args{Out(), e.Buffer(120), I2(120)};
         },
         Ok()},
        {95, Reach::kCamera,
         [](Env& e) {
             return Args{e.Buffer(4, {127, 0, 0, 9}), I2(5000)};
         },
         Ok()},

        // Control ports.
        {96, Reach::kCamera,
         [](Env& e) {
             return Args{I2(0), I2(0), e.Buffer(10, {0x80, 0x25, 0, 0, 8, 0, 0, 0, 1})};
         },
         Ok()},
        {97, Reach::kCamera,
         [](Env& e) {
             return Args{I2(0), Out(), e.Buffer(14)};
         },
         Ok()},
        {98, Reach::kCamera, Fixed({I2(0), I2(0), I2(1)}), Ok()},
        {99, Reach::kCamera, Fixed({I2(0), Out()}), Ok()},
        {100, Reach::kCamera,
         [](Env& e) {
             return Args{I2(0), I2(1),  e.Buffer(3, {'a', 'b', 'c'}), I2(3), e.Buffer(64),
                         Out(), I4(500)};
         },
         Ok()},
        {101, Reach::kCamera, [](Env& e) { return Args{e.Buffer(36)}; }, On({0}, kResultFailed)},
        {102, Reach::kCamera, [](Env& e) { return Args{e.Buffer(200)}; },
         On(kLensTypes, kResultFailed)},

        // FTP upload.
        {103, Reach::kCamera,
         [](Env& e) {
             Args a{I2(0), I2(21), e.Buffer(4, {127, 0, 0, 1}), e.Buffer(164)};
             int16_t enable = 0, port = 21;
             if (e.live()) e.ctrl.GetFTPInit(enable, port, a[2].buffer(), a[3].buffer());
             a[0] = I2(enable), a[1] = I2(port);
             return a;
         },
         Ok()},
        {104, Reach::kCamera,
         [](Env& e) {
             return Args{Out(), Out(), e.Buffer(4), e.Buffer(164)};
         },
         Ok()},

        {105, Reach::kCamera, Fixed({Out()}), Ok()},
        {106,
         Reach::kCamera,
         Fixed({Text("reference.jpg")}),
         Ok(),
         {First(Fixed({Text("")}), kResultBadFirst)}},
        {107, Reach::kCamera, NoArgs(), Ok()},

        // Multicast streaming settings; mode 0 keeps the stream pulled.
        {108, Reach::kCamera,
         [](Env& e) { return Args{Out(), e.Buffer(4), Out(), Out(), Out(), Out()}; }, Ok()},
        {109, Reach::kCamera,
         [](Env& e) {
             return Args{I2(0), e.Buffer(4, {239, 0, 0, 1}), I2(1), I2(0), I2(5000), I2(1)};
         },
         Ok()},
        {110, Reach::kSearch,
         [](Env& e) {
             return Args{e.Buffer(1200), I2(1200), Out(), I2(0)};
         },
         Ok()},

        // MPEG-4 over RTSP: type 11 only.
        {113,
         Reach::kCamera,
         NoArgs(),
         On({11}, kResultNotThisType),
         {},
         nullptr,
         [](Env& e) { e.ctrl.StopStreaming(); }},
        {114,
         Reach::kCamera,
         NoArgs(),
         On({11}, kResultNotThisType),
         {},
         [](Env& e) { e.ctrl.StartStreaming(); }},

        // FTP server and web server.
        {115, Reach::kCamera, Fixed({I2(1)}), Ok()},
        {116, Reach::kCamera, Fixed({Out()}), Ok()},
        {117, Reach::kCamera, Fixed({Text("index.html")}), Ok()},
        {118, Reach::kCamera, [](Env& e) { return Args{e.Buffer(32)}; }, Ok()},
        {119,
         Reach::kCamera,
         Fixed({I2(0), I2(1)}),
         Ok(),
         {First(Fixed({I2(4), I2(1)}), kResultBadFirst),
          First(Fixed({I2(-1), I2(1)}), kResultBadFirst)}},
        {120,
         Reach::kCamera,
         Fixed({I2(0), Out()}),
         Ok(),
         {First(Fixed({I2(4), Out()}), kResultBadFirst)}},

        {121, Reach::kCamera, Fixed({Out()}), Ok()},
        {122, Reach::kCamera, Fixed({I2(0)}), Ok()},
        {123, Reach::kCamera,
         [](Env& e) {
             return Args{Out(), Out(), e.Buffer(4), Out(), Out()};
         },
         Ok()},
        {124,
         Reach::kCamera,
         Fixed({I2(1), I2(512)}),
         Ok(),
         {First(Fixed({I2(3), I2(100)}), kResultBadFirst),
          First(Fixed({I2(1), I2(63)}), kResultBadSecond),
          First(Fixed({I2(1), I2(2049)}), kResultBadSecond)}},
        {125, Reach::kCamera, Fixed({Out(), Out()}), Ok()},
        {126,
         Reach::kCamera,
         Fixed({I2(0)}),
         Ok(),
         {First(Fixed({I2(2)}), kResultBadFirst), First(Fixed({I2(-1)}), kResultBadFirst)}},
        {127, Reach::kCamera, Fixed({I2(80)}), Ok()},
        {128, Reach::kCamera, Fixed({Out()}), Ok()},

        {-552, Reach::kLocal, NoArgs(), Ok()},
    };
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = MakeCases();
    return cases;
}

const Case* FindCase(int32_t dispid) {
    for (const Case& c : Cases())
        if (c.dispid == dispid) return &c;
    return nullptr;
}

// Every method row with its entry; a row without one is a failure.
std::vector<std::pair<const MemberInfo*, const Case*>> Rows() {
    std::vector<std::pair<const MemberInfo*, const Case*>> rows;
    for (const MemberInfo& m : KestLib()) {
        if (m.kind != MemberKind::kMethod) continue;
        const Case* c = FindCase(m.dispid);
        if (!c) {
            ADD_FAILURE() << m.name << " (" << m.dispid << ") has no conformance entry";
            continue;
        }
        rows.emplace_back(&m, c);
    }
    return rows;
}

std::string Where(const MemberInfo& m) {
    return m.name + " (" + std::to_string(m.dispid) + ")";
}

struct Outcome {
    DispError error;
    int16_t result;
};

Outcome Call(CKestCtrl& c, const MemberInfo& m, Args args) {
    int16_t result = -32768;
    const DispError e = c.Invoke(m.dispid, args, &result);
    return {e, result};
}

TEST(Conformance, EveryMethodRowHasOneEntryAndEveryEntryARow) {
    std::set<int32_t> seen;
    for (const Case& c : Cases()) {
        EXPECT_TRUE(seen.insert(c.dispid).second) << "two entries for " << c.dispid;
        EXPECT_NE(FindMember(c.dispid, MemberKind::kMethod), nullptr)
            << "entry " << c.dispid << " has no method row";
    }
    size_t methods = 0;
    for (const MemberInfo& m : KestLib())
        methods += m.kind == MemberKind::kMethod ? 1 : 0;
    EXPECT_EQ(Rows().size(), methods);
}

class ConformanceByType : public ::testing::TestWithParam<int> {};

TEST_P(ConformanceByType, ValidArgumentsGiveTheResultOfTheType) {
    const int model = GetParam();
    Env env(model);
    ASSERT_TRUE(env.started());
    env.ToCamera();
    for (const auto& [m, c] : Rows()) {
        SCOPED_TRACE(Where(*m) + " on type " + std::to_string(model));
        if (c->prepare) c->prepare(env);
        env.loop().RunPending();
        Args args = c->args(env);
        const size_t before = env.sim().ReceivedCount();
        const size_t searched = env.search_peer().count();
        const int about = env.host.about_boxes;
        const Outcome o = Call(env.ctrl, *m, std::move(args));
        ASSERT_EQ(o.error, DispError::kOk);
        if (m->has_result) {
            EXPECT_EQ(o.result, c->result(model));
        }
        const size_t sent = env.sim().ReceivedCount() - before;
        switch (c->reach) {
            case Reach::kCamera:
                EXPECT_GT(sent, 0u) << "no traffic";
                break;
            case Reach::kLocal:
            case Reach::kAnyState:
                EXPECT_EQ(sent, 0u);
                break;
            case Reach::kSearch:
                EXPECT_EQ(sent, 0u);
                EXPECT_TRUE(env.search_peer().WaitFor(searched + 1, 2000)) << "no search request";
                break;
        }
        if (m->dispid == -552) {
            EXPECT_EQ(env.host.about_boxes, about + 1);
        }
        if (c->cleanup) c->cleanup(env);
        env.EndCall();
        env.loop().RunPending();
        // A session opened for a call is closed again.
        EXPECT_FALSE(env.ctrl.camera()->session_open());

        // The checks whose result depends on the camera type.
        for (const Check& check : c->checks) {
            const size_t at = env.sim().ReceivedCount();
            const Outcome k = Call(env.ctrl, *m, check.args(env));
            ASSERT_EQ(k.error, DispError::kOk);
            const int16_t want = check.result(model);
            EXPECT_EQ(k.result, want);
            if (check.before_traffic && want >= kResultBadArgument) {
                EXPECT_EQ(env.sim().ReceivedCount(), at) << "traffic before an argument check";
            }
            env.EndCall();
            env.loop().RunPending();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Types, ConformanceByType, ::testing::ValuesIn(kModels),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return "Type" + std::to_string(i.param);
                         });

// A control that has talked to a camera of the type, so that it keeps the
// type, and is then pointed elsewhere: a method that used the camera's old
// address would be seen by the simulator.
class ConformanceAfterCamera : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        env_ = std::make_unique<Env>(GetParam());
        ASSERT_TRUE(env_->started());
        env_->ToCamera();
        int16_t type = -1, version = -1;
        ASSERT_EQ(env_->ctrl.GetVersion(type, version), kResultOk);
        sim_seen_ = env_->sim().ReceivedCount();
    }
    // Nothing reached the simulator since the control left it.
    void ExpectSimulatorUntouched() { EXPECT_EQ(env_->sim().ReceivedCount(), sim_seen_); }
    std::unique_ptr<Env> env_;
    size_t sim_seen_ = 0;
};

TEST_P(ConformanceAfterCamera, WithoutAddressSevenAndNothingSent) {
    Env& env = *env_;
    const int model = GetParam();
    env.ToNobody();
    for (const auto& [m, c] : Rows()) {
        SCOPED_TRACE(Where(*m) + " on type " + std::to_string(model));
        const size_t searched = env.search_peer().count();
        const Outcome o = Call(env.ctrl, *m, c->args(env));
        ASSERT_EQ(o.error, DispError::kOk);
        switch (c->reach) {
            case Reach::kCamera:
                EXPECT_EQ(o.result, kResultNoAddress);
                break;
            case Reach::kAnyState:
                EXPECT_EQ(o.result, kResultOk);
                break;
            case Reach::kLocal:
                // The address plays no part: unprepared, the result is the
                // one a camera would give; prepared ones need state first.
                if (m->has_result && !c->prepare) {
                    EXPECT_EQ(o.result, c->result(model));
                } else if (m->has_result) {
                    EXPECT_NE(o.result, kResultNoAddress);
                }
                break;
            case Reach::kSearch:
                EXPECT_EQ(o.result, kResultOk);
                EXPECT_TRUE(env.search_peer().WaitFor(searched + 1, 2000));
                break;
        }
        if (c->cleanup) c->cleanup(env);
        env.EndCall();
        env.loop().RunPending();
        EXPECT_EQ(env.silent().count(), 0u);
        ExpectSimulatorUntouched();
    }
}

TEST_P(ConformanceAfterCamera, SilentAddressGivesOne) {
    Env& env = *env_;
    env.ToSilent(20);
    for (const auto& [m, c] : Rows()) {
        SCOPED_TRACE(Where(*m) + " on type " + std::to_string(GetParam()));
        const size_t before = env.silent().count();
        const Outcome o = Call(env.ctrl, *m, c->args(env));
        ASSERT_EQ(o.error, DispError::kOk);
        if (c->reach == Reach::kCamera) {
            EXPECT_EQ(o.result, kResultCannotOpen);
            EXPECT_TRUE(env.silent().WaitFor(before + 1, 2000));
        } else {
            if (c->reach == Reach::kAnyState) {
                EXPECT_EQ(o.result, kResultOk);
            }
            EXPECT_EQ(env.silent().count(), before);
        }
        if (c->cleanup) c->cleanup(env);
        env.EndCall();
        env.loop().RunPending();
        EXPECT_FALSE(env.ctrl.camera()->session_open());
        ExpectSimulatorUntouched();
    }
}

TEST_P(ConformanceAfterCamera, EarlyArgumentChecksSendNothing) {
    Env& env = *env_;
    const int model = GetParam();
    size_t checks = 0;
    for (const bool with_address : {true, false}) {
        if (with_address) {
            env.ToSilent(300);
        } else {
            env.ToNobody();
        }
        for (const auto& [m, c] : Rows()) {
            for (const Check& check : c->checks) {
                // The control keeps the type of the camera it talked to.
                if (!check.before_traffic || check.result(model) < kResultBadArgument) continue;
                SCOPED_TRACE(Where(*m) + (with_address ? " to a silent peer" : " without address") +
                             " on type " + std::to_string(model));
                const size_t before = env.silent().count();
                const Outcome o = Call(env.ctrl, *m, check.args(env));
                ASSERT_EQ(o.error, DispError::kOk);
                EXPECT_EQ(o.result, check.result(model));
                EXPECT_EQ(env.silent().count(), before) << "traffic before an argument check";
                env.EndCall();
                ++checks;
            }
        }
    }
    EXPECT_GT(checks, 20u);
    ExpectSimulatorUntouched();
}

INSTANTIATE_TEST_SUITE_P(Types, ConformanceAfterCamera, ::testing::ValuesIn(kModels),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return "Type" + std::to_string(i.param);
                         });

// A host buffer shorter than its layout is refused before anything is sent,
// and nothing is written into it.
TEST(Conformance, ShortBuffersAreRefusedBeforeTraffic) {
    Env env(11);
    ASSERT_TRUE(env.started());
    env.ToSilent(300);
    size_t checks = 0;
    for (const auto& [m, c] : Rows()) {
        for (size_t i = 0; i < m->params.size(); ++i) {
            const ParamInfo& p = m->params[i];
            if (p.type != ParamType::kBuffer || p.buffer_size == 0) continue;
            SCOPED_TRACE(Where(*m) + " with " + p.name + " one byte short");
            Args args = c->args(env);
            std::vector<uint8_t> shorter(p.buffer_size - 1, 0xEE);
            args[i] = Variant::Buffer(shorter.data(), shorter.size());
            const size_t before = env.silent().count();
            const Outcome o = Call(env.ctrl, *m, args);
            ASSERT_EQ(o.error, DispError::kOk);
            EXPECT_EQ(o.result, kResultBadArgument);
            EXPECT_EQ(env.silent().count(), before);
            EXPECT_EQ(std::count(shorter.begin(), shorter.end(), 0xEE), long(shorter.size()));
            env.EndCall();
            ++checks;
        }
    }
    EXPECT_GT(checks, 30u);
}

// A value of the parameter's own type, and one of another type.
Variant RightType(const ParamInfo& p) {
    if (p.out) return Variant();
    switch (p.type) {
        case ParamType::kI2:
            return Variant::I2(0);
        case ParamType::kI4:
            return Variant::I4(0);
        case ParamType::kBool:
            return Variant::Bool(false);
        case ParamType::kText:
            return Variant::Text("");
        case ParamType::kBuffer:
            return Variant::Buffer(nullptr, 0);
    }
    return Variant();
}

std::vector<Variant> WrongTypes(const ParamInfo& p) {
    if (p.out) return {p.type == ParamType::kText ? Variant::I2(0) : Variant::Text("")};
    switch (p.type) {
        case ParamType::kText:
            return {Variant(), Variant::I4(1), Variant::Buffer(nullptr, 0)};
        case ParamType::kBuffer:
            return {Variant(), Variant::I4(0), Variant::Text("")};
        default:
            return {Variant(), Variant::Text("1"), Variant::Buffer(nullptr, 0)};
    }
}

TEST(Conformance, DispatchErrorsForEveryRowAndNoCall) {
    test::RecordingPeer peer;
    CKestCtrl ctrl;
    Host host;
    ctrl.SetHostUi(&host);
    ctrl.SetRemoteIPAddress("127.0.0.1");
    ctrl.SetCameraPort(peer.port());
    ctrl.SetTimeout(300);
    const auto expect_error = [&](const MemberInfo& m, Args args, DispError want,
                                  const std::string& what) {
        int16_t result = 12345;
        EXPECT_EQ(ctrl.Invoke(m.dispid, args, &result), want) << Where(m) << ": " << what;
        EXPECT_EQ(result, 12345) << Where(m) << ": " << what;
    };
    for (const auto& [m, c] : Rows()) {
        Args right;
        for (const ParamInfo& p : m->params)
            right.push_back(RightType(p));

        Args more = right;
        more.push_back(Variant::I2(0));
        expect_error(*m, more, DispError::kBadParamCount, "one argument too many");
        if (!right.empty()) {
            expect_error(*m, Args(right.begin(), right.end() - 1), DispError::kBadParamCount,
                         "one argument too few");
            expect_error(*m, {}, DispError::kBadParamCount, "no arguments");
        }
        for (size_t i = 0; i < m->params.size(); ++i) {
            const ParamInfo& p = m->params[i];
            for (const Variant& wrong : WrongTypes(p)) {
                Args a = right;
                a[i] = wrong;
                expect_error(*m, a, DispError::kTypeMismatch,
                             p.name + " as " + VarTypeName(wrong.type()));
            }
            if (p.type == ParamType::kI2 && !p.out) {
                for (int32_t big : {65536, -32769, INT32_MAX, INT32_MIN}) {
                    Args a = right;
                    a[i] = Variant::I4(big);
                    expect_error(*m, a, DispError::kOverflow, p.name + " = " + std::to_string(big));
                }
            }
        }
    }
    // Properties are not methods.
    Args none;
    int16_t result = 0;
    EXPECT_EQ(ctrl.Invoke(111, none, &result), DispError::kMemberNotFound);
    EXPECT_EQ(host.about_boxes, 0);
    EXPECT_EQ(peer.count(), 0u);
}

}  // namespace
}  // namespace kest
