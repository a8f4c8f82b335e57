// The API reference generator: results clauses and what the Markdown shows
// for each kind of member and parameter.
#include "tools/apiref/apiref.h"

#include <gtest/gtest.h>

#include <string>

#include "include/kest_records.h"

namespace kest {
namespace {

using apiref::SplitResults;

TEST(ApiRef, ResultsSplitIntoCodedClauses) {
    const auto c = SplitResults("101 Rate out of range; 7 no address; -60 running; none: nothing");
    ASSERT_EQ(c.size(), 4u);
    EXPECT_TRUE(c[0].has_code);
    EXPECT_EQ(c[0].code, 101);
    EXPECT_EQ(c[0].text, "Rate out of range");
    EXPECT_EQ(c[1].code, 7);
    EXPECT_EQ(c[2].code, -60);
    EXPECT_EQ(c[2].text, "running");
    EXPECT_FALSE(c[3].has_code);
    EXPECT_EQ(c[3].text, "none: nothing");

    // A number that is not followed by a blank is text, not a code.
    const auto d = SplitResults("100x; 5");
    ASSERT_EQ(d.size(), 2u);
    EXPECT_FALSE(d[0].has_code);
    EXPECT_FALSE(d[1].has_code);
    EXPECT_TRUE(SplitResults("").empty());
}

MemberInfo Row(int32_t dispid, const char* name, MemberKind kind, std::vector<ParamInfo> params) {
    MemberInfo m{dispid, name, kind, std::move(params)};
    m.summary = std::string("About ") + name + ".";
    return m;
}

TEST(ApiRef, ShowsEveryKindOfMemberAndParameter) {
    std::vector<MemberInfo> lib;
    MemberInfo secret = Row(8, "Secret", MemberKind::kProperty, {});
    secret.property_type = ParamType::kText;
    secret.put = [](CKestCtrl&, const Variant&) { return DispError::kOk; };
    lib.push_back(secret);
    MemberInfo table = Row(71, "GetTable", MemberKind::kMethod,
                           {{"Table", ParamType::kBuffer, false, 36},
                            {"Count", ParamType::kI2, true, 0},
                            {"Name", ParamType::kText, false, 0}});
    table.sends = "scmd_get_motor_tbl | twice";
    table.results = "0 done; 8 no table";
    lib.push_back(table);
    MemberInfo about = Row(-552, "About", MemberKind::kMethod, {});
    about.has_result = false;
    about.results = "none: no result";
    lib.push_back(about);
    lib.push_back(Row(3, "Ring", MemberKind::kEvent,
                      {{"From", ParamType::kText, false, 0}, {"Kind", ParamType::kI2, false, 0}}));

    const std::string md = apiref::Render(lib);
    const auto has = [&](const std::string& text) { return md.find(text) != std::string::npos; };
    EXPECT_TRUE(has("| 8 | `Secret` | text | write-only | About Secret. |"));
    EXPECT_TRUE(has("| 71 | [`GetTable`](#71-gettable) | About GetTable. |"));
    EXPECT_TRUE(has("### 71 GetTable\n"));
    EXPECT_TRUE(has("`GetTable(Table: buffer, Count: out 16-bit, Name: text) -> 16-bit result`"));
    EXPECT_TRUE(has("| `Table` | buffer (36 bytes) | in place |"));
    EXPECT_TRUE(has("| `Count` | 16-bit | out |"));
    EXPECT_TRUE(has("| `Name` | text | in |"));
    EXPECT_TRUE(has("Sends: `scmd_get_motor_tbl` | twice."));
    EXPECT_TRUE(has("- **0** done\n- **8** no table\n"));
    EXPECT_TRUE(has("[`About`](#-552-about)"));
    EXPECT_TRUE(has("### -552 About\n\n`About() -> nothing`"));
    EXPECT_TRUE(has("Sends: nothing to the camera."));
    EXPECT_TRUE(has("- none: no result\n"));
    EXPECT_TRUE(has("| 3 | `Ring` | `From` text, `Kind` 16-bit | About Ring. |"));
    // Every result code hosts can get is explained.
    for (const apiref::ResultCode& r : apiref::ResultCodes()) {
        EXPECT_TRUE(has("| " + std::to_string(r.code) + " | ")) << r.code;
    }
}

TEST(ApiRef, EveryMemberOfTheControlIsInTheReference) {
    const std::string md = apiref::Render(KestLib());
    for (const MemberInfo& m : KestLib()) {
        const std::string id = std::to_string(m.dispid);
        if (m.kind == MemberKind::kMethod) {
            EXPECT_NE(md.find("\n### " + id + " " + m.name + "\n"), std::string::npos) << m.name;
        } else {
            EXPECT_NE(md.find("\n| " + id + " | `" + m.name + "` | "), std::string::npos) << m.name;
        }
    }
}

// The public table of record layouts, field by field, with the methods
// whose buffers carry each.
TEST(ApiRef, EveryRecordLayoutIsInTheReference) {
    const std::string md = apiref::Render(KestLib());
    const auto has = [&](const std::string& text) { return md.find(text) != std::string::npos; };
    for (const kest_record_layout& r : kest_record_layouts) {
        SCOPED_TRACE(r.name);
        EXPECT_TRUE(
            has("\n### " + std::string(r.name) + " (" + std::to_string(r.size) + " bytes)\n"));
        for (uint16_t i = 0; i < r.field_count; ++i) {
            const kest_record_field& f = r.fields[i];
            EXPECT_TRUE(has("| " + std::to_string(f.offset) + " | " + std::to_string(f.width) +
                            " | `" + f.name + "` | "))
                << f.name;
        }
    }
    EXPECT_TRUE(has("Carried by: `AlarmSetInit`, `AlarmGetInit`.\n"));
    EXPECT_TRUE(has("| 176 | 4 | `Row14Stop` | signed |\n"));
    // Every record has a note, and each method it names has a buffer of the
    // record's name.
    const auto carriers = apiref::RecordCarriersTable();
    EXPECT_EQ(carriers.size(), std::size(kest_record_layouts));
    for (const apiref::RecordCarriers& c : carriers) {
        EXPECT_FALSE(c.methods.empty()) << c.record;
        for (std::string_view method : c.methods) {
            const MemberInfo* m = FindMember(std::string(method), MemberKind::kMethod);
            ASSERT_NE(m, nullptr) << method;
            bool holds = false;
            for (const ParamInfo& p : m->params)
                holds |= p.type == ParamType::kBuffer && p.name == c.record;
            EXPECT_TRUE(holds) << method << " " << c.record;
        }
    }
}

}  // namespace
}  // namespace kest
