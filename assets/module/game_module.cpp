// SPDX-License-Identifier: MIT
// Composes the game's music, a four-channel period module with synthesised samples, and writes it as QVM.
#include <allegro.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "qvm_writer.h"
#include "qvmod.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kAmigaClock = 3579546;  // pitch value = kAmigaClock / Amiga period
constexpr int kBasePeriod = 428;      // ProTracker C-2: plays a sample at its c2spd
constexpr int kC2spd = 8363;          // sample rate that period 428 gives
constexpr int kCycle = 32;            // frames per cycle of a tone sample: C4 at period 428
constexpr int kRows = 64;
constexpr int kChannels = 4;
constexpr int kSpeed = 6;
constexpr int kBpm = 125;

enum Channel { LEAD, CHORD, BASS, DRUM };
// 1-based sample numbers, as cells name them.
enum Sample {
    S_LEAD = 1,
    S_PLUCK,
    S_BASS,
    S_KICK,
    S_SNARE,
    S_HAT,
    S_CRASH,
    SAMPLE_COUNT = S_CRASH
};
// MIDI note that each sample plays at period 428.
constexpr int kSampleBase[SAMPLE_COUNT + 1] = {0, 60, 60, 48, 60, 60, 72, 60};

// ------------------------------------------------------------------ samples

struct SampleData {
    std::vector<uint16_t> frames;  // Allegro's form: unsigned, centred on 0x8000
    int loop_start = -1;           // -1: plays once
    int volume = 64;
};

uint16_t to_frame(double v)
{
    v = std::fmax(-1.0, std::fmin(1.0, v));
    return static_cast<uint16_t>(std::lround(v * 30000.0) + 0x8000);
}

// A band-limited tone: harmonic h has amplitude amps[h-1]; one cycle is kCycle * octaves_down frames.
double tone(const std::vector<double> &amps, double phase)
{
    double s = 0;
    for (size_t h = 0; h < amps.size(); h++) s += amps[h] * std::sin(2 * kPi * (h + 1) * phase);
    return s;
}

std::vector<double> pulse_amps(double duty, int count)
{
    std::vector<double> a;
    for (int h = 1; h <= count; h++) a.push_back(2.0 / (h * kPi) * std::sin(kPi * h * duty));
    return a;
}

std::vector<double> saw_amps(int count)
{
    std::vector<double> a;
    for (int h = 1; h <= count; h++) a.push_back(1.0 / h);
    return a;
}

double peak_of(const std::vector<double> &amps, int cycle)
{
    double p = 1e-9;
    for (int i = 0; i < cycle; i++)
        p = std::fmax(p, std::fabs(tone(amps, static_cast<double>(i) / cycle)));
    return p;
}

// A held tone: an attack that settles over `attack_cycles`, then a looped steady cycle.
SampleData held(const std::vector<double> &amps, int cycle, int attack_cycles, double settle,
                int volume)
{
    SampleData s;
    s.volume = volume;
    const double norm = 1.0 / peak_of(amps, cycle);
    const int attack = attack_cycles * cycle;
    for (int i = 0; i < attack + cycle * 4; i++) {
        double t = std::fmin(1.0, static_cast<double>(i) / attack);
        double level = 1.0 - (1.0 - settle) * t;
        double rise = std::fmin(1.0, i / 24.0);
        s.frames.push_back(
            to_frame(tone(amps, static_cast<double>(i % cycle) / cycle) * norm * level * rise));
    }
    s.loop_start = attack;
    return s;
}

// A plucked tone that dies away within the sample.
SampleData pluck(const std::vector<double> &amps, int cycle, double seconds, int volume)
{
    SampleData s;
    s.volume = volume;
    const int n = static_cast<int>(seconds * kC2spd);
    const double norm = 1.0 / peak_of(amps, cycle);
    for (int i = 0; i < n; i++) {
        double t = static_cast<double>(i) / kC2spd;
        double env = std::exp(-t * 6.0) * std::fmin(1.0, i / 12.0) * std::fmin(1.0, (n - i) / 64.0);
        // Upper harmonics fade faster than the fundamental, like a plucked string.
        std::vector<double> a = amps;
        for (size_t h = 1; h < a.size(); h++) a[h] *= std::exp(-t * 4.0 * h);
        s.frames.push_back(to_frame(tone(a, static_cast<double>(i % cycle) / cycle) * norm * env));
    }
    return s;
}

uint32_t noise_state = 0x1234567u;
double noise()
{
    noise_state = noise_state * 1664525u + 1013904223u;
    return static_cast<double>(noise_state >> 8) / (1u << 23) - 1.0;
}

SampleData kick()
{
    SampleData s;
    s.volume = 64;
    const int n = static_cast<int>(0.26 * kC2spd);
    double phase = 0;
    for (int i = 0; i < n; i++) {
        double t = static_cast<double>(i) / kC2spd;
        double f = 45 + 120 * std::exp(-t * 28);
        phase += f / kC2spd;
        double env = std::exp(-t * 11) * std::fmin(1.0, i / 4.0) * std::fmin(1.0, (n - i) / 48.0);
        s.frames.push_back(to_frame(std::sin(2 * kPi * phase) * env * 0.95));
    }
    return s;
}

SampleData snare()
{
    SampleData s;
    s.volume = 56;
    const int n = static_cast<int>(0.20 * kC2spd);
    double low = 0;
    for (int i = 0; i < n; i++) {
        double t = static_cast<double>(i) / kC2spd;
        double nz = noise();
        low += (nz - low) * 0.45;  // a little smoothing takes the hiss off the noise
        double body = std::sin(2 * kPi * 185 * t) * std::exp(-t * 30);
        double env = std::exp(-t * 16) * std::fmin(1.0, i / 3.0) * std::fmin(1.0, (n - i) / 48.0);
        s.frames.push_back(to_frame((0.75 * low + 0.5 * body) * env));
    }
    return s;
}

SampleData hat()
{
    // Synthesised at twice the base rate: the hat plays an octave up, at 16726 frames a second.
    SampleData s;
    s.volume = 34;
    const int rate = kC2spd * 2;
    const int n = static_cast<int>(0.06 * rate);
    double prev = 0;
    for (int i = 0; i < n; i++) {
        double t = static_cast<double>(i) / rate;
        double nz = noise();
        double high = nz - prev;  // first difference: keeps the bright part of the noise
        prev = nz;
        double env = std::exp(-t * 60) * std::fmin(1.0, i / 3.0) * std::fmin(1.0, (n - i) / 32.0);
        s.frames.push_back(to_frame(high * 0.5 * env));
    }
    return s;
}

// A kick under a long cymbal wash: one drum channel marks the start of a section with both.
SampleData crash()
{
    SampleData s;
    s.volume = 52;
    const SampleData k = kick();
    const int n = static_cast<int>(1.1 * kC2spd);
    double prev = 0, band = 0;
    for (int i = 0; i < n; i++) {
        double t = static_cast<double>(i) / kC2spd;
        double nz = noise();
        band +=
            ((nz - prev) - band) * 0.6;  // high-passed, then softened: a wash rather than a hiss
        prev = nz;
        double env = std::exp(-t * 4.5) * std::fmin(1.0, i / 3.0) * std::fmin(1.0, (n - i) / 256.0);
        double body = i < static_cast<int>(k.frames.size())
                          ? (static_cast<int>(k.frames[i]) - 0x8000) / 30000.0
                          : 0.0;
        s.frames.push_back(to_frame(0.8 * body + 0.32 * band * env));
    }
    return s;
}

// ------------------------------------------------------------------ patterns

// The pitch value of a MIDI note on a sample: its Amiga period relative to period 428.
int pitch(int sample, int midi_note)
{
    const int semis = midi_note - kSampleBase[sample];
    const int period = static_cast<int>(std::lround(kBasePeriod * std::pow(2.0, -semis / 12.0)));
    return kAmigaClock / period;
}

struct Song {
    std::vector<std::vector<NOTE_INFO>> patterns;

    int add_pattern()
    {
        patterns.emplace_back(kRows * kChannels, NOTE_INFO{0, 0, 0, 0, 0});
        return static_cast<int>(patterns.size()) - 1;
    }
    NOTE_INFO &cell(int p, int row, int ch) { return patterns[p][row * kChannels + ch]; }
    void note(int p, int row, int ch, int sample, int midi, int cmd = 0, int param = 0)
    {
        NOTE_INFO &c = cell(p, row, ch);
        c.sample = sample;
        c.note = pitch(sample, midi);
        c.command = cmd;
        c.extcommand = param;
    }
    void effect(int p, int row, int ch, int cmd, int param)
    {
        NOTE_INFO &c = cell(p, row, ch);
        c.command = cmd;
        c.extcommand = param;
    }
};

struct Chord {
    int root;  // MIDI note of the bass root
    int arp;   // arpeggio parameter: semitones of the third and fifth
};
constexpr int A2 = 45, C3 = 48, D3 = 50, E2 = 40, E3 = 52, F2 = 41, G2 = 43;
constexpr int MINOR = 0x37, MAJOR = 0x47;
const Chord kVerse[4] = {{A2, MINOR}, {F2, MAJOR}, {C3, MAJOR}, {G2, MAJOR}};
const Chord kChorus[4] = {{F2, MAJOR}, {G2, MAJOR}, {E2, MINOR}, {A2, MINOR}};
const Chord kChorusEnd[4] = {{F2, MAJOR}, {G2, MAJOR}, {A2, MINOR}, {E2, MAJOR}};
const Chord kBridge[4] = {{D3, MINOR}, {A2, MINOR}, {D3, MINOR}, {E3, MAJOR}};
const Chord kFloat[4] = {{A2, MINOR}, {E2, MINOR}, {F2, MAJOR}, {C3, MAJOR}};
const Chord kFloatEnd[4] = {{D3, MINOR}, {A2, MINOR}, {F2, MAJOR}, {E2, MAJOR}};
const Chord kTurn[4] = {{A2, MINOR}, {F2, MAJOR}, {D3, MINOR}, {E2, MAJOR}};

constexpr int VIB = CMD_VIBRATO, SLIDE = CMD_PRO_VOLSLIDE, PORTA = CMD_TONE_PORTA,
              SETVOL = CMD_SET_VOLUME;

// How the backing of a pattern is played.
enum class Drums { NONE, LATE, FULL, FILL, HALF };  // LATE: from the third bar; HALF: half time
enum class Chords { ROLL, BROKEN, SPARSE };  // arpeggio every beat, broken chord, two plucks a bar
enum class Bass { BOUNCE, HELD };

void drums_bar(Song &s, int p, int bar, Drums d, bool crash_first)
{
    const int r0 = bar * 16;
    if (d == Drums::NONE || (d == Drums::LATE && bar < 2)) return;
    if (d == Drums::HALF) {
        s.note(p, r0, DRUM, crash_first && bar == 0 ? S_CRASH : S_KICK, 60);
        s.note(p, r0 + 8, DRUM, S_SNARE, 60);
        s.note(p, r0 + 4, DRUM, S_HAT, 72, SETVOL, 22);
        s.note(p, r0 + 12, DRUM, S_HAT, 72, SETVOL, 22);
        if (bar % 2) s.note(p, r0 + 14, DRUM, S_KICK, 60, SETVOL, 40);
        return;
    }
    s.note(p, r0, DRUM, crash_first && bar == 0 ? S_CRASH : S_KICK, 60);
    s.note(p, r0 + 8, DRUM, S_KICK, 60);
    if (bar % 2) s.note(p, r0 + 10, DRUM, S_KICK, 60);
    s.note(p, r0 + 4, DRUM, S_SNARE, 60);
    s.note(p, r0 + 12, DRUM, S_SNARE, 60);
    for (int h : {2, 6, 14}) s.note(p, r0 + h, DRUM, S_HAT, 72);
    if (!(bar % 2)) s.note(p, r0 + 10, DRUM, S_HAT, 72);
    if (d == Drums::FILL && bar == 3) {
        // Snare roll into the next section, rising in pitch and volume.
        s.note(p, r0 + 9, DRUM, S_SNARE, 58, SETVOL, 20);
        s.note(p, r0 + 10, DRUM, S_SNARE, 58, SETVOL, 24);
        s.note(p, r0 + 11, DRUM, S_SNARE, 59, SETVOL, 28);
        s.note(p, r0 + 13, DRUM, S_SNARE, 60, SETVOL, 36);
        s.note(p, r0 + 14, DRUM, S_SNARE, 62, SETVOL, 46);
        s.note(p, r0 + 15, DRUM, S_SNARE, 64);
    }
}

void backing(Song &s, int p, const Chord (&chords)[4], Drums d, Chords style = Chords::ROLL,
             Bass bass = Bass::BOUNCE, bool crash_first = false)
{
    for (int bar = 0; bar < 4; bar++) {
        const Chord &c = chords[bar];
        const int r0 = bar * 16;
        if (bass == Bass::BOUNCE) {
            for (int k = 0; k < 8; k++) {
                const int octave = (k % 4 == 2) ? 12 : 0;
                s.note(p, r0 + 2 * k, BASS, S_BASS, c.root + octave);
                s.effect(p, r0 + 2 * k + 1, BASS, SETVOL, 20);  // short, bouncy notes
            }
        } else {
            // A held root that fades a little through the bar, then the fifth on the last beat.
            s.note(p, r0, BASS, S_BASS, c.root, SETVOL, 56);
            for (int r = 2; r < 12; r += 2) s.effect(p, r0 + r, BASS, SLIDE, 0x01);
            s.note(p, r0 + 12, BASS, S_BASS, c.root + 7, SETVOL, 40);
        }
        const int third = c.arp >> 4;
        switch (style) {
        case Chords::ROLL:
            for (int k = 0; k < 4; k++)
                for (int t = 0; t < 4; t++) {
                    // The pluck sounds on the beat; the arpeggio keeps rolling under the following rows.
                    if (t == 0)
                        s.note(p, r0 + 4 * k, CHORD, S_PLUCK, c.root + 24 - (k == 2 ? 12 : 0),
                               CMD_ARPEGGIO, c.arp);
                    else
                        s.effect(p, r0 + 4 * k + t, CHORD, CMD_ARPEGGIO, c.arp);
                }
            break;
        case Chords::BROKEN: {
            const int steps[8] = {0, 7, 12, third, 7, 12, third + 12, 7};
            for (int k = 0; k < 8; k++)
                s.note(p, r0 + 2 * k, CHORD, S_PLUCK, c.root + 12 + steps[k], SETVOL,
                       k % 2 ? 26 : 36);
            break;
        }
        case Chords::SPARSE:
            for (int k : {0, 8}) {
                s.note(p, r0 + k, CHORD, S_PLUCK, c.root + 24, CMD_ARPEGGIO, c.arp);
                for (int t = 1; t < 8; t++) s.effect(p, r0 + k + t, CHORD, CMD_ARPEGGIO, c.arp);
            }
            break;
        }
        drums_bar(s, p, bar, d, crash_first);
    }
}

// A lead note (midi < 0: no new note) whose effect goes on up to row `until`: effects act
// only on the rows that carry them.
struct Note {
    int row, midi;
    int cmd = 0, param = 0, until = -1;
};

void melody(Song &s, int p, const std::vector<Note> &notes)
{
    for (const Note &n : notes) {
        if (n.midi < 0)
            s.effect(p, n.row, LEAD, n.cmd, n.param);
        else
            s.note(p, n.row, LEAD, S_LEAD, n.midi, n.cmd, n.param);
        for (int r = n.row + 1; r <= n.until && r < kRows; r++)
            s.effect(p, r, LEAD, n.cmd, n.param);
    }
}

// A long lead note that swells in from a low volume, sings with vibrato and fades before the next.
void swell(Song &s, int p, int row, int midi, int length)
{
    s.note(p, row, LEAD, S_LEAD, midi, SETVOL, 12);
    for (int r = row + 1; r <= row + 4; r++) s.effect(p, r, LEAD, SLIDE, 0x30);
    for (int r = row + 5; r < row + length - 2; r++) s.effect(p, r, LEAD, VIB, 0x35);
    for (int r = row + length - 2; r < row + length; r++) s.effect(p, r, LEAD, SLIDE, 0x04);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.qvm\n", argv[0]);
        return 2;
    }

    // Sample volumes are balanced for the game, which plays its music at module volume 60 of 255:
    // there the mix peaks near -10 dBFS under the sound effects.  At full module volume it would clip.
    std::vector<SampleData> data(SAMPLE_COUNT + 1);
    data[S_LEAD] = held(pulse_amps(0.30, 14), kCycle, 40, 0.72, 58);
    data[S_PLUCK] = pluck(pulse_amps(0.5, 9), kCycle, 0.55, 40);
    data[S_BASS] = held(saw_amps(10), kCycle * 2, 12, 0.8, 64);  // one octave below the others
    data[S_KICK] = kick();
    data[S_SNARE] = snare();
    data[S_HAT] = hat();
    data[S_CRASH] = crash();

    Song song;
    // Intro: the verse chords alone, the beat joining in the third bar, a pick-up into the verse.
    int intro = song.add_pattern();
    backing(song, intro, kVerse, Drums::LATE);
    song.note(intro, 32, DRUM, S_CRASH, 60);
    melody(song, intro, {{56, 69}, {58, 71}, {60, 72}, {62, 74}});
    // Verse.
    int verse = song.add_pattern();
    backing(song, verse, kVerse, Drums::FULL, Chords::ROLL, Bass::BOUNCE, true);
    melody(song, verse,
           {{0, 76},
            {6, 74},
            {8, 72},
            {12, 71},
            {14, 72},
            {16, 69, VIB, 0x34, 23},
            {24, 72},
            {28, 77},
            {32, 76},
            {38, 79},
            {40, 76},
            {44, 74},
            {46, 72},
            {48, 74, VIB, 0x34, 55},
            {56, 71},
            {60, 67, 0, 0},
            {61, -1, SLIDE, 0x02, 63}});
    // The verse again, higher, with a slide up into the long note.
    int verse2 = song.add_pattern();
    backing(song, verse2, kVerse, Drums::FILL);
    melody(song, verse2,
           {{0, 81},
            {4, 79},
            {6, 76},
            {8, 72},
            {12, 76},
            {16, 77, VIB, 0x44, 21},
            {22, 76},
            {24, 72},
            {28, 69},
            {32, 79},
            {36, 76},
            {40, 72},
            {42, 74},
            {44, 76, VIB, 0x34, 47},
            {48, 74},
            {50, 79, PORTA, 0x08, 52},
            {53, -1, VIB, 0x44, 57},
            {58, -1, SLIDE, 0x03, 59},
            {60, 71},
            {62, 72}});
    // Chorus: the relative major's chords, long singing notes.
    int chorus = song.add_pattern();
    backing(song, chorus, kChorus, Drums::FULL, Chords::ROLL, Bass::BOUNCE, true);
    melody(song, chorus,
           {{0, 81, VIB, 0x34, 5},
            {6, 79},
            {8, 77},
            {12, 76},
            {14, 77},
            {16, 79, VIB, 0x34, 23},
            {24, 71},
            {26, 74},
            {28, 79, VIB, 0x24, 31},
            {32, 76, VIB, 0x34, 39},
            {40, 71},
            {42, 76},
            {44, 79},
            {48, 81, PORTA, 0x0C, 50},
            {51, -1, VIB, 0x44, 57},
            {58, -1, SLIDE, 0x02, 63}});
    // Chorus, second half: ends on the dominant.
    int chorus2 = song.add_pattern();
    backing(song, chorus2, kChorusEnd, Drums::FILL);
    melody(song, chorus2,
           {{0, 81},
            {4, 84},
            {6, 81},
            {8, 77, VIB, 0x34, 13},
            {14, 76},
            {16, 74},
            {18, 76},
            {20, 79, VIB, 0x34, 27},
            {28, 77},
            {30, 76},
            {32, 76},
            {36, 72},
            {40, 69, VIB, 0x24, 45},
            {46, 72},
            {48, 80, VIB, 0x45, 55},
            {56, 76},
            {58, -1, SLIDE, 0x02, 63}});
    // Bridge over D minor and E, ending on a drum fill.
    int bridge = song.add_pattern();
    backing(song, bridge, kBridge, Drums::FILL);
    melody(song, bridge,
           {{0, 77, VIB, 0x24, 7},
            {8, 76},
            {12, 74},
            {16, 72, VIB, 0x34, 23},
            {24, 76},
            {28, -1, SLIDE, 0x02, 31},
            {32, 74},
            {36, 77},
            {40, 81, PORTA, 0x06, 43},
            {44, -1, VIB, 0x45, 47},
            {48, 80, VIB, 0x44, 55},
            {56, -1, SLIDE, 0x02, 59},
            {60, 76},
            {62, 71}});
    // Breakdown: half-time beat, held bass, lead notes that swell in and fade.
    int drift = song.add_pattern();
    backing(song, drift, kFloat, Drums::HALF, Chords::SPARSE, Bass::HELD, true);
    swell(song, drift, 0, 76, 16);
    swell(song, drift, 16, 71, 16);
    swell(song, drift, 32, 72, 16);
    swell(song, drift, 48, 76, 8);
    melody(song, drift, {{56, 79, PORTA, 0x06, 59}, {60, -1, VIB, 0x35, 63}});
    int drift2 = song.add_pattern();
    backing(song, drift2, kFloatEnd, Drums::HALF, Chords::SPARSE, Bass::HELD);
    swell(song, drift2, 0, 77, 16);
    swell(song, drift2, 16, 76, 16);
    swell(song, drift2, 32, 81, 16);
    swell(song, drift2, 48, 80, 8);
    melody(song, drift2, {{56, 83, PORTA, 0x08, 58}, {59, -1, VIB, 0x35, 61}});
    drums_bar(song, drift2, 3, Drums::FILL, false);  // full beat and roll back into the solo
    // Solo over the verse chords: quick figures, arpeggiated lead notes, a broken-chord backing.
    int solo = song.add_pattern();
    backing(song, solo, kVerse, Drums::FULL, Chords::BROKEN, Bass::BOUNCE, true);
    melody(song, solo,
           {{0, 69, CMD_ARPEGGIO, MINOR, 3},
            {4, 76},
            {6, 72},
            {8, 69},
            {10, 72},
            {12, 76},
            {14, 81},
            {16, 77, CMD_ARPEGGIO, MAJOR, 19},
            {20, 72},
            {22, 69},
            {24, 65},
            {26, 69},
            {28, 72},
            {30, 77},
            {32, 76, VIB, 0x54, 35},
            {36, 79},
            {38, 76},
            {40, 72},
            {42, 76},
            {44, 79},
            {46, 84},
            {48, 83, VIB, 0x44, 55},
            {56, 74},
            {58, 79, PORTA, 0x0A, 59},
            {60, 71},
            {62, 74}});
    // Turnaround back to the verse: call and answer over A minor, F, D minor and E, with a roll.
    int turn = song.add_pattern();
    backing(song, turn, kTurn, Drums::FILL, Chords::ROLL, Bass::BOUNCE, true);
    melody(song, turn,
           {{0, 81, VIB, 0x34, 7},
            {8, 76},
            {12, 72},
            {14, 76},
            {16, 77, VIB, 0x34, 23},
            {24, 81},
            {28, 84},
            {29, -1, SLIDE, 0x03, 31},
            {32, 81},
            {36, 77},
            {40, 74, VIB, 0x34, 45},
            {46, 77},
            {48, 76},
            {50, 80, PORTA, 0x0A, 52},
            {53, -1, VIB, 0x44, 59},
            {60, 71},
            {62, 68}});

    // Play once: intro, verses, choruses, bridge, breakdown, solo, verses, choruses, turnaround;
    // then the song goes on at the first verse for as long as the game lasts.
    const int order[] = {intro,  verse, verse2, chorus, chorus2, bridge,  drift,
                         drift2, solo,  verse,  verse2, chorus,  chorus2, turn};
    constexpr int kRestartOrder = 1;
    // The last row jumps back itself, so the voices run on through the loop without a break.
    NOTE_INFO &last = song.cell(turn, kRows - 1, DRUM);
    if (last.command != 0 || last.extcommand != 0) {
        std::fprintf(stderr, "the loop jump needs the last drum cell's command\n");
        return 1;
    }
    last.command = CMD_POSITION_JUMP;
    last.extcommand = kRestartOrder;

    // The module record: period module, four channels, samples addressed directly by the cells.
    auto mod = std::make_unique<QVMOD>();
    std::snprintf(mod->name, sizeof mod->name, "%s", "Quorvex Vastrelon");
    std::vector<SAMPLE_INFO> info(SAMPLE_COUNT);
    std::vector<SAMPLE> samples(SAMPLE_COUNT);
    for (int i = 0; i < SAMPLE_COUNT; i++) {
        const SampleData &d = data[i + 1];
        SAMPLE &s = samples[i];
        s.bits = 16;
        s.stereo = 0;
        s.freq = 1000;
        s.priority = 192;
        s.len = d.frames.size();
        s.loop_start = d.loop_start < 0 ? 0 : d.loop_start;
        s.loop_end = d.loop_start < 0 ? 0 : d.frames.size();
        s.param = static_cast<unsigned long>(-1);
        s.data = const_cast<uint16_t *>(d.frames.data());
        SAMPLE_INFO &si = info[i];
        si.length = static_cast<int>(s.len);
        si.c2spd = kC2spd;
        si.volume = d.volume;
        si.pan = 128;
        si.loop_start = static_cast<int>(s.loop_start);
        si.loop_end = static_cast<int>(s.loop_end);
        si.loop_type = d.loop_start < 0 ? 0 : QVMOD_LOOP_FORWARD;
    }
    std::vector<PATTERN_INFO> pats(song.patterns.size());
    for (size_t i = 0; i < pats.size(); i++) {
        pats[i].notes = song.patterns[i].data();
        pats[i].row_count = kRows;
    }
    mod->sample_info = info.data();
    mod->samples = samples.data();
    mod->pattern_info = pats.data();
    mod->instrument_info = nullptr;
    mod->pattern_count = static_cast<int>(pats.size());
    mod->order_count = static_cast<int>(sizeof order / sizeof order[0]);
    for (int i = 0; i < mod->order_count; i++) mod->order_table[i] = order[i];
    mod->channel_count = kChannels;
    const int pans[kChannels] = {104, 164, 128, 140};
    for (int i = 0; i < kChannels; i++) mod->channel_pan[i] = pans[i];
    mod->flags = 0;
    mod->initial_speed = kSpeed;
    mod->initial_bpm = kBpm;
    mod->restart_order = kRestartOrder;  // where a player that ignores the jump goes on, too
    mod->instrument_count = 0;
    mod->sample_count = SAMPLE_COUNT;
    mod->initial_global_volume = 64;

    const std::string problem = qvm_check(mod.get());
    if (!problem.empty()) {
        std::fprintf(stderr, "game module refused: %s\n", problem.c_str());
        return 1;
    }
    if (!qvm_write_file(mod.get(), argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
