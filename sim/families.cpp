// The command families the simulator answers, each registered by its own file.
#include "sim/services.h"
#include "sim/simulator.h"

namespace kest::sim {

void RegisterFamilies(Simulator& sim) {
    // Each family adds its registration call here.
    RegisterIdentity(sim);
    RegisterServices(sim);
}

}  // namespace kest::sim
