// SPDX-License-Identifier: MIT
// The gamepad: its buttons and dead zone as quorvex.cfg keeps them, and its presses with repeat.
#ifndef QUORVEX_PAD_H
#define QUORVEX_PAD_H

constexpr int PAD_BUTTON_MAX = 32;  // buttons a pad may have; higher numbers are never down
constexpr int PAD_AXIS_MAX = 128;   // the library's stick positions run -128..128
constexpr int DEAD_ZONE_MAX = 90;   // % of a stick's travel
constexpr int REPEAT_DELAY_MIN = 100, REPEAT_DELAY_MAX = 2000;       // ms
constexpr int REPEAT_INTERVAL_MIN = 10, REPEAT_INTERVAL_MAX = 1000;  // ms

// Buttons are numbered from 1, as pads print them. One button may serve several roles: turn and
// select are both button 1 by default (select presses a focused button on the menus).
struct PadSettings {
    int turn = 1;
    int drop = 2;
    int leave = 7;   // Back / Select on common pads: Esc
    int pause = 8;   // Start: pauses and continues
    int select = 1;  // presses the focused button; finishes the name entry and the game-over wait
    int dead_zone = 25;  // % of a stick's travel that counts as centred
    // A held direction repeats as a held arrow key does with the X server's default keyboard
    // repeat: the first repeat after 660 ms, then one every 40 ms.
    int repeat_delay = 660;
    int repeat_interval = 40;
};
extern PadSettings pad_settings;

enum class PadDirection { None, Left, Right, Up, Down };

// One press of the pad: a direction (when it is first pushed, then on each repeat) or a button
// going down (button 1..PAD_BUTTON_MAX; 0 for a direction).
struct PadPress {
    PadDirection direction;
    int button;
};

// What the pad shows at one moment: the direction stick's position and the buttons held.
struct PadState {
    int x = 0, y = 0;  // -128..128; negative is left and up
    bool buttons[PAD_BUTTON_MAX] = {};
};

// The direction a stick position points to: its longer axis (horizontal when equal), when that
// goes strictly past `dead_zone` % of the travel; None inside the dead zone.
PadDirection DirectionOf(int x, int y, int dead_zone);

// Turns the states seen tick by tick into presses, with the settings' dead zone and repeat.
class PadPresses {
public:
    // The state seen at tick `now`; writes at most `max` presses to `out` and returns their count.
    int Update(const PadState &state, unsigned now, PadPress *out, int max);

private:
    PadDirection held_ = PadDirection::None;
    unsigned next_repeat_ = 0;  // tick of the held direction's next repeat
    bool buttons_[PAD_BUTTON_MAX] = {};
};

// Starts the library's joystick support; without a pad, or when it fails, the pad does nothing.
void InstallPad();
// Reads the first pad and queues its presses, at `tick` of the game timer (which times a held
// direction's repeat); called once a tick by the screen loops.
void PollPad(unsigned tick);
// The oldest queued press; false when there is none.
bool TakePadPress(PadPress &press);
bool PadPressQueued();
void ClearPadPresses();
// Whether a button (1..PAD_BUTTON_MAX) of the first pad is held; false for 0 and without a pad.
bool PadButtonHeld(int button);

#endif
