// SPDX-License-Identifier: MIT
/* QVMOD engine state that tests and tools inspect: the song and channel records the tick keeps, and its globals. */
#ifndef QVMOD_STATE_H
#define QVMOD_STATE_H

#include "qvmod_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* --------------------------------------------------------- player state */

typedef struct SONG_STATE {
    int voice_count;
    int tick;
    int row;
    int pattern;
    int order_pos;
    int flags;
    int bpm;
    int speed;
    int speed_ratio;
    int pitch_ratio;
    int global_volume;
    int pending_row;
    int pending_order;
    int pattern_delay;
    int request_row;
    int request_order;
    int loop;
    int paused;
    int busy;
    int playing;
} SONG_STATE;

typedef struct ENVELOPE_STATE {
    int value_pt[QVMOD_MAX_ENV_POINTS];
    int pos[QVMOD_MAX_ENV_POINTS];
    int flags;
    int points;
    int loop_start;
    int loop_end;
    int sustain_start;
    int sustain_end;
    int index_a;
    int index_b;
    int tick;
    int value;
} ENVELOPE_STATE;

typedef struct CHANNEL_STATE {
    ENVELOPE_STATE volume_env;
    ENVELOPE_STATE pan_env;
    int instrument;
    int sample;
    int volume;
    int note;
    int period;
    int c2spd;
    int transpose;
    int pan;
    int kick;
    int key_off;
    int fade_volume;
    int fadeout;
    int temp_volume;
    int temp_period;
    int temp_pan;
    int pan_slide;
    int pan_slide_memory;
    int vol_pan_left_memory;
    int vol_pan_right_memory;
    int pro_porta_on;
    int pro_porta_amount;
    int fine_porta_memory;
    int s3m_porta_on;
    int s3m_porta_amount;
    int s3m_porta_fine_amount;
    int xm_porta_up_on;
    int xm_porta_up_amount;
    int xm_porta_down_on;
    int xm_porta_down_amount;
    int xm_fine_down_memory;
    int xm_fine_up_memory;
    int xm_extra_fine_up_memory;
    int xm_extra_fine_down_memory;
    int volume_slide;
    int s3m_volslide_on;
    int s3m_volslide_fine;
    int s3m_volslide_amount;
    int xm_volslide_on;
    int xm_volslide_amount;
    int xm_fine_vol_up_memory;
    int xm_fine_vol_down_memory;
    int loop_on;
    int loop_count;
    int loop_row;
    int tremolo_on;
    int tremolo_waveform;
    int tremolo_pos;
    int tremolo_speed;
    int tremolo_depth;
    int tremolo_shift;
    int vibrato_on;
    int vibrato_waveform;
    int vibrato_pos;
    int vibrato_speed;
    int vibrato_depth;
    int vibrato_shift;
    int porta_on;
    int porta_speed;
    int porta_target;
    int arpeggio_on;
    int arpeggio_param;
    int tremor_on;
    int tremor_count;
    int tremor_param;
    int note_delay;
    int note_cut;
    int glissando;
    int retrig_interval;
    int retrig_on;
    int retrig_ticks;
    int retrig_volume_mode;
    int set_position;
    int sample_offset;
    int global_volslide_on;
    int global_volslide_amount;
} CHANNEL_STATE;

/* ---------------------------------------------------------------- globals
 * of, mi and ci are written by the tick on the timer thread. Read them from another
 * thread only between hold_mod_player() and release_mod_player(), or in manual tick mode. */

extern QVMOD *of; /* the module now playing; NULL = none */
extern SONG_STATE mi;
extern CHANNEL_STATE ci[QVMOD_MAX_CHANNELS];
extern int voice_table[QVMOD_MAX_CHANNELS]; /* Allegro voice of each channel; -1 = none */
extern SAMPLE *fake_sample;                 /* empty sample that keeps the voices reserved */
extern int mod_init;                        /* -1 once install_mod has succeeded */

#ifdef __cplusplus
}
#endif

#endif
