// SPDX-License-Identifier: MIT
// The engine's private header (not installed): what the interface, the tick, the row flow and the
// effect handlers share.
#ifndef QVMOD_PLAYER_INTERNAL_H
#define QVMOD_PLAYER_INTERNAL_H

#include "module_record.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// ------------------------------------------------------------------ constants

constexpr int kTimerUnitsPerMinute = 71590860;  // 60 x Allegro's 1193181 timer units per second
constexpr int kMinBpm = 32;                     // lowest tempo the tempo commands can set
constexpr int kMaxBpm = 255;                    // highest tempo the tempo commands can set
constexpr int kMinRatio = 1;                    // speed and pitch ratios, percent
constexpr int kMaxRatio = 400;
constexpr int kFullFade = 32768;  // fade_volume at a note start
constexpr int kMaxModVolume = 255;
constexpr int kMinOutputPeriod = 4;  // the output pass never sends a shorter period
constexpr int kMaxPeriod = 1 << 24;  // beyond any audible period; keeps endless slides finite
constexpr int kSlideUnit = 4;
// The highest rate a voice is handed: Allegro's mixer keeps a voice's rate in 20.12 fixed point,
// and from 2^19 Hz on it would turn negative.
constexpr int kMaxVoiceFrequency = (1 << 19) - 1;  // period units per slide parameter step
// Right shifts of a wave point times its depth: the smaller the shift, the deeper the effect.
constexpr int kVibratoShift = 5;
constexpr int kFineVibratoShift = 7;
constexpr int kTremoloShift = 6;
constexpr int kS3mTremoloShift = 7;

// ------------------------------------------------------------------ tables

constexpr int kLintabSize = 768;
constexpr int kLogtabSize = 104;
extern const int lintab[kLintabSize];
extern const unsigned short logtab[kLogtabSize];
extern const int vib_table[32];

// ------------------------------------------------------------------ shared state (player_state.cpp)

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

// The tick's side of the exclusion: true when this thread may run a tick now (no other tick runs
// and nobody holds the player); end_tick closes what a true begin_tick opened.
bool begin_tick(void);
void end_tick(void);

// Lock-free copies of the shared engine's mi.playing and mi.paused for the queries.
extern std::atomic<int> qv_playing;
extern std::atomic<int> qv_paused;

// ------------------------------------------------------------------ timing (tick_timer.cpp)

void update_mod_timer(void);  // (re)installs the timer at the current tempo
void remove_mod_timer(void);  // takes the timer away; waits for a callback in progress

// ------------------------------------------------------------------ song flow
// The rules that move a song from row to row, on a song state and channel loops given to them:
// the tick engine passes mi and ci, the song-length walk its own copies.

// The timer period of a tick at a tempo and speed ratio, in Allegro timer units; both are held
// to their ranges, so the period is always at least 1.
int mod_timer_period(int bpm, int speed_ratio);

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
    PatternDelay,  // an idle tick of a pattern delay: nothing else happens
    SameRow,       // a later tick of the row
    NewRow,        // tick 0 of a row: the row is read
    LoopBack,      // tick 0 of a row a pattern loop jumped back to
    End,           // the song has run past its last order position
};

// The position part of a tick: the tick count, pattern delay, the row advance with pending jumps
// and the pattern loops of channels[0 .. loop_channels - 1]; an order change clears the loops of
// channels[0 .. clear_channels - 1].
SongStep advance_song_position(SONG_STATE &s, const QVMOD &m, CHANNEL_STATE *channels,
                               int loop_channels, int clear_channels);

// ------------------------------------------------------------------ ping-pong store (pingpong_store.cpp)

// One module's forward-looping copies of its ping-pong samples: the frames up to the loop end,
// then the loop's inner frames backwards, looped as a whole. play_mod makes them on the caller's
// thread the first time the module plays (later changes to its samples are not copied again);
// they stay with the module until destroy_mod. The tick only reads them, so a restart costs no
// allocation.
class PingPongCopies {
public:
    PingPongCopies() = default;
    PingPongCopies(const PingPongCopies &) = delete;
    PingPongCopies &operator=(const PingPongCopies &) = delete;
    ~PingPongCopies();

    // A copy that cannot be made leaves that sample to play as a forward loop over its own frames.
    void make(const QVMOD *m);

    std::vector<SAMPLE> copies;  // by sample number; data null where there is no copy
};

// play_mod and destroy_mod hold the store across their whole work, so a module's copies are
// never freed between being found and being handed to the tick.
std::unique_lock<std::mutex> lock_pingpong_store();
// The module's copies, made the first time it plays; null when memory ran out (its ping-pong
// samples then loop forwards). Store locked.
const PingPongCopies *pingpong_copies_for(const QVMOD *m);
// Removes the module's copies from the store and hands them over (null if it never played). Store locked.
std::unique_ptr<PingPongCopies> take_pingpong_copies(const QVMOD *m);
// The copies of the playing module, which the tick reads; set only while the player is held.
void set_playing_copies(const PingPongCopies *copies);
const PingPongCopies *playing_copies();

// The forward-looping copy that plays sample `number` of the playing module when that sample has
// a ping-pong loop, or null. Allegro's mixer drifts out of a ping-pong loop it crosses more than
// once per mixing buffer and then reads outside the sample, so the player never asks it for one.
const SAMPLE *pingpong_copy(int number);

// ------------------------------------------------------------------ voices

// Where the tick engine sends each channel's sound: Allegro's voices (the game and live play) or
// the library's own mixer (rendering). The engine decides the same rates, volumes, pans and sample
// positions for either; only what a voice does with them differs.
class VoiceOutput {
public:
    VoiceOutput() = default;
    VoiceOutput(const VoiceOutput &) = delete;
    VoiceOutput &operator=(const VoiceOutput &) = delete;
    virtual ~VoiceOutput() = default;

    virtual bool has_voice(int ch) const = 0;
    // A note start: the channel's voice takes sample `number` of `m` (looped as its record says)
    // from its first frame, silent until start().
    virtual void assign(int ch, const QVMOD &m, int number) = 0;
    virtual void set_position(int ch, int frame) = 0;
    virtual void set_frequency(int ch, int hz) = 0;   // the rate the engine means
    virtual void set_volume(int ch, int volume) = 0;  // 0..255
    virtual void set_pan(int ch, int pan) = 0;        // 0 left .. 255 right
    virtual void start(int ch) = 0;
    virtual void stop(int ch) = 0;
    virtual bool sounding(int ch) const = 0;
};

// The voices of the player interface: the Allegro voices in voice_table (allegro_voices.cpp).
VoiceOutput &allegro_voices();

// ------------------------------------------------------------------ the tick engine

// One song's tick engine on a module, song and channel records and voices of its own choosing.
// The player interface runs the shared engine on the globals of, mi, ci and Allegro's voices; each
// render state runs its own on records it owns, so engines on different threads share nothing.
class Engine {
public:
    // `shared`: the interface's engine, which also keeps the lock-free playing and paused flags
    // and the playing module's ping-pong copies up to date.
    Engine(QVMOD *&module, SONG_STATE &song, CHANNEL_STATE *channels, const int &master_volume,
           VoiceOutput &voices, bool shared);
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    // --- songs (song_control.cpp): the interface calls these while it holds the player, the tick
    // from inside a tick.

    // From the song state on, as play_mod starts a module with its ping-pong copies already made;
    // the caller then sets the timer to the song's tempo.
    void start_song(QVMOD *module, int loop, const PingPongCopies *copies);
    // play_mod for the tick: starts the playing module again from its first order position, with
    // the ping-pong copies it already has, so that a restart allocates and frees nothing.
    void restart_mod(int loop);
    void stop_song(void);
    void pause_song(void);
    void resume_song(void);
    // Asks the tick to continue at row 0 of order position `order` (0 restarts the song).
    void request_track(int order);
    void set_song_playing(int playing);
    void set_song_paused(int paused);
    // What the engine keeps beside the records (random wave, instrument vibrato, pause marks) as
    // a new engine has it.
    void reset_private_state();

    // --- one tick (player.cpp)

    // One tick of the playing song. True when the tick changed the tempo or restarted the song:
    // a timer needs the new period. last_step tells what the tick did with the song's position
    // (PatternDelay when it read no row: idle, paused, or carrying out a track request).
    bool run_mod_tick(void);
    SongStep last_step = SongStep::SameRow;

    // The frequency the output pass last meant for a channel's voice.
    int wanted_voice_frequency(int ch) const;

    int calc_volume(int ch) const;
    int calc_pan(int ch) const;

    // Pitch conversions under the playing song's flags (player2.cpp).
    int note2period(int note, int c2spd) const;
    int period2pitch(int period) const;
    int find_lower_period(int period, int semitones) const;

    QVMOD *&of;
    SONG_STATE &mi;
    CHANNEL_STATE *const ci;
    const int &mod_volume;  // the master volume 0..255

    struct Wave;  // the fields vibrato and tremolo each keep in a channel

private:
    bool note_module() const { return (mi.flags & QVMOD_FLAG_NOTES) != 0; }
    int playing_channels() const;
    void silence_voices();
    void stop_voices();
    int porta_target(int ch, const NOTE_INFO *n) const;
    bool first_row_pass();
    void extended_command(int ch, int param);
    void row_command(int ch, const NOTE_INFO *n, int s);
    void second_row_pass();
    void first_effect_pass();
    void second_effect_pass();
    int auto_vibrato_step(int ch, bool started);
    void output_pass();

    void parse_old_note(int ch, int note, int s);
    void parse_new_note(int ch, int note, int s);
    // Note modules: key off and fade cleared, the envelopes of the channel's instrument restarted.
    void restart_instrument(int ch);
    // Note modules: volume and pan from the sample instrument s plays for the channel's note.
    void reset_volume_and_pan(int ch, int s);
    int get_qvmod_sample_no(int instrument, int note) const;

    // ProTracker effects. parse_*: set-up on the row's first tick; do_*: per-tick step.
    int wave_point(int waveform, int pos);  // not const: the random wave draws
    int wave_step(int base, const Wave &w);
    int arpeggio_period(const CHANNEL_STATE &c, int semitones) const;
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

    // S3M effects (player3.cpp).
    void parse_set_global_volume(int param);  // first row pass
    void parse_s3m_volslide(int ch, int param);
    void do_s3m_volslide(int ch);
    void s3m_porta(int ch, int param, int sign);
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

    // XM effects (player4.cpp).
    void parse_xm_porta_up(int ch, int param);
    void do_xm_porta_up(int ch);
    void parse_xm_porta_down(int ch, int param);
    void do_xm_porta_down(int ch);
    void parse_xm_volslide(int ch, int param);
    void do_xm_volslide(int ch);
    void parse_xm_panslide(int ch, int param);
    void do_pan_slide(int ch);
    void parse_global_volslide(int ch, int param);  // first row pass
    void do_global_volslide(int ch);
    void parse_key_off(int ch);
    void parse_set_envelope_pos(int ch, int param);
    void parse_xm_extra_fine_porta(int ch, int param);

    // The instrument vibrato of note modules: where each channel is along its wave, and how deep.
    struct AutoVibrato {
        int pos;
        int depth;
    };

    VoiceOutput &voices_;
    const bool shared_;
    unsigned random_state_ = 1;  // the random vibrato and tremolo wave's own generator
    bool paused_voice_[QVMOD_MAX_CHANNELS] = {};  // voices that were sounding when the pause began
    int wanted_frequency_[QVMOD_MAX_CHANNELS] = {};
    AutoVibrato auto_vibrato_[QVMOD_MAX_CHANNELS] = {};
    // Channels a tremor left silent; in note modules they stay so until their volume is set again.
    bool tremor_silent_[QVMOD_MAX_CHANNELS] = {};
};

// The engine behind the player interface and its timer (player_state.cpp).
Engine &shared_engine();

// What the tests read of the shared engine.
inline bool run_mod_tick(void)
{
    return shared_engine().run_mod_tick();
}
inline int wanted_voice_frequency(int ch)
{
    return shared_engine().wanted_voice_frequency(ch);
}
inline int calc_volume(int ch)
{
    return shared_engine().calc_volume(ch);
}
inline int calc_pan(int ch)
{
    return shared_engine().calc_pan(ch);
}

// ------------------------------------------------------------------ envelopes (player4.cpp)

void start_envelope(ENVELOPE_STATE *env, const int *values, const int *positions, int flags,
                    int points, int loop_start, int loop_end, int sustain_start, int sustain_end);
void process_envelope(ENVELOPE_STATE *env, int default_value, int key_off);

#endif
