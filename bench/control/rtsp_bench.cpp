// The MPEG-4 stream's client side on loopback: RTP datagrams through the
// receiver into the dump file, and one RTSP request against kestsim's server.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "control/stream/rtp_receiver.h"
#include "control/stream/rtsp_client.h"
#include "platform/files.h"
#include "platform/ticks.h"
#include "sim/rtsp_server.h"

namespace {

// The dump file goes to a folder of its own.
void InTempFolder() {
    static const bool done = [] {
        char pattern[] = "/tmp/kest-bench-XXXXXX";
        return mkdtemp(pattern) && chdir(pattern) == 0;
    }();
    if (!done) std::abort();
}

// Datagrams of a frame's fragments: RTP header (80 62 or 80 E2, then 10
// bytes) and a payload of range(0) bytes, in bursts of 32 as a camera sends a
// large frame.
void BM_RtpReceiverToDumpFile(benchmark::State& state) {
    InTempFolder();
    kest::CRtpReceiver receiver("bench-rtp");
    if (receiver.RtpOpen("127.0.0.1", "6970-6971", "0") != 0 || receiver.RtpStart(1) != 0) {
        state.SkipWithError("no receiver");
        return;
    }
    kest::platform::UdpSocket sender;
    sender.Open();
    const sockaddr_in to = kest::platform::MakeAddress(0x7F000001, receiver.local_port());
    std::vector<uint8_t> datagram(12 + size_t(state.range(0)), 0x33);
    datagram[0] = 0x80;
    constexpr int kBurst = 32;
    uint64_t sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBurst; ++i) {
            datagram[1] = i == kBurst - 1 ? 0xE2 : 0x62;
            sender.SendTo(datagram.data(), datagram.size(), to);
        }
        sent += kBurst;
        const uint32_t start = kest::platform::TickCount();
        while (receiver.datagrams() < sent) {
            if (kest::platform::TickCount() - start > 5000) {
                state.SkipWithError("datagrams lost");
                break;
            }
            std::this_thread::yield();
        }
    }
    state.SetItemsProcessed(int64_t(sent));
    state.SetBytesProcessed(int64_t(receiver.dump_bytes()));
    receiver.RtpClose();
}
BENCHMARK(BM_RtpReceiverToDumpFile)->Arg(1400)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A TEARDOWN answered 454: request out, status line in. The reply is read a
// byte at a time, with the client's 33 ms wait whenever nothing has arrived.
void BM_RtspRequestRoundTrip(benchmark::State& state) {
    kest::sim::RtspServerConfig config;
    config.port = 0;
    kest::sim::RtspServer server(config);
    kest::CRtspClient client("bench-rtsp");
    if (!server.Start() || client.RtspConnect("127.0.0.1", server.port()) != 0) {
        state.SkipWithError("no server");
        return;
    }
    client.set_close_waits(0, 0);
    for (auto _ : state) {
        client.RtspTeardown(client.address_text(), client.port_text(), "rtsp.mpg", "1");
        if (client.last_reply().result != -500) state.SkipWithError("no reply");
    }
    client.RtspDisconnect();
}
BENCHMARK(BM_RtspRequestRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
