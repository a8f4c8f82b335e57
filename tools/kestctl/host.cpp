#include "tools/kestctl/host.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tools/kestctl/json.h"

namespace kestctl {

using kest::DispError;
using kest::MemberInfo;
using kest::MemberKind;
using kest::ParamType;
using kest::Variant;
using kest::VarType;

namespace {

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

bool ParseInteger(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end || errno) return false;
    out = v;
    return true;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& out) {
    if (text.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (*end) return false;
        out.push_back(uint8_t(v));
    }
    return true;
}

// The variant for one argument in its command-line form.
Variant ParseArgument(const kest::ParamInfo& p, const std::string& text,
                      std::vector<std::vector<uint8_t>>& storage) {
    switch (p.type) {
        case ParamType::kI2:
        case ParamType::kI4:
        case ParamType::kBool: {
            if (p.out && p.type != ParamType::kBool && text.empty()) return Variant();
            int64_t v = 0;
            if (p.type == ParamType::kBool && (text == "true" || text == "false")) {
                v = text == "true";
            } else if (!ParseInteger(text, v)) {
                throw UsageError{"argument " + p.name + " wants a decimal number, not '" + text +
                                 "'"};
            }
            if (v < INT32_MIN || v > INT32_MAX) {
                throw UsageError{"argument " + p.name + ": " + text + " is out of range"};
            }
            if (p.type == ParamType::kBool) return Variant::Bool(v != 0);
            return p.type == ParamType::kI2 && v >= -32768 && v <= 32767 ? Variant::I2(int16_t(v))
                                                                         : Variant::I4(int32_t(v));
        }
        case ParamType::kText:
            return Variant::Text(text);
        case ParamType::kBuffer: {
            std::vector<uint8_t> bytes;
            if (text.rfind("hex:", 0) == 0) {
                if (!ParseHex(text.substr(4), bytes)) {
                    throw UsageError{"argument " + p.name + ": bad hex in '" + text + "'"};
                }
            } else if (text.rfind("size:", 0) == 0) {
                int64_t n = 0;
                if (!ParseInteger(text.substr(5), n) || n < 0 || n > (64 << 20)) {
                    throw UsageError{"argument " + p.name + ": bad size in '" + text + "'"};
                }
                bytes.assign(size_t(n), 0);
            } else {
                throw UsageError{"argument " + p.name + " is a buffer: hex:BYTES or size:N"};
            }
            storage.push_back(std::move(bytes));
            return Variant::Buffer(storage.back().data(), storage.back().size());
        }
    }
    return Variant();
}

void CheckDispatch(DispError e, const std::string& what) {
    if (e != DispError::kOk) throw UsageError{what + ": " + kest::DispErrorName(e)};
}

}  // namespace

std::string VariantJson(const Variant& v) {
    switch (v.type()) {
        case VarType::kEmpty:
            return "null";
        case VarType::kI2:
        case VarType::kI4:
            return std::to_string(v.integer());
        case VarType::kBool:
            return v.boolean() ? "true" : "false";
        case VarType::kText:
            return JsonString(v.text());
        case VarType::kBuffer:
            return "\"" + Hex(v.buffer().data, v.buffer().size) + "\"";
    }
    return "null";
}

Host::Host() : ctrl_(std::make_unique<kest::CKestCtrl>()) {
    ctrl_->AttachWindow(loop_.CreateWindow(ctrl_.get()));
    ctrl_->Advise(this);
    // Camera file downloads (GetLocalRecFile, GetLocalFilelist,
    // SaveReferenceImage) draw their progress on stderr.
    ctrl_->SetTransferProgress([](int32_t received, int32_t count) {
        std::fputs(ProgressBar(received, count).c_str(), stderr);
        if (received >= count) std::fputc('\n', stderr);
        std::fflush(stderr);
    });
}

std::string ProgressBar(int32_t received, int32_t count) {
    constexpr int kWidth = 40;
    const int32_t total = count > 0 ? count : 1;
    const int32_t done = std::clamp<int32_t>(received, 0, total);
    const int filled = int(int64_t(done) * kWidth / total);
    std::string bar =
        "\r[" + std::string(size_t(filled), '#') + std::string(size_t(kWidth - filled), '.') + "] ";
    bar += std::to_string(done) + "/" + std::to_string(count) + " pages";
    return bar;
}

Host::~Host() {
    // Destroy the control as a host would: it stops what runs and closes its session.
    ctrl_->Unadvise(this);
    ctrl_.reset();
}

void Host::SetProperty(const std::string& name, const std::string& value) {
    const MemberInfo* m = kest::FindMember(name, MemberKind::kProperty);
    if (!m) throw UsageError{"unknown property " + name};
    Variant v;
    if (m->property_type == ParamType::kText) {
        v = Variant::Text(value);
    } else {
        kest::ParamInfo p{m->name, m->property_type, false, 0};
        std::vector<std::vector<uint8_t>> none;
        v = ParseArgument(p, value, none);
    }
    CheckDispatch(ctrl_->PutProperty(m->dispid, v), "set " + m->name);
}

std::string Host::GetProperty(const std::string& name) {
    const MemberInfo* m = kest::FindMember(name, MemberKind::kProperty);
    if (!m)
        throw UsageError{"get " + name + ": " + kest::DispErrorName(DispError::kMemberNotFound)};
    Variant v;
    CheckDispatch(ctrl_->GetProperty(m->dispid, v), "get " + m->name);
    return "{\"property\":" + JsonString(m->name) + ",\"dispid\":" + std::to_string(m->dispid) +
           ",\"value\":" + VariantJson(v) + "}";
}

std::string Host::Call(const std::string& method, const std::vector<std::string>& args,
                       int16_t& result) {
    const MemberInfo* m = kest::FindMember(method, MemberKind::kMethod);
    if (!m) throw UsageError{method + ": " + kest::DispErrorName(DispError::kMemberNotFound)};
    // Out parameters other than buffers are not given: they only come back.
    size_t wanted = 0;
    for (const kest::ParamInfo& p : m->params)
        wanted += p.out && p.type != ParamType::kBuffer ? 0 : 1;
    if (args.size() != wanted) {
        throw UsageError{m->name + ": " + kest::DispErrorName(DispError::kBadParamCount) +
                         " (wants " + std::to_string(wanted) + " arguments)"};
    }
    buffers_.clear();
    buffers_.reserve(args.size());
    std::vector<Variant> v;
    size_t next = 0;
    for (const kest::ParamInfo& p : m->params) {
        if (p.out && p.type != ParamType::kBuffer) {
            v.emplace_back();
        } else {
            v.push_back(ParseArgument(p, args[next++], buffers_));
        }
    }
    result = 0;
    CheckDispatch(ctrl_->Invoke(m->dispid, v, &result), m->name);

    std::string out =
        "{\"method\":" + JsonString(m->name) + ",\"dispid\":" + std::to_string(m->dispid);
    if (m->has_result) out += ",\"result\":" + std::to_string(result);
    std::string outs;
    for (size_t i = 0; i < m->params.size(); ++i) {
        const kest::ParamInfo& p = m->params[i];
        if (!p.out && p.type != ParamType::kBuffer) continue;
        if (!outs.empty()) outs += ",";
        outs += JsonString(p.name) + ":" + VariantJson(v[i]);
    }
    if (!outs.empty()) out += ",\"out\":{" + outs + "}";
    return out + "}";
}

void Host::OnEvent(const MemberInfo& event, std::span<const Variant> args) {
    ++events_seen_;
    if (event.dispid == awaited_dispid_) awaited_fired_ = true;
    if (event_hook_) event_hook_(event, args);
    if (!print_events_) return;
    std::string line =
        "{\"event\":" + JsonString(event.name) + ",\"dispid\":" + std::to_string(event.dispid);
    if (!event.params.empty()) {
        line += ",\"args\":{";
        for (size_t i = 0; i < event.params.size() && i < args.size(); ++i) {
            if (i) line += ",";
            line += JsonString(event.params[i].name) + ":" + VariantJson(args[i]);
        }
        line += "}";
    }
    std::printf("%s}\n", line.c_str());
    std::fflush(stdout);
}

void Host::Wait(uint32_t ms) {
    loop_.RunUntil([] { return interrupted(); }, ms);
    loop_.RunPending();
}

void Host::CatchInterrupts() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool Host::interrupted() {
    return g_interrupted != 0;
}

bool Host::WaitEvent(const std::string& name, uint32_t ms) {
    const MemberInfo* m = kest::FindMember(name, MemberKind::kEvent);
    if (!m) throw UsageError{"wait-event " + name + ": unknown event"};
    awaited_dispid_ = m->dispid;
    awaited_fired_ = false;
    loop_.RunUntil([this] { return awaited_fired_; }, ms);
    awaited_dispid_ = 0;
    return awaited_fired_;
}

}  // namespace kestctl
