// MOD files (15 and 31 samples): the reader, the two detectors and the information query.
#include "loader_util.h"

#include <algorithm>
#include <cstring>

using namespace qvmod_loader;

namespace {

struct ModType {
    char signature[5];
    int channels;
};

// The signatures at offset 1080 of a 31-sample MOD; the last entry only ends the table.
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
constexpr int kModTypeCount = static_cast<int>(sizeof modtypes / sizeof modtypes[0]);
static_assert(kModTypeCount == 72, "the signature table has 72 entries, the end entry included");
constexpr int kEndEntry = kModTypeCount - 1;

constexpr int kTitleBytes = 20;
constexpr int kSampleHeaderBytes = 30;
constexpr int kSampleNameBytes = 22;
constexpr int kOrderBytes = 128;
constexpr int kSignatureOffset = 1080;
constexpr int kSignatureBytes = 4;
constexpr int kCellBytes = 4;
constexpr int kFinetuneMask = 0x0F;         // ProTracker keeps the finetune in the low nibble
constexpr int kDefaultChannels = 4;
constexpr int kDefaultSpeed = 6;
constexpr int kDefaultBpm = 125;
constexpr int kSignFlip = 0x80;             // signed frame -> Allegro's unsigned form
constexpr int kPanPattern[4] = {0, 255, 255, 0};

static_assert(20 + 31 * kSampleHeaderBytes + 2 + kOrderBytes == kSignatureOffset, "31-sample header layout");
static_assert(20 + 15 * kSampleHeaderBytes + 2 + kOrderBytes == 600, "15-sample header layout");

int header_bytes(int samples)
{
    return kTitleBytes + samples * kSampleHeaderBytes + 2 + kOrderBytes + (samples == 31 ? kSignatureBytes : 0);
}

int channels_for(const char *sig)
{
    for (int i = 0; i < kEndEntry; i++)
        if (std::memcmp(modtypes[i].signature, sig, kSignatureBytes) == 0) return modtypes[i].channels;
    return modtypes[kEndEntry].channels;
}

struct ModSampleHeader {
    unsigned long length;       // bytes
    unsigned long repeat_start; // bytes
    unsigned long repeat_length;// bytes, 0 = no loop
};

} // namespace

extern "C" int get_mod_no_pat(int *order_table, int count)
{
    if (!order_table || count < 0) return 1;
    return patterns_needed(order_table, count);
}

extern "C" int detect_m31(const char *filename)
{
    char sig[kSignatureBytes];
    if (peek_file(filename, kSignatureOffset, sig, kSignatureBytes) != kSignatureBytes) return -1;
    for (int i = 0; i < kEndEntry; i++)
        if (std::memcmp(modtypes[i].signature, sig, kSignatureBytes) == 0) return 1;
    return -1;
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
    if (!m->sample_info) return b.fail("Unable to allocate enough memory for SAMPLE_INFO structure");
    m->samples = static_cast<SAMPLE *>(qvmod_calloc(samples * sizeof(SAMPLE)));
    if (!m->samples) return b.fail("Unable to allocate enough memory for SAMPLE structure");
    m->sample_count = samples;
    m->initial_global_volume = kMaxGlobalVolume;
    m->initial_speed = kDefaultSpeed;
    m->initial_bpm = kDefaultBpm;
    for (int i = 0; i < QVMOD_MAX_CHANNELS; i++) m->channel_pan[i] = kPanPattern[i % 4];

    FileBytes image;
    if (!read_file(filename, 0, image)) {
        set_open_error(filename);
        return nullptr;
    }
    if (image.size() < static_cast<size_t>(header_bytes(samples))) return b.fail("MOD file is too short for its header");
    Bytes in(image);

    for (int i = 0; i < kTitleBytes; i++) m->name[i] = static_cast<char>(in.u8());
    ModSampleHeader heads[31];
    for (int i = 0; i < samples; i++) {
        SAMPLE_INFO &si = m->sample_info[i];
        ModSampleHeader &h = heads[i];
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
    for (int i = 0; i < kOrderBytes; i++) m->order_table[i] = in.u8();
    // A song of no positions plays its first; positions beyond the 128 stored are not there.
    m->order_count = std::clamp(song_length, 1, kOrderBytes);
    m->restart_order = restart;
    if (m->order_count < m->restart_order) m->restart_order = 0;
    const int pattern_count = get_mod_no_pat(m->order_table, kOrderBytes);

    m->channel_count = kDefaultChannels;
    if (samples == 31) {
        char sig[kSignatureBytes];
        in.read(sig, kSignatureBytes);
        m->channel_count = channels_for(sig);
    }

    if (!b.alloc_patterns(pattern_count)) return b.fail("Unable to allocate enough memory for PATTERN_INFO");
    for (int p = 0; p < pattern_count; p++) {
        if (!b.alloc_cells(p, kRowsPerPattern)) return b.fail("Unable to allocate enough memory for NOTE_INFO");
        // Cells the file no longer holds stay empty.
        NOTE_INFO *cells = m->pattern_info[p].notes;
        const int count = kRowsPerPattern * m->channel_count;
        for (int c = 0; c < count && in.left() >= kCellBytes; c++) {
            const uint32_t e = in.u32be();
            NOTE_INFO &n = cells[c];
            const int sample = static_cast<int>(((e >> 24) & 0xF0) | ((e >> 12) & 0x0F));
            const int period = static_cast<int>((e >> 16) & 0x0FFF);
            n.sample = sample <= samples ? sample : 0;
            n.note = period ? kAmigaClock / period : 0;
            n.command = static_cast<int>((e >> 8) & 0x0F);
            n.extcommand = static_cast<int>(e & 0xFF);
        }
        if (in.left() < kCellBytes) in.seek(in.size());
    }

    for (int i = 0; i < samples; i++) {
        SAMPLE &s = m->samples[i];
        SAMPLE_INFO &si = m->sample_info[i];
        const ModSampleHeader &h = heads[i];
        init_sample(s, 8);
        // A sample cut short by the end of the file keeps the frames that are there.
        const unsigned long len = std::min<unsigned long>(h.length, in.left());
        s.data = qvmod_calloc(len);
        if (!s.data) return b.fail("Unable to allocate enough memory for SAMPLE DATA");
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
            si.loop_end = static_cast<int>(loop_end - loop_start);   // the repeat length, in bytes
        } else {
            s.loop_start = 0;
            s.loop_end = len;
            si.loop_start = static_cast<int>(std::min(h.repeat_start, len));
            si.loop_end = 0;
        }
        si.loop_type = loop_type;
    }
    return b.finish();
}
