// Reading the frame comment back: time stamp, motion flag and lattices, and
// damaged comments that must end the parse inside the file.
#include <gtest/gtest.h>

#include <string>

#include "control/stream/frame_format.h"
#include "tests/control/stream/camera_jpeg.h"

namespace kest {
namespace {

using test::Bytes;

// Start marker, an APP0 of 18 bytes, optional other segments, then a comment
// segment holding body, then the start of a frame header.
Bytes FileWithComment(const Bytes& body, const Bytes& before = {}, int declared_extra = 0) {
    Bytes f = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
               0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
    f.insert(f.end(), before.begin(), before.end());
    const size_t len = body.size() + 2 + size_t(declared_extra);
    f.insert(f.end(), {0xFF, 0xFE, uint8_t(len >> 8), uint8_t(len)});
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

Bytes Ascii(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes WithFrameHeader(Bytes f) {
    f.insert(f.end(), {0xFF, 0xC0, 0x00, 0x11, 0x08});
    return f;
}

// The lattice bytes for cells: 37 bytes of 8 cells and one of 4, bit 0 first.
Bytes LatticeBytes(const std::array<uint8_t, 300>& cells) {
    Bytes b(38, 0);
    for (size_t n = 0; n < 300; ++n) {
        if (cells[n]) b[n / 8] |= uint8_t(1 << (n % 8));
    }
    return b;
}

std::array<uint8_t, 300> Pattern(uint32_t seed) {
    std::array<uint8_t, 300> cells{};
    for (size_t n = 0; n < 300; ++n)
        cells[n] = ((n * 2654435761u + seed) >> 7) & 1;
    cells[0] = 1, cells[299] = 1;
    return cells;
}

TEST(ParseFrameComment, ReadsTheTimeStampOfABuiltFile) {
    const FrameTime t{2002, 3, 5, 14, 7, 9, 45};
    Bytes h(kHeaderCapacity);
    h.resize(BuildJfifHeader(h, 320, 240, 1, 50, 1, 500, t));
    int16_t flag = 9;
    MotionLattices lattices;
    lattices.setting[5] = 1;
    EXPECT_EQ(ParseFrameComment(h, &flag, &lattices), t);
    // No motion fields in it: the motion state stays as it was.
    EXPECT_EQ(flag, 9);
    EXPECT_EQ(lattices.setting[5], 1);
}

TEST(ParseFrameComment, FourDigitsOnlyGiveTheYear) {
    const Bytes f = WithFrameHeader(FileWithComment(Ascii("timestamp = 2002; camera = ;")));
    EXPECT_EQ(ParseFrameComment(f), (FrameTime{2002, 0, 0, 0, 0, 0, 0}));
}

TEST(ParseFrameComment, MissingCommentGivesZeroAndLeavesMotionAlone) {
    // A quantisation segment, then a frame header, then scan bytes: no comment.
    Bytes f = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
               0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
    f.insert(f.end(), {0xFF, 0xDB, 0x00, 0x04, 0x00, 0x01});
    f.insert(f.end(), {0x12, 0x34, 0x56});
    int16_t flag = 1;
    MotionLattices lattices;
    lattices.detection[7] = 1;
    EXPECT_EQ(ParseFrameComment(f, &flag, &lattices), FrameTime{});
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(lattices.detection[7], 1);
    // Files too short to hold even the first segment.
    EXPECT_EQ(ParseFrameComment(Bytes(21, 0xFF)), FrameTime{});
    EXPECT_EQ(ParseFrameComment(Bytes{}), FrameTime{});
}

TEST(ParseFrameComment, MotionFieldsOfModelsElevenAndTwenty) {
    const auto setting = Pattern(1), detection = Pattern(99);
    Bytes body = Ascii(
        "size =      12345; reverse = 0; timestamp = 20240102030405678; camera = ; "
        "zoom = 3; motion = 1; mask = X;  ");
    const Bytes s = LatticeBytes(setting), d = LatticeBytes(detection);
    body.insert(body.end(), s.begin(), s.end());
    body.insert(body.end(), {'\r', '\n'});
    body.insert(body.end(), d.begin(), d.end());
    body.insert(body.end(), {'\r', '\n'});
    const Bytes tail = Ascii("; extra = 5;");
    body.insert(body.end(), tail.begin(), tail.end());
    const Bytes f = WithFrameHeader(FileWithComment(body));

    int16_t flag = 0;
    MotionLattices lattices;
    EXPECT_EQ(ParseFrameComment(f, &flag, &lattices), (FrameTime{2024, 1, 2, 3, 4, 5, 678}));
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(lattices.setting, setting);
    EXPECT_EQ(lattices.detection, detection);

    // Without motion fields asked for (other models) they are skipped like
    // any unknown field, and the time stamp is still read.
    EXPECT_EQ(ParseFrameComment(f), (FrameTime{2024, 1, 2, 3, 4, 5, 678}));

    // "motion = 0" clears the flag.
    const Bytes off = WithFrameHeader(FileWithComment(Ascii("motion = 0; timestamp = 2001;")));
    flag = 1;
    EXPECT_EQ(ParseFrameComment(off, &flag, &lattices).year, 2001);
    EXPECT_EQ(flag, 0);
}

TEST(ParseFrameComment, OtherSegmentsBeforeTheCommentAreSkipped) {
    const Bytes app1 = {0xFF, 0xE1, 0x00, 0x06, 'a', 'b', 'c', 'd'};
    const Bytes f =
        WithFrameHeader(FileWithComment(Ascii("foo = bar; timestamp = 19991231235959999;"), app1));
    EXPECT_EQ(ParseFrameComment(f), (FrameTime{1999, 12, 31, 23, 59, 59, 999}));
}

TEST(ParseFrameComment, DamagedCommentsEndInsideTheFile) {
    // No terminating ";" and the file ends right after the digits.
    Bytes f = FileWithComment(Ascii("timestamp = 20020305140709045"));
    EXPECT_EQ(ParseFrameComment(f), (FrameTime{2002, 3, 5, 14, 7, 9, 45}));
    // The file ends inside the digits: what was read stays.
    f = FileWithComment(Ascii("timestamp = 200203"));
    EXPECT_EQ(ParseFrameComment(f), (FrameTime{2002, 3, 0, 0, 0, 0, 0}));
    // A 0xFF inside the digits ends the comment there.
    Bytes body = Ascii("timestamp = 2002030");
    body.push_back(0xFF);
    body.insert(body.end(), {'5', '1', '4'});
    EXPECT_EQ(ParseFrameComment(WithFrameHeader(FileWithComment(body))),
              (FrameTime{2002, 3, 0, 0, 0, 0, 0}));
    // A comment length past the end of the file: fields up to the end.
    f = FileWithComment(Ascii("reverse = 1; timestamp = 2010"), {}, 5000);
    EXPECT_EQ(ParseFrameComment(f).year, 2010);
    // A segment length past the end: no comment found.
    const Bytes long_app1 = {0xFF, 0xE1, 0x7F, 0xFF, 'x'};
    f = FileWithComment(Ascii("timestamp = 2010;"));
    Bytes cut(f.begin(), f.begin() + 20);
    cut.insert(cut.end(), long_app1.begin(), long_app1.end());
    EXPECT_EQ(ParseFrameComment(cut), FrameTime{});
    // A comment marker whose length bytes are cut off.
    Bytes stub(f.begin(), f.begin() + 22);
    EXPECT_EQ(ParseFrameComment(stub), FrameTime{});
}

TEST(ParseFrameComment, TruncatedMaskLeavesTheLatticesAlone) {
    Bytes body = Ascii("motion = 1; mask = X; ");
    body.insert(body.end(), 50, 0xAA);  // fewer than the 80 bytes the cells take
    const Bytes f = FileWithComment(body);
    int16_t flag = 0;
    MotionLattices lattices;
    lattices.setting[0] = 7;
    ParseFrameComment(f, &flag, &lattices);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(lattices.setting[0], 7);
    EXPECT_EQ(lattices.detection, MotionLattices{}.detection);
}

TEST(ParseFrameComment, UncheckedDigitsBuildTheirValues) {
    // Like the cameras' own readers, characters that are not digits still
    // count as character - '0'.
    const Bytes f = WithFrameHeader(FileWithComment(Ascii("timestamp = 20A1;")));
    EXPECT_EQ(ParseFrameComment(f).year, 2 * 1000 + 0 * 100 + ('A' - '0') * 10 + 1);
}

}  // namespace
}  // namespace kest
