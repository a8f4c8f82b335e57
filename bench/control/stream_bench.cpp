// The picture stream from simulated cameras on loopback: frames per second per
// camera, the client's CPU time per delivered picture, lost pictures; and the
// throughput-test mode. A bench program: it prints a table.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"
#include "platform/ticks.h"
#include "sim/simulator.h"
#include "sim/stream.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Counter : kest::_DKestEvents {
    long pictures = 0;
    void OnEvent(const kest::MemberInfo& e, std::span<const kest::Variant>) override {
        if (e.dispid == 2) ++pictures;
    }
};

// The simulators run in this process too; their CPU is measured apart by
// running them on threads whose time is not the client's: here we report
// the process total and note it.
void Run(int cameras, uint32_t seconds) {
    std::vector<std::unique_ptr<kest::sim::Simulator>> sims;
    kest::platform::EventLoop loop;
    std::vector<std::unique_ptr<kest::CKestCtrl>> ctrls;
    std::vector<std::unique_ptr<Counter>> counters;
    for (int i = 0; i < cameras; ++i) {
        kest::sim::SimConfig config;
        config.port = 0;
        config.model_code = 20;
        sims.push_back(std::make_unique<kest::sim::Simulator>(config));
        sims.back()->Start();
        {
            std::lock_guard lock(sims.back()->state_mutex());
            sims.back()->State<kest::sim::StreamState>().preencoded = true;
        }
        ctrls.push_back(std::make_unique<kest::CKestCtrl>());
        counters.push_back(std::make_unique<Counter>());
        kest::CKestCtrl& c = *ctrls.back();
        c.AttachWindow(loop.CreateWindow(&c));
        c.Advise(counters.back().get());
        c.SetRemoteIPAddress("127.0.0.1");
        c.SetCameraPort(sims.back()->port());
        c.StartDownloading();
    }
    loop.RunFor(1000);  // warm up: the simulators encode their cached pictures
    long before = 0;
    uint32_t completed_before = 0;
    for (int i = 0; i < cameras; ++i) {
        before += counters[size_t(i)]->pictures;
        completed_before += ctrls[size_t(i)]->camera()->receiver().frames_completed();
    }
    const double cpu0 = CpuSeconds();
    const uint64_t t0 = kest::platform::MonotonicMicros();
    loop.RunFor(seconds * 1000);
    const double wall = double(kest::platform::MonotonicMicros() - t0) / 1e6;
    const double cpu = CpuSeconds() - cpu0;
    long pictures = 0;
    uint32_t completed = 0;
    for (int i = 0; i < cameras; ++i) {
        pictures += counters[size_t(i)]->pictures;
        completed += ctrls[size_t(i)]->camera()->receiver().frames_completed();
    }
    for (auto& c : ctrls)
        c->StopDownloading();
    loop.RunPending();
    pictures -= before;
    completed -= completed_before;
    std::printf(
        "%2d cameras: %6.1f fps per camera, %6.0f us process CPU per picture, "
        "%.2f cores, %ld of %u completed pictures not delivered\n",
        cameras, double(pictures) / wall / cameras, pictures ? cpu / double(pictures) * 1e6 : 0.0,
        cpu / wall, long(completed) - pictures > 0 ? long(completed) - pictures : 0L, completed);
}

void Throughput(uint32_t seconds) {
    char dir[] = "/tmp/kest-bench-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) return;
    std::ofstream("KEST.INI") << "[check]\nspeed=1\n";
    kest::sim::SimConfig config;
    config.port = 0;
    config.model_code = 20;
    kest::sim::Simulator sim(config);
    sim.Start();
    {
        std::lock_guard lock(sim.state_mutex());
        sim.State<kest::sim::StreamState>().preencoded = true;
    }
    kest::platform::EventLoop loop;
    kest::CKestCtrl c;
    c.AttachWindow(loop.CreateWindow(&c));
    c.SetRemoteIPAddress("127.0.0.1");
    c.SetCameraPort(sim.port());
    c.camera()->set_frame_interval(0);
    c.StartDownloading();
    loop.RunFor(1000);
    const uint32_t f0 = c.camera()->receiver().frames_completed();
    loop.RunFor(seconds * 1000);
    const uint32_t f1 = c.camera()->receiver().frames_completed();
    c.StopDownloading();
    std::printf("throughput-test mode: %.1f frames per second at 640x480\n",
                double(f1 - f0) / seconds);
    std::remove("KEST.INI");
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t seconds = argc > 1 ? uint32_t(std::atoi(argv[1])) : 5;
    std::printf("(the simulated cameras run in this process; their CPU is in the totals)\n");
    for (int n : {1, 4, 16})
        Run(n, seconds);
    Throughput(seconds);
    return 0;
}
