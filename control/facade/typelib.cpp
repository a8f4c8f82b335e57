#include "control/facade/typelib.h"

#include <strings.h>

#include <algorithm>

#include "control/facade/ctrl.h"
#include "control/facade/dispatch_adapter.h"
#include "control/facade/typelib_builder.h"

namespace kest {

namespace {

using namespace typelib_builder;

#define KEST_BOOL_PROPERTY(dispid, prop, summary)                   \
    Property(                                                       \
        dispid, #prop, ParamType::kBool,                            \
        [](const CKestCtrl& c) { return Variant::Bool(c.prop()); }, \
        [](CKestCtrl& c, const Variant& v) {                        \
            bool b = false;                                         \
            DispError e = dispatch::LoadBool(v, b);                 \
            if (e == DispError::kOk) c.Set##prop(b);                \
            return e;                                               \
        },                                                          \
        summary)

#define KEST_I4_PROPERTY(dispid, prop, summary)                                                  \
    Property(                                                                                    \
        dispid, #prop, ParamType::kI4, [](const CKestCtrl& c) { return Variant::I4(c.prop()); }, \
        [](CKestCtrl& c, const Variant& v) {                                                     \
            int32_t i = 0;                                                                       \
            DispError e = dispatch::LoadI4(v, i);                                                \
            if (e == DispError::kOk) c.Set##prop(i);                                             \
            return e;                                                                            \
        },                                                                                       \
        summary)

std::vector<MemberInfo> Build() {
    const ParamInfo mouse[] = {In("Button", ParamType::kI2), In("Shift", ParamType::kI2),
                               In("x", ParamType::kI4), In("y", ParamType::kI4)};
    const std::vector<ParamInfo> mouse_params(std::begin(mouse), std::end(mouse));
    std::vector<MemberInfo> lib = {
        // Properties.
        KEST_BOOL_PROPERTY(1, Visible, "Kept and persisted; nothing else reads it."),
        KEST_BOOL_PROPERTY(2, Stretch, "Stretch the picture to the control's rectangle."),
        KEST_I4_PROPERTY(3, Timeout, "Reply wait of the command channel and RTSP time-out (ms)."),
        KEST_BOOL_PROPERTY(4, UpsideDown, "Kept and persisted; nothing else reads it."),
        KEST_I4_PROPERTY(5, LocalFrameRate,
                         "Non-zero: StartDownloading keeps the camera's frame rate."),
        KEST_I4_PROPERTY(6, CameraPort, "UDP command port of the camera."),
        Property(
            7, "RemoteIPAddress", ParamType::kText,
            [](const CKestCtrl& c) { return Variant::Text(c.RemoteIPAddress()); },
            [](CKestCtrl& c, const Variant& v) {
                std::string s;
                DispError e = dispatch::LoadText(v, s);
                if (e == DispError::kOk) c.SetRemoteIPAddress(s);
                return e;
            },
            "The camera's IPv4 address in dotted form."),
        Property(
            8, "Password", ParamType::kText, nullptr,
            [](CKestCtrl& c, const Variant& v) {
                std::string s;
                DispError e = dispatch::LoadText(v, s);
                if (e == DispError::kOk) c.SetPassword(s);
                return e;
            },
            "Write-only: the password sent in every command (first 8 bytes)."),
        KEST_I4_PROPERTY(111, RtspPort, "RTSP port of the camera."),
        KEST_I4_PROPERTY(112, RtpRecvPort, "Local RTP receive port."),

        // Methods.
        Method<&CKestCtrl::GetVersion>(
            15, "GetVersion", {{"TypeNumber"}, {"ProgramVersion"}},
            "The model code and program version kept from the session's version query.",
            "scmd_nop, scmd_get_version (session open)",
            "7 no address; "
            "1 session cannot be opened (the camera does not answer scmd_nop or scmd_get_version); "
            "0 done, the values kept from the last version reply (while the stream runs, those of "
            "its session); "
            "5 no camera object"),
        Method<&CKestCtrl::AboutBox>(-552, "AboutBox", {}, "Shows the about box.", "",
                                     "none: AboutBox shows the about box and returns no result"),

        // Events.
        Event(1, "ConnectionLost", {}, "Never fired by the control."),
        Event(2, "NewImage", {}, "A new picture has been drawn."),
        Event(3, "Alarm", {In("IPAddress", ParamType::kText), In("AlarmType", ParamType::kI2)},
              "An alarm datagram arrived."),
        Event(4, "MpegMode", {}, "The camera answered that it is in MPEG mode."),
        Event(5, "ChangeFrameSize", {In("Width", ParamType::kI2), In("Height", ParamType::kI2)},
              "The picture size changed."),
        Event(6, "ChangeQuality", {In("Quality", ParamType::kI2)}, "The quality level changed."),
        Event(7, "ChangeUpsideDown", {In("UpsideDown", ParamType::kI2)},
              "The orientation changed."),
        Event(8, "ChangeMotorMoving", {In("MotorMoving", ParamType::kI2)},
              "The motors started or stopped."),
        Event(9, "ChangePanTilt", {In("Pan", ParamType::kI2), In("Tilt", ParamType::kI2)},
              "The pan or tilt position changed."),
        Event(10, "ChangePanLimit", {In("PanLimit", ParamType::kI2)}, "The pan limit changed."),
        Event(11, "ChangeTiltLimit", {In("TiltLimit", ParamType::kI2)}, "The tilt limit changed."),
        Event(12, "ChangeZoomPosition", {In("ZoomPosition", ParamType::kI2)},
              "The zoom position changed."),
        Event(13, "ChangeInitialMoving", {In("InitialMoving", ParamType::kI2)},
              "The initial movement started or ended."),
        Event(14, "StopRec", {In("ErrorCode", ParamType::kI4), In("MoreInfo", ParamType::kI4)},
              "The local recording stopped by itself: ErrorCode 0 and MoreInfo 0 when the disk "
              "ran low; the file is closed with its header completed."),
        Event(15, "EndDownloading", {In("ErrorCode", ParamType::kI2)},
              "The picture stream ended; ErrorCode is the receive result (-1 the camera stopped "
              "answering, -2 refused, -25 MPEG mode, -20, -23, -24 or -26 the camera's other end "
              "codes)."),
        Event(16, "ChangeMotionDetection", {In("Enabled", ParamType::kI2)},
              "The motion-detection state changed."),
        Event(-600, "Click", {}, "Standard control event."),
        Event(-601, "DblClick", {}, "Standard control event."),
        Event(-605, "MouseDown", mouse_params, "Standard control event."),
        Event(-606, "MouseMove", mouse_params, "Standard control event."),
        Event(-607, "MouseUp", mouse_params, "Standard control event."),
    };
    // Each family of methods adds its own rows.
    rows::Imaging(lib);
    rows::Services(lib);
    rows::Stream(lib);
    rows::Recording(lib);
    rows::Rtsp(lib);
    rows::Discovery(lib);
    std::stable_sort(lib.begin(), lib.end(), [](const MemberInfo& a, const MemberInfo& b) {
        if (a.kind != b.kind) return a.kind < b.kind;
        // DISPID order, with the negative (standard) ones last.
        const auto key = [](int32_t d) { return d < 0 ? int64_t(1) << 32 | uint32_t(-d) : d; };
        return key(a.dispid) < key(b.dispid);
    });
    return lib;
}

}  // namespace

const char* ParamTypeName(ParamType type) {
    switch (type) {
        case ParamType::kI2:
            return "16-bit";
        case ParamType::kI4:
            return "32-bit";
        case ParamType::kBool:
            return "boolean";
        case ParamType::kText:
            return "text";
        case ParamType::kBuffer:
            return "buffer";
    }
    return "?";
}

std::span<const MemberInfo> KestLib() {
    static const std::vector<MemberInfo> lib = Build();
    return lib;
}

const MemberInfo* FindMember(std::string_view name, MemberKind kind) {
    for (const MemberInfo& m : KestLib()) {
        if (m.kind == kind && m.name.size() == name.size() &&
            strncasecmp(m.name.data(), name.data(), name.size()) == 0) {
            return &m;
        }
    }
    return nullptr;
}

const MemberInfo* FindMember(int32_t dispid, MemberKind kind) {
    for (const MemberInfo& m : KestLib()) {
        if (m.kind == kind && m.dispid == dispid) return &m;
    }
    return nullptr;
}

}  // namespace kest
