// The exported entry points: texts, IsSupported, the information record, the bitmap blocks,
// the progress callback sequences and cancellation, file input, and the result codes.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <malloc.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "jpeg_fixtures.h"
#include "picdec.h"

namespace picdec_test {
namespace {

const char* Mem(const Bytes& b) {
    return reinterpret_cast<const char*>(b.data());
}
long Len(const Bytes& b) {
    return static_cast<long>(b.size());
}

TEST(PluginInfo, TextsByNumberTruncatedToTheBuffer) {
    char buf[64];
    EXPECT_EQ(GetPluginInfo(0, buf, 64), 4);
    EXPECT_STREQ(buf, "00IN");
    EXPECT_EQ(GetPluginInfo(1, buf, 64), 26);
    EXPECT_STREQ(buf, "JPEG to DIB filter ver0.21");
    EXPECT_EQ(GetPluginInfo(2, buf, 64), 12);
    EXPECT_STREQ(buf, "*.JPG;*.JPEG");
    EXPECT_EQ(GetPluginInfo(3, buf, 64), 20);
    EXPECT_STREQ(buf, "JPEG/JFIF (YVU/MONO)");
    EXPECT_EQ(GetPluginInfo(-1, buf, 64), 30);
    EXPECT_STREQ(buf, "JPEG to DIB filter ver0.21/MMX");
    EXPECT_EQ(GetPluginInfo(4, buf, 64), 0);
    EXPECT_EQ(GetPluginInfo(2, buf, 5), 4);
    EXPECT_STREQ(buf, "*.JP");
    EXPECT_EQ(GetPluginInfo(2, nullptr, 64), 0);
    EXPECT_EQ(GetPluginInfo(2, buf, 0), 0);
}

TEST(PluginInfo, SharedLibraryExportsTheFiveEntryPoints) {
    void* lib = dlopen(PICDEC_SPI_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* name :
         {"GetPluginInfo", "IsSupported", "GetPictureInfo", "GetPicture", "GetPreview"}) {
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    }
    EXPECT_EQ(dlsym(lib, "_ZN6picdec13ActiveKernelsEv"), nullptr);
    std::string cmd = std::string("nm -D --defined-only ") + PICDEC_SPI_PATH + " | grep -c ' T '";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    int count = 0;
    EXPECT_EQ(std::fscanf(p, "%d", &count), 1);
    pclose(p);
    EXPECT_EQ(count, 5);
    dlclose(lib);
}

TEST(IsSupportedTest, MemoryAndFileDescriptor) {
    static const uint8_t soi[2] = {0xFF, 0xD8}, eoi[2] = {0xFF, 0xD9};
    EXPECT_EQ(IsSupported(nullptr, reinterpret_cast<uintptr_t>(soi)), 1);
    EXPECT_EQ(IsSupported(nullptr, reinterpret_cast<uintptr_t>(eoi)), 0);
    char path[] = "/tmp/picdec_issupported_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "\x00\xFF\xD8", 3), 3);
    lseek(fd, 1, SEEK_SET);
    EXPECT_EQ(IsSupported("ignored", static_cast<uintptr_t>(fd)), 1);
    EXPECT_EQ(IsSupported("ignored", static_cast<uintptr_t>(fd)), 0);  // at the end now
    close(fd);
    unlink(path);
}

TEST(PictureInfoTest, RecordLayoutIsPacked) {
    EXPECT_EQ(sizeof(PicdecPictureInfo), 30u);
    EXPECT_EQ(offsetof(PicdecPictureInfo, x_density), 16u);
    EXPECT_EQ(offsetof(PicdecPictureInfo, color_depth), 20u);
    EXPECT_EQ(offsetof(PicdecPictureInfo, comment), 22u);
    EXPECT_EQ(sizeof(PicdecBitmapInfoHeader), 40u);
}

// The packed record's pointer, read without a misaligned reference.
char* CommentOf(const PicdecPictureInfo& info) {
    char* c;
    std::memcpy(&c, reinterpret_cast<const char*>(&info) + offsetof(PicdecPictureInfo, comment),
                sizeof(c));
    return c;
}

// Inserts a segment right after the start-of-image marker.
void InsertSegment(Bytes& jpeg, uint8_t marker, const std::string& body) {
    size_t len = body.size() + 2;
    Bytes seg = {0xFF, marker, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
    seg.insert(seg.end(), body.begin(), body.end());
    jpeg.insert(jpeg.begin() + 2, seg.begin(), seg.end());
}

// Sets the JFIF densities in a cjpeg stream (APP0 at offset 2; densities at 14..17).
void SetDensities(Bytes& jpeg, int x, int y) {
    ASSERT_EQ(jpeg[3], 0xE0);
    ASSERT_EQ(std::memcmp(&jpeg[6], "JFIF", 5), 0);
    jpeg[14] = static_cast<uint8_t>(x >> 8);
    jpeg[15] = static_cast<uint8_t>(x);
    jpeg[16] = static_cast<uint8_t>(y >> 8);
    jpeg[17] = static_cast<uint8_t>(y);
}

TEST(PictureInfoTest, FieldsDensitiesAndFirstComment) {
    Bytes jpeg = Encode(SynthImage(161, 10, 3), 161, 10, 3, "");
    SetDensities(jpeg, 72, 96);
    InsertSegment(jpeg, 0xFE, "second");
    InsertSegment(jpeg, 0xFE, "first words");
    PicdecPictureInfo info;
    std::memset(&info, 0xAB, sizeof(info));
    ASSERT_EQ(GetPictureInfo(Mem(jpeg), Len(jpeg), PICDEC_INPUT_MEMORY, &info), 0);
    EXPECT_EQ(info.left, static_cast<int32_t>(0xABABABAB));  // not written
    EXPECT_EQ(info.width, 161);
    EXPECT_EQ(info.height, 10);
    EXPECT_EQ(info.x_density, 72);
    EXPECT_EQ(info.y_density, 96);
    EXPECT_EQ(info.color_depth, 24);
    ASSERT_NE(CommentOf(info), nullptr);
    // L - 2 text bytes followed by zero bytes, L = 2 + 11.
    EXPECT_EQ(std::memcmp(CommentOf(info), "first words\0\0", 13), 0);
    std::free(CommentOf(info));

    Bytes grey = Encode(SynthImage(16, 16, 1), 16, 16, 1, "-grayscale");
    grey.erase(grey.begin() + 2, grey.begin() + 2 + 18);  // drop the JFIF segment
    ASSERT_EQ(GetPictureInfo(Mem(grey), Len(grey), PICDEC_INPUT_MEMORY, &info), 0);
    EXPECT_EQ(info.color_depth, 8);
    EXPECT_EQ(info.x_density, 1);
    EXPECT_EQ(info.y_density, 1);
    EXPECT_EQ(CommentOf(info), nullptr);
}

TEST(PictureInfoTest, FailureFreesTheCommentAndNullsIt) {
    Bytes jpeg = Encode(SynthImage(16, 16, 3), 16, 16, 3, "");
    InsertSegment(jpeg, 0xFE, "hello");
    size_t sos = FindMarker(jpeg, 0xDA);
    ASSERT_NE(sos, std::string::npos);
    jpeg[sos + 1] = 0xD9;  // end of image before the first scan
    PicdecPictureInfo info;
    info.comment = reinterpret_cast<char*>(&info);
    EXPECT_EQ(GetPictureInfo(Mem(jpeg), Len(jpeg), PICDEC_INPUT_MEMORY, &info), 2);
    EXPECT_EQ(CommentOf(info), nullptr);
}

TEST(BitmapTest, ColourHeaderAndBlockSizes) {
    Bytes jpeg = Encode(SynthImage(640, 480, 3), 640, 480, 3, "-sample 2x2 -quality 75");
    SetDensities(jpeg, 300, 200);
    void* info = nullptr;
    void* pixels = nullptr;
    ASSERT_EQ(GetPicture(Mem(jpeg), Len(jpeg), PICDEC_INPUT_MEMORY, &info, &pixels, nullptr, 0), 0);
    PicdecBitmapInfoHeader h;
    std::memcpy(&h, info, sizeof(h));
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 640);
    EXPECT_EQ(h.height, 480);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bit_count, 24);
    EXPECT_EQ(h.compression, 0u);
    EXPECT_EQ(h.size_image, 921600u);
    EXPECT_EQ(h.x_pels_per_meter, 300);
    EXPECT_EQ(h.y_pels_per_meter, 200);
    EXPECT_EQ(h.clr_used, 0u);
    EXPECT_EQ(h.clr_important, 0u);
    EXPECT_EQ(malloc_usable_size(pixels) >= 921604u, true);
    std::free(info);
    std::free(pixels);
}

TEST(BitmapTest, GreyHasPaletteAndPaddedStride) {
    Bytes jpeg = Encode(SynthImage(161, 10, 1), 161, 10, 1, "-grayscale");
    Decoded d = Decode(jpeg);
    ASSERT_EQ(d.result, 0);
    EXPECT_EQ(d.bits, 8);
    EXPECT_EQ(d.stride, 164u);
    ASSERT_EQ(d.info.size(), 1064u);
    PicdecBitmapInfoHeader h;
    std::memcpy(&h, d.info.data(), sizeof(h));
    EXPECT_EQ(h.size_image, 164u * 10);
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = d.info.data() + 40 + 4 * i;
        EXPECT_TRUE(e[0] == i && e[1] == i && e[2] == i && e[3] == 0) << i;
    }
}

TEST(BitmapTest, RowsAreBottomUpAndPreviewIsQuarterSize) {
    // Top half black, bottom half white: the first stored row is the picture's last.
    Bytes px(32 * 32, 0);
    std::memset(px.data() + 16 * 32, 255, 16 * 32);
    Bytes jpeg = Encode(px, 32, 32, 1, "-grayscale -quality 95");
    Decoded d = Decode(jpeg);
    ASSERT_EQ(d.result, 0);
    EXPECT_GT(d.pixels[0], 240);
    EXPECT_LT(d.pixels[31 * d.stride], 15);
    Bytes ten = Encode(SynthImage(10, 10, 3), 10, 10, 3, "-sample 2x2");
    Decoded p = Decode(ten, true);
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.width, 3);
    EXPECT_EQ(p.height, 3);
    EXPECT_EQ(p.stride, 12u);
}

TEST(InputTest, FileAtAnOffsetGivesTheSameAsMemory) {
    Bytes jpeg = Encode(SynthImage(50, 30, 3), 50, 30, 3, "-sample 2x1");
    char path[] = "/tmp/picdec_file_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "0123456", 7), 7);
    ASSERT_EQ(write(fd, jpeg.data(), jpeg.size()), static_cast<ssize_t>(jpeg.size()));
    close(fd);
    void* info = nullptr;
    void* pixels = nullptr;
    ASSERT_EQ(GetPicture(path, 7, PICDEC_INPUT_FILE, &info, &pixels, nullptr, 0), 0);
    Decoded mem = Decode(jpeg);
    EXPECT_EQ(std::memcmp(pixels, mem.pixels.data(), mem.pixels.size() - 4), 0);
    std::free(info);
    std::free(pixels);
    PicdecPictureInfo pi;
    EXPECT_EQ(GetPictureInfo(path, 7, PICDEC_INPUT_FILE | 8, &pi), 0);  // bits above 2 ignored
    EXPECT_EQ(pi.width, 50);
    EXPECT_EQ(GetPictureInfo(path, 0, PICDEC_INPUT_FILE, &pi), 2);  // no FF D8 there
    unlink(path);
    EXPECT_EQ(GetPicture(path, 0, PICDEC_INPUT_FILE, &info, &pixels, nullptr, 0), 6);
    EXPECT_EQ(GetPictureInfo(path, 0, PICDEC_INPUT_FILE, &pi), 6);
}

TEST(InputTest, UnknownInputKindLeavesHandlesUntouched) {
    Bytes jpeg = Encode(SynthImage(8, 8, 3), 8, 8, 3, "");
    void* info = &jpeg;
    void* pixels = &jpeg;
    EXPECT_EQ(GetPicture(Mem(jpeg), Len(jpeg), 2, &info, &pixels, nullptr, 0), -1);
    EXPECT_EQ(GetPreview(Mem(jpeg), Len(jpeg), 7, &info, &pixels, nullptr, 0), -1);
    EXPECT_EQ(info, &jpeg);
    EXPECT_EQ(pixels, &jpeg);
    PicdecPictureInfo pi;
    EXPECT_EQ(GetPictureInfo(Mem(jpeg), Len(jpeg), 3, &pi), -1);
}

struct Calls {
    std::vector<std::pair<int, int>> seen;
    int cancel_at = -1;  // index of the call that returns 1
};

int Record(int num, int den, long data) {
    auto* c = reinterpret_cast<Calls*>(data);
    c->seen.emplace_back(num, den);
    return static_cast<int>(c->seen.size()) - 1 == c->cancel_at ? 1 : 0;
}

int RunWithCallback(const Bytes& jpeg, Calls* calls, bool preview = false) {
    void* info = nullptr;
    void* pixels = nullptr;
    auto fn = preview ? GetPreview : GetPicture;
    int rc = fn(Mem(jpeg), Len(jpeg), PICDEC_INPUT_MEMORY, &info, &pixels, Record,
                reinterpret_cast<long>(calls));
    std::free(info);
    std::free(pixels);
    return rc;
}

TEST(ProgressTest, SequentialCallsEveryEighthMcuRow) {
    // 4:2:0, 16-row MCUs: 300 rows make 19 MCU rows.
    Bytes jpeg = Encode(SynthImage(40, 300, 3), 40, 300, 3, "-sample 2x2");
    for (bool preview : {false, true}) {
        Calls c;
        ASSERT_EQ(RunWithCallback(jpeg, &c, preview), 0);
        std::vector<std::pair<int, int>> want = {{0, 19}, {0, 19}, {8, 19}, {16, 19}, {19, 19}};
        EXPECT_EQ(c.seen, want);
    }
}

// Running sums of (Se - Ss) * (Ah' - Al) over the scans of a progressive stream.
std::vector<int> ScanSums(const Bytes& jpeg) {
    std::vector<int> sums;
    int t = 0;
    for (size_t at = FindMarker(jpeg, 0xDA); at != std::string::npos;
         at = FindMarker(jpeg, 0xDA, at + 2)) {
        int n = jpeg[at + 4];
        size_t p = at + 5 + 2 * n;
        int ss = jpeg[p], se = jpeg[p + 1], ah = jpeg[p + 2] >> 4, al = jpeg[p + 2] & 15;
        t += (se - ss) * ((ah == 0 ? 8 : ah) - al);
        sums.push_back(t);
    }
    return sums;
}

TEST(ProgressTest, ProgressiveCallsAfterEveryScan) {
    Bytes jpeg = Encode(SynthImage(64, 48, 3), 64, 48, 3, "-sample 2x2 -progressive");
    Calls c;
    ASSERT_EQ(RunWithCallback(jpeg, &c), 0);
    std::vector<std::pair<int, int>> want = {{0, 1536}};
    for (int t : ScanSums(jpeg))
        want.emplace_back(t, 1536);
    want.emplace_back(1536, 1536);
    EXPECT_GT(want.size(), 5u);
    EXPECT_EQ(c.seen, want);
}

TEST(ProgressTest, NonZeroAtTheSecondCallCancels) {
    Bytes seq = Encode(SynthImage(40, 300, 3), 40, 300, 3, "-sample 2x2");
    Bytes prog = Encode(SynthImage(64, 48, 3), 64, 48, 3, "-progressive");
    for (const Bytes* j : {&seq, &prog}) {
        Calls c;
        c.cancel_at = 1;
        EXPECT_EQ(RunWithCallback(*j, &c), 1);
        EXPECT_EQ(c.seen.size(), 2u);
        Calls first;
        first.cancel_at = 0;  // the first call's result is ignored
        EXPECT_EQ(RunWithCallback(*j, &first), 0);
    }
}

// The pixel block is not zeroed when it is allocated: the decoder writes every row with its
// padding, and zeroes what a cancelled or failed decoding did not reach. Each block is
// allocated where a block of the same size full of 0xAB was just freed (and under
// AddressSanitizer its first 4 KiB come filled with 0xBE).
TEST(ResultTest, NoOldHeapBytesInPaddingOrUnreachedRows) {
    // 41 pixels: 123 bytes of a 124-byte stride; 4:2:0 in 19 MCU rows.
    Bytes jpeg = Encode(SynthImage(41, 300, 3), 41, 300, 3, "-sample 2x2");
    const size_t stride = 124, image = stride * 300;
    auto dirty = [&] {
        void* p = std::malloc(image + 4);
        std::memset(p, 0xAB, image + 4);
        std::free(p);
    };
    struct Row {
        int cancel_at;
        int result;
        size_t rows_zero;  // bitmap rows from the bottom that must be all zero
    };
    // Cancelled before the first MCU row: nothing written. Cancelled at row 8: the rows of
    // MCU rows 7 and on (bottom 300 - 7 * 16) were never converted.
    for (Row r : {Row{1, 1, 300}, Row{2, 1, 300 - 7 * 16}, Row{-1, 0, 0}}) {
        Calls c;
        c.cancel_at = r.cancel_at;
        dirty();
        void* info = nullptr;
        void* pixels = nullptr;
        int rc = GetPicture(Mem(jpeg), Len(jpeg), PICDEC_INPUT_MEMORY, &info, &pixels, Record,
                            reinterpret_cast<long>(&c));
        ASSERT_EQ(rc, r.result);
        ASSERT_NE(pixels, nullptr);
        const auto* px = static_cast<const uint8_t*>(pixels);
        for (size_t i = 0; i < r.rows_zero * stride; ++i)
            ASSERT_EQ(px[i], 0) << "cancel " << r.cancel_at << " byte " << i;
        for (size_t y = 0; y < 300; ++y)
            ASSERT_EQ(px[y * stride + 123], 0) << "padding of row " << y;
        for (size_t i = image; i < image + 4; ++i)
            EXPECT_EQ(px[i], 0);
        if (r.result == 0) {
            // Decoded rows carry picture bytes, not zeros.
            size_t nonzero = 0;
            for (size_t i = 0; i < image; ++i)
                nonzero += px[i] != 0;
            EXPECT_GT(nonzero, image / 2);
        }
        std::free(info);
        std::free(pixels);
    }
}

TEST(ResultTest, HugeBitmapIsOutOfMemoryWithoutAllocating) {
    Bytes jpeg = Encode(SynthImage(8, 8, 3), 8, 8, 3, "-sample 1x1");
    size_t sof = FindMarker(jpeg, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    // 65535 x 65535 pixels: far beyond 2^28.
    for (int i = 5; i < 9; ++i)
        jpeg[sof + i] = 0xFF;
    void* info = &jpeg;
    void* pixels = &jpeg;
    EXPECT_EQ(GetPicture(Mem(jpeg), Len(jpeg), PICDEC_INPUT_MEMORY, &info, &pixels, nullptr, 0), 4);
    EXPECT_EQ(info, &jpeg);
    PicdecPictureInfo pi;
    EXPECT_EQ(GetPictureInfo(Mem(jpeg), Len(jpeg), PICDEC_INPUT_MEMORY, &pi), 0);
    EXPECT_EQ(pi.width, 65535);
}

TEST(ResultTest, TruncatedSequentialDecodesOnZerosButProgressiveReportsTen) {
    Bytes seq = Encode(SynthImage(64, 64, 3), 64, 64, 3, "-sample 2x2");
    Bytes prog = Encode(SynthImage(64, 64, 3), 64, 64, 3, "-sample 2x2 -progressive");
    seq.resize(seq.size() * 2 / 3);
    EXPECT_EQ(Decode(seq).result, 0);
    Bytes cut = prog;
    cut.resize(prog.size() * 2 / 3);
    EXPECT_EQ(Decode(cut).result, 10);
    EXPECT_EQ(Decode(cut, true).result, 10);
    Bytes no_eoi(prog.begin(), prog.end() - 2);  // every scan there, no end-of-image marker
    EXPECT_EQ(Decode(no_eoi).result, 10);
    EXPECT_EQ(Decode(prog).result, 0);
}

TEST(ConcurrencyTest, CallsOnSeveralThreadsShareNoState) {
    Bytes seq = Encode(SynthImage(120, 90, 3), 120, 90, 3, "-sample 2x2");
    Bytes prog = Encode(SynthImage(120, 90, 3), 120, 90, 3, "-progressive");
    Bytes want_seq = PictureBytes(Decode(seq)), want_prog = PictureBytes(Decode(prog));
    std::vector<int> ok(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            bool good = true;
            for (int i = 0; i < 5; ++i) {
                good = good && PictureBytes(Decode(seq)) == want_seq &&
                       PictureBytes(Decode(prog)) == want_prog;
            }
            ok[t] = good ? 1 : 0;
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(ok, std::vector<int>(4, 1));
}

}  // namespace
}  // namespace picdec_test
