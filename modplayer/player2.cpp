// SPDX-License-Identifier: MIT
// ProTracker effects and the pitch helpers: period tables, note/period/frequency conversion, note grid.
#include "player_internal.h"

#include <algorithm>
#include <cstdlib>

// ---------------------------------------------------------------- tables

// One octave of linear periods as frequencies in Hz: floor(535232 * 2^(-i/768)).
// clang-format off
const int lintab[kLintabSize] = {
    535232, 534749, 534266, 533784, 533303, 532822, 532341, 531861, 531381, 530902, 530423, 529944,
    529466, 528988, 528511, 528034, 527558, 527082, 526607, 526131, 525657, 525183, 524709, 524236,
    523763, 523290, 522818, 522346, 521875, 521404, 520934, 520464, 519994, 519525, 519057, 518588,
    518121, 517653, 517186, 516720, 516253, 515788, 515322, 514858, 514393, 513929, 513465, 513002,
    512539, 512077, 511615, 511154, 510692, 510232, 509771, 509312, 508852, 508393, 507934, 507476,
    507018, 506561, 506104, 505647, 505191, 504735, 504280, 503825, 503371, 502917, 502463, 502010,
    501557, 501104, 500652, 500201, 499749, 499298, 498848, 498398, 497948, 497499, 497050, 496602,
    496154, 495706, 495259, 494812, 494366, 493920, 493474, 493029, 492585, 492140, 491696, 491253,
    490809, 490367, 489924, 489482, 489041, 488600, 488159, 487718, 487278, 486839, 486400, 485961,
    485522, 485084, 484647, 484210, 483773, 483336, 482900, 482465, 482029, 481595, 481160, 480726,
    480292, 479859, 479426, 478994, 478562, 478130, 477699, 477268, 476837, 476407, 475977, 475548,
    475119, 474690, 474262, 473834, 473407, 472979, 472553, 472126, 471701, 471275, 470850, 470425,
    470001, 469577, 469153, 468730, 468307, 467884, 467462, 467041, 466619, 466198, 465778, 465358,
    464938, 464518, 464099, 463681, 463262, 462844, 462427, 462010, 461593, 461177, 460760, 460345,
    459930, 459515, 459100, 458686, 458272, 457859, 457446, 457033, 456621, 456209, 455797, 455386,
    454975, 454565, 454155, 453745, 453336, 452927, 452518, 452110, 451702, 451294, 450887, 450481,
    450074, 449668, 449262, 448857, 448452, 448048, 447644, 447240, 446836, 446433, 446030, 445628,
    445226, 444824, 444423, 444022, 443622, 443221, 442821, 442422, 442023, 441624, 441226, 440828,
    440430, 440033, 439636, 439239, 438843, 438447, 438051, 437656, 437261, 436867, 436473, 436079,
    435686, 435293, 434900, 434508, 434116, 433724, 433333, 432942, 432551, 432161, 431771, 431382,
    430992, 430604, 430215, 429827, 429439, 429052, 428665, 428278, 427892, 427506, 427120, 426735,
    426350, 425965, 425581, 425197, 424813, 424430, 424047, 423665, 423283, 422901, 422519, 422138,
    421757, 421377, 420997, 420617, 420237, 419858, 419479, 419101, 418723, 418345, 417968, 417591,
    417214, 416838, 416462, 416086, 415711, 415336, 414961, 414586, 414212, 413839, 413465, 413092,
    412720, 412347, 411975, 411604, 411232, 410862, 410491, 410121, 409751, 409381, 409012, 408643,
    408274, 407906, 407538, 407170, 406803, 406436, 406069, 405703, 405337, 404971, 404606, 404241,
    403876, 403512, 403148, 402784, 402421, 402058, 401695, 401333, 400970, 400609, 400247, 399886,
    399525, 399165, 398805, 398445, 398086, 397727, 397368, 397009, 396651, 396293, 395936, 395579,
    395222, 394865, 394509, 394153, 393798, 393442, 393087, 392733, 392378, 392024, 391671, 391317,
    390964, 390612, 390259, 389907, 389556, 389204, 388853, 388502, 388152, 387802, 387452, 387102,
    386753, 386404, 386056, 385707, 385359, 385012, 384664, 384317, 383971, 383624, 383278, 382932,
    382587, 382242, 381897, 381552, 381208, 380864, 380521, 380177, 379834, 379492, 379149, 378807,
    378466, 378124, 377783, 377442, 377102, 376762, 376422, 376082, 375743, 375404, 375065, 374727,
    374389, 374051, 373714, 373377, 373040, 372703, 372367, 372031, 371695, 371360, 371025, 370690,
    370356, 370022, 369688, 369355, 369021, 368688, 368356, 368023, 367691, 367360, 367028, 366697,
    366366, 366036, 365706, 365376, 365046, 364717, 364388, 364059, 363731, 363403, 363075, 362747,
    362420, 362093, 361766, 361440, 361114, 360788, 360463, 360137, 359813, 359488, 359164, 358840,
    358516, 358193, 357869, 357547, 357224, 356902, 356580, 356258, 355937, 355616, 355295, 354974,
    354654, 354334, 354014, 353695, 353376, 353057, 352739, 352420, 352103, 351785, 351468, 351150,
    350834, 350517, 350201, 349885, 349569, 349254, 348939, 348624, 348310, 347995, 347682, 347368,
    347055, 346741, 346429, 346116, 345804, 345492, 345180, 344869, 344558, 344247, 343936, 343626,
    343316, 343006, 342697, 342388, 342079, 341770, 341462, 341154, 340846, 340539, 340231, 339924,
    339618, 339311, 339005, 338700, 338394, 338089, 337784, 337479, 337175, 336870, 336566, 336263,
    335959, 335656, 335354, 335051, 334749, 334447, 334145, 333844, 333542, 333242, 332941, 332641,
    332341, 332041, 331741, 331442, 331143, 330844, 330546, 330247, 329950, 329652, 329355, 329057,
    328761, 328464, 328168, 327872, 327576, 327280, 326985, 326690, 326395, 326101, 325807, 325513,
    325219, 324926, 324633, 324340, 324047, 323755, 323463, 323171, 322879, 322588, 322297, 322006,
    321716, 321426, 321136, 320846, 320557, 320267, 319978, 319690, 319401, 319113, 318825, 318538,
    318250, 317963, 317676, 317390, 317103, 316817, 316532, 316246, 315961, 315676, 315391, 315106,
    314822, 314538, 314254, 313971, 313688, 313405, 313122, 312839, 312557, 312275, 311994, 311712,
    311431, 311150, 310869, 310589, 310309, 310029, 309749, 309470, 309190, 308911, 308633, 308354,
    308076, 307798, 307521, 307243, 306966, 306689, 306412, 306136, 305860, 305584, 305308, 305033,
    304758, 304483, 304208, 303934, 303659, 303385, 303112, 302838, 302565, 302292, 302019, 301747,
    301475, 301203, 300931, 300660, 300388, 300117, 299847, 299576, 299306, 299036, 298766, 298497,
    298227, 297958, 297689, 297421, 297153, 296884, 296617, 296349, 296082, 295815, 295548, 295281,
    295015, 294749, 294483, 294217, 293952, 293686, 293421, 293157, 292892, 292628, 292364, 292100,
    291837, 291574, 291311, 291048, 290785, 290523, 290261, 289999, 289737, 289476, 289215, 288954,
    288693, 288433, 288173, 287913, 287653, 287393, 287134, 286875, 286616, 286358, 286099, 285841,
    285583, 285326, 285068, 284811, 284554, 284298, 284041, 283785, 283529, 283273, 283017, 282762,
    282507, 282252, 281998, 281743, 281489, 281235, 280981, 280728, 280475, 280222, 279969, 279716,
    279464, 279212, 278960, 278708, 278457, 278206, 277955, 277704, 277453, 277203, 276953, 276703,
    276453, 276204, 275955, 275706, 275457, 275209, 274960, 274712, 274465, 274217, 273970, 273722,
    273476, 273229, 272982, 272736, 272490, 272244, 271999, 271753, 271508, 271263, 271018, 270774,
    270530, 270286, 270042, 269798, 269555, 269312, 269069, 268826, 268583, 268341, 268099, 267857
};
// clang-format on

// Finetuned Amiga periods x 32: row = semitone (row 12 is the next octave's C), column = finetune step.
// clang-format off
const unsigned short logtab[kLogtabSize] = {
    29024, 28800, 28608, 28384, 28192, 28000, 27776, 27584,
    27392, 27200, 27008, 26816, 26624, 26432, 26240, 26048,
    25856, 25664, 25472, 25312, 25120, 24928, 24768, 24576,
    24384, 24224, 24064, 23872, 23712, 23552, 23360, 23200,
    23040, 22880, 22688, 22528, 22368, 22208, 22048, 21888,
    21696, 21600, 21440, 21280, 21120, 20960, 20832, 20672,
    20480, 20352, 20224, 20096, 19936, 19808, 19648, 19520,
    19328, 19232, 19104, 18944, 18816, 18688, 18560, 18400,
    18240, 18144, 18016, 17888, 17760, 17632, 17504, 17376,
    17216, 17120, 17024, 16896, 16768, 16640, 16512, 16416,
    16256, 16160, 16064, 15936, 15808, 15712, 15584, 15488,
    15360, 15264, 15168, 15040, 14944, 14816, 14720, 14624,
    14496, 14400, 14304, 14176, 14080, 13984, 13888, 13792,
};
// clang-format on

// The lowest octave of the period-module note grid (4 x Amiga periods 1712 .. 907).
const int noteperiod[kNoteGridSize] = {6848, 6464, 6096, 5760, 5424, 5120,
                                       4832, 4560, 4304, 4064, 3840, 3628};

// c2spd of each MOD finetune nibble (0..7 = 0..+7, 8..15 = -8..-1).
const int mod_finetune[16] = {8363, 8413, 8463, 8529, 8581, 8651, 8723, 8757,
                              7895, 7941, 7985, 8046, 8107, 8169, 8232, 8280};

// Half a sine wave: floor(255 * sin(pi * i / 32)).
const int vib_table[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                           224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                           212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

namespace {

constexpr int kAmigaClock4 = 4 * kAmigaClock;
constexpr int kAmigaTableClock = 14317456;  // the Amiga-table note modules' clock
constexpr int kC2spdReference = 8363;
constexpr int kZeroC2spdRate = 4242;    // rate used for a c2spd of 0
constexpr int kMaxNote = 118;           // highest note of the note-module tables
constexpr int kMaxFinetuneC2spd = 255;  // note modules: finetune + 128
constexpr int kLinearBase = 7744;
constexpr int kUnitsPerSemitone = 64;
constexpr int kLinearOctave = 768;
// The Amiga lookup at semitone 11 with the top finetune steps wants the entry after the table:
// the next octave's C# at finetune 0.
constexpr int kLogtabPastEnd = 27392 / 2;
// The period-module grid spans ten octaves; its shortest period is 3628 >> 9 = 7.
constexpr int kPeriodGridNotes = 120;

static_assert(kLogtabSize == 13 * 8, "13 rows of 8 finetune steps");

int period_grid(int i)
{
    i = std::clamp(i, 0, kPeriodGridNotes - 1);
    return noteperiod[i % kNoteGridSize] >> (i / kNoteGridSize);
}

}  // namespace

// ---------------------------------------------------------------- conversions

int Engine::note2period(int note, int c2spd) const
{
    if (mi.flags & QVMOD_FLAG_LINEAR) {
        note = std::clamp(note, 0, kMaxNote);
        c2spd = std::clamp(c2spd, 0, kMaxFinetuneC2spd);
        return kLinearBase - kUnitsPerSemitone * note - c2spd / 2;
    }
    if (mi.flags & QVMOD_FLAG_AMIGA) {
        note = std::clamp(note, 0, kMaxNote);
        c2spd = std::clamp(c2spd, 0, kMaxFinetuneC2spd);
        const int octave = note / 12;
        // c2spd holds finetune + 128: its high nibble picks the table's step, its low nibble
        // is how far the tuning lies towards the next step.
        const int i = 8 * (note % 12) + (c2spd >> 4);
        const int p1 = logtab[i];
        const int p2 = i + 1 < kLogtabSize ? logtab[i + 1] : kLogtabPastEnd;
        return (((c2spd & 15) * (p2 - p1)) / 16 + p1) >> octave;
    }
    if (c2spd == 0) c2spd = kZeroC2spdRate;
    // A pitch too low for the division plays at the longest period instead of dividing by zero.
    const long long rate = static_cast<long long>(note) * c2spd / kC2spdReference;
    if (rate < 1) return kAmigaClock4;
    if (rate > kAmigaClock4) return 1;
    return static_cast<int>(kAmigaClock4 / rate);
}

int Engine::period2pitch(int period) const
{
    if ((mi.flags & (QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR)) ==
        (QVMOD_FLAG_NOTES | QVMOD_FLAG_LINEAR)) {
        period = std::max(period, 0);
        const int shift = period / kLinearOctave;
        if (shift >= 31) return 0;
        return lintab[period % kLinearOctave] >> shift;
    }
    period = std::max(period, 1);
    if ((mi.flags & (QVMOD_FLAG_NOTES | QVMOD_FLAG_AMIGA)) == (QVMOD_FLAG_NOTES | QVMOD_FLAG_AMIGA))
        return kAmigaTableClock / period;
    return kAmigaClock4 / period;
}

extern "C" int interpolate(int pos, int pos_a, int pos_b, int value_a, int value_b)
{
    if (pos_a == pos_b) return value_a;
    const long long d = static_cast<long long>(pos - pos_a) * (value_b - value_a) / (pos_b - pos_a);
    return static_cast<int>(value_a + d);
}

// The search stops at the end of the note grid: a period below the grid's shortest note (or 0
// and below) has no note above it, and the search then gives the grid's end or the period itself.
int Engine::find_lower_period(int period, int semitones) const
{
    int result = period;
    int i = 0;
    if (!(mi.flags & QVMOD_FLAG_NOTES)) {
        do {
            if (period_grid(i) <= period) {
                i += semitones;
                result = period_grid(i);
            }
            i++;
        } while (period <= result && i < kPeriodGridNotes);
    } else {
        do {
            i++;
            if (note2period(i, 0) <= period) {
                i += semitones;
                result = note2period(i, 0);
            }
        } while (period <= result && i <= kMaxNote);
    }
    return result;
}

// The interface's conversions follow the song the shared engine plays.
extern "C" int note2period(int note, int c2spd)
{
    return shared_engine().note2period(note, c2spd);
}

extern "C" int period2pitch(int period)
{
    return shared_engine().period2pitch(period);
}

extern "C" int find_lower_period(int period, int semitones)
{
    return shared_engine().find_lower_period(period, semitones);
}

// ---------------------------------------------------------------- ProTracker effects

namespace {

constexpr int kWaveformMask = 3;
constexpr int kWaveRamp = 1;
constexpr int kWaveSquare = 2;
constexpr int kWaveRandom = 3;
constexpr int kWaveMax = 255;

// A position kept as the signed 8-bit value it stands for.
int wrap_position(int pos)
{
    return ((pos + 128) & 255) - 128;
}

// The interface's engine draws its random wave from the C library's generator, which the game
// shares; render states, which touch nothing global, each draw from a generator of their own (an
// LCG's high bits), so engines on different threads neither share nor disturb one sequence.
constexpr unsigned kRandomMultiplier = 1103515245u;
constexpr unsigned kRandomIncrement = 12345u;
constexpr int kRandomShift = 16;

}  // namespace

// One point of the vibrato/tremolo wave for a signed 8-bit position: magnitude only, the
// caller applies the sign of the half-wave.
int Engine::wave_point(int waveform, int pos)
{
    const int i = (pos >> 2) & 31;
    switch (waveform & kWaveformMask) {
    case kWaveRamp: return pos < 0 ? kWaveMax - 8 * i : 8 * i;
    case kWaveSquare: return kWaveMax;
    case kWaveRandom:
        if (shared_) return std::rand() % kWaveMax;
        random_state_ = random_state_ * kRandomMultiplier + kRandomIncrement;
        return static_cast<int>((random_state_ >> kRandomShift) % kWaveMax);
    default: return vib_table[i];
    }
}

struct Engine::Wave {
    int &on;
    int &waveform;
    int &pos;
    int &speed;
    int &depth;
    int &shift;
};

namespace {

Engine::Wave vibrato_of(CHANNEL_STATE &c)
{
    return {c.vibrato_on,    c.vibrato_waveform, c.vibrato_pos,
            c.vibrato_speed, c.vibrato_depth,    c.vibrato_shift};
}

Engine::Wave tremolo_of(CHANNEL_STATE &c)
{
    return {c.tremolo_on,    c.tremolo_waveform, c.tremolo_pos,
            c.tremolo_speed, c.tremolo_depth,    c.tremolo_shift};
}

// The row's set-up of vibrato and tremolo: a speed or depth nibble of 0 keeps the last one.
void start_wave(const Engine::Wave &w, int param, int shift)
{
    w.on = kTrue;
    w.shift = shift;
    if (param >> 4) w.speed = kSlideUnit * ((param >> 4) & 15);
    if (param & 15) w.depth = param & 15;
}

}  // namespace

// The shared step of vibrato and tremolo: base -/+ the wave's delta; the position moves on
// every tick but the row's first.
int Engine::wave_step(int base, const Wave &w)
{
    const int p = wrap_position(w.pos);
    const int delta = (wave_point(w.waveform, p) * w.depth) >> std::clamp(w.shift, 0, 31);
    if (mi.tick != 0) w.pos = wrap_position(p + w.speed);
    return p < 0 ? base - delta : base + delta;
}

void Engine::parse_arpeggio(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0 || param == 0) return;
    c.arpeggio_param = param;
    c.arpeggio_on = kTrue;
}

namespace {

// 2^(-s/12) in 16.16 fixed point: a period s semitones higher.
// clang-format off
constexpr int kSemitoneUp[16] = {
    65536, 61858, 58386, 55109, 52016, 49097, 46341, 43740,
    41285, 38968, 36781, 34716, 32768, 30929, 29193, 27554,
};
// clang-format on
constexpr int kSemitoneUpShift = 16;

// The period `semitones` above the note the channel plays, counted from its actual period, so a
// tuned or slid note keeps its chord: period modules scale the period, linear note modules step
// 64 units a semitone, Amiga-table note modules take the table's period of the note above.
}  // namespace

int Engine::arpeggio_period(const CHANNEL_STATE &c, int semitones) const
{
    if (semitones == 0) return c.period;
    if (mi.flags & QVMOD_FLAG_LINEAR) return c.period - kUnitsPerSemitone * semitones;
    if (mi.flags & QVMOD_FLAG_AMIGA) return note2period(c.note + c.transpose + semitones, c.c2spd);
    const long long scaled = static_cast<long long>(c.period) * kSemitoneUp[semitones & 15];
    return static_cast<int>((scaled + (1LL << (kSemitoneUpShift - 1))) >> kSemitoneUpShift);
}

// The lasting period never moves; ticks cycle base, +hi, +lo semitones.
void Engine::do_arpeggio(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    switch (mi.tick % 3) {
    case 0: c.temp_period = c.period; break;
    case 1: c.temp_period = arpeggio_period(c, (c.arpeggio_param >> 4) & 15); break;
    default: c.temp_period = arpeggio_period(c, c.arpeggio_param & 15); break;
    }
}

// Codes 1 and 2 share one amount; a zero parameter reuses it in the new direction.
void Engine::parse_pro_porta_up(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    c.pro_porta_on = kTrue;
    if (param != 0) c.pro_porta_amount = kSlideUnit * param;
    c.pro_porta_amount = -std::abs(c.pro_porta_amount);
}

void Engine::parse_pro_porta_down(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    c.pro_porta_on = kTrue;
    if (param != 0) c.pro_porta_amount = kSlideUnit * param;
    c.pro_porta_amount = std::abs(c.pro_porta_amount);
}

// target is a 1-based note (plus transpose where the caller adds it); 0 keeps the old target.
void Engine::parse_slide2period(int ch, int speed, int target)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    if (speed > 0) c.porta_speed = kSlideUnit * speed;
    if (target > 0) c.porta_target = note2period(target - 1, c.c2spd);
    c.porta_speed = std::abs(c.porta_speed);
    if (c.period < c.porta_target) c.porta_speed = -c.porta_speed;
    if (c.porta_target != 0) c.porta_on = kTrue;
}

// Moves towards the target and stops on it, never past it.
void Engine::do_slide2period(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    c.period -= c.porta_speed;
    if ((c.porta_speed >= 1 && c.period < c.porta_target) ||
        (c.porta_speed <= 0 && c.period > c.porta_target))
        c.period = c.porta_target;
    c.temp_period = c.period;
}

void Engine::parse_vibrato(int ch, int param, int shift)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period != 0) start_wave(vibrato_of(c), param, shift);
}

void Engine::do_vibrato(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    c.temp_period = wave_step(c.period, vibrato_of(c));
}

void Engine::parse_tremolo(int ch, int param, int shift)
{
    start_wave(tremolo_of(ci[ch]), param, shift);
}

void Engine::do_tremolo(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    c.temp_volume = wave_step(c.volume, tremolo_of(c));
}

// No memory: a zero parameter leaves the row without a slide.
void Engine::parse_pro_volslide(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    const int hi = (param >> 4) & 15;
    const int lo = param & 15;
    if (hi != 0)
        c.volume_slide = hi;
    else if (lo != 0)
        c.volume_slide = -lo;
}

// x = 0 repeats the last fine slide only if it went the same way.
void Engine::parse_ext_fine_porta_up(int ch, int x)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    if (x != 0)
        c.fine_porta_memory = kSlideUnit * x;
    else if (c.fine_porta_memory > 0)
        return;
    c.fine_porta_memory = -std::abs(c.fine_porta_memory);
    c.period += c.fine_porta_memory;
}

void Engine::parse_ext_fine_porta_down(int ch, int x)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    if (x != 0)
        c.fine_porta_memory = kSlideUnit * x;
    else if (c.fine_porta_memory < 0)
        return;
    c.period += c.fine_porta_memory;
}

void Engine::parse_ext_glissando(int ch, int x)
{
    ci[ch].glissando = x != 0 ? kTrue : kFalse;
}

void Engine::parse_ext_vibrato_waveform(int ch, int x)
{
    ci[ch].vibrato_waveform = x;
}

void Engine::parse_ext_tremolo_waveform(int ch, int x)
{
    ci[ch].tremolo_waveform = x;
}

void Engine::parse_ext_set_pan(int ch, int x)
{
    ci[ch].pan = kPanStep * x;
}

void Engine::parse_ext_retrigger(int ch, int x)
{
    ci[ch].retrig_interval = x;
}

void Engine::parse_ext_fine_volume_up(int ch, int x)
{
    ci[ch].volume += x;
}

void Engine::parse_ext_fine_volume_down(int ch, int x)
{
    ci[ch].volume -= x;
}

void Engine::parse_ext_note_cut(int ch, int x)
{
    CHANNEL_STATE &c = ci[ch];
    c.note_cut = x;
    if (x == 0) c.volume = 0;
}

// S3M SAx: x = 0..7 lands right of centre, 8..15 left of it.
void Engine::parse_ext_stereo_control(int ch, int x)
{
    ci[ch].pan = kPanStep * (x < 8 ? x + 8 : x - 8);
}

void Engine::parse_ext_xm_fine_porta_up(int ch, int x)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    if (x != 0) c.xm_fine_up_memory = -kSlideUnit * x;
    c.period += c.xm_fine_up_memory;
}

void Engine::parse_ext_xm_fine_porta_down(int ch, int x)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    if (x != 0) c.xm_fine_down_memory = kSlideUnit * x;
    c.period += c.xm_fine_down_memory;
}

void Engine::parse_ext_xm_fine_volume_up(int ch, int x)
{
    CHANNEL_STATE &c = ci[ch];
    if (x != 0) c.xm_fine_vol_up_memory = x;
    c.volume += c.xm_fine_vol_up_memory;
    c.temp_volume += c.xm_fine_vol_up_memory;
}

void Engine::parse_ext_xm_fine_volume_down(int ch, int x)
{
    CHANNEL_STATE &c = ci[ch];
    if (x != 0) c.xm_fine_vol_down_memory = -x;
    c.volume += c.xm_fine_vol_down_memory;
    c.temp_volume += c.xm_fine_vol_down_memory;
}

void Engine::parse_ext_note_delay(int ch, int x)
{
    ci[ch].note_delay = x;
}

// The delayed note starts on its tick; until then the channel's voice is left alone.
void Engine::do_note_delay(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    if (mi.tick == c.note_delay) {
        c.kick = kTrue;
        c.note_delay = 0;
    } else {
        c.kick = 0;
    }
}
