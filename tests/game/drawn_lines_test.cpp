// SPDX-License-Identifier: MIT
// The lines of a watched picture that the library's drawing routines report as drawn on.
#include <gtest/gtest.h>

#include <utility>

#include "DrawnLines.h"
#include "Quorvex.h"

// Every kind of drawing the game and the library's dialogs do on the picture, and the lines it paints.
const struct {
    const char *what;
    void (*draw)(BITMAP *picture, BITMAP *sprite);
    int first, last;
} DRAWINGS[] = {
    {"sprite", [](BITMAP *p, BITMAP *s) { draw_sprite(p, s, 30, 100); }, 100, 107},
    {"blit", [](BITMAP *p, BITMAP *s) { blit(s, p, 0, 0, 600, 470, 8, 8); }, 470, 477},
    {"text", [](BITMAP *p, BITMAP *) { textout_ex(p, font, "Quorvex", 10, 300, 15, -1); }, 300,
     307},
    {"box", [](BITMAP *p, BITMAP *) { rectfill(p, 0, 40, 639, 44, 3); }, 40, 44},
    {"clear", [](BITMAP *p, BITMAP *) { clear_to_color(p, 3); }, 0, 479},
    {"part",
     [](BITMAP *p, BITMAP *) {
         BITMAP *part = create_sub_bitmap(p, 0, 250, 640, 20);
         rectfill(part, 0, 2, 639, 3, 3);
         destroy_bitmap(part);
     },
     252, 253},
};

TEST(DrawnLines, EveryDrawingReportsTheLinesItPaintsAndNoOthers)
{
    static GFX_DRIVER plain_driver{};  // keeps no system bitmaps, as the X11 window's driver
    GFX_DRIVER *const saved_driver = std::exchange(gfx_driver, &plain_driver);
    BITMAP *picture = create_bitmap(GAME_W, GAME_H), *sprite = create_bitmap(8, 8);
    clear_to_color(sprite, 7);
    WatchDrawing(picture);
    for (const auto &d : DRAWINGS) {
        for (int y = 0; y < GAME_H; y++) TakeLineDrawn(y);
        TakeAnyLineDrawn();
        d.draw(picture, sprite);
        EXPECT_TRUE(TakeAnyLineDrawn()) << d.what;
        for (int y = 0; y < GAME_H; y++)
            EXPECT_EQ(TakeLineDrawn(y), y >= d.first && y <= d.last) << d.what << ", line " << y;
    }
    StopWatchingDrawing();  // a plain memory bitmap again, every line counting as drawn
    EXPECT_TRUE(is_memory_bitmap(picture) && TakeAnyLineDrawn() && TakeLineDrawn(7));
    destroy_bitmap(sprite);
    destroy_bitmap(picture);
    gfx_driver = saved_driver;
}
