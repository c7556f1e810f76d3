/* QVMOD public interface: tracker modules in memory, their playback on Allegro voices, and loading. */
#ifndef QVMOD_H
#define QVMOD_H

#include <allegro.h>

#ifdef __cplusplus
extern "C" {
#endif

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

/* The engine's state (player state records and the globals the tick writes) is in qvmod_state.h,
 * included at the end of this header. */

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

/* -------------------------------------------------------------- file input */

PACKFILE *qvmod_fopen(const char *filename, const char *mode);
void qvmod_fclose(PACKFILE *f);
int qvmod_skip(PACKFILE *f, int count);
void qvmod_fseek(PACKFILE **f, const char *filename, int offset);
int qvmod_fread(void *buffer, int count, PACKFILE *f);
void *qvmod_calloc(size_t size);
int qvmod_getc(PACKFILE *f);
int qvmod_igetw(PACKFILE *f);
int qvmod_mgetw(PACKFILE *f);
int qvmod_igetl(PACKFILE *f);
int qvmod_mgetl(PACKFILE *f);
int qvmod_putc(int c, PACKFILE *f);
int qvmod_iputw(int w, PACKFILE *f);
int qvmod_iputl(int l, PACKFILE *f);
int qvmod_fwrite(const void *buffer, int count, PACKFILE *f);

/* ------------------------------------------------------- loading modules */

QVMOD *load_mod(const char *filename);
int get_mod_info(const char *filename, QVMOD_INFO *info);

/* QVM modules and the "QVM " datafile object type. */
#define QVMOD_DAT_ID 0x51564D20 /* DAT_ID('Q','V','M',' ') */
#define QVM_SIGNATURE "QVMOD 01 module : "
#define QVM_SIGNATURE_SIZE 18

QVMOD *load_qvm(PACKFILE *f);
int detect_qvm(const char *filename);
int get_qvm_info(PACKFILE *f, QVMOD_INFO *info);
void register_datafile_qvmod(void);
void *load_qvm_datafile(PACKFILE *f, long size);
void destroy_mod_datafile(void *data);

/* MOD, S3M, XM and IT files: the detectors and readers behind load_mod and get_mod_info.
 * Detectors return 1 on a match; see each for its other answers. Offsets locate a module
 * embedded in an Unreal package (0 for a plain file). */
extern int fast_loading; /* -1: S3M channels from the channel settings; 0: from the patterns */
int detect_it(const char *filename);        /* 1, -1 no match, 0 cannot open */
int detect_xm(const char *filename);        /* 1, -1, 0 */
int detect_s3m(const char *filename);       /* 1, -1, 0 */
int detect_m31(const char *filename);       /* 1, -1 (also when it cannot open) */
int detect_m15(const char *filename);       /* 1, 0 */
int detect_unreal_it(const char *filename); /* start of the module, -1 none, 0 cannot open */
int detect_unreal_xm(const char *filename);
int detect_unreal_s3m(const char *filename); /* signature offset - 44 */
int get_m_info(const char *filename, int samples, QVMOD_INFO *info);
int get_s3m_info(const char *filename, int offset, QVMOD_INFO *info);
int get_xm_info(const char *filename, int offset, QVMOD_INFO *info);
int get_it_info(const char *filename, int offset, QVMOD_INFO *info);
QVMOD *load_m(const char *filename, int samples); /* 15 or 31 samples */
QVMOD *load_s3m(const char *filename, int offset);
QVMOD *load_xm(const char *filename, int offset);
QVMOD *load_it(const char *filename, int offset); /* always refuses */
int get_mod_no_pat(int *order_table, int count);
void convert_s3m_pitch(int *note);
void convert_s3m_command(int *command, int *param);
int S3M_get_num_chn(PACKFILE *f);
int S3M_load_pat(PACKFILE *f, QVMOD *module, NOTE_INFO *cells, int channel_count);
void convert_xm_command(int *command, int *param);
void load_note(QVMOD *module, PACKFILE *f, NOTE_INFO *cell);

#ifdef __cplusplus
}
#endif

#include "qvmod_state.h"

#endif
