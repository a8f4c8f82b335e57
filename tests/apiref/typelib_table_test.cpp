// The type library as one table: the DISPIDs of each kind, unique names and
// numbers, and the texts the API reference is made from.
#include <gtest/gtest.h>
#include <strings.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "control/facade/ctrl.h"
#include "control/facade/typelib.h"
#include "control/protocol/commands.h"
#include "control/stream/receiver.h"
#include "sim/simulator.h"
#include "tools/apiref/apiref.h"

namespace kest {
namespace {

std::set<int32_t> Range(int32_t first, int32_t last) {
    std::set<int32_t> s;
    for (int32_t d = first; d <= last; ++d)
        s.insert(d);
    return s;
}

std::set<int32_t> Dispids(MemberKind kind) {
    std::set<int32_t> s;
    for (const MemberInfo& m : KestLib()) {
        if (m.kind == kind) s.insert(m.dispid);
    }
    return s;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TEST(TypeLibraryTable, EveryDispidHasItsKind) {
    std::set<int32_t> methods = Range(9, 110);
    methods.merge(Range(113, 128));
    methods.insert(-552);
    EXPECT_EQ(Dispids(MemberKind::kMethod), methods);

    std::set<int32_t> properties = Range(1, 8);
    properties.insert({111, 112});
    EXPECT_EQ(Dispids(MemberKind::kProperty), properties);

    std::set<int32_t> events = Range(1, 16);
    events.insert({-600, -601, -605, -606, -607});
    EXPECT_EQ(Dispids(MemberKind::kEvent), events);
    // The enumeration names each event row by its name and DISPID.
    EXPECT_EQ(FindMember("EndDownloading", MemberKind::kEvent)->dispid,
              int32_t(EventId::EndDownloading));
    EXPECT_EQ(FindMember("MouseUp", MemberKind::kEvent)->dispid, int32_t(EventId::MouseUp));
}

// Hosts branch on the codes an event description names (the setup tool's
// live view restarts on some end codes and gives up on others), so each
// description names exactly the codes the control sends with its event.
TEST(TypeLibraryTable, EventDescriptionsNameTheCodesTheControlSends) {
    std::set<int> end_codes;
    for (const EndCodeRow& row : kEndCodes)
        end_codes.insert(row.code);
    for (bool stop : {false, true}) {
        for (int32_t result : {0, 1, -3, -90})
            end_codes.insert(EndCode(result, stop));
    }
    const std::map<std::string, std::set<int>> sent = {
        {"EndDownloading", end_codes},
        // The recorder stops by itself only when the disk runs low or a write fails.
        {"StopRec", {0}},
    };
    for (const MemberInfo& m : KestLib()) {
        if (m.kind != MemberKind::kEvent) continue;
        std::set<int> named;
        const std::string& text = m.summary;
        for (size_t i = 0; i < text.size();) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
                ++end;
            named.insert(std::stoi(text.substr(i, end - i)));
            i = end;
        }
        const auto it = sent.find(m.name);
        EXPECT_EQ(named, it == sent.end() ? std::set<int>{} : it->second) << m.name;
    }
}

// Properties and methods share the dispatch interface, so their DISPIDs and
// names (looked up without regard to case) must not meet; events have an
// interface of their own.
TEST(TypeLibraryTable, NoDispidOrNameTwiceInAnInterface) {
    std::set<int32_t> dispatch_ids, event_ids;
    std::set<std::string> dispatch_names, event_names;
    for (const MemberInfo& m : KestLib()) {
        const bool event = m.kind == MemberKind::kEvent;
        EXPECT_TRUE((event ? event_ids : dispatch_ids).insert(m.dispid).second)
            << "DISPID " << m.dispid << " twice (" << m.name << ")";
        EXPECT_TRUE((event ? event_names : dispatch_names).insert(Lower(m.name)).second)
            << m.name << " twice";
        std::set<std::string> params;
        for (const ParamInfo& p : m.params) {
            EXPECT_FALSE(p.name.empty()) << m.name;
            EXPECT_TRUE(params.insert(Lower(p.name)).second)
                << m.name << " has " << p.name << " twice";
        }
    }
}

TEST(TypeLibraryTable, EveryMemberIsDescribed) {
    for (const MemberInfo& m : KestLib()) {
        EXPECT_FALSE(m.summary.empty()) << m.name;
        if (m.kind == MemberKind::kMethod) {
            EXPECT_FALSE(m.results.empty()) << m.name;
            EXPECT_NE(m.invoke, nullptr) << m.name;
        } else {
            EXPECT_TRUE(m.results.empty()) << m.name;
            EXPECT_TRUE(m.sends.empty()) << m.name;
        }
    }
}

// Each clause of a results text starts with a code hosts can get, and every
// method can succeed. Only StartDownloading hands negative codes through (the
// receive start's own).
TEST(TypeLibraryTable, ResultsNameKnownCodes) {
    std::set<int32_t> known;
    for (const apiref::ResultCode& r : apiref::ResultCodes())
        known.insert(r.code);
    for (const MemberInfo& m : KestLib()) {
        if (m.kind != MemberKind::kMethod || !m.has_result) continue;
        bool succeeds = false;
        for (const apiref::ResultClause& c : apiref::SplitResults(m.results)) {
            ASSERT_TRUE(c.has_code) << m.name << ": \"" << c.text << "\" has no code";
            EXPECT_FALSE(c.text.empty()) << m.name << " " << c.code;
            const bool passed_through = c.code < 0 && m.name == "StartDownloading";
            EXPECT_TRUE(known.count(c.code) || passed_through) << m.name << ": " << c.code;
            succeeds = succeeds || c.code == 0;
        }
        EXPECT_TRUE(succeeds) << m.name << " never returns 0";
    }
}

// The methods that send nothing to the camera are exactly the local ones,
// and every command a row names is one the client has.
TEST(TypeLibraryTable, SendsNameRealCommands) {
    const std::set<int32_t> local = {10, 31, 32, 49, 50, 51, 52, 53, 62,
                                     63, 64, 65, 66, 67, 68, 69, 70, -552};
    std::set<int32_t> silent;
    for (const MemberInfo& m : KestLib()) {
        if (m.kind != MemberKind::kMethod) continue;
        if (m.sends.empty()) silent.insert(m.dispid);
        const std::string& s = m.sends;
        for (size_t i = 0; i < s.size();) {
            const auto word_char = [&](size_t k) {
                return k < s.size() &&
                       (std::isalnum(static_cast<unsigned char>(s[k])) || s[k] == '_');
            };
            if (!word_char(i)) {
                ++i;
                continue;
            }
            size_t end = i;
            while (word_char(end))
                ++end;
            const std::string word = s.substr(i, end - i);
            i = end;
            if (!word.starts_with("scmd_") && !word.starts_with("cl_") && !word.starts_with("get_"))
                continue;
            bool found = false;
            for (const protocol::CommandInfo& c : protocol::CommandTable())
                found = found || c.name == word;
            EXPECT_TRUE(found) << m.name << " sends unknown command " << word;
        }
    }
    EXPECT_EQ(silent, local);
}

// Zero for every argument; buffers of the size their layout needs.
struct ZeroArguments {
    explicit ZeroArguments(const MemberInfo& m) {
        buffers.reserve(m.params.size());
        for (const ParamInfo& p : m.params) {
            if (p.out) {
                args.emplace_back();
                continue;
            }
            switch (p.type) {
                case ParamType::kI2:
                    args.push_back(Variant::I2(0));
                    break;
                case ParamType::kI4:
                    args.push_back(Variant::I4(0));
                    break;
                case ParamType::kBool:
                    args.push_back(Variant::Bool(false));
                    break;
                case ParamType::kText:
                    args.push_back(Variant::Text(""));
                    break;
                case ParamType::kBuffer:
                    buffers.emplace_back(p.buffer_size ? p.buffer_size : 64);
                    args.push_back(Variant::Buffer(buffers.back().data(), buffers.back().size()));
                    break;
            }
        }
    }
    std::vector<std::vector<uint8_t>> buffers;
    std::vector<Variant> args;
};

// Calls every method (the searches excepted: they go to the network) and
// checks that the result is one its results text lists. The results by name.
std::map<std::string, int16_t> ExpectListedResults(CKestCtrl& ctrl, const std::string& setting) {
    std::map<std::string, int16_t> results;
    for (const MemberInfo& m : KestLib()) {
        if (m.kind != MemberKind::kMethod || !m.has_result) continue;
        if (m.name == "SearchPALOMIR" || m.name == "SearchMulticastIP") continue;
        ZeroArguments zero(m);
        int16_t result = -1;
        EXPECT_EQ(ctrl.Invoke(m.dispid, zero.args, &result), DispError::kOk) << m.name;
        results[m.name] = result;
        bool listed = false;
        for (const apiref::ResultClause& c : apiref::SplitResults(m.results))
            listed = listed || (c.has_code && c.code == result);
        EXPECT_TRUE(listed) << setting << ": " << m.name << " returned " << result
                            << ", not in: " << m.results;
    }
    return results;
}

// The results texts against the methods themselves: without an address, and
// with a simulated camera of each model the methods tell apart.
TEST(TypeLibraryTable, ResultsListWhatTheMethodsReturn) {
    {
        CKestCtrl ctrl;
        EXPECT_EQ(ExpectListedResults(ctrl, "no address")["GetVersion"], kResultNoAddress);
    }
    for (int model : {0, 3, 11, 13, 20}) {
        sim::SimConfig config;
        config.port = 0;
        config.model_code = model;
        sim::Simulator camera(config);
        ASSERT_TRUE(camera.Start());
        CKestCtrl ctrl;
        ctrl.SetRemoteIPAddress("127.0.0.1");
        ctrl.SetCameraPort(camera.port());
        ctrl.SetTimeout(300);
        auto results = ExpectListedResults(ctrl, "model " + std::to_string(model));
        // The camera answered: the calls got past the session open.
        EXPECT_EQ(results["GetVersion"], kResultOk);
        EXPECT_EQ(results["GetMacAddress"], kResultOk);
        EXPECT_EQ(results["GetMotorPosPulse"],
                  model == 0 || model == 3 || model == 13 ? kResultOk : kResultNotThisType);
    }
}

}  // namespace
}  // namespace kest
