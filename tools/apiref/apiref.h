// The Markdown API reference of the control, made from its type library:
// every property, method and event with DISPID, parameters, the commands a
// method sends and the result codes it returns.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/facade/typelib.h"

namespace kest::apiref {

// The method result codes hosts see, with what each means.
struct ResultCode {
    int16_t code;
    const char* meaning;
};
std::span<const ResultCode> ResultCodes();

// One clause of a method's results text: the code it starts with, if any.
struct ResultClause {
    bool has_code = false;
    int32_t code = 0;
    std::string text;  // the rest of the clause, after the code
};
std::vector<ResultClause> SplitResults(std::string_view results);

// A record of the public table of layouts and the methods whose buffers
// hold it.
struct RecordCarriers {
    std::string_view record;
    std::vector<std::string_view> methods;
};
std::vector<RecordCarriers> RecordCarriersTable();

// The whole reference. The same table gives the same bytes.
std::string Render(std::span<const MemberInfo> lib);

}  // namespace kest::apiref
