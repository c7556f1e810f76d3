// The settings kept between runs in quorvex.cfg: sound and music, volumes, starting stage and rows.
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
//
// Lines outside the [quorvex] section, comments (# or ;), unknown keys and values out of range are
// ignored; a setting the file does not give validly keeps its current value.

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
