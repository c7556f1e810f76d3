// Screen-free parts of the high-score screens: qualification and insertion, name entry, table rows.
#ifndef QUORVEX_HIGHSCORETABLE_H
#define QUORVEX_HIGHSCORETABLE_H

#include "Quorvex.h"

// Index the score would take in HighScores (below every equal score), or -1 when it is not
// strictly above the last entry's score.
int HighScorePlace(int32_t score);

// Makes room for the finished game's result and fills in its numbers (score, stage reached,
// lines + 1, pieces + 1) with an empty name. Returns the entry's index, or -1 (table unchanged)
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

// The five columns of one table row as drawn: rank and name, score, level, lines, pieces.
struct HighScoreRow {
    char name[40];
    char score[16];
    char level[16];
    char lines[16];
    char pieces[16];
};

// Formats entry `index` (0-based). The name is read within its 16 bytes; a byte that is not
// printable ASCII (only a damaged file holds one) is shown as '?'.
HighScoreRow FormatHighScoreRow(const HighScoreEntry &entry, int index);

#endif
