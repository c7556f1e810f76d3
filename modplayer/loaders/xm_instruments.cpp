// SPDX-License-Identifier: MIT
// XM instruments: note maps, envelopes made safe, automatic vibrato and the sample headers.
#include "xm_format.h"

namespace qvmod_loader::xm {

namespace {

constexpr int kInstrumentMinBytes = 30;
constexpr int kInstrumentHeaderBytes = 241;
constexpr int kSampleHeaderBytes = 40;
constexpr int kSampleTypeBits = 0x1F;
constexpr int kEnvFlagBits = 7;

static_assert(33 + 96 + 2 * 12 * 4 + 16 == kInstrumentHeaderBytes,
              "instrument header up to the fadeout word");

// An envelope as stored made safe: at most 12 points, the first at tick 0, positions that never
// go backwards, point indexes inside the points, a loop that runs forwards.
void repair_envelope(const Envelope &e, int empty_value)
{
    e.flags &= kEnvFlagBits;
    e.points = std::min(e.points, QVMOD_MAX_ENV_POINTS);
    e.pos[0] = 0;
    if ((e.flags & QVMOD_ENV_ON) && e.points == 0) {
        e.points = 1;
        e.value[0] = empty_value;
    }
    for (int i = 1; i < QVMOD_MAX_ENV_POINTS; i++) e.pos[i] = std::max(e.pos[i], e.pos[i - 1]);
    const int last = std::max(e.points - 1, 0);
    e.sustain_start = e.sustain_end = std::min(e.sustain_start, last);
    e.loop_start = std::min(e.loop_start, last);
    e.loop_end = std::min(e.loop_end, last);
    if (e.loop_start > e.loop_end) {
        e.loop_start = e.loop_end;
        e.flags &= ~QVMOD_ENV_LOOP;
    }
}

}  // namespace

const char *read_instruments(Bytes &in, ModuleBuild &b, const Header &h, uint64_t at,
                             std::vector<Wave> &waves)
{
    if (!b.alloc_instruments(h.instrument_count))
        return "Unable to allocate enough memory for INSTRUMENT_INFO";
    waves.reserve(kMaxSamples);
    for (int i = 0; i < h.instrument_count; i++) {
        INSTRUMENT_INFO &ins = b->instrument_info[i];
        in.seek(at);
        const uint32_t size = in.u32le();
        in.skip(22 + 1);
        const int n = in.u16le();
        if (size < static_cast<uint32_t>(kInstrumentMinBytes) || n < 1) {
            for (int k = 0; k < QVMOD_NOTES_PER_INSTR; k++) ins.sample_number[k] = 0;
            at += size;
            continue;
        }
        in.skip(4);
        unsigned char map[QVMOD_NOTES_PER_INSTR] =
            {};  // a map cut off by the end of the file reads as 0
        in.read(map, sizeof map);
        const Envelope volume = volume_envelope(ins);
        const Envelope pan = pan_envelope(ins);
        read_envelope_points(in, volume);
        read_envelope_points(in, pan);
        ins.volume_env_points = in.u8();
        ins.pan_env_points = in.u8();
        ins.volume_env_sustain_start = in.u8();
        ins.volume_env_loop_start = in.u8();
        ins.volume_env_loop_end = in.u8();
        ins.pan_env_sustain_start = in.u8();
        ins.pan_env_loop_start = in.u8();
        ins.pan_env_loop_end = in.u8();
        ins.volume_env_flags = in.u8();
        ins.pan_env_flags = in.u8();
        Wave vibrato{};
        read_auto_vibrato(in, vibrato);
        ins.volume_fadeout = in.u16le();
        repair_envelope(volume, 0);
        repair_envelope(pan, kEnvPanDefault);

        const uint64_t headers_at = at + std::max<uint32_t>(size, kInstrumentHeaderBytes);
        uint64_t data_at = headers_at + static_cast<uint64_t>(n) * kSampleHeaderBytes;
        const size_t first = waves.size();
        for (int k = 0; k < n; k++) {
            in.seek(headers_at + static_cast<uint64_t>(k) * kSampleHeaderBytes);
            Wave w = vibrato;
            w.length = in.u32le();
            w.loop_start = in.u32le();
            w.loop_length = in.u32le();
            w.volume = in.u8();
            w.finetune = in.s8();
            w.type = in.u8() & kSampleTypeBits;
            w.panning = in.u8();
            w.relative_note = in.s8();
            w.data_at = data_at;
            data_at += w.length;
            // Samples beyond the module's limit are skipped; notes naming them play silence.
            if (waves.size() < static_cast<size_t>(kMaxSamples)) waves.push_back(w);
        }
        const size_t kept = waves.size() - first;
        for (int k = 0; k < QVMOD_NOTES_PER_INSTR; k++)
            ins.sample_number[k] = map[k] < kept ? static_cast<int>(first + map[k]) + 1 : 0;
        at = data_at;
    }
    return nullptr;
}

}  // namespace qvmod_loader::xm
