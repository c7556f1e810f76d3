// The game's sound calls: the module during play, the credits song, sound effects and volumes.
#include "Sound.h"

#include <allegro.h>

#include "GameData.h"
#include "Quorvex.h"
#include "qvmod.h"

int sound_installed = YES;

namespace {

constexpr int CENTRE_PAN = 125;
constexpr int NORMAL_FREQUENCY = 1000;  // the sample's own rate
// The module plays at 60 of 255 at the default music volume.
constexpr int MODULE_VOLUME_AT_DEFAULT = 60;

}  // namespace

int ModuleVolumeFor(int volume)
{
    return volume * MODULE_VOLUME_AT_DEFAULT / DEFAULT_VOLUME;
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
    PlayEffect(index, sound_volume);
}

void PlayEffect(int index, int volume)
{
    if (sound_installed) play_sample(DataSample(index), volume, CENTRE_PAN, NORMAL_FREQUENCY, 0);
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
    set_volume(sound_volume, music_volume);
    set_mod_volume(ModuleVolumeFor(music_volume));
}
