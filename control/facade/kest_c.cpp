// The C interface over the control: each handle owns a control, a headless
// event loop and the control's window on it.
#include "kest.h"

#include <strings.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "control/facade/ctrl.h"
#include "control/facade/property_bag.h"
#include "platform/event_loop.h"
#include "platform/host_ui.h"
#include "platform/surface.h"

using kest::DispError;
using kest::Variant;
using kest::VarType;

// The host's dialogs through C callbacks; a dialog without one goes to the
// default service (standard error, cancelled).
struct CallbackHostUi final : kest::platform::HostUi {
    kest_message_box_fn fn = nullptr;
    void* user = nullptr;
    kest_font_fn font_fn = nullptr;
    void* font_user = nullptr;

    bool any() const { return fn || font_fn; }
    Answer MessageBox(const std::string& text, const std::string& caption,
                      Buttons buttons) override;
    bool ChooseFont(kest::platform::LogFont& font) override;
    void AboutBox(const std::string& text) override {
        if (!fn) return kest::platform::DefaultHostUi().AboutBox(text);
        fn(user, text.c_str(), "About", KEST_BUTTONS_OK);
    }
};

struct kest_ctrl final : kest::_DKestEvents {
    // Declared before the control, so that they outlive it.
    kest::platform::EventLoop loop;
    CallbackHostUi ui;
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

// A C variant as a dispatch variant: KEST_OK, KEST_E_OVERFLOW for an I2
// outside 16 bits, KEST_E_INVALID_ARG for a bad one.
int FromC(const kest_variant& in, Variant& out) {
    switch (in.type) {
        case KEST_VT_EMPTY:
            out = Variant();
            return KEST_OK;
        case KEST_VT_I2:
            if (in.i < INT16_MIN || in.i > INT16_MAX) return KEST_E_OVERFLOW;
            out = Variant::I2(int16_t(in.i));
            return KEST_OK;
        case KEST_VT_I4:
            out = Variant::I4(in.i);
            return KEST_OK;
        case KEST_VT_BOOL:
            out = Variant::Bool(in.i != 0);
            return KEST_OK;
        case KEST_VT_TEXT:
            if (!in.text && in.text_len) return KEST_E_INVALID_ARG;
            out = Variant::Text(in.text ? std::string(in.text, in.text_len) : std::string());
            return KEST_OK;
        case KEST_VT_BUFFER:
            if (!in.buf && in.buf_len) return KEST_E_INVALID_ARG;
            out = Variant::Buffer(in.buf, in.buf_len);
            return KEST_OK;
        default:
            return KEST_E_INVALID_ARG;
    }
}

// Runs an entry point's body: no C++ exception crosses into the host.
template <typename Body>
int Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return KEST_E_OUT_OF_MEMORY;
    } catch (...) {
        return KEST_E_INVALID_ARG;
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

int32_t ToC(kest::ParamType type) {
    switch (type) {
        case kest::ParamType::kI2:
            return KEST_VT_I2;
        case kest::ParamType::kI4:
            return KEST_VT_I4;
        case kest::ParamType::kBool:
            return KEST_VT_BOOL;
        case kest::ParamType::kText:
            return KEST_VT_TEXT;
        case kest::ParamType::kBuffer:
            return KEST_VT_BUFFER;
    }
    return KEST_VT_EMPTY;
}

int32_t ToC(kest::MemberKind kind) {
    switch (kind) {
        case kest::MemberKind::kProperty:
            return KEST_MEMBER_PROPERTY;
        case kest::MemberKind::kMethod:
            return KEST_MEMBER_METHOD;
        case kest::MemberKind::kEvent:
            return KEST_MEMBER_EVENT;
    }
    return -1;
}

const kest::MemberInfo* MemberAt(int index) {
    const auto lib = kest::KestLib();
    if (index < 0 || size_t(index) >= lib.size()) return nullptr;
    return &lib[size_t(index)];
}

}  // namespace

kest::platform::HostUi::Answer CallbackHostUi::MessageBox(const std::string& text,
                                                          const std::string& caption,
                                                          Buttons buttons) {
    if (!fn) return kest::platform::DefaultHostUi().MessageBox(text, caption, buttons);
    int b = KEST_BUTTONS_OK;
    if (buttons == Buttons::kOkCancel) b = KEST_BUTTONS_OK_CANCEL;
    if (buttons == Buttons::kYesNo) b = KEST_BUTTONS_YES_NO;
    switch (fn(user, text.c_str(), caption.c_str(), b)) {
        case KEST_ANSWER_OK:
            return Answer::kOk;
        case KEST_ANSWER_YES:
            return Answer::kYes;
        case KEST_ANSWER_NO:
            return Answer::kNo;
        default:
            return Answer::kCancel;
    }
}

bool CallbackHostUi::ChooseFont(kest::platform::LogFont& font) {
    if (!font_fn) return kest::platform::DefaultHostUi().ChooseFont(font);
    kest_font c{font.height,           font.width,
                font.escapement,       font.orientation,
                font.weight,           font.italic,
                font.underline,        font.strike_out,
                font.char_set,         font.out_precision,
                font.clip_precision,   font.quality,
                font.pitch_and_family, {}};
    std::memcpy(c.face_name, font.face_name, sizeof c.face_name);
    c.face_name[sizeof c.face_name - 1] = '\0';
    if (!font_fn(font_user, &c)) return false;
    font = kest::platform::LogFont{c.height,           c.width,
                                   c.escapement,       c.orientation,
                                   c.weight,           c.italic,
                                   c.underline,        c.strike_out,
                                   c.char_set,         c.out_precision,
                                   c.clip_precision,   c.quality,
                                   c.pitch_and_family, {}};
    // The host's text need not be terminated: at most 31 bytes are taken.
    std::memcpy(font.face_name, c.face_name, sizeof font.face_name - 1);
    return true;
}

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
    return Guarded([&] {
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
    });
}

void kest_destroy(kest_ctrl* ctrl) {
    delete ctrl;
}

int kest_invoke(kest_ctrl* ctrl, int32_t dispid, kest_variant* args, int nargs, int16_t* result) {
    if (!ctrl || !ctrl->ctrl || nargs < 0 || (nargs > 0 && !args)) return KEST_E_INVALID_ARG;
    const kest::MemberInfo* m = kest::FindMember(dispid, kest::MemberKind::kMethod);
    if (!m) return KEST_E_MEMBER_NOT_FOUND;
    return Guarded([&] {
        std::vector<Variant> v(static_cast<size_t>(nargs));
        for (int i = 0; i < nargs; ++i) {
            if (const int status = FromC(args[i], v[size_t(i)]); status != KEST_OK) return status;
        }
        int16_t r = 0;
        const DispError e = ctrl->ctrl->Invoke(dispid, v, &r);
        if (e != DispError::kOk) return ToStatus(e);
        for (size_t i = 0; i < m->params.size() && i < v.size(); ++i) {
            if (m->params[i].out) ToC(v[i], args[i], true);
        }
        if (result) *result = r;
        return int(KEST_OK);
    });
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
    return Guarded([&] {
        Variant v;
        const DispError e = ctrl->ctrl->GetProperty(name, v);
        if (e != DispError::kOk) return ToStatus(e);
        ToC(v, *value, true);
        return int(KEST_OK);
    });
}

int kest_put_property(kest_ctrl* ctrl, const char* name, const kest_variant* value) {
    if (!ctrl || !ctrl->ctrl || !name || !value) return KEST_E_INVALID_ARG;
    return Guarded([&] {
        Variant v;
        if (const int status = FromC(*value, v); status != KEST_OK) return status;
        return ToStatus(ctrl->ctrl->PutProperty(name, v));
    });
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

int kest_get_property_id(kest_ctrl* ctrl, int32_t dispid, kest_variant* value) {
    if (!ctrl || !ctrl->ctrl || !value) return KEST_E_INVALID_ARG;
    return Guarded([&] {
        Variant v;
        const DispError e = ctrl->ctrl->GetProperty(dispid, v);
        if (e != DispError::kOk) return ToStatus(e);
        ToC(v, *value, true);
        return int(KEST_OK);
    });
}

int kest_put_property_id(kest_ctrl* ctrl, int32_t dispid, const kest_variant* value) {
    if (!ctrl || !ctrl->ctrl || !value) return KEST_E_INVALID_ARG;
    return Guarded([&] {
        Variant v;
        if (const int status = FromC(*value, v); status != KEST_OK) return status;
        return ToStatus(ctrl->ctrl->PutProperty(dispid, v));
    });
}

int kest_member_count(void) {
    return int(kest::KestLib().size());
}

int kest_member_info(int index, kest_member* out) {
    const kest::MemberInfo* m = MemberAt(index);
    if (!out) return KEST_E_INVALID_ARG;
    if (!m) return KEST_E_MEMBER_NOT_FOUND;
    *out = kest_member{};
    out->dispid = m->dispid;
    out->kind = ToC(m->kind);
    out->name = m->name.c_str();
    out->type = m->kind == kest::MemberKind::kProperty ? ToC(m->property_type) : KEST_VT_EMPTY;
    if (m->kind == kest::MemberKind::kProperty) {
        if (m->get) out->flags |= KEST_MEMBER_READABLE;
        if (m->put) out->flags |= KEST_MEMBER_WRITABLE;
    }
    if (m->kind == kest::MemberKind::kMethod && m->has_result) out->flags |= KEST_MEMBER_HAS_RESULT;
    out->nparams = int32_t(m->params.size());
    out->summary = m->summary.c_str();
    return KEST_OK;
}

int kest_member_param(int index, int param, kest_param* out) {
    const kest::MemberInfo* m = MemberAt(index);
    if (!out) return KEST_E_INVALID_ARG;
    if (!m || param < 0 || size_t(param) >= m->params.size()) return KEST_E_MEMBER_NOT_FOUND;
    const kest::ParamInfo& p = m->params[size_t(param)];
    *out = kest_param{};
    out->name = p.name.c_str();
    out->type = ToC(p.type);
    out->direction = p.out ? KEST_PARAM_OUT : KEST_PARAM_IN;
    out->buffer_size = p.buffer_size;
    return KEST_OK;
}

int kest_find_member(const char* name, int32_t kind, int* index) {
    if (!name || !index) return KEST_E_INVALID_ARG;
    const auto lib = kest::KestLib();
    for (size_t i = 0; i < lib.size(); ++i) {
        if (ToC(lib[i].kind) == kind && strcasecmp(lib[i].name.c_str(), name) == 0) {
            *index = int(i);
            return KEST_OK;
        }
    }
    return KEST_E_MEMBER_NOT_FOUND;
}

int kest_draw(kest_ctrl* ctrl, uint8_t* pixels, int32_t width, int32_t height, size_t stride,
              uint32_t face) {
    if (!ctrl || !ctrl->ctrl || !pixels || width <= 0 || height <= 0 ||
        stride < size_t(width) * kest::platform::Surface::kBytesPerPixel) {
        return KEST_E_INVALID_ARG;
    }
    kest::platform::Surface surface;
    if (!surface.Reset(width, height)) return KEST_E_INVALID_ARG;
    ctrl->ctrl->Draw(surface, {0, 0, width, height}, kest::platform::Rgb::FromColorRef(face));
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(pixels + size_t(y) * stride, surface.row(y), surface.stride());
    return KEST_OK;
}

int kest_input_event(kest_ctrl* ctrl, int32_t dispid, int16_t button, int16_t shift, int32_t x,
                     int32_t y) {
    if (!ctrl || !ctrl->ctrl) return KEST_E_INVALID_ARG;
    switch (dispid) {
        case int32_t(kest::EventId::Click):
        case int32_t(kest::EventId::DblClick):
            ctrl->ctrl->FireEvent(kest::EventId(dispid), {});
            return KEST_OK;
        case int32_t(kest::EventId::MouseDown):
        case int32_t(kest::EventId::MouseMove):
        case int32_t(kest::EventId::MouseUp):
            ctrl->ctrl->FireEvent(kest::EventId(dispid), {Variant::I2(button), Variant::I2(shift),
                                                          Variant::I4(x), Variant::I4(y)});
            return KEST_OK;
        default:
            return KEST_E_MEMBER_NOT_FOUND;
    }
}

int kest_set_message_box_callback(kest_ctrl* ctrl, kest_message_box_fn fn, void* user) {
    if (!ctrl || !ctrl->ctrl) return KEST_E_INVALID_ARG;
    ctrl->ui.fn = fn;
    ctrl->ui.user = user;
    ctrl->ctrl->SetHostUi(ctrl->ui.any() ? &ctrl->ui : nullptr);
    return KEST_OK;
}

int kest_set_font_callback(kest_ctrl* ctrl, kest_font_fn fn, void* user) {
    if (!ctrl || !ctrl->ctrl) return KEST_E_INVALID_ARG;
    ctrl->ui.font_fn = fn;
    ctrl->ui.font_user = user;
    ctrl->ctrl->SetHostUi(ctrl->ui.any() ? &ctrl->ui : nullptr);
    return KEST_OK;
}

int kest_save_properties(kest_ctrl* ctrl, char** text) {
    if (!ctrl || !ctrl->ctrl || !text) return KEST_E_INVALID_ARG;
    *text = nullptr;
    return Guarded([&] {
        kest::TextPropertyBag bag;
        ctrl->ctrl->SaveProperties(bag);
        const std::string saved = bag.Text();
        // A value with a line break or a NUL would not load back as it was.
        if (saved.find('\0') != std::string::npos || kest::TextPropertyBag(saved).Text() != saved) {
            return KEST_E_INVALID_ARG;
        }
        *text = CopyText(saved);
        return *text ? KEST_OK : KEST_E_OUT_OF_MEMORY;
    });
}

int kest_load_properties(kest_ctrl* ctrl, const char* text) {
    if (!ctrl || !ctrl->ctrl || !text) return KEST_E_INVALID_ARG;
    return Guarded([&] {
        kest::TextPropertyBag bag(text);
        ctrl->ctrl->LoadProperties(bag);
        return int(KEST_OK);
    });
}

int kest_set_progress_callback(kest_ctrl* ctrl, kest_progress_fn fn, void* user) {
    if (!ctrl || !ctrl->ctrl) return KEST_E_INVALID_ARG;
    if (fn) {
        ctrl->ctrl->SetTransferProgress(
            [fn, user](int32_t received, int32_t count) { fn(user, received, count); });
    } else {
        ctrl->ctrl->SetTransferProgress(nullptr);
    }
    return KEST_OK;
}

const char* kest_library_version(void) {
    return KEST_VERSION_TEXT;
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
        case KEST_E_OUT_OF_MEMORY:
            return "out of memory";
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
