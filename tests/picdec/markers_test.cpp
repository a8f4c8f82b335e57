// Malformed streams, one row per damage and its exact result, for the information call and
// the picture call; and restart intervals with damaged or missing markers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "jpeg_fixtures.h"
#include "picdec.h"

namespace picdec_test {
namespace {

// 32 x 32, 4:2:0, baseline, as cjpeg writes it: SOI, APP0, DQT x2, SOF0, DHT x4, SOS.
const Bytes& Base() {
    static const Bytes b = Encode(SynthImage(32, 32, 3), 32, 32, 3, "-sample 2x2 -quality 80");
    return b;
}
const Bytes& Progressive() {
    static const Bytes b =
        Encode(SynthImage(32, 32, 3), 32, 32, 3, "-sample 2x2 -progressive -quality 80");
    return b;
}

size_t At(const Bytes& j, uint8_t code, int nth = 0) {
    size_t p = FindMarker(j, code);
    while (nth-- > 0)
        p = FindMarker(j, code, p + 2);
    if (p == std::string::npos) throw std::runtime_error("marker not found");
    return p;
}

void Insert(Bytes& j, size_t at, const Bytes& seg) {
    j.insert(j.begin() + at, seg.begin(), seg.end());
}

struct Row {
    const char* name;
    std::function<void(Bytes&)> damage;
    int info_result;
    int picture_result;
    bool progressive = false;
};

// SOF0 layout: FF C0, length (2), precision, height (2), width (2), n, then n records of
// identifier, sampling factors (H << 4 | V), quantisation table.
const Row kRows[] = {
    {"intact", [](Bytes&) {}, 0, 0},
    {"no_start_of_image", [](Bytes& j) { j[1] = 0xD9; }, 2, 2},
    {"empty", [](Bytes& j) { j.clear(); }, 2, 2},
    {"end_of_image_before_first_scan", [](Bytes& j) { j[At(j, 0xDA) + 1] = 0xD9; }, 2, 2},
    {"lossless_frame", [](Bytes& j) { j[At(j, 0xC0) + 1] = 0xC3; }, 2, 2},
    {"arithmetic_sequential", [](Bytes& j) { j[At(j, 0xC0) + 1] = 0xC9; }, 2, 2},
    {"arithmetic_progressive", [](Bytes& j) { j[At(j, 0xC0) + 1] = 0xCA; }, 2, 2},
    {"two_components", [](Bytes& j) { j[At(j, 0xC0) + 9] = 2; }, 2, 2},
    {"five_components", [](Bytes& j) { j[At(j, 0xC0) + 9] = 5; }, 3, 3},  // length too short
    {"identifiers_1_4_5",
     [](Bytes& j) {
         size_t s = At(j, 0xC0);
         j[s + 13] = 4;
         j[s + 16] = 5;
     },
     2, 2},
    {"zero_width", [](Bytes& j) { j[At(j, 0xC0) + 7] = j[At(j, 0xC0) + 8] = 0; }, 3, 3},
    {"zero_height", [](Bytes& j) { j[At(j, 0xC0) + 5] = j[At(j, 0xC0) + 6] = 0; }, 3, 3},
    {"frame_length_below_3n_plus_8", [](Bytes& j) { j[At(j, 0xC0) + 3] = 16; }, 3, 3},
    {"sampling_factor_5", [](Bytes& j) { j[At(j, 0xC0) + 11] = 0x52; }, 3, 3},
    {"sampling_factor_0", [](Bytes& j) { j[At(j, 0xC0) + 11] = 0x02; }, 3, 3},
    {"mcu_of_18_blocks", [](Bytes& j) { j[At(j, 0xC0) + 11] = 0x44; }, 0, 2},
    {"sampling_3x1_2x1_1x1",
     [](Bytes& j) {
         size_t s = At(j, 0xC0);
         j[s + 11] = 0x31;
         j[s + 14] = 0x21;
     },
     0, 2},
    {"undefined_quant_table", [](Bytes& j) { j[At(j, 0xC0) + 12] = 3; }, 0, 3},
    {"quant_table_number_5", [](Bytes& j) { j[At(j, 0xC0) + 12] = 5; }, 0, 3},
    {"dqt_table_number_4", [](Bytes& j) { j[At(j, 0xDB) + 4] = 0x04; }, 3, 3},
    {"dqt_16bit_entries_overrun", [](Bytes& j) { j[At(j, 0xDB) + 4] = 0x10; }, 3, 3},
    {"dri_length_5",
     [](Bytes& j) {
         Insert(j, 2, {0xFF, 0xDD, 0, 5, 0, 1, 0});
     },
     3, 3},
    {"dri_length_4",
     [](Bytes& j) {
         Insert(j, 2, {0xFF, 0xDD, 0, 4, 0, 0});
     },
     0, 0},
    {"segment_length_1",
     [](Bytes& j) {
         j[5] = 1;
         j[4] = 0;
     },
     3, 3},
    {"dht_class_2", [](Bytes& j) { j[At(j, 0xC4) + 4] = 0x20; }, 3, 3},
    {"dht_table_number_4", [](Bytes& j) { j[At(j, 0xC4) + 4] = 0x04; }, 3, 3},
    {"dht_over_subscribed",
     [](Bytes& j) {
         // Luminance DC counts 0 1 5 1 1 ...: two 1-bit codes leave no room for the rest.
         size_t c = At(j, 0xC4) + 5;
         ASSERT_EQ(j[c], 0);
         ASSERT_GE(j[c + 2], 2);
         j[c] = 2;
         j[c + 2] -= 2;
     },
     3, 3},
    {"dht_symbols_past_segment", [](Bytes& j) { j[At(j, 0xC4) + 5 + 15] = 200; }, 3, 3},
    {"scan_of_zero_components", [](Bytes& j) { j[At(j, 0xDA) + 4] = 0; }, 0, 3},
    {"scan_of_five_components", [](Bytes& j) { j[At(j, 0xDA) + 4] = 5; }, 0, 3},
    {"scan_names_unknown_component", [](Bytes& j) { j[At(j, 0xDA) + 5] = 9; }, 0, 3},
    {"scan_names_a_component_twice", [](Bytes& j) { j[At(j, 0xDA) + 7] = 1; }, 0, 3},
    {"scan_uses_undefined_huffman_table", [](Bytes& j) { j[At(j, 0xDA) + 6] = 0x22; }, 0, 3},
    {"scan_uses_huffman_table_5", [](Bytes& j) { j[At(j, 0xDA) + 6] = 0x55; }, 0, 3},
    {"comment_and_app_segments_skipped",
     [](Bytes& j) {
         Insert(j, 2, {0xFF, 0xFE, 0, 4, 'h', 'i'});
         Insert(j, 2, {0xFF, 0xE5, 0, 3, 9});
         Insert(j, 2, {0xFF, 0x01, 0xFF, 0xD3, 0xFF, 0xFF});  // TEM, RST3, fill bytes
     },
     0, 0},
    {"truncated_sequential", [](Bytes& j) { j.resize(j.size() - 200); }, 0, 0},
    {"truncated_in_headers", [](Bytes& j) { j.resize(At(j, 0xC4) + 10); }, 2, 2},
    {"progressive_frame_marker_between_scans", [](Bytes& j) { j[At(j, 0xDA, 1) + 1] = 0xC0; }, 0, 3,
     true},
    {"progressive_bad_spectral_band",
     [](Bytes& j) {
         size_t s = At(j, 0xDA, 1);
         j[s + 5 + 2 * j[s + 4] + 1] = 70;  // Se past 63
     },
     0, 3, true},
    {"progressive_truncated_between_scans", [](Bytes& j) { j.resize(At(j, 0xDA, 2)); }, 0, 10,
     true},
};

class MalformedTest : public ::testing::TestWithParam<Row> {};

TEST_P(MalformedTest, ExactResult) {
    const Row& row = GetParam();
    Bytes j = row.progressive ? Progressive() : Base();
    row.damage(j);
    PicdecPictureInfo info;
    int rc = GetPictureInfo(reinterpret_cast<const char*>(j.data()), static_cast<long>(j.size()),
                            PICDEC_INPUT_MEMORY, &info);
    EXPECT_EQ(rc, row.info_result);
    if (rc == 0) {
        char* c;
        std::memcpy(&c, &info.comment, sizeof(c));
        std::free(c);
    }
    EXPECT_EQ(Decode(j).result, row.picture_result);
    EXPECT_EQ(Decode(j, true).result, row.picture_result);
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedTest, ::testing::ValuesIn(kRows),
                         [](const auto& p) { return std::string(p.param.name); });

// Restart intervals of one MCU row; marker n of the picture is changed or removed.
class RestartTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RestartTest, DamageCostsOneIntervalLikeLibjpegTurbo) {
    Bytes j = Encode(SynthImage(64, 64, 3), 64, 64, 3, "-sample 2x2 -restart 1 -quality 80");
    std::string how = GetParam();
    size_t rst = At(j, 0xD1);  // the second restart marker
    if (how == "missing") {
        j.erase(j.begin() + rst, j.begin() + rst + 2);
    } else if (how == "wrong_number") {
        j[rst + 1] = 0xD5;
    } else if (how == "previous_number") {
        j[rst + 1] = 0xD0;
    } else if (how == "turned_into_data") {
        j[rst + 1] = 0x00;
    }
    Reference ref = DecodeReference(j);
    ASSERT_EQ(ref.width, 64);
    for (int path : {0, 1}) {
        Decoded d = DecodeWithPath(j, path);
        ASSERT_EQ(d.result, 0);
        Diff diff = Compare(d, ref);
        EXPECT_LE(diff.mean, 1.5) << how << " max " << diff.max;
        EXPECT_LE(diff.max, 16) << how;
    }
}

INSTANTIATE_TEST_SUITE_P(Damage, RestartTest,
                         ::testing::Values("intact", "missing", "wrong_number", "previous_number",
                                           "turned_into_data"));

TEST(RestartEndTest, DataEndingInsideARestartSearchIsBroken) {
    Bytes j = Encode(SynthImage(64, 64, 3), 64, 64, 3, "-sample 2x2 -restart 1");
    j.resize(At(j, 0xD1));
    EXPECT_EQ(Decode(j).result, 3);
}

}  // namespace
}  // namespace picdec_test
