// SPDX-License-Identifier: MIT
// The library's ground floor (not installed): the constants, note grids and module-record basics
// that the tick engine and the loaders share.
#ifndef QVMOD_MODULE_RECORD_H
#define QVMOD_MODULE_RECORD_H

#include "qvmod.h"

// ------------------------------------------------------------------ constants

constexpr int kMaxVolume = 64;
constexpr int kMaxPan = 255;
constexpr int kMaxGlobalVolume = 64;
constexpr int kEnvVolumeDefault = 64;  // envelope output while an envelope is off
constexpr int kEnvPanDefault = 32;
constexpr int kDefaultSpeed = 6;  // ticks per row and tempo when a module gives none
constexpr int kDefaultBpm = 125;
constexpr int kDefaultC2spd = 8363;    // untuned period-module sample rate
constexpr int kAmigaClock = 3579546;   // pitch value = kAmigaClock / Amiga period
constexpr int kPanStep = 17;           // a pan nibble 0..15 onto 0..255
constexpr int kFakeSampleFreq = 1000;  // Allegro sample record defaults
constexpr int kSamplePriority = 192;
constexpr int kTrue = -1;  // the player's truth value
constexpr int kFalse = 0;

// ------------------------------------------------------------------ tables

constexpr int kNoteGridSize = 12;
extern const int noteperiod[kNoteGridSize];  // the Amiga periods of one octave
extern const int mod_finetune[16];           // ProTracker finetune -> c2spd

// ------------------------------------------------------------------ the module record

// Formats into qvmod_error, cut to fit.
void qvmod_set_error(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Frees a module and everything it owns, whatever part of it exists: a module no voice plays and
// the player never started (one being built, or one the player has let go of).
void free_module(QVMOD *m);

#endif
