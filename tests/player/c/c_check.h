/* What the C interface's tests share: a check that names the failing line,
 * reading files whole, and finding the samples of a WAV file. */
#ifndef QUAVIX_C_CHECK_H
#define QUAVIX_C_CHECK_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int Failures = 0;

#define CHECK(condition)                                                              \
    do {                                                                              \
        if (!(condition)) {                                                           \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++Failures;                                                               \
        }                                                                             \
    } while (0)

/* The whole file at path, its size in *size; NULL when it cannot be read. */
static inline unsigned char *ReadWhole(const char *path, size_t *size) {
    FILE *file = fopen(path, "rb");
    unsigned char *data = NULL;
    long length;
    if (!file) return NULL;
    if (fseek(file, 0, SEEK_END) == 0 && (length = ftell(file)) >= 0 && fseek(file, 0, SEEK_SET) == 0) {
        data = (unsigned char *)malloc((size_t)length + 1);
        if (data && fread(data, 1, (size_t)length, file) != (size_t)length) {
            free(data);
            data = NULL;
        }
        *size = (size_t)length;
    }
    fclose(file);
    return data;
}

/* The samples of a WAV file's data chunk, their count of bytes in *bytes;
 * NULL when the file has none. */
static inline const unsigned char *WavData(const unsigned char *file, size_t size, size_t *bytes) {
    size_t at = 12;
    if (size < 12 || memcmp(file, "RIFF", 4) != 0 || memcmp(file + 8, "WAVE", 4) != 0) return NULL;
    while (at + 8 <= size) {
        size_t length = (size_t)file[at + 4] | (size_t)file[at + 5] << 8 | (size_t)file[at + 6] << 16 |
                        (size_t)file[at + 7] << 24;
        if (memcmp(file + at, "data", 4) == 0) {
            *bytes = length <= size - at - 8 ? length : size - at - 8;
            return file + at + 8;
        }
        at += 8 + length + (length & 1);
    }
    return NULL;
}

#endif
