// The command families the simulator answers, each registered by its own file.
#include "sim/imaging.h"
#include "sim/memory_card.h"
#include "sim/simulator.h"

namespace kest::sim {

void RegisterFamilies(Simulator& sim) {
    // Each family adds its registration call here.
    RegisterImaging(sim);
    RegisterMemoryCard(sim);
}

}  // namespace kest::sim
