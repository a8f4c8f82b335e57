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

#include "sim/memory_card.h"
#include "sim/simulator.h"

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_restart = 0;

void OnStop(int) {
    g_stop = 1;
}
void OnRestart(int) {
    g_restart = 1;
}

void Usage(FILE* out) {
    std::fprintf(
        out,
        "usage: kestsim [--bind ADDR] [--port N] [--model CODE] [--version N]\n"
        "               [--program-version N] [--password TEXT] [--log FILE]\n"
        "               [--card-file NAME:BYTES]... [--page-size N]\n"
        "\n"
        "A simulated camera that answers the camera command protocol on UDP.\n"
        "  --bind ADDR            address to listen on (default 127.0.0.1)\n"
        "  --port N               UDP command port (default 4000; 0: any free port)\n"
        "  --model CODE           model code (type number): 0, 3, 11, 13, 20 (default 11)\n"
        "  --version N            version number (default 20; 11 or less makes every\n"
        "                         model code read as 0)\n"
        "  --program-version N    program version (default 20)\n"
        "  --password TEXT        the camera's main password\n"
        "  --log FILE             write every received datagram as a line of hex\n"
        "  --card-file NAME:BYTES put a recorded file of BYTES pattern bytes on the\n"
        "                         memory card (repeatable)\n"
        "  --page-size N          page size of the block transfers, 323 to 1498\n"
        "                         (default 1024)\n"
        "Runs until interrupted (SIGINT, SIGTERM). SIGHUP simulates a restart: the\n"
        "next replies carry the start flag until the client clears it.\n");
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
    std::vector<std::pair<std::string, size_t>> card_files;
    int page_size = 1024;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
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

    kest::sim::Simulator sim(config);
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
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sa.sa_handler = OnRestart;
    sigaction(SIGHUP, &sa, nullptr);

    std::fprintf(stderr, "kestsim: listening on %s:%u (model %d, version %d, program version %d)\n",
                 config.bind_address.c_str(), unsigned(sim.port()), config.model_code,
                 config.version_number, config.program_version);
    while (!g_stop) {
        pause();
        if (g_restart) {
            g_restart = 0;
            sim.SimulateRestart();
            std::fprintf(stderr, "kestsim: restarted\n");
        }
    }
    sim.Stop();
    std::fprintf(stderr, "kestsim: %zu datagrams received\n", sim.ReceivedCount());
    return 0;
}
