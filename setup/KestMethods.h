// DISPIDs of the control's methods and properties, by the names the control's
// interface gives them: the forms call their controls by these.
#pragma once

namespace kestcfg {

enum class Method : int {
#define KESTCFG_METHOD(name, dispid) name = dispid,
#define KESTCFG_PROPERTY(name, dispid)
#include "setup/KestMethods.def"
#undef KESTCFG_METHOD
#undef KESTCFG_PROPERTY
};

enum class Property : int {
#define KESTCFG_METHOD(name, dispid)
#define KESTCFG_PROPERTY(name, dispid) name = dispid,
#include "setup/KestMethods.def"
#undef KESTCFG_METHOD
#undef KESTCFG_PROPERTY
};

}  // namespace kestcfg
