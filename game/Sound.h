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
void PlayEffect(int index, int volume);  // sample item `index` at `volume` (0..255), centred
void StopSong();                         // the MIDI song, if one plays
void StopMusic();                        // the game's module, if it plays
void ApplyVolumes();  // both volumes to the library, the music volume to the module
// The module's level for a music volume: 200 (the default) gives 60.
int ModuleVolumeFor(int volume);

#endif
