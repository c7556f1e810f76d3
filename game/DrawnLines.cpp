// SPDX-License-Identifier: MIT
// Which lines of the game's picture have been drawn on since they were last looked at.
#include "DrawnLines.h"

#include <array>
#include <atomic>
#include <cstdint>

#include "Quorvex.h"

namespace {

BITMAP *watched = nullptr;
void *own_hook = nullptr;  // the bitmap's write hook before it was watched
std::uintptr_t first_line = 0;
std::uintptr_t line_bytes = 1;
// Set by the drawing thread and the library's pointer drawing on the timer thread alike.
std::array<std::atomic<bool>, GAME_H> drawn{};
std::atomic<bool> any_drawn{true};

// The library's own hook for memory bitmaps returns the line's address; this one notes the line
// first. A sub-bitmap shares the hook, so the line is found by its address.
std::uintptr_t NoteDrawnLine(BITMAP *bmp, int line)
{
    const auto address = reinterpret_cast<std::uintptr_t>(bmp->line[line]);
    const std::uintptr_t y = (address - first_line) / line_bytes;  // wraps huge below the first
    if (y < drawn.size()) drawn[y].store(true, std::memory_order_relaxed);
    any_drawn.store(true, std::memory_order_release);
    return address;
}

bool CanWatch(BITMAP *bmp)
{
#ifdef ALLEGRO_NO_ASM
    // The routines that draw sprites take a short cut past the hook on plain memory bitmaps, so
    // the bitmap is marked as a system bitmap, which they draw on line by line. That mark is only
    // safe in a graphics mode whose driver keeps no system bitmaps of its own (the library hands
    // a system bitmap's destruction to the driver).
    const bool plain_driver = gfx_driver != nullptr &&
                              gfx_driver->create_system_bitmap == nullptr &&
                              gfx_driver->destroy_system_bitmap == nullptr;
    return plain_driver && is_memory_bitmap(bmp) && !is_sub_bitmap(bmp) && bmp->h >= 1 &&
           bmp->h <= static_cast<int>(drawn.size());
#else
    (void)bmp;
    return false;
#endif
}

}  // namespace

void WatchDrawing(BITMAP *bmp)
{
    StopWatchingDrawing();
    if (bmp == nullptr || !CanWatch(bmp)) return;
    watched = bmp;
    own_hook = bmp->write_bank;
    first_line = reinterpret_cast<std::uintptr_t>(bmp->line[0]);
    line_bytes = bmp->h > 1 ? reinterpret_cast<std::uintptr_t>(bmp->line[1]) - first_line : 1;
    if (line_bytes == 0) line_bytes = 1;
    for (auto &line : drawn) line.store(true, std::memory_order_relaxed);
    any_drawn.store(true);
    bmp->write_bank = reinterpret_cast<void *>(NoteDrawnLine);
    bmp->id |= BMP_ID_SYSTEM;
}

void StopWatchingDrawing()
{
    if (watched == nullptr) return;
    watched->id &= ~BMP_ID_SYSTEM;
    watched->write_bank = own_hook;
    watched = nullptr;
}

bool TakeAnyLineDrawn()
{
    if (watched == nullptr) return true;
    return any_drawn.exchange(false, std::memory_order_acq_rel);
}

bool TakeLineDrawn(int y)
{
    if (watched == nullptr || y < 0 || y >= static_cast<int>(drawn.size())) return true;
    return drawn[static_cast<std::size_t>(y)].exchange(false, std::memory_order_acq_rel);
}
