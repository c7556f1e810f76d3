// SPDX-License-Identifier: MIT
// The credits' lines and scrolling, apart from their drawing.
#ifndef QUORVEX_CREDITSTEXT_H
#define QUORVEX_CREDITSTEXT_H

constexpr int CREDITS_LINE_COUNT = 18;
constexpr int CREDITS_LINE_STEP = 20;  // pixels between lines
constexpr int CREDITS_HEIGHT = CREDITS_LINE_COUNT * CREDITS_LINE_STEP;

extern const char *const CREDITS_LINES[CREDITS_LINE_COUNT];

// The block's top edge for the next frame: one pixel higher, back to the bottom edge of the
// screen (screen_h) once the whole block has left the top.
int NextCreditsY(int y, int screen_h);

#endif
