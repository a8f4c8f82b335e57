// kestctl stream: the live picture stream from the command line.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/files.h"
#include "platform/ticks.h"
#include "tools/kestctl/host.h"
#include "tools/kestctl/json.h"

namespace kestctl {

int RunStream(Host& host, const std::vector<std::string>& args) {
    long frames = 0, seconds = 0;
    std::string save;
    bool events = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const auto number = [&](long& out) {
            if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a value"};
            char* end = nullptr;
            out = std::strtol(args[++i].c_str(), &end, 10);
            if (*end || out < 0) throw UsageError{"bad value '" + args[i] + "'"};
        };
        if (args[i] == "--frames") {
            number(frames);
        } else if (args[i] == "--seconds") {
            number(seconds);
        } else if (args[i] == "--save" && i + 1 < args.size()) {
            save = args[++i];
        } else if (args[i] == "--events") {
            events = true;
        } else {
            throw UsageError{"stream takes [--frames N] [--seconds S] [--save DIR] [--events]"};
        }
    }
    if (frames == 0 && seconds == 0) seconds = 10;

    long received = 0;
    int end_code = -1;
    bool save_failed = false;
    kest::CKestCamera* camera = host.ctrl().camera();
    host.set_print_events(events);
    host.set_event_hook([&](const kest::MemberInfo& e, std::span<const kest::Variant> a) {
        if (e.name == "EndDownloading" && !a.empty()) end_code = a[0].integer();
        if (e.name != "NewImage" || !camera) return;
        ++received;
        // The presented picture stays put until the handler returns.
        if (!save.empty() && camera->presented_length() > 0) {
            char name[32];
            std::snprintf(name, sizeof name, "%06ld.jpg", received);
            std::ofstream out(kest::platform::JoinPath(save, name), std::ios::binary);
            out.write(reinterpret_cast<const char*>(camera->presented_jpeg()),
                      std::streamsize(camera->presented_length()));
            save_failed = save_failed || !out;
        }
    });
    int16_t result = 0;
    const std::string start = host.Call("StartDownloading", {}, result);
    if (events || result != 0) std::printf("%s\n", start.c_str());
    if (result != 0) return 1;
    const uint64_t began = kest::platform::MonotonicMicros();
    const uint64_t limit = uint64_t(seconds) * 1000000u;
    host.loop().RunUntil(
        [&] {
            if (end_code >= 0 || Host::interrupted()) return true;
            if (frames > 0 && received >= frames) return true;
            return limit > 0 && kest::platform::MonotonicMicros() - began >= limit;
        },
        seconds > 0 ? uint32_t(seconds * 1000) : 0xFFFFFFFFu);
    const double elapsed = double(kest::platform::MonotonicMicros() - began) / 1e6;
    int16_t ignored = 0;
    host.Call("StopDownloading", {}, ignored);
    host.RunPending();
    std::printf("{\"frames\":%ld,\"seconds\":%.3f,\"fps\":%.2f,\"end_code\":%d%s}\n", received,
                elapsed, elapsed > 0 ? double(received) / elapsed : 0.0, end_code,
                save_failed ? ",\"save_failed\":true" : "");
    return save_failed ? 1 : 0;
}

}  // namespace kestctl
