// SPDX-License-Identifier: MIT
// The settings kept between runs in quorvex.cfg: sound and music, volumes, starting stage and rows,
// the ghost piece, the pad and the keys.
#ifndef QUORVEX_SETTINGSFILE_H
#define QUORVEX_SETTINGSFILE_H

#include <cstddef>
#include <string>

// The file is text in the library's configuration syntax, for example:
//
//     # Quorvex Vastrelon settings, written by the game at exit
//     [quorvex]
//     sound = on              on | off
//     music = on              on | off
//     sound_volume = 200      0..250, a multiple of 10
//     music_volume = 200      0..250, a multiple of 10
//     start_level = 0         0..20
//     start_blocks = 0        0..10
//     ghost_piece = off       on | off
//
//     [joystick]              buttons are numbered from 1
//     turn = 1                1..32, and so drop (2), leave (7), pause (8), select (1)
//     dead_zone = 25          0..90, % of a stick's travel
//     repeat_delay = 660      100..2000 ms before a held direction repeats
//     repeat_interval = 40    10..1000 ms between repeats
//
//     [keys]                  an action = a key name (KeyConfigName), in any case
//     left = LEFT
//     drop = SPACE            ... one line for each action
//
// Lines outside these sections, comments (# or ;), unknown keys and values out of range are
// ignored; a setting the file does not give validly keeps its current value, and an action whose
// key is missing, unknown, Esc or F11, or asked for by another action too gets its default key.

// The settings' text as WriteSettingsFile stores it.
std::string FormatSettings();
// Takes the valid settings of a file's text into the settings globals.
void ParseSettings(const char *contents, size_t size);

// Reads the file if it exists; a missing, short or damaged file changes nothing and says nothing.
// Only its first 64 KB are read, up to the last whole line within them.
void ReadSettingsFile(const char *path);
// Writes the file by replacing it atomically; false (and the old file intact) on failure.
bool WriteSettingsFile(const char *path);

#endif
