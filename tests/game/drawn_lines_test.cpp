// SPDX-License-Identifier: MIT
// The lines of a watched picture that the library's drawing routines report as drawn on.
#include <gtest/gtest.h>

#include <functional>

#include "DrawnLines.h"
#include "Quorvex.h"

namespace {

struct Drawing {
    const char *what;
    std::function<void(BITMAP *picture, BITMAP *sprite)> draw;
    int first, last;  // the lines it paints
};

// Every kind of drawing the game and the library's dialogs do on the picture.
const Drawing DRAWINGS[] = {
    {"sprite", [](BITMAP *p, BITMAP *s) { draw_sprite(p, s, 30, 100); }, 100, 107},
    {"sprite flipped", [](BITMAP *p, BITMAP *s) { draw_sprite_v_flip(p, s, 30, 10); }, 10, 17},
    {"stretched sprite", [](BITMAP *p, BITMAP *s) { stretch_sprite(p, s, 0, 200, 16, 16); }, 200,
     215},
    {"blit", [](BITMAP *p, BITMAP *s) { blit(s, p, 0, 0, 600, 470, 8, 8); }, 470, 477},
    {"masked blit", [](BITMAP *p, BITMAP *s) { masked_blit(s, p, 0, 0, 5, 5, 8, 8); }, 5, 12},
    {"text", [](BITMAP *p, BITMAP *) { textout_ex(p, font, "Quorvex", 10, 300, 15, -1); }, 300,
     307},
    {"filled box", [](BITMAP *p, BITMAP *) { rectfill(p, 0, 40, 639, 44, 3); }, 40, 44},
    {"frame", [](BITMAP *p, BITMAP *) { rect(p, 100, 50, 200, 60, 3); }, 50, 60},
    {"pixel", [](BITMAP *p, BITMAP *) { putpixel(p, 639, 479, 3); }, 479, 479},
    {"line", [](BITMAP *p, BITMAP *) { line(p, 0, 400, 300, 410, 3); }, 400, 410},
    {"cleared", [](BITMAP *p, BITMAP *) { clear_to_color(p, 3); }, 0, 479},
    {"through a part of it",
     [](BITMAP *p, BITMAP *) {
         BITMAP *part = create_sub_bitmap(p, 0, 250, 640, 20);
         rectfill(part, 0, 2, 639, 3, 3);
         destroy_bitmap(part);
     },
     252, 253},
};

TEST(DrawnLines, EveryDrawingReportsTheLinesItPaintsAndNoOthers)
{
    // A graphics mode whose driver keeps no system bitmaps, as the X11 window's.
    static GFX_DRIVER plain_driver{};
    GFX_DRIVER *const saved_driver = gfx_driver;
    gfx_driver = &plain_driver;
    BITMAP *picture = create_bitmap(GAME_W, GAME_H);
    BITMAP *sprite = create_bitmap(8, 8);
    ASSERT_TRUE(picture && sprite);
    clear_to_color(sprite, 7);
    WatchDrawing(picture);
    for (const Drawing &d : DRAWINGS) {
        TakeAnyLineDrawn();
        for (int y = 0; y < GAME_H; y++) TakeLineDrawn(y);
        EXPECT_FALSE(TakeAnyLineDrawn()) << d.what;
        d.draw(picture, sprite);
        EXPECT_TRUE(TakeAnyLineDrawn()) << d.what;
        for (int y = 0; y < GAME_H; y++) {
            if (y >= d.first && y <= d.last)
                EXPECT_TRUE(TakeLineDrawn(y)) << d.what << ": line " << y;
            else
                EXPECT_FALSE(TakeLineDrawn(y)) << d.what << ": line " << y;
        }
    }
    StopWatchingDrawing();
    // Unwatched, the bitmap is a plain memory bitmap again and every line counts as drawn.
    EXPECT_TRUE(is_memory_bitmap(picture));
    EXPECT_TRUE(TakeAnyLineDrawn());
    EXPECT_TRUE(TakeLineDrawn(7));
    destroy_bitmap(sprite);
    destroy_bitmap(picture);
    gfx_driver = saved_driver;
}

}  // namespace
