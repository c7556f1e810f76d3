// SPDX-License-Identifier: MIT
// The credits' lines and their scrolling, apart from their drawing.
#include "CreditsText.h"

// clang-format off
const char *const CREDITS_LINES[CREDITS_LINE_COUNT] = {
    "Programming, Graphics, Level Design",
    "Music and Sounds  :  The Quorvex Team",
    " ",
    "Dedicated To",
    "Everyone Who Ever Stacked Blocks",
    " ",
    "For the late nights of one more game,",
    "for the rows that almost fitted,",
    "and for the long piece that came",
    "just when it was needed.",
    " ",
    "In memory of the home computers",
    "that taught us to play and to program.",
    " ",
    "Thanks to the Allegro developers",
    "and to the makers of the free patches.",
    " ",
    "Press ESC to continue",
};
// clang-format on

int NextCreditsY(int y, int screen_h)
{
    y--;
    if (y + CREDITS_HEIGHT < 0) y = screen_h;
    return y;
}
