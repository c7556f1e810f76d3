// SPDX-License-Identifier: MIT
// The keyboard and pad focus over a screen's buttons: moving it, drawing it, pressing with it.
#ifndef QUORVEX_FOCUS_H
#define QUORVEX_FOCUS_H

#include <allegro.h>

#include <memory>
#include <vector>

#include "Input.h"

class Button;

// A place the focus can stand on: a button, or a value between its two arrows (the frame then
// goes round all three, Left and Right press the arrows and Enter presses nothing).
struct FocusItem {
    Button *button;  // pressed by Enter, Space or the pad's select button; null for a value
    Button *left;    // pressed by Left and Right instead of moving the focus; null for a button
    Button *right;
    int x1, y1, x2, y2;  // what the frame goes round
    int row, column;     // where it stands among the others
};

// Where a navigation moves the focus from item `current`: Tab and Shift+Tab go through the items
// in their order, round the end; Up and Down to the nearest column of the row above or below,
// round the top and bottom; Left and Right to the next item of the same row, stopping at its ends.
int FocusTarget(const std::vector<FocusItem> &items, int current, Nav nav);

// The focus of one screen. It is drawn only once a navigation key (or the pad's stick) has been
// used on the screen, so a screen used with the mouse alone looks as it always did: a frame in
// COL_FOCUS two pixels outside the item, the screen under it kept and put back as it moves.
class FocusRing {
public:
    FocusRing() = default;
    FocusRing(const FocusRing &) = delete;
    FocusRing &operator=(const FocusRing &) = delete;

    void Add(Button *button, int row, int column);
    void AddValue(Button *down, Button *value, Button *up, int row, int column);

    // Reads one press and acts on it: the first navigation shows the focus, later ones move it;
    // Enter, Space or select press the focused button (Left and Right a value's arrows) with the
    // look, click sound and result of a click. Returns the button pressed, else null.
    Button *Handle();
    // The screen was painted again (the frame with it): draws the frame again if it shows.
    void Repainted();
    // A click on `button`: the focus moves to its item.
    void FollowClick(const Button *button);

private:
    void Draw();
    void Erase();

    struct BitmapFree {
        void operator()(BITMAP *b) const { destroy_bitmap(b); }
    };
    std::vector<FocusItem> items_;
    int current_ = 0;
    bool shown_ = false;
    std::unique_ptr<BITMAP, BitmapFree> under_;  // the screen under the frame while it shows
};

#endif
