// Small JSON writing helpers for kestctl's output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestctl {

// A JSON string of bytes: each byte 0x80..0xFF stands for the character of the
// same number (Latin-1), so camera texts come out unchanged and readable.
inline std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    static const char* const kHex = "0123456789abcdef";
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else if (c >= 0x80) {
                    out += char(0xC0 | (c >> 6));
                    out += char(0x80 | (c & 0x3F));
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

inline std::string Hex(const uint8_t* data, size_t n) {
    static const char* const kHex = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i)
        s += kHex[data[i] >> 4], s += kHex[data[i] & 15];
    return s;
}

}  // namespace kestctl
