// StartDownloading and StopDownloading: the live picture stream of the control.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "control/facade/ctrl.h"
#include "control/protocol/handshake.h"
#include "control/protocol/identity.h"
#include "control/protocol/imaging.h"
#include "control/protocol/services.h"
#include "control/stream/picdec_binding.h"
#include "control/stream/record_play.h"
#include "control/stream/render.h"
#include "control/stream/window_messages.h"

namespace kest {

namespace {

constexpr const char* kFrameRateOutOfRange =
    "Sable(U) Internal ERROR!\nFrameRate setting is out of range.\nFrameRate will be 30fps "
    "automatically.";

constexpr platform::Rgb kRecRed{255, 0, 0};

// The receive result that ends push mode for a failed check.
int32_t CheckFailure(int32_t code) {
    switch (code) {
        case kMulticastNoReply:
            return kReceiveLost;
        case 30:
            return kReceiveResendZero;
        case 33:
            return kReceiveRefused;
        case 34:
            return kReceiveStatus4;
        case 35:
            return kReceiveMulticast;
        case 36:
            return kReceiveMpegMode;
        case 37:
            return kReceiveStatus7;
        default:
            // A status with no end code of its own: the stream is lost, not
            // ended as asked.
            return kReceiveLost;
    }
}

}  // namespace

bool DecodeStillPicture(std::span<const uint8_t> jpeg, int& width, int& height,
                        std::vector<uint8_t>& pixels) {
    const PicdecBinding& picdec = ProcessPicdec();
    if (!picdec.can_decode() || jpeg.empty() || jpeg.size() > size_t(LONG_MAX)) return false;
    const char* data = reinterpret_cast<const char*>(jpeg.data());
    PicdecPictureInfo size{};
    const int read = picdec.get_picture_info(data, long(jpeg.size()), PICDEC_INPUT_MEMORY, &size);
    std::free(size.comment);
    if (read != PICDEC_OK || size.width <= 0 || size.height <= 0 ||
        uint64_t(size.width) * uint64_t(size.height) > kLargestStillPixels) {
        return false;
    }
    void* info = nullptr;
    void* bits = nullptr;
    const int result =
        picdec.get_picture(data, long(jpeg.size()), PICDEC_INPUT_MEMORY, &info, &bits, nullptr, 0);
    bool ok = false;
    if (result == PICDEC_OK && info && bits) {
        PicdecBitmapInfoHeader header{};
        std::memcpy(&header, info, sizeof header);
        // Only 24-bit pictures are shown; rows come bottom-up, padded to 4 bytes.
        if (header.bit_count == 24 && header.width > 0 && header.height > 0 &&
            uint64_t(header.width) * uint64_t(header.height) <= kLargestStillPixels) {
            const size_t row = (size_t(header.width) * 3 + 3) & ~size_t(3);
            platform::Surface surface;
            if (surface.Reset(header.width, header.height, false) &&
                surface.LoadBottomUp(static_cast<const uint8_t*>(bits), header.width, header.height,
                                     row)) {
                width = header.width;
                height = header.height;
                pixels.assign(surface.row(0), surface.row(0) + surface.stride() * size_t(height));
                ok = true;
            }
        }
    }
    std::free(info);
    std::free(bits);
    return ok;
}

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
        if (mode.mode == 1) {
            // The camera pushes its frames to its group: no receive thread.
            if (camera.OpenMulticastSession(window_.get()) != 0) return fail(kResultFailed);
            if (!camera.WatchMulticastSocket()) return fail(kResultFailed);
            if (camera.StartMulticast(1) != 0) {
                camera.EndMulticast();
                return fail(kResultStatus);
            }
            if (window_) window_->SetTimer(kMulticastCheckTimer, kMulticastCheckMs);
            return kResultOk;
        }
    }

    const int32_t started = camera.StartReceiving(true, true);
    if (started != 0) {
        camera.set_downloading(false);
        if (open == 0) camera.CloseSession();
    }
    return int16_t(started);
}

void CKestCtrl::Draw(platform::Surface& target, const platform::Rect& bounds, platform::Rgb face) {
    if (!camera_) {
        target.Fill(bounds, face);
        return;
    }
    platform::Surface picture;
    int32_t w = 320, h = 240;
    camera_->timestamp_font().Load();
    if (still_.shown) {
        // A still picture replaces the live ones, with its own time stamp.
        w = still_.width, h = still_.height;
        if (!picture.Reset(w, h, false)) return;
        std::memcpy(picture.row(0), still_.pixels.data(),
                    std::min(still_.pixels.size(), picture.stride() * size_t(h)));
        const TimeStampSettings stamp = GetTimeStampSettings();
        if (stamp.enabled && !still_.no_time_stamp) {
            const std::string text = StillTimeStampText(stamp.style, still_.time);
            camera_->timestamp_font().WithFont([&](const platform::Font* font) {
                if (!font) return;
                font->Draw(picture, stamp.x, stamp.y, text,
                           platform::Rgb::FromColorRef(stamp.text_colour),
                           stamp.back_mode == TimeStampSettings::kOpaque,
                           platform::Rgb::FromColorRef(stamp.back_colour));
            });
        }
    } else {
        // The display size follows the current picture's width.
        const int32_t width = camera_->presented_width();
        if (width == 640 || width == 704) {
            w = 640, h = 480;
        } else if (width == 160 || width == 176) {
            w = 160, h = 120;
        }
        if (!picture.Reset(w, h)) return;
        camera_->CopySurface(picture, {0, 0, w, h});
    }
    if (recording()) {
        // "REC" in red at the picture's top-right corner.
        camera_->timestamp_font().WithFont([&](const platform::Font* font) {
            if (!font) return;
            const auto extent = font->Measure("REC");
            font->Draw(picture, w - extent.width, 0, "REC", kRecRed, false, {});
        });
    }
    if (stretch_) {
        platform::Stretch(target, bounds, picture, {0, 0, w, h});
        return;
    }
    target.Fill({bounds.x + w, bounds.y, bounds.width - w, bounds.height}, face);
    target.Fill({bounds.x, bounds.y + h, std::min(w, bounds.width), bounds.height - h}, face);
    platform::Copy(target, bounds.x, bounds.y, std::min(w, bounds.width),
                   std::min(h, bounds.height), picture, 0, 0);
}

void CKestCtrl::CheckMulticast() {
    // A check that was queued before push mode ended has nothing to check.
    if (!camera_ || !camera_->multicast().active()) return;
    CKestCamera& camera = *camera_;
    const int32_t code = camera.StartMulticast(0);
    if (code == 0) return;
    camera.receiver().set_result(CheckFailure(code));
    camera.ReportReceiveEnd();
    if (window_) window_->KillTimer(kMulticastCheckTimer);
    camera.EndMulticast();
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
