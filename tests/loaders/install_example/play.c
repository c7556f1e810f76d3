// SPDX-License-Identifier: MIT
/* Plays a module file with the installed QVMOD library: the example of modplayer/README.md. */
#include <allegro.h>
#include <qvmod.h>

int main(int argc, char **argv)
{
    if (argc < 2 || allegro_init() != 0) return 1;
    install_timer();
    reserve_voices(32, -1);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, NULL) != 0) return 1;
    QVMOD *song = load_mod(argv[1]);
    if (!song || install_mod(song->channel_count) != 1) {
        allegro_message("%s\n", qvmod_error);
        return 1;
    }
    play_mod(song, FALSE);
    while (is_mod_playing()) rest(100);
    destroy_mod(song);
    return 0;
}
END_OF_MAIN()
