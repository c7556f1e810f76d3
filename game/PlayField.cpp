// SPDX-License-Identifier: MIT
// The play screen: the well, the frames, the score panel, the preview box and the key legend.
#include "PlayField.h"

#include <allegro.h>

#include <cstdio>

#include "Board.h"
#include "GameData.h"
#include "KeyBindings.h"
#include "Quorvex.h"
#include "Rules.h"

namespace {

constexpr int WELL_X = 40;  // screen position of the well's top-left cell
constexpr int WELL_Y = 40;
constexpr int NUMBER_RIGHT = 550;  // the panel numbers end here
constexpr int PREVIEW_X = 360;     // the preview box's first tile
constexpr int PREVIEW_Y = 185;
constexpr int PREVIEW_ROWS = 2;  // rows of the next piece's box shown
constexpr int GHOST_INSET = 1;   // the ghost's outline, pixels inside its cell

// A frame of 20x20 pieces with its corner pieces at (x1, y1) and (x2, y2).
struct FrameSpec {
    int x1, y1, x2, y2;
    int h_first, h_count;  // horizontal edge pieces along y1 and y2
    int v_first, v_count;  // vertical edge pieces along x1 and x2
};

constexpr FrameSpec WELL_FRAME = {20, 20, 240, 440, 40, 10, 40, 20};
constexpr FrameSpec SCORE_FRAME = {340, 20, 580, 135, 360, 11, 40, 5};
constexpr FrameSpec PREVIEW_FRAME = {340, 165, 440, 225, 360, 4, 185, 2};
constexpr FrameSpec TITLE_FRAME = {460, 165, 580, 225, 460, 7, 185, 2};
constexpr FrameSpec LEGEND_FRAME = {340, 260, 580, 440, 360, 11, 280, 8};

void Sprite(int item, int x, int y)
{
    draw_sprite(screen, DataBitmap(item), x, y);
}

void Corners(const FrameSpec &f)
{
    Sprite(PIC_FRAME_TL, f.x1, f.y1);
    Sprite(PIC_FRAME_TR, f.x2, f.y1);
    Sprite(PIC_FRAME_BL, f.x1, f.y2);
    Sprite(PIC_FRAME_BR, f.x2, f.y2);
}

void Edges(const FrameSpec &f)
{
    for (int i = 0; i < f.h_count; i++) {
        int x = f.h_first + TILE_SIZE * i;
        Sprite(PIC_FRAME_H, x, f.y1);
        Sprite(PIC_FRAME_H, x, f.y2);
    }
    for (int i = 0; i < f.v_count; i++) {
        int y = f.v_first + TILE_SIZE * i;
        Sprite(PIC_FRAME_V, f.x1, y);
        Sprite(PIC_FRAME_V, f.x2, y);
    }
}

// The key legend, one entry a key: its name (the key bound to the action), then what it does (on
// the same line, or on the next for the long first entry), then a separator line before the next.
struct LegendEntry {
    int key;  // an action, ACT_ESCAPE or KEYS_MOVE
    const char *action;
    int action_x;
    int action_dy;  // 0: beside the key; LEGEND_LINE: on the line below
};

constexpr int LEGEND_X = 365, LEGEND_Y = 282, LEGEND_LINE = 10;
#define LEGEND_SEPARATOR "---------------------------"
static_assert(sizeof(LEGEND_SEPARATOR) - 1 == 27, "the separator is 27 hyphens");
// clang-format off
constexpr LegendEntry LEGEND[] = {
    {KEYS_MOVE, "[Move piece left & right]", 381, LEGEND_LINE},
    {ACT_TURN, "[Rotate piece]", 470, 0},
    {ACT_DOWN, "[Lower piece]", 478, 0},
    {ACT_DROP, "[Drop piece]", 485, 0},
    {ACT_LEAVE, "[New Game]", 501, 0},
    {ACT_SCREENSHOT, "[Screenshot]", 485, 0},
    {ACT_PAUSE, "[Pause Game]", 485, 0},
    {ACT_ESCAPE, "[Quit Game]", 493, 0},
};
// clang-format on

void DrawLegend()
{
    int y = LEGEND_Y;
    for (const LegendEntry &e : LEGEND) {
        if (&e != LEGEND) {
            textout_ex(screen, font, LEGEND_SEPARATOR, LEGEND_X, y, COL_SEPARATOR, -1);
            y += LEGEND_LINE;
        }
        textout_ex(screen, font, KeysText(e.key, true).c_str(), LEGEND_X, y, COL_LEGEND_KEY, -1);
        y += e.action_dy;
        textout_ex(screen, font, e.action, e.action_x, y, COL_LEGEND_ACTION, -1);
        y += LEGEND_LINE;
    }
}

struct Label {
    const char *text;
    int y;
};
constexpr Label PANEL_LABELS[] = {{"Score:", 42}, {"Stage:", 66}, {"Lines:", 90}, {"Pieces:", 114}};

void DrawNumber(int value, int y)
{
    std::snprintf(text, sizeof text, "%7d", value);
    int x = NUMBER_RIGHT - text_length(font, text);
    textout_ex(screen, DataFont(FONT_TABLE), text, x, y, COL_HEADING, COL_BLACK);
}

// The ghost piece: an outline of the falling piece's cells where a drop would leave it, drawn
// under the piece.
void DrawGhost()
{
    const int landing = LandingRow();
    if (landing <= Game.block_y) return;
    for (int c = 0; c < BLOCK_SIZE; c++) {
        for (int r = 0; r < BLOCK_SIZE; r++) {
            const int x = Game.block_x + c, y = landing + r;
            if (Game.block[c][r] == 0 || x < 0 || x >= MAP_W || y < 0 || y >= MAP_H) continue;
            const int px = TILE_SIZE * x, py = TILE_SIZE * y;
            rect(buffer, px + GHOST_INSET, py + GHOST_INSET, px + TILE_SIZE - 1 - GHOST_INSET,
                 py + TILE_SIZE - 1 - GHOST_INSET, COL_GHOST);
        }
    }
}

}  // namespace

void Draw_Frame()
{
    const FrameSpec *cornered_first[] = {&WELL_FRAME, &SCORE_FRAME, &PREVIEW_FRAME, &LEGEND_FRAME};
    for (const FrameSpec *f : cornered_first) {
        Corners(*f);
        Edges(*f);
    }
    // The title panel's edges run its full width; its corners go on top of their ends.
    Edges(TITLE_FRAME);
    Corners(TITLE_FRAME);
}

void InitGameGraphics()
{
    drawing_mode(DRAW_MODE_COPY_PATTERN, DataBitmap(PAT_PLAY), 0, 0);
    rectfill(screen, 0, 0, 640, 480, COL_BLACK);
    Draw_Frame();
    drawing_mode(DRAW_MODE_SOLID, nullptr, 0, 0);

    rectfill(screen, 360, 40, 580, 135, COL_BLACK);
    rectfill(screen, 360, 280, 580, 440, COL_BLACK);
    rectfill(screen, 480, 185, 580, 225, COL_BLACK);

    textout_ex(screen, DataFont(FONT_TITLE), "Quorvex", 505, 190, COL_HEADING, -1);
    textout_ex(screen, DataFont(FONT_TITLE), "Vastrelon", 500, 205, COL_HEADING, -1);

    DrawLegend();

    for (const Label &label : PANEL_LABELS) {
        std::snprintf(text, sizeof text, "%s", label.text);
        textout_ex(screen, DataFont(FONT_TEXT), text, 365, label.y, COL_LABEL, -1);
    }
}

void DrawPreview()
{
    PieceBox next;
    if (!LookUpPiece(Game.next_element, next)) return;
    BITMAP *tile = DataBitmap(TILE_1 + Game.next_element - 1);
    BITMAP *empty = DataBitmap(PIC_PREVIEW_EMPTY);
    for (int c = 0; c < BLOCK_SIZE; c++) {
        for (int r = 0; r < PREVIEW_ROWS; r++) {
            BITMAP *face = next.block[c][r] != 0 ? tile : empty;
            blit(face, screen, 0, 0, PREVIEW_X + TILE_SIZE * c, PREVIEW_Y + TILE_SIZE * r,
                 TILE_SIZE, TILE_SIZE);
        }
    }
}

void Draw_Map()
{
    clear_to_color(buffer, COL_BLACK);
    for (int c = 0; c < MAP_W; c++) {
        for (int r = 0; r < MAP_H; r++) {
            int v = Game.map[c][r];
            if (v >= 1 && v <= 8)
                draw_sprite(buffer, DataBitmap(TILE_1 + v - 1), TILE_SIZE * c, TILE_SIZE * r);
        }
    }
    if (ghost_piece) DrawGhost();
    for (int c = 0; c < BLOCK_SIZE; c++) {
        for (int r = 0; r < BLOCK_SIZE; r++) {
            int v = Game.block[c][r];
            int x = Game.block_x + c;
            int y = Game.block_y + r;
            // Cells outside the well (only a damaged record has them) are not drawn.
            if (v >= 1 && v <= 8 && x >= 0 && x < MAP_W && y >= 0 && y < MAP_H) {
                draw_sprite(buffer, DataBitmap(TILE_1 + v - 1), TILE_SIZE * x, TILE_SIZE * y);
            }
        }
    }
    blit(buffer, screen, 0, 0, WELL_X, WELL_Y, MAP_W * TILE_SIZE, MAP_H * TILE_SIZE);

    DrawNumber(Game.score, 42);
    DrawNumber(Game.total_lines / 10, 66);
    DrawNumber(Game.lines, 90);
    DrawNumber(Game.pieces, 114);
}
