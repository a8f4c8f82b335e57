// libFuzzer target: the three picture calls on arbitrary bytes in memory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "picdec.h"

constexpr int64_t kMaxFuzzPixels = 4 << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* buf = reinterpret_cast<const char*>(data);
    long len = static_cast<long>(size);
    PicdecPictureInfo info;
    if (GetPictureInfo(buf, len, PICDEC_INPUT_MEMORY, &info) == 0) {
        char* comment;
        __builtin_memcpy(&comment, &info.comment, sizeof(comment));
        std::free(comment);
        // Huge pictures only cost time and memory here; the size checks are tested apart.
        if (static_cast<int64_t>(info.width) * info.height > kMaxFuzzPixels) return 0;
    }
    for (auto fn : {GetPicture, GetPreview}) {
        void* hinfo = nullptr;
        void* hbm = nullptr;
        fn(buf, len, PICDEC_INPUT_MEMORY, &hinfo, &hbm, nullptr, 0);
        std::free(hinfo);
        std::free(hbm);
    }
    return 0;
}
