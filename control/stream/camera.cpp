#include "control/stream/camera.h"
#include "control/protocol/settings_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "control/protocol/identity.h"
#include "control/protocol/services.h"
#include "control/stream/window_messages.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/ticks.h"

namespace kest {

namespace {

// Polls a flag lock every 10 ms for at most 5 s, then takes it.
bool TakeFlag(std::atomic<bool>& flag) {
    for (uint32_t waited = 0;; waited += CKestCamera::kFlagLockPollMs) {
        bool expected = false;
        if (flag.compare_exchange_strong(expected, true)) return true;
        if (waited >= CKestCamera::kFlagLockLimitMs) return false;
        platform::SleepMs(CKestCamera::kFlagLockPollMs);
    }
}

}  // namespace

CKestCamera::CKestCamera(const std::string& token)
    : command_lock_name_("Packet/" + token + "/LockPackSemaphore"),
      presentation_lock_name_("Packet/" + token + "/LockJPEGSemaphore"),
      command_lock_(platform::NamedSemaphore::Create(command_lock_name_, 1, 1)),
      presentation_lock_(command_lock_
                             ? platform::NamedSemaphore::Create(presentation_lock_name_, 1, 1)
                             : nullptr),
      channel_(command_lock_),
      presented_jpeg_(new uint8_t[kPresentedJpegSize]()) {
    quant_tables_.fill(10);
    frame_.quant_tables = quant_tables_.data();
    ResizeFrameSurface(1);  // 320 x 240 with its placeholder until a frame comes
}

CKestCamera::~CKestCamera() {
    if (session_open_.load()) CloseSession();
    if (LockListeners()) {
        listeners_.clear();
        UnlockListeners();
    }
}

bool CKestCamera::LockListeners() {
    return TakeFlag(listener_flag_);
}

bool CKestCamera::UnlockListeners() {
    listener_flag_.store(false);
    return true;
}

bool CKestCamera::LockPlaceholder() {
    return TakeFlag(placeholder_flag_);
}

bool CKestCamera::UnlockPlaceholder() {
    placeholder_flag_.store(false);
    return true;
}

void CKestCamera::AddListener(CameraListener* listener) {
    if (!listener || !LockListeners()) return;
    const bool known = std::any_of(listeners_.begin(), listeners_.end(), [&](CameraListener* l) {
        return l->listener_window() == listener->listener_window();
    });
    if (!known) listeners_.push_back(listener);
    UnlockListeners();
}

void CKestCamera::RemoveListener(CameraListener* listener) {
    if (!listener || !LockListeners()) return;
    std::erase_if(listeners_, [&](CameraListener* l) {
        return l == listener || l->listener_window() == listener->listener_window();
    });
    UnlockListeners();
}

bool CKestCamera::PostToListeners(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (!LockListeners()) return false;
    bool posted = false;
    for (CameraListener* l : listeners_) {
        if (platform::MessageWindow* w = l->listener_window()) {
            posted = w->Post(message, wparam, lparam) || posted;
        }
    }
    UnlockListeners();
    return posted;
}

void CKestCamera::ReportCameraState() {
    const StatusReport report =
        CompareCameraState(frame_state_, reported_, motion_flag_, reported_motion_flag_,
                           version_.version_number, version_.model_code, frame_counter_);
    for (size_t i = 0; i < report.count; ++i) {
        // A listener list that cannot be locked ends the report.
        if (!PostToListeners(kStatusMessage, report.items[i].kind, report.items[i].value)) return;
    }
}

void CKestCamera::ReportMpegMode() {
    PostToListeners(kStatusMessage, kStatusMpegMode, 0);
}

std::string CKestCamera::NormaliseAddress(const std::string& text) {
    // Digit runs fill four numbers; every other character ends one, and the
    // fourth separator ends the reading.
    long numbers[4] = {0, 0, 0, 0};
    size_t index = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            numbers[index] = std::min(numbers[index] * 10 + (c - '0'), 999999L);
        } else if (++index == 4) {
            break;
        }
    }
    return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
           std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
}

std::array<uint8_t, 8> CKestCamera::ParseQuantRow(const std::string& value) {
    std::array<uint8_t, 8> row;
    if (value.empty()) {
        row.fill(10);
        return row;
    }
    for (size_t i = 0; i < 8; ++i) {
        int number = 0;
        for (size_t k = 4 * i; k < 4 * i + 3 && k < value.size(); ++k) {
            if (!std::isdigit(static_cast<unsigned char>(value[k]))) break;
            number = number * 10 + (value[k] - '0');
        }
        row[i] = uint8_t(number);
    }
    return row;
}

void CKestCamera::ReadSettings() {
    const std::string path = protocol::SettingsFilePath();
    channel_.set_retry_window(
        protocol::ClampRetryWindow(platform::GetProfileInt(path, "udp", "retry", 0)));
    for (int table = 0; table < 2; ++table) {
        for (int row = 0; row < 8; ++row) {
            const std::string key =
                std::string(table == 0 ? "qtaby" : "qtabc") + std::to_string(row + 1);
            const auto values = ParseQuantRow(platform::GetProfileString(path, "jpeg", key, ""));
            std::copy(values.begin(), values.end(), quant_tables_.begin() + table * 64 + row * 8);
        }
    }
    frame_.quant_tables = quant_tables_.data();
    switch (platform::GetProfileInt(path, "jpeg", "scalef", 2)) {
        case 1:
            size_code_ = 0, scale_factor_ = 50.0f;
            break;
        case 2:
            size_code_ = 16, scale_factor_ = 25.0f;
            break;
        case 4:
            size_code_ = 32, scale_factor_ = 12.5f;
            break;
        case 8:
            size_code_ = 48, scale_factor_ = 6.25f;
            break;
        default:
            break;
    }
}

bool CKestCamera::AllocateReceiveBuffer() {
    frame_.Clear();
    receive_buffer_.reset(new (std::nothrow) uint8_t[kReceiveBufferSize]());
    frame_.buffer = receive_buffer_.get();
    return receive_buffer_ != nullptr;
}

void CKestCamera::Reseed() {
    sequence_seed_ = platform::TickCount() << 8;
    channel_.SeedSequence(sequence_seed_);
}

int32_t CKestCamera::OpenSession(const std::string& address_text, int32_t port) {
    if (session_open_.load()) return protocol::kSessionOpen;
    // A port that does not fit the socket address would silently go elsewhere.
    if (port < 0 || port > 65535) return protocol::kMissingArgument;

    address_text_ = NormaliseAddress(address_text);
    port_text_ = std::to_string(port);

    if (int32_t r = channel_.Open(address_text_, uint16_t(port)); r != 0) return r;

    if (!AllocateReceiveBuffer()) {
        channel_.Close();
        return protocol::kNoReceiveBuffer;
    }
    session_open_.store(true);
    Reseed();
    ReadSettings();
    reported_ = ReportedState{};

    if (int32_t r = protocol::scmd_nop(channel_); r < 0) {
        CloseSession();
        return r;
    }
    protocol::VersionInfo version;
    const int32_t v = protocol::scmd_get_version(channel_, version);
    if (v < 0) {
        CloseSession();
        return v;
    }
    version_ = version;

    const std::string path = protocol::SettingsFilePath();
    throughput_test_ = platform::GetProfileInt(path, "check", "speed", 0);
    return protocol::kDone;
}

int32_t CKestCamera::CloseSession() {
    if (!session_open_.load()) return protocol::kNoSession;
    RequestStop();
    while (WaitReceiveEnd() == 1)
        platform::SleepMs(1);
    multicast_.End();
    channel_.Close();
    receive_buffer_.reset();
    frame_.buffer = nullptr;
    session_open_.store(false);
    return protocol::kDone;
}

int32_t CKestCamera::scmd_nop() {
    return WithChannel([](protocol::CommandChannel& c) { return protocol::scmd_nop(c); });
}

int32_t CKestCamera::scmd_get_version(protocol::VersionInfo* info) {
    if (!session_open_.load()) return protocol::kNoSession;
    if (!info) return protocol::kMissingArgument;
    const int32_t v = protocol::scmd_get_version(channel_, *info);
    if (v >= 0) version_ = *info;
    return v;
}

int32_t CKestCamera::scmd_clear_start_flag() {
    return WithChannel([](protocol::CommandChannel& c) { return c.ClearStartFlag(); });
}

int32_t CKestCamera::scmd_get_multicast_mode(protocol::MulticastMode* mode) {
    if (!session_open_.load()) return protocol::kNoSession;
    if (!mode) return protocol::kMissingArgument;
    const int32_t r = protocol::scmd_get_multicast_mode(channel_, *mode);
    if (r == 0) {
        multicast_address_text_ = protocol::AddressBytesToText(mode->address.data());
        multicast_port_text_ = std::to_string(uint16_t(mode->port));
    }
    return r;
}

int32_t CKestCamera::OpenMulticastSession(platform::MessageWindow* window) {
    // The command session's camera is the one whose pushed frames count.
    uint32_t camera = 0;
    platform::ParseIpv4(address_text_, camera);
    if (const int32_t r =
            multicast_.Open(window, camera, multicast_address_text_, multicast_port_text_);
        r != 0) {
        return r;
    }
    if (!receive_buffer_ && !AllocateReceiveBuffer()) {
        multicast_.End();
        return protocol::kNoReceiveBuffer;
    }
    Reseed();
    ReadSettings();
    return protocol::kDone;
}

bool CKestCamera::WatchMulticastSocket() {
    if (multicast_.Watch()) return true;
    multicast_.End();
    return false;
}

bool CKestCamera::LockPresentation(int mode) {
    if (!presentation_lock_) return false;
    if (mode == 1) return presentation_lock_->Wait(kPresentationWaitMs);
    if (mode == 2) presentation_lock_->Release();
    return true;
}

size_t CKestCamera::CompleteFrame(const uint8_t* header, size_t header_length, size_t data_length) {
    if (!frame_.buffer) return 0;
    // Models 11, 13 and 20 send their own header; for the others one is built
    // from the frame's first packet. A frame that does not fit is dropped.
    FrameHeaderInput in;
    in.model_code = model_code();
    in.width = frame_state_.width;
    in.height = frame_state_.height;
    in.sampling = frame_state_.sampling;
    in.reverse = frame_.reverse;
    in.quality_level = frame_state_.quality;
    in.scale_factor = scale_factor_;
    in.camera_header = {header, header_length};
    return kest::CompleteFrame({frame_.buffer, kReceiveBufferSize}, data_length, in);
}

bool CKestCamera::DeliverFrame(PresentationWait wait) {
    if (frame_.length == 0 || frame_.frame_number == last_delivered_frame_ ||
        frame_.receiving.load()) {
        return true;
    }
    // A frame the host cannot take yet is not even decoded.
    if (wait == PresentationWait::kTry && (!presentation_lock_ || !presentation_lock_->Wait(0))) {
        return true;
    }
    const size_t length = size_t(frame_.length);
    int32_t width = 0, height = 0;
    if (DecodePicture(frame_.buffer, length, &width, &height) == Decode::kTooLarge) {
        if (wait == PresentationWait::kTry) LockPresentation(2);
        return false;
    }
    frame_.frame_count++;
    frame_.busy.store(1);
    // The motion fields of the frame itself, so the state reported after it
    // is its own; the lattices drawn are read again when it is rendered.
    const int32_t model = model_code();
    if (model == 11 || model == 20) {
        ParseFrameComment({frame_.buffer, length}, &motion_flag_, &motion_lattices_);
    }
    if (wait == PresentationWait::kWait) {
        LockPresentation(0);
        LockPresentation(1);  // reception goes on even when the wait times out
    }
    PresentFrame(frame_.buffer, length);
    if (!PostToListeners(kNewImageMessage, 0, reinterpret_cast<intptr_t>(this))) {
        LockPresentation(2);
        frame_.busy.store(0);
        return true;
    }
    last_delivered_frame_ = frame_.frame_number;
    frame_.busy.store(0);
    return true;
}

void CKestCamera::ReportReceiveEnd() {
    downloading_.store(false);
    if (!LockListeners()) return;
    const int16_t code = EndCode(receiver_.result(), receiver_.stop_requested());
    for (CameraListener* l : listeners_) {
        if (platform::MessageWindow* w = l->listener_window()) {
            w->Post(kStatusMessage, kStatusEndDownloading, code);
        }
    }
    UnlockListeners();
}

}  // namespace kest
