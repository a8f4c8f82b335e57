#include "control/facade/variant.h"

#include "control/facade/dispatch_adapter.h"

namespace kest {

const char* VarTypeName(VarType type) {
    switch (type) {
        case VarType::kEmpty:
            return "empty";
        case VarType::kI2:
            return "i2";
        case VarType::kI4:
            return "i4";
        case VarType::kBool:
            return "bool";
        case VarType::kText:
            return "text";
        case VarType::kBuffer:
            return "buffer";
    }
    return "?";
}

const char* DispErrorName(DispError error) {
    switch (error) {
        case DispError::kOk:
            return "ok";
        case DispError::kMemberNotFound:
            return "member not found";
        case DispError::kBadParamCount:
            return "bad parameter count";
        case DispError::kTypeMismatch:
            return "type mismatch";
        case DispError::kOverflow:
            return "overflow";
        case DispError::kGetNotSupported:
            return "property cannot be read";
        case DispError::kPutNotSupported:
            return "property cannot be written";
    }
    return "?";
}

namespace dispatch {

DispError LoadI2(const Variant& v, int16_t& out) {
    if (!v.is_integer()) return DispError::kTypeMismatch;
    // A 16-bit parameter takes -32768..65535 as its 16-bit pattern.
    if (v.integer() < -32768 || v.integer() > 65535) return DispError::kOverflow;
    out = int16_t(uint16_t(v.integer()));
    return DispError::kOk;
}

DispError LoadI4(const Variant& v, int32_t& out) {
    if (!v.is_integer()) return DispError::kTypeMismatch;
    out = v.integer();
    return DispError::kOk;
}

DispError LoadBool(const Variant& v, bool& out) {
    if (v.type() != VarType::kBool && !v.is_integer()) return DispError::kTypeMismatch;
    out = v.integer() != 0;
    return DispError::kOk;
}

DispError LoadText(const Variant& v, std::string& out) {
    if (v.type() != VarType::kText) return DispError::kTypeMismatch;
    out = v.text();
    return DispError::kOk;
}

DispError LoadBuffer(const Variant& v, BufferRef& out) {
    if (v.type() != VarType::kBuffer) return DispError::kTypeMismatch;
    out = v.buffer();
    return DispError::kOk;
}

DispError CheckOut(const Variant& v, VarType type) {
    if (v.type() == VarType::kEmpty || v.type() == type) return DispError::kOk;
    if (v.is_integer() && (type == VarType::kI2 || type == VarType::kI4)) return DispError::kOk;
    return DispError::kTypeMismatch;
}

}  // namespace dispatch
}  // namespace kest
