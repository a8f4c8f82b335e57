// StartDownloading and StopDownloading: the live picture stream of the control.
#include <algorithm>

#include "control/facade/ctrl.h"
#include "control/protocol/handshake.h"
#include "control/protocol/identity.h"
#include "control/protocol/imaging.h"
#include "control/protocol/services.h"
#include "control/stream/window_messages.h"

namespace kest {

namespace {

constexpr const char* kFrameRateOutOfRange =
    "Sable(U) Internal ERROR!\nFrameRate setting is out of range.\nFrameRate will be 30fps "
    "automatically.";

}  // namespace

int16_t CKestCtrl::StartDownloading() {
    if (!camera_) return kResultFailed;
    if (remote_ip_address_.empty()) return kResultNoAddress;
    CKestCamera& camera = *camera_;
    if (camera.downloading()) return kResultOk;
    camera.set_downloading(true);

    const int32_t open = camera.OpenSession(remote_ip_address_, camera_port_);
    protocol::CommandChannel& channel = camera.channel();
    // A failed start leaves no session behind that it opened itself.
    const auto fail = [&](int16_t result) {
        camera.set_downloading(false);
        if (open == 0) camera.CloseSession();
        return result;
    };
    if (open == protocol::kSessionOpen) {
        // A session is open already: prove that the camera answers on it.
        protocol::VersionInfo version;
        if (protocol::scmd_nop(channel) < 0 || camera.scmd_get_version(&version) < 0) {
            return fail(kResultCannotOpen);
        }
    } else if (open != 0) {
        camera.set_downloading(false);
        return kResultCannotOpen;
    }

    protocol::scmd_get_passwd_enable(channel);  // the answer is not used

    if (local_frame_rate_ == 0) {
        // Keep the camera's own frame rate, sent back as the stream's.
        int16_t code = 0;
        const int32_t read = protocol::scmd_get_capt_speed(channel, code);
        if (read == protocol::kNoReply) return fail(kResultCannotOpen);
        if (read == protocol::kRefused) return fail(kResultStatus);
        if (code < 0 || code >= 30) {
            host_ui().MessageBox(kFrameRateOutOfRange, "Kest", platform::HostUi::Buttons::kOk);
            code = 0;
        }
        int32_t sent = camera.SetFrameRateIndex(code);
        if (sent == protocol::kOutOfRange) {
            host_ui().MessageBox(kFrameRateOutOfRange, "Kest", platform::HostUi::Buttons::kOk);
            sent = camera.SetFrameRateIndex(0);
        }
        if (sent != 0) return fail(kResultCannotOpen);
    }

    // Cameras that may stream by multicast say whether they do.
    const int32_t model = camera.model_code();
    if (model == 11 || (model == 20 && camera.second_version() >= 11)) {
        protocol::MulticastMode mode;
        const int32_t status = camera.scmd_get_multicast_mode(&mode);
        if (status == 1) return fail(kResultRefused);
        if (status >= 2) return fail(kResultStatus);
        if (status < 0) return fail(kResultFailed);
        // Mode 1 (multicast on) is received like a pulled stream for now.
    }

    const int32_t started = camera.StartReceiving(true, true);
    if (started != 0) {
        camera.set_downloading(false);
        if (open == 0) camera.CloseSession();
    }
    return int16_t(started);
}

void CKestCtrl::Draw(platform::Surface& target, const platform::Rect& bounds,
                     platform::Rgb face) {
    if (!camera_) {
        target.Fill(bounds, face);
        return;
    }
    // The display size follows the current picture's width.
    const int32_t width = camera_->presented_width();
    int32_t w = 320, h = 240;
    if (width == 640 || width == 704) {
        w = 640, h = 480;
    } else if (width == 160 || width == 176) {
        w = 160, h = 120;
    }
    platform::Surface picture(w, h);
    if (picture.empty()) return;
    camera_->CopySurface(picture, {0, 0, w, h});
    if (stretch_) {
        platform::Stretch(target, bounds, picture, {0, 0, w, h});
        return;
    }
    target.Fill({bounds.x + w, bounds.y, bounds.width - w, bounds.height}, face);
    target.Fill({bounds.x, bounds.y + h, std::min(w, bounds.width), bounds.height - h}, face);
    platform::Copy(target, bounds.x, bounds.y, std::min(w, bounds.width),
                   std::min(h, bounds.height), picture, 0, 0);
}

int16_t CKestCtrl::StopDownloading() {
    if (!camera_) return kResultOk;
    camera_->LockPresentation(2);
    camera_->CloseSession();
    if (window_) window_->KillTimer(kMulticastCheckTimer);
    camera_->set_downloading(false);
    return kResultOk;
}

}  // namespace kest
