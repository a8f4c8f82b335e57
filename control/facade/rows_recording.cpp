// Type-library rows of the local recording and playback methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Recording(std::vector<MemberInfo>& lib) {
    (void)lib;
}

}  // namespace kest::rows
