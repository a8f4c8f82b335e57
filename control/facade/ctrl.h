// CKestCtrl: the control a host program sees. One instance serves one camera.
//
// The host calls properties and methods, and receives events, on the thread
// that owns the control's window. Background threads never call the control:
// they post messages to its window, which turns them into events.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/facade/property_bag.h"
#include "control/facade/typelib.h"
#include "control/facade/variant.h"
#include "control/stream/camera.h"
#include "control/stream/record_play.h"
#include "platform/host_ui.h"
#include "platform/message_window.h"

namespace kest {

// What the factory hands out: the control or its property page.
class ComObject {
  public:
    virtual ~ComObject() = default;
    virtual std::string_view ProgId() const = 0;
};

// The event interface a host attaches. Events arrive on the host's thread.
class _DKestEvents {
  public:
    virtual ~_DKestEvents() = default;
    virtual void OnEvent(const MemberInfo& event, std::span<const Variant> args) = 0;
};

// Method result codes that every control method returns.
enum MethodResult : int16_t {
    kResultOk = 0,
    kResultCannotOpen = 1,
    kResultRefused = 2,
    kResultAlarmStatus2 = 3,
    kResultFileFailed = 4,
    kResultFailed = 5,
    kResultStatus = 6,
    kResultNoAddress = 7,
    kResultNotThisType = 8,
    kResultBusy = 9,
    kResultAlarmOut2 = 10,
    kResultBadArgument = 100,
    kResultBadFirst = 101,
    kResultBadSecond = 102,
    kResultBadThird = 103,
};

class CKestCtrl final : public ComObject, public CameraListener, public platform::MessageHandler {
  public:
    static constexpr std::string_view kProgId = "KEST.KestCtrl.1";

    CKestCtrl();
    ~CKestCtrl() override;
    CKestCtrl(const CKestCtrl&) = delete;
    CKestCtrl& operator=(const CKestCtrl&) = delete;

    std::string_view ProgId() const override { return kProgId; }

    // The host gives the control its window (the window's messages must go to
    // this control) and may install its own dialogs.
    void AttachWindow(std::unique_ptr<platform::MessageWindow> window);
    platform::MessageWindow* window() const { return window_.get(); }
    void SetHostUi(platform::HostUi* ui);
    platform::HostUi& host_ui() const;

    void Advise(_DKestEvents* sink);
    void Unadvise(_DKestEvents* sink);

    // Dispatch by DISPID or case-insensitive name.
    DispError Invoke(int32_t dispid, std::span<Variant> args, int16_t* result);
    DispError Invoke(std::string_view name, std::span<Variant> args, int16_t* result);
    DispError GetProperty(int32_t dispid, Variant& value) const;
    DispError GetProperty(std::string_view name, Variant& value) const;
    DispError PutProperty(int32_t dispid, const Variant& value);
    DispError PutProperty(std::string_view name, const Variant& value);

    // Property exchange with a property bag (version 1.0).
    void LoadProperties(PropertyBag& bag);
    void SaveProperties(PropertyBag& bag);

    // Properties.
    bool Visible() const { return visible_; }
    void SetVisible(bool v) { visible_ = v, modified_ = true; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v) { stretch_ = v, modified_ = true; }
    int32_t Timeout() const { return timeout_; }
    void SetTimeout(int32_t ms);
    bool UpsideDown() const { return upside_down_; }
    void SetUpsideDown(bool v) { upside_down_ = v, modified_ = true; }
    int32_t LocalFrameRate() const { return local_frame_rate_; }
    void SetLocalFrameRate(int32_t v) { local_frame_rate_ = v, modified_ = true; }
    int32_t CameraPort() const { return camera_port_; }
    void SetCameraPort(int32_t v) { camera_port_ = v, modified_ = true; }
    const std::string& RemoteIPAddress() const { return remote_ip_address_; }
    void SetRemoteIPAddress(const std::string& v) { remote_ip_address_ = v, modified_ = true; }
    void SetPassword(const std::string& text);
    int32_t RtspPort() const { return rtsp_port_; }
    void SetRtspPort(int32_t v) { rtsp_port_ = v, modified_ = true; }
    int32_t RtpRecvPort() const { return rtp_recv_port_; }
    void SetRtpRecvPort(int32_t v) { rtp_recv_port_ = v, modified_ = true; }

    // Methods (DISPIDs in the type library), one block per family. Each family
    // implements its block in methods_<family>.cpp and lists its rows in
    // rows_<family>.cpp.

    // Session and about box (ctrl.cpp).
    int16_t GetVersion(int16_t& TypeNumber, int16_t& ProgramVersion);
    void AboutBox();

    // Imaging, motors, lens, motion detection, camera files (methods_imaging.cpp).

    // Identity, network, passwords, camera services (methods_services.cpp).

    // Picture stream, time stamp and lattice (methods_stream.cpp).

    // Local recording and playback (methods_recording.cpp).
    int16_t SaveImage(const std::string& Filename);
    int16_t StartRec(const std::string& FolderName);
    int16_t StopRec();
    int16_t DeleteRec(const std::string& Filename);
    int16_t InitPlayRec(const std::string& Filename, int32_t& DataCount);
    int16_t MakeFirstPlayInfo();
    int16_t MakeNextPlayInfo();
    int16_t MakeJpegTmpfile(std::string& Filename, int32_t Index, std::string& DateTime);
    int16_t QuitPlayRec();
    int16_t ShowJpegFile(const std::string& Filename, int16_t NoTimeStamp);
    // Painting draws a red "REC" while this is true.
    bool recording() const { return recording_ != nullptr; }
    RecordPlayManager& record_play() { return *record_play_; }
    const std::vector<PlayInfo>& play_info() const { return play_info_; }
    const StillPicture& still_picture() const { return still_; }
    // The rendering decodes still pictures through the decoder plug-in.
    void SetStillDecoder(StillDecoder decoder) { still_decoder_ = std::move(decoder); }

    // MPEG-4 streaming (methods_rtsp.cpp).

    // Search and alarms (methods_discovery.cpp).

    // State for hosts and tests.
    const std::string& instance_name() const { return instance_name_; }
    const std::string& temp_file_path() const { return temp_file_path_; }
    bool modified() const { return modified_; }
    CKestCamera* camera() const { return camera_.get(); }

    // Window messages and timers, on the window's thread.
    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    void OnTimer(uint32_t timer_id) override;
    platform::MessageWindow* listener_window() override { return window_.get(); }

    void FireEvent(int32_t dispid, std::initializer_list<Variant> args);

  private:
    // The call convention of camera methods: 5 without camera object, 7
    // without address, 1 when no session opens; the session opened for the
    // call is closed again, a running one is used and kept.
    template <typename Op>
    int16_t WithSession(Op&& op);

    void MakeInstanceName();
    void HandleStatus(uint32_t kind, intptr_t value);
    void HandleNewImage();
    void InitRecordPlay();  // methods_recording.cpp
    void RecordNewImage();

    // Properties, in declaration order.
    bool visible_ = true;
    bool stretch_ = false;
    int32_t timeout_ = 500;
    bool upside_down_ = false;
    int32_t local_frame_rate_ = 0;
    int32_t camera_port_ = 4000;
    int32_t rtsp_port_ = 554;
    int32_t rtp_recv_port_ = 6970;
    std::unique_ptr<CKestCamera> camera_;
    std::string remote_ip_address_;
    std::string password_;
    std::string temp_file_path_;
    std::string instance_name_;
    bool modified_ = false;

    // State of the families of methods.

    // Local recording and playback.
    std::unique_ptr<RecordPlayManager> record_play_;
    RecFileWriter* recording_ = nullptr;
    RecFileReader* playback_ = nullptr;
    std::vector<PlayInfo> play_info_;
    std::vector<uint8_t> current_picture_;  // the last presented picture, for SaveImage
    StillPicture still_;
    StillDecoder still_decoder_;

    std::unique_ptr<platform::MessageWindow> window_;
    platform::HostUi* host_ui_ = nullptr;
    std::vector<_DKestEvents*> sinks_;
};

template <typename Op>
int16_t CKestCtrl::WithSession(Op&& op) {
    if (!camera_) return kResultFailed;
    if (remote_ip_address_.empty()) return kResultNoAddress;
    const int32_t open = camera_->OpenSession(remote_ip_address_, camera_port_);
    if (open != 0 && open != protocol::kSessionOpen) return kResultCannotOpen;
    const int16_t result = op(*camera_);
    if (open == 0) camera_->CloseSession();
    return result;
}

// The control's empty property page.
class CKestPropPage final : public ComObject {
  public:
    static constexpr std::string_view kProgId = "KEST.PropPage.1";
    std::string_view ProgId() const override { return kProgId; }
};

// Creates an object by program identifier; null when the identifier is unknown.
std::unique_ptr<ComObject> CreateObject(std::string_view prog_id);

}  // namespace kest
