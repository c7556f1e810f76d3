// SPDX-License-Identifier: MIT
// Modules for the tests: small ones built in memory, and loading a file image.
#include "module_builder.h"

#include <cmath>
#include <cstring>

#include <allegro.h>

#include "scratch.h"

QVMOD *build_module(const ModuleShape &s)
{
    QVMOD *m = static_cast<QVMOD *>(qvmod_calloc(sizeof(QVMOD)));
    std::strcpy(m->name, "test module");
    m->channel_count = s.channels;
    m->order_count = s.orders;
    m->pattern_count = s.patterns;
    m->sample_count = s.samples;
    m->instrument_count = s.instruments;
    m->flags = s.flags;
    m->initial_speed = s.speed;
    m->initial_bpm = s.bpm;
    m->initial_global_volume = s.global_volume;
    for (int i = 0; i < s.orders; i++) m->order_table[i] = i % s.patterns;
    for (int i = 0; i < s.channels; i++) m->channel_pan[i] = (i % 2) ? 192 : 64;

    m->sample_info = static_cast<SAMPLE_INFO *>(qvmod_calloc(sizeof(SAMPLE_INFO) * s.samples));
    m->samples = static_cast<SAMPLE *>(qvmod_calloc(sizeof(SAMPLE) * s.samples));
    for (int i = 0; i < s.samples; i++) {
        SAMPLE &spl = m->samples[i];
        spl.bits = 8;
        spl.freq = 1000;
        spl.priority = 192;
        spl.param = -1;
        spl.len = s.sample_frames;
        spl.loop_start = 0;
        spl.loop_end = s.sample_frames;
        spl.data = qvmod_calloc(s.sample_frames);
        std::memset(spl.data, 0x80, s.sample_frames);
        SAMPLE_INFO &si = m->sample_info[i];
        si.length = s.sample_frames;
        si.loop_end = s.sample_frames;
        si.volume = 64;
        si.pan = 128;
        si.c2spd = (s.flags & QVMOD_FLAG_NOTES) ? 128 : 8363;
    }
    if (s.instruments > 0) {
        m->instrument_info =
            static_cast<INSTRUMENT_INFO *>(qvmod_calloc(sizeof(INSTRUMENT_INFO) * s.instruments));
    }
    m->pattern_info = static_cast<PATTERN_INFO *>(qvmod_calloc(sizeof(PATTERN_INFO) * s.patterns));
    for (int p = 0; p < s.patterns; p++) {
        m->pattern_info[p].row_count = s.rows;
        m->pattern_info[p].notes =
            static_cast<NOTE_INFO *>(qvmod_calloc(sizeof(NOTE_INFO) * s.rows * s.channels));
    }
    return m;
}

NOTE_INFO &cell(QVMOD *m, int pattern, int row, int channel)
{
    return *get_note(m, pattern, row, channel);
}

bool write_module_datafile(const char *path, const std::vector<unsigned char> &module,
                           const char *data_after)
{
    PACKFILE *f = pack_fopen(path, F_WRITE_NOPACK);
    if (!f) return false;
    pack_mputl(DAT_MAGIC, f);
    pack_mputl(data_after ? 2 : 1, f);
    pack_mputl(QVMOD_DAT_ID, f);
    PACKFILE *chunk = pack_fopen_chunk(f, FALSE);
    if (!module.empty()) pack_fwrite(module.data(), static_cast<long>(module.size()), chunk);
    f = pack_fclose_chunk(chunk);
    if (data_after) {
        pack_mputl(DAT_DATA, f);
        chunk = pack_fopen_chunk(f, FALSE);
        pack_fwrite(data_after, static_cast<long>(std::strlen(data_after)), chunk);
        f = pack_fclose_chunk(chunk);
    }
    return pack_fclose(f) == 0;
}

ModuleHolder load_image(const std::vector<unsigned char> &bytes)
{
    qvx_test::TempFile f(bytes);
    return ModuleHolder(load_mod(f.path()));
}

void fill_sine_sample(QVMOD *m, int s, int amplitude, int period, bool loop)
{
    SAMPLE &spl = m->samples[s];
    auto *data = static_cast<unsigned char *>(spl.data);
    for (unsigned long i = 0; i < spl.len; i++)
        data[i] = static_cast<unsigned char>(
            128 + std::lround(amplitude * std::sin(2 * M_PI * static_cast<double>(i) / period)));
    m->sample_info[s].loop_type = loop ? QVMOD_LOOP_FORWARD : 0;
    spl.loop_start = 0;
    spl.loop_end = loop ? spl.len : 0;
}

std::vector<short> render_all(QVMOD *m, int rate, int flags, void (*setup)(QVMOD_RENDER *))
{
    std::vector<short> out;
    QVMOD_RENDER *r = qvmod_render_open(m, rate, flags);
    if (!r) return out;
    if (setup) setup(r);
    short block[2 * 1000];
    for (int n; (n = qvmod_render(r, block, 1000)) > 0;)
        out.insert(out.end(), block, block + 2 * n);
    qvmod_render_close(r);
    return out;
}
