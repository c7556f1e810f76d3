// SPDX-License-Identifier: MIT
// The game record, the piece catalogue, the random pieces and the game timer.
#include "Board.h"

#include <allegro.h>

#include <cstdlib>
#include <cstring>

#include "Pacing.h"
#include "Quorvex.h"
#include "ScreenHelpers.h"

GameState Game;
std::atomic<int> game_time{0};
int end_game = 0;

namespace {

struct Cell {
    int c, r;  // column, row within the 4x4 box
};

struct Shape {
    int w, h;  // bounding box, cells
    Cell cells[4];
};

// Catalogue of the eight base shapes in their four orientations; index [k][b - 1] holds element id
// b + 10 k. Orientation k + 1 is orientation k turned a quarter clockwise and moved back to the
// box's top-left corner:
//
//   b=1 .XX   b=2 XX.   b=3 XX   b=4 .X.   b=5 ..X   b=6 X..   b=7/8 XXXX
//       XX.       .XX       XX       XXX       XXX       XXX
//
// Shapes 1, 2, 7 and 8 repeat after two turns; the square is the same in all four.
// clang-format off
constexpr Shape CATALOGUE[4][8] = {
    {   // k = 0: ids 1..8
        {3, 2, {{1, 0}, {2, 0}, {0, 1}, {1, 1}}},
        {3, 2, {{0, 0}, {1, 0}, {1, 1}, {2, 1}}},
        {2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
        {3, 2, {{1, 0}, {0, 1}, {1, 1}, {2, 1}}},
        {3, 2, {{2, 0}, {0, 1}, {1, 1}, {2, 1}}},
        {3, 2, {{0, 0}, {0, 1}, {1, 1}, {2, 1}}},
        {4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        {4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
    },
    {   // k = 1: ids 11..18
        {2, 3, {{0, 0}, {0, 1}, {1, 1}, {1, 2}}},
        {2, 3, {{1, 0}, {0, 1}, {1, 1}, {0, 2}}},
        {2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
        {2, 3, {{0, 0}, {0, 1}, {1, 1}, {0, 2}}},
        {2, 3, {{0, 0}, {0, 1}, {0, 2}, {1, 2}}},
        {2, 3, {{0, 0}, {1, 0}, {0, 1}, {0, 2}}},
        {1, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
        {1, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
    },
    {   // k = 2: ids 21..28
        {3, 2, {{1, 0}, {2, 0}, {0, 1}, {1, 1}}},
        {3, 2, {{0, 0}, {1, 0}, {1, 1}, {2, 1}}},
        {2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
        {3, 2, {{0, 0}, {1, 0}, {2, 0}, {1, 1}}},
        {3, 2, {{0, 0}, {1, 0}, {2, 0}, {0, 1}}},
        {3, 2, {{0, 0}, {1, 0}, {2, 0}, {2, 1}}},
        {4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        {4, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
    },
    {   // k = 3: ids 31..38
        {2, 3, {{0, 0}, {0, 1}, {1, 1}, {1, 2}}},
        {2, 3, {{1, 0}, {0, 1}, {1, 1}, {0, 2}}},
        {2, 2, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}},
        {2, 3, {{1, 0}, {0, 1}, {1, 1}, {1, 2}}},
        {2, 3, {{0, 0}, {1, 0}, {1, 1}, {1, 2}}},
        {2, 3, {{1, 0}, {1, 1}, {0, 2}, {1, 2}}},
        {1, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
        {1, 4, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},
    },
};
// clang-format on

}  // namespace

bool IsValidElement(int element)
{
    if (element < 1 || element > 38) return false;
    int b = element % 10;
    return b >= 1 && b <= 8;
}

int Random(int n)
{
    return std::rand() % n;
}

void game_timer()
{
    game_time.fetch_add(1, std::memory_order_relaxed);
    NotifyTick();
}
END_OF_FUNCTION(game_timer)

void Clear_Block()
{
    std::memset(Game.block, 0, sizeof Game.block);
}

bool LookUpPiece(int element, PieceBox &out)
{
    if (!IsValidElement(element)) return false;
    const int b = element % 10;
    const Shape &shape = CATALOGUE[element / 10][b - 1];
    out = PieceBox{};
    for (const Cell &cell : shape.cells) out.block[cell.c][cell.r] = b;
    out.w = shape.w;
    out.h = shape.h;
    return true;
}

void Generate_Block(int element)
{
    Clear_Block();
    PieceBox piece;
    if (!LookUpPiece(element, piece)) {
        Error("Unknown element to be generated,notify author\n%s\n");
    }
    std::memcpy(Game.block, piece.block, sizeof Game.block);
    Game.block_w = piece.w;
    Game.block_h = piece.h;
    Game.element = element;
}
