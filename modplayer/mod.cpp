// Player interface: voices, start/stop/pause, volume/tempo/pitch, track skips, module lifetime and the datafile object.
#include "player_internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

extern "C" {
QVMOD *of = nullptr;
SONG_STATE mi;
CHANNEL_STATE ci[QVMOD_MAX_CHANNELS];
int voice_table[QVMOD_MAX_CHANNELS] = {
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
SAMPLE *fake_sample = nullptr;
int mod_init = 0;
int mod_volume = kMaxModVolume;
int enable_lasttrk_loop = kTrue;
int enable_m15 = kFalse;
char qvmod_error[QVMOD_ERROR_SIZE];
}

std::atomic<int> qv_playing{0};
std::atomic<int> qv_paused{0};

namespace {

bool g_atexit_registered = false;
bool g_paused_voice[QVMOD_MAX_CHANNELS];  // voices that were sounding when the pause began

void stop_song()
{
    if (!of) return;
    mi.busy = kTrue;
    set_song_playing(kFalse);
    mi.order_pos = 0;
    for (int i = 0; i < mi.voice_count; i++) {
        if (voice_table[i] < 0) continue;
        voice_stop(voice_table[i]);
        voice_set_volume(voice_table[i], 0);
    }
    of = nullptr;
    set_playing_copies(nullptr);
    std::fill(std::begin(g_paused_voice), std::end(g_paused_voice), false);
    mi.busy = kFalse;
}

void pause_song()
{
    mi.busy = kTrue;
    // Remember the sounding voices once: a second pause would find them all stopped.
    if (mi.paused != kTrue) {
        for (int i = 0; i < QVMOD_MAX_CHANNELS; i++)
            g_paused_voice[i] = i < mi.voice_count && voice_table[i] >= 0 &&
                                voice_get_position(voice_table[i]) >= 0;
    }
    set_song_paused(kTrue);
    for (int i = 0; i < mi.voice_count; i++)
        if (voice_table[i] >= 0) voice_stop(voice_table[i]);
    mi.busy = kFalse;
}

void resume_song()
{
    mi.busy = kTrue;
    const bool was_paused = mi.paused == kTrue;
    set_song_paused(kFalse);
    for (int i = 0; i < mi.voice_count; i++) {
        if (voice_table[i] >= 0 && was_paused && g_paused_voice[i]) voice_start(voice_table[i]);
        g_paused_voice[i] = false;
    }
    mi.busy = kFalse;
}

void request_track(int order)
{
    mi.request_row = 1;
    mi.request_order = order + 1;
    mi.busy = kFalse;
}

// Allegro's voice_stop is one unlocked store: the mixer may still be inside the voice, reading its
// sample. reallocate_voice releases the voice under the mixer's lock, so once it returns no mix
// reads the old data any more. Voices on any of the `count` records from `first` move to the
// empty sample.
void release_voices_on(const SAMPLE *first, size_t count)
{
    if (!first || count == 0 || !fake_sample) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(first);
    const auto end = begin + count * sizeof(SAMPLE);
    for (int v : voice_table) {
        if (v < 0) continue;
        const auto s = reinterpret_cast<std::uintptr_t>(voice_check(v));
        if (s >= begin && s < end) reallocate_voice(v, fake_sample);
    }
}

void free_module(QVMOD *m)
{
    std::free(m->sample_info);
    std::free(m->instrument_info);
    if (m->pattern_info) {
        for (int i = 0; i < m->pattern_count; i++) std::free(m->pattern_info[i].notes);
        std::free(m->pattern_info);
    }
    if (m->samples) {
        for (int i = 0; i < m->sample_count; i++) std::free(m->samples[i].data);
        std::free(m->samples);
    }
    std::free(m);
}

}  // namespace

void set_song_playing(int playing)
{
    mi.playing = playing;
    qv_playing.store(playing);
}

void set_song_paused(int paused)
{
    mi.paused = paused;
    qv_paused.store(paused);
}

// ------------------------------------------------------------------ errors

void qvmod_set_error(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(qvmod_error, sizeof qvmod_error, format, ap);
    va_end(ap);
}

// ------------------------------------------------------------------ sample memory

extern "C" void lock_mod(QVMOD *module)
{
    if (!module || !module->samples) return;
    for (int i = 0; i < module->sample_count; i++) lock_sample(&module->samples[i]);
}

// ------------------------------------------------------------------ installation

extern "C" int install_mod(int voices)
{
    if (mod_init == kTrue) return 1;
    register_datafile_qvmod();
    if (voices < 1 || voices > QVMOD_MAX_CHANNELS) return -1;

    if (!fake_sample) {
        fake_sample = static_cast<SAMPLE *>(qvmod_calloc(sizeof(SAMPLE)));
        if (!fake_sample) {
            qvmod_set_error("Unable to setup initialization sample");
            return -1;
        }
        fake_sample->bits = 8;
        fake_sample->stereo = 0;
        fake_sample->freq = kFakeSampleFreq;
        fake_sample->priority = kSamplePriority;
        fake_sample->len = 0;
        fake_sample->loop_start = 0;
        fake_sample->loop_end = 0;
        fake_sample->param = -1;
        fake_sample->data = qvmod_calloc(0);
        if (!fake_sample->data) {
            qvmod_set_error("QVMOD : Not enough memory to setup initialization sample");
            std::free(fake_sample);
            fake_sample = nullptr;
            return -1;
        }
    }

    PlayerHold hold;
    bool failed = false;
    for (int i = 0; i < voices; i++) {
        voice_table[i] = allocate_voice(fake_sample);
        if (voice_table[i] < 0) {
            failed = true;
            continue;
        }
        ci[i].volume = 0;
        voice_set_volume(voice_table[i], 0);
        voice_start(voice_table[i]);
    }
    if (failed) {
        for (int i = 0; i < voices; i++) {
            if (voice_table[i] >= 0) deallocate_voice(voice_table[i]);
            voice_table[i] = -1;
        }
        qvmod_set_error("QVMOD : Unable to allocate enough voices");
        return -1;
    }

    mi.voice_count = voices;
    set_song_playing(kFalse);
    mi.speed_ratio = 100;
    mi.pitch_ratio = 100;
    mod_init = kTrue;
    if (!g_atexit_registered) {
        std::atexit(remove_mod);
        g_atexit_registered = true;
    }
    return 1;
}

extern "C" void remove_mod(void)
{
    {
        PlayerHold hold;
        stop_song();
    }
    // Outside the hold: removing the timer waits for a callback in progress.
    remove_mod_timer();
    PlayerHold hold;
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) {
        if (voice_table[i] >= 0) deallocate_voice(voice_table[i]);
        voice_table[i] = -1;
    }
    mi.voice_count = 0;
    mod_init = kFalse;
}

// ------------------------------------------------------------------ playing

namespace {

// play_mod from its song state on, with the module's copies already made.
void start_song(QVMOD *module, int loop, const PingPongCopies *copies)
{
    mi.flags = module->flags;
    const bool note_module = (module->flags & QVMOD_FLAG_NOTES) != 0;
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) {
        CHANNEL_STATE &c = ci[i];
        const int temp_pan = c.temp_pan;
        const int extra_up = c.xm_extra_fine_up_memory;
        const int extra_down = c.xm_extra_fine_down_memory;
        c = CHANNEL_STATE{};
        c.temp_pan = temp_pan;
        c.xm_extra_fine_up_memory = extra_up;
        c.xm_extra_fine_down_memory = extra_down;
        c.fade_volume = kFullFade;
        c.tremolo_shift = kTremoloShift;
        c.vibrato_shift = kVibratoShift;
        c.volume_env.value = kEnvVolumeDefault;
        c.pan_env.value = kEnvPanDefault;
        c.c2spd = note_module ? 0 : kDefaultC2spd;
        if (i < mi.voice_count) c.pan = module->channel_pan[i];
    }
    mi.tick = -1;
    mi.row = 0;
    mi.order_pos = 0;
    mi.pattern = module->order_table[0];
    mi.bpm = std::clamp(module->initial_bpm, kMinBpm, kMaxBpm);
    mi.speed = std::max(0, module->initial_speed);
    mi.global_volume = std::clamp(module->initial_global_volume, 0, kMaxGlobalVolume);
    mi.pending_row = mi.pending_order = mi.pattern_delay = 0;
    set_song_paused(kFalse);
    std::fill(std::begin(g_paused_voice), std::end(g_paused_voice), false);
    mi.busy = kFalse;
    set_song_playing(kTrue);
    mi.loop = loop ? kTrue : kFalse;
    set_playing_copies(copies);
    of = module;
    update_mod_timer();
}

}  // namespace

extern "C" void play_mod(QVMOD *module, int loop)
{
    if (!module) {
        qvmod_set_error("Can't play a QVMOD pointer with null value");
        return;
    }
    const auto store = lock_pingpong_store();
    const PingPongCopies *copies =
        pingpong_copies_for(module);  // before the hold: a song playing keeps its ticks
    PlayerHold hold;
    if (of) stop_song();
    start_song(module, loop, copies);
}

// The tick's restart: play_mod on the same module with the copies it already has.
void restart_mod(int loop)
{
    QVMOD *module = of;
    const PingPongCopies *copies = playing_copies();
    stop_song();
    start_song(module, loop, copies);
}

extern "C" void stop_mod(void)
{
    PlayerHold hold;
    stop_song();
}

extern "C" void destroy_mod(QVMOD *module)
{
    if (!module) return;
    std::unique_ptr<PingPongCopies> copies;
    {
        const auto store = lock_pingpong_store();
        copies = take_pingpong_copies(module);
        PlayerHold hold;
        if (module == of) stop_song();
        // A stopped voice may still be mixing: every voice on the module's data lets go first.
        release_voices_on(module->samples, static_cast<size_t>(std::max(module->sample_count, 0)));
        if (copies) release_voices_on(copies->copies.data(), copies->copies.size());
        if (playing_copies() == copies.get()) set_playing_copies(nullptr);  // a song that ended
    }
    copies.reset();
    free_module(module);
}

extern "C" void pause_mod(void)
{
    PlayerHold hold;
    pause_song();
}

extern "C" void resume_mod(void)
{
    PlayerHold hold;
    resume_song();
}

extern "C" void toggle_pause_mode(void)
{
    PlayerHold hold;
    if (mi.playing == kTrue && mi.paused == kTrue)
        resume_song();
    else
        pause_song();
}

extern "C" int is_mod_playing(void)
{
    return qv_playing.load();
}

extern "C" int is_mod_paused(void)
{
    return qv_playing.load() == kTrue ? qv_paused.load() : kFalse;
}

extern "C" void set_mod_volume(int volume)
{
    PlayerHold hold;
    mod_volume = std::clamp(volume, 0, kMaxModVolume);
    for (int i = 0; i < mi.voice_count; i++)
        if (voice_table[i] >= 0) voice_set_volume(voice_table[i], calc_volume(i));
}

extern "C" int get_mod_volume(void)
{
    return mod_volume;
}

extern "C" void set_mod_speed(int percent)
{
    PlayerHold hold;
    mi.speed_ratio = std::clamp(percent, kMinRatio, kMaxRatio);
    if (of) update_mod_timer();
}

extern "C" void set_mod_pitch(int percent)
{
    PlayerHold hold;
    mi.pitch_ratio = std::clamp(percent, kMinRatio, kMaxRatio);
}

extern "C" void next_mod_track(void)
{
    PlayerHold hold;
    request_track(std::min(mi.order_pos + 1, QVMOD_MAX_ORDERS));
}

extern "C" void prev_mod_track(void)
{
    PlayerHold hold;
    request_track(std::max(mi.order_pos - 1, 0));
}

extern "C" void goto_mod_track(int position)
{
    PlayerHold hold;
    request_track(std::clamp(position, 0, QVMOD_MAX_ORDERS));
}

extern "C" SAMPLE *get_qvmod_sample(QVMOD *module, int number)
{
    if (!module) {
        qvmod_set_error("QVMOD pointer passed in is a NULL value");
        return nullptr;
    }
    if (number < 0 || number >= module->sample_count || !module->samples) {
        qvmod_set_error("Incorrect value of no sample found");
        return nullptr;
    }
    return &module->samples[number];
}

extern "C" NOTE_INFO *get_note(QVMOD *module, int pattern, int row, int channel)
{
    return &module->pattern_info[pattern].notes[row * module->channel_count + channel];
}

// ------------------------------------------------------------------ datafile object

extern "C" void register_datafile_qvmod(void)
{
    static int registered = kFalse;
    if (registered) return;
    register_datafile_object(QVMOD_DAT_ID, load_qvm_datafile, destroy_mod_datafile);
    registered = kTrue;
}

namespace {

// One channel, one order, one empty row and one empty sample: plays nothing, keeps every promise.
QVMOD *silent_module()
{
    auto *m = static_cast<QVMOD *>(qvmod_calloc(sizeof(QVMOD)));
    if (!m) return nullptr;
    m->sample_info = static_cast<SAMPLE_INFO *>(qvmod_calloc(sizeof(SAMPLE_INFO)));
    m->samples = static_cast<SAMPLE *>(qvmod_calloc(sizeof(SAMPLE)));
    m->pattern_info = static_cast<PATTERN_INFO *>(qvmod_calloc(sizeof(PATTERN_INFO)));
    if (m->samples) m->samples[0].data = qvmod_calloc(0);
    if (m->pattern_info)
        m->pattern_info[0].notes = static_cast<NOTE_INFO *>(qvmod_calloc(sizeof(NOTE_INFO)));
    m->sample_count = m->samples ? 1 : 0;
    m->pattern_count = m->pattern_info ? 1 : 0;
    if (!m->sample_info || !m->samples || !m->samples[0].data || !m->pattern_info ||
        !m->pattern_info[0].notes) {
        free_module(m);
        return nullptr;
    }
    m->pattern_info[0].row_count = 1;
    m->samples[0].bits = 8;
    m->samples[0].freq = kFakeSampleFreq;
    m->samples[0].priority = kSamplePriority;
    m->samples[0].param = static_cast<unsigned long>(-1);
    m->order_count = 1;
    m->channel_count = 1;
    m->channel_pan[0] = kMaxPan / 2;
    m->initial_speed = kDefaultSpeed;
    m->initial_bpm = kDefaultBpm;
    m->initial_global_volume = kMaxGlobalVolume;
    return m;
}

}  // namespace

// Allegro 4.4's load_datafile frees its object table twice when an object's loader returns null,
// so a damaged module must not fail the load: it becomes a silent module, and qvmod_error keeps
// the reason the module data was refused.
extern "C" void *load_qvm_datafile(PACKFILE *f, long size)
{
    (void)size;
    if (QVMOD *m = load_qvm(f)) return m;
    char reason[QVMOD_ERROR_SIZE];
    std::memcpy(reason, qvmod_error, sizeof reason);
    QVMOD *silent = silent_module();
    std::memcpy(qvmod_error, reason, sizeof reason);
    return silent;
}

extern "C" void destroy_mod_datafile(void *data)
{
    destroy_mod(static_cast<QVMOD *>(data));
}
