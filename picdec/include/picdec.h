/*
 * picdec: JPEG to device-independent-bitmap import filter.
 *
 * Five C entry points, loaded by name from "picdec.spi". No state survives a call, so calls
 * may run on several threads at once.
 *
 * Memory ownership: every block handed back to the caller (the comment block of
 * GetPictureInfo, the bitmap information block and the pixel block of GetPicture and
 * GetPreview) is a plain heap block from malloc(); the caller releases it with free().
 */
#ifndef PICDEC_H
#define PICDEC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define PICDEC_EXPORT __attribute__((visibility("default")))
#else
#define PICDEC_EXPORT
#endif

/* Result codes of the picture functions. */
enum {
    PICDEC_OK = 0,             /* success */
    PICDEC_CANCELLED = 1,      /* the progress callback returned non-zero */
    PICDEC_UNSUPPORTED = 2,    /* not a JPEG this filter handles */
    PICDEC_BROKEN = 3,         /* bad segment contents, missing table, stray marker */
    PICDEC_NO_MEMORY = 4,      /* allocation failed or the bitmap would be too large */
    PICDEC_OPEN_FAILED = 6,    /* the file could not be opened */
    PICDEC_TRUNCATED = 10,     /* input ended before the last scan of a progressive picture */
    PICDEC_BAD_INPUT_KIND = -1 /* flag & 7 is neither 0 (file) nor 1 (memory) */
};

/* Input kinds, in bits 0..2 of the flag argument. */
enum {
    PICDEC_INPUT_FILE = 0,  /* buf is a path name, len the byte offset of the JPEG data */
    PICDEC_INPUT_MEMORY = 1 /* buf is the JPEG data, len the number of bytes there */
};

#pragma pack(push, 1)

/* Filled by GetPictureInfo. Packed, little-endian, 30 bytes on 64-bit. */
typedef struct PicdecPictureInfo {
    int32_t left;        /*  0: not written */
    int32_t top;         /*  4: not written */
    int32_t width;       /*  8: from the frame header */
    int32_t height;      /* 12 */
    uint16_t x_density;  /* 16: JFIF x density, 1 when there is no JFIF segment */
    uint16_t y_density;  /* 18 */
    int16_t color_depth; /* 20: 8 for grey pictures, else 24 */
    char* comment;       /* 22: first COM segment's text, zero-padded; free() it; or NULL */
} PicdecPictureInfo;

/* Bitmap information header at the start of the bitmap information block (40 bytes). For grey
 * pictures 256 palette entries follow (blue i, green i, red i, 0), 1064 bytes in all. */
typedef struct PicdecBitmapInfoHeader {
    uint32_t size;            /*  0: 40 */
    int32_t width;            /*  4 */
    int32_t height;           /*  8: positive, rows are stored bottom-up */
    uint16_t planes;          /* 12: 1 */
    uint16_t bit_count;       /* 14: 8 (grey) or 24 (blue, green, red) */
    uint32_t compression;     /* 16: 0 */
    uint32_t size_image;      /* 20: stride * height */
    int32_t x_pels_per_meter; /* 24: JFIF x density, unconverted */
    int32_t y_pels_per_meter; /* 28: JFIF y density, unconverted */
    uint32_t clr_used;        /* 32: 0 */
    uint32_t clr_important;   /* 36: 0 */
} PicdecBitmapInfoHeader;

typedef struct PicdecPaletteEntry {
    uint8_t blue, green, red, reserved;
} PicdecPaletteEntry;

#pragma pack(pop)

/* Called with (done, total, lData); a non-zero result cancels the decoding with result 1. */
typedef int (*PicdecProgressCallback)(int numerator, int denominator, long lData);

/* Copies information text number infono (0..3, and -1 in builds with the SIMD path) into buf,
 * at most buflen - 1 characters and a terminating zero; returns the number of characters
 * copied, 0 when there is no such text. With a null buf or zero buflen it returns 0. */
PICDEC_EXPORT int GetPluginInfo(int infono, char* buf, int buflen);

/* 1 if the file starts with FF D8, else 0. dw below 0x10000 is an open file descriptor whose
 * next 2 bytes are read; otherwise it is the address of the file's first 2 bytes. filename is
 * not used. */
PICDEC_EXPORT int IsSupported(const char* filename, uintptr_t dw);

PICDEC_EXPORT int GetPictureInfo(const char* buf, long len, unsigned int flag,
                                 PicdecPictureInfo* info);

/* On result 0 *pHBInfo holds the bitmap information block and *pHBm the pixel block of
 * stride * height + 4 bytes. On any other result after the blocks were allocated both
 * handles are set as well and the caller frees them; otherwise they are left untouched. */
PICDEC_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                             void** pHBm, PicdecProgressCallback progressCallback, long lData);

/* As GetPicture, reduced to ceil(width / 4) x ceil(height / 4) pixels. */
PICDEC_EXPORT int GetPreview(const char* buf, long len, unsigned int flag, void** pHBInfo,
                             void** pHBm, PicdecProgressCallback progressCallback, long lData);

#ifdef __cplusplus
}
#endif

#endif /* PICDEC_H */
