/* The C interface as a C program uses it: c_api_test SONG [REFERENCE.wav
 * [REPEAT1_8000.wav]]. SONG is any module file; REFERENCE.wav is `quavix
 * render SONG` (44100 Hz, 16-bit stereo), which the library's render must
 * match byte for byte, and REPEAT1_8000.wav `quavix render --rate 8000
 * --repeat 1 SONG`. Each group of checks is a function named after the
 * behaviour it pins. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <quavix/quavix.h>

#include "c_check.h"

static unsigned char *Song = NULL;
static size_t SongSize = 0;

static quavix_song *OpenAt(int rate) {
    quavix_error error;
    quavix_song *song = quavix_open_memory(Song, SongSize, rate, &error);
    CHECK(song != NULL);
    if (!song) fprintf(stderr, "  open: %d %s\n", error.code, error.text);
    return song;
}

/* The whole song as 16-bit stereo, asked for in uneven pieces; its frames
 * in *frames. */
static int16_t *RenderWhole(quavix_song *song, size_t *frames) {
    size_t room = 44100 * 4, done = 0, got;
    const size_t piece = 1237;
    const size_t channels = (size_t)quavix_channels(song);
    int16_t *out = (int16_t *)malloc(room * channels * sizeof(int16_t));
    for (;;) {
        if (done + piece > room) {
            room *= 2;
            out = (int16_t *)realloc(out, room * channels * sizeof(int16_t));
        }
        got = quavix_render_s16(song, out + done * channels, piece);
        done += got;
        if (got < piece) break;
    }
    /* The end stays the end. */
    CHECK(quavix_render_s16(song, out, 1) == 0);
    CHECK(quavix_last_error(song, NULL) == QUAVIX_OK);
    *frames = done;
    return out;
}

/* The library renders what `quavix render` writes, byte for byte. */
static void RenderMatchesTheTool(const char *reference_path) {
    size_t file_size = 0, bytes = 0, frames = 0;
    unsigned char *file = ReadWhole(reference_path, &file_size);
    const unsigned char *reference;
    quavix_song *song;
    int16_t *rendered;
    unsigned char *copy;
    CHECK(file != NULL);
    if (!file) return;
    reference = WavData(file, file_size, &bytes);
    CHECK(reference != NULL);
    /* The song keeps its own copy: the caller's goes at once. */
    copy = (unsigned char *)malloc(SongSize);
    memcpy(copy, Song, SongSize);
    song = quavix_open_memory(copy, SongSize, 44100, NULL);
    memset(copy, 0xAA, SongSize);
    free(copy);
    CHECK(song != NULL);
    if (!song || !reference) {
        free(file);
        quavix_close(song);
        return;
    }
    rendered = RenderWhole(song, &frames);
    CHECK(frames * 4 == bytes);
    CHECK(frames * 4 <= bytes && memcmp(rendered, reference, frames * 4) == 0);
    CHECK((int64_t)frames == quavix_duration_frames(song));
    free(rendered);
    free(file);
    quavix_close(song);
}

static void RepeatMatchesTheTool(const char *reference_path) {
    size_t file_size = 0, bytes = 0, frames = 0;
    unsigned char *file = ReadWhole(reference_path, &file_size);
    const unsigned char *reference = file ? WavData(file, file_size, &bytes) : NULL;
    quavix_song *song = OpenAt(8000);
    int16_t *rendered;
    CHECK(reference != NULL);
    if (!song || !reference) {
        free(file);
        quavix_close(song);
        return;
    }
    CHECK(quavix_set_repeat(song, 1) == QUAVIX_OK);
    rendered = RenderWhole(song, &frames);
    CHECK(frames * 4 == bytes && memcmp(rendered, reference, bytes) == 0);
    free(rendered);
    free(file);
    quavix_close(song);
}

/* Each repeat count ends the song after as many more passes; -1 never. */
static void SongEndsAfterItsRepeats(void) {
    size_t ends[3], frames;
    int repeat;
    int16_t *once = NULL;
    int16_t *buffer;
    quavix_song *song;
    for (repeat = 0; repeat < 3; ++repeat) {
        int16_t *rendered;
        song = OpenAt(8000);
        if (!song) return;
        CHECK(quavix_set_repeat(song, repeat) == QUAVIX_OK);
        rendered = RenderWhole(song, &ends[repeat]);
        if (repeat == 0) {
            CHECK((int64_t)ends[0] == quavix_duration_frames(song));
            once = rendered;
        } else {
            /* The passes before the last play as they did alone. */
            CHECK(ends[repeat] > ends[repeat - 1]);
            CHECK(memcmp(rendered, once, ends[0] * 4) == 0);
            free(rendered);
        }
        quavix_close(song);
    }
    /* The passes after the first all start at the same row: equal lengths. */
    CHECK(ends[2] - ends[1] == ends[1] - ends[0]);
    free(once);
    /* For ever: on past three passes, every frame asked for. */
    song = OpenAt(8000);
    if (!song) return;
    CHECK(quavix_set_repeat(song, -1) == QUAVIX_OK);
    CHECK(quavix_set_repeat(song, -2) == QUAVIX_ERROR_ARGUMENT);
    frames = ends[2] + 8000;
    buffer = (int16_t *)malloc(frames * 4);
    CHECK(quavix_render_s16(song, buffer, frames) == frames);
    /* A count already passed ends the song at its next end. */
    CHECK(quavix_set_repeat(song, 0) == QUAVIX_OK);
    CHECK(quavix_render_s16(song, buffer, frames) < frames);
    free(buffer);
    quavix_close(song);
}

/* Data that is no song, or a damaged one, says why; so do bad arguments. */
static void BadDataIsRefusedWithAReason(void) {
    static const unsigned char text[] = "just some text, no module at all, long enough to be looked at";
    quavix_error error;
    error.code = -1;
    CHECK(quavix_open_memory(text, sizeof(text), 44100, &error) == NULL);
    CHECK(error.code == QUAVIX_ERROR_NOT_MODULE);
    CHECK(strncmp(error.text, "not a module file", 17) == 0);
    /* The Extended Module header, cut short. */
    CHECK(quavix_open_memory(Song, 80, 44100, &error) == NULL);
    CHECK(error.code == QUAVIX_ERROR_DAMAGED);
    CHECK(strstr(error.text, "damaged Extended Module file") == error.text);
    CHECK(quavix_open_memory(NULL, 10, 44100, &error) == NULL);
    CHECK(error.code == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_open_memory(Song, SongSize, 100, &error) == NULL);
    CHECK(error.code == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_open_file("/nonexistent/song.xm", 44100, &error) == NULL);
    CHECK(error.code == QUAVIX_ERROR_CANNOT_READ && error.text[0] != '\0');
    /* No error to fill is fine too. */
    CHECK(quavix_open_memory(text, sizeof(text), 44100, NULL) == NULL);
    quavix_close(NULL);
}

/* What the song is, as its file says. */
static void InfoDescribesTheSong(const char *path) {
    quavix_error error;
    quavix_song *song = quavix_open_file(path, 44100, &error);
    int i;
    CHECK(song != NULL && error.code == QUAVIX_OK);
    if (!song) return;
    CHECK(strcmp(quavix_format(song), "xm") == 0);
    CHECK(strcmp(quavix_title(song), "Quavix default song") == 0);
    CHECK(strcmp(quavix_tracker(song), "Quavix module writer") == 0);
    CHECK(strstr(quavix_message(song), "Quavix default song\nComposed") == quavix_message(song));
    CHECK(quavix_channel_count(song) == 8);
    CHECK(quavix_order_count(song) == 6);
    CHECK(quavix_instrument_count(song) == 7);
    CHECK(quavix_sample_count(song) >= 7);
    for (i = 0; i < quavix_instrument_count(song); ++i) CHECK(quavix_instrument_name(song, i) != NULL);
    CHECK(quavix_instrument_name(song, 7) == NULL);
    CHECK(quavix_instrument_name(song, -1) == NULL);
    CHECK(quavix_sample_name(song, quavix_sample_count(song)) == NULL);
    CHECK(quavix_duration(song) > 46.7 && quavix_duration(song) < 46.8);
    CHECK(quavix_subsong_count(song) == 1);
    CHECK(quavix_subsong_first_order(song, 0) == 0);
    CHECK(quavix_subsong_duration(song, 0) == quavix_duration(song));
    CHECK(quavix_subsong_first_order(song, 1) == -1);
    CHECK(quavix_version()[0] != '\0');
    CHECK(quavix_version_number() >= 100);
    quavix_close(song);
}

/* Order seeks land on row 0 of the order; time seeks on the very frame. */
static void SeeksLandWhereAsked(void) {
    quavix_song *song = OpenAt(44100);
    quavix_song *other = OpenAt(44100);
    int16_t a[4096 * 2], b[4200 * 2];
    int64_t frame;
    if (!song || !other) return;
    CHECK(quavix_position_order(song) == -1);
    CHECK(quavix_position_frames(song) == 0);
    CHECK(quavix_render_s16(song, a, 1000) == 1000);
    CHECK(quavix_position_order(song) == 0 && quavix_position_row(song) == 0);
    CHECK(quavix_position_frames(song) == 1000);

    CHECK(quavix_seek_order(song, 2) == QUAVIX_OK);
    CHECK(quavix_position_order(song) == 2 && quavix_position_row(song) == 0);
    frame = quavix_position_frames(song);
    CHECK(frame > 0);
    CHECK(quavix_render_s16(song, a, 100) == 100);
    CHECK(quavix_position_order(song) == 2 && quavix_position_row(song) == 0);
    CHECK(quavix_position_frames(song) == frame + 100);
    CHECK(quavix_seek_order(song, 6) == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_seek_order(song, -1) == QUAVIX_ERROR_ARGUMENT);

    /* Into the middle of an order: the time reads back exactly, and the
     * audio is that of the order's start played on to that frame (both
     * songs fresh: voices sounding before a seek go on sounding). */
    quavix_close(song);
    song = OpenAt(44100);
    if (!song) return;
    CHECK(quavix_seek_frames(song, frame + 12345) == QUAVIX_OK);
    CHECK(quavix_position_frames(song) == frame + 12345);
    CHECK(quavix_position_order(song) == 2 && quavix_position_row(song) > 0);
    CHECK(quavix_seek_order(other, 2) == QUAVIX_OK);
    CHECK(quavix_render_s16(other, b, 4096) == 4096);
    CHECK(quavix_render_s16(other, b, 4096) == 4096);
    CHECK(quavix_render_s16(other, b, 4153) == 4153);
    CHECK(quavix_render_s16(other, b, 4096) == 4096);
    CHECK(quavix_render_s16(song, a, 4096) == 4096);
    CHECK(memcmp(a, b, sizeof(a)) == 0);

    CHECK(quavix_seek_seconds(song, 10.0) == QUAVIX_OK);
    CHECK(quavix_position_frames(song) == 441000);
    CHECK(quavix_position_seconds(song) == 10.0);
    CHECK(quavix_seek_seconds(song, 1000.0) == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_seek_seconds(song, -1.0) == QUAVIX_ERROR_ARGUMENT);
    {
        quavix_error error;
        CHECK(quavix_last_error(song, &error) == QUAVIX_ERROR_ARGUMENT && error.text[0] != '\0');
    }

    /* A seek after the end plays on. */
    CHECK(quavix_seek_frames(song, quavix_duration_frames(song) - 10) == QUAVIX_OK);
    CHECK(quavix_render_s16(song, a, 100) == 10);
    CHECK(quavix_render_s16(song, a, 100) == 0);
    CHECK(quavix_seek_order(song, 0) == QUAVIX_OK);
    CHECK(quavix_render_s16(song, a, 100) == 100);
    quavix_close(song);
    quavix_close(other);
}

static int AllZero(const int16_t *values, size_t count) {
    size_t i;
    for (i = 0; i < count; ++i)
        if (values[i] != 0) return 0;
    return 1;
}

/* Muted channels add nothing; the meters see the channels that play. */
static void MutedChannelsAreSilent(void) {
    quavix_song *song = OpenAt(44100);
    int16_t *buffer = (int16_t *)malloc(44100 * 4 * sizeof(int16_t));
    int channel, loudest = 0;
    if (!song) return;
    CHECK(quavix_set_level_meters(song, 1) == QUAVIX_OK);
    CHECK(quavix_render_s16(song, buffer, 44100 * 2) == 44100 * 2);
    CHECK(!AllZero(buffer, 44100 * 4));
    for (channel = 0; channel < 8; ++channel) {
        const int level = quavix_channel_level(song, channel);
        CHECK(level >= 0 && level <= 32768);
        if (level > loudest) loudest = level;
        /* Taken: it starts over. */
        CHECK(quavix_channel_level(song, channel) == 0);
    }
    CHECK(loudest > 0);
    for (channel = 0; channel < 8; ++channel) CHECK(quavix_set_channel_muted(song, channel, 1) == QUAVIX_OK);
    CHECK(quavix_channel_muted(song, 3) == 1);
    CHECK(quavix_set_channel_muted(song, 8, 1) == QUAVIX_ERROR_ARGUMENT);
    /* What the mixer still held fades out within this second. */
    CHECK(quavix_render_s16(song, buffer, 44100) == 44100);
    CHECK(quavix_render_s16(song, buffer, 44100 * 2) == 44100 * 2);
    CHECK(AllZero(buffer, 44100 * 4));
    CHECK(quavix_set_channel_muted(song, 0, 0) == QUAVIX_OK);
    CHECK(quavix_channel_muted(song, 0) == 0);
    free(buffer);
    quavix_close(song);
}

/* 8-bit and float are the 16-bit render converted; mono is the mixer's own. */
static void OutputFormatsFollowThe16BitRender(void) {
    quavix_song *reference = OpenAt(22050), *bytes = OpenAt(22050), *floats = OpenAt(22050), *mono = OpenAt(22050);
    int16_t s16[5000 * 2], mono16[5000], again[5000];
    uint8_t u8[5000 * 2];
    float f[5000 * 2];
    size_t i;
    int u8_right = 1, float_right = 1;
    if (!reference || !bytes || !floats || !mono) return;
    CHECK(quavix_render_s16(reference, s16, 5000) == 5000);
    CHECK(quavix_render_u8(bytes, u8, 5000) == 5000);
    CHECK(quavix_render_float(floats, f, 5000) == 5000);
    for (i = 0; i < 10000; ++i) {
        if (u8[i] != (uint8_t)((s16[i] + 32768) >> 8)) u8_right = 0;
        if (f[i] != (float)s16[i] / 32768.0f) float_right = 0;
    }
    CHECK(u8_right && float_right);
    CHECK(!AllZero(s16, 10000));

    CHECK(quavix_channels(mono) == 2);
    CHECK(quavix_set_channels(mono, 3) == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_set_channels(mono, 1) == QUAVIX_OK);
    CHECK(quavix_channels(mono) == 1);
    CHECK(quavix_render_s16(mono, mono16, 5000) == 5000);
    CHECK(!AllZero(mono16, 5000));
    CHECK(quavix_set_channels(mono, 2) == QUAVIX_ERROR_STATE);
    CHECK(quavix_channels(mono) == 1);
    CHECK(quavix_render_s16(mono, again, 5000) == 5000);
    quavix_close(mono);

    /* The width reaches the mixer (how it narrows is the mixer's own test). */
    {
        int16_t wide[5000 * 2];
        memcpy(wide, s16, sizeof(wide));
        quavix_close(reference);
        reference = OpenAt(22050);
        if (!reference) return;
        CHECK(quavix_set_stereo_separation(reference, 0) == QUAVIX_OK);
        CHECK(quavix_set_stereo_separation(reference, 201) == QUAVIX_ERROR_ARGUMENT);
        CHECK(quavix_render_s16(reference, s16, 5000) == 5000);
        CHECK(memcmp(wide, s16, sizeof(wide)) != 0);
    }
    quavix_close(reference);
    quavix_close(bytes);
    quavix_close(floats);
}

/* The settings take what the engine has, and say what it has not yet. */
static void SettingsSayWhatTheyTake(void) {
    quavix_song *linear = OpenAt(22050), *nearest = OpenAt(22050);
    int16_t a[3000 * 2], b[3000 * 2];
    if (!linear || !nearest) return;
    CHECK(quavix_set_interpolation(nearest, QUAVIX_INTERPOLATION_CUBIC) == QUAVIX_OK);
    CHECK(quavix_set_interpolation(nearest, QUAVIX_INTERPOLATION_SINC) == QUAVIX_OK);
    CHECK(quavix_set_interpolation(nearest, QUAVIX_INTERPOLATION_NONE) == QUAVIX_OK);
    CHECK(quavix_set_interpolation(nearest, 9) == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_render_s16(linear, a, 3000) == 3000);
    CHECK(quavix_render_s16(nearest, b, 3000) == 3000);
    CHECK(memcmp(a, b, sizeof(a)) != 0);
    CHECK(quavix_set_amiga_clock(linear, QUAVIX_AMIGA_CLOCK_PAL) == QUAVIX_OK);
    CHECK(quavix_set_amiga_clock(linear, 2) == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_set_master_volume(linear, 64) == QUAVIX_OK);
    CHECK(quavix_set_master_volume(linear, 257) == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_last_error(linear, NULL) == QUAVIX_ERROR_ARGUMENT);
    CHECK(quavix_render_s16(linear, NULL, 10) == 0);
    CHECK(quavix_last_error(linear, NULL) == QUAVIX_ERROR_ARGUMENT);
    quavix_close(linear);
    quavix_close(nearest);
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s SONG [REFERENCE.wav [REPEAT1_8000.wav]]\n", argv[0]);
        return 2;
    }
    Song = ReadWhole(argv[1], &SongSize);
    if (!Song) {
        fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 2;
    }
    if (argc >= 3) RenderMatchesTheTool(argv[2]);
    if (argc >= 4) RepeatMatchesTheTool(argv[3]);
    SongEndsAfterItsRepeats();
    BadDataIsRefusedWithAReason();
    InfoDescribesTheSong(argv[1]);
    SeeksLandWhereAsked();
    MutedChannelsAreSilent();
    OutputFormatsFollowThe16BitRender();
    SettingsSayWhatTheyTake();
    free(Song);
    if (Failures) fprintf(stderr, "%d checks failed\n", Failures);
    else printf("all checks passed\n");
    return Failures ? 1 : 0;
}
