// Bounds-checked little-endian reading and writing of wire and file bytes.
//
// A reader never reads past its span: a read that does not fit sets the
// failed flag and yields zero, so a parser checks ok() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace kest {

class ByteReader {
  public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
    ByteReader(const void* data, size_t len) : data_(static_cast<const uint8_t*>(data), len) {}

    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    bool Has(size_t n) const { return n <= remaining(); }

    // Moves to an absolute offset; fails when it lies past the end.
    ByteReader& Seek(size_t offset) {
        if (offset > data_.size()) {
            ok_ = false;
            pos_ = data_.size();
        } else {
            pos_ = offset;
        }
        return *this;
    }
    ByteReader& Skip(size_t n) { return Seek(Has(n) ? pos_ + n : data_.size() + 1); }

    uint8_t U8() {
        uint8_t v = 0;
        Take(&v, 1);
        return v;
    }
    uint16_t U16() {
        uint8_t b[2] = {};
        Take(b, 2);
        return uint16_t(b[0] | (b[1] << 8));
    }
    int16_t I16() { return int16_t(U16()); }
    uint32_t U32() {
        uint8_t b[4] = {};
        Take(b, 4);
        return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
               (uint32_t(b[3]) << 24);
    }
    int32_t I32() { return int32_t(U32()); }
    void Bytes(void* out, size_t n) { Take(out, n); }

  private:
    void Take(void* out, size_t n) {
        if (n == 0) return;
        if (!Has(n)) {
            ok_ = false;
            std::memset(out, 0, n);
            pos_ = data_.size();
            return;
        }
        std::memcpy(out, data_.data() + pos_, n);
        pos_ += n;
    }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Writes into a caller's fixed buffer; a write that does not fit fails the writer.
class ByteWriter {
  public:
    ByteWriter(void* buf, size_t cap) : buf_(static_cast<uint8_t*>(buf)), cap_(cap) {}

    bool ok() const { return ok_; }
    size_t size() const { return pos_; }
    ByteWriter& Seek(size_t offset) {
        if (offset > cap_) {
            ok_ = false;
        } else {
            if (offset > pos_) std::memset(buf_ + pos_, 0, offset - pos_);
            pos_ = offset;
        }
        return *this;
    }
    ByteWriter& U8(uint8_t v) { return Put(&v, 1); }
    ByteWriter& U16(uint16_t v) {
        uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        return Put(b, 2);
    }
    ByteWriter& U32(uint32_t v) {
        uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        return Put(b, 4);
    }
    ByteWriter& Bytes(const void* data, size_t n) { return Put(data, n); }
    ByteWriter& Zeros(size_t n) { return Seek(pos_ + n); }

  private:
    ByteWriter& Put(const void* data, size_t n) {
        if (n == 0) return *this;
        if (n > cap_ - pos_) {
            ok_ = false;
            return *this;
        }
        std::memcpy(buf_ + pos_, data, n);
        pos_ += n;
        return *this;
    }

    uint8_t* buf_;
    size_t cap_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Puts a 16-bit little-endian value at an absolute offset of a buffer.
inline void StoreU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline uint16_t LoadU16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

}  // namespace kest
