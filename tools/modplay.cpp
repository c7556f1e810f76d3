// modplay: prints a module's information and length, renders it to WAV, or plays it through the QVMOD library on Allegro's sound.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <allegro.h>

#include "manual_mixer.h"
#include "module_render.h"
#include "qvmod.h"

#if defined(__unix__) || defined(__APPLE__)
#include <termios.h>
#include <unistd.h>
#define MODPLAY_TERMINAL 1
#endif

namespace {

constexpr int kVolumeStep = 16;
constexpr int kSpeedStep = 10;  // percent
constexpr int kPitchStep = 5;   // percent
constexpr int kWindowW = 360;
constexpr int kWindowH = 140;
constexpr int kPollMs = 20;
constexpr int kMaxVoices = 64;
constexpr int kFewerVoices = 32;  // tried when the driver cannot give kMaxVoices

// Default levels. Allegro's mixer gives each voice its full scale on a hard-panned side, so two of
// a MOD's four channels on one side could reach twice full scale. A volume-per-voice shift of 2
// halves every voice: the four channels then peak below full scale, and the module volume of 224
// (1 dB under its maximum) leaves headroom while songs play as loud as other players play them
// (between libxmp's and libopenmpt's levels). --volume changes the module volume.
constexpr int kVoiceVolumeShift = 2;
constexpr int kDefaultModVolume = 224;

void usage(std::FILE *out)
{
    std::fputs(
        "usage: modplay [OPTION]... FILE...\n"
        "Prints each module's information and plays it (QVM, MOD, S3M, XM, Unreal packages).\n"
        "  --info            print the information only (no sound needed)\n"
        "  --duration        print each song's length to its end or first loop (no sound needed)\n"
        "  --render OUT.wav  write the song of one FILE as a 16-bit stereo WAV file, as fast as\n"
        "                    the machine allows (no display or sound device needed)\n"
        "  --rate HZ         sample rate of --render (8000..192000, default 44100)\n"
        "  --loops N         with --render, play the part that repeats N more times (default 0)\n"
        "  --volume V        module volume 0..255 (default 224, which keeps 4-channel songs below\n"
        "                    full scale)\n"
        "  --m15             also try files without a signature as 15-sample MODs\n"
        "  --help            this text\n"
        "Keys while playing (in the window, or in the terminal when there is no display):\n"
        "Space pause, Left/Right previous/next order position, Up/Down volume, +/- speed,\n"
        "PgUp/PgDn pitch, Enter next file, Esc or q quit.\n",
        out);
}

struct Options {
    bool info = false;
    bool duration = false;
    const char *render = nullptr;
    int rate = manual_mixer::kDefaultRate;
    int loops = 0;
    int volume = kDefaultModVolume;
    std::vector<const char *> files;
};

bool parse_int(const char *text, int lo, int hi, int *out)
{
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
    *out = static_cast<int>(v);
    return true;
}

// 0 to go on, otherwise the exit status.
int parse_options(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        const bool has_value = i + 1 < argc;
        if (std::strcmp(a, "--info") == 0)
            o.info = true;
        else if (std::strcmp(a, "--duration") == 0)
            o.duration = true;
        else if (std::strcmp(a, "--m15") == 0)
            enable_m15 = -1;
        else if (std::strcmp(a, "--help") == 0) {
            usage(stdout);
            return -1;
        } else if (std::strcmp(a, "--render") == 0 && has_value)
            o.render = argv[++i];
        else if (std::strcmp(a, "--rate") == 0 && has_value) {
            if (!parse_int(argv[++i], manual_mixer::kMinRate, manual_mixer::kMaxRate, &o.rate)) {
                std::fprintf(stderr, "modplay: --rate takes %d..%d Hz\n", manual_mixer::kMinRate,
                             manual_mixer::kMaxRate);
                return 2;
            }
        } else if (std::strcmp(a, "--loops") == 0 && has_value) {
            if (!parse_int(argv[++i], 0, 1000, &o.loops)) {
                std::fputs("modplay: --loops takes a count 0..1000\n", stderr);
                return 2;
            }
        } else if (std::strcmp(a, "--volume") == 0 && has_value) {
            if (!parse_int(argv[++i], 0, 255, &o.volume)) {
                std::fputs("modplay: --volume takes 0..255\n", stderr);
                return 2;
            }
        } else if (a[0] == '-' && a[1] == '-') {
            std::fprintf(stderr, "modplay: unknown option or missing value: %s\n", a);
            usage(stderr);
            return 2;
        } else {
            o.files.push_back(a);
        }
    }
    if (o.files.empty()) {
        usage(stderr);
        return 2;
    }
    if (o.render && o.files.size() != 1) {
        std::fputs("modplay: --render takes one FILE\n", stderr);
        return 2;
    }
    return 0;
}

// The file's own trouble (missing, unreadable, a directory) in the system's words, before the library's.
void report_file_error(const char *path)
{
    errno = 0;
    std::FILE *f = std::fopen(path, "rb");
    if (f) {
        std::fgetc(f);
        const bool bad = std::ferror(f) != 0;
        const int err = errno;
        std::fclose(f);
        if (!bad) return;
        errno = err;
    }
    std::fprintf(stderr, "modplay: %s: %s\n", path, std::strerror(errno != 0 ? errno : EIO));
}

void library_error(const char *path)
{
    std::fprintf(stderr, "modplay: %s: %s\n", path, qvmod_error);
}

QVMOD *load_checked(const char *path)
{
    QVMOD *m = load_mod(path);
    if (!m) {
        report_file_error(path);
        library_error(path);
    }
    return m;
}

std::string clock_text(long ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%03ld", ms / 60000, ms / 1000 % 60, ms % 1000);
    return text;
}

// The information block; false (with the messages printed) when the file does not load.
bool print_info(const char *path, QVMOD **loaded)
{
    QVMOD_INFO info;
    std::memset(&info, 0, sizeof info);
    if (get_mod_info(path, &info) != 1) {
        report_file_error(path);
        library_error(path);
        return false;
    }
    char title[sizeof info.name + 1] = {0};
    std::memcpy(title, info.name, sizeof info.name);
    std::printf("%s\n  format:      %s\n  title:       %s\n", path, info.type_name, title);
    QVMOD *m = load_checked(path);
    if (!m) return false;
    const int length = get_mod_length(m);
    std::printf(
        "  channels:    %d\n  orders:      %d\n  patterns:    %d\n  samples:     %d\n  "
        "instruments: %d\n"
        "  speed/BPM:   %d/%d\n  length:      %s\n",
        m->channel_count, m->order_count, m->pattern_count, m->sample_count, m->instrument_count,
        m->initial_speed, m->initial_bpm, clock_text(std::max(length, 0)).c_str());
    std::fflush(stdout);
    *loaded = m;
    return true;
}

int voices_for(const QVMOD *m)
{
    return std::min(m->channel_count, kMaxVoices);
}

void set_levels(int volume)
{
    set_volume_per_voice(kVoiceVolumeShift);
    set_mod_volume(volume);
}

// --info and --duration: no sound at all.
int describe(const Options &o)
{
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    int status = 0;
    for (const char *f : o.files) {
        QVMOD *m = nullptr;
        if (o.info) {
            if (!print_info(f, &m)) status = 1;
        } else if ((m = load_checked(f)) != nullptr) {
            const int length = get_mod_length(m);
            if (length < 0) {
                library_error(f);
                status = 1;
            } else {
                std::printf("%s: %s (%d ms)\n", f, clock_text(length).c_str(), length);
            }
        } else {
            status = 1;
        }
        destroy_mod(m);
    }
    return status;
}

int render(const Options &o)
{
    const char *path = o.files[0];
    if (manual_mixer::start(o.rate, kMaxVoices) != 0) {
        std::fprintf(stderr, "modplay: cannot start Allegro's mixer: %s\n", allegro_error);
        return 1;
    }
    QVMOD *m = load_checked(path);
    if (!m) return 1;
    int status = 1;
    const int length = get_mod_length_loops(m, o.loops);
    if (length < 0) {
        library_error(path);
    } else if (install_mod(voices_for(m)) != 1) {
        std::fprintf(stderr, "modplay: %s\n", qvmod_error);
    } else {
        set_levels(o.volume);
        std::string error;
        if (render_wav(m, true, frames_of(length, o.rate), o.rate, o.render, error)) {
            std::printf("%s: %s written to %s\n", path, clock_text(length).c_str(), o.render);
            status = 0;
        } else {
            std::fprintf(stderr, "modplay: %s: %s\n", o.render, error.c_str());
        }
    }
    destroy_mod(m);
    remove_mod();
    return status;
}

// ---------------------------------------------------------------- keys

enum class Key {
    None,
    Quit,
    Next,
    Pause,
    OrderNext,
    OrderPrev,
    VolumeUp,
    VolumeDown,
    Faster,
    Slower,
    PitchUp,
    PitchDown
};

Key window_key()
{
    if (!keypressed()) return Key::None;
    switch (readkey() >> 8) {
    case KEY_ESC:
    case KEY_Q: return Key::Quit;
    case KEY_ENTER: return Key::Next;
    case KEY_SPACE: return Key::Pause;
    case KEY_RIGHT: return Key::OrderNext;
    case KEY_LEFT: return Key::OrderPrev;
    case KEY_UP: return Key::VolumeUp;
    case KEY_DOWN: return Key::VolumeDown;
    case KEY_PLUS_PAD:
    case KEY_EQUALS: return Key::Faster;
    case KEY_MINUS_PAD:
    case KEY_MINUS: return Key::Slower;
    case KEY_PGUP: return Key::PitchUp;
    case KEY_PGDN: return Key::PitchDown;
    default: return Key::None;
    }
}

#ifdef MODPLAY_TERMINAL
// ---------------------------------------------------------------- terminal (Unix)

struct termios g_saved_terminal;
volatile std::sig_atomic_t g_terminal_raw = 0;

void restore_terminal()
{
    if (g_terminal_raw) {
        tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
        g_terminal_raw = 0;
    }
}

void restore_terminal_and_die(int sig)
{
    restore_terminal();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Keys one at a time without echo; Ctrl-C still interrupts. The terminal is restored at exit and
// on the signals that end the program.
bool raw_terminal()
{
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved_terminal) != 0) return false;
    struct termios raw = g_saved_terminal;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return false;
    g_terminal_raw = 1;
    std::atexit(restore_terminal);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(sig, restore_terminal_and_die);
    return true;
}

// One key from the terminal; arrows and page keys arrive as escape sequences. Bytes read
// together are kept for the next calls.
Key terminal_key()
{
    static std::string pending;
    char b[32];
    const ssize_t n = read(STDIN_FILENO, b, sizeof b);
    if (n > 0) pending.append(b, static_cast<size_t>(n));
    if (pending.empty()) return Key::None;
    const char c = pending[0];
    if (c == 27 && pending.size() >= 3 && pending[1] == '[') {
        const char code = pending[2];
        const bool page = code == '5' || code == '6';
        pending.erase(0, page && pending.size() >= 4 && pending[3] == '~' ? 4 : 3);
        switch (code) {
        case 'A': return Key::VolumeUp;
        case 'B': return Key::VolumeDown;
        case 'C': return Key::OrderNext;
        case 'D': return Key::OrderPrev;
        case '5': return Key::PitchUp;
        case '6': return Key::PitchDown;
        default: return Key::None;
        }
    }
    pending.erase(0, 1);
    switch (c) {
    case 27:
    case 'q':
    case 'Q': return Key::Quit;
    case '\r':
    case '\n': return Key::Next;
    case ' ': return Key::Pause;
    case '+':
    case '=': return Key::Faster;
    case '-': return Key::Slower;
    default: return Key::None;
    }
}
#else
bool raw_terminal()
{
    return false;
}
Key terminal_key()
{
    return Key::None;
}
#endif

// ---------------------------------------------------------------- playing

enum class Input { Window, Terminal, None };

Key next_key(Input input)
{
    if (input == Input::Window) return window_key();
    if (input == Input::Terminal) return terminal_key();
    return Key::None;
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

struct Controls {
    int speed = 100;
    int pitch = 100;
};

// Carries out a key; false when the player should stop.
bool apply(Key k, Controls &c, After &after)
{
    switch (k) {
    case Key::Quit: after = After::Quit; return false;
    case Key::Next: after = After::Next; return false;
    case Key::Pause: toggle_pause_mode(); break;
    case Key::OrderNext: next_mod_track(); break;
    case Key::OrderPrev: prev_mod_track(); break;
    case Key::VolumeUp: set_mod_volume(get_mod_volume() + kVolumeStep); break;
    case Key::VolumeDown: set_mod_volume(get_mod_volume() - kVolumeStep); break;
    case Key::Faster: set_mod_speed(c.speed = std::min(c.speed + kSpeedStep, 400)); break;
    case Key::Slower: set_mod_speed(c.speed = std::max(c.speed - kSpeedStep, 10)); break;
    case Key::PitchUp: set_mod_pitch(c.pitch = std::min(c.pitch + kPitchStep, 400)); break;
    case Key::PitchDown: set_mod_pitch(c.pitch = std::max(c.pitch - kPitchStep, 10)); break;
    case Key::None: break;
    }
    return true;
}

void draw_window(const QVMOD *m, const Status &s, const Controls &c)
{
    acquire_screen();
    clear_to_color(screen, makecol(0, 0, 0));
    const int white = makecol(255, 255, 255);
    textprintf_ex(screen, font, 8, 8, white, -1, "%.40s", m->name);
    textprintf_ex(screen, font, 8, 24, white, -1, "order %d/%d  row %d", s.order, m->order_count,
                  s.row);
    textprintf_ex(screen, font, 8, 40, white, -1, "BPM %d  speed %d%s", s.bpm, s.speed,
                  s.paused ? "  paused" : "");
    textprintf_ex(screen, font, 8, 56, white, -1, "volume %d  tempo %d%%  pitch %d%%",
                  get_mod_volume(), c.speed, c.pitch);
    textprintf_ex(screen, font, 8, 88, white, -1, "Space pause  Left/Right order");
    textprintf_ex(screen, font, 8, 100, white, -1, "Up/Down volume  +/- speed");
    textprintf_ex(screen, font, 8, 112, white, -1, "PgUp/PgDn pitch  Enter next  Esc quit");
    release_screen();
}

After play_module(QVMOD *m, Input input, int volume)
{
    remove_mod();
    if (install_mod(voices_for(m)) != 1) {
        std::fprintf(stderr, "modplay: %s\n", qvmod_error);
        return After::Quit;
    }
    Controls c;
    set_mod_speed(c.speed);
    set_mod_pitch(c.pitch);
    set_levels(volume);
    play_mod(m, FALSE);
    After after = After::Next;
    std::string line;  // the status line shown, written again only when it changes
    for (bool go_on = true; go_on && is_mod_playing();) {
        const Status s = read_status();
        char text[160];
        std::snprintf(text, sizeof text,
                      "order %3d/%-3d pattern %3d row %2d  BPM %3d speed %2d  vol %3d tempo %3d%% "
                      "pitch %3d%%%s",
                      s.order, m->order_count, s.pattern, s.row, s.bpm, s.speed, get_mod_volume(),
                      c.speed, c.pitch, s.paused ? "  [paused]" : "          ");
        if (line != text) {
            line = text;
            std::printf("\r%s", text);
            std::fflush(stdout);
        }
        if (input == Input::Window) draw_window(m, s, c);
        for (Key k; go_on && (k = next_key(input)) != Key::None;) go_on = apply(k, c, after);
        if (go_on) rest(kPollMs);
    }
    stop_mod();
    std::printf("\n");
    return after;
}

// Allegro with a window on the X display, or without a display for the terminal; then sound.
// False when nothing can play; otherwise `input` says where the keys come from.
bool start_playing(Input &input)
{
    const char *display = std::getenv("DISPLAY");
    bool window = display && *display && allegro_init() == 0;
    if (!window && manual_mixer::start_with_sound_drivers() != 0) {
        std::fprintf(stderr, "modplay: cannot start Allegro: %s\n", allegro_error);
        return false;
    }
    install_timer();
    reserve_voices(kMaxVoices, -1);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) {
        reserve_voices(kFewerVoices, -1);
        if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0) {
            std::fprintf(stderr,
                         "modplay: cannot play: no sound device could be opened (Allegro: %s).\n"
                         "modplay: --render OUT.wav, --duration and --info work without one.\n",
                         allegro_error[0] ? allegro_error : "no digital sound driver");
            return false;
        }
    }
    if (window) {
        set_color_depth(desktop_color_depth() > 0 ? desktop_color_depth() : 16);
        window = install_keyboard() == 0 &&
                 set_gfx_mode(GFX_AUTODETECT_WINDOWED, kWindowW, kWindowH, 0, 0) == 0;
        if (window) set_window_title("modplay");
    }
    if (window)
        input = Input::Window;
    else if (raw_terminal())
        input = Input::Terminal;
    else
        input = Input::None;
    if (input == Input::Terminal)
        std::printf(
            "Space pause, Left/Right order, Up/Down volume, +/- speed, PgUp/PgDn pitch, "
            "Enter next file, Esc or q quit\n");
    else if (input == Input::None)
        std::fprintf(
            stderr, "modplay: no window or terminal for keys; playing to the end (Ctrl-C stops)\n");
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    Options o;
    if (const int status = parse_options(argc, argv, o)) return status < 0 ? 0 : status;
    if (o.info || o.duration) return describe(o);
    if (o.render) return render(o);

    Input input = Input::None;
    if (!start_playing(input)) return 1;
    int status = 0;
    for (const char *f : o.files) {
        QVMOD *m = nullptr;
        if (!print_info(f, &m)) {
            status = 1;
            continue;
        }
        const After after = play_module(m, input, o.volume);
        destroy_mod(m);
        if (after == After::Quit) break;
    }
    remove_mod();
    return status;
}
END_OF_MAIN()
