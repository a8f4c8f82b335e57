// The C interface over the control: each handle owns a control, a headless
// event loop and the control's window on it.
#include "kest.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "control/facade/ctrl.h"
#include "platform/event_loop.h"

using kest::DispError;
using kest::Variant;
using kest::VarType;

struct kest_ctrl final : kest::_DKestEvents {
    kest::platform::EventLoop loop;
    std::unique_ptr<kest::ComObject> object;
    kest::CKestCtrl* ctrl = nullptr;  // null for the property page
    kest_event_fn callback = nullptr;
    void* user = nullptr;

    void OnEvent(const kest::MemberInfo& event, std::span<const Variant> args) override;
};

namespace {

int ToStatus(DispError e) {
    switch (e) {
        case DispError::kOk:
            return KEST_OK;
        case DispError::kMemberNotFound:
            return KEST_E_MEMBER_NOT_FOUND;
        case DispError::kBadParamCount:
            return KEST_E_BAD_PARAM_COUNT;
        case DispError::kTypeMismatch:
            return KEST_E_TYPE_MISMATCH;
        case DispError::kOverflow:
            return KEST_E_OVERFLOW;
        case DispError::kGetNotSupported:
            return KEST_E_GET_NOT_SUPPORTED;
        case DispError::kPutNotSupported:
            return KEST_E_PUT_NOT_SUPPORTED;
    }
    return KEST_E_INVALID_ARG;
}

bool FromC(const kest_variant& in, Variant& out) {
    switch (in.type) {
        case KEST_VT_EMPTY:
            out = Variant();
            return true;
        case KEST_VT_I2:
            out = Variant::I2(int16_t(in.i));
            return true;
        case KEST_VT_I4:
            out = Variant::I4(in.i);
            return true;
        case KEST_VT_BOOL:
            out = Variant::Bool(in.i != 0);
            return true;
        case KEST_VT_TEXT:
            if (!in.text && in.text_len) return false;
            out = Variant::Text(in.text ? std::string(in.text, in.text_len) : std::string());
            return true;
        case KEST_VT_BUFFER:
            if (!in.buf && in.buf_len) return false;
            out = Variant::Buffer(in.buf, in.buf_len);
            return true;
        default:
            return false;
    }
}

char* CopyText(const std::string& s) {
    char* p = static_cast<char*>(std::malloc(s.size() + 1));
    if (!p) return nullptr;
    std::memcpy(p, s.data(), s.size());
    p[s.size()] = '\0';
    return p;
}

// Fills a C variant; texts point into v (borrowed) or are copied (owned).
void ToC(const Variant& v, kest_variant& out, bool copy_text) {
    out = kest_variant{};
    switch (v.type()) {
        case VarType::kEmpty:
            out.type = KEST_VT_EMPTY;
            break;
        case VarType::kI2:
            out.type = KEST_VT_I2, out.i = v.integer();
            break;
        case VarType::kI4:
            out.type = KEST_VT_I4, out.i = v.integer();
            break;
        case VarType::kBool:
            out.type = KEST_VT_BOOL, out.i = v.boolean() ? 1 : 0;
            break;
        case VarType::kText:
            out.type = KEST_VT_TEXT;
            out.text = copy_text ? CopyText(v.text()) : const_cast<char*>(v.text().c_str());
            out.text_len = v.text().size();
            break;
        case VarType::kBuffer:
            out.type = KEST_VT_BUFFER;
            out.buf = v.buffer().data;
            out.buf_len = v.buffer().size;
            break;
    }
}

}  // namespace

void kest_ctrl::OnEvent(const kest::MemberInfo& event, std::span<const Variant> args) {
    if (!callback) return;
    std::vector<kest_variant> c(args.size());
    for (size_t i = 0; i < args.size(); ++i)
        ToC(args[i], c[i], false);
    callback(user, event.dispid, event.name.c_str(), c.data(), int(c.size()));
}

extern "C" {

int kest_create(const char* prog_id, kest_ctrl** out) {
    if (!prog_id || !out) return KEST_E_INVALID_ARG;
    *out = nullptr;
    auto handle = std::make_unique<kest_ctrl>();
    handle->object = kest::CreateObject(prog_id);
    if (!handle->object) return KEST_E_UNKNOWN_PROGID;
    handle->ctrl = dynamic_cast<kest::CKestCtrl*>(handle->object.get());
    if (handle->ctrl) {
        handle->ctrl->AttachWindow(handle->loop.CreateWindow(handle->ctrl));
        handle->ctrl->Advise(handle.get());
    }
    *out = handle.release();
    return KEST_OK;
}

void kest_destroy(kest_ctrl* ctrl) {
    delete ctrl;
}

int kest_invoke(kest_ctrl* ctrl, int32_t dispid, kest_variant* args, int nargs, int16_t* result) {
    if (!ctrl || !ctrl->ctrl || nargs < 0 || (nargs > 0 && !args)) return KEST_E_INVALID_ARG;
    const kest::MemberInfo* m = kest::FindMember(dispid, kest::MemberKind::kMethod);
    if (!m) return KEST_E_MEMBER_NOT_FOUND;
    std::vector<Variant> v(static_cast<size_t>(nargs));
    for (int i = 0; i < nargs; ++i) {
        if (!FromC(args[i], v[size_t(i)])) return KEST_E_INVALID_ARG;
    }
    int16_t r = 0;
    const DispError e = ctrl->ctrl->Invoke(dispid, v, &r);
    if (e != DispError::kOk) return ToStatus(e);
    for (size_t i = 0; i < m->params.size() && i < v.size(); ++i) {
        if (m->params[i].out) ToC(v[i], args[i], true);
    }
    if (result) *result = r;
    return KEST_OK;
}

int kest_invoke_name(kest_ctrl* ctrl, const char* name, kest_variant* args, int nargs,
                     int16_t* result) {
    if (!name) return KEST_E_INVALID_ARG;
    const kest::MemberInfo* m = kest::FindMember(name, kest::MemberKind::kMethod);
    if (!m) return KEST_E_MEMBER_NOT_FOUND;
    return kest_invoke(ctrl, m->dispid, args, nargs, result);
}

int kest_get_dispid(const char* name, int32_t* dispid) {
    if (!name || !dispid) return KEST_E_INVALID_ARG;
    for (auto kind :
         {kest::MemberKind::kMethod, kest::MemberKind::kProperty, kest::MemberKind::kEvent}) {
        if (const kest::MemberInfo* m = kest::FindMember(name, kind)) {
            *dispid = m->dispid;
            return KEST_OK;
        }
    }
    return KEST_E_MEMBER_NOT_FOUND;
}

int kest_get_property(kest_ctrl* ctrl, const char* name, kest_variant* value) {
    if (!ctrl || !ctrl->ctrl || !name || !value) return KEST_E_INVALID_ARG;
    Variant v;
    const DispError e = ctrl->ctrl->GetProperty(name, v);
    if (e != DispError::kOk) return ToStatus(e);
    ToC(v, *value, true);
    return KEST_OK;
}

int kest_put_property(kest_ctrl* ctrl, const char* name, const kest_variant* value) {
    if (!ctrl || !ctrl->ctrl || !name || !value) return KEST_E_INVALID_ARG;
    Variant v;
    if (!FromC(*value, v)) return KEST_E_INVALID_ARG;
    return ToStatus(ctrl->ctrl->PutProperty(name, v));
}

int kest_set_event_callback(kest_ctrl* ctrl, kest_event_fn fn, void* user) {
    if (!ctrl) return KEST_E_INVALID_ARG;
    ctrl->callback = fn;
    ctrl->user = user;
    return KEST_OK;
}

int kest_run_messages(kest_ctrl* ctrl, int wait_ms) {
    if (!ctrl) return KEST_E_INVALID_ARG;
    if (wait_ms > 0) {
        ctrl->loop.RunFor(uint32_t(wait_ms));
    } else {
        ctrl->loop.RunPending();
    }
    return KEST_OK;
}

void kest_free_string(char* text) {
    std::free(text);
}

void kest_variant_clear(kest_variant* v) {
    if (!v) return;
    if (v->type == KEST_VT_TEXT) kest_free_string(v->text);
    *v = kest_variant{};
}

const char* kest_status_text(int status) {
    switch (status) {
        case KEST_OK:
            return "ok";
        case KEST_E_MEMBER_NOT_FOUND:
            return "member not found";
        case KEST_E_BAD_PARAM_COUNT:
            return "bad parameter count";
        case KEST_E_TYPE_MISMATCH:
            return "type mismatch";
        case KEST_E_OVERFLOW:
            return "overflow";
        case KEST_E_GET_NOT_SUPPORTED:
            return "property cannot be read";
        case KEST_E_PUT_NOT_SUPPORTED:
            return "property cannot be written";
        case KEST_E_INVALID_ARG:
            return "invalid argument";
        case KEST_E_UNKNOWN_PROGID:
            return "unknown program identifier";
        default:
            return "unknown status";
    }
}

long DllRegisterServer(void) {
    return 0;
}
long DllUnregisterServer(void) {
    return 0;
}
long DllCanUnloadNow(void) {
    return 0;
}

}  // extern "C"
