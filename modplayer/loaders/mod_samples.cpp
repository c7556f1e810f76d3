// SPDX-License-Identifier: MIT
// MOD samples: signed 8-bit frames turned into Allegro's form, and their repeat loops.
#include "mod_format.h"

namespace qvmod_loader::mod {

const char *read_samples(Bytes &in, ModuleBuild &b, const SampleHeader (&heads)[kMaxSamples])
{
    QVMOD *m = b.get();
    for (int i = 0; i < m->sample_count; i++) {
        SAMPLE &s = m->samples[i];
        SAMPLE_INFO &si = m->sample_info[i];
        const SampleHeader &h = heads[i];
        init_sample(s, 8);
        // A sample cut short by the end of the file keeps the frames that are there.
        const unsigned long len = std::min<unsigned long>(h.length, in.left());
        s.data = qvmod_calloc(len);
        if (!s.data) return "Unable to allocate enough memory for SAMPLE DATA";
        unsigned char *frames = static_cast<unsigned char *>(s.data);
        in.read(frames, len);
        for (unsigned long k = 0; k < len; k++) frames[k] ^= kSignFlip;
        s.len = len;
        si.length = static_cast<int>(len);
        unsigned long loop_start = h.repeat_start;
        unsigned long loop_end = h.repeat_start + h.repeat_length;
        int loop_type = h.repeat_length >= 1 ? QVMOD_LOOP_FORWARD : 0;
        repair_loop(len, loop_start, loop_end, loop_type);
        if (loop_type) {
            s.loop_start = loop_start;
            s.loop_end = loop_end;
            si.loop_start = static_cast<int>(loop_start);
            si.loop_end = static_cast<int>(loop_end - loop_start);  // the repeat length, in bytes
        } else {
            s.loop_start = 0;
            s.loop_end = len;
            si.loop_start = static_cast<int>(std::min(h.repeat_start, len));
            si.loop_end = 0;
        }
        si.loop_type = loop_type;
    }
    return nullptr;
}

}  // namespace qvmod_loader::mod
