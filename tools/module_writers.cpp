// SPDX-License-Identifier: MIT
// MOD, S3M and XM byte images from plain descriptions, Unreal wrappers, and realistic generated modules.
#include "module_writers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace {

class Out {
public:
    explicit Out(ModuleImage &b) : b_(b) {}
    void byte(int v) { b_.push_back(static_cast<unsigned char>(v & 0xFF)); }
    void wle(int v)
    {
        byte(v);
        byte(v >> 8);
    }
    void wbe(int v)
    {
        byte(v >> 8);
        byte(v);
    }
    void lle(uint32_t v)
    {
        wle(static_cast<int>(v & 0xFFFF));
        wle(static_cast<int>(v >> 16));
    }
    void text(const std::string &s, size_t n)
    {
        for (size_t i = 0; i < n; i++) byte(i < s.size() ? s[i] : 0);
    }
    void raw(const ModuleImage &d) { b_.insert(b_.end(), d.begin(), d.end()); }
    void pad_to(size_t n)
    {
        while (b_.size() < n) byte(0);
    }
    void align(size_t unit)
    {
        while (b_.size() % unit) byte(0);
    }
    size_t size() const { return b_.size(); }
    void put_wle(size_t at, int v)
    {
        b_[at] = static_cast<unsigned char>(v & 0xFF);
        b_[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
    }
    void put_byte(size_t at, int v) { b_[at] = static_cast<unsigned char>(v & 0xFF); }

private:
    ModuleImage &b_;
};

}  // namespace

// ------------------------------------------------------------------ MOD

ModuleImage write_mod(const ModSpec &desc)
{
    ModuleImage img;
    Out o(img);
    o.text(desc.title, 20);
    for (int i = 0; i < desc.samples; i++) {
        const ModSampleSpec s =
            i < static_cast<int>(desc.sample_list.size()) ? desc.sample_list[i] : ModSampleSpec{};
        o.text("", 22);
        o.wbe(s.length_words >= 0 ? s.length_words : static_cast<int>(s.data.size() / 2));
        o.byte(s.finetune);
        o.byte(s.volume);
        o.wbe(s.repeat_start_words);
        o.wbe(s.repeat_length_words);
    }
    o.byte(desc.song_length);
    o.byte(desc.restart);
    for (unsigned char v : desc.orders) o.byte(v);
    if (desc.samples == 31) o.text(desc.signature, 4);
    for (const auto &pat : desc.patterns) {
        for (int c = 0; c < 64 * desc.channels; c++) {
            const ModCell cell = c < static_cast<int>(pat.size()) ? pat[c] : ModCell{};
            o.byte((cell.sample & 0xF0) | ((cell.period >> 8) & 0x0F));
            o.byte(cell.period);
            o.byte(((cell.sample & 0x0F) << 4) | (cell.effect & 0x0F));
            o.byte(cell.param);
        }
    }
    for (const auto &s : desc.sample_list)
        for (signed char v : s.data) o.byte(v);
    return img;
}

// ------------------------------------------------------------------ S3M

S3mSpec::S3mSpec()
{
    channel_settings.fill(255);
    for (int i = 0; i < 8; i++) channel_settings[i] = static_cast<unsigned char>(i);
}

namespace {

ModuleImage pack_s3m_pattern(const S3mPattern &p)
{
    if (!p.raw.empty()) return p.raw;
    ModuleImage d;
    Out o(d);
    for (const auto &row : p.rows) {
        for (const S3mEntry &e : row) {
            int b = e.channel & 31;
            if (e.note >= 0) b |= 0x20;
            if (e.volume >= 0) b |= 0x40;
            if (e.command >= 0) b |= 0x80;
            o.byte(b);
            if (e.note >= 0) {
                o.byte(e.note);
                o.byte(e.instrument);
            }
            if (e.volume >= 0) o.byte(e.volume);
            if (e.command >= 0) {
                o.byte(e.command);
                o.byte(e.param);
            }
        }
        o.byte(0);
    }
    return d;
}

}  // namespace

ModuleImage write_s3m(const S3mSpec &desc)
{
    ModuleImage img;
    Out o(img);
    const int ins = static_cast<int>(desc.sample_list.size());
    const int pats =
        desc.header_patterns >= 0 ? desc.header_patterns : static_cast<int>(desc.patterns.size());
    o.text(desc.title, 28);
    o.byte(0x1A);
    o.byte(16);
    o.wle(0);
    o.wle(static_cast<int>(desc.orders.size()));
    o.wle(ins);
    o.wle(pats);
    o.wle(0);
    o.wle(0x1320);
    o.wle(desc.sample_format);
    o.text("SCRM", 4);
    o.byte(desc.global_volume);
    o.byte(desc.speed);
    o.byte(desc.tempo);
    o.byte(0xB0);
    o.byte(0);
    o.byte(desc.pan_table ? 0xFC : 0);
    o.pad_to(64);
    for (unsigned char c : desc.channel_settings) o.byte(c);
    for (int v : desc.orders) o.byte(v);
    const size_t para_at = o.size();
    for (int i = 0; i < ins + pats; i++) o.wle(0);
    if (desc.pan_table)
        for (unsigned char p : desc.pans) o.byte(p);

    for (int i = 0; i < ins; i++) {
        const S3mSampleSpec &s = desc.sample_list[i];
        o.align(16);
        o.put_wle(para_at + 2 * i, static_cast<int>(o.size() / 16));
        const size_t head = o.size();
        o.byte(s.type);
        o.text("sample.raw", 12);
        const size_t data_ptr_at = o.size();
        o.byte(0);
        o.wle(0);
        const int frame_bytes = s.sixteen_bit ? 2 : 1;
        o.lle(s.length != UINT32_MAX ? s.length
                                     : static_cast<uint32_t>(s.data.size() / frame_bytes));
        o.lle(s.loop_start);
        o.lle(s.loop_end);
        o.byte(s.volume);
        o.byte(0);
        o.byte(0);
        o.byte((s.loop ? 1 : 0) | (s.sixteen_bit ? 4 : 0));
        o.lle(s.c2spd);
        o.pad_to(head + 48);
        o.text("sample name", 28);
        o.text(s.tag ? "SCRS" : "XXXX", 4);
        o.align(16);
        const size_t para = o.size() / 16;
        o.put_byte(data_ptr_at, static_cast<int>(para >> 16));
        o.put_wle(data_ptr_at + 1, static_cast<int>(para & 0xFFFF));
        o.raw(s.data);
    }
    for (int p = 0; p < static_cast<int>(desc.patterns.size()); p++) {
        const ModuleImage data = pack_s3m_pattern(desc.patterns[p]);
        o.align(16);
        if (p < pats) o.put_wle(para_at + 2 * (ins + p), static_cast<int>(o.size() / 16));
        o.wle(static_cast<int>(data.size() + 2));
        o.raw(data);
    }
    return img;
}

// ------------------------------------------------------------------ XM

ModuleImage pack_xm_cell(const XmCell &c)
{
    ModuleImage d;
    Out o(d);
    const bool full = c.note && c.instrument && c.volume && c.effect && c.param;
    if (full && c.note < 0x80) {
        o.byte(c.note);
        o.byte(c.instrument);
        o.byte(c.volume);
        o.byte(c.effect);
        o.byte(c.param);
        return d;
    }
    int mask = 0x80;
    if (c.note) mask |= 1;
    if (c.instrument) mask |= 2;
    if (c.volume) mask |= 4;
    if (c.effect) mask |= 8;
    if (c.param) mask |= 16;
    o.byte(mask);
    if (c.note) o.byte(c.note);
    if (c.instrument) o.byte(c.instrument);
    if (c.volume) o.byte(c.volume);
    if (c.effect) o.byte(c.effect);
    if (c.param) o.byte(c.param);
    return d;
}

namespace {

void write_envelope_points(Out &o, const XmEnvelope &e)
{
    for (int i = 0; i < 12; i++) {
        const auto pt =
            i < static_cast<int>(e.points.size()) ? e.points[i] : std::pair<int, int>{0, 0};
        o.wle(pt.first);
        o.wle(pt.second);
    }
}

ModuleImage xm_sample_bytes(const XmSampleSpec &s)
{
    if (!s.raw.empty()) return s.raw;
    ModuleImage d;
    Out o(d);
    int prev = 0;
    for (int v : s.frames) {
        const int delta = v - prev;
        prev = v;
        if (s.sixteen_bit)
            o.wle(delta);
        else
            o.byte(delta);
    }
    return d;
}

}  // namespace

ModuleImage write_xm(const XmSpec &desc)
{
    ModuleImage img;
    Out o(img);
    o.text("Extended Module: ", 17);
    o.text(desc.title, 20);
    o.byte(0x1A);
    o.text("QVMOD writer", 20);
    o.wle(0x0104);
    o.lle(20 + 256);
    const int song_length =
        desc.song_length >= 0 ? desc.song_length : static_cast<int>(desc.orders.size());
    o.wle(song_length);
    o.wle(desc.restart);
    o.wle(desc.channels);
    o.wle(desc.header_patterns >= 0 ? desc.header_patterns
                                    : static_cast<int>(desc.patterns.size()));
    o.wle(desc.header_instruments >= 0 ? desc.header_instruments
                                       : static_cast<int>(desc.instruments.size()));
    o.wle(desc.linear ? 1 : 0);
    o.wle(desc.speed);
    o.wle(desc.bpm);
    for (int i = 0; i < 256; i++)
        o.byte(i < static_cast<int>(desc.orders.size()) ? desc.orders[i] : 0);

    for (const XmPattern &p : desc.patterns) {
        ModuleImage data = p.raw;
        if (data.empty() && !p.cells.empty())
            for (const XmCell &c : p.cells) {
                const ModuleImage cell = pack_xm_cell(c);
                data.insert(data.end(), cell.begin(), cell.end());
            }
        o.lle(9);
        o.byte(0);
        o.wle(p.rows);
        o.wle(static_cast<int>(data.size()));
        o.raw(data);
    }
    for (const XmInstrument &ins : desc.instruments) {
        const int n = static_cast<int>(ins.samples.size());
        const uint32_t size = ins.size ? ins.size : (n ? 263u : 29u);
        const size_t start = o.size();
        o.lle(size);
        o.text("instrument", 22);
        o.byte(0);
        o.wle(n);
        if (n == 0) {
            o.pad_to(start + size);
            continue;
        }
        o.lle(40);
        for (unsigned char m : ins.map) o.byte(m);
        write_envelope_points(o, ins.volume_env);
        write_envelope_points(o, ins.pan_env);
        const auto count = [](const XmEnvelope &e) {
            return e.count >= 0 ? e.count : static_cast<int>(e.points.size());
        };
        o.byte(count(ins.volume_env));
        o.byte(count(ins.pan_env));
        o.byte(ins.volume_env.sustain);
        o.byte(ins.volume_env.loop_start);
        o.byte(ins.volume_env.loop_end);
        o.byte(ins.pan_env.sustain);
        o.byte(ins.pan_env.loop_start);
        o.byte(ins.pan_env.loop_end);
        o.byte(ins.volume_env.flags);
        o.byte(ins.pan_env.flags);
        o.byte(ins.vibrato_type);
        o.byte(ins.vibrato_sweep);
        o.byte(ins.vibrato_depth);
        o.byte(ins.vibrato_rate);
        o.wle(ins.fadeout);
        o.pad_to(start + std::max<uint32_t>(size, 241));
        std::vector<ModuleImage> datas;
        for (const XmSampleSpec &s : ins.samples) {
            datas.push_back(xm_sample_bytes(s));
            o.lle(static_cast<uint32_t>(datas.back().size()));
            o.lle(s.loop_start);
            o.lle(s.loop_length);
            o.byte(s.volume);
            o.byte(s.finetune);
            o.byte(s.loop_type | (s.sixteen_bit ? 0x10 : 0));
            o.byte(s.panning);
            o.byte(s.relative_note);
            o.byte(0);
            o.text("sample", 22);
        }
        for (const ModuleImage &d : datas) o.raw(d);
    }
    return img;
}

// ------------------------------------------------------------------ Unreal packages

ModuleImage wrap_unreal(const ModuleImage &module, int at)
{
    ModuleImage img = {0xC1, 0x83, 0x2A, 0x9E};
    while (static_cast<int>(img.size()) < at) img.push_back(0x00);
    img.insert(img.end(), module.begin(), module.end());
    return img;
}

// ------------------------------------------------------------------ realistic modules

namespace {

constexpr int kModPeriods[] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                               428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                               214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

// A waveform with some noise, so delta coding and compression have real work.
std::vector<int> wave(std::mt19937 &rng, int frames, int amplitude)
{
    std::vector<int> v(static_cast<size_t>(frames));
    std::uniform_int_distribution<int> noise(-amplitude / 16, amplitude / 16);
    const int period = 16 + static_cast<int>(rng() % 48);
    for (int i = 0; i < frames; i++) {
        const int tri = (i % period) * 4 * amplitude / period;
        const int base = tri < 2 * amplitude ? tri - amplitude : 3 * amplitude - tri;
        v[static_cast<size_t>(i)] =
            std::clamp(base * (frames - i) / frames + noise(rng), -amplitude, amplitude - 1);
    }
    return v;
}

}  // namespace

ModSpec realistic_mod(unsigned seed, int patterns, int channels, int sample_bytes)
{
    std::mt19937 rng(seed);
    ModSpec s;
    s.title = "benchmark module";
    s.signature = channels == 4 ? "M.K."
                                : (channels < 10 ? std::to_string(channels) + "CHN"
                                                 : std::to_string(channels) + "CH");
    s.channels = channels;
    s.song_length = std::min(patterns * 2, 128);
    for (int i = 0; i < s.song_length; i++)
        s.orders[static_cast<size_t>(i)] = static_cast<unsigned char>(i % patterns);
    for (int p = 0; p < patterns; p++) {
        std::vector<ModCell> cells(static_cast<size_t>(64 * channels));
        for (ModCell &c : cells) {
            if (rng() % 3 == 0) {
                c.sample = 1 + static_cast<int>(rng() % 31);
                c.period = kModPeriods[rng() % (sizeof kModPeriods / sizeof kModPeriods[0])];
            }
            if (rng() % 4 == 0) {
                c.effect = static_cast<int>(rng() % 16);
                c.param = static_cast<int>(rng() % 256);
            }
        }
        s.patterns.push_back(std::move(cells));
    }
    for (int i = 0; i < 31; i++) {
        ModSampleSpec sm;
        const int words = sample_bytes / 2 / 31 * (1 + static_cast<int>(rng() % 2)) / 2 + 16;
        for (int v : wave(rng, words * 2, 128)) sm.data.push_back(static_cast<signed char>(v));
        sm.finetune = static_cast<int>(rng() % 16);
        sm.volume = static_cast<int>(rng() % 65);
        if (rng() % 2) {
            sm.repeat_start_words = words / 4;
            sm.repeat_length_words = words / 2;
        }
        s.sample_list.push_back(std::move(sm));
    }
    return s;
}

ModSpec song_mod(unsigned seed, int patterns)
{
    constexpr int kRows = 64;
    constexpr int kSongChannels = 4;
    constexpr int kWaveBytes = 64;  // one cycle of each tonal waveform
    constexpr int kDrumBytes = 3000;
    enum { kBass = 1, kLead, kPad, kDrum };  // sample numbers
    std::mt19937 rng(seed);
    ModSpec s;
    s.title = "song module";
    s.song_length = std::min(patterns * 2, 128);
    for (int i = 0; i < s.song_length; i++)
        s.orders[static_cast<size_t>(i)] = static_cast<unsigned char>(i % patterns);
    const double pi = 3.14159265358979;
    auto tonal = [&](auto shape) {
        ModSampleSpec sm;
        for (int i = 0; i < kWaveBytes; i++)
            sm.data.push_back(static_cast<signed char>(shape(2 * pi * i / kWaveBytes)));
        sm.repeat_start_words = 0;
        sm.repeat_length_words = kWaveBytes / 2;
        return sm;
    };
    s.sample_list.push_back(tonal([](double x) { return 120 * std::sin(x); }));
    s.sample_list.push_back(tonal([pi](double x) { return x < pi ? 110 : -110; }));
    s.sample_list.push_back(tonal([pi](double x) { return 127 * (x / pi - 1) * 0.9; }));
    ModSampleSpec drum;
    for (int i = 0; i < kDrumBytes; i++) {
        const double decay = 1.0 - static_cast<double>(i) / kDrumBytes;
        drum.data.push_back(static_cast<signed char>(
            std::clamp(120 * decay * std::sin(2 * pi * i / (20 + i / 100)) +
                           (static_cast<int>(rng() % 41) - 20) * decay,
                       -127.0, 127.0)));
    }
    s.sample_list.push_back(drum);
    auto note = [&](int lo, int hi) {
        return kModPeriods[lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo))];
    };
    for (int p = 0; p < patterns; p++) {
        std::vector<ModCell> cells(static_cast<size_t>(kRows * kSongChannels));
        for (int r = 0; r < kRows; r++) {
            ModCell *row = &cells[static_cast<size_t>(r * kSongChannels)];
            if (r % 4 == 0) row[0] = {kBass, note(0, 12), 0, 0};
            if (r % 2 == 0 && rng() % 3 != 0)
                row[1] = {kLead, note(12, 24), rng() % 2 ? 4 : 0, 0x46};
            else if (rng() % 4 == 0)
                row[1].effect = 0xA, row[1].param = 0x02;
            if (r % 8 == 0)
                row[2] = {kPad, note(6, 18), 0, rng() % 2 ? 0x37 : 0x47};
            else
                row[2] = {0, 0, 0, rng() % 2 ? 0x37 : 0x47};
            if (r % 4 == 0 || rng() % 5 == 0) row[3] = {kDrum, 428, 0xC, r % 8 == 0 ? 64 : 40};
        }
        s.patterns.push_back(std::move(cells));
    }
    return s;
}

XmSpec song_xm(unsigned seed, int patterns, int channels)
{
    constexpr int kRows = 64;
    constexpr int kRoles = 5;
    enum { kBass = 1, kLead, kPad, kDrum, kHat };           // instruments, and the channels' roles
    constexpr int kScale[] = {0, 3, 5, 7, 10, 12, 15, 17};  // semitones of a minor scale
    constexpr int kLowNote = 25;                            // XM C-2
    std::mt19937 rng(seed);
    XmSpec s;
    s.title = "song module";
    s.channels = channels;
    s.orders.clear();
    for (int i = 0; i < patterns * 2 && i < 256; i++) s.orders.push_back(i % patterns);
    const double pi = 3.14159265358979;
    auto instrument = [](XmSampleSpec sm, bool envelope) {
        XmInstrument ins;
        ins.samples.push_back(std::move(sm));
        if (envelope) {
            ins.volume_env.points = {{0, 64}, {8, 48}, {30, 40}, {80, 0}};
            ins.volume_env.flags = 1 | 2;
            ins.volume_env.sustain = 2;
            ins.fadeout = 512;
        }
        return ins;
    };
    XmSampleSpec bass;  // one cycle of a sine, looped
    for (int i = 0; i < 64; i++)
        bass.frames.push_back(static_cast<int>(110 * std::sin(pi * i / 32)));
    bass.loop_type = 1;
    bass.loop_length = 64;
    s.instruments.push_back(instrument(bass, true));
    XmSampleSpec lead;  // a 16-bit saw, its second half looped
    lead.sixteen_bit = true;
    for (int i = 0; i < 1024; i++) lead.frames.push_back((i % 128) * 400 - 25600);
    lead.loop_type = 1;
    lead.loop_start = 2 * 512;
    lead.loop_length = 2 * 512;
    s.instruments.push_back(instrument(lead, true));
    XmSampleSpec pad;  // a noisy triangle, ping-pong looped
    pad.frames = wave(rng, 4000, 100);
    pad.loop_type = 2;
    pad.loop_start = 1000;
    pad.loop_length = 3000;
    s.instruments.push_back(instrument(pad, true));
    XmSampleSpec drum;
    for (int i = 0; i < 3000; i++) {
        const double decay = 1.0 - i / 3000.0;
        drum.frames.push_back(
            static_cast<int>(120 * decay * std::sin(2 * pi * i / (20 + i / 100))));
    }
    s.instruments.push_back(instrument(drum, false));
    XmSampleSpec hat;
    for (int i = 0; i < 600; i++)
        hat.frames.push_back((static_cast<int>(rng() % 161) - 80) * (600 - i) / 600);
    s.instruments.push_back(instrument(hat, false));
    for (XmInstrument &ins : s.instruments)
        for (int k = 0; k < 96; k++) ins.map[static_cast<size_t>(k)] = 0;

    auto note = [&](int octave) {
        return kLowNote + 12 * octave + kScale[rng() % (sizeof kScale / sizeof kScale[0])];
    };
    for (int p = 0; p < patterns; p++) {
        XmPattern pat;
        pat.rows = kRows;
        pat.cells.resize(static_cast<size_t>(kRows * channels));
        for (int r = 0; r < kRows; r++) {
            for (int ch = 0; ch < channels; ch++) {
                XmCell &c = pat.cells[static_cast<size_t>(r * channels + ch)];
                const int role = 1 + ch % kRoles;
                const int octave = (ch / kRoles) % 3;
                switch (role) {
                case kBass:
                    if (r % 4 == 0)
                        c = {note(octave), kBass, 0x30 + static_cast<int>(rng() % 0x21)};
                    break;
                case kLead:
                    if (r % 2 == 0 && rng() % 3 != 0)
                        c = {note(1 + octave), kLead, 0, rng() % 2 ? 4 : 0, 0x46};
                    else if (rng() % 4 == 0)
                        c.effect = 0xA, c.param = 0x02;
                    break;
                case kPad:
                    if (r % 8 == 0)
                        c = {note(1 + octave), kPad, 0x40, 4, 0x24};
                    else if (r % 8 == 6)
                        c.note = 97;  // key off: the envelope fades
                    break;
                case kDrum:
                    if (r % 4 == 0 || rng() % 5 == 0)
                        c = {note(2), kDrum, r % 8 == 0 ? 0x50 : 0x38};
                    break;
                default:
                    if (r % 2 == 0) c = {note(3), kHat, 0x20 + static_cast<int>(rng() % 0x20)};
                    break;
                }
            }
        }
        s.patterns.push_back(std::move(pat));
    }
    return s;
}

S3mSpec realistic_s3m(unsigned seed, int patterns, int channels, int sample_frames)
{
    std::mt19937 rng(seed);
    S3mSpec s;
    s.title = "benchmark module";
    for (int i = 0; i < 32; i++)
        s.channel_settings[static_cast<size_t>(i)] =
            i < channels ? static_cast<unsigned char>(i % 16) : 255;
    for (int i = 0; i < patterns * 2 && i < 200; i++) s.orders.push_back(i % patterns);
    s.orders.push_back(255);
    s.sample_format = 1;
    s.pan_table = true;
    for (int i = 0; i < 32; i++)
        s.pans[static_cast<size_t>(i)] = static_cast<unsigned char>(0x20 | (i * 5 % 16));
    for (int p = 0; p < patterns; p++) {
        S3mPattern pat;
        for (auto &row : pat.rows) {
            for (int ch = 0; ch < channels; ch++) {
                if (rng() % 2) continue;
                S3mEntry e;
                e.channel = ch;
                if (rng() % 2) {
                    e.note = static_cast<int>((2 + rng() % 5) << 4 | rng() % 12);
                    e.instrument = 1 + static_cast<int>(rng() % 24);
                }
                if (rng() % 3 == 0) e.volume = static_cast<int>(rng() % 65);
                if (rng() % 3 == 0) {
                    e.command = 1 + static_cast<int>(rng() % 24);
                    e.param = static_cast<int>(rng() % 256);
                }
                row.push_back(e);
            }
        }
        s.patterns.push_back(std::move(pat));
    }
    for (int i = 0; i < 24; i++) {
        S3mSampleSpec sm;
        const bool wide = i % 4 == 0;
        sm.sixteen_bit = wide;
        const int frames = sample_frames / 24 * (1 + static_cast<int>(rng() % 2)) / 2 + 32;
        for (int v : wave(rng, frames, wide ? 32768 : 128)) {
            if (wide) {
                sm.data.push_back(static_cast<unsigned char>(v & 0xFF));
                sm.data.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
            } else
                sm.data.push_back(static_cast<unsigned char>(v & 0xFF));
        }
        sm.loop = rng() % 2;
        sm.loop_start = static_cast<uint32_t>(frames / 4);
        sm.loop_end = static_cast<uint32_t>(frames - 1);
        sm.volume = static_cast<int>(rng() % 65);
        sm.c2spd = 8363 + static_cast<uint32_t>(rng() % 400);
        s.sample_list.push_back(std::move(sm));
    }
    return s;
}

XmSpec realistic_xm(unsigned seed, int patterns, int channels, int instruments, int sample_frames)
{
    std::mt19937 rng(seed);
    XmSpec s;
    s.title = "benchmark module";
    s.channels = channels;
    s.orders.clear();
    for (int i = 0; i < patterns * 2 && i < 256; i++) s.orders.push_back(i % patterns);
    for (int p = 0; p < patterns; p++) {
        XmPattern pat;
        pat.rows = 64;
        pat.cells.resize(static_cast<size_t>(64 * channels));
        for (XmCell &c : pat.cells) {
            if (rng() % 2) {
                c.note = 1 + static_cast<int>(rng() % 96);
                c.instrument = 1 + static_cast<int>(rng() % static_cast<unsigned>(instruments));
            }
            if (rng() % 3 == 0) c.volume = 0x10 + static_cast<int>(rng() % 0x41);
            if (rng() % 3 == 0) {
                c.effect = static_cast<int>(rng() % 16);
                c.param = static_cast<int>(rng() % 256);
            }
        }
        s.patterns.push_back(std::move(pat));
    }
    for (int i = 0; i < instruments; i++) {
        XmInstrument ins;
        const int n = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < n; k++) {
            XmSampleSpec sm;
            sm.sixteen_bit = (i + k) % 3 == 0;
            const int frames =
                sample_frames / instruments / 2 * (1 + static_cast<int>(rng() % 2)) / n + 32;
            sm.frames = wave(rng, frames, sm.sixteen_bit ? 32768 : 128);
            const int fb = sm.sixteen_bit ? 2 : 1;
            sm.loop_type = static_cast<int>(rng() % 3);
            sm.loop_start = static_cast<uint32_t>(frames / 4 * fb);
            sm.loop_length = static_cast<uint32_t>(frames / 2 * fb);
            sm.volume = static_cast<int>(rng() % 65);
            sm.finetune = static_cast<int>(rng() % 256) - 128;
            sm.panning = static_cast<int>(rng() % 256);
            sm.relative_note = static_cast<int>(rng() % 25) - 12;
            ins.samples.push_back(std::move(sm));
        }
        for (int k = 0; k < 96; k++)
            ins.map[static_cast<size_t>(k)] = static_cast<unsigned char>(k * n / 96);
        ins.volume_env.points = {{0, 64}, {10, 48}, {40, 32}, {90, 0}};
        ins.volume_env.flags = 1 | 2;
        ins.volume_env.sustain = 1;
        ins.pan_env.points = {{0, 32}, {20, 0}, {40, 64}};
        ins.pan_env.flags = 1 | 4;
        ins.pan_env.loop_start = 1;
        ins.pan_env.loop_end = 2;
        ins.fadeout = 256;
        ins.vibrato_type = 1;
        ins.vibrato_depth = 4;
        ins.vibrato_rate = 8;
        s.instruments.push_back(std::move(ins));
    }
    return s;
}

// ------------------------------------------------------------------ probe songs

namespace {

constexpr int kProbeRows = 64;
constexpr int kProbeChannels = 4;
constexpr int kProbePatterns = 3;
constexpr int kProbeLoopFrames = 64;
constexpr int kProbeDrumFrames = 3000;
constexpr int kProbeLeadFrames = 6000;
constexpr int kNoNote = -1;
constexpr int kKeyOff = -2;
constexpr int kXmKeyOffNote = 97;
constexpr int kXmFirstNote = 37;  // the XM note of the lowest ProTracker note at the same pitch
constexpr int kS3mFirstOctave = 3;
// Notes of a minor scale, counted in semitones from the lowest ProTracker note.
constexpr int kLeadNotes[] = {12, 15, 17, 19, 22, 24, 27, 29};
constexpr int kBassNotes[] = {0, 3, 5, 7, 10};

enum ProbeInstrument { kLead = 1, kPad, kBass, kDrum, kTuned };

// One cell in format-free terms: a note is a semitone index (or kNoNote, kKeyOff), effects and
// volumes are in the file format's own numbering (volume -1: none).
struct ProbeCell {
    int note = kNoNote;
    int instrument = 0;
    int volume = -1;
    int effect = -1;
    int param = 0;
};
using ProbePattern = std::vector<ProbeCell>;  // kProbeRows x kProbeChannels

struct ProbeFamily {
    const char *name;
    std::vector<std::pair<int, int>> effects;  // (effect, parameter), one per note in turn
    std::vector<int> volumes;                  // volume column values in turn (none: unused)
    // Changes to the planned patterns: jumps, key offs, instrument-only cells.
    void (*extra)(std::vector<ProbePattern> &) = nullptr;
    // Smooth waves only, so that every sharp step in a render is a click the player made.
    bool smooth = false;
};

ProbeCell &at(std::vector<ProbePattern> &p, int pattern, int row, int ch)
{
    return p[static_cast<size_t>(pattern)][static_cast<size_t>(row * kProbeChannels + ch)];
}

// Lead notes every 4 rows and a second voice every 8, each followed by the family's effect on
// the rows it holds; a bass every 16 rows and a drum every 4, without effects.
std::vector<ProbePattern> plan_probe(const ProbeFamily &f, unsigned seed)
{
    std::mt19937 rng(seed);
    const auto pick = [&rng](const auto &list) {
        return list[rng() % (sizeof list / sizeof list[0])];
    };
    std::vector<ProbePattern> pats(kProbePatterns, ProbePattern(kProbeRows * kProbeChannels));
    const size_t n = f.effects.size();
    size_t event = 0;
    for (int p = 0; p < kProbePatterns; p++) {
        for (int r = 0; r < kProbeRows; r++) {
            ProbeCell &lead = at(pats, p, r, 0);
            ProbeCell &pad = at(pats, p, r, 1);
            if (r % 4 == 0) {
                lead.note = pick(kLeadNotes);
                lead.instrument = event % 3 == 2 ? kTuned : kLead;
                event++;
            }
            if (n) {
                const auto [e, param] = f.effects[(event - 1) % n];
                lead.effect = e;
                lead.param = param;
                const auto [e2, param2] = f.effects[(event / 2 + 3) % n];
                if (r % 8 >= 2) pad.effect = e2, pad.param = param2;
            }
            if (r % 8 == 2) {
                pad.note = pick(kLeadNotes) - 5;
                pad.instrument = kPad;
            }
            if (!f.volumes.empty()) {
                lead.volume = f.volumes[(event + static_cast<size_t>(r)) % f.volumes.size()];
                pad.volume = f.volumes[(event * 3 + static_cast<size_t>(r)) % f.volumes.size()];
            }
            if (r % 16 == 0) at(pats, p, r, 2) = {pick(kBassNotes), kBass, -1, -1, 0};
            if (r % 4 == 2) at(pats, p, r, 3) = {24, kDrum, -1, -1, 0};
        }
    }
    if (f.extra) f.extra(pats);
    return pats;
}

// Tonal loops with strong harmonics, a bass, and a drum hit that does not loop. Smooth: sines,
// with the lead and the drum as cosines that start at their peak and never die away, so that
// starting, cutting or offsetting them steps.
std::vector<int> probe_wave(int instrument, int amplitude, bool smooth)
{
    const double pi = 3.14159265358979;
    std::vector<int> v;
    if (smooth) {
        constexpr int kCosineCycle = 100;
        const bool peak = instrument == kLead || instrument == kDrum;
        const int frames = instrument == kLead   ? kProbeLeadFrames
                           : instrument == kDrum ? kProbeDrumFrames
                                                 : kProbeLoopFrames;
        for (int i = 0; i < frames; i++)
            v.push_back(static_cast<int>(0.9 * amplitude *
                                         (peak ? std::cos(2 * pi * i / kCosineCycle)
                                               : std::sin(2 * pi * i / kProbeLoopFrames))));
        return v;
    }
    if (instrument == kDrum) {
        std::mt19937 rng(7);
        for (int i = 0; i < kProbeDrumFrames; i++) {
            const double decay = 1.0 - static_cast<double>(i) / kProbeDrumFrames;
            const double noise = static_cast<int>(rng() % 201) - 100;
            v.push_back(static_cast<int>(
                amplitude * decay * (0.9 * std::sin(2 * pi * i / (18 + i / 80)) + 0.004 * noise)));
        }
        return v;
    }
    // The lead is a struck tone that dies away within a few rows, so the songs breathe.
    const int frames = instrument == kLead ? kProbeLeadFrames : kProbeLoopFrames;
    for (int i = 0; i < frames; i++) {
        const double x = static_cast<double>(i % kProbeLoopFrames) / kProbeLoopFrames;
        const double decay = instrument == kLead ? std::exp(-4.0 * i / frames) : 1.0;
        double s = 0;
        switch (instrument) {
        case kPad: s = 0.6 * (x < 0.5 ? 4 * x - 1 : 3 - 4 * x) + 0.3 * std::sin(4 * pi * x); break;
        case kBass: s = 0.9 * std::sin(2 * pi * x); break;
        default: s = 0.55 * (2 * x - 1) + 0.35 * (x < 0.5 ? 1 : -1); break;
        }
        v.push_back(static_cast<int>(amplitude * decay * s));
    }
    return v;
}

int probe_finetune(int instrument)
{
    return instrument == kTuned ? 13 : instrument == kPad ? 3 : 0;  // MOD nibbles: -3 and +3
}

ModuleImage probe_mod(const ProbeFamily &f, unsigned seed)
{
    ModSpec s;
    s.title = f.name;
    s.song_length = kProbePatterns;
    for (int i = 0; i < kProbePatterns; i++)
        s.orders[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
    for (int ins = kLead; ins <= kTuned; ins++) {
        ModSampleSpec sm;
        const int source = ins == kTuned ? kLead : ins;
        for (int v : probe_wave(source, 110, f.smooth))
            sm.data.push_back(static_cast<signed char>(v));
        sm.finetune = probe_finetune(ins);
        if (source == kPad || source == kBass) sm.repeat_length_words = kProbeLoopFrames / 2;
        s.sample_list.push_back(sm);
    }
    for (const ProbePattern &p : plan_probe(f, seed)) {
        std::vector<ModCell> cells;
        for (const ProbeCell &c : p)
            cells.push_back({c.instrument, c.note >= 0 ? kModPeriods[std::min(c.note, 35)] : 0,
                             std::max(c.effect, 0), c.effect >= 0 ? c.param : 0});
        s.patterns.push_back(std::move(cells));
    }
    return write_mod(s);
}

ModuleImage probe_s3m(const ProbeFamily &f, unsigned seed)
{
    S3mSpec s;
    s.title = f.name;
    s.channel_settings.fill(255);
    for (int i = 0; i < kProbeChannels; i++)
        s.channel_settings[static_cast<size_t>(i)] = static_cast<unsigned char>(i % 2 ? 8 + i : i);
    for (int i = 0; i < kProbePatterns; i++) s.orders.push_back(i);
    s.sample_format = 1;
    for (int ins = kLead; ins <= kTuned; ins++) {
        S3mSampleSpec sm;
        const int source = ins == kTuned ? kLead : ins;
        for (int v : probe_wave(source, 110, f.smooth))
            sm.data.push_back(static_cast<unsigned char>(v & 0xFF));
        sm.loop = source == kPad || source == kBass;
        sm.loop_end = static_cast<uint32_t>(sm.data.size());
        sm.c2spd = ins == kTuned ? 8100 : ins == kPad ? 8600 : 8363;
        s.sample_list.push_back(sm);
    }
    for (const ProbePattern &p : plan_probe(f, seed)) {
        S3mPattern pat;
        for (int r = 0; r < kProbeRows; r++)
            for (int ch = 0; ch < kProbeChannels; ch++) {
                const ProbeCell &c = p[static_cast<size_t>(r * kProbeChannels + ch)];
                if (c.note == kNoNote && c.volume < 0 && c.effect < 0 && c.instrument == 0)
                    continue;
                S3mEntry e;
                e.channel = ch;
                if (c.note >= 0 || c.instrument)
                    e.note = c.note == kKeyOff ? 254
                             : c.note >= 0 ? ((kS3mFirstOctave + c.note / 12) << 4) | (c.note % 12)
                                           : 255;
                e.instrument = c.instrument;
                e.volume = c.volume;
                if (c.effect > 0) e.command = c.effect, e.param = c.param;
                pat.rows[static_cast<size_t>(r)].push_back(e);
            }
        s.patterns.push_back(std::move(pat));
    }
    return write_s3m(s);
}

XmInstrument probe_xm_instrument(int ins, bool envelopes, int vibrato_depth, bool smooth)
{
    XmInstrument in;
    XmSampleSpec sm;
    const int source = ins == kTuned ? kLead : ins;
    sm.frames = probe_wave(source, 110, smooth);
    const bool loop = source == kPad || source == kBass;
    sm.loop_type = loop ? 1 : 0;
    sm.loop_length = loop ? static_cast<uint32_t>(sm.frames.size()) : 0;
    sm.finetune = ins == kTuned ? -40 : ins == kPad ? 25 : 0;
    sm.volume = ins == kPad ? 48 : 64;
    sm.panning = ins == kPad ? 96 : 160;
    in.samples.push_back(sm);
    if (envelopes && source != kDrum) {
        in.volume_env = {{{0, 64}, {8, 40}, {24, 52}, {64, 12}}, -1, 1 | 2 | 4, 2, 1, 2};
        in.pan_env = {{{0, 32}, {16, 8}, {32, 56}, {48, 32}}, -1, 1 | 4, 0, 1, 3};
        in.fadeout = 1200;
    }
    if (ins == kLead) {
        in.vibrato_depth = vibrato_depth;
        in.vibrato_rate = vibrato_depth ? 24 : 0;
    }
    return in;
}

ModuleImage probe_xm(const ProbeFamily &f, unsigned seed, bool linear)
{
    const std::string name = f.name;
    XmSpec s;
    s.title = name;
    s.linear = linear;
    s.orders.clear();
    for (int i = 0; i < kProbePatterns; i++) s.orders.push_back(i);
    const bool envelopes = name == "xm-envelopes" || name == "xm-instruments";
    for (int ins = kLead; ins <= kTuned; ins++)
        s.instruments.push_back(
            probe_xm_instrument(ins, envelopes, name == "xm-autovibrato" ? 10 : 0, f.smooth));
    for (const ProbePattern &p : plan_probe(f, seed)) {
        XmPattern pat;
        for (const ProbeCell &c : p)
            pat.cells.push_back({c.note == kKeyOff ? kXmKeyOffNote
                                 : c.note >= 0     ? kXmFirstNote + c.note
                                                   : 0,
                                 c.instrument, std::max(c.volume, 0), std::max(c.effect, 0),
                                 c.effect >= 0 ? c.param : 0});
        s.patterns.push_back(std::move(pat));
    }
    return write_xm(s);
}

// Speed and tempo changes and a pattern delay on the bass channel.
void probe_tempo(std::vector<ProbePattern> &p, int speed_effect, int tempo_effect, int tempo_param,
                 int delay_effect)
{
    at(p, 1, 0, 2).effect = speed_effect, at(p, 1, 0, 2).param = 5;
    at(p, 2, 0, 2).effect = tempo_effect, at(p, 2, 0, 2).param = tempo_param;
    at(p, 2, 32, 2).effect = delay_effect, at(p, 2, 32, 2).param = 0xE1;
}

// Instrument numbers without notes on the second voice, a new sample over the playing one.
void probe_instrument_only(std::vector<ProbePattern> &p)
{
    for (int pat = 0; pat < kProbePatterns; pat++)
        for (int r = 6; r < kProbeRows; r += 8)
            at(p, pat, r, 1).instrument = r % 16 == 6 ? kTuned : kPad;
}

// XM: key off on the lead's third row; on its fourth a tone portamento with an instrument
// number; the second voice fades by volume slides and then gets its instrument number alone.
void probe_xm_instruments(std::vector<ProbePattern> &p)
{
    for (int pat = 0; pat < kProbePatterns; pat++)
        for (int r = 0; r < kProbeRows; r++) {
            ProbeCell &lead = at(p, pat, r, 0);
            ProbeCell &pad = at(p, pat, r, 1);
            if (r % 4 == 2) lead = {kKeyOff, 0, -1, -1, 0};
            if (r % 4 == 3) lead = {kLeadNotes[(r / 4) % 8], kLead, -1, 3, 0x20};
            if (r % 8 >= 3 && r % 8 <= 5) pad.effect = 10, pad.param = 0x0F;
            if (r % 8 == 6) pad = {kNoNote, kPad, -1, -1, 0};
        }
}

// XM: key offs by note and by command, and an envelope position jump.
void probe_xm_envelopes(std::vector<ProbePattern> &p)
{
    for (int pat = 0; pat < kProbePatterns; pat++)
        for (int r = 0; r < kProbeRows; r++) {
            if (r % 8 == 3) at(p, pat, r, 0) = {kKeyOff, 0, -1, -1, 0};
            if (r % 8 == 7) at(p, pat, r, 1).effect = 20, at(p, pat, r, 1).param = 0;
            if (r % 16 == 9) at(p, pat, r, 0).effect = 21, at(p, pat, r, 0).param = 0x10;
        }
}

// Songs built to click: the second voice's held tone jumps between full volume and silence row
// by row, the bass is cut, and the lead (cut, offset and restarted at its peak by the family's
// effects) is keyed off without an envelope in XM.
void probe_clicks(std::vector<ProbePattern> &p)
{
    for (int pat = 0; pat < kProbePatterns; pat++)
        for (int r = 0; r < kProbeRows; r++) {
            ProbeCell &pad = at(p, pat, r, 1);
            pad.effect = 0xC;
            pad.param = r % 2 ? 0x00 : 0x40;
            if (r % 16 == 6) at(p, pat, r, 2).effect = 0xE, at(p, pat, r, 2).param = 0xC3;
            if (r % 8 == 3) at(p, pat, r, 0) = {kKeyOff, 0, -1, -1, 0};
        }
}

}  // namespace

std::vector<std::pair<std::string, ModuleImage>> probe_modules()
{
    // clang-format off
    const ProbeFamily mod[] = {
        {"mod-arpeggio", {{0, 0x47}, {0, 0x37}, {0, 0x0C}, {0, 0x70}, {0, 0x03}, {0, 0x58}}, {}},
        {"mod-slides", {{1, 0x03}, {2, 0x02}, {3, 0x06}, {5, 0x02}, {3, 0x00}, {0xE, 0x12}, {0xE, 0x21}}, {}},
        {"mod-vibrato", {{4, 0x46}, {4, 0x28}, {6, 0x02}, {7, 0x46}, {7, 0x28}, {4, 0x00}, {6, 0x20}}, {}},
        {"mod-volume", {{0xA, 0x02}, {0xA, 0x10}, {0xC, 0x20}, {0xC, 0x40}, {0xE, 0xA2}, {0xE, 0xB3},
                        {0xE, 0xC3}, {0xE, 0x92}}, {}},
        {"mod-notes", {{9, 0x04}, {9, 0x00}, {0xE, 0xD2}, {0, 0}}, {},
         [](std::vector<ProbePattern> &p) { probe_instrument_only(p); probe_tempo(p, 0xF, 0xF, 0x8C, 0xE); }},
    };
    const ProbeFamily s3m[] = {
        {"s3m-slides", {{4, 0x03}, {4, 0x30}, {4, 0xF2}, {4, 0x2F}, {5, 0x06}, {6, 0x04}, {5, 0xF4},
                        {6, 0xE8}, {7, 0x10}, {12, 0x02}, {4, 0x00}}, {}},
        {"s3m-vibrato", {{8, 0x46}, {21, 0x4C}, {11, 0x02}, {18, 0x46}, {10, 0x47}, {10, 0x00}, {9, 0x21},
                         {17, 0x03}, {17, 0x83}}, {}},
        {"s3m-volume", {{24, 0x20}, {24, 0x60}, {19, 0xA2}, {19, 0x84}, {15, 0x02}, {0, 0}},
         {64, 40, 20, 50, 10, 64, 32},
         [](std::vector<ProbePattern> &p) { probe_tempo(p, 1, 20, 0x90, 19); }},
    };
    const ProbeFamily xm_effects = {
        "xm-effects", {{0, 0x47}, {1, 0x08}, {2, 0x06}, {3, 0x10}, {4, 0x48}, {5, 0x02}, {6, 0x20}, {7, 0x46},
                       {10, 0x04}, {10, 0x20}, {14, 0x12}, {14, 0x23}, {14, 0xA2}, {14, 0xB2}, {27, 0x83},
                       {29, 0x21}, {33, 0x12}, {33, 0x23}, {25, 0x08}}, {}};
    const ProbeFamily xm[] = {
        {"xm-volume-column", {}, {0x50, 0x30, 0x65, 0x72, 0x84, 0x93, 0xA4, 0xB6, 0xC3, 0xCC, 0xD4, 0xE4,
                                  0xF8, 0x20, 0x40}},
        {"xm-envelopes", {{0, 0}}, {}, probe_xm_envelopes},
        {"xm-instruments", {{0, 0}}, {}, probe_xm_instruments},
        {"xm-autovibrato", {{0, 0}}, {}},
    };
    const ProbeFamily clicks = {"clicks", {{0xE, 0xC2}, {9, 0x03}, {0, 0}, {0xC, 0x30}}, {}, probe_clicks, true};
    // clang-format on
    std::vector<std::pair<std::string, ModuleImage>> out;
    unsigned seed = 1;
    for (const ProbeFamily &f : mod)
        out.emplace_back(std::string(f.name) + ".mod", probe_mod(f, seed++));
    for (const ProbeFamily &f : s3m)
        out.emplace_back(std::string(f.name) + ".s3m", probe_s3m(f, seed++));
    out.emplace_back("xm-effects.xm", probe_xm(xm_effects, seed++, true));
    ProbeFamily amiga = xm_effects;
    amiga.name = "xm-amiga";
    out.emplace_back("xm-amiga.xm", probe_xm(amiga, seed++, false));
    for (const ProbeFamily &f : xm)
        out.emplace_back(std::string(f.name) + ".xm", probe_xm(f, seed++, true));
    out.emplace_back("mod-clicks.mod", probe_mod(clicks, seed++));
    out.emplace_back("xm-clicks.xm", probe_xm(clicks, seed++, true));
    return out;
}
