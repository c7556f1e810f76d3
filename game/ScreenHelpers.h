// SPDX-License-Identifier: MIT
// Helpers every screen shares: backgrounds, the footer, frames, shadowed and outlined text, the
// screenshot, the file test and the fatal-error exit.
#ifndef QUORVEX_SCREENHELPERS_H
#define QUORVEX_SCREENHELPERS_H

#include <allegro.h>

// A box of the screen filled with a pattern item of the datafile and outlined in `border`.
void DrawPatternBox(int pattern, int x1, int y1, int x2, int y2, int border);
// The whole screen as DrawPatternBox draws a box: the menu and the full-screen pages.
void DrawScreenBackground(int pattern, int border);
// The footer line at the bottom of the menu, options and high-score screens.
void DrawFooter();

// A two-pixel bevel: top and left in `topleft`, bottom and right in `bottomright`.
void DrawFrame(int x1, int y1, int x2, int y2, int topleft, int bottomright);
// Text with a shadow one pixel down and right.
void Dtextout(BITMAP *bmp, FONT *f, const char *s, int x, int y, int colour, int shadow);
void Dtextout_centre(BITMAP *bmp, FONT *f, const char *s, int x, int y, int colour, int shadow);
// Text on the screen with a one-pixel black outline; `centred` centres it on x.
void OutlinedText(FONT *f, const char *s, int x, int y, int colour, bool centred);

// The library's dialogs draw with palette indices; this points them at readable entries of the
// game's palette: white text on black, grey for what is disabled.
void UseGameDialogColours();

// Writes the screen to quorvex.pcx in the working directory with the given palette.
void TakeScreenshot(const RGB *pal);

// Non-zero for a plain file (not a directory, hidden or system file) that exists.
int FileExist(const char *filename);

// Ends the program at once with status 1, after "Error: " and the message on standard output.
[[noreturn]] void Error(const char *message);

#endif
