// SPDX-License-Identifier: MIT
// Tick engine: advances the song one tick, reads rows, triggers notes, runs effects, programs the voices.
#include "player_internal.h"

#include <algorithm>

namespace {

bool cell_slides(const NOTE_INFO *n)
{
    return n->command == CMD_TONE_PORTA || n->command == CMD_TONE_PORTA_VOLSLIDE ||
           n->command == CMD_XM_TONE_PORTA_VOLSLIDE || (n->volume >= 0xF0 && n->volume <= 0xFF);
}

}  // namespace

void Engine::silence_voices()
{
    for (int i = 0; i < mi.voice_count; i++) {
        ci[i].volume = 0;
        if (!voices_.has_voice(i)) continue;
        voices_.set_volume(i, 0);
        voices_.stop(i);
    }
}

void Engine::stop_voices()
{
    for (int i = 0; i < mi.voice_count; i++)
        if (voices_.has_voice(i)) voices_.stop(i);
}

int Engine::playing_channels() const
{
    return std::min({of->channel_count, mi.voice_count, QVMOD_MAX_CHANNELS});
}

// Target of a tone portamento: the cell's note plus the channel's transpose, or none.
int Engine::porta_target(int ch, const NOTE_INFO *n) const
{
    return n->note >= 1 ? n->note + ci[ch].transpose : 0;
}

// ---------------------------------------------------------------- row passes

// True when a cell set the tempo.
bool Engine::first_row_pass()
{
    bool tempo_set = false;
    const int channels = std::min(of->channel_count, QVMOD_MAX_CHANNELS);
    for (int ch = 0; ch < channels; ch++) {
        CHANNEL_STATE &c = ci[ch];
        c.global_volslide_on = 0;
        const NOTE_INFO *n = get_note(of, mi.pattern, mi.row, ch);
        c.loop_on = 0;
        if (parse_flow_command(mi, *of, c, *n)) tempo_set = true;
        if (n->command == CMD_SET_GLOBAL_VOLUME)
            parse_set_global_volume(n->extcommand);
        else if (n->command == CMD_GLOBAL_VOLSLIDE)
            parse_global_volslide(ch, n->extcommand);
    }
    return tempo_set;
}

void Engine::extended_command(int ch, int param)
{
    const int x = param & 15;
    switch (param >> 4) {
    case EXT_FINE_PORTA_UP: parse_ext_fine_porta_up(ch, x); break;
    case EXT_FINE_PORTA_DOWN: parse_ext_fine_porta_down(ch, x); break;
    case EXT_GLISSANDO: parse_ext_glissando(ch, x); break;
    case EXT_VIBRATO_WAVEFORM: parse_ext_vibrato_waveform(ch, x); break;
    case EXT_SET_FINETUNE: break;  // finetune: no action
    case EXT_TREMOLO_WAVEFORM: parse_ext_tremolo_waveform(ch, x); break;
    case EXT_SET_PAN: parse_ext_set_pan(ch, x); break;
    case EXT_RETRIGGER: parse_ext_retrigger(ch, x); break;
    case EXT_FINE_VOLUME_UP: parse_ext_fine_volume_up(ch, x); break;
    case EXT_FINE_VOLUME_DOWN: parse_ext_fine_volume_down(ch, x); break;
    case EXT_NOTE_CUT: parse_ext_note_cut(ch, x); break;
    case EXT_NOTE_DELAY: parse_ext_note_delay(ch, x); break;
    case EXT_STEREO_CONTROL: parse_ext_stereo_control(ch, x); break;
    case EXT_XM_FINE_PORTA_UP: parse_ext_xm_fine_porta_up(ch, x); break;
    case EXT_XM_FINE_PORTA_DOWN: parse_ext_xm_fine_porta_down(ch, x); break;
    case EXT_XM_FINE_VOLUME_UP: parse_ext_xm_fine_volume_up(ch, x); break;
    case EXT_XM_FINE_VOLUME_DOWN: parse_ext_xm_fine_volume_down(ch, x); break;
    default: break;  // 0x0, 0x6 and 0xE (first row pass), 0xF and unknown: nothing here
    }
}

void Engine::row_command(int ch, const NOTE_INFO *n, int s)
{
    CHANNEL_STATE &c = ci[ch];
    const int param = n->extcommand;
    switch (n->command) {
    case CMD_ARPEGGIO: parse_arpeggio(ch, param); break;
    case CMD_PRO_PORTA_UP: parse_pro_porta_up(ch, param); break;
    case CMD_PRO_PORTA_DOWN: parse_pro_porta_down(ch, param); break;
    case CMD_TONE_PORTA: parse_slide2period(ch, param, porta_target(ch, n)); break;
    case CMD_VIBRATO: parse_vibrato(ch, param, kVibratoShift); break;
    case CMD_TONE_PORTA_VOLSLIDE:
        parse_slide2period(ch, 0, n->note);
        parse_pro_volslide(ch, param);
        break;
    case CMD_VIBRATO_VOLSLIDE:
        parse_vibrato(ch, 0, kVibratoShift);
        parse_pro_volslide(ch, param);
        break;
    case CMD_TREMOLO: parse_tremolo(ch, param, kTremoloShift); break;
    case CMD_SET_PAN: c.pan = param; break;
    case CMD_SAMPLE_OFFSET:
        if (n->note > 0 || s >= 0) {
            c.set_position = kTrue;
            c.kick = kTrue;
            if (param != 0) c.sample_offset = param * 256;
        }
        break;
    case CMD_PRO_VOLSLIDE: parse_pro_volslide(ch, param); break;
    case CMD_SET_VOLUME: c.volume = param; break;
    case CMD_EXTENDED: extended_command(ch, param); break;
    case CMD_S3M_VOLSLIDE: parse_s3m_volslide(ch, param); break;
    case CMD_S3M_PORTA_DOWN: parse_s3m_porta_down(ch, param); break;
    case CMD_S3M_PORTA_UP: parse_s3m_porta_up(ch, param); break;
    case CMD_TREMOR: parse_tremor(ch, param); break;
    case CMD_S3M_ARPEGGIO: parse_s3m_arpeggio(ch, param); break;
    case CMD_S3M_VIBRATO_VOLSLIDE:
        parse_vibrato(ch, 0, kVibratoShift);
        parse_s3m_volslide(ch, param);
        break;
    case CMD_S3M_TONE_PORTA_VOLSLIDE:
        parse_slide2period(ch, 0, n->note);
        parse_s3m_volslide(ch, param);
        break;
    case CMD_RETRIG_VOLSLIDE: parse_retrig_volslide(ch, param); break;
    case CMD_S3M_TREMOLO: parse_tremolo(ch, param, kS3mTremoloShift); break;
    case CMD_FINE_VIBRATO: parse_vibrato(ch, param, kFineVibratoShift); break;
    case CMD_S3M_SET_PAN: parse_s3m_set_pan(ch, param); break;
    case CMD_XM_PORTA_UP: parse_xm_porta_up(ch, param); break;
    case CMD_XM_PORTA_DOWN: parse_xm_porta_down(ch, param); break;
    case CMD_XM_TONE_PORTA_VOLSLIDE:
        parse_slide2period(ch, 0, porta_target(ch, n));
        parse_xm_volslide(ch, param);
        break;
    case CMD_XM_VIBRATO_VOLSLIDE:
        parse_vibrato(ch, 0, kVibratoShift);
        parse_xm_volslide(ch, param);
        break;
    case CMD_XM_VOLSLIDE: parse_xm_volslide(ch, param); break;
    case CMD_KEY_OFF: parse_key_off(ch); break;
    case CMD_SET_ENVELOPE_POS: parse_set_envelope_pos(ch, param); break;
    case CMD_XM_PANSLIDE: parse_xm_panslide(ch, param); break;
    case CMD_XM_EXTRA_FINE_PORTA: parse_xm_extra_fine_porta(ch, param); break;
    default:
        break;  // 11, 13, 15, 16, 26, 28, 35 act in the first row pass; unknown codes do nothing
    }
}

namespace {

// A cell that sets or slides the channel's volume: in a note module it ends the silence a tremor
// left, as FastTracker 2 keeps a tremor's output volume until the volume is set again.
bool sets_volume(const NOTE_INFO *n)
{
    constexpr int kVolumeColumnFirst = 0x10;  // set volume 0x10..0x50, slides up to 0x9F
    constexpr int kVolumeColumnLast = 0x9F;
    if (n->volume >= kVolumeColumnFirst && n->volume <= kVolumeColumnLast) return true;
    switch (n->command) {
    case CMD_SET_VOLUME:
    case CMD_PRO_VOLSLIDE:
    case CMD_TONE_PORTA_VOLSLIDE:
    case CMD_VIBRATO_VOLSLIDE:
    case CMD_TREMOLO:
    case CMD_RETRIG_VOLSLIDE:
    case CMD_XM_TONE_PORTA_VOLSLIDE:
    case CMD_XM_VIBRATO_VOLSLIDE:
    case CMD_XM_VOLSLIDE: return true;
    case CMD_EXTENDED: {
        const int sub = n->extcommand >> 4;
        return sub == EXT_FINE_VOLUME_UP || sub == EXT_FINE_VOLUME_DOWN ||
               sub == EXT_XM_FINE_VOLUME_UP || sub == EXT_XM_FINE_VOLUME_DOWN;
    }
    default: return false;
    }
}

}  // namespace

void Engine::second_row_pass()
{
    const int channels = playing_channels();
    for (int ch = 0; ch < channels; ch++) {
        CHANNEL_STATE &c = ci[ch];
        const NOTE_INFO *n = get_note(of, mi.pattern, mi.row, ch);
        c.pan_slide = c.pro_porta_on = c.s3m_volslide_on = c.xm_volslide_on = 0;
        c.xm_porta_down_on = c.xm_porta_up_on = c.s3m_porta_on = c.set_position = 0;
        c.porta_on = c.retrig_on = c.arpeggio_on = c.vibrato_on = c.tremolo_on = c.tremor_on = 0;
        c.kick = c.note_delay = c.note_cut = c.volume_slide = c.retrig_interval = 0;

        const int s = n->sample - 1;
        const bool slides = cell_slides(n);
        if (s >= 0 && slides) {
            // An instrument number on a sliding cell does not trigger; in a note module it still
            // releases the note's key and restarts its envelopes, as the trackers do, so a slide
            // after a key off sounds.
            if (note_module()) {
                restart_instrument(ch);
                reset_volume_and_pan(ch, s);
            } else if (s < of->sample_count) {
                c.volume = of->sample_info[s].volume;
            }
        }
        const bool triggers = (n->note > 0 || s >= 0) && !slides;
        if (triggers || (s >= 0 && note_module()) || sets_volume(n)) tremor_silent_[ch] = false;
        if (triggers) {
            c.tremor_count = 0;
            c.porta_target = 0;
            if (c.vibrato_waveform <= 2) c.vibrato_pos = 0;
            if (c.tremolo_waveform <= 2) c.tremolo_pos = 0;
            if (note_module())
                parse_new_note(ch, n->note, s);
            else
                parse_old_note(ch, n->note, s);
        }
        if (n->note < 0) parse_note_command(ch, n->note);
        if (n->volume > 15) parse_volume_command(ch, n->volume, n->note);
        row_command(ch, n, s);

        c.temp_pan = c.pan;
        c.temp_volume = tremor_silent_[ch] && note_module() ? 0 : c.volume;
        c.temp_period = c.period;
    }
}

// ---------------------------------------------------------------- effect passes

void Engine::first_effect_pass()
{
    const int channels = playing_channels();
    for (int ch = 0; ch < channels; ch++) {
        CHANNEL_STATE &c = ci[ch];
        if (c.retrig_on) do_retrig_volslide(ch);
        if (c.arpeggio_on) do_arpeggio(ch);
        if (c.pro_porta_on) {
            c.period += c.pro_porta_amount;
            c.temp_period += c.pro_porta_amount;
        }
        if (c.volume_slide != 0) {
            c.volume += c.volume_slide;
            c.temp_volume += c.volume_slide;
        }
        if (c.retrig_interval != 0 && mi.tick % c.retrig_interval == 0) c.kick = kTrue;
        if (c.note_cut != 0 && mi.tick == c.note_cut) c.volume = c.temp_volume = 0;
        if (c.porta_on) do_slide2period(ch);
        if (c.note_delay != 0) do_note_delay(ch);
        if (c.tremor_on) do_tremor(ch);
        if (c.xm_volslide_on) do_xm_volslide(ch);
        if (c.xm_porta_up_on) do_xm_porta_up(ch);
        if (c.xm_porta_down_on) do_xm_porta_down(ch);
        if (c.pan_slide != 0) do_pan_slide(ch);
        if (c.global_volslide_on) do_global_volslide(ch);
    }
}

void Engine::second_effect_pass()
{
    const int channels = playing_channels();
    for (int ch = 0; ch < channels; ch++) {
        const CHANNEL_STATE &c = ci[ch];
        if (c.vibrato_on) do_vibrato(ch);
        if (c.tremolo_on) do_tremolo(ch);
        if (c.s3m_volslide_on) do_s3m_volslide(ch);
        if (c.s3m_porta_on) do_s3m_porta(ch);
    }
}

// ---------------------------------------------------------------- output pass

// The instrument vibrato of note modules (each sample's type, sweep, depth and rate), added to
// the period sent to the voice. A note starts it at position 0; its depth grows over `sweep`
// ticks and stops growing at key off. The tick reads the wave before moving along it, so a note's
// first tick plays its plain pitch.
enum AutoVibratoWave { kAutoSine, kAutoSquare, kAutoRampDown, kAutoRampUp };
constexpr int kAutoWaveMax = 64;       // wave points run -64..64
constexpr int kAutoDepthShift = 8;     // the depth is kept in 256ths while it sweeps
constexpr int kAutoVibratoShift = 14;  // wave x depth in 256ths, down to period units

namespace {

// A wave point for the wave type at a position 0..255 along it.
int auto_vibrato_wave(int type, int pos)
{
    switch (type & 3) {
    case kAutoSquare: return pos < 128 ? kAutoWaveMax : -kAutoWaveMax;
    // The ramps start halfway and run the whole way round: down in pitch (up in period), or up.
    case kAutoRampDown: return ((pos / 2 + kAutoWaveMax) & 127) - kAutoWaveMax;
    case kAutoRampUp: return kAutoWaveMax - ((pos / 2 + kAutoWaveMax) & 127);
    default: {
        const int w = vib_table[(pos >> 2) & 31] * kAutoWaveMax / 255;
        return pos < 128 ? w : -w;
    }
    }
}

}  // namespace

int Engine::auto_vibrato_step(int ch, bool started)
{
    const CHANNEL_STATE &c = ci[ch];
    if (!note_module() || c.sample < 0 || c.sample >= of->sample_count) return 0;
    const SAMPLE_INFO &si = of->sample_info[c.sample];
    const int full = std::clamp(si.vibrato_depth, 0, 255) << kAutoDepthShift;
    AutoVibrato &a = auto_vibrato_[ch];  // pos 0..255 along the wave, depth in 256ths
    if (started) a = {0, si.vibrato_sweep > 0 ? 0 : full};
    if (full == 0) return 0;
    const int delta = (auto_vibrato_wave(si.vibrato_type, a.pos) * a.depth) >> kAutoVibratoShift;
    a.pos = (a.pos + std::clamp(si.vibrato_rate, 0, 255)) & 255;
    if (c.key_off == 0 && a.depth < full)
        a.depth = std::min(full, a.depth + full / std::max(si.vibrato_sweep, 1));
    return delta;
}

void Engine::output_pass()
{
    const int channels = playing_channels();
    for (int ch = 0; ch < channels; ch++) {
        CHANNEL_STATE &c = ci[ch];
        if (c.note_delay != 0) continue;
        if (!voices_.has_voice(ch)) continue;
        c.period = std::clamp(c.period, -kMaxPeriod, kMaxPeriod);
        c.temp_period = std::clamp(c.temp_period, kMinOutputPeriod, kMaxPeriod);
        c.volume = std::clamp(c.volume, 0, kMaxVolume);
        c.temp_volume = std::clamp(c.temp_volume, 0, kMaxVolume);
        c.pan = std::clamp(c.pan, 0, kMaxPan);
        c.temp_pan = std::clamp(c.temp_pan, 0, kMaxPan);

        const bool sample_ok = c.sample >= 0 && c.sample < of->sample_count;
        const bool kick = c.kick == kTrue && sample_ok;
        if (kick) voices_.assign(ch, *of, c.sample);
        if (c.set_position == kTrue) {
            // An offset past the end plays the sample's last frame rather than memory beyond it.
            int pos = std::max(c.sample_offset, 0);
            if (sample_ok) {
                const unsigned long len = of->samples[c.sample].len;
                if (static_cast<unsigned long>(pos) >= len)
                    pos = len > 0 ? static_cast<int>(len - 1) : 0;
            }
            voices_.set_position(ch, pos);
            c.set_position = 0;
        }
        const int vibrato = auto_vibrato_step(ch, kick);
        if (c.period > 0) {
            const int period = std::max(c.temp_period + vibrato, kMinOutputPeriod);
            const long long hz =
                std::clamp(static_cast<long long>(period2pitch(period)) * mi.pitch_ratio / 100, 0LL,
                           static_cast<long long>(kMaxVoiceFrequency));
            wanted_frequency_[ch] = static_cast<int>(hz);
            voices_.set_frequency(ch, static_cast<int>(hz));
        }
        process_envelope(&c.volume_env, kEnvVolumeDefault, c.key_off);
        process_envelope(&c.pan_env, kEnvPanDefault, c.key_off);
        voices_.set_volume(ch, calc_volume(ch));
        voices_.set_pan(ch, calc_pan(ch));
        if (c.key_off == kTrue) c.fade_volume = std::max(c.fade_volume - c.fadeout, 0);
        if (kick) voices_.start(ch);
        if (c.kick == kTrue) c.kick = 0;
    }
}

int Engine::wanted_voice_frequency(int ch) const
{
    return ch >= 0 && ch < QVMOD_MAX_CHANNELS ? wanted_frequency_[ch] : 0;
}

// ---------------------------------------------------------------- one tick

bool Engine::run_mod_tick(void)
{
    last_step = SongStep::PatternDelay;  // until a row is read
    if (!of || mi.busy == kTrue || mi.paused == kTrue) return false;

    if (mi.request_row != 0) {
        mi.row = mi.request_row - 1;
        mi.order_pos = mi.request_order - 1;
        mi.tick = -1;
        mi.request_row = mi.request_order = 0;
        mi.pending_row = mi.pending_order = 0;
        for (int i = 0; i < mi.voice_count; i++) {
            ci[i].porta_target = 0;
            ci[i].loop_row = 0;
            ci[i].loop_count = 0;
        }
        silence_voices();
        if (mi.order_pos == 0) {
            restart_mod(mi.loop);
            return true;
        }
        if (mi.order_pos < of->order_count) mi.pattern = of->order_table[mi.order_pos];
        keep_row_in_pattern(mi, *of);
    }

    const SongStep step = advance_song_position(mi, *of, ci, playing_channels(), mi.voice_count);
    last_step = step;
    if (step == SongStep::PatternDelay) return false;
    if (step == SongStep::End) {
        stop_voices();
        if (mi.loop == kFalse) {
            of = nullptr;
            set_song_playing(kFalse);
            return false;
        }
        const int restart = of->restart_order;
        restart_mod(kTrue);
        request_track(std::clamp(restart, 0, QVMOD_MAX_ORDERS));
        return true;
    }

    bool tempo_set = false;
    if (mi.tick == 0) {
        tempo_set = first_row_pass();
        second_row_pass();
    } else {
        first_effect_pass();
    }
    second_effect_pass();
    output_pass();
    return tempo_set;
}

// ---------------------------------------------------------------- note triggers

void Engine::parse_old_note(int ch, int note, int s)
{
    CHANNEL_STATE &c = ci[ch];
    const bool valid = s >= 0 && s < of->sample_count;
    if (note < 1) {
        if (valid) {
            if (s != c.sample && c.period > 0) c.kick = kTrue;
            c.sample = s;
            c.volume = of->sample_info[s].volume;
            c.c2spd = of->sample_info[s].c2spd;
        }
        return;
    }
    if (valid) {
        c.sample = s;
        c.volume = of->sample_info[s].volume;
        c.c2spd = of->sample_info[s].c2spd;
    }
    c.period = note2period(note, c.c2spd);
    c.kick = kTrue;
}

void Engine::parse_new_note(int ch, int note, int s)
{
    CHANNEL_STATE &c = ci[ch];
    if (note >= 1) {
        const int n = note - 1;
        c.note = n;
        if (s >= 0) c.instrument = s;
        c.sample = get_qvmod_sample_no(c.instrument, n);
        const SAMPLE_INFO &si = of->sample_info[c.sample];
        c.transpose = si.transpose;
        c.c2spd = si.c2spd;
        if (s >= 0) {
            c.volume = si.volume;
            c.pan = si.pan;
        }
        c.period = note2period(n + c.transpose, c.c2spd);
        c.kick = kTrue;
    } else if (s >= 0) {
        // An instrument number alone returns the volume and pan to the sample's, where a
        // lowered volume would otherwise stay for every later note without one.
        reset_volume_and_pan(ch, s);
    }
    restart_instrument(ch);
}

void Engine::restart_instrument(int ch)
{
    CHANNEL_STATE &c = ci[ch];
    c.key_off = 0;
    c.fade_volume = kFullFade;
    c.fadeout = 0;
    for (ENVELOPE_STATE *env : {&c.volume_env, &c.pan_env}) {
        env->flags = env->points = env->index_a = env->index_b = env->tick = 0;
    }
    c.volume_env.value = kEnvVolumeDefault;
    c.pan_env.value = kEnvPanDefault;
    if (c.instrument >= 0 && c.instrument < of->instrument_count) {
        const INSTRUMENT_INFO &in = of->instrument_info[c.instrument];
        c.fadeout = in.volume_fadeout;
        start_envelope(&c.volume_env, in.volume_env_value, in.volume_env_pos, in.volume_env_flags,
                       in.volume_env_points, in.volume_env_loop_start, in.volume_env_loop_end,
                       in.volume_env_sustain_start, in.volume_env_sustain_end);
        start_envelope(&c.pan_env, in.pan_env_value, in.pan_env_pos, in.pan_env_flags,
                       in.pan_env_points, in.pan_env_loop_start, in.pan_env_loop_end,
                       in.pan_env_sustain_start, in.pan_env_sustain_end);
    }
}

void Engine::reset_volume_and_pan(int ch, int s)
{
    CHANNEL_STATE &c = ci[ch];
    const int k = get_qvmod_sample_no(s, c.note);
    if (k < 0 || k >= of->sample_count) return;
    c.volume = of->sample_info[k].volume;
    c.pan = of->sample_info[k].pan;
}

int Engine::get_qvmod_sample_no(int instrument, int note) const
{
    if (!(mi.flags & QVMOD_FLAG_NOTES)) return instrument;
    const int last = of->sample_count - 1;
    if (note < 0 || note >= QVMOD_NOTES_PER_INSTR || instrument < 0 ||
        instrument >= of->instrument_count)
        return last;
    const int k = of->instrument_info[instrument].sample_number[note];
    return (k < 0 || k > last) ? last : k;
}

// ---------------------------------------------------------------- volume and pan

int Engine::calc_volume(int ch) const
{
    // Inputs held to their ranges so no product can overflow, whatever a handler left behind.
    const CHANNEL_STATE &c = ci[ch];
    const int volume = std::clamp(c.temp_volume, 0, kMaxVolume);
    const int global = std::clamp(mi.global_volume, 0, kMaxGlobalVolume);
    const int fade = std::clamp(c.fade_volume, 0, kFullFade);
    const int master = std::clamp(mod_volume, 0, kMaxModVolume);
    const int env = std::clamp(c.volume_env.value, 0, kEnvVolumeDefault);
    const int v = (volume * global * fade) >> 19;
    return (v * (master * env)) >> 14;
}

int Engine::calc_pan(int ch) const
{
    const CHANNEL_STATE &c = ci[ch];
    const int temp_pan = std::clamp(c.temp_pan, 0, kMaxPan);
    const int env = std::clamp(c.pan_env.value, 0, 2 * kEnvPanDefault);
    const int d = temp_pan < 128 ? temp_pan : 256 - temp_pan;
    const int pan = temp_pan + (d * (env - kEnvPanDefault)) / kEnvPanDefault;
    return std::clamp(pan, 0, kMaxPan);
}
