// SPDX-License-Identifier: MIT
// The "QVM " datafile object type: QVM modules inside Allegro datafiles, and the silent module that stands in for a damaged one.
#include "loader_common.h"

#include <cstring>

extern "C" void register_datafile_qvmod(void)
{
    static int registered = kFalse;
    if (registered) return;
    register_datafile_object(QVMOD_DAT_ID, load_qvm_datafile, destroy_mod_datafile);
    registered = kTrue;
}

namespace {

// One channel, one order, one empty row and one empty sample: plays nothing, keeps every promise.
QVMOD *silent_module()
{
    auto *m = static_cast<QVMOD *>(qvmod_calloc(sizeof(QVMOD)));
    if (!m) return nullptr;
    m->sample_info = static_cast<SAMPLE_INFO *>(qvmod_calloc(sizeof(SAMPLE_INFO)));
    m->samples = static_cast<SAMPLE *>(qvmod_calloc(sizeof(SAMPLE)));
    m->pattern_info = static_cast<PATTERN_INFO *>(qvmod_calloc(sizeof(PATTERN_INFO)));
    if (m->samples) m->samples[0].data = qvmod_calloc(0);
    if (m->pattern_info)
        m->pattern_info[0].notes = static_cast<NOTE_INFO *>(qvmod_calloc(sizeof(NOTE_INFO)));
    m->sample_count = m->samples ? 1 : 0;
    m->pattern_count = m->pattern_info ? 1 : 0;
    if (!m->sample_info || !m->samples || !m->samples[0].data || !m->pattern_info ||
        !m->pattern_info[0].notes) {
        free_module(m);
        return nullptr;
    }
    m->pattern_info[0].row_count = 1;
    m->samples[0].bits = 8;
    m->samples[0].freq = kFakeSampleFreq;
    m->samples[0].priority = kSamplePriority;
    m->samples[0].param = static_cast<unsigned long>(-1);
    m->order_count = 1;
    m->channel_count = 1;
    m->channel_pan[0] = kMaxPan / 2;
    m->initial_speed = kDefaultSpeed;
    m->initial_bpm = kDefaultBpm;
    m->initial_global_volume = kMaxGlobalVolume;
    return m;
}

}  // namespace

// Allegro 4.4's load_datafile frees its object table twice when an object's loader returns null,
// so a damaged module must not fail the load: it becomes a silent module, and qvmod_error keeps
// the reason the module data was refused.
extern "C" void *load_qvm_datafile(PACKFILE *f, long size)
{
    (void)size;
    if (QVMOD *m = load_qvm(f)) return m;
    char reason[QVMOD_ERROR_SIZE];
    std::memcpy(reason, qvmod_error, sizeof reason);
    QVMOD *silent = silent_module();
    std::memcpy(qvmod_error, reason, sizeof reason);
    return silent;
}

extern "C" void destroy_mod_datafile(void *data)
{
    destroy_mod(static_cast<QVMOD *>(data));
}
