// SPDX-License-Identifier: MIT
// The game's command line: its options, and the usage text that --help prints.
#ifndef QUORVEX_COMMANDLINE_H
#define QUORVEX_COMMANDLINE_H

#include <string>

struct CommandLine {
    enum class Action {
        Play,     // start the game with the options below
        Help,     // print the usage on standard output, status 0
        Version,  // print the version on standard output, status 0
        Refuse    // print `error` and the usage on standard error, status 2
    };
    Action action = Action::Play;
    bool nosound = false;      // --nosound: no sound device at all
    bool fullscreen = false;   // --fullscreen: the whole screen where the driver allows it
    int scale = 1;             // --scale N: the window N times larger, 1..4
    bool scale_given = false;  // --scale was given (else a full screen picks the largest that fits)
    std::string error;         // why the command line was refused
};

CommandLine ParseCommandLine(int argc, const char *const argv[]);

// The usage: synopsis, options, keys, files and how to quit.
const char *UsageText();

constexpr int STATUS_BAD_COMMAND_LINE = 2;

#endif
