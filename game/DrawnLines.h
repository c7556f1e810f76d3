// SPDX-License-Identifier: MIT
// Which lines of the game's picture have been drawn on since they were last looked at.
#ifndef QUORVEX_DRAWN_LINES_H
#define QUORVEX_DRAWN_LINES_H

#include <allegro.h>

// Starts noting the lines drawn on `bmp`, a memory bitmap of at most 480 lines that the caller
// owns: the library's drawing routines fetch every line they write through the bitmap's write
// hook, which then notes it. Where that cannot be relied on (a library built with assembly
// routines, or a graphics driver with system bitmaps of its own) nothing is hooked and every line
// counts as drawn. One bitmap at a time.
void WatchDrawing(BITMAP *bmp);
// Gives the bitmap its own hook back; before it is destroyed.
void StopWatchingDrawing();
// Whether any line may have been drawn on since the last call; forgets it.
bool TakeAnyLineDrawn();
// Whether line y may have been drawn on since the last call for it; forgets it.
bool TakeLineDrawn(int y);

#endif
