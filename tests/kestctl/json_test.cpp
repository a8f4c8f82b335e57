#include "tools/kestctl/json.h"

#include <gtest/gtest.h>

namespace kestctl {
namespace {

TEST(Json, CameraBytesComeOutAsLatin1Characters) {
    EXPECT_EQ(JsonString("abc"), "\"abc\"");
    EXPECT_EQ(JsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\n\"");
    EXPECT_EQ(JsonString(std::string("\x01\x7f", 2)), "\"\\u0001\\u007f\"");
    // 0xE9 is e-acute in Latin-1: U+00E9, two bytes in UTF-8.
    EXPECT_EQ(JsonString("caf\xe9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(JsonString(std::string("\x80\xff", 2)), "\"\xc2\x80\xc3\xbf\"");
    EXPECT_EQ(JsonString(std::string("\0x", 2)), "\"\\u0000x\"");
    const uint8_t bytes[] = {0x0a, 0xff, 0x00};
    EXPECT_EQ(Hex(bytes, 3), "0aff00");
}

}  // namespace
}  // namespace kestctl
