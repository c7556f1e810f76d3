// The high-score table's 480-byte file quorvex.hsc, shared safely by copies of the game that play
// in one folder.
#ifndef QUORVEX_HIGHSCOREFILE_H
#define QUORVEX_HIGHSCOREFILE_H

// Reads the table from a file that exists; entries past a short file's end are zero. False if it
// cannot be opened.
bool ReadHighScoreFile(const char *path);
// Writes the table by replacing the file atomically, under the lock copies of the game share;
// false (and the old file intact) on failure.
bool WriteHighScoreFile(const char *path);
// The exit's write: under the same lock, merges what is on disk now (another copy's new scores)
// into the table, then writes it.
bool MergeHighScoreFile(const char *path);

#endif
