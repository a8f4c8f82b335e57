// The simulator's alarm side: a recipient list of at most 10, the alarm
// settings, the alarm output, and notifications to every recipient.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/simulator.h"

namespace kest::sim {

struct AlarmRecipient {
    uint32_t ip = 0;
    uint16_t port = 0;
};

// Lock sim.state_mutex() around access from outside the sim thread.
struct AlarmState {
    std::vector<AlarmRecipient> recipients;
    int16_t count = 10;
    std::array<uint8_t, 36> setting{};
    int output = 0;  // 1 while the alarm output is on
    int forced_status = -1;
    int reported_recipients = -1;  // a list reply that announces this many
};

void RegisterAlarms(Simulator& sim);
// Sends an alarm notification of this type to every recipient.
void TriggerAlarm(Simulator& sim, int16_t type);

}  // namespace kest::sim
