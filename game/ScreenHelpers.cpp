// SPDX-License-Identifier: MIT
// Helpers every screen shares: backgrounds, the footer, frames, shadowed and outlined text, the
// screenshot, the file test and the fatal-error exit.
#include "ScreenHelpers.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Display.h"
#include "GameData.h"
#include "Quorvex.h"
#include "SafeFile.h"

namespace {

constexpr int FOOTER_X = 150, FOOTER_Y = 468;
constexpr int COL_GUI_DISABLED = 8;  // mid grey of the palette, for greyed-out dialog items

}  // namespace

void DrawPatternBox(int pattern, int x1, int y1, int x2, int y2, int border)
{
    drawing_mode(DRAW_MODE_COPY_PATTERN, DataBitmap(pattern), 0, 0);
    rectfill(screen, x1, y1, x2, y2, COL_BLACK);
    solid_mode();
    rect(screen, x1, y1, x2, y2, border);
}

void DrawScreenBackground(int pattern, int border)
{
    DrawPatternBox(pattern, 0, 0, GAME_W - 1, GAME_H - 1, border);
}

void DrawFooter()
{
    textout_ex(screen, font, FOOTER_LINE, FOOTER_X, FOOTER_Y, COL_TEXT, -1);
}

void UseGameDialogColours()
{
    gui_fg_color = COL_WHITE;
    gui_bg_color = COL_BLACK;
    gui_mg_color = COL_GUI_DISABLED;
}

void DrawFrame(int x1, int y1, int x2, int y2, int a, int b)
{
    hline(screen, x1, y1, x2, a);
    hline(screen, x1, y2, x2, b);
    vline(screen, x1, y1, y2, a);
    vline(screen, x2, y1, y2, b);
    hline(screen, x1 + 1, y1 + 1, x2 - 1, a);
    hline(screen, x1 + 1, y2 - 1, x2 - 1, b);
    vline(screen, x1 + 1, y1 + 1, y2 - 1, a);
    vline(screen, x2 - 1, y1 + 1, y2 - 1, b);
}

void Dtextout(BITMAP *bmp, FONT *f, const char *s, int x, int y, int colour, int shadow)
{
    textout_ex(bmp, f, s, x + 1, y + 1, shadow, -1);
    textout_ex(bmp, f, s, x, y, colour, -1);
}

void Dtextout_centre(BITMAP *bmp, FONT *f, const char *s, int x, int y, int colour, int shadow)
{
    textout_centre_ex(bmp, f, s, x + 1, y + 1, shadow, -1);
    textout_centre_ex(bmp, f, s, x, y, colour, -1);
}

// Texts drawn over the well sit over whatever it holds; a one-pixel black outline keeps the
// letters readable over light tiles as well as over the empty well.
void OutlinedText(FONT *f, const char *s, int x, int y, int colour, bool centred)
{
    if (centred) x -= text_length(f, s) / 2;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            if (dx || dy) textout_ex(screen, f, s, x + dx, y + dy, COL_BLACK, -1);
    textout_ex(screen, f, s, x, y, colour, -1);
}

[[noreturn]] void Error(const char *message)
{
    ShutDownDisplay();
    allegro_exit();
    std::printf("Error: %s\n", message);
    std::fflush(stdout);
    std::exit(1);
}

int FileExist(const char *filename)
{
    return file_exists(filename, FA_RDONLY | FA_ARCH, nullptr);
}

namespace {

// A PACKFILE that collects what is written to it, so a picture can be encoded in memory and then
// written like every other file of the game.
struct MemoryOutput {
    std::vector<unsigned char> bytes;

    static MemoryOutput &Of(void *userdata) { return *static_cast<MemoryOutput *>(userdata); }
    static int Close(void *) { return 0; }
    static int NoGet(void *) { return EOF; }
    static int NoUnget(int, void *) { return EOF; }
    static long NoRead(void *, long, void *) { return 0; }
    static int Put(int c, void *userdata)
    {
        Of(userdata).bytes.push_back(static_cast<unsigned char>(c));
        return c;
    }
    static long Write(const void *p, long n, void *userdata)
    {
        const auto *b = static_cast<const unsigned char *>(p);
        Of(userdata).bytes.insert(Of(userdata).bytes.end(), b, b + n);
        return n;
    }
    static int NoSeek(void *, int) { return -1; }
    static int AtEnd(void *) { return 1; }
    static int NoError(void *) { return 0; }
};

PACKFILE_VTABLE memory_output_vtable = {
    MemoryOutput::Close,  MemoryOutput::NoGet, MemoryOutput::NoUnget,
    MemoryOutput::NoRead, MemoryOutput::Put,   MemoryOutput::Write,
    MemoryOutput::NoSeek, MemoryOutput::AtEnd, MemoryOutput::NoError};

void SavePicture(BITMAP *picture, const RGB *pal)
{
    MemoryOutput out;
    PACKFILE *pf = pack_fopen_vtable(&memory_output_vtable, &out);
    if (pf == nullptr) return;
    const bool encoded = save_pcx_pf(pf, picture, pal) == 0;
    pack_fclose(pf);
    if (encoded) WriteFileAtomically(SCREENSHOT_FILE, out.bytes.data(), out.bytes.size());
}

}  // namespace

void TakeScreenshot(const RGB *pal)
{
    // One blit into memory first: saving straight from a video surface locks it per pixel.
    // `screen` is the game's own 640x480 picture at every window scale.
    BITMAP *copy = create_bitmap(GAME_W, GAME_H);
    if (copy != nullptr) {
        scare_mouse();
        blit(screen, copy, 0, 0, 0, 0, GAME_W, GAME_H);
        unscare_mouse();
        SavePicture(copy, pal);
        destroy_bitmap(copy);
        return;
    }
    BITMAP *sub = create_sub_bitmap(screen, 0, 0, GAME_W, GAME_H);
    if (sub == nullptr) return;
    SavePicture(sub, pal);
    destroy_bitmap(sub);
}
