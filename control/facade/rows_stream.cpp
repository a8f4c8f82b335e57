// Type-library rows of the picture stream and rendering methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Stream(std::vector<MemberInfo>& lib) {
    (void)lib;
}

}  // namespace kest::rows
