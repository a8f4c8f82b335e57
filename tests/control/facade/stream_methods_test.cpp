// The time-stamp and lattice methods through dispatch: what they store, what
// they give back, the font record and the font chooser.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "control/facade/ctrl.h"
#include "control/stream/render.h"
#include "control/stream/window_messages.h"
#include "platform/profile.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

std::vector<Variant> I2s(std::initializer_list<int16_t> values) {
    std::vector<Variant> v;
    for (int16_t x : values)
        v.push_back(Variant::I2(x));
    return v;
}

class StreamMethods : public ::testing::Test {
  protected:
    void SetUp() override {
        SetTimeStampSettings({});
        SetLatticeSettings({});
    }
    void TearDown() override { SetUp(); }

    int16_t Call(int32_t dispid, std::vector<Variant>& args) {
        int16_t result = -1;
        EXPECT_EQ(ctrl_.Invoke(dispid, args, &result), DispError::kOk);
        return result;
    }

    test::ScopedTempDir dir_;
    CKestCtrl ctrl_;
};

TEST_F(StreamMethods, SetTimeStampStoresAndGetTimeStampGivesBack) {
    std::vector<Variant> set = I2s({0, 255, 128, 1, 0x1FF, -1, 3, 7, 0, 12, -4});
    set[0] = Variant::Bool(true);
    ASSERT_EQ(Call(49, set), 0);
    const TimeStampSettings s = GetTimeStampSettings();
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.text_colour, 255u | 128u << 8 | 1u << 16);
    EXPECT_EQ(s.back_colour, 0xFFu | 0xFFu << 8 | 3u << 16);  // each value taken as a byte
    EXPECT_EQ(s.style, 1);                                    // style 7 becomes 1
    EXPECT_EQ(s.back_mode, TimeStampSettings::kOpaque);       // 0 becomes opaque
    EXPECT_EQ(s.x, 12);
    EXPECT_EQ(s.y, -4);

    std::vector<Variant> get(11);
    ASSERT_EQ(Call(50, get), 0);
    EXPECT_EQ(get[0], Variant::Bool(true));
    const int16_t expected[] = {255, 128, 1, 255, 255, 3, 1, 2, 12, -4};
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(get[i + 1], Variant::I2(expected[i])) << i;

    // Styles 0 to 6 are kept; background mode 1 is transparent; the
    // settings are the process's, seen by every control.
    set = I2s({0, 0, 0, 0, 0, 0, 0, 6, 1, 0, 0});
    set[0] = Variant::Bool(false);
    ASSERT_EQ(Call(49, set), 0);
    CKestCtrl other;
    std::vector<Variant> again(11);
    int16_t result = -1;
    ASSERT_EQ(other.Invoke("GetTimeStamp", again, &result), DispError::kOk);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(again[0], Variant::Bool(false));
    EXPECT_EQ(again[7], Variant::I2(6));
    EXPECT_EQ(again[8], Variant::I2(1));
}

TEST_F(StreamMethods, DisplayMotionDetectionOnlyWithEnableOne) {
    std::vector<Variant> args = I2s({1, 1, 2, 3, 4, 5, 6, 7, 8, 0x109});
    ASSERT_EQ(Call(53, args), 0);
    LatticeSettings s = GetLatticeSettings();
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.line_colour, 1u | 2u << 8 | 3u << 16);
    EXPECT_EQ(s.setting_colour, 4u | 5u << 8 | 6u << 16);
    EXPECT_EQ(s.detection_colour, 7u | 8u << 8 | 9u << 16);
    for (int16_t enable : {2, -1, 0}) {
        args = I2s({enable, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        ASSERT_EQ(Call(53, args), 0);
        EXPECT_FALSE(GetLatticeSettings().enabled) << enable;
    }
}

TEST_F(StreamMethods, GetTimeStampFontFillsTheSixtyByteRecord) {
    uint8_t record[64];
    std::memset(record, 0xEE, sizeof record);
    std::vector<Variant> args = {Variant::Buffer(record, 60)};
    ASSERT_EQ(Call(52, args), 0);
    const uint8_t metrics[20] = {0xF3, 0xFF, 0xFF, 0xFF, 0, 0, 0,    0,    0, 0,
                                 0,    0,    0,    0,    0, 0, 0x90, 0x01, 0, 0};
    EXPECT_EQ(std::memcmp(record, metrics, 20), 0);  // -13, 0, 0, 0, 400
    const uint8_t bytes[8] = {0, 0, 0, 1, 1, 2, 1, 1};
    EXPECT_EQ(std::memcmp(record + 20, bytes, 8), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 28), "Terminal");
    EXPECT_EQ(record[59], 0);
    EXPECT_EQ(record[60], 0xEE);  // nothing past the record

    // A buffer that cannot hold the record gets nothing.
    std::memset(record, 0xEE, sizeof record);
    args = {Variant::Buffer(record, 59)};
    EXPECT_EQ(Call(52, args), kResultBadArgument);
    EXPECT_EQ(record[0], 0xEE);
    args = {Variant::Buffer(nullptr, 60)};
    EXPECT_EQ(Call(52, args), kResultBadArgument);
}

struct ChoosingUi : platform::HostUi {
    bool confirm = true;
    platform::LogFont offered;
    int calls = 0;
    Answer MessageBox(const std::string&, const std::string&, Buttons) override {
        return Answer::kOk;
    }
    bool ChooseFont(platform::LogFont& font) override {
        ++calls;
        offered = font;
        if (!confirm) return false;
        font.height = -20;
        font.weight = 700;
        font.underline = 1;
        std::strcpy(font.face_name, "DejaVu Sans");
        return true;
    }
    void AboutBox(const std::string&) override {}
};

TEST_F(StreamMethods, SetTimeStampFontKeepsAndSavesAConfirmedChoice) {
    // The headless default answers cancelled: result 0, nothing written.
    std::vector<Variant> none;
    ASSERT_EQ(Call(51, none), 0);
    std::ifstream missing(dir_.File("KEST.INI"));
    EXPECT_FALSE(missing.good());

    ChoosingUi ui;
    ui.confirm = false;
    ctrl_.SetHostUi(&ui);
    ASSERT_EQ(Call(51, none), 0);
    EXPECT_EQ(ui.offered.height, -13);
    EXPECT_STREQ(ui.offered.face_name, "Terminal");

    ui.confirm = true;
    ASSERT_EQ(Call(51, none), 0);
    EXPECT_EQ(ui.calls, 2);
    const std::string ini = dir_.File("KEST.INI");
    const std::pair<const char*, const char*> keys[] = {
        {"Height", "-20"},       {"Width", "0"},
        {"Escapement", "0"},     {"Orientation", "0"},
        {"Weight", "700"},       {"Italic", "0"},
        {"Underline", "1"},      {"StrikeOut", "0"},
        {"CharSet", "1"},        {"OutPrecision", "1"},
        {"ClipPrecision", "2"},  {"Quality", "1"},
        {"PitchAndFamily", "1"}, {"FaceName", "DejaVu Sans"},
    };
    for (const auto& [key, value] : keys)
        EXPECT_EQ(platform::GetProfileString(ini, "TimeStampFont", key, "?"), value) << key;

    uint8_t record[60] = {};
    std::vector<Variant> args = {Variant::Buffer(record, 60)};
    ASSERT_EQ(Call(52, args), 0);
    EXPECT_EQ(record[0], 0xEC);  // -20
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 28), "DejaVu Sans");
    ctrl_.SetHostUi(nullptr);

    // A new camera object reads the saved font.
    CKestCtrl later;
    ASSERT_EQ(later.Invoke(52, args, nullptr), DispError::kOk);
    EXPECT_EQ(record[0], 0xEC);
}

TEST_F(StreamMethods, FrameSizeChangeRecreatesTheFrameSurfaceFirst) {
    struct SizeSink : _DKestEvents {
        CKestCtrl* ctrl = nullptr;
        std::vector<int32_t> widths_at_event;
        void OnEvent(const MemberInfo& e, std::span<const Variant>) override {
            if (e.name == "ChangeFrameSize")
                widths_at_event.push_back(ctrl->camera()->frame_surface().width());
        }
    } sink;
    sink.ctrl = &ctrl_;
    ctrl_.Advise(&sink);
    EXPECT_EQ(ctrl_.camera()->frame_surface().width(), 320);
    ctrl_.OnMessage(kStatusMessage, 1, 0);  // size class 0
    ctrl_.OnMessage(kStatusMessage, 1, 2);  // size class 2
    ctrl_.OnMessage(kStatusMessage, 1, 1);
    EXPECT_EQ(sink.widths_at_event, (std::vector<int32_t>{640, 160, 320}));
    EXPECT_EQ(ctrl_.camera()->placeholder_mode(), 1);
    ctrl_.Unadvise(&sink);
}

TEST_F(StreamMethods, TheRowsCarryTheParameterNamesAndTypes) {
    const MemberInfo* m = FindMember(49, MemberKind::kMethod);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->name, "SetTimeStamp");
    ASSERT_EQ(m->params.size(), 11u);
    EXPECT_EQ(m->params[0].type, ParamType::kBool);
    EXPECT_EQ(m->params[10].name, "y");
    const MemberInfo* g = FindMember("GetTimeStamp", MemberKind::kMethod);
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->params[3].out);
    const MemberInfo* f = FindMember(52, MemberKind::kMethod);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->params[0].name, "Logfont");
    EXPECT_EQ(f->params[0].type, ParamType::kBuffer);
    EXPECT_EQ(f->params[0].buffer_size, 60u);
    const MemberInfo* d = FindMember(53, MemberKind::kMethod);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->name, "DisplayMotionDetection");
    EXPECT_EQ(d->params[9].name, "DetectionB");
    EXPECT_EQ(FindMember(51, MemberKind::kMethod)->name, "SetTimeStampFont");
}

}  // namespace
}  // namespace kest
