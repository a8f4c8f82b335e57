// The simulated camera benchmarks talk to: one per program, on a free
// loopback port, started on first use and kept until the program ends.
#pragma once

#include <cstdlib>

#include "sim/simulator.h"

namespace kest::bench {

inline sim::Simulator& LoopbackCamera() {
    static sim::Simulator* camera = [] {
        sim::SimConfig config;
        config.port = 0;
        auto* s = new sim::Simulator(config);
        if (!s->Start()) std::abort();
        return s;
    }();
    return *camera;
}

}  // namespace kest::bench
