#include "jpeg_fixtures.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include "kernels.h"
#include "picdec.h"
#include "plugin_internal.h"

namespace picdec_test {

Bytes SynthImage(int w, int h, int channels, uint32_t seed) {
    Bytes px(static_cast<size_t>(w) * h * channels);
    uint32_t state = seed * 2654435761u + 12345;
    auto rnd = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
            double base[3] = {
                128 + 100 * std::sin(fx * 3.1 + fy * 1.3),
                128 + 90 * std::cos(fx * 2.2 - fy * 2.7),
                128 + 80 * std::sin((fx + fy) * 4.0 + 1.0),
            };
            double texture =
                18 * std::sin(x * 0.45) * std::cos(y * 0.31) + 10 * std::sin((x + 2 * y) * 0.9);
            for (int c = 0; c < channels; ++c) {
                double v = base[c] + texture + static_cast<int>(rnd() % 21) - 10;
                px[(static_cast<size_t>(y) * w + x) * channels + c] =
                    static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    }
    return px;
}

namespace {

std::string TempName(const char* suffix) {
    static int counter = 0;
    char buf[256];
    const char* dir = std::getenv("TMPDIR");
    std::snprintf(buf, sizeof(buf), "%s/picdec_test_%d_%d%s", dir ? dir : "/tmp",
                  static_cast<int>(getpid()), counter++, suffix);
    return buf;
}

Bytes ReadFile(const std::string& path) {
    Bytes out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
        out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
}

}  // namespace

Bytes Encode(const Bytes& pixels, int w, int h, int channels, const std::string& options) {
    std::string in = TempName(channels == 1 ? ".pgm" : ".ppm");
    std::string out = TempName(".jpg");
    FILE* f = std::fopen(in.c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot write " + in);
    std::fprintf(f, "P%d\n%d %d\n255\n", channels == 1 ? 5 : 6, w, h);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
    std::string cmd = "cjpeg " + options + " -outfile " + out + " " + in;
    int rc = std::system(cmd.c_str());
    std::remove(in.c_str());
    Bytes jpeg = ReadFile(out);
    std::remove(out.c_str());
    if (rc != 0 || jpeg.empty()) throw std::runtime_error("cjpeg failed: " + cmd);
    return jpeg;
}

Bytes Transcode(const Bytes& jpeg, const std::string& options) {
    std::string in = TempName(".jpg");
    std::string out = TempName(".jpg");
    FILE* f = std::fopen(in.c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot write " + in);
    std::fwrite(jpeg.data(), 1, jpeg.size(), f);
    std::fclose(f);
    std::string cmd = "jpegtran " + options + " -outfile " + out + " " + in;
    int rc = std::system(cmd.c_str());
    std::remove(in.c_str());
    Bytes result = ReadFile(out);
    std::remove(out.c_str());
    if (rc != 0 || result.empty()) throw std::runtime_error("jpegtran failed: " + cmd);
    return result;
}

Reference DecodeReference(const Bytes& jpeg, bool fast_upsample) {
    // The libjpeg API rather than TurboJPEG's, which refuses sampling like 3x1.
    Reference r;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jerr.error_exit = [](j_common_ptr) { throw std::runtime_error("libjpeg error"); };
    jerr.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&cinfo);
    try {
        jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.dct_method = JDCT_ISLOW;
        cinfo.do_fancy_upsampling = fast_upsample ? FALSE : TRUE;
        bool grey = cinfo.num_components == 1;
        cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
        jpeg_start_decompress(&cinfo);
        r.width = static_cast<int>(cinfo.output_width);
        r.height = static_cast<int>(cinfo.output_height);
        r.channels = grey ? 1 : 3;
        size_t row = static_cast<size_t>(r.width) * r.channels;
        r.pixels.resize(row * r.height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW dst = r.pixels.data() + (r.height - 1 - cinfo.output_scanline) * row;
            jpeg_read_scanlines(&cinfo, &dst, 1);
        }
        jpeg_finish_decompress(&cinfo);
    } catch (const std::runtime_error&) {
        r = Reference{};
    }
    jpeg_destroy_decompress(&cinfo);
    return r;
}

namespace {

Decoded Collect(int result, void* info, void* pixels) {
    Decoded d;
    d.result = result;
    if (info != nullptr) {
        PicdecBitmapInfoHeader hdr;
        std::memcpy(&hdr, info, sizeof(hdr));
        d.width = hdr.width;
        d.height = hdr.height;
        d.bits = hdr.bit_count;
        d.stride = (static_cast<size_t>(d.width) * (d.bits / 8) + 3) & ~size_t{3};
        size_t info_size = sizeof(hdr) + (d.bits == 8 ? 1024 : 0);
        d.info.assign(static_cast<uint8_t*>(info), static_cast<uint8_t*>(info) + info_size);
        d.pixels.assign(static_cast<uint8_t*>(pixels),
                        static_cast<uint8_t*>(pixels) + hdr.size_image + 4);
    }
    std::free(info);
    std::free(pixels);
    return d;
}

}  // namespace

Decoded Decode(const Bytes& jpeg, bool preview) {
    void* info = nullptr;
    void* pixels = nullptr;
    auto fn = preview ? GetPreview : GetPicture;
    int rc = fn(reinterpret_cast<const char*>(jpeg.data()), static_cast<long>(jpeg.size()),
                PICDEC_INPUT_MEMORY, &info, &pixels, nullptr, 0);
    return Collect(rc, info, pixels);
}

Decoded DecodeWithPath(const Bytes& jpeg, int path, bool preview) {
    void* info = nullptr;
    void* pixels = nullptr;
    const picdec::Kernels* k = picdec::KernelsFor(static_cast<picdec::Path>(path));
    if (k == nullptr) return Decoded{};
    picdec::Status s = picdec::DecodeToBitmap(*k, reinterpret_cast<const char*>(jpeg.data()),
                                              static_cast<long>(jpeg.size()), PICDEC_INPUT_MEMORY,
                                              preview, &info, &pixels, nullptr, 0);
    return Collect(static_cast<int>(s), info, pixels);
}

Diff Compare(const Decoded& got, const Reference& ref) {
    Diff d;
    int ch = got.bits / 8;
    if (got.width != ref.width || got.height != ref.height || ch != ref.channels) {
        d.mean = 1e9;
        d.max = 1 << 20;
        return d;
    }
    double sum = 0;
    for (int y = 0; y < got.height; ++y) {
        const uint8_t* a = got.pixels.data() + y * got.stride;
        const uint8_t* b = ref.pixels.data() + static_cast<size_t>(y) * ref.width * ch;
        for (int i = 0; i < ref.width * ch; ++i) {
            int e = std::abs(a[i] - b[i]);
            sum += e;
            if (e > d.max) d.max = e;
        }
    }
    d.mean = sum / (static_cast<double>(ref.width) * ref.height * ch);
    return d;
}

Bytes PictureBytes(const Decoded& d) {
    Bytes out;
    size_t row = static_cast<size_t>(d.width) * (d.bits / 8);
    for (int y = 0; y < d.height; ++y) {
        const uint8_t* p = d.pixels.data() + y * d.stride;
        out.insert(out.end(), p, p + row);
    }
    return out;
}

size_t FindMarker(const Bytes& jpeg, uint8_t code, size_t from) {
    for (size_t i = from; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
    }
    return std::string::npos;
}

}  // namespace picdec_test
