// SPDX-License-Identifier: MIT
// A module played through the tick engine and Allegro's mixer, driven by hand, into a WAV file.
#ifndef QVMOD_MODULE_RENDER_H
#define QVMOD_MODULE_RENDER_H

#include <string>

#include "qvmod.h"

// Plays `module` from its start (looping as play_mod's `loop` says) and writes its first `frames`
// frames as 16-bit stereo at `rate` Hz, the rate manual_mixer::start was given; install_mod must
// have succeeded. False with the reason in `error` when the file cannot be written.
bool render_wav(QVMOD *module, bool loop, long frames, int rate, const char *path,
                std::string &error);

// Frames of `ms` milliseconds at `rate` Hz.
long frames_of(long ms, int rate);

#endif
