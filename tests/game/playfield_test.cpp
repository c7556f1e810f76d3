// SPDX-License-Identifier: MIT
// Drawing the play field on memory bitmaps with the real datafile.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Board.h"
#include "GameData.h"
#include "PlayField.h"
#include "Quorvex.h"
#include "Rules.h"

namespace {

constexpr int BACKGROUND = 99;  // a colour the drawing never uses, to see what was painted

class PlayField : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (data == nullptr) {
            data = load_datafile(QVX_DATAFILE);
            ASSERT_NE(data, nullptr) << QVX_DATAFILE;
        }
    }
    void SetUp() override
    {
        screen = create_bitmap(640, 480);
        buffer = create_bitmap(200, 400);
        clear_to_color(screen, BACKGROUND);
        std::memset(&Game, 0, sizeof Game);
        sound_on = 0;
    }
    void TearDown() override
    {
        destroy_bitmap(screen);
        destroy_bitmap(buffer);
        screen = nullptr;
        buffer = nullptr;
    }
    // True when the 20x20 cell at (x, y) of the screen shows the picture as a sprite on black.
    static bool ShowsSprite(int item, int x, int y)
    {
        BITMAP *tile = DataBitmap(item);
        for (int j = 0; j < TILE_SIZE; j++)
            for (int i = 0; i < TILE_SIZE; i++) {
                int want = getpixel(tile, i, j);
                if (getpixel(screen, x + i, y + j) != want) return false;
            }
        return true;
    }
    // True when every non-transparent pixel of the picture shows at (x, y).
    static bool ShowsSpriteOver(int item, int x, int y)
    {
        BITMAP *tile = DataBitmap(item);
        for (int j = 0; j < tile->h; j++)
            for (int i = 0; i < tile->w; i++) {
                int want = getpixel(tile, i, j);
                if (want != 0 && getpixel(screen, x + i, y + j) != want) return false;
            }
        return true;
    }
    static bool AllColour(int x, int y, int w, int h, int colour)
    {
        for (int j = 0; j < h; j++)
            for (int i = 0; i < w; i++)
                if (getpixel(screen, x + i, y + j) != colour) return false;
        return true;
    }
};

TEST_F(PlayField, EmptyWellIsBlackWithOnlyThePiece)
{
    Generate_Block(7);
    Game.block_x = 0;
    Game.block_y = 0;
    Game.map[5][19] = 2;
    Game.map[6][19] = 9;  // not a colour code: draws nothing
    Draw_Map();
    EXPECT_TRUE(ShowsSprite(TILE_7, 40, 40)) << "column 0 of the piece at screen x 40";
    EXPECT_TRUE(ShowsSprite(TILE_7, 100, 40));
    EXPECT_TRUE(ShowsSprite(TILE_2, 40 + 100, 420)) << "row 19 at screen y 420";
    EXPECT_TRUE(AllColour(160, 420, 20, 20, COL_BLACK)) << "code 9 leaves the cell black";
    EXPECT_TRUE(AllColour(40, 60, 200, 360, COL_BLACK));
    EXPECT_EQ(getpixel(screen, 39, 40), BACKGROUND) << "the well starts at x 40";
    EXPECT_EQ(getpixel(screen, 240, 439), BACKGROUND) << "and ends at x 239";
    EXPECT_EQ(getpixel(screen, 100, 440), BACKGROUND) << "and at y 439";
}

TEST_F(PlayField, PanelNumbersEndAtTheSameEdgeUpToSevenDigits)
{
    int width = text_length(font, "0");
    Game.score = 1234567;
    Draw_Map();
    EXPECT_EQ(getpixel(screen, 550 - 7 * width - 1, 42), BACKGROUND);
    EXPECT_NE(getpixel(screen, 550 - 7 * width, 42), BACKGROUND);

    clear_to_color(screen, BACKGROUND);
    Game.score = 12345678;
    Draw_Map();
    EXPECT_EQ(getpixel(screen, 550 - 8 * width - 1, 42), BACKGROUND)
        << "one character further left";
    EXPECT_NE(getpixel(screen, 550 - 8 * width, 42), BACKGROUND);
}

TEST_F(PlayField, PreviewOfAStraightPieceFillsTheTopRow)
{
    // Find a seed whose first draw is a straight piece (shape 7 or 8).
    unsigned seed = 1;
    for (;; seed++) {
        srand(seed);
        if (Random(8) + 1 >= 7) break;
    }
    srand(seed);
    Game.next_element = 1;
    Generate_New();
    DrawPreview();
    ASSERT_GE(Game.next_element, 7);
    int tile = TILE_1 + Game.next_element - 1;
    for (int c = 0; c < 4; c++) {
        BITMAP *t = DataBitmap(tile);
        BITMAP *empty = DataBitmap(PIC_PREVIEW_EMPTY);
        for (int j = 0; j < 20; j++)
            for (int i = 0; i < 20; i++) {
                ASSERT_EQ(getpixel(screen, 360 + 20 * c + i, 185 + j), getpixel(t, i, j));
                ASSERT_EQ(getpixel(screen, 360 + 20 * c + i, 205 + j), getpixel(empty, i, j));
            }
    }
}

TEST_F(PlayField, FramesAroundTheWellAndPanels)
{
    Draw_Frame();
    EXPECT_TRUE(ShowsSpriteOver(PIC_FRAME_TL, 20, 20));
    EXPECT_TRUE(ShowsSpriteOver(PIC_FRAME_BR, 240, 440));
    EXPECT_TRUE(ShowsSpriteOver(PIC_FRAME_H, 220, 20));
    EXPECT_TRUE(ShowsSpriteOver(PIC_FRAME_V, 20, 420));
    // The title panel's corners are drawn over the ends of its edges.
    EXPECT_TRUE(ShowsSpriteOver(PIC_FRAME_TR, 580, 165));
    EXPECT_TRUE(ShowsSpriteOver(PIC_FRAME_BL, 460, 225));
}

}  // namespace
