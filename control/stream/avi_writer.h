// A Motion-JPEG AVI file (RIFF "AVI ", one video stream "MJPG", an "idx1"
// index) written picture by picture, for players that do not read ".rec".
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace kest {

// Width and height from a JPEG file's start-of-frame segment; false when
// there is none within the data.
bool JpegSize(std::span<const uint8_t> jpeg, int& width, int& height);

class AviWriter {
  public:
    AviWriter() = default;
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // The frame rate is rate / scale pictures per second.
    bool Open(const std::string& path, int width, int height, uint32_t rate, uint32_t scale);
    // False when writing fails or the file would outgrow a RIFF file.
    bool AddFrame(std::span<const uint8_t> jpeg);
    // Writes the index and completes the headers.
    bool Close();
    uint32_t frames() const { return uint32_t(index_.size()); }

  private:
    struct Entry {
        uint32_t offset, size;
    };
    std::FILE* file_ = nullptr;
    int width_ = 0, height_ = 0;
    uint32_t rate_ = 1, scale_ = 1;
    uint64_t movi_start_ = 0;  // offset of the "movi" list type
    uint64_t position_ = 0;
    uint32_t largest_ = 0;
    std::vector<Entry> index_;
    bool ok_ = false;
};

}  // namespace kest
