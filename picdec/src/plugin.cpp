// The five exported entry points: input selection, the information texts, the bitmap blocks
// and the mapping of the decoder's status to the result codes hosts see.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "context.h"
#include "decoder.h"
#include "memory.h"
#include "picdec.h"
#include "plugin_internal.h"

namespace picdec {
namespace {

struct InfoText {
    int number;
    const char* text;
};

// Number -1 belongs to builds that carry the SIMD path.
constexpr InfoText kInfoTexts[] = {
    {0, "00IN"},
    {1, "JPEG to DIB filter ver0.21"},
    {2, "*.JPG;*.JPEG"},
    {3, "JPEG/JFIF (YVU/MONO)"},
#if defined(__x86_64__)
    {-1, "JPEG to DIB filter ver0.21/MMX"},
#endif
};

constexpr size_t kFileChunk = 16 * 1024;
constexpr size_t kBitmapInfoSize = sizeof(PicdecBitmapInfoHeader);
constexpr size_t kPaletteSize = 256 * sizeof(PicdecPaletteEntry);

// The JPEG data of one call: a view of the caller's memory or the file's bytes from `len` on.
struct Input {
    const uint8_t* data = nullptr;
    size_t size = 0;
    std::vector<uint8_t> owned;
};

Status OpenInput(const char* buf, long len, unsigned int flag, Input* in) {
    switch (flag & 7) {
        case PICDEC_INPUT_MEMORY:
            in->data = reinterpret_cast<const uint8_t*>(buf);
            in->size = buf != nullptr && len > 0 ? static_cast<size_t>(len) : 0;
            return Status::kOk;
        case PICDEC_INPUT_FILE:
            break;
        default:
            return Status::kBadInputKind;
    }
    if (buf == nullptr) return Status::kOpenFailed;
    int fd = ::open(buf, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::kOpenFailed;
    if (len < 0 || ::lseek(fd, static_cast<off_t>(len), SEEK_SET) < 0) {
        ::close(fd);
        return Status::kOpenFailed;
    }
    Status s = Status::kOk;
    try {
        size_t used = 0;
        for (;;) {
            if (in->owned.size() < used + kFileChunk) in->owned.resize(used + kFileChunk * 4);
            ssize_t got = ::read(fd, in->owned.data() + used, kFileChunk);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            used += static_cast<size_t>(got);
        }
        in->owned.resize(used);
    } catch (const std::bad_alloc&) {
        s = Status::kNoMemory;
    }
    ::close(fd);
    in->data = in->owned.data();
    in->size = in->owned.size();
    return s;
}

// Markers up to the first scan: shared by the three picture functions.
Status ReadToFirstScan(Context& ctx) {
    Status s = ReadHeaders(ctx);
    if (Failed(s)) return s;
    int m = NextMarker(ctx, &s);
    if (Failed(s)) return s;
    return m == 0xDA ? Status::kOk : Status::kUnsupported;
}

Status Info(const char* buf, long len, unsigned int flag, PicdecPictureInfo* info) {
    Input input;
    Status s = OpenInput(buf, len, flag, &input);
    if (Failed(s)) return s;
    Context ctx(ActiveKernels());
    ctx.in = ByteCursor(input.data, input.size);
    ctx.collect_comment = true;
    s = ReadToFirstScan(ctx);
    if (Failed(s)) return s;
    char* comment = nullptr;
    if (ctx.have_comment) {
        comment = static_cast<char*>(std::malloc(ctx.comment.size()));
        if (comment == nullptr) return Status::kNoMemory;
        std::memcpy(comment, ctx.comment.data(), ctx.comment.size());
    }
    info->width = ctx.width;
    info->height = ctx.height;
    info->x_density = ctx.x_density;
    info->y_density = ctx.y_density;
    info->color_depth = static_cast<int16_t>(ctx.ncomp == 1 ? 8 : 24);
    info->comment = comment;
    return Status::kOk;
}

}  // namespace

Status DecodeToBitmap(const Kernels& kernels, const char* buf, long len, unsigned int flag,
                      bool preview, void** info_block, void** pixel_block, ProgressFn progress,
                      long progress_data) {
    Input input;
    Status s = OpenInput(buf, len, flag, &input);
    if (Failed(s)) return s;
    Context ctx(kernels);
    ctx.in = ByteCursor(input.data, input.size);
    s = ReadToFirstScan(ctx);
    if (Failed(s)) return s;
    s = PrepareFrame(ctx);
    if (Failed(s)) return s;

    uint64_t w = static_cast<uint64_t>(preview ? (ctx.width + 3) / 4 : ctx.width);
    uint64_t h = static_cast<uint64_t>(preview ? (ctx.height + 3) / 4 : ctx.height);
    bool grey = ctx.ncomp == 1;
    uint64_t bpp = grey ? 1 : 3;
    uint64_t stride = (w * bpp + 3) & ~uint64_t{3};
    uint64_t image = stride * h;
    if (w * h > kMaxPixels || image + 4 > UINT32_MAX) return Status::kNoMemory;

    size_t info_size = kBitmapInfoSize + (grey ? kPaletteSize : 0);
    auto* info = static_cast<uint8_t*>(std::malloc(info_size));
    if (info == nullptr) return Status::kNoMemory;
    // Not zeroed here (that cost as much as the colour conversion of a camera frame): the
    // decoder writes every row with its padding, or zeroes the rows it did not reach, and
    // the 4 spare bytes are zeroed now, so no byte of old heap memory reaches the caller.
    auto* pixels = static_cast<uint8_t*>(AllocateLarge(static_cast<size_t>(image + 4), false));
    if (pixels == nullptr) {
        std::free(info);
        return Status::kNoMemory;
    }
    std::memset(pixels + image, 0, 4);
    PicdecBitmapInfoHeader hdr{};
    hdr.size = 40;
    hdr.width = static_cast<int32_t>(w);
    hdr.height = static_cast<int32_t>(h);
    hdr.planes = 1;
    hdr.bit_count = static_cast<uint16_t>(bpp * 8);
    hdr.compression = 0;
    hdr.size_image = static_cast<uint32_t>(image);
    hdr.x_pels_per_meter = ctx.x_density;
    hdr.y_pels_per_meter = ctx.y_density;
    std::memcpy(info, &hdr, sizeof(hdr));
    if (grey) {
        for (int i = 0; i < 256; ++i) {
            PicdecPaletteEntry e{static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                 static_cast<uint8_t>(i), 0};
            std::memcpy(info + kBitmapInfoSize + 4 * i, &e, sizeof(e));
        }
    }
    *info_block = info;
    *pixel_block = pixels;

    OutputBitmap out;
    out.pixels = pixels;
    out.stride = static_cast<size_t>(stride);
    out.width = static_cast<int>(w);
    out.height = static_cast<int>(h);
    return DecodePicture(ctx, preview, out, progress, progress_data);
}

int ToResult(Status s) {
    return static_cast<int>(s);
}

}  // namespace picdec

using picdec::Status;

extern "C" {

PICDEC_EXPORT int GetPluginInfo(int infono, char* buf, int buflen) {
    // Without a buffer the texts would be looked up as resource groups, which they are not.
    if (buf == nullptr || buflen <= 0) return 0;
    for (const auto& t : picdec::kInfoTexts) {
        if (t.number != infono) continue;
        size_t n = std::strlen(t.text);
        if (n > static_cast<size_t>(buflen - 1)) n = static_cast<size_t>(buflen - 1);
        std::memcpy(buf, t.text, n);
        buf[n] = '\0';
        return static_cast<int>(n);
    }
    return 0;
}

PICDEC_EXPORT int IsSupported(const char* /*filename*/, uintptr_t dw) {
    uint8_t b[2] = {0, 0};
    if (dw < 0x10000) {
        ssize_t got;
        do {
            got = ::read(static_cast<int>(dw), b, 2);
        } while (got < 0 && errno == EINTR);
        if (got != 2) return 0;
    } else {
        std::memcpy(b, reinterpret_cast<const void*>(dw), 2);
    }
    return b[0] == 0xFF && b[1] == 0xD8 ? 1 : 0;
}

PICDEC_EXPORT int GetPictureInfo(const char* buf, long len, unsigned int flag,
                                 PicdecPictureInfo* info) {
    if ((flag & 7) > 1) return picdec::ToResult(Status::kBadInputKind);
    if (info == nullptr) return picdec::ToResult(Status::kBroken);
    Status s;
    try {
        s = picdec::Info(buf, len, flag, info);
    } catch (const std::bad_alloc&) {
        s = Status::kNoMemory;
    }
    if (picdec::Failed(s)) info->comment = nullptr;
    return picdec::ToResult(s);
}

static int PictureEntry(const char* buf, long len, unsigned int flag, bool preview, void** pHBInfo,
                        void** pHBm, PicdecProgressCallback cb, long lData) {
    if ((flag & 7) > 1) return picdec::ToResult(Status::kBadInputKind);
    if (pHBInfo == nullptr || pHBm == nullptr) return picdec::ToResult(Status::kBroken);
    Status s;
    try {
        s = picdec::DecodeToBitmap(picdec::ActiveKernels(), buf, len, flag, preview, pHBInfo, pHBm,
                                   cb, lData);
    } catch (const std::bad_alloc&) {
        s = Status::kNoMemory;
    }
    return picdec::ToResult(s);
}

PICDEC_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                             void** pHBm, PicdecProgressCallback progressCallback, long lData) {
    return PictureEntry(buf, len, flag, false, pHBInfo, pHBm, progressCallback, lData);
}

PICDEC_EXPORT int GetPreview(const char* buf, long len, unsigned int flag, void** pHBInfo,
                             void** pHBm, PicdecProgressCallback progressCallback, long lData) {
    return PictureEntry(buf, len, flag, true, pHBInfo, pHBm, progressCallback, lData);
}

}  // extern "C"
