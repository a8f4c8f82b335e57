// The MPEG-4 streaming methods: StartStreaming and StopStreaming.
//
// Only cameras of model code 11 serve the stream. The command session is
// opened for the model code alone; the stream itself runs over the RTSP
// client (requests on this thread) and the RTP receiver (its own thread).
#include "control/facade/ctrl.h"
#include "control/stream/rtp_receiver.h"
#include "control/stream/rtsp_client.h"
#include "control/stream/rtsp_reply.h"

namespace kest {

namespace {

constexpr int32_t kStreamingModel = 11;
constexpr const char* kPresentation = "rtsp.mpg";
constexpr const char* kStreamNumber = "0";

}  // namespace

int16_t CKestCtrl::StartStreaming() {
    if (!camera_ || !rtsp_ || !rtp_) return kResultFailed;
    if (remote_ip_address_.empty()) return kResultNoAddress;
    const int32_t open = camera_->OpenSession(remote_ip_address_, camera_port_);
    if (open != 0 && open != protocol::kSessionOpen) return kResultCannotOpen;
    const int32_t model = camera_->model_code();
    if (open == 0) camera_->CloseSession();
    if (model != kStreamingModel) return kResultNotThisType;

    // Every RTSP failure leaves the connection open; StopStreaming ends it.
    if (rtsp_->RtspConnect(remote_ip_address_, rtsp_port_) != 0) return kResultStatus;
    const std::string& address = rtsp_->address_text();
    const std::string& port = rtsp_->port_text();
    std::string sdp;
    if (rtsp_->RtspDescribe(address, port, kPresentation, &sdp) != 0) return kResultStatus;
    std::string header_values;
    if (rtsp_->RtspSetup(address, port, kPresentation, kStreamNumber, &rtsp_session_,
                         &header_values) != 0) {
        return kResultStatus;
    }
    const rtsp::SetupValues setup = rtsp::SplitHeaderValues(header_values);
    rtsp_session_ = setup.session;

    // The receiver binds RtpRecvPort whatever the server port is, so a reply
    // without server_port (or without Session) still goes on to PLAY. A
    // receiver that cannot bind would leave a stream that nobody records.
    const int32_t rtp_open =
        rtp_->RtpOpen(address, setup.server_port, std::to_string(rtp_recv_port_));
    if (rtp_open != 0 && rtp_open != kRtpAlreadyOpen) return kResultFailed;
    rtp_->RtpStart(1);

    std::string body;
    if (rtsp_->RtspPlay(address, port, kPresentation, rtsp_session_, &body) != 0)
        return kResultStatus;
    return kResultOk;
}

int16_t CKestCtrl::StopStreaming() {
    if (!camera_ || !rtsp_) return kResultFailed;
    if (remote_ip_address_.empty()) return kResultNoAddress;
    const int32_t open = camera_->OpenSession(remote_ip_address_, camera_port_);
    if (open != 0 && open != protocol::kSessionOpen) return kResultCannotOpen;
    const int32_t model = camera_->model_code();
    if (open == 0) camera_->CloseSession();
    if (model != kStreamingModel) return kResultNotThisType;

    rtsp_->RtspTeardown(rtsp_->address_text(), rtsp_->port_text(), kPresentation, rtsp_session_);
    // The session is gone with the teardown; the next start sets up a new one.
    rtsp_session_.clear();
    if (rtp_) {
        rtp_->RtpStop();
        rtp_->RtpClose();
    }
    rtsp_->RtspDisconnect();
    return kResultOk;
}

}  // namespace kest
