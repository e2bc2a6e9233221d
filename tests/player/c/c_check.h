/* What the C interface's tests share: a check that names the failing line,
 * and reading files whole. */
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
static unsigned char *ReadWhole(const char *path, size_t *size) {
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

#endif
