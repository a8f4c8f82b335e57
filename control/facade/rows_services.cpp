// Type-library rows of the identity, network, password and camera-service methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Services(std::vector<MemberInfo>& lib) {
    (void)lib;
}

}  // namespace kest::rows
