// SPDX-License-Identifier: MIT
// The rules: fitting, turning, locking, removing rows with scoring and speed-up, and dealing pieces.
#include "Rules.h"

#include <cstring>

#include "Board.h"
#include "GameData.h"
#include "Quorvex.h"
#include "Sound.h"

namespace {

constexpr int SPAWN_X = 3;
constexpr int POINTS_PER_PIECE = 30;

bool InWell(int x, int y)
{
    return x >= 0 && x < MAP_W && y >= 0 && y < MAP_H;
}

bool RowFull(int row)
{
    for (int c = 0; c < MAP_W; c++)
        if (Game.map[c][row] == 0) return false;
    return true;
}

// Row r takes row r - 1, for r = row down to 1; row 0 keeps its contents.
void DropRowsAbove(int row)
{
    for (int r = row; r >= 1; r--)
        for (int c = 0; c < MAP_W; c++) Game.map[c][r] = Game.map[c][r - 1];
}

// Whether the falling piece fits with its box at column bx, row by.
bool Fits(int bx, int by)
{
    for (int c = 0; c < BLOCK_SIZE; c++) {
        for (int r = 0; r < BLOCK_SIZE; r++) {
            if (Game.block[c][r] == 0) continue;
            int x = bx + c;
            int y = by + r;
            // A cell outside the well never fits (play keeps the box inside; a damaged record may not).
            if (!InWell(x, y) || Game.map[x][y] != 0) return false;
        }
    }
    return true;
}

}  // namespace

int Can_Put()
{
    return Fits(Game.block_x, Game.block_y) ? YES : NO;
}

int LandingRow()
{
    int y = Game.block_y;
    if (!Fits(Game.block_x, y)) return y;
    // The well is MAP_H rows deep, so this ends within MAP_H steps whatever the record holds.
    while (y < MAP_H && Fits(Game.block_x, y + 1)) y++;
    return y;
}

void Rotate_Block()
{
    int old = Game.element;
    int turned = old + 10;
    if (turned > 40) turned -= 40;
    Generate_Block(turned);
    if (!Can_Put()) Generate_Block(old);
}

int Put_Block()
{
    for (int c = 0; c < BLOCK_SIZE; c++) {
        for (int r = 0; r < BLOCK_SIZE; r++) {
            int v = Game.block[c][r];
            int x = Game.block_x + c;
            int y = Game.block_y + r;
            if (v != 0 && InWell(x, y)) Game.map[x][y] = v;
        }
    }
    return Delete_Row();
}

namespace {

// True when rows 0 up to `row` are all full.
bool FullDownTo(int row)
{
    for (int r = 0; r <= row; r++)
        if (!RowFull(r)) return false;
    return true;
}

}  // namespace

int Delete_Row()
{
    int removed = 0;
    // Rows 19 up to 1; row 0 is never examined. A removed row's place is examined again, since it
    // now holds what stood above it.
    int row = MAP_H - 1;
    while (row >= 1) {
        if (!RowFull(row)) {
            row--;
            continue;
        }
        DropRowsAbove(row);
        removed++;
        Game.lines++;
        // Row 0 is kept and copied down by every removal: once every row from the top down to this
        // one is full, each removal here would bring a full row back for ever, so the scan ends.
        if (FullDownTo(row)) break;
    }

    if (removed > 0 && sound_on && data != nullptr) {
        PlayEffect(SND_ROWS, 255);
    }
    Game.total_lines += removed;
    if (removed > 0) Game.score += 125 * removed + 25 * (Game.total_lines / 10) - 25;
    Game.delay = FallDelay(Game.total_lines);
    Game.pieces += 1;
    Game.score += POINTS_PER_PIECE;
    return Game.delay;
}

void ResetWell()
{
    std::memset(Game.map, 0, sizeof Game.map);
    Game.next_element = Random(8) + 1;
    Generate_New();
}

void FillStartingRows(int rows)
{
    for (int i = 0; i < rows; i++)
        for (int c = 0; c < MAP_W; c++)
            if (Random(2)) Game.map[c][MAP_H - 1 - i] = 1;
}

void Generate_New()
{
    int incoming = Game.next_element;
    Game.next_element = Random(8) + 1;
    Generate_Block(incoming);
    Game.block_x = SPAWN_X;
    Game.block_y = 0;
    Game.stage = Game.total_lines / 10;
    if (!Can_Put() || Game.stage > STAGE_LIMIT) end_game = YES;
}
