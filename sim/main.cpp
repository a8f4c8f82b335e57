// kestsim: runs a simulated camera until interrupted.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/udp_socket.h"
#include "sim/alarms.h"
#include "sim/memory_card.h"
#include "sim/rtsp_server.h"
#include "sim/services.h"
#include "sim/simulator.h"

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_restart = 0;
volatile sig_atomic_t g_alarm = 0;

void OnStop(int) {
    g_stop = 1;
}
void OnRestart(int) {
    g_restart = 1;
}
void OnAlarm(int) {
    g_alarm = 1;
}

void Usage(FILE* out) {
    std::fprintf(
        out,
        "usage: kestsim [--bind ADDR] [--port N] [--model CODE] [--version N]\n"
        "               [--program-version N] [--password TEXT] [--log FILE]\n"
        "               [--rtsp-port N | --no-rtsp] [--rtp-port N] [--stream FILE]\n"
        "               [--frame-rate N] [--loop] [--rtsp-status METHOD=CODE]\n"
        "               [--state FILE]\n"
        "               [--card-file NAME:BYTES]... [--page-size N]\n"
        "               [--search-port N] [--multicast GROUP] [--push GROUP:PORT]\n"
        "               [--alarm-period MS]\n"
        "\n"
        "A simulated camera that answers the camera command protocol on UDP.\n"
        "  --bind ADDR            loopback address to listen on (default 127.0.0.1)\n"
        "  --port N               UDP command port (default 4000; 0: any free port)\n"
        "  --model CODE           model code (type number): 0, 3, 11, 13, 20 (default 11)\n"
        "  --version N            version number (default 20; 11 or less makes every\n"
        "                         model code read as 0)\n"
        "  --program-version N    program version (default 20)\n"
        "  --password TEXT        the camera's main password\n"
        "  --log FILE             write every received datagram as a line of hex\n"
        "  --rtsp-port N          RTSP port of the MPEG-4 stream (default 554; 0: any\n"
        "                         free port); a port that cannot be bound only warns\n"
        "  --no-rtsp              no RTSP server\n"
        "  --rtp-port N           send RTP to this port (default: the SETUP's client_port)\n"
        "  --stream FILE          MPEG-4 elementary stream to serve (default: the test\n"
        "                         stream of the source tree)\n"
        "  --frame-rate N         frames sent per second (default 25)\n"
        "  --loop                 start the stream again at its end\n"
        "  --rtsp-status M=CODE   answer every RTSP request of method M with status CODE\n"
        "                         (a negative CODE: no answer); may be repeated\n"
        "  --state FILE           load the camera's settings from FILE at start (when it\n"
        "                         exists) and save them there at exit; without --bind\n"
        "                         it listens on the saved address when that is loopback\n"
        "  --card-file NAME:BYTES put a recorded file of BYTES pattern bytes on the\n"
        "                         memory card (repeatable)\n"
        "  --page-size N          page size of the block transfers, 323 to 1498\n"
        "                         (default 1024)\n"
        "  --search-port N        answer camera searches on 0.0.0.0:N, shared with other\n"
        "                         simulated cameras (default 4000; 0: none); answers go\n"
        "                         to loopback requesters only\n"
        "  --multicast GROUP      the camera's multicast group (multicast mode stays off)\n"
        "  --push GROUP:PORT      multicast mode on: frames are pushed to GROUP:PORT\n"
        "                         (224.0.0.0 to 239.255.255.255) with time-to-live 0,\n"
        "                         so they never leave this machine\n"
        "  --alarm-period MS      raise the alarm input every MS milliseconds\n"
        "Runs until interrupted (SIGINT, SIGTERM). SIGHUP simulates a restart: the\n"
        "next replies carry the start flag until the client clears it. SIGUSR1 raises\n"
        "the alarm input once: every registered recipient on loopback is notified.\n");
}

// Whether the shared search port can be bound beside other simulated cameras.
bool SearchPortFree(uint16_t port) {
    kest::platform::UdpSocket probe;
    return probe.Open() && probe.SetReuseAddress() && probe.Bind(0, port);
}

bool ParseInt(const char* text, int& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end) return false;
    out = int(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    kest::sim::SimConfig config;
    int alarm_period = 0;
    uint32_t push_group = 0;
    uint32_t multicast_group = 0;
    bool search_port_given = false;
    config.search_port = 4000;
    int push_port = 0;
    kest::sim::RtspServerConfig rtsp;
#ifdef KESTSIM_DEFAULT_STREAM
    rtsp.stream_path = KESTSIM_DEFAULT_STREAM;
#endif
    bool rtsp_on = true;
    std::vector<std::pair<std::string, int>> rtsp_statuses;
    std::string state_path;
    bool bind_given = false;
    std::vector<std::pair<std::string, size_t>> card_files;
    int page_size = 1024;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--loop") {
            rtsp.loop = true;
            continue;
        }
        if (arg == "--no-rtsp") {
            rtsp_on = false;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "kestsim: %s needs a value\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        const char* value = argv[++i];
        int n = 0;
        bool ok = true;
        if (arg == "--bind") {
            config.bind_address = value;
            bind_given = true;
        } else if (arg == "--port") {
            ok = ParseInt(value, n) && n >= 0 && n <= 65535;
            config.port = uint16_t(n);
        } else if (arg == "--model") {
            ok = ParseInt(value, config.model_code);
        } else if (arg == "--version") {
            ok = ParseInt(value, config.version_number);
        } else if (arg == "--program-version") {
            ok = ParseInt(value, config.program_version);
        } else if (arg == "--password") {
            config.password = value;
        } else if (arg == "--log") {
            config.log_path = value;
        } else if (arg == "--search-port") {
            ok = ParseInt(value, n) && n >= 0 && n <= 65535;
            config.search_port = uint16_t(n);
            search_port_given = true;
        } else if (arg == "--multicast") {
            ok =
                kest::platform::ParseIpv4(value, multicast_group) && (multicast_group >> 28) == 0xE;
        } else if (arg == "--push") {
            const std::string v = value;
            const size_t colon = v.rfind(':');
            uint32_t group = 0;
            ok = colon != std::string::npos &&
                 kest::platform::ParseIpv4(v.substr(0, colon), group) && (group >> 28) == 0xE &&
                 ParseInt(v.c_str() + colon + 1, n) && n > 0 && n <= 65535;
            if (ok) push_group = group, push_port = n;
        } else if (arg == "--alarm-period") {
            ok = ParseInt(value, alarm_period) && alarm_period > 0;
        } else if (arg == "--rtsp-port" || arg == "--rtp-port") {
            ok = ParseInt(value, n) && n >= 0 && n <= 65535;
            if (arg == "--rtsp-port") {
                rtsp.port = uint16_t(n);
            } else {
                rtsp.rtp_port = uint16_t(n);
            }
        } else if (arg == "--stream") {
            rtsp.stream_path = value;
        } else if (arg == "--frame-rate") {
            ok = ParseInt(value, n) && n > 0 && n <= 1000;
            rtsp.frame_rate = n;
        } else if (arg == "--rtsp-status") {
            const char* eq = std::strchr(value, '=');
            ok = eq && eq != value && ParseInt(eq + 1, n);
            if (ok) rtsp_statuses.emplace_back(std::string(value, eq), n);
        } else if (arg == "--state") {
            state_path = value;
        } else if (arg == "--card-file") {
            const std::string v = value;
            const size_t colon = v.rfind(':');
            ok = colon != std::string::npos && colon > 0 && colon < 32 &&
                 ParseInt(v.c_str() + colon + 1, n) && n >= 0;
            if (ok) card_files.emplace_back(v.substr(0, colon), size_t(n));
        } else if (arg == "--page-size") {
            ok = ParseInt(value, page_size) && page_size >= 323 && page_size <= 1498;
        } else {
            std::fprintf(stderr, "kestsim: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "kestsim: bad value for %s: %s\n", arg.c_str(), value);
            return 2;
        }
    }

    // A camera keeps the address it was given; the command line wins.
    if (!state_path.empty() && !bind_given) {
        if (auto saved = kest::sim::StateFileAddress(state_path);
            saved && saved->rfind("127.", 0) == 0) {
            config.bind_address = *saved;
        }
    }
    if (!search_port_given && !SearchPortFree(config.search_port)) {
        std::fprintf(stderr, "kestsim: port %u is taken: not answering searches\n",
                     unsigned(config.search_port));
        config.search_port = 0;
    }
    kest::sim::Simulator sim(config);
    if (multicast_group != 0) {
        std::lock_guard lock(sim.state_mutex());
        auto& services = sim.State<kest::sim::ServicesState>();
        services.multicast_address = {uint8_t(multicast_group >> 24),
                                      uint8_t(multicast_group >> 16), uint8_t(multicast_group >> 8),
                                      uint8_t(multicast_group)};
    }
    if (push_port > 0) {
        std::lock_guard lock(sim.state_mutex());
        auto& services = sim.State<kest::sim::ServicesState>();
        services.multicast_mode = 1;
        services.multicast_address = {uint8_t(push_group >> 24), uint8_t(push_group >> 16),
                                      uint8_t(push_group >> 8), uint8_t(push_group)};
        services.multicast_port = int16_t(push_port);
    }
    if (!state_path.empty() && kest::sim::LoadState(sim, state_path)) {
        if (bind_given) kest::sim::SetCameraAddress(sim, config.bind_address);
        std::fprintf(stderr, "kestsim: settings loaded from %s\n", state_path.c_str());
    }
    {
        std::lock_guard lock(sim.state_mutex());
        auto& card = sim.State<kest::sim::MemoryCardState>();
        card.SetPageSize(page_size);
        uint32_t seed = 1;
        for (const auto& [name, bytes] : card_files)
            card.AddFile(name, kest::sim::PatternBytes(bytes, seed++));
    }
    if (!sim.Start()) {
        std::fprintf(stderr, "kestsim: cannot listen on %s:%u: %s\n", config.bind_address.c_str(),
                     unsigned(config.port), std::strerror(errno));
        return 1;
    }
    kest::sim::RtspServer rtsp_server(rtsp);
    if (rtsp_on) {
        for (const auto& [method, status] : rtsp_statuses)
            rtsp_server.SetStatus(method, status);
        if (rtsp_server.Start()) {
            std::fprintf(stderr, "kestsim: RTSP on %s:%u (%zu frames of %s)\n",
                         rtsp.bind_address.c_str(), unsigned(rtsp_server.port()),
                         rtsp_server.frame_count(), rtsp.stream_path.c_str());
        } else {
            std::fprintf(stderr, "kestsim: no RTSP server: cannot read %s or listen on %s:%u\n",
                         rtsp.stream_path.c_str(), rtsp.bind_address.c_str(), unsigned(rtsp.port));
        }
    }
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sa.sa_handler = OnRestart;
    sigaction(SIGHUP, &sa, nullptr);
    sa.sa_handler = OnAlarm;
    sigaction(SIGUSR1, &sa, nullptr);

    std::fprintf(stderr, "kestsim: listening on %s:%u (model %d, version %d, program version %d)\n",
                 sim.address().c_str(), unsigned(sim.port()), config.model_code,
                 config.version_number, config.program_version);
    uint32_t waited = 0;
    while (!g_stop) {
        if (alarm_period > 0) {
            usleep(10000);
            waited += 10;
            if (waited >= uint32_t(alarm_period)) {
                waited = 0;
                g_alarm = 1;
            }
        } else {
            pause();
        }
        if (g_alarm) {
            g_alarm = 0;
            kest::sim::TriggerAlarm(sim, 1);
        }
        if (g_restart) {
            g_restart = 0;
            sim.SimulateRestart();
            std::fprintf(stderr, "kestsim: restarted\n");
        }
    }
    rtsp_server.Stop();
    sim.Stop();
    if (!state_path.empty()) {
        if (kest::sim::SaveState(sim, state_path)) {
            std::fprintf(stderr, "kestsim: settings saved to %s\n", state_path.c_str());
        } else {
            std::fprintf(stderr, "kestsim: cannot save settings to %s\n", state_path.c_str());
        }
    }
    std::fprintf(stderr, "kestsim: %zu datagrams received\n", sim.ReceivedCount());
    return 0;
}
