// SPDX-License-Identifier: MIT
// The game's sound calls: the module during play, the credits song, sound effects and volumes.
#include "Sound.h"

#include <allegro.h>

#include <algorithm>

#include "GameData.h"
#include "Quorvex.h"
#include "qvmod.h"

int sound_installed = YES;

namespace {

constexpr int CENTRE_PAN = 125;
constexpr int NORMAL_FREQUENCY = 1000;  // the sample's own rate
constexpr int MAX_LEVEL = 255;
// The module plays at 60 of 255 at the default music volume.
constexpr int MODULE_VOLUME_AT_DEFAULT = 60;
// The credits song through the library's synthesiser sounds as loud as the module at this MIDI
// volume (at the full 255 it was measured 6 dB louder).
constexpr int SONG_VOLUME_AT_DEFAULT = 127;
// The library's digital volume scales every voice, the module's and the song's too: it stays at
// full, and each effect carries the sound volume in its own level instead.
constexpr int DIGITAL_MASTER_VOLUME = 255;

int Proportional(int level_at_default, int volume)
{
    return std::clamp(level_at_default * volume / DEFAULT_VOLUME, 0, MAX_LEVEL);
}

}  // namespace

int ModuleVolumeFor(int volume)
{
    return Proportional(MODULE_VOLUME_AT_DEFAULT, volume);
}

int SongVolumeFor(int volume)
{
    return Proportional(SONG_VOLUME_AT_DEFAULT, volume);
}

int EffectVolumeFor(int loudness, int volume)
{
    return Proportional(loudness, volume);
}

void Music()
{
    if (!sound_installed || !music_on) return;
    set_mod_volume(ModuleVolumeFor(music_volume));
    play_mod(static_cast<QVMOD *>(data[MOD_GAME].dat), TRUE);
}

void PlaySong(int index)
{
    if (sound_installed && music_on) play_midi(DataMidi(index), FALSE);
}

void PlaySoundA(int index)
{
    PlayEffect(index, DEFAULT_VOLUME);
}

void PlayEffect(int index, int loudness)
{
    if (!sound_installed) return;
    play_sample(DataSample(index), EffectVolumeFor(loudness, sound_volume), CENTRE_PAN,
                NORMAL_FREQUENCY, 0);
}

void StopSong()
{
    if (sound_installed) stop_midi();
}

void StopMusic()
{
    if (sound_installed) stop_mod();
}

void ApplyVolumes()
{
    if (!sound_installed) return;
    set_volume(DIGITAL_MASTER_VOLUME, SongVolumeFor(music_volume));
    set_mod_volume(ModuleVolumeFor(music_volume));
}
