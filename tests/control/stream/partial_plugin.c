/* A plug-in that lacks two of the entry points the library binds. */
#include <stdint.h>

__attribute__((visibility("default"))) int GetPictureInfo(const char* buf, long len,
                                                          unsigned int flag, void* info) {
    (void)buf, (void)len, (void)flag, (void)info;
    return 2;
}

__attribute__((visibility("default"))) int IsSupported(const char* filename, uintptr_t dw) {
    (void)filename, (void)dw;
    return 0;
}
