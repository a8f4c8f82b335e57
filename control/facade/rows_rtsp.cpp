// Type-library rows of the MPEG-4 streaming methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Rtsp(std::vector<MemberInfo>& lib) {
    (void)lib;
}

}  // namespace kest::rows
