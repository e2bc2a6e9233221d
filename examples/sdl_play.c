/* sdl_play SONG: plays a module file through SDL 1.2's audio callback with
 * libquavix, until the song ends. Build it with
 *   cc -std=c99 sdl_play.c $(pkg-config --cflags --libs quavix sdl) -o sdl_play */
#include <SDL/SDL.h>
#include <quavix/quavix.h>
#include <stdio.h>
#include <string.h>

/* Set on SDL's audio thread, read under SDL's audio lock. */
static int Ended = 0;

/* On SDL's audio thread: the song is used there alone while it plays. */
static void Fill(void *user, Uint8 *stream, int length) {
    quavix_song *song = (quavix_song *)user;
    const size_t frames = (size_t)length / 4;
    const size_t got = quavix_render_s16(song, (int16_t *)stream, frames);
    if (got < frames) {
        memset(stream + got * 4, 0, (frames - got) * 4);
        Ended = 1;
    }
}

int main(int argc, char **argv) {
    quavix_error error;
    quavix_song *song;
    SDL_AudioSpec want;
    if (argc != 2) {
        fprintf(stderr, "usage: %s SONG\n", argv[0]);
        return 2;
    }
    song = quavix_open_file(argv[1], 44100, &error);
    if (!song) {
        fprintf(stderr, "%s: %s\n", argv[1], error.text);
        return 1;
    }
    printf("%s: %s, %d channels, %.1f s\n", argv[1], quavix_title(song), quavix_channel_count(song),
           quavix_duration(song));
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        fprintf(stderr, "SDL: %s\n", SDL_GetError());
        quavix_close(song);
        return 1;
    }
    memset(&want, 0, sizeof(want));
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 2048;
    want.callback = Fill;
    want.userdata = song;
    /* NULL for the obtained format: SDL converts to what the device takes. */
    if (SDL_OpenAudio(&want, NULL) != 0) {
        fprintf(stderr, "SDL audio: %s\n", SDL_GetError());
        SDL_Quit();
        quavix_close(song);
        return 1;
    }
    SDL_PauseAudio(0);
    for (;;) {
        int ended;
        SDL_Delay(100);
        SDL_LockAudio();
        ended = Ended;
        SDL_UnlockAudio();
        if (ended) break;
    }
    SDL_CloseAudio();
    SDL_Quit();
    quavix_close(song);
    return 0;
}
