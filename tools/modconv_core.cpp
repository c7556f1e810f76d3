// SPDX-License-Identifier: MIT
// Module to QVM conversion (load, adjust, write) and a field-by-field comparison of two modules.
#include "modconv_core.h"

#include <cstring>
#include <memory>
#include <sstream>

#include "qvm_writer.h"

namespace {

struct ModDeleter {
    void operator()(QVMOD *m) const { destroy_mod(m); }
};

template <typename T>
std::string differs(const char *what, int index, T a, T b)
{
    std::ostringstream s;
    s << what;
    if (index >= 0) s << " " << index;
    s << ": " << a << " vs " << b;
    return s.str();
}

}  // namespace

void prepare_for_qvm(QVMOD *m)
{
    if (m->restart_order < 0 || m->restart_order >= m->order_count) m->restart_order = 0;
}

std::string convert_to_qvm(const char *in, const char *out)
{
    std::unique_ptr<QVMOD, ModDeleter> m(load_mod(in));
    if (!m) return qvmod_error;
    prepare_for_qvm(m.get());
    const std::string refused = qvm_check(m.get());
    if (!refused.empty()) return "cannot be stored as QVM: " + refused;
    if (!qvm_write_file(m.get(), out)) return std::string("Unable to write ") + out;
    return {};
}

std::string compare_modules(const QVMOD *a, const QVMOD *b)
{
#define SAME(field) \
    if (a->field != b->field) return differs(#field, -1, a->field, b->field)
    if (std::strncmp(a->name, b->name, 28) != 0) return "name";
    SAME(order_count);
    SAME(pattern_count);
    SAME(channel_count);
    SAME(instrument_count);
    SAME(sample_count);
    SAME(flags);
    SAME(initial_speed);
    SAME(initial_bpm);
    SAME(initial_global_volume);
    SAME(restart_order);
#undef SAME
    for (int i = 0; i < a->order_count; i++)
        if (a->order_table[i] != b->order_table[i])
            return differs("order", i, a->order_table[i], b->order_table[i]);
    for (int i = 0; i < a->channel_count; i++)
        if (a->channel_pan[i] != b->channel_pan[i])
            return differs("channel pan", i, a->channel_pan[i], b->channel_pan[i]);
    for (int p = 0; p < a->pattern_count; p++) {
        const PATTERN_INFO &pa = a->pattern_info[p], &pb = b->pattern_info[p];
        if (pa.row_count != pb.row_count)
            return differs("rows of pattern", p, pa.row_count, pb.row_count);
        for (int c = 0; c < pa.row_count * a->channel_count; c++) {
            const NOTE_INFO &x = pa.notes[c], &y = pb.notes[c];
            if (x.sample != y.sample || x.note != y.note || x.volume != y.volume ||
                x.command != y.command || x.extcommand != y.extcommand)
                return differs("cell of pattern", p, c, c);
        }
    }
    for (int i = 0; i < a->instrument_count; i++)
        if (std::memcmp(&a->instrument_info[i], &b->instrument_info[i], sizeof(INSTRUMENT_INFO)) !=
            0)
            return differs("instrument", i, 0, 1);
    for (int i = 0; i < a->sample_count; i++) {
        const SAMPLE &x = a->samples[i], &y = b->samples[i];
        if (x.len != y.len) return differs("length of sample", i, x.len, y.len);
        if (x.len == 0) continue;  // an empty sample plays nothing, whatever its record says
        if (x.bits != y.bits || x.loop_start != y.loop_start || x.loop_end != y.loop_end)
            return differs("loop of sample", i, x.loop_start, y.loop_start);
        if (std::memcmp(x.data, y.data, x.len * (x.bits / 8)) != 0)
            return differs("frames of sample", i, 0, 1);
        const SAMPLE_INFO &s = a->sample_info[i], &t = b->sample_info[i];
        if (s.c2spd != t.c2spd || s.transpose != t.transpose || s.volume != t.volume ||
            s.pan != t.pan || s.loop_type != t.loop_type || s.vibrato_type != t.vibrato_type ||
            s.vibrato_sweep != t.vibrato_sweep || s.vibrato_depth != t.vibrato_depth ||
            s.vibrato_rate != t.vibrato_rate)
            return differs("playing parameters of sample", i, 0, 1);
    }
    return {};
}
