// Blocks that grow with the picture: the pixel block handed to the caller and the coefficient
// store of progressive pictures. A fresh 36 MB bitmap costs about 9000 page faults, which on
// this kind of machine took as long as decoding the picture; huge pages cut that five-fold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace picdec {

// Blocks at least this large ask the kernel for huge pages.
constexpr size_t kHugePageThreshold = size_t{4} << 20;

// malloc() (or calloc() when zero is set), so that the caller may free() it; nullptr when
// the memory is not there.
void* AllocateLarge(size_t bytes, bool zero);

// A zeroed array of T from AllocateLarge, freed with it.
template <typename T>
class LargeArray {
  public:
    LargeArray() = default;
    LargeArray(const LargeArray&) = delete;
    LargeArray& operator=(const LargeArray&) = delete;
    ~LargeArray() { std::free(p_); }
    // Replaces the contents with n zeroed elements; false when the memory is not there.
    [[nodiscard]] bool Assign(size_t n) {
        std::free(p_);
        p_ = static_cast<T*>(AllocateLarge(n * sizeof(T), true));
        size_ = p_ != nullptr ? n : 0;
        return p_ != nullptr || n == 0;
    }
    T* data() { return p_; }
    const T* data() const { return p_; }
    size_t size() const { return size_; }

  private:
    T* p_ = nullptr;
    size_t size_ = 0;
};

}  // namespace picdec
