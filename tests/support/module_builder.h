// SPDX-License-Identifier: MIT
// Modules for the tests: small ones built in memory (allocated the way loaders do, so destroy_mod frees them), their owner, and loading a file image.
#ifndef QVMOD_TEST_MODULE_BUILDER_H
#define QVMOD_TEST_MODULE_BUILDER_H

#include <memory>
#include <vector>

#include "qvmod.h"

struct ModuleShape {
    int channels = 4;
    int rows = 4;
    int patterns = 1;
    int orders = 1;
    int samples = 2;
    int instruments = 0;
    int flags = 0;
    int speed = 6;
    int bpm = 125;
    int global_volume = 64;
    int sample_frames = 1000;
};

// Orders play patterns 0, 1, ... (wrapping); every sample is 8-bit, silent, volume 64,
// c2spd 8363 (period modules) or 128 (note modules), pan 128; instruments map every note to
// sample 0. Channel pans alternate 64 / 192.
QVMOD *build_module(const ModuleShape &shape);

// Sample s becomes a sine wave of `period` frames at amplitude 0..127, looped forwards over its
// whole length when `loop`.
void fill_sine_sample(QVMOD *m, int s, int amplitude, int period, bool loop);

// Renders a song to its end through the render API with the given flags and setup; interleaved
// stereo.
std::vector<short> render_all(QVMOD *m, int rate, int flags = 0,
                              void (*setup)(QVMOD_RENDER *) = nullptr);

// The cell at (pattern, row, channel).
NOTE_INFO &cell(QVMOD *m, int pattern, int row, int channel);

// Writes an Allegro datafile at path: `module` (QVM bytes) as a "QVM " object, then, when
// data_after is given, a plain data object of its characters. False when it cannot be written.
bool write_module_datafile(const char *path, const std::vector<unsigned char> &module,
                           const char *data_after = nullptr);

// Owns a module for a test's length; the one owner of modules in the tests.
struct ModuleDeleter {
    void operator()(QVMOD *m) const { destroy_mod(m); }
};
using ModuleHolder = std::unique_ptr<QVMOD, ModuleDeleter>;

// The module load_mod makes of a file holding `bytes` (null when it refuses them).
ModuleHolder load_image(const std::vector<unsigned char> &bytes);

#endif
