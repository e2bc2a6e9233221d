/* The three calls at the heart of the C interface, and nothing else:
 * core_calls_test SONG REFERENCE.wav renders SONG from memory at 44100 Hz
 * and matches `quavix render SONG` (REFERENCE.wav) byte for byte. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <quavix/quavix.h>

#include "c_check.h"

int main(int argc, char **argv) {
    size_t song_size = 0, file_size = 0, bytes = 0, frames = 0, got;
    unsigned char *song_data, *file;
    const unsigned char *samples;
    int16_t piece[3000 * 2];
    quavix_error error;
    quavix_song *song;
    if (argc != 3) {
        fprintf(stderr, "usage: %s SONG REFERENCE.wav\n", argv[0]);
        return 2;
    }
    song_data = ReadWhole(argv[1], &song_size);
    file = ReadWhole(argv[2], &file_size);
    if (!song_data || !file) {
        fprintf(stderr, "%s: cannot read %s or %s\n", argv[0], argv[1], argv[2]);
        return 2;
    }
    samples = WavData(file, file_size, &bytes);
    CHECK(samples != NULL);
    if (!samples) return 1;
    song = quavix_open_memory(song_data, song_size, 44100, &error);
    free(song_data);
    if (!song) {
        fprintf(stderr, "%s: %s\n", argv[1], error.text);
        return 1;
    }
    CHECK(error.code == QUAVIX_OK);
    /* Uneven pieces, up to the song's end. */
    while ((got = quavix_render_s16(song, piece, 3000)) > 0) {
        CHECK((frames + got) * 4 <= bytes);
        if ((frames + got) * 4 > bytes) break;
        CHECK(memcmp(piece, samples + frames * 4, got * 4) == 0);
        frames += got;
    }
    CHECK(frames * 4 == bytes);
    quavix_close(song);
    free(file);
    if (Failures) fprintf(stderr, "%d checks failed\n", Failures);
    else printf("%lu frames, byte for byte as quavix render\n", (unsigned long)frames);
    return Failures ? 1 : 0;
}
