// SPDX-License-Identifier: MIT
// Draws mock-ups of the game's screens from quorvex.dat into PCX files, to judge the art in place.
#include <allegro.h>

#include "GameData.h"
#include "PlayField.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

BITMAP *scr;

BITMAP *B(int i)
{
    return DataBitmap(i);
}
FONT *F(int i)
{
    return DataFont(i);
}

void button(const char *label, int x1, int y1, int x2, int y2, int c1, int c2, int pic,
            bool pressed = false)
{
    if (!*label)
        blit(B(pic), scr, 0, 0, x1, y1, x2 - x1, y2 - y1);
    else
        rectfill(scr, x1, y1, x2, y2, 1);
    int ty = y1 + ((y2 - y1) - text_height(F(FONT_TITLE))) / 2, cx = x1 + (x2 - x1) / 2;
    int a = pressed ? c1 : c2, b = pressed ? c2 : c1;
    DrawFrame(x1, y1, x2, y2, a, b);
    textout_centre_ex(scr, F(FONT_TITLE), label, cx + 1, ty + 1, b, -1);
    textout_centre_ex(scr, F(FONT_TITLE), label, cx, ty, a, -1);
}

void pattern(int item)
{
    drawing_mode(DRAW_MODE_COPY_PATTERN, B(item), 0, 0);
    rectfill(scr, 0, 0, 640, 480, 0);
    solid_mode();
}

void save(const std::string &dir, const char *name)
{
    save_pcx((dir + "/" + name + ".pcx").c_str(), scr, static_cast<RGB *>(data[PAL_GAME].dat));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s quorvex.dat outdir\n", argv[0]);
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(8);
    data = load_datafile(argv[1]);
    if (!data) {
        fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    std::string out = argv[2];
    scr = create_bitmap(640, 480);
    screen = scr;  // the game's own drawing routines draw on the screen

    // Title screen.
    blit(B(PIC_TITLE), scr, 0, 0, 0, 0, 640, 480);
    textout_ex(scr, font, "NEW! Windows only version", 210, 450, 15, -1);
    textout_ex(scr, font, "(c) 2026 The Quorvex Team", 202, 460, 15, -1);
    button("PLAY GAME", 245, 320, 385, 345, 48, 14, PIC_TITLE_BUTTON);
    button("EXIT", 245, 350, 385, 375, 48, 14, PIC_TITLE_BUTTON, true);
    save(out, "title");

    // Main menu.
    pattern(PAT_MENU);
    rect(scr, 0, 0, 639, 479, 142);
    DrawFooter();
    draw_sprite(scr, B(PIC_LOGO), 135, 25);
    rect(scr, 135, 25, 524, 94, 227);
    const char *labels[] = {"Start Game", "Options", "View High Scores", "Credits",
                            "Previous Menu"};
    for (int i = 0; i < 5; i++)
        button(labels[i], 200, 140 + 40 * i, 440, 170 + 40 * i, 15, 25, PIC_BUTTON, i == 2);
    save(out, "menu");

    // Play screen, mid-game.
    pattern(PAT_PLAY);
    Draw_Frame();
    rectfill(scr, 360, 40, 580, 135, 0);
    rectfill(scr, 360, 280, 580, 440, 0);
    rectfill(scr, 480, 185, 580, 225, 0);
    textout_ex(scr, F(FONT_TITLE), "Quorvex", 505, 190, 5, -1);
    textout_ex(scr, F(FONT_TITLE), "Vastrelon", 500, 205, 5, -1);
    const char *keys[][3] = {{"Left & Right Arrows", "[Move piece left & right]", "381"},
                             {"Up Arrow", "[Rotate piece]", "470"},
                             {"Down Arrow", "[Lower piece]", "478"},
                             {"Space Bar", "[Drop piece]", "485"},
                             {"F2", "[New Game]", "501"},
                             {"F3", "[Screenshot]", "485"},
                             {"P", "[Pause Game]", "485"},
                             {"ESC", "[Quit Game]", "493"}};
    for (int i = 0; i < 8; i++) {
        int y = i == 0 ? 282 : 292 + 20 * i;
        textout_ex(scr, font, keys[i][0], 365, y, 86, -1);
        textout_ex(scr, font, keys[i][1], atoi(keys[i][2]), i == 0 ? 292 : y, 54, -1);
        if (i < 7) textout_ex(scr, font, "---------------------------", 365, 302 + 20 * i, 176, -1);
    }
    const char *caps[] = {"Score:", "Stage:", "Lines:", "Pieces:"};
    int values[] = {123450, 7, 73, 212};
    BITMAP *well = create_bitmap(200, 400);
    clear_to_color(well, 0);
    for (int c = 0; c < 10; c++)
        for (int r = 12; r < 20; r++)
            if ((c * 7 + r * 3) % 5 != 0) draw_sprite(well, B((c + r) % 8), 20 * c, 20 * r);
    for (int k = 0; k < 4; k++) draw_sprite(well, B(6), 20 * (3 + k), 20 * 4);
    blit(well, scr, 0, 0, 40, 40, 200, 400);
    destroy_bitmap(well);
    for (int i = 0; i < 4; i++) {
        textout_ex(scr, F(FONT_TEXT), caps[i], 365, 42 + 24 * i, 65, -1);
        char t[16];
        snprintf(t, sizeof t, "%7d", values[i]);
        textout_ex(scr, F(FONT_TABLE), t, 550 - text_length(font, t), 42 + 24 * i, 5, 0);
    }
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 2; r++)
            blit((r == 1 || c == 0) ? B(3) : B(PIC_PREVIEW_EMPTY), scr, 0, 0, 360 + 20 * c,
                 185 + 20 * r, 80, 40);
    textout_ex(scr, F(FONT_TEXT), "Paused", 100, 100, 70, -1);
    textout_ex(scr, F(FONT_TEXT), "Press [C]", 90, 150, 70, -1);
    textout_ex(scr, F(FONT_TEXT), "to continue...", 75, 200, 70, -1);
    save(out, "play");

    // Game over over the well.
    textout_centre_ex(scr, font, "G A M E", 135, 152, 15, -1);
    textout_centre_ex(scr, font, "O V E R", 135, 202, 15, -1);
    textout_ex(scr, font, "Press <Enter> to", 70, 252, 15, -1);
    textout_ex(scr, font, "start over again", 70, 277, 15, -1);
    save(out, "gameover");

    // Name entry over the play screen.
    drawing_mode(DRAW_MODE_COPY_PATTERN, B(PAT_SCREENS), 0, 0);
    rectfill(scr, 100, 150, 340, 280, 0);
    solid_mode();
    rect(scr, 100, 150, 340, 280, 142);
    textout_centre_ex(scr, F(FONT_TITLE), "You got high score", 210, 160, 15, -1);
    rectfill(scr, 150, 200, 290, 240, 0);
    rect(scr, 150, 200, 290, 240, 142);
    textout_ex(scr, F(FONT_TITLE), "Champion Zed_", 155, 212, 15, -1);
    save(out, "nameentry");

    // Options.
    pattern(PAT_SCREENS);
    rect(scr, 0, 0, 639, 479, 142);
    textout_centre_ex(scr, F(FONT_TITLE), "O P T I O N S", 320, 20, 5, -1);
    textout_centre_ex(scr, F(FONT_TEXT), "Sound Volume", 190, 160, 15, -1);
    textout_centre_ex(scr, F(FONT_TEXT), "Music Volume", 455, 160, 15, -1);
    textout_centre_ex(scr, F(FONT_TITLE), "STAGE OPTIONS", 320, 280, 5, -1);
    textout_centre_ex(scr, F(FONT_TEXT), "Starting Level", 185, 320, 15, -1);
    textout_centre_ex(scr, F(FONT_TEXT), "Starting Blocks", 450, 320, 15, -1);
    DrawFooter();
    button("E x i t", 215, 400, 425, 430, 15, 25, PIC_BUTTON);
    button("Sound On", 80, 100, 290, 130, 15, 25, PIC_BUTTON);
    button("Music Off", 350, 100, 560, 130, 15, 25, PIC_BUTTON);
    for (int y : {200, 350}) {
        button("", 80, y, 110, y + 30, 15, 25, PIC_DECREASE);
        button("", 260, y, 290, y + 30, 15, 25, PIC_INCREASE, y == 350);
        button("", 350, y, 380, y + 30, 15, 25, PIC_DECREASE, y == 350);
        button("", 530, y, 560, y + 30, 15, 25, PIC_INCREASE);
        button(y == 200 ? "200" : "3", 111, y, 259, y + 30, 15, 25, PIC_BUTTON);
        button(y == 200 ? "150" : "10", 381, y, 529, y + 30, 15, 25, PIC_BUTTON);
    }
    save(out, "options");

    // High scores.
    pattern(PAT_SCREENS);
    DrawFooter();
    rect(scr, 0, 0, 639, 479, 142);
    textout_centre_ex(scr, F(FONT_TITLE), "H I G H   S C O R E S", 320, 20, 15, -1);
    const char *heads[] = {"Name", "Score", "Level", "Lines", "Pieces"};
    int hx[] = {150, 380, 450, 520, 590};
    for (int i = 0; i < 5; i++) textout_ex(scr, F(FONT_TABLE), heads[i], hx[i], 60, 15, -1);
    for (int i = 0; i < 15; i++) {
        char t[64];
        snprintf(t, sizeof t, "%2d      %s", i + 1,
                 i == 0 ? "Wide Wilhelmina W" : "Quorvex Champion");
        textout_ex(scr, F(FONT_TABLE), t, 55, 80 + 20 * i, 15, -1);
        snprintf(t, sizeof t, "%06d", i == 0 ? 987654 : 0);
        textout_ex(scr, F(FONT_TABLE), t, 380, 80 + 20 * i, 15, -1);
        snprintf(t, sizeof t, "%03d", 1);
        textout_ex(scr, F(FONT_TABLE), t, 460, 80 + 20 * i, 15, -1);
        snprintf(t, sizeof t, "%05d", 0);
        textout_ex(scr, F(FONT_TABLE), t, 530, 80 + 20 * i, 15, -1);
        snprintf(t, sizeof t, "%04d", 0);
        textout_ex(scr, F(FONT_TABLE), t, 600, 80 + 20 * i, 15, -1);
    }
    button("E x i t", 100, 420, 300, 450, 15, 25, PIC_BUTTON);
    button("R e s e t", 340, 420, 540, 450, 15, 25, PIC_BUTTON);
    save(out, "highscores");

    // Help.
    DrawHelpPage();
    save(out, "help");

    // Credits, mid-scroll.
    blit(B(PIC_CREDITS), scr, 0, 0, 0, 0, 640, 480);
    blit(B(PIC_LOGO), scr, 0, 0, 126, 25, 640, 480);
    const char *lines[] = {"Programming, Graphics, Level Design",
                           "Music and Sounds  :  The Quorvex Team",
                           " ",
                           "Dedicated to",
                           "everyone who stacks",
                           " ",
                           "May your rows be full",
                           "and your wells deep",
                           "and your pieces fall",
                           "where you want them",
                           " ",
                           "Press ESC to continue"};
    for (int i = 0; i < 12; i++)
        textout_centre_ex(scr, F(FONT_TEXT), lines[i], 320, 120 + 20 * i, 5, -1);
    save(out, "credits");

    screen = nullptr;
    destroy_bitmap(scr);
    unload_datafile(data);
    return 0;
}
