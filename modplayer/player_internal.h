// QVMOD internals shared by the player, the effect handlers and the loaders (not installed).
#ifndef QVMOD_PLAYER_INTERNAL_H
#define QVMOD_PLAYER_INTERNAL_H

#include "qvmod.h"

#include <atomic>

// ------------------------------------------------------------------ constants

constexpr int kTimerUnitsPerMinute = 71590860;   // 60 x Allegro's 1193181 timer units per second
constexpr int kMinBpm = 32;                      // lowest tempo the tempo commands can set
constexpr int kMaxBpm = 255;                     // highest tempo the tempo commands can set
constexpr int kMinRatio = 1;                     // speed and pitch ratios, percent
constexpr int kMaxRatio = 400;
constexpr int kFullFade = 32768;                 // fade_volume at a note start
constexpr int kMaxVolume = 64;
constexpr int kMaxPan = 255;
constexpr int kMaxGlobalVolume = 64;
constexpr int kMaxModVolume = 255;
constexpr int kEnvVolumeDefault = 64;            // envelope output while an envelope is off
constexpr int kEnvPanDefault = 32;
constexpr int kMinOutputPeriod = 4;              // the output pass never sends a shorter period
constexpr int kMaxPeriod = 1 << 24;              // beyond any audible period; keeps endless slides finite
constexpr int kDefaultC2spd = 8363;              // untuned period-module sample rate
constexpr int kTremoloShift = 6;
constexpr int kVibratoShift = 5;
constexpr int kFakeSampleFreq = 1000;
constexpr int kSamplePriority = 192;
constexpr int kTrue = -1;                        // the player's truth value
constexpr int kFalse = 0;

// ------------------------------------------------------------------ tables

constexpr int kLintabSize = 768;
constexpr int kLogtabSize = 104;
constexpr int kNoteGridSize = 12;
extern const int lintab[kLintabSize];
extern const unsigned short logtab[kLogtabSize];
extern const int noteperiod[kNoteGridSize];
extern const int mod_finetune[16];
extern const int vib_table[32];

// ------------------------------------------------------------------ errors

// Formats into qvmod_error, cut to fit.
void qvmod_set_error(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// ------------------------------------------------------------------ exclusion

// Exclusion between the tick and the interface: a tick never waits, it skips its work while the
// player is held; holding waits for a tick already running to finish. Calls made from inside the
// tick (a looping song's restart, tempo commands) are already exclusive and do not hold.
class PlayerHold {
public:
    PlayerHold() { hold_mod_player(); }
    ~PlayerHold() { release_mod_player(); }
    PlayerHold(const PlayerHold &) = delete;
    PlayerHold &operator=(const PlayerHold &) = delete;
};

// Lock-free copies of mi.playing and mi.paused for the queries.
extern std::atomic<int> qv_playing;
extern std::atomic<int> qv_paused;
void set_song_playing(int playing);
void set_song_paused(int paused);

// ------------------------------------------------------------------ timing

int mod_timer_period(int bpm, int speed_ratio);  // clamped, always >= 1
void update_mod_timer(void);                     // (re)installs the timer at the current tempo
void set_mod_bpm(int bpm);                       // clamps, stores in mi.bpm, updates the timer

// ------------------------------------------------------------------ song flow
// The rules that move a song from row to row, on a song state and channel loops given to them:
// the tick engine passes mi and ci, the song-length walk its own copies.

// Position jump, pattern break, speed and tempo, pattern loop and pattern delay of one cell, in
// the first row pass. True when the cell set the tempo (the engine then re-installs its timer).
bool parse_flow_command(SONG_STATE &s, const QVMOD &m, CHANNEL_STATE &c, const NOTE_INFO &n);
void parse_position_jump(SONG_STATE &s, const QVMOD &m, int param);
void parse_pattern_break(SONG_STATE &s, const QVMOD &m, int param);
bool parse_pro_speed_bpm(SONG_STATE &s, int param);
void parse_s3m_speed(SONG_STATE &s, int param);
bool parse_s3m_bpm(SONG_STATE &s, int param);
void parse_pattern_loop(const SONG_STATE &s, CHANNEL_STATE &c, int x);

// A row target beyond the pattern (a break or request past its end) plays its last row.
void keep_row_in_pattern(SONG_STATE &s, const QVMOD &m);

enum class SongStep {
    PatternDelay,   // an idle tick of a pattern delay: nothing else happens
    SameRow,        // a later tick of the row
    NewRow,         // tick 0 of a row: the row is read
    LoopBack,       // tick 0 of a row a pattern loop jumped back to
    End,            // the song has run past its last order position
};

// The position part of a tick: the tick count, pattern delay, the row advance with pending jumps
// and the pattern loops of channels[0 .. loop_channels - 1]; an order change clears the loops of
// channels[0 .. clear_channels - 1].
SongStep advance_song_position(SONG_STATE &s, const QVMOD &m, CHANNEL_STATE *channels, int loop_channels,
                               int clear_channels);

// ------------------------------------------------------------------ tick engine

// play_mod for the tick: starts the playing module again from its first order position, with
// the ping-pong copies it already has, so that a restart allocates and frees nothing.
void restart_mod(int loop);

// The forward-looping copy that plays sample `number` of the playing module when that sample has
// a ping-pong loop, or null. Allegro's mixer drifts out of a ping-pong loop it crosses more than
// once per mixing buffer and then reads outside the sample, so the player never asks it for one.
const SAMPLE *pingpong_copy(int number);

int calc_volume(int ch);
int calc_pan(int ch);
void parse_old_note(int ch, int note, int s);
void parse_new_note(int ch, int note, int s);
int get_qvmod_sample_no(int instrument, int note);

// ------------------------------------------------------------------ ProTracker effects
// parse_*: set-up on the row's first tick; do_*: per-tick step. ch is a playing channel.

void parse_arpeggio(int ch, int param);
void do_arpeggio(int ch);
void parse_pro_porta_up(int ch, int param);
void parse_pro_porta_down(int ch, int param);
void parse_slide2period(int ch, int speed, int target);
void do_slide2period(int ch);
void parse_vibrato(int ch, int param, int shift);
void do_vibrato(int ch);
void parse_tremolo(int ch, int param, int shift);
void do_tremolo(int ch);
void parse_pro_volslide(int ch, int param);
void do_note_delay(int ch);

// Extended sub-commands (x = argument 0..15); 0x6 and 0xE act in the first row pass.
void parse_ext_fine_porta_up(int ch, int x);
void parse_ext_fine_porta_down(int ch, int x);
void parse_ext_glissando(int ch, int x);
void parse_ext_vibrato_waveform(int ch, int x);
void parse_ext_set_finetune(int ch, int x);
void parse_ext_tremolo_waveform(int ch, int x);
void parse_ext_set_pan(int ch, int x);
void parse_ext_retrigger(int ch, int x);
void parse_ext_fine_volume_up(int ch, int x);
void parse_ext_fine_volume_down(int ch, int x);
void parse_ext_note_cut(int ch, int x);
void parse_ext_note_delay(int ch, int x);
void parse_ext_stereo_control(int ch, int x);
void parse_ext_xm_fine_porta_up(int ch, int x);
void parse_ext_xm_fine_porta_down(int ch, int x);
void parse_ext_xm_fine_volume_up(int ch, int x);
void parse_ext_xm_fine_volume_down(int ch, int x);

// ------------------------------------------------------------------ S3M effects

void parse_set_global_volume(int param);         // first row pass
void parse_s3m_volslide(int ch, int param);
void do_s3m_volslide(int ch);
void parse_s3m_porta_down(int ch, int param);
void parse_s3m_porta_up(int ch, int param);
void do_s3m_porta(int ch);
void parse_tremor(int ch, int param);
void do_tremor(int ch);
void parse_s3m_arpeggio(int ch, int param);
void parse_retrig_volslide(int ch, int param);
void do_retrig_volslide(int ch);
void parse_s3m_set_pan(int ch, int param);
void parse_volume_command(int ch, int volume, int note);
void parse_note_command(int ch, int note);

// ------------------------------------------------------------------ XM effects and envelopes

void parse_xm_porta_up(int ch, int param);
void do_xm_porta_up(int ch);
void parse_xm_porta_down(int ch, int param);
void do_xm_porta_down(int ch);
void parse_xm_volslide(int ch, int param);
void do_xm_volslide(int ch);
void parse_xm_panslide(int ch, int param);
void do_pan_slide(int ch);
void parse_global_volslide(int ch, int param);   // first row pass
void do_global_volslide(int ch);
void parse_key_off(int ch);
void parse_set_envelope_pos(int ch, int param);
void parse_xm_extra_fine_porta(int ch, int param);
void start_envelope(ENVELOPE_STATE *env, const int *values, const int *positions, int flags, int points,
                    int loop_start, int loop_end, int sustain_start, int sustain_end);
void process_envelope(ENVELOPE_STATE *env, int default_value, int key_off);

// ------------------------------------------------------------------ memory-locking hooks
// Nothing to lock on the supported platforms; kept so install_mod reads as on others.

void lock_qvmod_player(void);
void lock_qvmod_player2(void);
void lock_qvmod_player3(void);
void lock_qvmod_player4(void);
void lock_qvmod_mod(void);

#endif
