// The options screen: sound and music switches and volumes, starting level and blocks.
#include <cstdio>
#include <initializer_list>

#include "Display.h"
#include "OptionSettings.h"
#include "Quorvex.h"

namespace {

constexpr int FOOTER_X = 150, FOOTER_Y = 468;

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
    textout_ex(screen, font, FOOTER_LINE, FOOTER_X, FOOTER_Y, COL_TEXT, -1);
}

}  // namespace

void Options()
{
    FadeOut(10);

    BITMAP *face = DataBitmap(PIC_BUTTON);
    BITMAP *down = DataBitmap(PIC_DECREASE);
    BITMAP *up = DataBitmap(PIC_INCREASE);
    constexpr int C1 = COL_TEXT, C2 = COL_BUTTON_LIGHT;
    Button exit("E x i t", 215, 400, 425, 430, C1, C2, face);
    Button sound(SoundToggleLabel(), 80, 100, 290, 130, C1, C2, face);
    Button music(MusicToggleLabel(), 350, 100, 560, 130, C1, C2, face);
    Button sound_down(nullptr, 80, 200, 110, 230, C1, C2, down);
    Button sound_up(nullptr, 260, 200, 290, 230, C1, C2, up);
    Button music_down(nullptr, 350, 200, 380, 230, C1, C2, down);
    Button music_up(nullptr, 530, 200, 560, 230, C1, C2, up);
    Button level_down(nullptr, 80, 350, 110, 380, C1, C2, down);
    Button level_up(nullptr, 260, 350, 290, 380, C1, C2, up);
    Button blocks_down(nullptr, 350, 350, 380, 380, C1, C2, down);
    Button blocks_up(nullptr, 530, 350, 560, 380, C1, C2, up);
    // Displays: drawn like buttons, never polled.
    Button sound_value(nullptr, 111, 200, 259, 230, C1, C2, face);
    Button music_value(nullptr, 381, 200, 529, 230, C1, C2, face);
    Button level_value(nullptr, 111, 350, 259, 380, C1, C2, face);
    Button blocks_value(nullptr, 381, 350, 529, 380, C1, C2, face);
    SetToggleLabel(sound, SoundToggleLabel());
    SetToggleLabel(music, MusicToggleLabel());
    SetValueLabel(sound_value, sound_volume);
    SetValueLabel(music_value, music_volume);
    SetValueLabel(level_value, start_level);
    SetValueLabel(blocks_value, start_blocks);

    Button *controls[OPTION_CONTROL_COUNT] = {};
    controls[OPT_EXIT] = &exit;
    controls[OPT_SOUND_TOGGLE] = &sound;
    controls[OPT_MUSIC_TOGGLE] = &music;
    controls[OPT_SOUND_VOLUME_UP] = &sound_up;
    controls[OPT_SOUND_VOLUME_DOWN] = &sound_down;
    controls[OPT_MUSIC_VOLUME_UP] = &music_up;
    controls[OPT_MUSIC_VOLUME_DOWN] = &music_down;
    controls[OPT_LEVEL_UP] = &level_up;
    controls[OPT_LEVEL_DOWN] = &level_down;
    controls[OPT_BLOCKS_UP] = &blocks_up;
    controls[OPT_BLOCKS_DOWN] = &blocks_down;
    Button *values[] = {&sound_value, &music_value, &level_value, &blocks_value};

    PaintOptionsScreen();
    show_mouse(screen);
    for (Button *b : {&exit, &sound, &music, &sound_down, &sound_up, &music_down, &music_up,
                      &level_down, &level_up, &blocks_down, &blocks_up, &music_value, &sound_value,
                      &level_value, &blocks_value}) {
        b->DrawButton();
    }
    show_mouse(nullptr);
    FadeIn(DataPalette(PAL_GAME), 5);
    show_mouse(screen);

    for (;;) {
        if (QuitRequested()) return;
        OptionEffect effect;
        bool clicked = false;
        for (OptionControl c : OPTION_POLL_ORDER) {
            if (controls[c]->Clicked()) {
                effect = ApplyOption(c);
                clicked = true;
                break;
            }
        }
        if (!clicked) {
            Yield(1);
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
            Button &display = *values[effect.value];
            SetValueLabel(display, OptionValueOf(effect.value));
            display.DrawButton();
        }
        if (effect.set_volume) ApplyVolumes();
    }

    FadeOut(10);
    StopSong();
}
