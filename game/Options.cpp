// SPDX-License-Identifier: MIT
// The options screen: sound and music switches and volumes, starting level and blocks.
#include <cstdio>
#include <initializer_list>

#include "Button.h"
#include "Display.h"
#include "Events.h"
#include "Focus.h"
#include "GameData.h"
#include "OptionSettings.h"
#include "Pacing.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"
#include "Sound.h"

namespace {

constexpr int C1 = COL_TEXT, C2 = COL_BUTTON_LIGHT;

// One row of a value: the down arrow, the value between (drawn like a button, never polled) and
// the up arrow, 30 pixels high from its top-left corner.
struct Stepper {
    Stepper(int x, int y, BITMAP *down_face, BITMAP *face, BITMAP *up_face)
        : down(nullptr, x, y, x + 30, y + 30, C1, C2, down_face),
          value(nullptr, x + 31, y, x + 179, y + 30, C1, C2, face),
          up(nullptr, x + 180, y, x + 210, y + 30, C1, C2, up_face)
    {
    }
    void Draw()
    {
        down.DrawButton();
        up.DrawButton();
        value.DrawButton();
    }
    Button down, value, up;
};

void SetValueLabel(Button &b, int value)
{
    std::snprintf(text, sizeof text, "%d", value);
    b.ChangeName(text);
}

void SetToggleLabel(Button &b, const char *label)
{
    std::snprintf(text, sizeof text, "%s", label);
    b.ChangeName(text);
}

void PaintOptionsScreen()
{
    show_mouse(nullptr);
    clear_bitmap(screen);
    DrawScreenBackground(PAT_SCREENS, COL_BORDER);
    FONT *title = DataFont(FONT_TITLE);
    FONT *body = DataFont(FONT_TEXT);
    textout_centre_ex(screen, title, "O P T I O N S", GAME_W / 2, 20, COL_HEADING, -1);
    textout_centre_ex(screen, body, "Sound Volume", 190, 160, COL_TEXT, -1);
    textout_centre_ex(screen, body, "Music Volume", 455, 160, COL_TEXT, -1);
    textout_centre_ex(screen, title, "STAGE OPTIONS", GAME_W / 2, 280, COL_HEADING, -1);
    textout_centre_ex(screen, body, "Starting Level", 185, 320, COL_TEXT, -1);
    textout_centre_ex(screen, body, "Starting Blocks", 450, 320, COL_TEXT, -1);
    DrawFooter();
}

}  // namespace

void Options()
{
    FadeOut(10);

    BITMAP *face = DataBitmap(PIC_BUTTON);
    BITMAP *down = DataBitmap(PIC_DECREASE);
    BITMAP *up = DataBitmap(PIC_INCREASE);
    Button exit("E x i t", 215, 400, 425, 430, C1, C2, face);
    Button sound(SoundToggleLabel(), 80, 100, 290, 130, C1, C2, face);
    Button music(MusicToggleLabel(), 350, 100, 560, 130, C1, C2, face);
    Stepper sound_volume_row(80, 200, down, face, up);
    Stepper music_volume_row(350, 200, down, face, up);
    Stepper level_row(80, 350, down, face, up);
    Stepper blocks_row(350, 350, down, face, up);
    SetToggleLabel(sound, SoundToggleLabel());
    SetToggleLabel(music, MusicToggleLabel());
    // Indexed by the value an option step changes.
    Stepper *rows[] = {&sound_volume_row, &music_volume_row, &level_row, &blocks_row};
    for (OptionValue v : {VALUE_SOUND_VOLUME, VALUE_MUSIC_VOLUME, VALUE_LEVEL, VALUE_BLOCKS}) {
        SetValueLabel(rows[v]->value, OptionValueOf(v));
    }

    Button *controls[OPTION_CONTROL_COUNT] = {};
    controls[OPT_EXIT] = &exit;
    controls[OPT_SOUND_TOGGLE] = &sound;
    controls[OPT_MUSIC_TOGGLE] = &music;
    controls[OPT_SOUND_VOLUME_UP] = &sound_volume_row.up;
    controls[OPT_SOUND_VOLUME_DOWN] = &sound_volume_row.down;
    controls[OPT_MUSIC_VOLUME_UP] = &music_volume_row.up;
    controls[OPT_MUSIC_VOLUME_DOWN] = &music_volume_row.down;
    controls[OPT_LEVEL_UP] = &level_row.up;
    controls[OPT_LEVEL_DOWN] = &level_row.down;
    controls[OPT_BLOCKS_UP] = &blocks_row.up;
    controls[OPT_BLOCKS_DOWN] = &blocks_row.down;

    // The Controls screen's button stands beside the exit, under the right-hand column.
    Button keys("Controls", 435, 400, 560, 430, C1, C2, face);
    FocusRing focus;
    focus.Add(&sound, 0, 0);
    focus.Add(&music, 0, 1);
    for (int i = 0; i < 4; i++)
        focus.AddValue(&rows[i]->down, &rows[i]->value, &rows[i]->up, 1 + i / 2, i % 2);
    focus.Add(&exit, 3, 0);
    focus.Add(&keys, 3, 1);

    const auto paint = [&] {
        PaintOptionsScreen();
        show_mouse(screen);
        for (Button *b : {&exit, &sound, &music}) b->DrawButton();
        for (Stepper *row : rows) row->Draw();
        keys.DrawButton();
        show_mouse(nullptr);
        focus.Repainted();
        FadeIn(DataPalette(PAL_GAME), 5);
        show_mouse(screen);
    };
    paint();

    for (;;) {
        if (QuitRequested()) return;
        Button *hit = nullptr;
        for (OptionControl c : OPTION_POLL_ORDER) {
            if (controls[c]->Clicked()) {
                hit = controls[c];
                focus.FollowClick(hit);
                break;
            }
        }
        if (hit == nullptr && keys.Clicked()) {
            hit = &keys;
            focus.FollowClick(hit);
        }
        if (hit == nullptr) hit = focus.Handle();
        if (hit == &keys) {
            // It fades out as it ends; an Esc that ended it is no fresh press here.
            ControlsScreen();
            LatchEscape();
            ClearPresses();
            if (QuitRequested()) return;
            paint();
            continue;
        }
        OptionEffect effect;
        bool clicked = false;
        for (OptionControl c : OPTION_POLL_ORDER) {
            if (controls[c] == hit) {
                effect = ApplyOption(c);
                clicked = true;
                break;
            }
        }
        if (!clicked) {
            // Esc leaves as the exit button does, as on every other screen.
            if (EscapeDown()) break;
            WaitForTick();
            continue;
        }
        if (effect.leave) break;
        if (effect.stop_music) {
            StopSong();
            StopMusic();
        }
        if (effect.toggle_changed) {
            SetToggleLabel(sound, SoundToggleLabel());
            SetToggleLabel(music, MusicToggleLabel());
            sound.DrawButton();
            music.DrawButton();
        }
        if (effect.value != VALUE_NONE) {
            Button &display = rows[effect.value]->value;
            SetValueLabel(display, OptionValueOf(effect.value));
            display.DrawButton();
        }
        if (effect.set_volume) ApplyVolumes();
    }

    FadeOut(10);
    StopSong();
}
