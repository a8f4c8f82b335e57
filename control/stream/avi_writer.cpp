#include "control/stream/avi_writer.h"

#include <cstring>

#include "platform/byte_cursor.h"

namespace kest {

namespace {

constexpr uint64_t kRiffLimit = 0xFFFFFF00u;  // a RIFF size is 32 bits
constexpr size_t kHeaderBytes = 224;          // RIFF header up to the "movi" list's data

void FourCc(ByteWriter& w, const char* cc) {
    w.Bytes(cc, 4);
}

}  // namespace

bool JpegSize(std::span<const uint8_t> jpeg, int& width, int& height) {
    ByteReader r(jpeg);
    if (r.U8() != 0xFF || r.U8() != 0xD8) return false;
    while (r.ok() && r.Has(4)) {
        if (r.U8() != 0xFF) return false;
        const uint8_t marker = r.U8();
        if (marker == 0xFF) {  // fill byte
            r.Seek(r.offset() - 1);
            continue;
        }
        const size_t length = size_t(r.U8()) << 8 | r.U8();
        if (length < 2 || !r.Has(length - 2)) return false;
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof && length >= 7) {
            r.Skip(1);
            height = int(r.U8()) << 8, height |= r.U8();
            width = int(r.U8()) << 8, width |= r.U8();
            return r.ok() && width > 0 && height > 0;
        }
        if (marker == 0xDA) return false;  // the scan began without a frame header
        r.Skip(length - 2);
    }
    return false;
}

AviWriter::~AviWriter() {
    if (file_) std::fclose(file_);
}

bool AviWriter::Open(const std::string& path, int width, int height, uint32_t rate,
                     uint32_t scale) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    width_ = width, height_ = height;
    rate_ = rate ? rate : 1, scale_ = scale ? scale : 1;
    // The headers are written again with their sizes by Close.
    uint8_t zeros[kHeaderBytes] = {};
    ok_ = std::fwrite(zeros, 1, sizeof zeros, file_) == sizeof zeros;
    movi_start_ = kHeaderBytes - 4;
    position_ = kHeaderBytes;
    return ok_;
}

bool AviWriter::AddFrame(std::span<const uint8_t> jpeg) {
    if (!ok_) return false;
    const uint64_t padded = (jpeg.size() + 1) & ~uint64_t(1);
    // The frame, the index entry and the index chunk must still fit.
    if (position_ + 8 + padded + 16 * (index_.size() + 1) + 8 > kRiffLimit) return ok_ = false;
    uint8_t head[8];
    ByteWriter w(head, sizeof head);
    FourCc(w, "00dc");
    w.U32(uint32_t(jpeg.size()));
    ok_ = std::fwrite(head, 1, 8, file_) == 8 &&
          std::fwrite(jpeg.data(), 1, jpeg.size(), file_) == jpeg.size() &&
          (padded == jpeg.size() || std::fputc(0, file_) != EOF);
    if (!ok_) return false;
    index_.push_back({uint32_t(position_ - movi_start_), uint32_t(jpeg.size())});
    largest_ = std::max(largest_, uint32_t(jpeg.size()));
    position_ += 8 + padded;
    return true;
}

bool AviWriter::Close() {
    if (!file_) return false;
    bool ok = ok_;
    if (ok) {
        std::vector<uint8_t> idx(8 + 16 * index_.size());
        ByteWriter w(idx.data(), idx.size());
        FourCc(w, "idx1");
        w.U32(uint32_t(16 * index_.size()));
        for (const Entry& e : index_) {
            FourCc(w, "00dc");
            w.U32(0x10);  // a key frame: every picture is one
            w.U32(e.offset).U32(e.size);
        }
        ok = std::fwrite(idx.data(), 1, idx.size(), file_) == idx.size();
        const uint64_t end = position_ + idx.size();

        uint8_t h[kHeaderBytes] = {};
        ByteWriter hw(h, sizeof h);
        const uint32_t frames = uint32_t(index_.size());
        const uint32_t us_per_frame = uint32_t(uint64_t(scale_) * 1000000u / rate_);
        FourCc(hw, "RIFF");
        hw.U32(uint32_t(end - 8));
        FourCc(hw, "AVI ");
        FourCc(hw, "LIST");
        hw.U32(192);  // "hdrl" list: 4 + 64 + 124
        FourCc(hw, "hdrl");
        FourCc(hw, "avih");
        hw.U32(56);
        hw.U32(us_per_frame);
        hw.U32(uint32_t(uint64_t(largest_) * rate_ / scale_));  // max bytes per second
        hw.U32(0);                                              // padding granularity
        hw.U32(0x10);                                           // has an index
        hw.U32(frames).U32(0).U32(1).U32(largest_);
        hw.U32(uint32_t(width_)).U32(uint32_t(height_));
        hw.Zeros(16);
        FourCc(hw, "LIST");
        hw.U32(116);  // "strl" list: 4 + 64 + 48
        FourCc(hw, "strl");
        FourCc(hw, "strh");
        hw.U32(56);
        FourCc(hw, "vids");
        FourCc(hw, "MJPG");
        hw.U32(0).U16(0).U16(0).U32(0);  // flags, priority, language, initial frames
        hw.U32(scale_).U32(rate_).U32(0).U32(frames).U32(largest_);
        hw.U32(0xFFFFFFFFu).U32(0);  // quality: default; sample size: varies
        hw.U16(0).U16(0).U16(uint16_t(width_)).U16(uint16_t(height_));
        FourCc(hw, "strf");
        hw.U32(40);
        hw.U32(40).U32(uint32_t(width_)).U32(uint32_t(height_));
        hw.U16(1).U16(24);
        FourCc(hw, "MJPG");
        hw.U32(uint32_t(width_ * height_ * 3)).U32(0).U32(0).U32(0).U32(0);
        FourCc(hw, "LIST");
        hw.U32(uint32_t(position_ - movi_start_));
        FourCc(hw, "movi");
        ok = ok && hw.ok() && hw.size() == kHeaderBytes && std::fseek(file_, 0, SEEK_SET) == 0 &&
             std::fwrite(h, 1, sizeof h, file_) == sizeof h;
    }
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

}  // namespace kest
