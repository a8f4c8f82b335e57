#include "sim/test_picture.h"

// jpeglib.h needs FILE declared first.
#include <cstdio>

#include <jpeglib.h>
#include <cstdlib>
#include <cstring>

namespace kest::sim {

namespace {

// A 3x5 font for the digits and ':'.
constexpr uint16_t kGlyphs[11] = {
    0x7B6F, 0x2C97, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF, 0x0410,
};

void Fill(std::vector<uint8_t>& rgb, int w, int h, int x0, int y0, int x1, int y1, uint8_t r,
          uint8_t g, uint8_t b) {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(w, x1); ++x) {
            uint8_t* p = &rgb[size_t(y * w + x) * 3];
            p[0] = r, p[1] = g, p[2] = b;
        }
    }
}

void Text(std::vector<uint8_t>& rgb, int w, int h, int x, int y, int scale, const char* text) {
    for (; *text; ++text, x += 4 * scale) {
        const int index = *text == ':' ? 10 : *text - '0';
        if (index < 0 || index > 10) continue;
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (kGlyphs[index] >> (14 - row * 3 - col) & 1) {
                    Fill(rgb, w, h, x + col * scale, y + row * scale, x + (col + 1) * scale,
                         y + (row + 1) * scale, 255, 255, 255);
                }
            }
        }
    }
}

}  // namespace

std::vector<uint8_t> DrawTestPicture(int width, int height, uint32_t frame, const std::tm& clock) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    static const uint8_t kBars[8][3] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192},
                                        {0, 192, 0},     {192, 0, 192}, {192, 0, 0},
                                        {0, 0, 192},     {16, 16, 16}};
    for (int i = 0; i < 8; ++i) {
        Fill(rgb, width, height, i * width / 8, 0, (i + 1) * width / 8, height * 2 / 3, kBars[i][0],
             kBars[i][1], kBars[i][2]);
    }
    // A grey ramp below the bars.
    for (int y = height * 2 / 3; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t v = uint8_t(x * 255 / std::max(1, width - 1));
            uint8_t* p = &rgb[size_t(y * width + x) * 3];
            p[0] = p[1] = p[2] = v;
        }
    }
    const int bar = int(frame * 8 % uint32_t(std::max(1, width)));
    Fill(rgb, width, height, bar, 0, bar + std::max(2, width / 40), height, 255, 255, 255);
    const int scale = std::max(1, height / 60);
    char text[32];
    std::snprintf(text, sizeof text, "%06u", frame % 1000000);
    Text(rgb, width, height, 4 * scale, 4 * scale, scale, text);
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", clock.tm_hour, clock.tm_min, clock.tm_sec);
    Text(rgb, width, height, 4 * scale, 12 * scale, scale, text);
    return rgb;
}

std::array<unsigned int, 64> QuantTableForQuality(int q) {
    std::array<unsigned int, 64> table{};
    for (int u = 0; u < 8; ++u) {
        for (int v = 0; v < 8; ++v) {
            const uint32_t t = uint32_t(4 * (u + v + 1) * q) % 65536u;
            uint32_t e = t / 50 + (t % 50 >= 25 ? 1 : 0);
            if (e == 0) e = 1;
            if (e > 255) e = 255;
            table[size_t(u * 8 + v)] = e;
        }
    }
    return table;
}

EncodedPicture EncodePicture(const std::vector<uint8_t>& rgb, int width, int height, int q,
                             int sampling) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long out_size = 0;
    jpeg_mem_dest(&cinfo, &out, &out_size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);  // the standard Huffman tables
    cinfo.write_JFIF_header = FALSE;
    cinfo.optimize_coding = FALSE;
    cinfo.dct_method = JDCT_ISLOW;
    const std::array<unsigned int, 64> table = QuantTableForQuality(q);
    jpeg_add_quant_table(&cinfo, 0, table.data(), 100, TRUE);
    jpeg_add_quant_table(&cinfo, 1, table.data(), 100, TRUE);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = sampling ? 1 : 2;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[size_t(cinfo.next_scanline) * size_t(width) * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);

    EncodedPicture picture;
    // Split after the start-of-scan segment; drop the start and end markers.
    size_t pos = 2;
    while (pos + 4 <= out_size && out[pos] == 0xFF) {
        const uint8_t marker = out[pos + 1];
        const size_t length = size_t(out[pos + 2]) << 8 | out[pos + 3];
        pos += 2 + length;
        if (marker == 0xDA) break;
    }
    if (pos <= out_size && out_size >= 2) {
        picture.tables.assign(out + 2, out + pos);
        picture.entropy.assign(out + pos, out + out_size - 2);
    }
    free(out);
    return picture;
}

}  // namespace kest::sim
