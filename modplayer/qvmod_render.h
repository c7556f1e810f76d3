// SPDX-License-Identifier: MIT
/* QVMOD rendering: a module played by the library's own mixer into the caller's buffers, with no Allegro sound system, display or timer. */
#ifndef QVMOD_RENDER_H
#define QVMOD_RENDER_H

#include "qvmod_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One module's song, played from its start by a tick engine and mixer of its own. A render state
 * touches nothing outside itself and its module (which it only reads): each thread may run its
 * own render states, on the same module or on others, while the Allegro player plays. One render
 * state is used by one thread at a time. The module must outlive the render states on it; a
 * render state keeps its own copies of the samples' loops from when it was opened. */
typedef struct QVMOD_RENDER QVMOD_RENDER;

#define QVMOD_RENDER_MIN_RATE 8000
#define QVMOD_RENDER_MAX_RATE 192000

/* qvmod_render_open flags. */
#define QVMOD_RENDER_NO_RAMPS \
    1 /* volume jumps, note starts and cuts act at once, clicks included */

/* How a voice reads between a sample's frames. */
#define QVMOD_INTERPOLATION_NEAREST 0
#define QVMOD_INTERPOLATION_LINEAR 1 /* the default */
#define QVMOD_INTERPOLATION_CUBIC 2  /* four-point cubic */
#define QVMOD_INTERPOLATION_SINC 3   /* eight-point windowed sinc */

/* A render state at `rate` Hz (QVMOD_RENDER_MIN_RATE..QVMOD_RENDER_MAX_RATE) on a module loaded
 * by load_mod; NULL for a null module, one without a song, a rate out of range, or no memory. The
 * song ends at its end or at its first return to an order position and row already played, as
 * get_mod_length measures it, unless qvmod_render_set_loops asks for more. */
QVMOD_RENDER *qvmod_render_open(QVMOD *module, int rate, int flags);
void qvmod_render_close(QVMOD_RENDER *render);

/* The next `frames` frames of interleaved left/right sound: 16-bit (held at full scale, never
 * wrapped) or float (1.0 full scale). Returns the frames written, fewer than asked only at the
 * song's end (0 once it has ended), or -1 for a null state or buffer or a negative count. */
int qvmod_render(QVMOD_RENDER *render, short *stereo, int frames);
int qvmod_render_float(QVMOD_RENDER *render, float *stereo, int frames);

/* Settings; each takes effect from the next frame rendered. 0, or -1 for a value out of range. */
int qvmod_render_set_interpolation(QVMOD_RENDER *render, int mode);
int qvmod_render_set_stereo(QVMOD_RENDER *render, int percent); /* separation 0..100 (default) */
int qvmod_render_set_volume(QVMOD_RENDER *render, int volume);  /* master 0..255 (default 255) */
int qvmod_render_set_pitch(QVMOD_RENDER *render, int percent);  /* every note's rate, 1..400 */
/* Channels (0-based) muted, or soloed: while any channel is soloed only soloed channels sound. */
int qvmod_render_mute_channel(QVMOD_RENDER *render, int channel, int muted);
int qvmod_render_solo_channel(QVMOD_RENDER *render, int channel, int solo);
/* After the song's end or first return, play the part that repeats `loops` more times (default
 * 0); -1 plays for ever. */
int qvmod_render_set_loops(QVMOD_RENDER *render, int loops);

/* Where the song is: milliseconds from its start, and the order position and row. */
long qvmod_render_time(const QVMOD_RENDER *render);
void qvmod_render_position(const QVMOD_RENDER *render, int *order, int *row);

/* Seeks play the song from its start up to the time, or to the first row of the order position
 * it first reaches, without writing sound: what follows sounds exactly as it would have. 0, or -1
 * when the song ends first (the state is then at its start again). */
int qvmod_render_seek_time(QVMOD_RENDER *render, long ms);
int qvmod_render_seek_order(QVMOD_RENDER *render, int order);

#ifdef __cplusplus
}
#endif

#endif
