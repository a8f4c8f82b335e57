#include "tests/control/stream/camera_jpeg.h"

#include <algorithm>
#include <cstdio>  // before jpeglib.h, which needs FILE
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace kest::test {

namespace {

constexpr uint8_t kZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

}  // namespace

size_t FindMarker(const Bytes& file, uint8_t code, size_t from) {
    for (size_t i = from; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == code) return i;
    }
    return std::string::npos;
}

Bytes TestPicture(int width, int height, uint32_t seed) {
    Bytes rgb(size_t(width) * height * 3);
    uint32_t noise = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            const int texture = int((noise >> 24) & 15) - 8;
            p[0] = uint8_t(std::clamp(x * 255 / std::max(1, width - 1) + texture, 0, 255));
            p[1] = uint8_t(std::clamp(y * 255 / std::max(1, height - 1) + texture, 0, 255));
            p[2] = uint8_t(((x / 16 + y / 16) & 1) ? 200 : 60);
        }
    }
    return rgb;
}

CameraScan EncodeCameraScan(const Bytes& rgb, int width, int height, int sampling, int32_t q) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jerr.error_exit = [](j_common_ptr) { throw std::runtime_error("libjpeg error"); };
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long out_size = 0;
    jpeg_mem_dest(&cinfo, &out, &out_size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCbCr);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = sampling == 1 ? 1 : 2;
    for (int c = 1; c < 3; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    // The camera's tables, in natural order, taken as they are (scale 100).
    const auto zigzag = QuantTable(q);
    unsigned int natural[64];
    for (int k = 0; k < 64; ++k)
        natural[kZigZag[k]] = zigzag[size_t(k)];
    jpeg_add_quant_table(&cinfo, 0, natural, 100, TRUE);
    jpeg_add_quant_table(&cinfo, 1, natural, 100, TRUE);
    cinfo.optimize_coding = FALSE;
    cinfo.restart_interval = 0;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&rgb[size_t(cinfo.next_scanline) * width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    CameraScan s;
    s.file.assign(out, out + out_size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);

    const size_t sos = FindMarker(s.file, 0xDA);
    if (sos == std::string::npos) throw std::runtime_error("no scan");
    const size_t start = sos + 2 + ((size_t(s.file[sos + 2]) << 8) | s.file[sos + 3]);
    s.scan.assign(s.file.begin() + long(start), s.file.end() - 2);
    return s;
}

Bytes BuildCameraFile(const CameraScan& scan, int width, int height, int sampling, int32_t q,
                      int32_t reverse, const FrameTime& time) {
    Bytes file(kHeaderCapacity + scan.scan.size() + 2);
    const size_t header =
        BuildJfifHeader(file, width, height, sampling, q, reverse, int32_t(scan.scan.size()), time);
    if (header == 0) throw std::runtime_error("header");
    std::copy(scan.scan.begin(), scan.scan.end(), file.begin() + long(header));
    file[header + scan.scan.size()] = 0xFF;
    file[header + scan.scan.size() + 1] = 0xD9;
    file.resize(header + scan.scan.size() + 2);
    return file;
}

}  // namespace kest::test
