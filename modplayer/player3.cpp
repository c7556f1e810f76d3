// S3M effects, the volume column and the note commands (cut, key off).
#include "player_internal.h"

void parse_s3m_speed(int) {}                      // to be written
void parse_s3m_bpm(int) {}                        // to be written (tempo via set_mod_bpm)
void parse_set_global_volume(int) {}              // to be written
void parse_s3m_volslide(int, int) {}              // to be written
void do_s3m_volslide(int) {}                      // to be written
void parse_s3m_porta_down(int, int) {}            // to be written
void parse_s3m_porta_up(int, int) {}              // to be written
void do_s3m_porta(int) {}                         // to be written
void parse_tremor(int, int) {}                    // to be written
void do_tremor(int) {}                            // to be written
void parse_s3m_arpeggio(int, int) {}              // to be written (step: do_arpeggio)
void parse_retrig_volslide(int, int) {}           // to be written
void do_retrig_volslide(int) {}                   // to be written
void parse_s3m_set_pan(int, int) {}               // to be written
void parse_volume_command(int, int, int) {}       // volume column: to be written

void parse_note_command(int ch, int note)
{
    CHANNEL_STATE &c = ci[ch];
    if (note == QVMOD_NOTE_CUT) {
        c.volume = 0;
    } else if (note == QVMOD_NOTE_KEY_OFF) {
        c.key_off = kTrue;
        if (!(c.volume_env.flags & QVMOD_ENV_ON)) c.volume = 0;
    }
}

void lock_qvmod_player3(void) {}
