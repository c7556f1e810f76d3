// SPDX-License-Identifier: MIT
// The piece catalogue, the falling piece's box, the random pieces, the speed and the game timer.
#ifndef QUORVEX_BOARD_H
#define QUORVEX_BOARD_H

#include <cstdint>

#include "Quorvex.h"

int Random(int n);  // 0..n-1
// The timer callback: one game_time tick every 10 ms.
void game_timer();

void Clear_Block();
// Puts the catalogue's piece for `element` into the record's box, with its size and id.
void Generate_Block(int element);
// True for an element id of the catalogue (1..8, 11..18, 21..28, 31..38).
bool IsValidElement(int element);

// The catalogue's piece for an element id: its cells' colour codes in a 4x4 box, and its size.
struct PieceBox {
    int32_t block[BLOCK_SIZE][BLOCK_SIZE];
    int32_t w, h;
};
// Fills out for an element of the catalogue; false (out untouched) for any other id.
bool LookUpPiece(int element, PieceBox &out);

// Speed and the end of play.
constexpr int STAGE_LIMIT = 198;          // a spawn above this stage ends the game
constexpr int32_t FALL_DELAY_START = 55;  // game_time ticks a row at stage 0
constexpr int32_t FALL_DELAY_MIN = 2;     // the fastest fall
// The fall delay after total_lines rows (10 a stage): 2 ticks faster a stage, down to the minimum.
constexpr int32_t FallDelay(int32_t total_lines)
{
    const int32_t delay = FALL_DELAY_START - 2 * (total_lines / 10);
    return delay < FALL_DELAY_MIN ? FALL_DELAY_MIN : delay;
}

#endif
