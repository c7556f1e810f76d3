// SPDX-License-Identifier: MIT
// Saved-game files: the 958-byte layout, its checks, and reading and writing whole files.
#include "SavedGameFile.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "LittleEndian.h"
#include "SafeFile.h"

namespace {

constexpr int32_t COLOUR_MAX = 8;

bool InRange(int32_t v, int32_t lo, int32_t hi)
{
    return v >= lo && v <= hi;
}

// The falling piece must be the catalogue's shape for its id: a rotation that does not fit
// rebuilds the shape from the id, and that shape has to stand where the loaded cells stood.
bool PieceMatchesItsId(const GameState &game)
{
    PieceBox piece;
    return LookUpPiece(game.element, piece) &&
           std::memcmp(piece.block, game.block, sizeof piece.block) == 0 &&
           piece.w == game.block_w && piece.h == game.block_h;
}

}  // namespace

void EncodeSavedGame(const GameState &game, unsigned char out[SAVED_GAME_SIZE])
{
    LittleEndianWriter w(out);
    for (const auto &column : game.block)
        for (int32_t cell : column) w.Put(cell);
    w.Put(game.next_element);
    w.Put(game.element);
    for (const auto &column : game.map)
        for (int32_t cell : column) w.Put(cell);
    for (int32_t v : {game.block_x, game.block_y, game.block_w, game.block_h, game.delay,
                      game.score, game.lines, game.total_lines, game.pieces, game.stage}) {
        w.Put(v);
    }
    w.Bytes(GAMESG, GAME_SIGNATURE_SIZE);
}

bool IsValidGameState(const GameState &game)
{
    if (!InRange(game.next_element, 1, 8)) return false;
    if (!IsValidElement(game.element)) return false;
    for (const auto &column : game.map)
        for (int32_t cell : column)
            if (!InRange(cell, 0, COLOUR_MAX)) return false;
    // Every shape touches the first column and row of its box, so the box's corner is in the well.
    if (!InRange(game.block_x, 0, MAP_W - 1) || !InRange(game.block_y, 0, MAP_H - 1)) return false;
    for (int c = 0; c < BLOCK_SIZE; c++) {
        for (int r = 0; r < BLOCK_SIZE; r++) {
            int32_t cell = game.block[c][r];
            if (!InRange(cell, 0, COLOUR_MAX)) return false;
            if (cell != 0 && (game.block_x + c >= MAP_W || game.block_y + r >= MAP_H)) return false;
        }
    }
    if (!PieceMatchesItsId(game)) return false;
    // Play never lets the falling piece overlap the well's cells.
    for (int c = 0; c < BLOCK_SIZE; c++)
        for (int r = 0; r < BLOCK_SIZE; r++)
            if (game.block[c][r] != 0 && game.map[game.block_x + c][game.block_y + r] != 0)
                return false;
    if (!InRange(game.delay, SAVED_DELAY_MIN, SAVED_DELAY_MAX)) return false;
    if (!InRange(game.total_lines, 0, SAVED_TOTAL_LINES_MAX)) return false;
    if (!InRange(game.lines, 0, SAVED_TOTAL_LINES_MAX)) return false;
    if (!InRange(game.stage, 0, SAVED_STAGE_MAX)) return false;
    if (!InRange(game.score, 0, SAVED_COUNTER_MAX)) return false;
    if (!InRange(game.pieces, 0, SAVED_COUNTER_MAX)) return false;
    return true;
}

bool DecodeSavedGame(const unsigned char *bytes, size_t size, GameState &out)
{
    if (size != SAVED_GAME_SIZE) return false;
    if (std::memcmp(bytes + GAME_STATE_SIZE, GAMESG, GAME_SIGNATURE_SIZE) != 0) return false;
    GameState game;
    LittleEndianReader r(bytes);
    for (auto &column : game.block)
        for (int32_t &cell : column) cell = r.Get();
    game.next_element = r.Get();
    game.element = r.Get();
    for (auto &column : game.map)
        for (int32_t &cell : column) cell = r.Get();
    for (int32_t *v : {&game.block_x, &game.block_y, &game.block_w, &game.block_h, &game.delay,
                       &game.score, &game.lines, &game.total_lines, &game.pieces, &game.stage}) {
        *v = r.Get();
    }
    if (!IsValidGameState(game)) return false;
    out = game;
    return true;
}

bool WriteSavedGame(const char *path, const GameState &game)
{
    unsigned char bytes[SAVED_GAME_SIZE];
    EncodeSavedGame(game, bytes);
    return WriteFileAtomically(path, bytes, sizeof bytes);
}

LoadResult ReadSavedGame(const char *path, GameState &out)
{
    FilePtr f = OpenRegularFile(path);
    if (!f) return LoadResult::CannotOpen;
    // One byte more than a saved game, so a longer file shows itself.
    unsigned char bytes[SAVED_GAME_SIZE + 1];
    size_t size = std::fread(bytes, 1, sizeof bytes, f.get());
    if (std::ferror(f.get())) return LoadResult::CannotOpen;
    return DecodeSavedGame(bytes, size, out) ? LoadResult::Loaded : LoadResult::NotASavedGame;
}

bool IsUsableGameName(const char *path)
{
    const char *name = get_filename(path);
    return name[0] != '\0' && name[0] != '.';
}

bool RememberGameName(const char *path)
{
    const char *name = get_filename(path);
    if (std::strlen(name) >= sizeof current_game_name) return false;
    std::strcpy(current_game_name, name);
    return true;
}
