// The command families the simulator answers, each registered by its own file.
#include "sim/alarms.h"
#include "sim/imaging.h"
#include "sim/memory_card.h"
#include "sim/services.h"
#include "sim/simulator.h"
#include "sim/stream.h"

namespace kest::sim {

void RegisterFamilies(Simulator& sim) {
    // Each family adds its registration call here. The stream goes last: it
    // shares the resend and frame-end codes with the block transfers.
    RegisterIdentity(sim);
    RegisterServices(sim);
    RegisterImaging(sim);
    RegisterMemoryCard(sim);
    RegisterAlarms(sim);
    RegisterDiscovery(sim);
    RegisterStream(sim);
}

}  // namespace kest::sim
