// Typed values that cross the dispatch interface.
//
// Texts are byte strings: bytes from the camera pass through unchanged. A
// buffer is a host-owned block (pointer and byte length) that a method reads
// or writes in place; the method never goes past its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kest {

enum class VarType : uint8_t { kEmpty, kI2, kI4, kBool, kText, kBuffer };

const char* VarTypeName(VarType type);

struct BufferRef {
    uint8_t* data = nullptr;
    size_t size = 0;
};

class Variant {
  public:
    Variant() = default;
    static Variant I2(int16_t v) { return Variant(VarType::kI2, v); }
    static Variant I4(int32_t v) { return Variant(VarType::kI4, v); }
    static Variant Bool(bool v) { return Variant(VarType::kBool, v ? 1 : 0); }
    static Variant Text(std::string v) {
        Variant x(VarType::kText, 0);
        x.text_ = std::move(v);
        return x;
    }
    static Variant Buffer(void* data, size_t size) {
        Variant x(VarType::kBuffer, 0);
        x.buffer_ = {static_cast<uint8_t*>(data), size};
        return x;
    }

    VarType type() const { return type_; }
    bool is_integer() const { return type_ == VarType::kI2 || type_ == VarType::kI4; }
    int32_t integer() const { return int_; }
    bool boolean() const { return int_ != 0; }
    const std::string& text() const { return text_; }
    std::string& text() { return text_; }
    BufferRef buffer() const { return buffer_; }

    bool operator==(const Variant& o) const {
        return type_ == o.type_ && int_ == o.int_ && text_ == o.text_ &&
               buffer_.data == o.buffer_.data && buffer_.size == o.buffer_.size;
    }

  private:
    Variant(VarType t, int32_t v) : type_(t), int_(v) {}
    VarType type_ = VarType::kEmpty;
    int32_t int_ = 0;
    std::string text_;
    BufferRef buffer_;
};

// Errors of the dispatch mechanism itself, reported apart from method results.
enum class DispError : int32_t {
    kOk = 0,
    kMemberNotFound,   // unknown DISPID or name
    kBadParamCount,    // wrong number of arguments
    kTypeMismatch,     // an argument of the wrong type
    kOverflow,         // an integer that does not fit its parameter
    kGetNotSupported,  // reading a write-only property
    kPutNotSupported,  // writing a read-only property
};

const char* DispErrorName(DispError error);

}  // namespace kest
