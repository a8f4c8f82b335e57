// Reads a Motion-JPEG AVI back for tests: the RIFF chunk tree, the main and
// stream headers, the frames of the "movi" list and the "idx1" index.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/byte_cursor.h"

namespace kest::test {

struct AviContents {
    bool ok = false;
    std::string error;
    uint32_t us_per_frame = 0, total_frames = 0, width = 0, height = 0;
    uint32_t scale = 0, rate = 0, length = 0;
    std::string handler, compression;
    std::vector<std::vector<uint8_t>> frames;   // from "movi"
    std::vector<std::vector<uint8_t>> indexed;  // the same, found through "idx1"
};

inline AviContents ReadAvi(const std::vector<uint8_t>& file) {
    AviContents a;
    ByteReader r(file);
    char cc[5] = {};
    const auto four = [&](ByteReader& rd) {
        rd.Bytes(cc, 4);
        return std::string(cc, 4);
    };
    if (four(r) != "RIFF") return a.error = "no RIFF", a;
    if (r.U32() != file.size() - 8) return a.error = "RIFF size", a;
    if (four(r) != "AVI ") return a.error = "not AVI", a;
    size_t movi = 0;
    while (r.ok() && r.remaining() >= 8) {
        const std::string id = four(r);
        const uint32_t size = r.U32();
        const size_t start = r.offset();
        if (!r.Has(size)) return a.error = "chunk past the end: " + id, a;
        if (id == "LIST") {
            const std::string type = four(r);
            if (type == "movi") {
                movi = start;
                while (r.offset() + 8 <= start + size) {
                    const std::string fid = four(r);
                    const uint32_t fsize = r.U32();
                    if (fid != "00dc" || !r.Has(fsize)) return a.error = "bad frame chunk", a;
                    a.frames.emplace_back(file.begin() + long(r.offset()),
                                          file.begin() + long(r.offset() + fsize));
                    r.Skip(fsize + (fsize & 1));
                }
                continue;
            }
            continue;  // hdrl, strl: walk into them
        }
        if (id == "avih") {
            a.us_per_frame = r.U32();
            r.Skip(8);
            r.U32();
            a.total_frames = r.U32();
            r.Skip(12);
            a.width = r.U32(), a.height = r.U32();
        } else if (id == "strh") {
            four(r);
            a.handler = four(r);
            r.Skip(12);
            a.scale = r.U32(), a.rate = r.U32();
            r.U32();
            a.length = r.U32();
        } else if (id == "strf") {
            r.Skip(16);
            a.compression = four(r);
        } else if (id == "idx1") {
            for (uint32_t i = 0; i < size / 16; ++i) {
                four(r);
                r.U32();
                const uint32_t off = r.U32(), len = r.U32();
                // Offsets count from the "movi" list type.
                const size_t at = movi + off;
                if (at + 8 + len > file.size() || std::memcmp(&file[at], "00dc", 4) != 0)
                    return a.error = "index entry", a;
                a.indexed.emplace_back(file.begin() + long(at + 8),
                                       file.begin() + long(at + 8 + len));
            }
        }
        r.Seek(start + size + (size & 1));
    }
    a.ok = r.ok();
    return a;
}

}  // namespace kest::test
