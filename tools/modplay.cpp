// modplay: prints a module's information and plays it through the QVMOD library on Allegro's sound.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <allegro.h>

#include "qvmod.h"

namespace {

constexpr int kVolumeStep = 16;
constexpr int kSpeedStep = 10;     // percent
constexpr int kPitchStep = 5;      // percent
constexpr int kWindowW = 360;
constexpr int kWindowH = 140;
constexpr int kPollMs = 20;
constexpr int kMaxVoices = 64;

void usage()
{
    std::puts("usage: modplay [--info] [--m15] FILE...\n"
              "Prints each module's information and plays it (QVM, MOD, S3M, XM, Unreal packages).\n"
              "  --info  print the information only (no sound needed)\n"
              "  --m15   also try files without a signature as 15-sample MODs\n"
              "Keys while playing: Space pause, Left/Right previous/next order position,\n"
              "Up/Down volume, +/- speed, PgUp/PgDn pitch, Enter next file, Esc quit.");
}

struct ModDeleter {
    void operator()(QVMOD *m) const { destroy_mod(m); }
};

// The information block; false (with the library's message printed) when the file does not load.
bool print_info(const char *path, QVMOD **loaded)
{
    QVMOD_INFO info;
    std::memset(&info, 0, sizeof info);
    if (get_mod_info(path, &info) != 1) {
        std::fprintf(stderr, "modplay: %s: %s\n", path, qvmod_error);
        return false;
    }
    char title[sizeof info.name + 1] = {0};
    std::memcpy(title, info.name, sizeof info.name);
    std::printf("%s\n  format:      %s\n  title:       %s\n", path, info.type_name, title);
    QVMOD *m = load_mod(path);
    if (!m) {
        std::fprintf(stderr, "modplay: %s: %s\n", path, qvmod_error);
        return false;
    }
    std::printf("  channels:    %d\n  orders:      %d\n  patterns:    %d\n  samples:     %d\n  instruments: %d\n"
                "  speed/BPM:   %d/%d\n",
                m->channel_count, m->order_count, m->pattern_count, m->sample_count, m->instrument_count,
                m->initial_speed, m->initial_bpm);
    std::fflush(stdout);
    *loaded = m;
    return true;
}

struct Status {
    int order, pattern, row, bpm, speed, paused;
};

Status read_status()
{
    hold_mod_player();
    const Status s{mi.order_pos, mi.pattern, mi.row, mi.bpm, mi.speed, mi.paused};
    release_mod_player();
    return s;
}

enum class After { Next, Quit };

After play(QVMOD *m, bool window)
{
    remove_mod();
    if (install_mod(std::min(m->channel_count, kMaxVoices)) != 1) {
        std::fprintf(stderr, "modplay: %s\n", qvmod_error);
        return After::Quit;
    }
    int speed = 100;
    int pitch = 100;
    set_mod_speed(speed);
    set_mod_pitch(pitch);
    play_mod(m, FALSE);
    After after = After::Next;
    while (is_mod_playing()) {
        if (window) {
            while (keypressed()) {
                const int k = readkey() >> 8;
                if (k == KEY_ESC) after = After::Quit;
                else if (k == KEY_ENTER) stop_mod();
                else if (k == KEY_SPACE) toggle_pause_mode();
                else if (k == KEY_RIGHT) next_mod_track();
                else if (k == KEY_LEFT) prev_mod_track();
                else if (k == KEY_UP) set_mod_volume(get_mod_volume() + kVolumeStep);
                else if (k == KEY_DOWN) set_mod_volume(get_mod_volume() - kVolumeStep);
                else if (k == KEY_PLUS_PAD || k == KEY_EQUALS) set_mod_speed(speed = std::min(speed + kSpeedStep, 400));
                else if (k == KEY_MINUS_PAD || k == KEY_MINUS) set_mod_speed(speed = std::max(speed - kSpeedStep, 10));
                else if (k == KEY_PGUP) set_mod_pitch(pitch = std::min(pitch + kPitchStep, 400));
                else if (k == KEY_PGDN) set_mod_pitch(pitch = std::max(pitch - kPitchStep, 10));
            }
            if (after == After::Quit) break;
        }
        const Status s = read_status();
        char line[160];
        std::snprintf(line, sizeof line, "order %3d/%-3d pattern %3d row %2d  BPM %3d speed %2d  vol %3d tempo %3d%% pitch %3d%%%s",
                      s.order, m->order_count, s.pattern, s.row, s.bpm, s.speed, get_mod_volume(), speed, pitch,
                      s.paused ? "  [paused]" : "          ");
        std::printf("\r%s", line);
        std::fflush(stdout);
        if (window) {
            acquire_screen();
            clear_to_color(screen, makecol(0, 0, 0));
            const int white = makecol(255, 255, 255);
            textprintf_ex(screen, font, 8, 8, white, -1, "%.40s", m->name);
            textprintf_ex(screen, font, 8, 24, white, -1, "order %d/%d  row %d", s.order, m->order_count, s.row);
            textprintf_ex(screen, font, 8, 40, white, -1, "BPM %d  speed %d%s", s.bpm, s.speed, s.paused ? "  paused" : "");
            textprintf_ex(screen, font, 8, 56, white, -1, "volume %d  tempo %d%%  pitch %d%%", get_mod_volume(), speed, pitch);
            textprintf_ex(screen, font, 8, 88, white, -1, "Space pause  Left/Right order");
            textprintf_ex(screen, font, 8, 100, white, -1, "Up/Down volume  +/- speed");
            textprintf_ex(screen, font, 8, 112, white, -1, "PgUp/PgDn pitch  Enter next  Esc quit");
            release_screen();
        }
        rest(kPollMs);
    }
    stop_mod();
    std::printf("\n");
    return after;
}

} // namespace

int main(int argc, char **argv)
{
    bool info_only = false;
    std::vector<const char *> files;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--info") == 0) info_only = true;
        else if (std::strcmp(argv[i], "--m15") == 0) enable_m15 = -1;
        else if (std::strcmp(argv[i], "--help") == 0) { usage(); return 0; }
        else files.push_back(argv[i]);
    }
    if (files.empty()) {
        usage();
        return 2;
    }

    if (info_only) {
        if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
        int status = 0;
        for (const char *f : files) {
            QVMOD *m = nullptr;
            if (!print_info(f, &m)) status = 1;
            destroy_mod(m);
        }
        return status;
    }

    if (allegro_init() != 0) {
        std::fprintf(stderr, "modplay: cannot start Allegro: %s\n", allegro_error);
        return 1;
    }
    install_timer();
    reserve_voices(kMaxVoices, -1);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) {
        reserve_voices(32, -1);
        if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) {
            std::fprintf(stderr, "modplay: no sound: %s (try --info)\n", allegro_error);
            return 1;
        }
    }
    // Keys need a window; without one the files simply play to their end.
    set_color_depth(desktop_color_depth() > 0 ? desktop_color_depth() : 16);
    const bool window = install_keyboard() == 0 &&
                        set_gfx_mode(GFX_AUTODETECT_WINDOWED, kWindowW, kWindowH, 0, 0) == 0;
    if (window) set_window_title("modplay");
    else std::fprintf(stderr, "modplay: no window for keys; playing to the end (Ctrl-C stops)\n");

    int status = 0;
    for (const char *f : files) {
        QVMOD *m = nullptr;
        if (!print_info(f, &m)) {
            status = 1;
            continue;
        }
        const After after = play(m, window);
        destroy_mod(m);
        if (after == After::Quit) break;
    }
    remove_mod();
    return status;
}
END_OF_MAIN()
