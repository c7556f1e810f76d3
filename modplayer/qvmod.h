/* QVMOD public interface: tracker-module playback on Allegro voices (placeholder until the player lands). */
#ifndef QVMOD_H
#define QVMOD_H

#include <allegro.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QVMOD QVMOD;

int install_mod(int max_chn);
void remove_mod(void);
int play_mod(QVMOD *m, int loop);
void stop_mod(void);
void set_mod_volume(int volume);

#ifdef __cplusplus
}
#endif

#endif
