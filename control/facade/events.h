// The control's events by name: one enumerator per row of events.def, whose
// value is the event's DISPID. The control fires them, and hosts (the Qt
// widget, the setup tool, kestctl) tell them apart, by these names.
#pragma once

#include <cstdint>

namespace kest {

enum class EventId : int32_t {
#define KEST_EVENT(dispid, name, ...) name = dispid,
#include "control/facade/events.def"
#undef KEST_EVENT
};

}  // namespace kest
