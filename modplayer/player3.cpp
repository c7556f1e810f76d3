// SPDX-License-Identifier: MIT
// S3M effects, the volume column and the note commands (cut, key off).
#include "player_internal.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kFineMark = 0xF;         // a nibble of 15 marks a fine slide
constexpr int kExtraFinePorta = 0xE0;  // S3M porta parameters 0xE0..0xEF
constexpr int kFinePorta = 0xF0;       // and 0xF0..0xFF
constexpr int kS3mPanMax = 128;        // X parameters above this do nothing
constexpr int kVolumeColumnPortaStep = 16;

// Volume change per retrigger for each mode; 6, 7, 14 and 15 scale instead of adding.
constexpr int kRetrigAdd[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};

int retrig_volume(int mode, int volume)
{
    switch (mode) {
    case 6: return volume * 2 / 3;
    case 7: return volume >> 1;
    case 14: return volume * 3 / 2;
    case 15: return volume * 2;
    default: return volume + kRetrigAdd[mode & 15];
    }
}

}  // namespace

void Engine::parse_set_global_volume(int param)
{
    mi.global_volume = std::clamp(param, 0, kMaxGlobalVolume);
}

// Fine forms act once on the row's first tick, coarse ones on the later ticks; 0 repeats the
// last values and a parameter with two ordinary nibbles does nothing.
void Engine::parse_s3m_volslide(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    const int hi = (param >> 4) & 15;
    const int lo = param & 15;
    if (hi == kFineMark && lo != 0) {
        c.s3m_volslide_fine = -lo;
        c.s3m_volslide_amount = 0;
    } else if (lo == kFineMark && hi != 0) {
        c.s3m_volslide_fine = hi;
        c.s3m_volslide_amount = 0;
    } else if (lo == 0 && hi != 0) {
        c.s3m_volslide_fine = 0;
        c.s3m_volslide_amount = hi;
    } else if (hi == 0 && lo != 0) {
        c.s3m_volslide_fine = 0;
        c.s3m_volslide_amount = -lo;
    } else if (param != 0) {
        return;
    }
    c.s3m_volslide_on = kTrue;
}

void Engine::do_s3m_volslide(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    const int change = mi.tick == 0 ? c.s3m_volslide_fine : c.s3m_volslide_amount;
    c.volume += change;
    c.temp_volume += change;
}

// sign +1 slides down (period rises), -1 up; both directions share the memories.
void Engine::s3m_porta(int ch, int param, int sign)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    const int lo = param & 15;
    if (param == 0) {
        c.s3m_porta_fine_amount = sign * std::abs(c.s3m_porta_fine_amount);
        c.s3m_porta_amount = sign * std::abs(c.s3m_porta_amount);
    } else if (param >= kFinePorta) {
        c.s3m_porta_fine_amount = sign * kSlideUnit * lo;
        c.s3m_porta_amount = 0;
    } else if (param >= kExtraFinePorta) {
        c.s3m_porta_fine_amount = sign * lo;
        c.s3m_porta_amount = 0;
    } else {
        c.s3m_porta_fine_amount = 0;
        c.s3m_porta_amount = sign * kSlideUnit * param;
    }
    c.s3m_porta_on = kTrue;
}

void Engine::parse_s3m_porta_down(int ch, int param)
{
    s3m_porta(ch, param, 1);
}

void Engine::parse_s3m_porta_up(int ch, int param)
{
    s3m_porta(ch, param, -1);
}

void Engine::do_s3m_porta(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    const int change = mi.tick == 0 ? c.s3m_porta_fine_amount : c.s3m_porta_amount;
    c.period += change;
    c.temp_period += change;
}

void Engine::parse_tremor(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    c.tremor_param = (((param >> 4) & 15) + 1) * 256 + (param & 15) + 1;
    c.tremor_on = kTrue;
}

// The count runs on across rows (a triggered note resets it), so the rhythm continues.
void Engine::do_tremor(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    const int on = (c.tremor_param >> 8) & 31;
    const int off = c.tremor_param & 31;
    if (on + off == 0) return;
    c.tremor_count = std::max(c.tremor_count, 0) % (on + off);
    c.temp_volume = c.tremor_count < on ? c.volume : 0;
    tremor_silent_[ch] = c.tremor_count >= on;
    c.tremor_count++;
}

void Engine::parse_s3m_arpeggio(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.period == 0) return;
    c.arpeggio_on = kTrue;
    if (param != 0) c.arpeggio_param = param;
}

void Engine::parse_retrig_volslide(int ch, int param)
{
    CHANNEL_STATE &c = ci[ch];
    if (param != 0) {
        c.retrig_ticks = param & 15;
        c.retrig_volume_mode = (param >> 4) & 15;
    }
    c.retrig_on = kTrue;
}

// The output pass restarts the note and clamps what the volume change leaves.
void Engine::do_retrig_volslide(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    if (c.retrig_ticks < 1 || mi.tick % c.retrig_ticks != 0) return;
    c.kick = kTrue;
    c.volume = retrig_volume(c.retrig_volume_mode, c.volume);
    c.temp_volume = retrig_volume(c.retrig_volume_mode, c.temp_volume);
}

void Engine::parse_s3m_set_pan(int ch, int param)
{
    if (param == 0)
        ci[ch].pan = 0;
    else if (param >= 1 && param <= kS3mPanMax)
        ci[ch].pan = 2 * param - 1;
}

// The volume column runs before the command column, so a command acting on the same field wins.
void Engine::parse_volume_command(int ch, int volume, int note)
{
    CHANNEL_STATE &c = ci[ch];
    const int lo = volume & 15;
    switch (volume >> 4) {
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4: c.volume = volume - 16; break;
    case 0x5:
        if (volume == 0x50) c.volume = volume - 16;  // 0x51..0x5F do nothing
        break;
    case 0x6: c.volume_slide = -lo; break;
    case 0x7: c.volume_slide = lo; break;
    case 0x8: c.volume -= lo; break;
    case 0x9: c.volume += lo; break;
    case 0xA: c.vibrato_speed = kSlideUnit * lo; break;
    case 0xB: parse_vibrato(ch, lo, kVibratoShift); break;
    case 0xC: c.pan = kPanStep * lo; break;
    case 0xD:
        if (lo != 0) c.vol_pan_left_memory = -lo;
        c.pan_slide = c.vol_pan_left_memory;
        break;
    case 0xE:
        if (lo != 0) c.vol_pan_right_memory = lo;
        c.pan_slide = c.vol_pan_right_memory;
        break;
    case 0xF:
        parse_slide2period(ch, kVolumeColumnPortaStep * lo, note >= 1 ? c.transpose + note : 0);
        break;
    default: break;  // beyond 0xFF: nothing
    }
    c.volume = std::clamp(c.volume, 0, kMaxVolume);
}

void Engine::parse_note_command(int ch, int note)
{
    CHANNEL_STATE &c = ci[ch];
    if (note == QVMOD_NOTE_CUT) {
        c.volume = 0;
    } else if (note == QVMOD_NOTE_KEY_OFF) {
        c.key_off = kTrue;
        if (!(c.volume_env.flags & QVMOD_ENV_ON)) c.volume = 0;
    }
}
