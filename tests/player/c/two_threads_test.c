/* Two songs played on two threads at once, with no lock between them (run
 * under ThreadSanitizer, which reports any access they share): each renders
 * the same bytes as the song rendered alone. two_threads_test SONG */
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <quavix/quavix.h>

#include "c_check.h"

enum { Rate = 22050, Frames = Rate * 8, Piece = 997 };

struct Job {
    const unsigned char *data;
    size_t size;
    int mute;       /* a channel to mute, or -1 */
    int16_t *out;   /* Frames stereo frames */
    size_t frames;  /* rendered */
};

static void *Play(void *argument) {
    struct Job *job = (struct Job *)argument;
    quavix_song *song = quavix_open_memory(job->data, job->size, Rate, NULL);
    job->frames = 0;
    if (!song) return NULL;
    if (job->mute >= 0) quavix_set_channel_muted(song, job->mute, 1);
    quavix_set_level_meters(song, 1);
    while (job->frames < Frames) {
        size_t ask = Frames - job->frames < Piece ? Frames - job->frames : Piece;
        size_t got = quavix_render_s16(song, job->out + job->frames * 2, ask);
        job->frames += got;
        (void)quavix_channel_level(song, 0);
        (void)quavix_position_order(song);
        if (got < ask) break;
    }
    quavix_close(song);
    return NULL;
}

int main(int argc, char **argv) {
    struct Job jobs[4];
    pthread_t threads[2];
    size_t size = 0;
    unsigned char *data;
    int i;
    if (argc < 2) {
        fprintf(stderr, "usage: %s SONG\n", argv[0]);
        return 2;
    }
    data = ReadWhole(argv[1], &size);
    if (!data) {
        fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 2;
    }
    for (i = 0; i < 4; ++i) {
        jobs[i].data = data;
        jobs[i].size = size;
        jobs[i].mute = i % 2 == 0 ? -1 : 2;
        jobs[i].out = (int16_t *)calloc((size_t)Frames * 2, sizeof(int16_t));
    }
    /* Alone, one after the other. */
    Play(&jobs[0]);
    Play(&jobs[1]);
    /* Together, from the same data. */
    CHECK(pthread_create(&threads[0], NULL, Play, &jobs[2]) == 0);
    CHECK(pthread_create(&threads[1], NULL, Play, &jobs[3]) == 0);
    CHECK(pthread_join(threads[0], NULL) == 0);
    CHECK(pthread_join(threads[1], NULL) == 0);
    CHECK(jobs[0].frames == Frames && jobs[2].frames == Frames && jobs[3].frames == Frames);
    CHECK(memcmp(jobs[0].out, jobs[2].out, (size_t)Frames * 4) == 0);
    CHECK(memcmp(jobs[1].out, jobs[3].out, (size_t)Frames * 4) == 0);
    CHECK(memcmp(jobs[0].out, jobs[1].out, (size_t)Frames * 4) != 0);
    for (i = 0; i < 4; ++i) free(jobs[i].out);
    free(data);
    if (Failures) fprintf(stderr, "%d checks failed\n", Failures);
    else printf("all checks passed\n");
    return Failures ? 1 : 0;
}
