// SPDX-License-Identifier: MIT
// The keyboard and pad focus over a screen's buttons: moving it, drawing it, pressing with it.
#include "Focus.h"

#include <cstdlib>

#include "Button.h"
#include "Events.h"
#include "GameData.h"
#include "Pacing.h"
#include "Quorvex.h"

namespace {

constexpr int FRAME_GAP = 2;    // pixels between the item and its frame
constexpr int FRAME_WIDTH = 2;  // the frame's lines
constexpr int FRAME_OUT = FRAME_GAP + FRAME_WIDTH;

// The row after (step 1) or before (step -1) `row` among the items' rows, round the ends.
int NextRow(const std::vector<FocusItem> &items, int row, int step)
{
    int best = row, wrap = row;
    for (const FocusItem &it : items) {
        const int d = (it.row - row) * step;
        if (d > 0 && (best == row || (it.row - best) * step < 0)) best = it.row;
        if ((it.row - wrap) * step < 0) wrap = it.row;
    }
    return best != row ? best : wrap;
}

// A press by a key or the pad: the button goes down with the click sound, stays down while the
// key is held, and comes back up.
void PressButton(Button &b, const Press &press)
{
    b.pressed = YES;
    b.DrawButton();
    PlayClickSound();
    while (PressHeld(press) && !QuitRequested()) WaitForTick();
    b.pressed = NO;
    b.DrawButton();
    // The keyboard's repeat of a held Enter must not press again.
    ClearPresses();
}

}  // namespace

int FocusTarget(const std::vector<FocusItem> &items, int current, Nav nav)
{
    const int n = static_cast<int>(items.size());
    if (n == 0 || current < 0 || current >= n) return current;
    const FocusItem &at = items[current];
    switch (nav) {
    case Nav::Next: return (current + 1) % n;
    case Nav::Previous: return (current + n - 1) % n;
    case Nav::Up:
    case Nav::Down: {
        const int row = NextRow(items, at.row, nav == Nav::Down ? 1 : -1);
        if (row == at.row) return current;
        int best = -1;
        for (int i = 0; i < n; i++) {
            if (items[i].row != row) continue;
            if (best < 0 ||
                std::abs(items[i].column - at.column) < std::abs(items[best].column - at.column))
                best = i;
        }
        return best < 0 ? current : best;
    }
    case Nav::Left:
    case Nav::Right: {
        const int step = nav == Nav::Right ? 1 : -1;
        int best = -1;
        for (int i = 0; i < n; i++) {
            const int d = (items[i].column - at.column) * step;
            if (items[i].row != at.row || d <= 0) continue;
            if (best < 0 || (items[i].column - items[best].column) * step < 0) best = i;
        }
        return best < 0 ? current : best;
    }
    case Nav::Activate:
    case Nav::None: break;
    }
    return current;
}

void FocusRing::Add(Button *button, int row, int column)
{
    items_.push_back(
        {button, nullptr, nullptr, button->x1, button->y1, button->x2, button->y2, row, column});
}

void FocusRing::AddValue(Button *down, Button *value, Button *up, int row, int column)
{
    items_.push_back({nullptr, down, up, down->x1, value->y1, up->x2, value->y2, row, column});
}

Button *FocusRing::Handle()
{
    Press press;
    if (!NextPress(press)) return nullptr;
    const Nav nav = NavOf(press);
    if (nav == Nav::None || items_.empty()) return nullptr;
    if (!shown_) {
        // Nothing is focused until a navigation key shows where the focus stands.
        if (nav != Nav::Activate) Draw();
        return nullptr;
    }
    const FocusItem &at = items_[current_];
    Button *target = nullptr;
    if (nav == Nav::Activate) {
        target = at.button;
    } else if (at.left != nullptr && (nav == Nav::Left || nav == Nav::Right)) {
        target = nav == Nav::Left ? at.left : at.right;
    } else {
        const int to = FocusTarget(items_, current_, nav);
        if (to != current_) {
            Erase();
            current_ = to;
            Draw();
        }
        return nullptr;
    }
    if (target == nullptr) return nullptr;
    PressButton(*target, press);
    return target;
}

void FocusRing::Repainted()
{
    under_.reset();
    if (shown_) Draw();
}

void FocusRing::FollowClick(const Button *button)
{
    for (int i = 0; i < static_cast<int>(items_.size()); i++) {
        const FocusItem &it = items_[i];
        if (it.button != button && it.left != button && it.right != button) continue;
        if (i == current_) return;
        const bool shown = shown_;
        if (shown) Erase();
        current_ = i;
        if (shown) Draw();
        return;
    }
}

void FocusRing::Draw()
{
    const FocusItem &it = items_[current_];
    const int x1 = it.x1 - FRAME_OUT, y1 = it.y1 - FRAME_OUT;
    const int x2 = it.x2 + FRAME_OUT, y2 = it.y2 + FRAME_OUT;
    scare_mouse();
    under_.reset(create_bitmap(x2 - x1 + 1, y2 - y1 + 1));
    if (under_) blit(screen, under_.get(), x1, y1, 0, 0, under_->w, under_->h);
    for (int i = 0; i < FRAME_WIDTH; i++) rect(screen, x1 + i, y1 + i, x2 - i, y2 - i, COL_FOCUS);
    unscare_mouse();
    shown_ = true;
}

void FocusRing::Erase()
{
    if (!under_) return;
    const FocusItem &it = items_[current_];
    const int x1 = it.x1 - FRAME_OUT, y1 = it.y1 - FRAME_OUT;
    BITMAP *u = under_.get();
    // Only the frame's lines go back: the item inside may have been drawn again meanwhile.
    scare_mouse();
    blit(u, screen, 0, 0, x1, y1, u->w, FRAME_WIDTH);
    blit(u, screen, 0, u->h - FRAME_WIDTH, x1, y1 + u->h - FRAME_WIDTH, u->w, FRAME_WIDTH);
    blit(u, screen, 0, 0, x1, y1, FRAME_WIDTH, u->h);
    blit(u, screen, u->w - FRAME_WIDTH, 0, x1 + u->w - FRAME_WIDTH, y1, FRAME_WIDTH, u->h);
    unscare_mouse();
    under_.reset();
}
