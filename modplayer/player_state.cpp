// SPDX-License-Identifier: MIT
// What the tick and the interface share: the playing module, the song, channel and voice records, and how the two take turns with them.
#include "player_internal.h"

#include <thread>

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
}

std::atomic<int> qv_playing{0};
std::atomic<int> qv_paused{0};

Engine::Engine(QVMOD *&module, SONG_STATE &song, CHANNEL_STATE *channels, const int &master_volume,
               VoiceOutput &voices, bool shared)
    : of(module),
      mi(song),
      ci(channels),
      mod_volume(master_volume),
      voices_(voices),
      shared_(shared)
{
}

Engine &shared_engine()
{
    static Engine engine(of, mi, ci, mod_volume, allegro_voices(), true);
    return engine;
}

void Engine::set_song_playing(int playing)
{
    mi.playing = playing;
    if (shared_) qv_playing.store(playing);
}

void Engine::set_song_paused(int paused)
{
    mi.paused = paused;
    if (shared_) qv_paused.store(paused);
}

// ------------------------------------------------------------------ exclusion

namespace {

// The tick only touches lock-free atomics: it must never block in the timer's context.
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the tick needs lock-free atomics");

std::atomic<int> g_hold{0};           // interface holders; a tick does nothing while > 0
std::atomic<bool> g_in_tick{false};   // a tick is running
thread_local bool t_in_tick = false;  // this thread is running the tick

}  // namespace

extern "C" void hold_mod_player(void)
{
    if (t_in_tick) return;
    g_hold.fetch_add(1);
    while (g_in_tick.load()) std::this_thread::yield();
}

extern "C" void release_mod_player(void)
{
    if (t_in_tick) return;
    g_hold.fetch_sub(1);
}

bool begin_tick(void)
{
    if (t_in_tick) return false;
    if (g_in_tick.exchange(true)) return false;  // another thread is ticking
    if (g_hold.load() != 0) {
        g_in_tick.store(false);
        return false;
    }
    t_in_tick = true;
    return true;
}

void end_tick(void)
{
    t_in_tick = false;
    g_in_tick.store(false);
}
