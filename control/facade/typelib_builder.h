// Builders for the rows of the type library, used by each family of methods.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "control/facade/dispatch_adapter.h"
#include "control/facade/typelib.h"

namespace kest::typelib_builder {

using dispatch::Name;

template <auto M>
inline MemberInfo Method(int32_t dispid, const char* name, std::initializer_list<Name> params,
                         const char* summary, const char* sends = "", const char* results = "") {
    using A = dispatch::Method<M>;
    MemberInfo m{dispid, name, MemberKind::kMethod, A::Params(params)};
    // A row whose names do not match the C++ signature is a programming error.
    if (params.size() != A::kArity) std::abort();
    m.has_result = A::kHasResult;
    m.invoke = &A::Invoke;
    m.summary = summary;
    m.sends = sends;
    m.results = results;
    return m;
}

inline MemberInfo Event(int32_t dispid, const char* name, std::vector<ParamInfo> params,
                        const char* summary) {
    MemberInfo m{dispid, name, MemberKind::kEvent, std::move(params)};
    m.has_result = false;
    m.summary = summary;
    return m;
}

inline MemberInfo Property(int32_t dispid, const char* name, ParamType type, PropertyGetter get,
                           PropertySetter put, const char* summary) {
    MemberInfo m{dispid, name, MemberKind::kProperty, {}};
    m.property_type = type;
    m.get = get;
    m.put = put;
    m.summary = summary;
    return m;
}

inline ParamInfo In(const char* name, ParamType type) {
    return {name, type, false, 0};
}

}  // namespace kest::typelib_builder

namespace kest::rows {

// The rows of each family, in files of their own.
void Imaging(std::vector<MemberInfo>& lib);    // imaging, motors, lens, motion detection, files
void Services(std::vector<MemberInfo>& lib);   // identity, network, passwords, camera services
void Stream(std::vector<MemberInfo>& lib);     // picture stream, time stamp and lattice
void Recording(std::vector<MemberInfo>& lib);  // local recording and playback
void Rtsp(std::vector<MemberInfo>& lib);       // MPEG-4 streaming
void Discovery(std::vector<MemberInfo>& lib);  // search and alarms

}  // namespace kest::rows
