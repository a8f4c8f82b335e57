// Bounds-checked reader over the JPEG data. Reading past the end yields zero bytes and sets
// the end flag, which is how damaged or truncated pictures decode to their end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace picdec {

class ByteCursor {
  public:
    ByteCursor() = default;
    ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8() {
        if (pos_ < size_) return data_[pos_++];
        end_ = true;
        return 0;
    }
    // Big-endian, as every JPEG segment field is.
    uint16_t U16() {
        uint16_t hi = U8();
        return static_cast<uint16_t>((hi << 8) | U8());
    }
    void Skip(size_t n) {
        if (n > size_ - pos_) {
            pos_ = size_;
            end_ = true;
        } else {
            pos_ += n;
        }
    }
    size_t Remaining() const { return size_ - pos_; }
    size_t pos() const { return pos_; }
    void set_pos(size_t p) { pos_ = p <= size_ ? p : size_; }
    bool at_end() const { return end_; }
    void set_end() { end_ = true; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    bool end_ = false;
};

// The body of one marker segment: reads stay inside the length field's promise. Reading past
// the segment sets overrun (bad segment contents); past the data, zeros as above.
class SegmentReader {
  public:
    SegmentReader(ByteCursor& in, size_t length) : in_(in), left_(length) {}
    uint8_t U8() {
        if (left_ == 0) {
            overrun_ = true;
            return 0;
        }
        --left_;
        return in_.U8();
    }
    uint16_t U16() {
        uint16_t hi = U8();
        return static_cast<uint16_t>((hi << 8) | U8());
    }
    size_t left() const { return left_; }
    bool overrun() const { return overrun_; }
    // Skips whatever the segment still holds.
    void Finish() {
        in_.Skip(left_);
        left_ = 0;
    }

  private:
    ByteCursor& in_;
    size_t left_;
    bool overrun_ = false;
};

}  // namespace picdec
