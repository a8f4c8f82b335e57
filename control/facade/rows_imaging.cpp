// Type-library rows of the imaging, motor, lens and motion-detection methods, and the camera file
// transfers.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Imaging(std::vector<MemberInfo>& lib) {
    (void)lib;
}

}  // namespace kest::rows
