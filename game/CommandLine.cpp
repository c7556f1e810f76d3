// SPDX-License-Identifier: MIT
// The game's command line: its options, and the usage text that --help prints.
#include "CommandLine.h"

#include <cstring>

#include "Display.h"

namespace {

// A whole number from MIN_SCALE to MAX_SCALE, nothing else.
bool ParseScale(const char *s, int &scale)
{
    if (s == nullptr || std::strlen(s) != 1 || s[0] < '0' + MIN_SCALE || s[0] > '0' + MAX_SCALE)
        return false;
    scale = s[0] - '0';
    return true;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char *const argv[])
{
    CommandLine line;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        const char *scale_value = nullptr;
        bool has_scale = false;
        if (std::strcmp(arg, "--nosound") == 0) {
            line.nosound = true;
        } else if (std::strcmp(arg, "--fullscreen") == 0) {
            line.fullscreen = true;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            line.action = CommandLine::Action::Help;
            return line;
        } else if (std::strcmp(arg, "--version") == 0) {
            line.action = CommandLine::Action::Version;
            return line;
        } else if (std::strcmp(arg, "--scale") == 0) {
            has_scale = true;
            if (i + 1 < argc) scale_value = argv[++i];
        } else if (std::strncmp(arg, "--scale=", 8) == 0) {
            has_scale = true;
            scale_value = arg + 8;
        } else {
            line.action = CommandLine::Action::Refuse;
            line.error = std::string("unknown option '") + arg + "'";
            return line;
        }
        if (has_scale && !ParseScale(scale_value, line.scale)) {
            line.action = CommandLine::Action::Refuse;
            line.error = "--scale takes a whole number from 1 to 4";
            return line;
        }
        if (has_scale) line.scale_given = true;
    }
    return line;
}

const char *UsageText()
{
    return "Usage: quorvex [--nosound] [--scale N] [--fullscreen]\n"
           "       quorvex --help | --version\n"
           "Quorvex Vastrelon v2.0, a falling-block puzzle game.\n"
           "\n"
           "Options:\n"
           "  --nosound     play without a sound device: no sound effects and no music\n"
           "                (the options show Sound Off and Music Off)\n"
           "  --scale N     show the game N times larger, N = 1 to 4 (default 1), or\n"
           "                as large as fits the screen (with a message on standard\n"
           "                error); the mouse works at every scale and F3 still saves\n"
           "                640x480\n"
           "  --fullscreen  use the whole screen, the game centred in it at the largest\n"
           "                scale that fits (or at --scale N where that fits); where the\n"
           "                display driver does not allow it, a window (with a message\n"
           "                on standard error)\n"
           "  --help        show this help and exit\n"
           "  --version     show the version and exit\n"
           "\n"
           "Keys: Left/Right move, Up turn, Down lower, Space drop, P pause (C continues),\n"
           "F1 help, F2 leave the game, F3 screenshot, F5/F6 save/load the game,\n"
           "Esc leave the game or the screen (on the title screen: quit). An Esc that left\n"
           "a screen must be released before it acts again. Losing the window's focus\n"
           "during play pauses the game as P does.\n"
           "\n"
           "Files, in the working directory:\n"
           "  quorvex.hsc   the fifteen best results\n"
           "  quorvex.cfg   the settings kept between runs: sound and music on or off,\n"
           "                both volumes, the starting stage and rows (written at exit;\n"
           "                a missing or damaged file gives the defaults)\n"
           "  *.svg         saved games\n"
           "  quorvex.pcx   the last screenshot\n"
           "\n"
           "The window's close button and the signals TERM, INT and HUP end the game the\n"
           "normal way, from any screen: the table and the settings are written, status 0.\n";
}
