// SPDX-License-Identifier: MIT
/* QVMOD public interface: playing tracker modules on Allegro voices, loading them, and everything the library names. */
#ifndef QVMOD_H
#define QVMOD_H

#include "qvmod_formats.h"
#include "qvmod_render.h"
#include "qvmod_state.h"
#include "qvmod_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- settings */

extern int mod_volume;                     /* master volume 0..255 */
extern int enable_lasttrk_loop;            /* -1: a position jump on the last order is obeyed */
extern int enable_m15;                     /* -1: unsigned files are tried as 15-sample MODs */
extern char qvmod_error[QVMOD_ERROR_SIZE]; /* text of the last error */

/* -------------------------------------------------------- player interface */

int install_mod(int voices); /* 1, or -1 on failure */
void remove_mod(void);
void play_mod(QVMOD *module, int loop);
void stop_mod(void);
void destroy_mod(QVMOD *module);
void pause_mod(void);
void resume_mod(void);
void toggle_pause_mode(void);
int is_mod_playing(void); /* -1 true, 0 false */
int is_mod_paused(void);
void set_mod_volume(int volume); /* 0..255 */
int get_mod_volume(void);
void set_mod_speed(int percent); /* 1..400 */
void set_mod_pitch(int percent); /* 1..400 */
/* Stereo separation of the voices, 0 (mono) .. 100 (as the module pans, the default), and
 * channels (0-based) kept silent; both from the next tick on. */
void set_mod_stereo(int percent);
void set_mod_channel_mute(int channel, int muted);
void next_mod_track(void);
void prev_mod_track(void);
void goto_mod_track(int position);
SAMPLE *get_qvmod_sample(QVMOD *module, int number);
void lock_mod(QVMOD *module);

/* How long a module's song plays, in milliseconds, at its own tempo: to its end or to its first
 * return to an order position and row already played (rows a pattern loop repeats are not a
 * return). get_mod_length_loops then goes on through `loops` more passes of the part that
 * repeats, as a looping play_mod plays them (a song that ends restarts at its restart_order).
 * Both walk the song with the tick engine's rules without touching the player, its song or
 * its voices, and cut a pass off after an hour; -1 with qvmod_error set for a null or empty
 * module. */
int get_mod_length(QVMOD *module);
int get_mod_length_loops(QVMOD *module, int loops);

/* The cell of (pattern, row, channel); checks nothing. */
NOTE_INFO *get_note(QVMOD *module, int pattern, int row, int channel);

/* --------------------------------------------------------- driving ticks
 * mod_interrupt advances the playing song by one tick. Normally the player's Allegro
 * timer calls it. A host that renders or inspects modules drives it itself instead:
 *
 *     set_mod_manual_ticks(-1);      // before play_mod: the player installs no timer
 *     play_mod(module, loop);
 *     for (;;) { mod_interrupt(); ... mix get_mod_timer_period() / 1193181 s of audio ... }
 *
 * In manual mode play_mod, set_mod_speed and the tempo commands only recompute the
 * period that get_mod_timer_period() reports. A tick that starts while another is
 * running, or while the player is held, does nothing. */
void mod_interrupt(void);
void set_mod_manual_ticks(int on); /* non-zero: the host calls mod_interrupt */
int get_mod_manual_ticks(void);
int get_mod_timer_period(void); /* tick period now, in Allegro timer units */

/* Keep ticks off the player state: waits for a running tick to end; ticks arriving
 * meanwhile do nothing. Calls nest; each hold needs one release. */
void hold_mod_player(void);
void release_mod_player(void);

/* ----------------------------------------------------------- pitch helpers */

int note2period(int note, int c2spd);
int period2pitch(int period);
int interpolate(int pos, int pos_a, int pos_b, int value_a, int value_b);
int find_lower_period(int period, int semitones);

/* ------------------------------------------------------- loading modules */

QVMOD *load_mod(const char *filename);
int get_mod_info(const char *filename, QVMOD_INFO *info);

#ifdef __cplusplus
}
#endif

#endif
