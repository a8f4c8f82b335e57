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

#include "control/facade/events.h"
#include "control/facade/property_bag.h"
#include "control/facade/typelib.h"
#include "control/facade/variant.h"
#include "control/stream/camera.h"
#include "control/stream/record_play.h"
#include "platform/host_ui.h"
#include "platform/message_window.h"
#include "platform/surface.h"
#include "platform/udp_socket.h"

namespace kest {

class CRtspClient;
class CRtpReceiver;

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
    // Write-only for dispatch; a host that makes a second control for the
    // same camera copies it from here.
    const std::string& Password() const { return password_; }
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
    int16_t SetCameraFrameRate(int16_t Rate);
    int16_t GetCameraFrameRate(int16_t& Rate);
    int16_t GetMotorPos(int16_t& Pan, int16_t& Tilt);
    int16_t MoveMotorPos(int16_t Pan, int16_t Tilt, int16_t Speed);
    int16_t SetFrameSize(int16_t HSize, int16_t VSize);
    int16_t GetFrameSize(int16_t& HSize, int16_t& VSize);
    int16_t GetZoomPositon(int16_t& ZoomPos);
    int16_t SetZoomPosition(int16_t ZoomPos, int16_t Speed);
    int16_t GetFocusPosition(int16_t& Mode, int16_t& Level);
    int16_t SetFocusPosition(int16_t Mode, int16_t ManualLevel);
    int16_t GetIrisLevel(int16_t& Mode, int16_t& AutoLevel, int16_t& ManualLevel);
    int16_t SetIrisLevel(int16_t Mode, int16_t AutoLevel, int16_t ManualLevel);
    int16_t GetCameraUpsideDown(bool& UpsideDown);
    int16_t SetCameraUpsideDown(bool UpsideDown);
    int16_t SetMotorTableEntry(int16_t Index);
    int16_t MoveMotorTable(int16_t Index);
    // The relay output of early models: kept for callers, does nothing.
    int16_t SwitchRelayOn(int16_t RelayNumber);
    int16_t GetCompressionRate(int16_t& CompressionRate);
    int16_t SetCompressionRate(int16_t CompressionRate);
    int16_t GetCameraInformation(int16_t Register, int16_t& Data);
    int16_t SetCameraInformation(int16_t Register, int16_t Data);
    int16_t GetLocalFilelist(int32_t& FileCount, const std::string& FilePass, int16_t BurstCount,
                             int16_t BurstInterval);
    int16_t GetLocalRecFile(const std::string& Filename, int16_t BurstCount, int16_t BurstInterval,
                            int32_t FileGetTimeOut);
    int16_t SetMotionDetectInformation(int16_t MotionDetect, int16_t UpdateSec, int16_t DetectSec,
                                       int16_t Mask);
    int16_t GetMotionDetectInformation(int16_t& MotionDetect, int16_t& UpdateSec,
                                       int16_t& DetectSec, int16_t& Mask);
    int16_t SetAreaDetailInformation(int16_t y, int16_t Percent, int16_t DiffAverage);
    int16_t GetAreaDetailInformation(int16_t& y, int16_t& Percent, int16_t& DiffAverage);
    int16_t UpdateMotionDetectBase();
    int16_t SetSingleAreaInformation(int16_t Count, int16_t Enable);
    int16_t SetAreaInformation(BufferRef Area);
    int16_t GetAreaInformation(BufferRef Area);
    int16_t GetMotorTableEntry(BufferRef MotorTable);
    int16_t GetExMotorTableEntry(BufferRef MotorTable);
    int16_t SetMotionDetectAction(int16_t AlarmOut, int16_t Position, int16_t StartFTP);
    int16_t GetMotionDetectAction(int16_t& AlarmOut, int16_t& Position, int16_t& StartFTP);
    int16_t SetCCDDefault();
    int16_t GetMotorPosPulse(int16_t& Pan, int16_t& Tilt);
    int16_t MoveMotorPosPulse(int16_t Pan, int16_t Tilt, int16_t Speed);
    int16_t SetMotorTable(BufferRef MotorTable);
    int16_t SetExMotorTable(BufferRef MotorTable);
    int16_t GetImageMode(int16_t& Mode);
    int16_t SaveReferenceImage(const std::string& Filename);
    int16_t SetImageMode(int16_t Mode);
    // Pages received of the page count during GetLocalFilelist,
    // GetLocalRecFile and SaveReferenceImage, on the caller's thread.
    void SetTransferProgress(protocol::TransferProgress progress) {
        transfer_progress_ = std::move(progress);
    }

    // Identity, network, passwords, camera services (methods_services.cpp).
    // Address parameters are host buffers laid out as the command's fields; a
    // buffer shorter than its layout gives 100 without traffic.
    int16_t GetMacAddress(std::string& MacAddress);
    int16_t StartLocalRec();
    int16_t StopLocalRec();
    int16_t DeleteLocalRecFile(const std::string& Filename);
    int16_t DeleteLocalRecFileAll();
    int16_t GetLocalRecStatus(int16_t& Status1, int16_t& Status2, std::string& Filename,
                              BufferRef DateTime);
    int16_t GetLocalRecInformation(BufferRef Trigger, BufferRef AlarmRec, BufferRef TimerRec,
                                   BufferRef ChangeFps, BufferRef CFFull, BufferRef TimeLapse);
    int16_t SetLocalRecInformation(BufferRef Trigger, BufferRef AlarmRec, BufferRef TimerRec,
                                   BufferRef ChangeFps, BufferRef CFFull, BufferRef TimeLapse);
    int16_t SetCurrentDatetime(int16_t NTP, BufferRef NTPSetting, BufferRef DateTime);
    int16_t GetCurrentDateTime(int16_t& NTP, BufferRef NTPSetting, BufferRef DateTime);
    int16_t GetCFInformaiton(int16_t& Count, BufferRef CF1, BufferRef CF2);
    int16_t SetNewIPAddress(const std::string& NewIPAddress);
    int16_t GetSubnetMask(std::string& SubnetMask);
    int16_t SetSubnetMask(const std::string& SubnetMask);
    int16_t GetDefaultGateway(std::string& DefaultGateway);
    int16_t SetDefaultGateway(const std::string& DefaultGateway);
    int16_t GetCameraID(std::string& CameraID);
    int16_t SetCameraID(const std::string& CameraID);
    int16_t GetPasswordEnable(int16_t Level, int16_t& Enable);
    int16_t SetPasswordEnable(int16_t Level, int16_t Enable, const std::string& Password);
    int16_t CheckPassword(int16_t Level, const std::string& Password);
    int16_t SetControlPortConfig(int16_t PortNo, int16_t DeviceType, BufferRef PortSetting);
    int16_t GetControlPortConfig(int16_t PortNo, int16_t& DeviceType, BufferRef PortSetting);
    int16_t SetControlPortMode(int16_t Command, int16_t PortNo1, int16_t PortNo2);
    int16_t GetControlPortMode(int16_t PortNo, int16_t& PortStatus);
    int16_t PassThroughCommand(int16_t PortNo, int16_t NoOfCommand, BufferRef SendCommand,
                               int16_t SendCommandSize, BufferRef AckCommand,
                               int16_t& AckCommandSize, int32_t Timeout);
    int16_t SetFTPInit(int16_t Enable, int16_t ServerPort, BufferRef IPAddress,
                       BufferRef FTPSetting);
    int16_t GetFTPInit(int16_t& Enable, int16_t& ServerPort, BufferRef IPAddress,
                       BufferRef FTPSetting);
    int16_t ResetCamera();
    int16_t GetMulticastMode(int16_t& Mode, BufferRef MulticastIPAddress, int16_t& BurstCount,
                             int16_t& BurstInterval, int16_t& MulitcastPort, int16_t& TTL);
    int16_t SetMulticastMode(int16_t Mode, BufferRef MulticastIPAddress, int16_t BurstCount,
                             int16_t BurstInterval, int16_t MulticastPort, int16_t TTL);
    int16_t SetFTPServerEnable(int16_t Status);
    int16_t GetFTPSeverEnable(int16_t& Status);
    int16_t SetHTTPDefaultPage(const std::string& Filename);
    int16_t GetHTTPDefaultPage(BufferRef Filename);
    int16_t SetHTTPGeneralSetting(int16_t SubCommand, int16_t Value);
    int16_t GetHTTPGeneralSetting(int16_t SubCommand, int16_t& Value);
    int16_t GetIPAddress(std::string& IPAddress);
    int16_t SetDHCP(int16_t Enabled);
    int16_t GetDHCP(int16_t& Enabled, int16_t& Status, BufferRef IPAddress, int32_t& LeaseObtained,
                    int32_t& LeaseExpires);
    int16_t SetMPEG4Parameter(int16_t FramerateMode, int16_t Bitrate);
    int16_t GetMPEG4Parameter(int16_t& FramerateMode, int16_t& Bitrate);
    int16_t SetHTTPPort(int16_t PortNo);
    int16_t GetHTTPPort(int16_t& PortNo);

    // Picture stream, time stamp and lattice (methods_download.cpp, methods_stream.cpp).
    int16_t StartDownloading();
    int16_t StopDownloading();
    int16_t SetTimeStamp(bool Enable, int16_t TextRed, int16_t TextGreen, int16_t TextBlue,
                         int16_t BackRed, int16_t BackGreen, int16_t BackBlue, int16_t Style,
                         int16_t BackMode, int16_t x, int16_t y);
    int16_t GetTimeStamp(bool& Enable, int16_t& TextRed, int16_t& TextGreen, int16_t& TextBlue,
                         int16_t& BackRed, int16_t& BackGreen, int16_t& BackBlue, int16_t& Style,
                         int16_t& BackMode, int16_t& x, int16_t& y);
    int16_t SetTimeStampFont();
    int16_t GetTimeStampFont(BufferRef Logfont);
    int16_t DisplayMotionDetection(int16_t Enable, int16_t LatticeR, int16_t LatticeG,
                                   int16_t LatticeB, int16_t SettingR, int16_t SettingG,
                                   int16_t SettingB, int16_t DetectionR, int16_t DetectionG,
                                   int16_t DetectionB);

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
    int16_t StartStreaming();
    int16_t StopStreaming();
    CRtspClient* rtsp_client() const { return rtsp_.get(); }
    CRtpReceiver* rtp_receiver() const { return rtp_.get(); }
    const std::string& rtsp_session() const { return rtsp_session_; }

    // Search and alarms (methods_discovery.cpp).
    int16_t SearchPALOMIR(BufferRef IPList, int16_t BufferSize, int16_t& Number, int16_t Timeout);
    int16_t SearchMulticastIP(BufferRef IPList, int16_t BufferSize, int16_t& Number,
                              int16_t Timeout);
    int16_t AlarmRegister();
    int16_t AlarmDeregister();
    int16_t AlarmOut(int16_t Flag);
    int16_t AlarmSetCount(int16_t Count);
    int16_t AlarmGetCount(int16_t& Count);
    int16_t AlarmSetInit(BufferRef AlarmSetting);
    int16_t AlarmGetInit(BufferRef AlarmSetting);
    int16_t AlarmGetList(int16_t& Count, BufferRef AlarmList, int16_t Size);
    int16_t AlarmDeregisterIndirect(BufferRef IPAddress, int16_t Port);
    // The local port of the alarm socket; 0 when there is none.
    uint16_t alarm_port() const { return alarm_port_; }

    // State for hosts and tests.
    const std::string& instance_name() const { return instance_name_; }
    const std::string& temp_file_path() const { return temp_file_path_; }
    bool modified() const { return modified_; }
    CKestCamera* camera() const { return camera_.get(); }

    // Paints the control into target within bounds: the camera's current
    // picture at its display size, stretched to the bounds or at the top-left
    // with the face colour right of and below it. Host's thread.
    void Draw(platform::Surface& target, const platform::Rect& bounds, platform::Rgb face);

    // Window messages and timers, on the window's thread.
    intptr_t OnMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
    void OnTimer(uint32_t timer_id) override;
    platform::MessageWindow* listener_window() override { return window_.get(); }

    void FireEvent(EventId id, std::initializer_list<Variant> args);
    // The periodic push-mode check: the camera still pushes to the session's
    // group and port, or push mode ends with EndDownloading.
    void CheckMulticast();

  private:
    // The first (or next) record of the playback into the play list; at the
    // end or a damaged record the playback is closed.
    int16_t AppendPlayInfo(bool first);
    // The call convention of camera methods: 5 without camera object, 7
    // without address, 1 when no session opens; the session opened for the
    // call is closed again, a running one is used and kept.
    template <typename Op>
    int16_t WithSession(Op&& op);

    void MakeInstanceName();
    void ShowLoadMessages();
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
    protocol::TransferProgress transfer_progress_;  // imaging

    // The alarm socket lives from window creation to window destruction.
    void OpenAlarmSocket();
    void CloseAlarmSocket();
    void HandleAlarmSocket();
    int16_t AlarmRegistration(bool register_port);
    platform::UdpSocket alarm_socket_;
    uint16_t alarm_port_ = 0;
    // MPEG-4 streaming: made after the camera object, each with its own copy
    // of the instance name; the session text of the stream that runs.
    std::unique_ptr<CRtspClient> rtsp_;
    std::unique_ptr<CRtpReceiver> rtp_;
    std::string rtsp_session_;

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

// The largest still picture ShowJpegFile shows: 4096 x 4096 pixels. The size
// in the frame header is checked before decoding, so a small file that
// claims a huge picture costs nothing.
constexpr uint64_t kLargestStillPixels = 4096ull * 4096ull;

// Decodes a still picture through the decoder plug-in: top-down rows of
// blue-green-red pixels, as the drawing surfaces hold them. False when the plug-in is missing,
// the picture is larger than kLargestStillPixels or the file is not a 24-bit picture.
bool DecodeStillPicture(std::span<const uint8_t> jpeg, int& width, int& height,
                        std::vector<uint8_t>& pixels);

// Creates an object by program identifier; null when the identifier is unknown.
std::unique_ptr<ComObject> CreateObject(std::string_view prog_id);

}  // namespace kest
