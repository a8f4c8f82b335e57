#include "control/stream/frame_format.h"

#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/byte_cursor.h"

namespace kest {

namespace {

// The coefficient in natural (row-major) order at each zig-zag position.
constexpr uint8_t kZigZag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// The Huffman tables of ITU T.81 Annex K (K.3 to K.6): 16 code counts, then the values.
constexpr uint8_t kDcLuminanceBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kDcChrominanceBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kAcLuminanceBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t kAcLuminanceValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa,
};
constexpr uint8_t kAcChrominanceBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kAcChrominanceValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa,
};

constexpr uint8_t kApp0[18] = {0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',  0x00,
                               0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};

constexpr size_t kBuiltHeaderFixed = kBuiltHeaderFixedBytes;
constexpr size_t kBuiltFileExtra = kBuiltHeaderFixedBytes + 2;  // and the end marker
constexpr size_t kInsertedExtra = 22;                           // APP0 and comment marker

// Big-endian, as T.81 writes its numbers.
ByteWriter& Be16(ByteWriter& w, uint32_t v) {
    return w.U8(uint8_t(v >> 8)).U8(uint8_t(v));
}

void WriteHuffman(ByteWriter& w, uint8_t class_id, const uint8_t (&bits)[16], const uint8_t* values,
                  size_t count) {
    w.U8(class_id).Bytes(bits, 16).Bytes(values, count);
}

}  // namespace

FrameTime LocalFrameTime() {
    timeval now{};
    gettimeofday(&now, nullptr);
    const time_t seconds = now.tv_sec;
    tm local{};
    localtime_r(&seconds, &local);
    return {int16_t(local.tm_year + 1900), int16_t(local.tm_mon + 1), int16_t(local.tm_mday),
            int16_t(local.tm_hour),        int16_t(local.tm_min),     int16_t(local.tm_sec),
            int16_t(now.tv_usec / 1000)};
}

int32_t QualityValue(int32_t quality_level, float scale_factor) {
    return int32_t(float(quality_level) * scale_factor);
}

std::array<uint8_t, 64> QuantTable(int32_t q) {
    std::array<uint8_t, 64> table{};
    for (size_t k = 0; k < 64; ++k) {
        const uint32_t u = kZigZag[k] / 8, v = kZigZag[k] % 8;
        const uint32_t base = 4 * (u + v + 1);
        const uint32_t t = (base * uint32_t(q)) & 0xFFFF;
        uint32_t e = t / 50 + (t % 50 >= 25 ? 1 : 0);
        table[k] = uint8_t(e == 0 ? 1 : std::min<uint32_t>(e, 255));
    }
    return table;
}

size_t FormatFrameComment(std::span<char> out, int32_t total_length, int32_t reverse,
                          const FrameTime& t) {
    char text[160];
    const int n = std::snprintf(
        text, sizeof text,
        "size = %10d; reverse = %d; timestamp = %4.4d%2.2d%2.2d%2.2d%2.2d%2.2d%3.3d; camera = ;",
        total_length, reverse, t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    if (n <= 0 || size_t(n) >= sizeof text || size_t(n) > out.size()) return 0;
    std::memcpy(out.data(), text, size_t(n));
    return size_t(n);
}

namespace {

// The comment's length does not depend on the size it shows (always 10
// characters), so it is measured once with a placeholder and then written.
size_t CommentFor(std::span<char> out, size_t extra, int32_t reverse, const FrameTime& t) {
    const size_t c = FormatFrameComment(out, 0, reverse, t);
    if (c == 0) return 0;
    return FormatFrameComment(out, int32_t(c + extra), reverse, t);
}

}  // namespace

size_t BuildJfifHeader(std::span<uint8_t> out, int32_t width, int32_t height, int32_t sampling,
                       int32_t q, int32_t reverse, int32_t data_length, const FrameTime& time) {
    char comment[160];
    const size_t c = CommentFor(comment, size_t(std::max(data_length, 0)) + kBuiltFileExtra,
                                reverse ? 1 : 0, time);
    if (c == 0) return 0;
    const auto table = QuantTable(q);

    ByteWriter w(out.data(), out.size());
    w.U8(0xFF).U8(0xD8).Bytes(kApp0, sizeof kApp0);
    w.U8(0xFF).U8(0xFE);
    Be16(w, uint32_t(c + 2)).Bytes(comment, c);
    // Baseline frame: Y sampled 2x1 (4:2:2) or 2x2 (4:2:0), Cb and Cr 1x1.
    w.U8(0xFF).U8(0xC0);
    Be16(w, 17).U8(8);
    Be16(w, uint16_t(height));
    Be16(w, uint16_t(width)).U8(3);
    w.U8(1).U8(sampling == 1 ? 0x21 : 0x22).U8(0);
    w.U8(2).U8(0x11).U8(1);
    w.U8(3).U8(0x11).U8(1);
    w.U8(0xFF).U8(0xDB);
    Be16(w, 0x84).U8(0).Bytes(table.data(), 64).U8(1).Bytes(table.data(), 64);
    w.U8(0xFF).U8(0xC4);
    Be16(w, 0x1A2);
    WriteHuffman(w, 0x00, kDcLuminanceBits, kDcValues, sizeof kDcValues);
    WriteHuffman(w, 0x10, kAcLuminanceBits, kAcLuminanceValues, sizeof kAcLuminanceValues);
    WriteHuffman(w, 0x01, kDcChrominanceBits, kDcValues, sizeof kDcValues);
    WriteHuffman(w, 0x11, kAcChrominanceBits, kAcChrominanceValues, sizeof kAcChrominanceValues);
    w.U8(0xFF).U8(0xDA);
    Be16(w, 12).U8(3).U8(1).U8(0x00).U8(2).U8(0x11).U8(3).U8(0x11).U8(0).U8(63).U8(0);
    if (!w.ok() || w.size() != c + kBuiltHeaderFixed) return 0;
    return w.size();
}

size_t InsertJfifComment(std::span<uint8_t> header, size_t k, int32_t reverse, int32_t data_length,
                         const FrameTime& time) {
    if (k < 2 || k > header.size()) return 0;
    char comment[160];
    const size_t c = CommentFor(comment, k + size_t(std::max(data_length, 0)) + kInsertedExtra,
                                reverse ? 1 : 0, time);
    if (c == 0) return 0;
    const size_t inserted = sizeof kApp0 + 4 + c;
    const size_t total = k + inserted;
    if (total > header.size()) return 0;
    // The camera's header from its third byte moves up behind APP0 and comment.
    std::memmove(header.data() + 2 + inserted, header.data() + 2, k - 2);
    ByteWriter w(header.data() + 2, inserted);
    w.Bytes(kApp0, sizeof kApp0).U8(0xFF).U8(0xFE);
    Be16(w, uint32_t(c + 2)).Bytes(comment, c);
    return total;
}

size_t StampCameraHeader(std::span<uint8_t> header, size_t k, const FrameTime& t) {
    char text[64];
    const int n =
        std::snprintf(text, sizeof text, "timestamp = %4.4d%2.2d%2.2d%2.2d%2.2d%2.2d%3.3d; ",
                      t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    if (n > 0 && size_t(n) < sizeof text && k <= header.size() &&
        kCameraStampOffset + size_t(n) <= k) {
        std::memcpy(header.data() + kCameraStampOffset, text, size_t(n));
    }
    return k;
}

size_t CompleteFrame(std::span<uint8_t> buffer, size_t data_length, const FrameHeaderInput& in,
                     const FrameTime& time) {
    if (data_length > buffer.size()) return 0;
    uint8_t header[kHeaderCapacity];
    const size_t k = in.camera_header.size();
    size_t length = 0;
    bool end_marker = false;
    const auto take_camera_header = [&] {
        if (k > kCameraHeaderMaxBytes) return false;
        if (k) std::memcpy(header, in.camera_header.data(), k);
        return true;
    };
    switch (in.model_code) {
        case 11:
            if (!take_camera_header()) return 0;
            length = StampCameraHeader(header, k, time);
            break;
        case 13:
            if (k < 2 || !take_camera_header()) return 0;
            length = InsertJfifComment(header, k, in.reverse, int32_t(data_length), time);
            if (length == 0) return 0;
            break;
        case 20:
            if (!take_camera_header()) return 0;
            length = k;
            break;
        default:
            length = BuildJfifHeader(header, in.width, in.height, in.sampling,
                                     QualityValue(in.quality_level, in.scale_factor), in.reverse,
                                     int32_t(data_length), time);
            if (length == 0) return 0;
            end_marker = true;
            break;
    }
    const size_t total = length + data_length + (end_marker ? 2 : 0);
    if (total > buffer.size()) return 0;
    std::memmove(buffer.data() + length, buffer.data(), data_length);
    std::memcpy(buffer.data(), header, length);
    if (end_marker) {
        buffer[length + data_length] = 0xFF;
        buffer[length + data_length + 1] = 0xD9;
    }
    return total;
}

namespace {

// Reads a comment field by field. Past the end of the file every byte reads
// as 0xFF, the byte that ends a comment, so no field can run off the end.
class CommentCursor {
  public:
    CommentCursor(std::span<const uint8_t> file, size_t pos) : file_(file), pos_(pos) {}

    uint8_t Peek() const { return pos_ < file_.size() ? file_[pos_] : 0xFF; }
    bool AtEnd() const { return Peek() == 0xFF; }
    void Next() {
        if (pos_ < file_.size()) ++pos_;
    }
    bool Take(const char* word) {
        const size_t n = std::strlen(word);
        if (pos_ > file_.size() || file_.size() - pos_ < n) return false;
        if (std::memcmp(file_.data() + pos_, word, n) != 0) return false;
        pos_ += n;
        return true;
    }
    void SkipBlanks() {
        while (Peek() == ' ' || Peek() == '\t')
            Next();
    }
    void SkipBlanksAndEquals() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '=')
            Next();
    }
    void SkipToSemicolon() {
        while (!AtEnd() && Peek() != ';')
            Next();
    }
    // n raw bytes, whatever they hold; false when the file ends first.
    bool Raw(size_t n, const uint8_t** out) {
        if (pos_ > file_.size() || file_.size() - pos_ < n) return false;
        *out = file_.data() + pos_;
        pos_ += n;
        return true;
    }

  private:
    std::span<const uint8_t> file_;
    size_t pos_;
};

// 38 bytes: 37 of 8 cells (bit 0 first) and one of 4.
void Cells(const uint8_t* bytes, std::array<uint8_t, MotionLattices::kCells>& lattice) {
    for (size_t n = 0; n < MotionLattices::kCells; ++n)
        lattice[n] = (bytes[n / 8] >> (n % 8)) & 1;
}

constexpr size_t kLatticeBytes = 38;

}  // namespace

FrameTime ParseFrameComment(std::span<const uint8_t> file, int16_t* motion_flag,
                            MotionLattices* lattices) {
    FrameTime time;
    // After the start marker and an 18-byte APP0 segment, walk the segments
    // up to the comment.
    size_t pos = 20;
    for (;;) {
        if (pos >= file.size() || file.size() - pos < 2 || file[pos] != 0xFF) return time;
        if (file[pos + 1] == 0xFE) {
            pos += 4;
            break;
        }
        if (file.size() - pos < 4) return time;
        pos += 2 + ((size_t(file[pos + 2]) << 8) | file[pos + 3]);
    }

    const bool with_motion = motion_flag && lattices;
    CommentCursor c(file, pos);
    // Digits go in as value * 10 + (character - '0'), unchecked like the
    // cameras' own readers; ';' or the comment's end stops the field.
    int16_t* const fields[] = {&time.year,   &time.month,  &time.day,        &time.hour,
                               &time.minute, &time.second, &time.millisecond};
    constexpr int kDigits[] = {4, 2, 2, 2, 2, 2, 3};
    while (!c.AtEnd()) {
        if (c.Take("size")) {
            c.SkipBlanksAndEquals();
            while (c.Peek() >= '0' && c.Peek() <= '9')
                c.Next();
            c.SkipToSemicolon();
        }
        if (c.Take("reverse")) {
            c.SkipBlanksAndEquals();
            c.SkipToSemicolon();
        }
        if (c.Take("timestamp")) {
            c.SkipBlanksAndEquals();
            for (size_t f = 0; f < 7; ++f) {
                int32_t value = 0;
                for (int d = 0; d < kDigits[f]; ++d) {
                    if (c.AtEnd() || c.Peek() == ';') return time;
                    value = value * 10 + (int32_t(c.Peek()) - '0');
                    *fields[f] = int16_t(value);
                    c.Next();
                }
            }
            c.SkipToSemicolon();
        }
        if (c.Take("camera")) {
            c.SkipBlanksAndEquals();
            c.SkipToSemicolon();
        }
        if (with_motion && c.Take("motion")) {
            c.SkipBlanksAndEquals();
            *motion_flag = c.Peek() == '1' ? 1 : 0;
            c.SkipToSemicolon();
        }
        if (with_motion && c.Take("mask")) {
            c.SkipBlanksAndEquals();
            c.Next();
            c.SkipToSemicolon();
            if (c.Peek() == ';') c.Next();
            c.SkipBlanks();
            const uint8_t* setting = nullptr;
            const uint8_t* gap = nullptr;
            const uint8_t* detection = nullptr;
            if (!c.Raw(kLatticeBytes, &setting) || !c.Raw(2, &gap) ||
                !c.Raw(kLatticeBytes, &detection)) {
                return time;
            }
            Cells(setting, lattices->setting);
            Cells(detection, lattices->detection);
            if (!c.Raw(2, &gap)) return time;
        }
        c.SkipToSemicolon();
        if (c.Peek() == ';') c.Next();
        c.SkipBlanks();
    }
    return time;
}

}  // namespace kest
