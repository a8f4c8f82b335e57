#include "control/facade/ctrl.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "control/stream/picdec_binding.h"
#include "control/stream/rtp_receiver.h"
#include "control/stream/rtsp_client.h"
#include "control/stream/window_messages.h"
#include "platform/files.h"
#include "platform/ticks.h"

namespace kest {

namespace {

constexpr const char* kAboutText =
    "kest camera control, version 1.0\nLive pictures, recording and settings for networked "
    "cameras.";

// Property-bag values: booleans as -1/0 (also 1, True, False), integers in decimal.
bool ParseBool(const std::string& text, bool& out) {
    if (text == "-1" || text == "1" || strcasecmp(text.c_str(), "true") == 0) {
        out = true;
    } else if (text == "0" || strcasecmp(text.c_str(), "false") == 0) {
        out = false;
    } else {
        return false;
    }
    return true;
}

bool ParseLong(const std::string& text, int32_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    out = int32_t(v);
    return true;
}

// One property of the exchange: saving writes it, loading reads it or, when
// the bag lacks it, takes the default. False on a value that does not parse.
class Exchange {
  public:
    Exchange(PropertyBag& bag, bool loading) : bag_(bag), loading_(loading) {}

    bool Bool(const char* name, bool& value, bool fallback) {
        if (!loading_) return bag_.Write(name, value ? "-1" : "0"), true;
        std::string text;
        if (!bag_.Read(name, text)) return value = fallback, true;
        return ParseBool(text, value);
    }
    bool Long(const char* name, int32_t& value, int32_t fallback) {
        if (!loading_) return bag_.Write(name, std::to_string(value)), true;
        std::string text;
        if (!bag_.Read(name, text)) return value = fallback, true;
        return ParseLong(text, value);
    }
    bool String(const char* name, std::string& value, const std::string& fallback) {
        if (!loading_) return bag_.Write(name, value), true;
        if (!bag_.Read(name, value)) value = fallback;
        return true;
    }

  private:
    PropertyBag& bag_;
    bool loading_;
};

constexpr int32_t kPropertyVersion = 0x10000;  // 1.0: major in the high word

}  // namespace

CKestCtrl::CKestCtrl() {
    MakeInstanceName();
    camera_ = std::make_unique<CKestCamera>(instance_name_);
    rtsp_ = std::make_unique<CRtspClient>(instance_name_);
    rtp_ = std::make_unique<CRtpReceiver>(instance_name_);
    camera_->AddListener(this);
    rtsp_->AddListener(this);
    rtp_->AddListener(this);
    camera_->set_reply_wait(uint32_t(timeout_));
    rtsp_->set_timeout(timeout_);
    InitRecordPlay();
    SetStillDecoder(DecodeStillPicture);
}

CKestCtrl::~CKestCtrl() {
    record_play_.reset();  // a running recording is stopped with its header completed
    if (!temp_file_path_.empty()) unlink(temp_file_path_.c_str());
    if (camera_) {
        camera_->CloseSession();
        camera_->LockPresentation(2);
        camera_->RemoveListener(this);
        camera_.reset();
    }
    CloseAlarmSocket();
    // The receiver stops and joins its thread before it goes.
    rtsp_.reset();
    rtp_.reset();
    window_.reset();
}

void CKestCtrl::MakeInstanceName() {
    // A temporary file makes the name unique on the machine: its title is the
    // name, and it exists as long as the control does.
    if (auto path = platform::MakeTempFile("KX9")) {
        temp_file_path_ = *path;
        instance_name_ = platform::FileTitle(*path);
    }
    if (instance_name_.empty()) {
        temp_file_path_.clear();
        instance_name_ = "KX9" + std::to_string(platform::TickCount());
    }
}

void CKestCtrl::AttachWindow(std::unique_ptr<platform::MessageWindow> window) {
    if (camera_) camera_->RemoveListener(this);
    CloseAlarmSocket();
    // Push mode goes on in the new window: its socket and its check move
    // there before the old window goes.
    const bool pushing = camera_ && camera_->multicast().active();
    if (camera_) camera_->MoveMulticastWindow(window.get());
    window_ = std::move(window);
    if (pushing && window_) window_->SetTimer(kMulticastCheckTimer, kMulticastCheckMs);
    // A picture handed over to the old window is gone with it: the camera
    // must not wait for its release.
    if (camera_) camera_->LockPresentation(2);
    if (camera_) camera_->AddListener(this);
    ShowLoadMessages();
    // A window of its own: the control can now receive alarms.
    if (window_) OpenAlarmSocket();
}

void CKestCtrl::SetHostUi(platform::HostUi* ui) {
    host_ui_ = ui;
    ShowLoadMessages();
}

void CKestCtrl::ShowLoadMessages() {
    // What went wrong while the library was loaded is shown once, by the
    // first control whose host gives it dialogs or a window.
    for (const LoadMessage& m : TakeLoadMessages())
        host_ui().MessageBox(m.text, m.caption, platform::HostUi::Buttons::kOk);
}

platform::HostUi& CKestCtrl::host_ui() const {
    return host_ui_ ? *host_ui_ : platform::DefaultHostUi();
}

void CKestCtrl::Advise(_DKestEvents* sink) {
    if (sink && std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end()) {
        sinks_.push_back(sink);
    }
}

void CKestCtrl::Unadvise(_DKestEvents* sink) {
    std::erase(sinks_, sink);
}

void CKestCtrl::FireEvent(EventId id, std::initializer_list<Variant> args) {
    const MemberInfo* event = FindMember(int32_t(id), MemberKind::kEvent);
    if (!event) return;
    // A sink may unadvise itself while handling the event.
    const std::vector<_DKestEvents*> sinks = sinks_;
    for (_DKestEvents* sink : sinks)
        sink->OnEvent(*event, std::span(args.begin(), args.size()));
}

void CKestCtrl::SetTimeout(int32_t ms) {
    timeout_ = ms;
    if (camera_) camera_->set_reply_wait(uint32_t(ms));
    if (rtsp_) rtsp_->set_timeout(ms);
    modified_ = true;
}

void CKestCtrl::SetPassword(const std::string& text) {
    password_ = text;
    if (camera_) camera_->SetPassword(text);
    if (rtsp_) rtsp_->SetPassword(text);
    modified_ = true;
}

void CKestCtrl::LoadProperties(PropertyBag& bag) {
    Exchange px(bag, true);
    int32_t version = kPropertyVersion;
    px.Long("_Version", version, kPropertyVersion);
    // Two guarded groups: a bad value ends its group; one in the first group
    // skips the second, whose properties keep the defaults.
    if (!(px.Bool("Visible", visible_, true) && px.Bool("Stretch", stretch_, false))) return;
    int32_t timeout = timeout_;
    const bool ok = px.Long("Timeout", timeout, 500);
    if (ok) SetTimeout(timeout);
    ok&& px.Bool("UpsideDown", upside_down_, false) &&
        px.Long("LocalFrameRate", local_frame_rate_, 0) &&
        px.String("RemoteIPAddress", remote_ip_address_, "") &&
        px.Long("CameraPort", camera_port_, 4000) && px.Long("RtspPort", rtsp_port_, 554) &&
        px.Long("RtpRecvPort", rtp_recv_port_, 6970);
}

void CKestCtrl::SaveProperties(PropertyBag& bag) {
    Exchange px(bag, false);
    int32_t version = kPropertyVersion;
    px.Long("_Version", version, kPropertyVersion);
    px.Bool("Visible", visible_, true);
    px.Bool("Stretch", stretch_, false);
    px.Long("Timeout", timeout_, 500);
    px.Bool("UpsideDown", upside_down_, false);
    px.Long("LocalFrameRate", local_frame_rate_, 0);
    px.String("RemoteIPAddress", remote_ip_address_, "");
    px.Long("CameraPort", camera_port_, 4000);
    px.Long("RtspPort", rtsp_port_, 554);
    px.Long("RtpRecvPort", rtp_recv_port_, 6970);
}

DispError CKestCtrl::Invoke(int32_t dispid, std::span<Variant> args, int16_t* result) {
    const MemberInfo* m = FindMember(dispid, MemberKind::kMethod);
    if (!m || !m->invoke) return DispError::kMemberNotFound;
    int16_t r = 0;
    const DispError e = m->invoke(*this, args, r);
    if (e == DispError::kOk && result) *result = r;
    return e;
}

DispError CKestCtrl::Invoke(std::string_view name, std::span<Variant> args, int16_t* result) {
    const MemberInfo* m = FindMember(name, MemberKind::kMethod);
    return m ? Invoke(m->dispid, args, result) : DispError::kMemberNotFound;
}

DispError CKestCtrl::GetProperty(int32_t dispid, Variant& value) const {
    const MemberInfo* m = FindMember(dispid, MemberKind::kProperty);
    if (!m) return DispError::kMemberNotFound;
    if (!m->get) return DispError::kGetNotSupported;
    value = m->get(*this);
    return DispError::kOk;
}

DispError CKestCtrl::GetProperty(std::string_view name, Variant& value) const {
    const MemberInfo* m = FindMember(name, MemberKind::kProperty);
    return m ? GetProperty(m->dispid, value) : DispError::kMemberNotFound;
}

DispError CKestCtrl::PutProperty(int32_t dispid, const Variant& value) {
    const MemberInfo* m = FindMember(dispid, MemberKind::kProperty);
    if (!m) return DispError::kMemberNotFound;
    if (!m->put) return DispError::kPutNotSupported;
    return m->put(*this, value);
}

DispError CKestCtrl::PutProperty(std::string_view name, const Variant& value) {
    const MemberInfo* m = FindMember(name, MemberKind::kProperty);
    return m ? PutProperty(m->dispid, value) : DispError::kMemberNotFound;
}

int16_t CKestCtrl::GetVersion(int16_t& TypeNumber, int16_t& ProgramVersion) {
    return WithSession([&](CKestCamera& camera) -> int16_t {
        TypeNumber = int16_t(camera.model_code());
        ProgramVersion = int16_t(camera.second_version());
        return kResultOk;
    });
}

void CKestCtrl::AboutBox() {
    host_ui().AboutBox(kAboutText);
}

intptr_t CKestCtrl::OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    switch (message) {
        case kNewImageMessage:
            HandleNewImage();
            return 0;
        case kStatusMessage:
            HandleStatus(uint32_t(wparam), lparam);
            return 0;
        case kRecordingStoppedMessage:
            FireEvent(EventId::StopRec,
                      {Variant::I4(int32_t(wparam)), Variant::I4(int32_t(lparam))});
            return 0;
        case kDiskWarningMessage:
            return 0;
        case kAlarmSocketMessage:
            HandleAlarmSocket();
            return 0;
        case kMulticastSocketMessage:
            if (camera_) camera_->OnMulticastDatagram(int(wparam));
            return 1;
        default:
            return 0;
    }
}

void CKestCtrl::OnTimer(uint32_t timer_id) {
    if (timer_id == kMulticastCheckTimer) CheckMulticast();
}

void CKestCtrl::HandleNewImage() {
    if (!camera_) return;
    camera_->RenderFrame();  // into the frame surface, with the overlays
    FireEvent(EventId::NewImage, {});
    RecordNewImage();
    // The receive thread presents the next picture only after this release.
    camera_->LockPresentation(2);
    if (window_) window_->Invalidate();
}

void CKestCtrl::HandleStatus(uint32_t kind, intptr_t value) {
    const auto v16 = [value] { return Variant::I2(int16_t(value)); };
    switch (kind) {
        case 0:
            FireEvent(EventId::MpegMode, {});
            break;
        case 1: {
            int16_t w = 320, h = 240, code = 1;
            if (value == 2) {
                w = 160, h = 120, code = 0;
            } else if (value == 0) {
                w = 640, h = 480, code = 2;
            }
            if (camera_) {
                camera_->set_frame_size_code(code);
                camera_->ResizeFrameSurface(int32_t(value));  // the surface first
            }
            FireEvent(EventId::ChangeFrameSize, {Variant::I2(w), Variant::I2(h)});
            break;
        }
        case 2:
            FireEvent(EventId::ChangeQuality, {Variant::I2(int16_t(value + 1))});
            break;
        case 3:
            FireEvent(EventId::ChangeUpsideDown, {v16()});
            break;
        case 4:
            FireEvent(EventId::ChangeMotorMoving, {v16()});
            break;
        case 5:
            FireEvent(EventId::ChangePanTilt, {Variant::I2(int16_t(uint32_t(value) >> 16)),
                                               Variant::I2(int16_t(uint32_t(value) & 0xFFFF))});
            break;
        case 6:
            FireEvent(EventId::ChangePanLimit, {v16()});
            break;
        case 7:
            FireEvent(EventId::ChangeTiltLimit, {v16()});
            break;
        case 8:
            FireEvent(EventId::ChangeZoomPosition, {v16()});
            break;
        case 9:
            FireEvent(EventId::ChangeInitialMoving, {v16()});
            break;
        case 10:
            FireEvent(EventId::EndDownloading, {v16()});
            break;
        case 11:
            FireEvent(EventId::ChangeMotionDetection, {v16()});
            break;
        default:
            break;  // kinds above 11 are ignored
    }
}

std::unique_ptr<ComObject> CreateObject(std::string_view prog_id) {
    if (strncasecmp(prog_id.data(), CKestCtrl::kProgId.data(), prog_id.size()) == 0 &&
        prog_id.size() == CKestCtrl::kProgId.size()) {
        return std::make_unique<CKestCtrl>();
    }
    if (strncasecmp(prog_id.data(), CKestPropPage::kProgId.data(), prog_id.size()) == 0 &&
        prog_id.size() == CKestPropPage::kProgId.size()) {
        return std::make_unique<CKestPropPage>();
    }
    return nullptr;
}

}  // namespace kest
