// Complete JPEG/JFIF files from what the camera sends, and the metadata
// comment every file carries.
//
// Most cameras send only the entropy-coded scan; the client puts a baseline
// header in front (APP0, comment, frame header, quantisation tables computed
// from the quality value, the standard Huffman tables, scan header) and the
// end marker behind. Model 13 sends its own header, which gets the APP0
// segment and the comment inserted; model 11's header gets the time stamp
// written into its own comment; model 20's is used unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kest {

// Year, month, day, hour, minute, second, millisecond: the 17 digits of the
// comment's time stamp.
struct FrameTime {
    int16_t year = 0;
    int16_t month = 0;
    int16_t day = 0;
    int16_t hour = 0;
    int16_t minute = 0;
    int16_t second = 0;
    int16_t millisecond = 0;
    bool operator==(const FrameTime&) const = default;
};

// The client's local clock now.
FrameTime LocalFrameTime();

// The two motion lattices of 20 x 15 cells (cell n in column n % 20, row
// n / 20), one byte 0 or 1 per cell: the camera's detection-area setting and
// its current detection result.
struct MotionLattices {
    static constexpr size_t kCells = 300;
    std::array<uint8_t, kCells> setting{};
    std::array<uint8_t, kCells> detection{};
};

// Offsets of the comment that every built file carries at the same place.
constexpr size_t kCommentTextOffset = 24;
constexpr size_t kCameraStampOffset = 56;  // model 11: time stamp written over the header
constexpr size_t kBuiltHeaderFixedBytes = 611;
constexpr size_t kCameraHeaderMaxBytes = 1300;  // longest camera header the receive side accepts
// Room for any header: a model 13 header of 1300 bytes with APP0 and comment.
constexpr size_t kHeaderCapacity = kCameraHeaderMaxBytes + 128 + 22;

// The quality value q = Q x F, truncated toward zero.
int32_t QualityValue(int32_t quality_level, float scale_factor);

// The 64 quantisation entries in zig-zag order for quality value q; the
// luminance and chrominance tables are equal.
std::array<uint8_t, 64> QuantTable(int32_t q);

// The comment "size = ...; reverse = ...; timestamp = ...; camera = ;" for a
// file of total_length bytes. Returns its length C, 0 when out is too small.
size_t FormatFrameComment(std::span<char> out, int32_t total_length, int32_t reverse,
                          const FrameTime& time);

// The header for a camera without its own: C + 611 bytes written to out, or 0
// when out cannot hold it. sampling 1 is 4:2:2, 0 is 4:2:0; data_length N is
// the compressed data's length, so the size field says C + N + 613.
size_t BuildJfifHeader(std::span<uint8_t> out, int32_t width, int32_t height, int32_t sampling,
                       int32_t q, int32_t reverse, int32_t data_length,
                       const FrameTime& time = LocalFrameTime());

// Model 13: the camera's header of k bytes at the start of header gets the
// APP0 segment and the comment after its start marker. Returns C + k + 22,
// or 0 (header left as it was) when k is below 2 or the result does not fit.
size_t InsertJfifComment(std::span<uint8_t> header, size_t k, int32_t reverse, int32_t data_length,
                         const FrameTime& time = LocalFrameTime());

// Model 11: "timestamp = ...; " written over the camera's header from offset
// 56 on. Returns k; a header too short to hold the 31 characters is left
// unchanged.
size_t StampCameraHeader(std::span<uint8_t> header, size_t k,
                         const FrameTime& time = LocalFrameTime());

// What the first packet and the header datagram of a frame say.
struct FrameHeaderInput {
    int32_t model_code = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t sampling = 0;
    int32_t reverse = 0;
    int32_t quality_level = 0;               // Q
    float scale_factor = 25.0f;              // F
    std::span<const uint8_t> camera_header;  // models 11, 13 and 20
};

// Completes the frame in the receive buffer, whose first data_length bytes
// are the compressed data: the data moves up by the header's length, the
// header goes in front and, for built headers, FF D9 behind. Returns the
// file's length, or 0 when the frame is dropped (a model 13 header shorter
// than 2 bytes, a camera header longer than 1300, or a file that would not
// fit the buffer); the buffer is then unchanged.
size_t CompleteFrame(std::span<uint8_t> buffer, size_t data_length, const FrameHeaderInput& in,
                     const FrameTime& time = LocalFrameTime());

// Reads the comment back. With motion_flag and lattices given (models 11 and
// 20) the "motion" and "mask" fields are read into them; otherwise those
// fields are skipped like any unknown one. A file without a comment gives a
// zero time stamp and leaves the motion state alone. Every read stays inside
// file: its end reads as the end of the comment.
FrameTime ParseFrameComment(std::span<const uint8_t> file, int16_t* motion_flag = nullptr,
                            MotionLattices* lattices = nullptr);

}  // namespace kest
