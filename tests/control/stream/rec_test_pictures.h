// Test pictures in the receive path's layout: a real JPEG (libjpeg-turbo)
// with the comment "size = ...; reverse = ...; timestamp = ...; camera = ;"
// at offset 20, so that the size field holds the file's length.
#pragma once

#include <turbojpeg.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "control/stream/rec_file.h"

namespace kest::test {

// A gradient picture whose pixel values depend on seed.
inline std::vector<uint8_t> EncodeJpeg(int width, int height, int seed, int quality = 85) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uint8_t(x * 255 / std::max(1, width - 1));
            p[1] = uint8_t(y * 255 / std::max(1, height - 1));
            p[2] = uint8_t(seed * 37);
        }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, quality, 0);
    std::vector<uint8_t> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return jpeg;
}

inline rec::RecTime Time(int y, int mo, int d, int h, int mi, int s, int ms) {
    rec::RecTime t;
    t.year = uint16_t(y), t.month = uint16_t(mo), t.day = uint16_t(d), t.hour = uint16_t(h);
    t.minute = uint16_t(mi), t.second = uint16_t(s), t.millisecond = uint16_t(ms);
    return t;
}

// Inserts the comment after SOI and the 18-byte JFIF segment. size_value < 0
// writes the real length; extra goes at the end of the text.
inline std::vector<uint8_t> WithComment(const std::vector<uint8_t>& jpeg, const rec::RecTime& t,
                                        int reverse = 0, long size_value = -1,
                                        const std::string& extra = "") {
    char text[256];
    const std::string digits = t.Digits();
    std::snprintf(text, sizeof text, "size = %%10d; reverse = %d; timestamp = %s; camera = ;%s",
                  reverse, digits.c_str(), extra.c_str());
    const size_t comment_length = std::strlen(text) + 6;  // %10d becomes ten characters
    const size_t total = jpeg.size() + 4 + comment_length;
    char filled[300];
    std::snprintf(filled, sizeof filled, text, int(size_value < 0 ? long(total) : size_value));
    const size_t n = std::strlen(filled);
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 20);
    out.push_back(0xFF), out.push_back(0xFE);
    out.push_back(uint8_t((n + 2) >> 8)), out.push_back(uint8_t(n + 2));
    out.insert(out.end(), filled, filled + n);
    out.insert(out.end(), jpeg.begin() + 20, jpeg.end());
    return out;
}

inline std::vector<uint8_t> Picture(int seed, const rec::RecTime& t, int reverse = 0,
                                    int width = 64, int height = 48) {
    return WithComment(EncodeJpeg(width, height, seed), t, reverse);
}

// Decodes with the reference decoder; empty on failure.
inline std::vector<uint8_t> DecodeRgb(const std::vector<uint8_t>& jpeg, int& width, int& height) {
    tjhandle tj = tjInitDecompress();
    int sub = 0, cs = 0;
    std::vector<uint8_t> rgb;
    if (tjDecompressHeader3(tj, jpeg.data(), (unsigned long)jpeg.size(), &width, &height, &sub,
                            &cs) == 0) {
        rgb.resize(size_t(width) * size_t(height) * 3);
        if (tjDecompress2(tj, jpeg.data(), (unsigned long)jpeg.size(), rgb.data(), width, 0, height,
                          TJPF_RGB, 0) != 0)
            rgb.clear();
    }
    tjDestroy(tj);
    return rgb;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> data;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            data.insert(data.end(), buf, buf + n);
        std::fclose(f);
    }
    return data;
}

inline void WriteAll(const std::string& path, const std::vector<uint8_t>& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
}

inline uint32_t U32At(const std::vector<uint8_t>& d, size_t at) {
    return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 |
           uint32_t(d[at + 3]) << 24;
}
inline uint16_t U16At(const std::vector<uint8_t>& d, size_t at) {
    return uint16_t(d[at] | d[at + 1] << 8);
}

}  // namespace kest::test
