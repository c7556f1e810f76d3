// XM effects, instrument envelopes, key off and fade-out.
#include "player_internal.h"

void parse_xm_porta_up(int, int) {}               // to be written
void do_xm_porta_up(int) {}                       // to be written
void parse_xm_porta_down(int, int) {}             // to be written
void do_xm_porta_down(int) {}                     // to be written
void parse_xm_volslide(int, int) {}               // to be written
void do_xm_volslide(int) {}                       // to be written
void parse_xm_panslide(int, int) {}               // to be written
void do_pan_slide(int) {}                         // to be written
void parse_global_volslide(int, int) {}           // to be written
void do_global_volslide(int) {}                   // to be written
void parse_set_envelope_pos(int, int) {}          // to be written
void parse_xm_extra_fine_porta(int, int) {}       // to be written

void parse_key_off(int ch)
{
    parse_note_command(ch, QVMOD_NOTE_KEY_OFF);
}

// Copies an instrument envelope into a channel: to be written.
void start_envelope(ENVELOPE_STATE *, const int *, const int *, int, int, int, int, int, int) {}

// Advances an envelope one tick; until envelopes are written it yields the default.
void process_envelope(ENVELOPE_STATE *env, int default_value, int)
{
    env->value = default_value;
}

void lock_qvmod_player4(void) {}
