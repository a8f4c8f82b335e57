#include "platform/profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace kest::platform {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Profile, NamesAreCaseInsensitiveAndValuesTrimmedAndUnquoted) {
    test::ScopedTempDir dir;
    const std::string path = dir.File("a.ini");
    std::ofstream(path) << "[UDP]\r\n  Retry =  250  \r\n[fonts]\r\nName=\"Terminal\"\r\n"
                           "Other='x'\r\nHalf=\"open\r\n";
    EXPECT_EQ(GetProfileInt(path, "udp", "retry", 0), 250);
    EXPECT_EQ(GetProfileString(path, "Fonts", "NAME", ""), "Terminal");
    EXPECT_EQ(GetProfileString(path, "fonts", "other", ""), "x");
    EXPECT_EQ(GetProfileString(path, "fonts", "half", ""), "\"open");
    EXPECT_EQ(GetProfileString(path, "fonts", "missing", "dflt"), "dflt");
    EXPECT_EQ(GetProfileString(path, "nosection", "name", "d"), "d");
    EXPECT_EQ(GetProfileInt(path, "fonts", "name", 7), 0);  // not a number
    EXPECT_EQ(GetProfileInt(path, "udp", "missing", -4), -4);
}

TEST(Profile, MissingFileReadsAsEmptyAndIsCreatedOnWrite) {
    test::ScopedTempDir dir;
    const std::string path = dir.File("new.ini");
    EXPECT_EQ(GetProfileString(path, "s", "k", "none"), "none");
    ASSERT_TRUE(WriteProfileString(path, "TimeStampFont", "Height", "-12"));
    EXPECT_EQ(GetProfileInt(path, "timestampfont", "height", 0), -12);
}

TEST(Profile, WritingOneKeyKeepsTheRestOfTheFile) {
    test::ScopedTempDir dir;
    const std::string path = dir.File("keep.ini");
    std::ofstream(path) << "; comment\r\n[a]\r\nx=1\r\ny=2\r\n\r\n[b]\r\nz=3\r\n";
    ASSERT_TRUE(WriteProfileString(path, "A", "Y", "20"));
    ASSERT_TRUE(WriteProfileString(path, "a", "w", "9"));
    ASSERT_TRUE(WriteProfileString(path, "c", "q", "5"));
    EXPECT_EQ(ReadAll(path),
              "; comment\r\n[a]\r\nx=1\r\nY=20\r\nw=9\r\n\r\n[b]\r\nz=3\r\n[c]\r\nq=5\r\n");
}

}  // namespace
}  // namespace kest::platform
