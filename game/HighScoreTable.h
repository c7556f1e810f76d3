// SPDX-License-Identifier: MIT
// The high-score table: its record, the table in memory and its screen-free parts (qualification
// and insertion, merging, name entry, table rows).
#ifndef QUORVEX_HIGHSCORETABLE_H
#define QUORVEX_HIGHSCORETABLE_H

#include <cstddef>
#include <cstdint>

#include "Quorvex.h"

// ---------------------------------------------------------------------------------------------
// The table's record: a file format (quorvex.hsc holds the 15 records, 480 bytes)
// ---------------------------------------------------------------------------------------------

constexpr int HIGH_SCORE_COUNT = 15;
constexpr int HIGH_SCORE_NAME_SIZE = 16;
constexpr int HIGH_SCORE_NAME_MAX = 14;  // characters a player may type

struct HighScoreEntry {
    int32_t score;
    int32_t level;  // stage reached
    int32_t lines;
    int32_t pieces;
    char name[HIGH_SCORE_NAME_SIZE];  // NUL-terminated unless all 16 bytes are used
};

constexpr size_t HIGH_SCORE_ENTRY_SIZE = 32;
constexpr size_t HIGH_SCORE_FILE_SIZE = HIGH_SCORE_COUNT * HIGH_SCORE_ENTRY_SIZE;
static_assert(sizeof(HighScoreEntry) == HIGH_SCORE_ENTRY_SIZE, "a table entry is 32 bytes");
static_assert(offsetof(HighScoreEntry, score) == 0, "entry layout");
static_assert(offsetof(HighScoreEntry, level) == 4, "entry layout");
static_assert(offsetof(HighScoreEntry, lines) == 8, "entry layout");
static_assert(offsetof(HighScoreEntry, pieces) == 12, "entry layout");
static_assert(offsetof(HighScoreEntry, name) == 16, "entry layout");

// The widest score and piece count the table's columns show (seven digits): the table stores no
// more, and a saved game holding more is not loaded.
constexpr int32_t HIGH_SCORE_SHOWN_MAX = 9999999;

// The table, best first.
extern HighScoreEntry HighScores[HIGH_SCORE_COUNT];

// Default entry: score 0, level 1, no lines or pieces, the name filling all 16 bytes.
#define DEFAULT_HIGH_SCORE_NAME "Quorvex Champion"

void SetDefaultHighScores();
void SetDefaultHighScores(HighScoreEntry (&table)[HIGH_SCORE_COUNT]);
// Copies an entry's name into out (at least 17 bytes), never reading past the 16-byte field.
void HighScoreName(const HighScoreEntry &entry, char *out);

// Index the score would take in HighScores (below every equal score), or -1 when it is not
// strictly above the last entry's score.
int HighScorePlace(int32_t score);

// Makes room for the finished game's result and fills in its numbers (score, stage reached,
// lines + 1, pieces + 1, the score and pieces at most HIGH_SCORE_SHOWN_MAX) with an empty name. Returns the entry's index, or -1 (table unchanged)
// when the result does not qualify.
int InsertHighScore(const GameState &game);

// Merges another copy's table (read back from the file) into HighScores: the best 15 of both, as
// if this copy's entries had been entered after the other's, so equal scores keep the other's
// entries above; an entry both tables hold counts once.
void MergeHighScores(const HighScoreEntry (&other)[HIGH_SCORE_COUNT]);

// The name typed in the entry box, kept NUL-terminated in a caller's buffer of at least
// HIGH_SCORE_NAME_MAX + 1 bytes.
enum class NameKey {
    Appended,  // a printable character was added
    Erased,    // Backspace removed the last character
    Finished,  // Enter ended the entry
    Ignored    // nothing changed
};

// One key of the name entry: c is the character read (low 8 bits of readkey), the flags are the
// key states of Backspace and Enter. A printable character is tested first, then Backspace, then
// Enter.
NameKey NameEntryKey(char *name, int &length, int c, bool backspace_down, bool enter_down);

// Stores the name typed at the name entry in the entry's 16-byte field. A name left empty, or of
// spaces only, would show as a blank row: the default name stands in for it.
void SetHighScoreName(HighScoreEntry &entry, const char *typed);

// The five columns of one table row as drawn: rank and name, score, level, lines, pieces.
struct HighScoreRow {
    char name[40];
    char score[16];
    char level[16];
    char lines[16];
    char pieces[16];
};

// Formats entry `index` (0-based). The name is read within its 16 bytes; a byte that is not
// printable ASCII (only a damaged file holds one) is shown as '?'. A number outside what its
// column shows (from a damaged file) is shown as the nearest it does: from 0 up to 999 for the
// level, 99999 for the lines, HIGH_SCORE_SHOWN_MAX for the score and pieces.
HighScoreRow FormatHighScoreRow(const HighScoreEntry &entry, int index);

// The columns of the table screen, in HighScoreRow's order.
enum HighScoreColumn { COLUMN_NAME, COLUMN_SCORE, COLUMN_LEVEL, COLUMN_LINES, COLUMN_PIECES };
// The left edge at which a column's text `shown` is drawn in font f.
int HighScoreColumnX(HighScoreColumn column, FONT *f, const char *shown);

#endif
