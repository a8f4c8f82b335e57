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
        "scmd_nop, scmd_get_version; RTSP DESCRIBE, SETUP, PLAY",
        "5 no camera object, RTSP client or RTP receiver; 7 no address; "
        "1 session cannot be opened; 8 a model other than 11 (no RTSP traffic); "
        "6 the RTSP connection, DESCRIBE, SETUP or PLAY failed (the connection stays open until "
        "StopStreaming); "
        "5 the RTP receiver cannot bind RtpRecvPort; 0 playing"));
    lib.push_back(Method<&CKestCtrl::StopStreaming>(
        114, "StopStreaming", {}, "Model 11 only: tears the MPEG-4 stream down.",
        "scmd_nop, scmd_get_version; RTSP TEARDOWN",
        "5 no camera object or RTSP client; 7 no address; 1 session cannot be opened; "
        "8 a model other than 11; 0 torn down"));
}

}  // namespace kest::rows
