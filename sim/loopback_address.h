// A loopback address whose UDP port is free, for simulated cameras that must
// listen on the cameras' own port (4000) beside others: hosts that cannot
// set a port (the setup tool) reach each camera by its address alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kest::sim {

// The first of preferred whose port nobody holds, else a random address of
// 127.0.0.0/8 where the port can be bound; empty when none is found.
std::string FreeLoopbackAddress(uint16_t port, const std::vector<std::string>& preferred = {});

}  // namespace kest::sim
