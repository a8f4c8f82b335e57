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
#define KEST_EVENT(dispid, name, summary, ...) Event(dispid, #name, {__VA_ARGS__}, summary),
#include "control/facade/events.def"
#undef KEST_EVENT
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
