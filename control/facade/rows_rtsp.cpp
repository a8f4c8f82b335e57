// Type-library rows of the MPEG-4 streaming methods.
#include "control/facade/ctrl.h"
#include "control/facade/typelib_builder.h"

namespace kest::rows {

using namespace typelib_builder;

void Rtsp(std::vector<MemberInfo>& lib) {
    lib.push_back(Method<&CKestCtrl::StartStreaming>(
        113, "StartStreaming", {},
        "Model 11 only: starts the MPEG-4 stream (RTSP on RtspPort) and records its RTP "
        "payloads, received on RtpRecvPort, in the dump file.",
        "scmd_nop, scmd_get_version; RTSP DESCRIBE, SETUP, PLAY"));
    lib.push_back(Method<&CKestCtrl::StopStreaming>(114, "StopStreaming", {},
                                                    "Model 11 only: tears the MPEG-4 stream down.",
                                                    "scmd_nop, scmd_get_version; RTSP TEARDOWN"));
}

}  // namespace kest::rows
