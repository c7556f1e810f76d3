// SPDX-License-Identifier: MIT
// Writers for MOD, S3M and XM byte images (and Unreal package wrappers), for tests and the loading benchmark.
#ifndef QVMOD_MODULE_WRITERS_H
#define QVMOD_MODULE_WRITERS_H

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using ModuleImage = std::vector<unsigned char>;

// ------------------------------------------------------------------ MOD

struct ModCell {
    int sample = 0;  // 0..255 (the file has room for 8 bits)
    int period = 0;  // 12 bits
    int effect = 0;  // 4 bits
    int param = 0;
};

struct ModSampleSpec {
    std::vector<signed char> data;  // written after the patterns
    int length_words = -1;          // -1: data.size() / 2
    int finetune = 0;               // the raw byte
    int volume = 64;
    int repeat_start_words = 0;
    int repeat_length_words = 1;  // 1 = no loop
};

struct ModSpec {
    std::string title;
    int samples = 31;                // 15 or 31
    std::string signature = "M.K.";  // 31 samples only
    int channels = 4;                // cells per row written
    int song_length = 1;
    int restart = 0;
    std::array<unsigned char, 128> orders{};
    std::vector<std::vector<ModCell>> patterns;  // each 64 x channels cells, row by row
    std::vector<ModSampleSpec> sample_list;      // up to `samples`; the rest are empty
};

ModuleImage write_mod(const ModSpec &desc);

// ------------------------------------------------------------------ S3M

struct S3mEntry {
    int channel = 0;  // source channel 0..31
    int note = -1;    // -1: no note/instrument bytes
    int instrument = 0;
    int volume = -1;   // -1: no volume byte
    int command = -1;  // -1: no command bytes
    int param = 0;
};

struct S3mPattern {
    std::array<std::vector<S3mEntry>, 64> rows;
    ModuleImage raw;  // when not empty, written instead of the rows (after the length word)
};

struct S3mSampleSpec {
    int type = 1;      // 1 sample; anything else is not loaded
    ModuleImage data;  // frames exactly as stored
    bool sixteen_bit = false;
    bool loop = false;
    uint32_t length = UINT32_MAX;  // frames; UINT32_MAX: from data
    uint32_t loop_start = 0;
    uint32_t loop_end = 0;
    int volume = 64;
    uint32_t c2spd = 8363;
    bool tag = true;  // "SCRS"
};

struct S3mSpec {
    std::string title;
    std::vector<int> orders;  // bytes, 254/255 markers allowed
    std::array<unsigned char, 32> channel_settings;
    int speed = 6;
    int tempo = 125;
    int global_volume = 64;
    int sample_format = 2;  // 1 signed, 2 unsigned
    bool pan_table = false;
    std::array<unsigned char, 32> pans{};
    std::vector<S3mPattern> patterns;
    std::vector<S3mSampleSpec> sample_list;
    int header_patterns = -1;  // -1: patterns.size()
    S3mSpec();
};

ModuleImage write_s3m(const S3mSpec &desc);

// ------------------------------------------------------------------ XM

struct XmCell {
    int note = 0;
    int instrument = 0;
    int volume = 0;
    int effect = 0;
    int param = 0;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;  // rows x channels; empty: all empty (packed size 0)
    ModuleImage raw;            // when not empty, written as the packed data
};

struct XmSampleSpec {
    std::vector<int> frames;  // signed values (8- or 16-bit), delta-coded by the writer
    ModuleImage raw;          // when not empty, written as stored (already delta-coded)
    bool sixteen_bit = false;
    int loop_type = 0;         // 1 forward, 2 ping-pong
    uint32_t loop_start = 0;   // bytes
    uint32_t loop_length = 0;  // bytes
    int volume = 64;
    int finetune = 0;
    int panning = 128;
    int relative_note = 0;
};

struct XmEnvelope {
    std::vector<std::pair<int, int>> points;  // (tick, value)
    int count = -1;                           // points written as the count; -1: points.size()
    int flags = 0;
    int sustain = 0;
    int loop_start = 0;
    int loop_end = 0;
};

struct XmInstrument {
    std::vector<XmSampleSpec> samples;
    std::array<unsigned char, 96> map{};
    XmEnvelope volume_env;
    XmEnvelope pan_env;
    int vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
    int fadeout = 0;
    uint32_t size = 0;  // instrument header size; 0: 263 (29 without samples)
};

struct XmSpec {
    std::string title;
    int channels = 4;
    std::vector<int> orders{0};
    int song_length = -1;  // -1: orders.size()
    int restart = 0;
    bool linear = true;
    int speed = 6;
    int bpm = 125;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
    int header_patterns = -1;     // -1: patterns.size()
    int header_instruments = -1;  // -1: instruments.size()
};

ModuleImage write_xm(const XmSpec &desc);
// One packed cell as FastTracker 2 writes it (mask byte unless all five fields are present).
ModuleImage pack_xm_cell(const XmCell &c);

// ------------------------------------------------------------------ Unreal packages

// An Unreal package tag, filler up to `at`, then the module.
ModuleImage wrap_unreal(const ModuleImage &module, int at);

// ------------------------------------------------------------------ realistic modules

// Modules of realistic size and content (varied notes, effects, looping samples), the same
// for the same seed: for the loading benchmark and the round-trip tests.
ModSpec realistic_mod(unsigned seed, int patterns, int channels, int sample_bytes);
// A four-channel module that plays like a song: notes in time on bass, lead, chord and drum
// channels, ordinary effects, looping full-scale waveforms, no jumps. For the rendering
// benchmark and the level checks.
ModSpec song_mod(unsigned seed, int patterns);
// The same for any number of channels as an XM: bass, lead, pad, drum and hat channels in turn
// (further ones an octave up), with envelopes, key-offs, forward, ping-pong and unlooped samples.
XmSpec song_xm(unsigned seed, int patterns, int channels);
S3mSpec realistic_s3m(unsigned seed, int patterns, int channels, int sample_frames);
XmSpec realistic_xm(unsigned seed, int patterns, int channels, int instruments, int sample_frames);

// ------------------------------------------------------------------ probe songs

// Short four-channel songs (about 23 s) that each put one family of effects, the volume column,
// the envelopes or the instrument rules to work over held tones, a bass and a drum, for comparing
// players feature by feature. Named "family.mod", ".s3m" or ".xm"; "mod-clicks.mod" and
// "xm-clicks.xm" are built to click (smooth waves, volume jumps, note starts at a wave's peak,
// cuts, offsets and key-offs), for comparing how players take the clicks out.
std::vector<std::pair<std::string, ModuleImage>> probe_modules();

#endif
