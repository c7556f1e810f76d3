// SPDX-License-Identifier: MIT
// MOD files (15 and 31 samples): the song header, the signature table, the two detectors, the information query and the reader's order of parts.
#include "mod_format.h"

#include <cstring>

using namespace qvmod_loader;
using namespace qvmod_loader::mod;

namespace {

struct ModType {
    char signature[5];
    int channels;
};

// The signatures at offset 1080 of a 31-sample MOD; the last entry only ends the table.
// clang-format off
constexpr ModType modtypes[] = {
    {"M.K.", 4}, {"M!K!", 4}, {"FLT4", 4}, {"1CHN", 1}, {"2CHN", 2}, {"3CHN", 3}, {"4CHN", 4}, {"5CHN", 5},
    {"6CHN", 6}, {"7CHN", 7}, {"8CHN", 8}, {"9CHN", 9}, {"10CH", 10}, {"11CH", 11}, {"12CH", 12}, {"13CH", 13},
    {"14CH", 14}, {"15CH", 15}, {"16CH", 16}, {"17CH", 17}, {"18CH", 18}, {"19CH", 19}, {"20CH", 20}, {"21CH", 21},
    {"22CH", 22}, {"23CH", 23}, {"24CH", 24}, {"25CH", 25}, {"26CH", 26}, {"27CH", 27}, {"28CH", 28}, {"29CH", 29},
    {"30CH", 30}, {"31CH", 31}, {"32CH", 32}, {"33CH", 33}, {"34CH", 34}, {"35CH", 35}, {"36CH", 36}, {"37CH", 37},
    {"38CH", 38}, {"39CH", 39}, {"40CH", 40}, {"41CH", 41}, {"42CH", 42}, {"43CH", 43}, {"44CH", 44}, {"45CH", 45},
    {"46CH", 46}, {"47CH", 47}, {"48CH", 48}, {"49CH", 49}, {"50CH", 50}, {"51CH", 51}, {"52CH", 52}, {"53CH", 53},
    {"54CH", 54}, {"55CH", 55}, {"56CH", 56}, {"57CH", 57}, {"58CH", 58}, {"59CH", 59}, {"60CH", 60}, {"61CH", 61},
    {"62CH", 62}, {"63CH", 63}, {"64CH", 64}, {"CD81", 8}, {"OKTA", 8}, {"16CN", 16}, {"32CN", 32}, {"32FW", 4},
};
// clang-format on
constexpr int kModTypeCount = static_cast<int>(sizeof modtypes / sizeof modtypes[0]);
static_assert(kModTypeCount == 72, "the signature table has 72 entries, the end entry included");
constexpr int kEndEntry = kModTypeCount - 1;

constexpr int kTitleBytes = 20;
constexpr int kSampleHeaderBytes = 30;
constexpr int kSampleNameBytes = 22;
constexpr int kOrderBytes = 128;
constexpr int kSignatureOffset = 1080;
constexpr int kSignatureBytes = 4;
constexpr int kFinetuneMask = 0x0F;  // ProTracker keeps the finetune in the low nibble
constexpr int kDefaultChannels = 4;
constexpr int kPanPattern[4] = {0, 255, 255, 0};

static_assert(20 + 31 * kSampleHeaderBytes + 2 + kOrderBytes == kSignatureOffset,
              "31-sample header layout");
static_assert(20 + 15 * kSampleHeaderBytes + 2 + kOrderBytes == 600, "15-sample header layout");

int header_bytes(int samples)
{
    return kTitleBytes + samples * kSampleHeaderBytes + 2 + kOrderBytes +
           (samples == 31 ? kSignatureBytes : 0);
}

// The table entry of a 31-sample signature, or null.
const ModType *find_modtype(const char *sig)
{
    for (int i = 0; i < kEndEntry; i++)
        if (std::memcmp(modtypes[i].signature, sig, kSignatureBytes) == 0) return &modtypes[i];
    return nullptr;
}

}  // namespace

void qvmod_loader::mod::read_header(Bytes &in, QVMOD &m, int samples,
                                    SampleHeader (&heads)[kMaxSamples], int &pattern_count)
{
    m.initial_global_volume = kMaxGlobalVolume;
    m.initial_speed = kDefaultSpeed;
    m.initial_bpm = kDefaultBpm;
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) m.channel_pan[i] = kPanPattern[i % 4];

    for (int i = 0; i < kTitleBytes; i++) m.name[i] = static_cast<char>(in.u8());
    for (int i = 0; i < samples; i++) {
        SAMPLE_INFO &si = m.sample_info[i];
        SampleHeader &h = heads[i];
        in.skip(kSampleNameBytes);
        const int len_words = in.u16be();
        h.length = len_words == 1 ? 0 : 2ul * len_words;
        si.c2spd = mod_finetune[in.u8() & kFinetuneMask];
        si.volume = std::min(in.u8(), kMaxVolume);
        h.repeat_start = 2ul * in.u16be();
        const int rep_words = in.u16be();
        h.repeat_length = rep_words == 1 ? 0 : 2ul * rep_words;
    }
    const int song_length = in.u8();
    const int restart = in.u8();
    for (int i = 0; i < kOrderBytes; i++) m.order_table[i] = in.u8();
    // A song of no positions plays its first; positions beyond the 128 stored are not there.
    m.order_count = std::clamp(song_length, 1, kOrderBytes);
    m.restart_order = restart;
    if (m.order_count < m.restart_order) m.restart_order = 0;
    pattern_count = get_mod_no_pat(m.order_table, kOrderBytes);

    m.channel_count = kDefaultChannels;
    if (samples == 31) {
        char sig[kSignatureBytes];
        in.read(sig, kSignatureBytes);
        const ModType *t = find_modtype(sig);
        m.channel_count = (t ? *t : modtypes[kEndEntry]).channels;
    }
}

extern "C" int get_mod_no_pat(int *order_table, int count)
{
    if (!order_table || count < 0) return 1;
    return patterns_needed(order_table, count);
}

extern "C" int detect_m31(const char *filename)
{
    char sig[kSignatureBytes];
    if (peek_file(filename, kSignatureOffset, sig, kSignatureBytes) != kSignatureBytes) return -1;
    return find_modtype(sig) ? 1 : -1;
}

extern "C" int detect_m15(const char *filename)
{
    unsigned char head[kTitleBytes + 15 * kSampleHeaderBytes];
    if (peek_file(filename, 0, head, sizeof head) != static_cast<int>(sizeof head)) return 0;
    for (int i = 0; i < 15; i++) {
        const unsigned char *h = head + kTitleBytes + i * kSampleHeaderBytes;
        const int finetune = h[24];
        const int volume = h[25];
        if (finetune != 0 || volume > kMaxVolume) return 0;
    }
    return 1;
}

extern "C" int get_m_info(const char *filename, int samples, QVMOD_INFO *info)
{
    if (!info) return -1;
    if (samples == 15) {
        info->type = QVMOD_TYPE_MOD15;
        std::strcpy(info->type_name, "MOD (15 Samples)");
    } else if (samples == 31) {
        info->type = QVMOD_TYPE_MOD31;
        std::strcpy(info->type_name, "MOD (31 Samples)");
    } else {
        qvmod_set_error("MOD must have 15 or 31 samples");
        return -1;
    }
    if (peek_file(filename, 0, info->name, kTitleBytes) < 0) {
        set_open_error(filename);
        return -1;
    }
    return 1;
}

extern "C" QVMOD *load_m(const char *filename, int samples)
{
    if (samples != 15 && samples != 31) {
        qvmod_set_error("MOD must be 15 or 31 instruments");
        return nullptr;
    }
    ModuleBuild b;
    if (!b.create()) return b.fail("Unable to allocate enough memory for QVMOD structure");
    QVMOD *m = b.get();
    m->sample_info = static_cast<SAMPLE_INFO *>(qvmod_calloc(samples * sizeof(SAMPLE_INFO)));
    if (!m->sample_info)
        return b.fail("Unable to allocate enough memory for SAMPLE_INFO structure");
    m->samples = static_cast<SAMPLE *>(qvmod_calloc(samples * sizeof(SAMPLE)));
    if (!m->samples) return b.fail("Unable to allocate enough memory for SAMPLE structure");
    m->sample_count = samples;

    FileBytes image;
    if (!read_file(filename, 0, image)) {
        set_open_error(filename);
        return nullptr;
    }
    if (image.size() < static_cast<size_t>(header_bytes(samples)))
        return b.fail("MOD file is too short for its header");
    Bytes in(image);
    SampleHeader heads[kMaxSamples];
    int pattern_count = 0;
    read_header(in, *m, samples, heads, pattern_count);
    const char *e = read_patterns(in, b, pattern_count, samples);
    if (!e) e = read_samples(in, b, heads);
    return e ? b.fail(e) : b.finish();
}
