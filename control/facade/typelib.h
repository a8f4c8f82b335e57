// KESTLib: the one table of every property, method and event of the control,
// with DISPIDs, names, parameters, types and directions. The dispatcher,
// `kestctl list` and the API reference are made from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/facade/variant.h"

namespace kest {

class CKestCtrl;

enum class ParamType : uint8_t { kI2, kI4, kBool, kText, kBuffer };
enum class MemberKind : uint8_t { kProperty, kMethod, kEvent };

const char* ParamTypeName(ParamType type);

struct ParamInfo {
    std::string name;
    ParamType type;
    bool out;              // passed by reference and written by the method
    uint32_t buffer_size;  // for buffers: the bytes the layout needs (0: any)
};

using MethodInvoker = DispError (*)(CKestCtrl& ctrl, std::span<Variant> args, int16_t& result);
using PropertyGetter = Variant (*)(const CKestCtrl& ctrl);
using PropertySetter = DispError (*)(CKestCtrl& ctrl, const Variant& value);

struct MemberInfo {
    int32_t dispid;
    std::string name;
    MemberKind kind;
    std::vector<ParamInfo> params;  // methods and events
    bool has_result = true;         // methods: false for AboutBox
    ParamType property_type = ParamType::kI4;
    PropertyGetter get = nullptr;  // null: write-only
    PropertySetter put = nullptr;  // null: read-only
    MethodInvoker invoke = nullptr;
    std::string summary;  // what it does
    std::string sends;    // which camera command it sends, if any
    // Methods: the result codes it returns and when, as "; "-separated
    // clauses that each start with the code ("0 done; 2 refused (status 1)").
    std::string results;
};

// The whole type library, in DISPID order within each kind.
std::span<const MemberInfo> KestLib();

// Case-insensitive name lookup; null when unknown.
const MemberInfo* FindMember(std::string_view name, MemberKind kind);
const MemberInfo* FindMember(int32_t dispid, MemberKind kind);

}  // namespace kest
