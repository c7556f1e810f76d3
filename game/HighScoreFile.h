// SPDX-License-Identifier: MIT
// The high-score table's 480-byte file quorvex.hsc, shared safely by copies of the game that play
// in one folder.
#ifndef QUORVEX_HIGHSCOREFILE_H
#define QUORVEX_HIGHSCOREFILE_H

// Reads the table from a file that exists; entries past a short file's end are zero, and a file
// too short for one whole entry gives the default table. False if it cannot be opened.
bool ReadHighScoreFile(const char *path);
// Writes the table by replacing the file atomically, under the lock copies of the game share;
// false (and the old file intact) on failure. `on_wait` is called when another copy holds the
// lock, before waiting for it.
bool WriteHighScoreFile(const char *path, void (*on_wait)() = nullptr);
// The exit's write: under the same lock, merges what is on disk now (another copy's new scores)
// into the table, then writes it. Should the file change between the reading and the writing
// (a copy that took too long to write made this one give up waiting for the lock), it is read
// and merged again, so that neither copy's entries are lost.
bool MergeHighScoreFile(const char *path);

#endif
