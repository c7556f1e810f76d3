// The tick's clock: exclusion between the tick and the interface, the timer entry, the tempo's timer period and manual ticks.
#include "player_internal.h"

#include <algorithm>
#include <thread>

namespace {

// The tick only touches lock-free atomics: it must never block in the timer's context.
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the tick needs lock-free atomics");

std::atomic<int> g_hold{0};           // interface holders; a tick does nothing while > 0
std::atomic<bool> g_in_tick{false};   // a tick is running
thread_local bool t_in_tick = false;  // this thread is running the tick
bool g_manual_ticks = false;          // the host calls mod_interrupt itself
bool g_timer_installed = false;

}  // namespace

// ------------------------------------------------------------------ exclusion

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

extern "C" void mod_interrupt(void)
{
    if (t_in_tick) return;
    if (g_in_tick.exchange(true)) return;  // another thread is ticking
    if (g_hold.load() == 0) {
        t_in_tick = true;
        run_mod_tick();
        t_in_tick = false;
    }
    g_in_tick.store(false);
}

// ------------------------------------------------------------------ timing

int mod_timer_period(int bpm, int speed_ratio)
{
    bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
    speed_ratio = std::clamp(speed_ratio, kMinRatio, kMaxRatio);
    const int divisor = std::max(1, (speed_ratio * 24 * bpm) / 100);
    return kTimerUnitsPerMinute / divisor;
}

void update_mod_timer(void)
{
    if (g_manual_ticks) return;
    install_int_ex(mod_interrupt, mod_timer_period(mi.bpm, mi.speed_ratio));
    g_timer_installed = true;
}

void remove_mod_timer(void)
{
    if (!g_timer_installed) return;
    remove_int(mod_interrupt);
    g_timer_installed = false;
}

void set_mod_bpm(int bpm)
{
    mi.bpm = std::clamp(bpm, kMinBpm, kMaxBpm);
    update_mod_timer();
}

extern "C" void set_mod_manual_ticks(int on)
{
    PlayerHold hold;
    g_manual_ticks = on != 0;
    if (g_manual_ticks)
        remove_mod_timer();
    else if (of)
        update_mod_timer();
}

extern "C" int get_mod_manual_ticks(void)
{
    return g_manual_ticks ? kTrue : kFalse;
}

extern "C" int get_mod_timer_period(void)
{
    PlayerHold hold;
    return mod_timer_period(mi.bpm, mi.speed_ratio);
}
