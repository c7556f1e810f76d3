// SPDX-License-Identifier: MIT
// The bevelled clickable button and the pointer's box tests.
#ifndef QUORVEX_BUTTON_H
#define QUORVEX_BUTTON_H

#include <allegro.h>

class Button {
public:
    static constexpr int NAME_SIZE = 28;  // label capacity including the NUL

    Button(const char *name, int x1, int y1, int x2, int y2, int col1, int col2, BITMAP *picture);

    // Copies a new label (cut to 27 characters); callers redraw with DrawButton.
    void ChangeName(const char *label);
    void DrawButton();
    // Tracks one whole press; -1 if it ended over the button, 0 otherwise.
    int Clicked();

    int x1, y1, x2, y2;  // inclusive rectangle, screen pixels
    int col1;            // raised: dark bevel and text shadow; pressed: light bevel and text
    int col2;            // raised: light bevel and text; pressed: dark bevel and text shadow
    BITMAP *picture;     // face when the label is empty; owned by the datafile
    char name[NAME_SIZE];
    int pressed;  // -1 while held down under the pointer
};

// The click of a button going down, when sound effects are on.
void PlayClickSound();

// -1 when the pointer is strictly inside the rectangle (its outer pixels do not count).
int mouseinbox(int x1, int y1, int x2, int y2);
// The same test for a given point; the pointer test above uses it.
int PointInBox(int x, int y, int x1, int y1, int x2, int y2);

#endif
