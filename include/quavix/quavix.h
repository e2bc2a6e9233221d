/*
 * libquavix: the Quavix Player engine as a library. It plays tracker modules
 * (Extended Module .xm, pattern-format .mod, Scream Tracker 3 .s3m and
 * Impulse Tracker .it files) into PCM with integer arithmetic, giving the
 * same bytes on every machine.
 *
 * Every call takes the song it acts on; the library keeps no state of its
 * own. One song may be used by one thread at a time; different songs may be
 * used on different threads at once without any lock.
 *
 * Calls that can fail say why: the open calls fill the caller's
 * quavix_error, the others return a QUAVIX_ERROR_* code (0 for success) or,
 * where they return something else, leave the reason in the song's last
 * error (quavix_last_error).
 *
 * Texts the library returns (titles, names, messages, error texts) are UTF-8
 * and belong to the song: they stay valid until quavix_close.
 */
#ifndef QUAVIX_QUAVIX_H
#define QUAVIX_QUAVIX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QUAVIX_BUILDING_LIBRARY) && defined(__GNUC__)
#define QUAVIX_API __attribute__((visibility("default")))
#else
#define QUAVIX_API
#endif

/* Error codes: quavix_error.code and the return value of the calls that
 * return an int. */
enum {
    QUAVIX_OK = 0,
    QUAVIX_ERROR_NOT_MODULE = 1,    /* the data is no module file this library knows */
    QUAVIX_ERROR_DAMAGED = 2,       /* a module file cut short where the song cannot do without */
    QUAVIX_ERROR_UNSUPPORTED = 3,   /* a module file of a variant this library does not play */
    QUAVIX_ERROR_TOO_LARGE = 4,     /* more data than a song is read from, or more memory than there is */
    QUAVIX_ERROR_CANNOT_READ = 5,   /* the file cannot be opened or read */
    QUAVIX_ERROR_ARGUMENT = 6,      /* a value out of range, or a NULL pointer */
    QUAVIX_ERROR_NOT_AVAILABLE = 7, /* a setting this version of the library does not have yet */
    QUAVIX_ERROR_STATE = 8          /* not at this point of playback */
};

/* Interpolation, how the mixer reads between sample frames. */
enum {
    QUAVIX_INTERPOLATION_NONE = 0,   /* the nearest frame before */
    QUAVIX_INTERPOLATION_LINEAR = 1, /* the default */
    QUAVIX_INTERPOLATION_CUBIC = 2,  /* a spline through the 4 frames around the position */
    QUAVIX_INTERPOLATION_SINC = 3    /* a windowed sinc of the 8 frames around it */
};

/* The Amiga clock pattern-format songs play by. */
enum {
    QUAVIX_AMIGA_CLOCK_NTSC = 0, /* the default: C-2 at 8363 Hz */
    QUAVIX_AMIGA_CLOCK_PAL = 1   /* 0.9 % lower, as on a PAL Amiga */
};

typedef struct quavix_song quavix_song;
typedef struct quavix_error {
    int code;       /* QUAVIX_OK or a QUAVIX_ERROR_* */
    char text[256]; /* why, in one line: "damaged Extended Module file: ..."; empty for QUAVIX_OK */
} quavix_error;

/* ---- The library ---- */

/* The library's version, "0.1.0", and as a number: major * 10000 + minor *
 * 100 + patch. */
QUAVIX_API const char *quavix_version(void);
QUAVIX_API int quavix_version_number(void);

/* ---- Opening and closing ---- */

/* A song from a module file's bytes, played at sample_rate Hz (8000 to
 * 192000). The song keeps a copy of what it needs: the caller may free data
 * at once. Returns NULL on failure with error (when not NULL) filled. */
QUAVIX_API quavix_song *quavix_open_memory(const void *data, size_t size, int sample_rate, quavix_error *error);
/* The same from a file. */
QUAVIX_API quavix_song *quavix_open_file(const char *path, int sample_rate, quavix_error *error);
/* Frees the song and everything it returned; NULL does nothing. */
QUAVIX_API void quavix_close(quavix_song *song);
/* The song's last error: its code (QUAVIX_OK when the last call that can
 * fail succeeded), copied with its text into error when not NULL. */
QUAVIX_API int quavix_last_error(const quavix_song *song, quavix_error *error);

/* ---- Rendering ----
 *
 * Each call renders the next frames of the song, as `quavix render` does:
 * by default stereo, linear interpolation, clipping to 16 bits, master
 * volume 128, stereo separation 100 %. A frame is one value per output
 * channel (2, or 1 after quavix_set_channels(song, 1)), left before right.
 * The calls return the frames written: fewer than asked at the song's end,
 * then 0. The song ends the first time it comes back to a row it played
 * (after the repeats quavix_set_repeat asks for). A return of 0 with
 * quavix_last_error other than QUAVIX_OK is a failure, not the end. */

/* Signed 16-bit, native byte order: the engine's own output. */
QUAVIX_API size_t quavix_render_s16(quavix_song *song, int16_t *interleaved_stereo, size_t frames);
/* Unsigned 8-bit, silence at 128: each 16-bit value's high byte, made
 * unsigned. */
QUAVIX_API size_t quavix_render_u8(quavix_song *song, uint8_t *interleaved, size_t frames);
/* Float: each 16-bit value divided by 32768, so -1.0 to 32767/32768. */
QUAVIX_API size_t quavix_render_float(quavix_song *song, float *interleaved, size_t frames);

/* ---- Settings ---- each returns QUAVIX_OK or an error code. */

/* Output channels, 2 (stereo, the default) or 1 (mono: the mixer's own mono
 * mix, not an average of the sides). Only before the first render or seek:
 * QUAVIX_ERROR_STATE after. */
QUAVIX_API int quavix_set_channels(quavix_song *song, int channels);
/* The output channels chosen. */
QUAVIX_API int quavix_channels(const quavix_song *song);
/* How many times the song plays past its end: 0 (the default) once, N that
 * many more times, -1 for ever. Counted from the start, or from the last
 * seek; a count that the song has already passed ends it at its next end. */
QUAVIX_API int quavix_set_repeat(quavix_song *song, int count);
/* A QUAVIX_INTERPOLATION_*; from the next frame rendered. */
QUAVIX_API int quavix_set_interpolation(quavix_song *song, int interpolation);
/* Stereo width in percent, 0 (mono on both sides) to 200; 100 (the default)
 * pans as the song does. */
QUAVIX_API int quavix_set_stereo_separation(quavix_song *song, int percent);
/* A QUAVIX_AMIGA_CLOCK_*: the pitch of pattern-format songs. */
QUAVIX_API int quavix_set_amiga_clock(quavix_song *song, int clock);
/* Master volume, 0 to 256; 128 is the default. */
QUAVIX_API int quavix_set_master_volume(quavix_song *song, int volume);

/* ---- What the song is ----
 * Texts are never NULL for an open song: an empty text where there is none. */

QUAVIX_API const char *quavix_title(const quavix_song *song);
/* "xm", "mod", "s3m" or "it". */
QUAVIX_API const char *quavix_format(const quavix_song *song);
/* The tracker that wrote the file, where the file names one. */
QUAVIX_API const char *quavix_tracker(const quavix_song *song);
/* The song's message, its lines ended by '\n'. */
QUAVIX_API const char *quavix_message(const quavix_song *song);
QUAVIX_API int quavix_channel_count(const quavix_song *song);
/* Orders in the song's order list. */
QUAVIX_API int quavix_order_count(const quavix_song *song);
/* Instruments, numbered from 0 here (the tracker's instrument 1 is index 0),
 * up to the last one the file holds. NULL for an index out of range. */
QUAVIX_API int quavix_instrument_count(const quavix_song *song);
QUAVIX_API const char *quavix_instrument_name(const quavix_song *song, int index);
/* Samples, every sample of every instrument in turn. */
QUAVIX_API int quavix_sample_count(const quavix_song *song);
QUAVIX_API const char *quavix_sample_name(const quavix_song *song, int index);
/* How long the song plays from its start until it first comes back to a
 * row it played, in seconds and in frames at the song's rate; -1 when it
 * does not end within 30 minutes. Measured once, when first asked. */
QUAVIX_API double quavix_duration(quavix_song *song);
QUAVIX_API int64_t quavix_duration_frames(quavix_song *song);
/* Subsongs: tunes that share the order list, each starting at the first
 * order no tune before it reached (game songs keep several). There is at
 * least one, the song from its start. Play one with quavix_seek_order to its
 * first order. -1 for an index out of range. */
QUAVIX_API int quavix_subsong_count(quavix_song *song);
QUAVIX_API int quavix_subsong_first_order(quavix_song *song, int index);
QUAVIX_API double quavix_subsong_duration(quavix_song *song, int index);

/* ---- Position and seeking ---- */

/* Where the next frame rendered lies: its order position and row (-1 before
 * the first row), and its song time in seconds (frames / rate). */
QUAVIX_API int quavix_position_order(const quavix_song *song);
QUAVIX_API int quavix_position_row(const quavix_song *song);
QUAVIX_API double quavix_position_seconds(const quavix_song *song);
QUAVIX_API int64_t quavix_position_frames(const quavix_song *song);
/* Plays on from row 0 of order position order; the song time becomes the
 * time the song first reaches that order playing from its start. The song
 * then ends where it comes back to a row it played since, or to an order
 * before this one. */
QUAVIX_API int quavix_seek_order(quavix_song *song, int order);
/* Plays on from the song time seconds (0 up to the song's duration), exact
 * to the frame: playback jumps to the start of the order playing at that
 * time (as quavix_seek_order does), then renders and drops the frames up to
 * the exact frame. The position reads that time afterwards. What sounds
 * there is what plays after a jump to that order, which can differ from
 * playing through from the start (a tempo or volume the earlier orders set
 * stays as it was before the seek). */
QUAVIX_API int quavix_seek_seconds(quavix_song *song, double seconds);
/* The same with the time in frames at the song's rate. */
QUAVIX_API int quavix_seek_frames(quavix_song *song, int64_t frame);

/* ---- Channels ---- channels count from 0. */

/* A muted channel goes on playing its effects (tempo, jumps, global volume)
 * but adds nothing to the output. */
QUAVIX_API int quavix_set_channel_muted(quavix_song *song, int channel, int muted);
QUAVIX_API int quavix_channel_muted(const quavix_song *song, int channel);
/* Level meters: with on set, the mixer notes the largest output of each
 * channel's voices; quavix_channel_level returns it since the last call for
 * that channel, 0 to 32768 (16-bit sample units), and starts over. Off by
 * default: it costs a little. */
QUAVIX_API int quavix_set_level_meters(quavix_song *song, int on);
QUAVIX_API int quavix_channel_level(quavix_song *song, int channel);

#ifdef __cplusplus
}
#endif

#endif
