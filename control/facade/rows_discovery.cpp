// Type-library rows of the camera search and alarm methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Discovery(std::vector<MemberInfo>& lib) {
    (void)lib;
}

}  // namespace kest::rows
