// SPDX-License-Identifier: MIT
// The module record's basics: the error text, a module's cells and samples, locking and freeing it.
#include "module_record.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

extern "C" {
char qvmod_error[QVMOD_ERROR_SIZE];
}

// ------------------------------------------------------------------ errors

void qvmod_set_error(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(qvmod_error, sizeof qvmod_error, format, ap);
    va_end(ap);
}

// ------------------------------------------------------------------ the record

extern "C" NOTE_INFO *get_note(QVMOD *module, int pattern, int row, int channel)
{
    return &module->pattern_info[pattern].notes[row * module->channel_count + channel];
}

extern "C" SAMPLE *get_qvmod_sample(QVMOD *module, int number)
{
    if (!module) {
        qvmod_set_error("QVMOD pointer passed in is a NULL value");
        return nullptr;
    }
    if (number < 0 || number >= module->sample_count || !module->samples) {
        qvmod_set_error("Incorrect value of no sample found");
        return nullptr;
    }
    return &module->samples[number];
}

// ------------------------------------------------------------------ sample memory

extern "C" void lock_mod(QVMOD *module)
{
    if (!module || !module->samples) return;
    for (int i = 0; i < module->sample_count; i++) lock_sample(&module->samples[i]);
}

void free_module(QVMOD *m)
{
    if (!m) return;
    std::free(m->sample_info);
    std::free(m->instrument_info);
    if (m->pattern_info) {
        for (int i = 0; i < m->pattern_count; i++) std::free(m->pattern_info[i].notes);
        std::free(m->pattern_info);
    }
    if (m->samples) {
        for (int i = 0; i < m->sample_count; i++) std::free(m->samples[i].data);
        std::free(m->samples);
    }
    std::free(m);
}
