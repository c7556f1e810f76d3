// SPDX-License-Identifier: MIT
// The gamepad: its buttons and dead zone as quorvex.cfg keeps them, and its presses with repeat.
#include "Pad.h"

#include <allegro.h>

#include <cstdlib>
#include <initializer_list>

PadSettings pad_settings;

namespace {

constexpr int TICK_MS = 10;  // the game timer's period
constexpr int QUEUE_SIZE = 16;

PadPresses presses;
PadPress queue[QUEUE_SIZE];
int queued = 0;
bool pad_installed = false;

unsigned Ticks(int ms)
{
    return static_cast<unsigned>((ms + TICK_MS - 1) / TICK_MS);
}

// The stick that moves: the first stick, or the pad's last two-axis stick (the d-pad on pads
// that report it as a stick of its own), whichever is pushed.
void ReadDirection(const JOYSTICK_INFO &pad, PadState &state)
{
    const int last = pad.num_sticks - 1;
    for (int s : {0, last}) {
        if (s < 0 || pad.stick[s].num_axis < 2) continue;
        const int x = pad.stick[s].axis[0].pos, y = pad.stick[s].axis[1].pos;
        if (DirectionOf(x, y, pad_settings.dead_zone) != PadDirection::None || s == last) {
            state.x = x;
            state.y = y;
            return;
        }
    }
}

}  // namespace

PadDirection DirectionOf(int x, int y, int dead_zone)
{
    const int edge = PAD_AXIS_MAX * dead_zone / 100;
    if (std::abs(x) >= std::abs(y)) {
        if (x > edge) return PadDirection::Right;
        if (x < -edge) return PadDirection::Left;
        return PadDirection::None;
    }
    if (y > edge) return PadDirection::Down;
    if (y < -edge) return PadDirection::Up;
    return PadDirection::None;
}

int PadPresses::Update(const PadState &state, unsigned now, PadPress *out, int max)
{
    int n = 0;
    const PadDirection d = DirectionOf(state.x, state.y, pad_settings.dead_zone);
    bool press = false;
    if (d != held_) {
        held_ = d;
        press = d != PadDirection::None;
        next_repeat_ = now + Ticks(pad_settings.repeat_delay);
    } else if (d != PadDirection::None && static_cast<int>(now - next_repeat_) >= 0) {
        press = true;
        next_repeat_ = now + Ticks(pad_settings.repeat_interval);
    }
    if (press && n < max) out[n++] = {d, 0};
    for (int b = 0; b < PAD_BUTTON_MAX; b++) {
        if (state.buttons[b] && !buttons_[b] && n < max) out[n++] = {PadDirection::None, b + 1};
        buttons_[b] = state.buttons[b];
    }
    return n;
}

void InstallPad()
{
    pad_installed = install_joystick(JOY_TYPE_AUTODETECT) == 0 && num_joysticks > 0;
}

void PollPad(unsigned tick)
{
    if (!pad_installed || poll_joystick() != 0) return;
    const JOYSTICK_INFO &pad = joy[0];
    PadState state;
    ReadDirection(pad, state);
    for (int b = 0; b < pad.num_buttons && b < PAD_BUTTON_MAX; b++)
        state.buttons[b] = pad.button[b].b != 0;
    PadPress made[PAD_BUTTON_MAX + 1];
    const int n = presses.Update(state, tick, made, PAD_BUTTON_MAX + 1);
    for (int i = 0; i < n && queued < QUEUE_SIZE; i++) queue[queued++] = made[i];
}

bool TakePadPress(PadPress &press)
{
    if (queued == 0) return false;
    press = queue[0];
    for (int i = 1; i < queued; i++) queue[i - 1] = queue[i];
    queued--;
    return true;
}

bool PadPressQueued()
{
    return queued > 0;
}

void ClearPadPresses()
{
    queued = 0;
}

bool PadButtonHeld(int button)
{
    if (!pad_installed || button < 1 || button > PAD_BUTTON_MAX) return false;
    return button <= joy[0].num_buttons && joy[0].button[button - 1].b != 0;
}
