// SPDX-License-Identifier: MIT
// Saved-game files: the 958-byte layout, its checks, and reading and writing whole files.
#ifndef QUORVEX_SAVEDGAMEFILE_H
#define QUORVEX_SAVEDGAMEFILE_H

#include <cstddef>
#include <cstdint>

#include "Board.h"
#include "HighScoreTable.h"
#include "Quorvex.h"

constexpr size_t GAME_SIGNATURE_SIZE = sizeof(GAMESG);  // the text and its NUL
constexpr size_t SAVED_GAME_SIZE = GAME_STATE_SIZE + GAME_SIGNATURE_SIZE;
static_assert(GAME_SIGNATURE_SIZE == 46, "the signature is 45 characters and a NUL");
static_assert(SAVED_GAME_SIZE == 958, "a saved game is 958 bytes");

// Limits a record must keep to be loaded. Play never goes past them: the fall delay lies between
// its floor after a lock and its value at stage 0, and the stage limit ends every game before
// total_lines reaches 1990.
constexpr int32_t SAVED_DELAY_MIN = FALL_DELAY_MIN;
constexpr int32_t SAVED_DELAY_MAX = FallDelay(0);
constexpr int32_t SAVED_STAGE_MAX = STAGE_LIMIT;
constexpr int32_t SAVED_TOTAL_LINES_MAX = 10 * (SAVED_STAGE_MAX + 1) - 1;
// A loaded score and piece count fit the high-score table's columns; a real game ends far below
// (about five million points at the last stage), and play cannot overflow from there.
constexpr int32_t SAVED_COUNTER_MAX = HIGH_SCORE_SHOWN_MAX;

// The file image of a record: the record's fields little-endian, then the signature.
void EncodeSavedGame(const GameState &game, unsigned char out[SAVED_GAME_SIZE]);

// True when the record holds only values play can produce: ids of the catalogue, the falling
// piece built exactly as its id says and lying wholly inside the well on empty cells, colour
// codes 0..8, the fall delay and the counters within the limits above.
bool IsValidGameState(const GameState &game);

// Decodes a whole file. False (out untouched) unless it is exactly SAVED_GAME_SIZE bytes, ends
// with the signature, and holds a valid record.
bool DecodeSavedGame(const unsigned char *bytes, size_t size, GameState &out);

// Writes the game to path so that a failure never leaves a damaged file in place of an old one.
bool WriteSavedGame(const char *path, const GameState &game);

enum class LoadResult { Loaded, CannotOpen, NotASavedGame };
// Reads and checks a saved game; out is changed only when the result is Loaded.
LoadResult ReadSavedGame(const char *path, GameState &out);

// False for a name a game is not saved under: one whose name part, without its extension, is
// empty or starts with a dot (a hidden file, or what is left of a name whose letters the file
// selector could not take).
bool IsUsableGameName(const char *path);

// Remembers the file-name part of path in current_game_name when it fits (19 characters);
// a longer name is not remembered and the previous one stays. True when it was stored.
bool RememberGameName(const char *path);

#endif
