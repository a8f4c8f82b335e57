// Turns the control's typed C++ methods into dispatch invokers: arguments are
// checked and converted from variants, out parameters written back after the
// call. The parameter types and directions of the type library come from the
// C++ signature, so the two cannot disagree.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "control/facade/typelib.h"
#include "control/facade/variant.h"

namespace kest::dispatch {

DispError LoadI2(const Variant& v, int16_t& out);
DispError LoadI4(const Variant& v, int32_t& out);
DispError LoadBool(const Variant& v, bool& out);
DispError LoadText(const Variant& v, std::string& out);
DispError LoadBuffer(const Variant& v, BufferRef& out);
// An out parameter may come in empty or with its own type.
DispError CheckOut(const Variant& v, VarType type);

template <typename T>
struct Arg;

template <>
struct Arg<int16_t> {
    static constexpr ParamType kType = ParamType::kI2;
    static constexpr bool kOut = false;
    using Local = int16_t;
    static DispError Load(const Variant& v, Local& l) { return LoadI2(v, l); }
    static void Store(Variant&, const Local&) {}
};
template <>
struct Arg<int32_t> {
    static constexpr ParamType kType = ParamType::kI4;
    static constexpr bool kOut = false;
    using Local = int32_t;
    static DispError Load(const Variant& v, Local& l) { return LoadI4(v, l); }
    static void Store(Variant&, const Local&) {}
};
template <>
struct Arg<bool> {
    static constexpr ParamType kType = ParamType::kBool;
    static constexpr bool kOut = false;
    using Local = bool;
    static DispError Load(const Variant& v, Local& l) { return LoadBool(v, l); }
    static void Store(Variant&, const Local&) {}
};
template <>
struct Arg<const std::string&> {
    static constexpr ParamType kType = ParamType::kText;
    static constexpr bool kOut = false;
    using Local = std::string;
    static DispError Load(const Variant& v, Local& l) { return LoadText(v, l); }
    static void Store(Variant&, const Local&) {}
};
template <>
struct Arg<BufferRef> {
    static constexpr ParamType kType = ParamType::kBuffer;
    static constexpr bool kOut = false;
    using Local = BufferRef;
    static DispError Load(const Variant& v, Local& l) { return LoadBuffer(v, l); }
    static void Store(Variant&, const Local&) {}
};
template <>
struct Arg<int16_t&> {
    static constexpr ParamType kType = ParamType::kI2;
    static constexpr bool kOut = true;
    using Local = int16_t;
    static DispError Load(const Variant& v, Local& l) {
        l = int16_t(v.is_integer() ? v.integer() : 0);
        return CheckOut(v, VarType::kI2);
    }
    static void Store(Variant& v, const Local& l) { v = Variant::I2(l); }
};
template <>
struct Arg<int32_t&> {
    static constexpr ParamType kType = ParamType::kI4;
    static constexpr bool kOut = true;
    using Local = int32_t;
    static DispError Load(const Variant& v, Local& l) {
        l = v.is_integer() ? v.integer() : 0;
        return CheckOut(v, VarType::kI4);
    }
    static void Store(Variant& v, const Local& l) { v = Variant::I4(l); }
};
template <>
struct Arg<bool&> {
    static constexpr ParamType kType = ParamType::kBool;
    static constexpr bool kOut = true;
    using Local = bool;
    static DispError Load(const Variant& v, Local& l) {
        l = v.boolean();
        return CheckOut(v, VarType::kBool);
    }
    static void Store(Variant& v, const Local& l) { v = Variant::Bool(l); }
};
template <>
struct Arg<std::string&> {
    static constexpr ParamType kType = ParamType::kText;
    static constexpr bool kOut = true;
    using Local = std::string;
    static DispError Load(const Variant& v, Local& l) {
        l = v.type() == VarType::kText ? v.text() : std::string();
        return CheckOut(v, VarType::kText);
    }
    static void Store(Variant& v, const Local& l) { v = Variant::Text(l); }
};

// A parameter's name and, for a buffer, the bytes its layout needs.
struct Name {
    const char* name;
    uint32_t buffer_size = 0;
};

template <auto M>
struct Method;

template <typename R, typename... P, R (CKestCtrl::*M)(P...)>
struct Method<M> {
    static DispError Invoke(CKestCtrl& ctrl, std::span<Variant> args, int16_t& result) {
        if (args.size() != sizeof...(P)) return DispError::kBadParamCount;
        return Call(ctrl, args, result, std::index_sequence_for<P...>{});
    }

    static std::vector<ParamInfo> Params(std::initializer_list<Name> names) {
        static constexpr ParamType kTypes[] = {Arg<P>::kType..., ParamType::kI4};
        static constexpr bool kOuts[] = {Arg<P>::kOut..., false};
        std::vector<ParamInfo> params;
        size_t i = 0;
        for (const Name& n : names) {
            if (i < sizeof...(P)) params.push_back({n.name, kTypes[i], kOuts[i], n.buffer_size});
            ++i;
        }
        return params;
    }
    static constexpr size_t kArity = sizeof...(P);
    static constexpr bool kHasResult = !std::is_void_v<R>;

  private:
    template <size_t... I>
    static DispError Call(CKestCtrl& ctrl, std::span<Variant> args, int16_t& result,
                          std::index_sequence<I...>) {
        (void)args;  // unused for methods without parameters
        std::tuple<typename Arg<P>::Local...> locals;
        DispError error = DispError::kOk;
        ((error = error == DispError::kOk ? Arg<P>::Load(args[I], std::get<I>(locals)) : error),
         ...);
        if (error != DispError::kOk) return error;
        if constexpr (std::is_void_v<R>) {
            (ctrl.*M)(std::get<I>(locals)...);
            result = 0;
        } else {
            result = int16_t((ctrl.*M)(std::get<I>(locals)...));
        }
        (Arg<P>::Store(args[I], std::get<I>(locals)), ...);
        return DispError::kOk;
    }
};

}  // namespace kest::dispatch
