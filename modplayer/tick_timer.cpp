// SPDX-License-Identifier: MIT
// The tick's clock: the timer entry that runs each tick, the timer at the tempo's period, and manual ticks.
#include "player_internal.h"

namespace {

bool g_manual_ticks = false;  // the host calls mod_interrupt itself
bool g_timer_installed = false;

}  // namespace

extern "C" void mod_interrupt(void)
{
    if (!begin_tick()) return;
    const bool retime = run_mod_tick();
    // Still inside the tick, so nothing else runs the player meanwhile.
    if (retime) update_mod_timer();
    end_tick();
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
