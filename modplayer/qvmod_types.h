// SPDX-License-Identifier: MIT
/* QVMOD records and limits: a tracker module in memory, its command codes, and the module information record. */
#ifndef QVMOD_TYPES_H
#define QVMOD_TYPES_H

#include <allegro.h>

/* ------------------------------------------------------------------ limits */

#define QVMOD_MAX_CHANNELS 64    /* channel_pan, ci, voice_table */
#define QVMOD_MAX_ORDERS 256     /* order_table */
#define QVMOD_NOTES_PER_INSTR 96 /* sample_number */
#define QVMOD_MAX_ENV_POINTS 12  /* envelope points per envelope */
#define QVMOD_ERROR_SIZE 80      /* qvmod_error, terminator included */

/* Module flags (QVMOD.flags, SONG_STATE.flags). */
#define QVMOD_FLAG_NOTES 1  /* note module: cells name instruments and note numbers */
#define QVMOD_FLAG_AMIGA 2  /* note module pitches from the Amiga period table */
#define QVMOD_FLAG_LINEAR 4 /* note module pitches from the linear table */

/* Sample loop types (SAMPLE_INFO.loop_type). */
#define QVMOD_LOOP_FORWARD 1
#define QVMOD_LOOP_BIDIR 2

/* Envelope flags (INSTRUMENT_INFO.*_env_flags, ENVELOPE_STATE.flags). */
#define QVMOD_ENV_ON 1
#define QVMOD_ENV_SUSTAIN 2
#define QVMOD_ENV_LOOP 4

/* Special cell notes. */
#define QVMOD_NOTE_CUT (-1)
#define QVMOD_NOTE_KEY_OFF (-2)

/* --------------------------------------------------------- command codes */

#define CMD_ARPEGGIO 0
#define CMD_PRO_PORTA_UP 1
#define CMD_PRO_PORTA_DOWN 2
#define CMD_TONE_PORTA 3
#define CMD_VIBRATO 4
#define CMD_TONE_PORTA_VOLSLIDE 5
#define CMD_VIBRATO_VOLSLIDE 6
#define CMD_TREMOLO 7
#define CMD_SET_PAN 8
#define CMD_SAMPLE_OFFSET 9
#define CMD_PRO_VOLSLIDE 10
#define CMD_POSITION_JUMP 11
#define CMD_SET_VOLUME 12
#define CMD_PATTERN_BREAK 13
#define CMD_EXTENDED 14
#define CMD_PRO_SPEED_BPM 15
#define CMD_S3M_SPEED 16
#define CMD_S3M_VOLSLIDE 17
#define CMD_S3M_PORTA_DOWN 18
#define CMD_S3M_PORTA_UP 19
#define CMD_TREMOR 20
#define CMD_S3M_ARPEGGIO 21
#define CMD_S3M_VIBRATO_VOLSLIDE 22
#define CMD_S3M_TONE_PORTA_VOLSLIDE 23
#define CMD_RETRIG_VOLSLIDE 24
#define CMD_S3M_TREMOLO 25
#define CMD_S3M_BPM 26
#define CMD_FINE_VIBRATO 27
#define CMD_SET_GLOBAL_VOLUME 28
#define CMD_S3M_SET_PAN 29
#define CMD_XM_PORTA_UP 30
#define CMD_XM_PORTA_DOWN 31
#define CMD_XM_TONE_PORTA_VOLSLIDE 32
#define CMD_XM_VIBRATO_VOLSLIDE 33
#define CMD_XM_VOLSLIDE 34
#define CMD_GLOBAL_VOLSLIDE 35
#define CMD_KEY_OFF 36
#define CMD_SET_ENVELOPE_POS 37
#define CMD_XM_PANSLIDE 38
#define CMD_XM_EXTRA_FINE_PORTA 39
#define CMD_COUNT 40

/* Extended sub-commands (CMD_EXTENDED: sub = extcommand >> 4, argument = extcommand & 15). */
#define EXT_FINE_PORTA_UP 0x1
#define EXT_FINE_PORTA_DOWN 0x2
#define EXT_GLISSANDO 0x3
#define EXT_VIBRATO_WAVEFORM 0x4
#define EXT_SET_FINETUNE 0x5
#define EXT_PATTERN_LOOP 0x6
#define EXT_TREMOLO_WAVEFORM 0x7
#define EXT_SET_PAN 0x8
#define EXT_RETRIGGER 0x9
#define EXT_FINE_VOLUME_UP 0xA
#define EXT_FINE_VOLUME_DOWN 0xB
#define EXT_NOTE_CUT 0xC
#define EXT_NOTE_DELAY 0xD
#define EXT_PATTERN_DELAY 0xE
#define EXT_STEREO_CONTROL 0x10
#define EXT_XM_FINE_PORTA_UP 0x11
#define EXT_XM_FINE_PORTA_DOWN 0x12
#define EXT_XM_FINE_VOLUME_UP 0x13
#define EXT_XM_FINE_VOLUME_DOWN 0x14
#define EXT_COUNT 0x15

/* -------------------------------------------------------------- the module */

typedef struct SAMPLE_INFO {
    int length;     /* informational, loader units */
    int c2spd;      /* period module: Hz of the reference note; note module: finetune + 128 */
    int transpose;  /* note module: relative note in semitones */
    int volume;     /* 0..64 */
    int pan;        /* 0..255 */
    int loop_start; /* informational */
    int loop_end;   /* informational */
    int loop_type;  /* QVMOD_LOOP_* bits */
    int vibrato_type;
    int vibrato_sweep;
    int vibrato_depth;
    int vibrato_rate;
} SAMPLE_INFO;

typedef struct NOTE_INFO {
    int sample;     /* 1-based sample (period module) or instrument (note module); 0 = none */
    int note;       /* pitch value or note number; 0 none, -1 cut, -2 key off */
    int volume;     /* volume column; 0..15 empty */
    int command;    /* CMD_* */
    int extcommand; /* parameter 0..255, 0x100..0x14F for the extended translations */
} NOTE_INFO;

typedef struct PATTERN_INFO {
    NOTE_INFO *notes; /* row_count * channel_count cells, row by row */
    int row_count;
} PATTERN_INFO;

typedef struct INSTRUMENT_INFO {
    int sample_number[QVMOD_NOTES_PER_INSTR];
    int volume_env_value[QVMOD_MAX_ENV_POINTS];
    int volume_env_pos[QVMOD_MAX_ENV_POINTS];
    int volume_env_points;
    int volume_env_flags;
    int volume_env_sustain_start;
    int volume_env_sustain_end;
    int volume_env_loop_start;
    int volume_env_loop_end;
    int pan_env_value[QVMOD_MAX_ENV_POINTS];
    int pan_env_pos[QVMOD_MAX_ENV_POINTS];
    int pan_env_points;
    int pan_env_flags;
    int pan_env_sustain_start;
    int pan_env_sustain_end;
    int pan_env_loop_start;
    int pan_env_loop_end;
    int volume_fadeout;
} INSTRUMENT_INFO;

typedef struct QVMOD {
    char name[29];
    SAMPLE_INFO *sample_info;
    PATTERN_INFO *pattern_info;
    INSTRUMENT_INFO *instrument_info;
    SAMPLE *samples;
    int order_count;
    int pattern_count;
    int order_table[QVMOD_MAX_ORDERS];
    int channel_pan[QVMOD_MAX_CHANNELS];
    int flags;
    int initial_speed;
    int initial_bpm;
    int restart_order;
    int channel_count;
    int instrument_count;
    int sample_count;
    int initial_global_volume;
} QVMOD;

/* Module information, filled by get_mod_info and the per-format info functions. */
typedef struct QVMOD_INFO {
    int type;
    char type_name[20];
    char name[29]; /* title bytes as stored; not terminated by the library */
} QVMOD_INFO;

#define QVMOD_TYPE_MOD15 1
#define QVMOD_TYPE_MOD31 2
#define QVMOD_TYPE_S3M 3
#define QVMOD_TYPE_XM 4
#define QVMOD_TYPE_IT 5
#define QVMOD_TYPE_QVM 6
#define QVMOD_TYPE_UMX_S3M 7
#define QVMOD_TYPE_UMX_XM 8
#define QVMOD_TYPE_UMX_IT 9

#endif
