// SPDX-License-Identifier: MIT
// The game's sound calls: the module during play, the credits song, sound effects and volumes.
#ifndef QUORVEX_SOUND_H
#define QUORVEX_SOUND_H

// Whether the sound device, MIDI and the module player are installed: -1 yes, 0 with --nosound
// (then no sound call of any kind is made, and sound and music show as off).
extern int sound_installed;

// None of these makes a sound call without a sound device.
void Music();                // the game's module from its start, looping, if music is on
void PlaySong(int index);    // MIDI item `index` once, if music is on
void PlaySoundA(int index);  // sample item `index` at the sound volume
// Sample item `index`, centred, at `loudness` (0..255) when the sound volume stands at its
// default, and in proportion to the sound volume otherwise.
void PlayEffect(int index, int loudness);
void StopSong();   // the MIDI song, if one plays
void StopMusic();  // the game's module, if it plays
// Hands both volumes to the library and the module: Music Volume sets the module and the credits
// song, Sound Volume only the effects (through each effect's own level).
void ApplyVolumes();

// The levels a volume (0..250) gives, each in proportion to it and at most 255.
int ModuleVolumeFor(int volume);  // the module's: 200 (the default) gives 60
int SongVolumeFor(int volume);    // the library's MIDI volume: at 200 as loud as the module
int EffectVolumeFor(int loudness, int volume);  // an effect's, `loudness` at the default volume

#endif
