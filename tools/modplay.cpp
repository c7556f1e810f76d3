// SPDX-License-Identifier: MIT
// modplay: prints a module's information and length, renders it to WAV, or plays it through the QVMOD library on Allegro's sound.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <allegro.h>

#include "manual_mixer.h"
#include "qvmod.h"
#include "wav_writer.h"

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

constexpr int kRenderBlockFrames = 4096;
constexpr const char *kInterpolationNames[] = {"nearest", "linear", "cubic", "sinc"};
constexpr int kLinear = 1;

void usage(std::FILE *out)
{
    std::fputs(
        "usage: modplay [OPTION]... FILE...\n"
        "Prints each module's information and plays it (QVM, MOD, S3M, XM, Unreal packages).\n"
        "  --info            print the information only (no sound needed)\n"
        "  --duration        print each song's length to its end or first loop (no sound needed)\n"
        "  -o, --render OUT  write the song of one FILE as 16-bit stereo WAV (OUT \"-\": standard\n"
        "                    output), as fast as the machine allows (no display or sound device)\n"
        "  --raw             with -o, write raw little-endian frames instead of WAV\n"
        "  --rate HZ         sample rate of -o (8000..192000, default 44100)\n"
        "  --loops N         with -o, play the part that repeats N more times (default 0)\n"
        "  --start TIME      start TIME into the song (seconds, or M:SS)\n"
        "  --stereo PERCENT  stereo separation 0..100 (default 100)\n"
        "  --mute LIST       silence channels (from 1; LIST like 1,3-4)\n"
        "  --solo LIST       play only these channels\n"
        "  --interpolation M nearest, linear (default), cubic or sinc; playing through Allegro's\n"
        "                    mixer offers nearest and linear\n"
        "  --volume V        module volume 0..255 (default 224, which keeps 4-channel songs below\n"
        "                    full scale)\n"
        "  --m15             also try files without a signature as 15-sample MODs\n"
        "  --help, --version this text, the version\n"
        "Keys while playing (in the window, and in the terminal it was started from):\n"
        "Space pause, Left/Right previous/next order position, Up/Down volume, +/- speed,\n"
        "PgUp/PgDn pitch, Enter next file, Esc or q quit.\n",
        out);
}

struct Options {
    bool info = false;
    bool duration = false;
    const char *render = nullptr;
    bool raw = false;
    int rate = manual_mixer::kDefaultRate;
    int loops = 0;
    int volume = kDefaultModVolume;
    long start_ms = 0;
    int stereo = 100;
    int interpolation = kLinear;
    std::vector<bool> muted = std::vector<bool>(QVMOD_MAX_CHANNELS, false);
    std::vector<bool> solo = std::vector<bool>(QVMOD_MAX_CHANNELS, false);
    std::vector<const char *> files;
};

// "90", "90.5", "1:30" or "1:30.5" as milliseconds; false when it is none of them.
bool parse_time(const char *text, long *ms)
{
    char *end = nullptr;
    errno = 0;
    double seconds = std::strtod(text, &end);
    if (end != text && *end == ':') {
        const double minutes = seconds;
        const char *rest = end + 1;
        seconds = std::strtod(rest, &end);
        if (end == rest || minutes < 0 || minutes != static_cast<long>(minutes) || seconds >= 60)
            return false;
        seconds += 60 * minutes;
    }
    constexpr double kMostSeconds = 24.0 * 3600;
    if (errno != 0 || end == text || *end != '\0' || !(seconds >= 0) || seconds > kMostSeconds)
        return false;
    *ms = static_cast<long>(seconds * 1000 + 0.5);
    return true;
}

// "1,3-5" as marks on channels 1..64 (stored from 0); false for anything else.
bool parse_channels(const char *text, std::vector<bool> &marks)
{
    const char *p = text;
    while (*p) {
        char *end = nullptr;
        const long first = std::strtol(p, &end, 10);
        if (end == p) return false;
        long last = first;
        p = end;
        if (*p == '-') {
            last = std::strtol(p + 1, &end, 10);
            if (end == p + 1) return false;
            p = end;
        }
        if (first < 1 || last < first || last > QVMOD_MAX_CHANNELS) return false;
        for (long ch = first; ch <= last; ch++) marks[static_cast<size_t>(ch - 1)] = true;
        if (*p == ',')
            p++;
        else if (*p)
            return false;
    }
    return p != text;
}

int parse_interpolation(const char *text)
{
    for (int i = 0; i < 4; i++)
        if (std::strcmp(text, kInterpolationNames[i]) == 0) return i;
    return -1;
}

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
        else if (std::strcmp(a, "--raw") == 0)
            o.raw = true;
        else if (std::strcmp(a, "--help") == 0) {
            usage(stdout);
            return -1;
        } else if (std::strcmp(a, "--version") == 0) {
            std::printf("modplay (QVMOD) %s\n", QVX_VERSION);
            return -1;
        } else if ((std::strcmp(a, "--render") == 0 || std::strcmp(a, "-o") == 0) && has_value)
            o.render = argv[++i];
        else if (std::strcmp(a, "--start") == 0 && has_value) {
            if (!parse_time(argv[++i], &o.start_ms)) {
                std::fputs("modplay: --start takes seconds or M:SS\n", stderr);
                return 2;
            }
        } else if (std::strcmp(a, "--stereo") == 0 && has_value) {
            if (!parse_int(argv[++i], 0, 100, &o.stereo)) {
                std::fputs("modplay: --stereo takes a percentage 0..100\n", stderr);
                return 2;
            }
        } else if ((std::strcmp(a, "--mute") == 0 || std::strcmp(a, "--solo") == 0) && has_value) {
            if (!parse_channels(argv[++i], a[2] == 'm' ? o.muted : o.solo)) {
                std::fprintf(stderr, "modplay: %s takes channels 1..%d, like 1,3-4\n", a,
                             QVMOD_MAX_CHANNELS);
                return 2;
            }
        } else if (std::strcmp(a, "--interpolation") == 0 && has_value) {
            if ((o.interpolation = parse_interpolation(argv[++i])) < 0) {
                std::fputs("modplay: --interpolation takes nearest, linear, cubic or sinc\n",
                           stderr);
                return 2;
            }
        } else if (std::strcmp(a, "--rate") == 0 && has_value) {
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
        } else if (a[0] == '-' && a[1] != '\0') {
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
        std::fputs("modplay: -o takes one FILE\n", stderr);
        return 2;
    }
    if (o.raw && !o.render) {
        std::fputs("modplay: --raw goes with -o\n", stderr);
        return 2;
    }
    return 0;
}

// The file's own trouble (missing, unreadable, a directory) in the system's words; false when the
// file reads, and the library's words are then the ones to give.
bool report_file_error(const char *path)
{
    errno = 0;
    std::FILE *f = std::fopen(path, "rb");
    if (f) {
        std::fgetc(f);
        const bool bad = std::ferror(f) != 0;
        const int err = errno;
        std::fclose(f);
        if (!bad) return false;
        errno = err;
    }
    std::fprintf(stderr, "modplay: %s: %s\n", path, std::strerror(errno != 0 ? errno : EIO));
    return true;
}

void library_error(const char *path)
{
    std::fprintf(stderr, "modplay: %s: %s\n", path, qvmod_error);
}

void load_error(const char *path)
{
    if (!report_file_error(path)) library_error(path);
}

QVMOD *load_checked(const char *path)
{
    QVMOD *m = load_mod(path);
    if (!m) load_error(path);
    return m;
}

long clock_ms()
{
    using namespace std::chrono;
    return static_cast<long>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
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
        load_error(path);
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

// The render state set up as the options say; null with the reason printed.
QVMOD_RENDER *open_render(QVMOD *m, const Options &o)
{
    QVMOD_RENDER *r = qvmod_render_open(m, o.rate, 0);
    if (!r) {
        std::fputs("modplay: the module has no song to play\n", stderr);
        return nullptr;
    }
    qvmod_render_set_loops(r, o.loops);
    qvmod_render_set_volume(r, o.volume);
    qvmod_render_set_stereo(r, o.stereo);
    qvmod_render_set_interpolation(r, o.interpolation);
    for (int ch = 0; ch < QVMOD_MAX_CHANNELS; ch++) {
        qvmod_render_mute_channel(r, ch, o.muted[static_cast<size_t>(ch)]);
        qvmod_render_solo_channel(r, ch, o.solo[static_cast<size_t>(ch)]);
    }
    if (o.start_ms > 0 && qvmod_render_seek_time(r, o.start_ms) != 0) {
        std::fputs("modplay: --start lies beyond the song's end\n", stderr);
        qvmod_render_close(r);
        return nullptr;
    }
    return r;
}

// -o: the library's own mixer, no sound device or display.
int render(const Options &o)
{
    const char *path = o.files[0];
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    QVMOD *m = load_checked(path);
    if (!m) return 1;
    const bool to_stdout = std::strcmp(o.render, "-") == 0;
    int status = 1;
    if (QVMOD_RENDER *r = open_render(m, o)) {
        WavWriter out(o.render, o.rate, o.raw);
        std::vector<int16_t> pcm(2 * kRenderBlockFrames);
        // A WAV file holds at most 2 GiB of frames; a raw stream has no such bound.
        unsigned long room = o.raw ? ~0UL : WavWriter::kMaxDataBytes / 4;
        while (!out.failed() && room > 0) {
            const int want = static_cast<int>(std::min<unsigned long>(room, kRenderBlockFrames));
            const int n = qvmod_render(r, pcm.data(), want);
            if (n <= 0) break;
            out.append(pcm.data(), 2 * static_cast<size_t>(n));
            room -= static_cast<unsigned long>(n);
        }
        const long ms = qvmod_render_time(r);
        std::string error;
        if (out.finish(error)) {
            // The summary goes where the sound does not.
            std::fprintf(to_stdout ? stderr : stdout, "%s: %s written to %s\n", path,
                         clock_text(ms).c_str(), to_stdout ? "standard output" : o.render);
            status = 0;
        } else {
            std::fprintf(stderr, "modplay: %s: %s\n", to_stdout ? "standard output" : o.render,
                         error.c_str());
        }
        qvmod_render_close(r);
    }
    destroy_mod(m);
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

// Where keys come from: the window, the terminal the player was started from, both or neither.
struct Input {
    bool window = false;
    bool terminal = false;
};

Key next_key(const Input &input)
{
    Key k = input.window ? window_key() : Key::None;
    if (k == Key::None && input.terminal) k = terminal_key();
    return k;
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

void draw_window(const QVMOD *m, const Status &s, const Controls &c, const std::string &times)
{
    acquire_screen();
    clear_to_color(screen, makecol(0, 0, 0));
    const int white = makecol(255, 255, 255);
    textprintf_ex(screen, font, 8, 8, white, -1, "%.40s", m->name);
    textprintf_ex(screen, font, 8, 24, white, -1, "order %d/%d  row %d  %s", s.order,
                  m->order_count, s.row, times.c_str());
    textprintf_ex(screen, font, 8, 40, white, -1, "BPM %d  speed %d%s", s.bpm, s.speed,
                  s.paused ? "  paused" : "");
    textprintf_ex(screen, font, 8, 56, white, -1, "volume %d  tempo %d%%  pitch %d%%",
                  get_mod_volume(), c.speed, c.pitch);
    textprintf_ex(screen, font, 8, 88, white, -1, "Space pause  Left/Right order");
    textprintf_ex(screen, font, 8, 100, white, -1, "Up/Down volume  +/- speed");
    textprintf_ex(screen, font, 8, 112, white, -1, "PgUp/PgDn pitch  Enter next  Esc quit");
    release_screen();
}

// Minutes and seconds, for the status line.
std::string minutes_text(long ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", ms / 60000, ms / 1000 % 60);
    return text;
}

// The song run to `ms` by hand with its voices silent, then handed to the timer; false when the
// song ends first.
bool skip_to(QVMOD *m, long ms, int volume)
{
    set_mod_manual_ticks(-1);
    set_mod_volume(0);
    play_mod(m, FALSE);
    long long units = 0;
    const long long wanted = static_cast<long long>(ms) * manual_mixer::kTimerClock / 1000;
    while (units < wanted && is_mod_playing()) {
        mod_interrupt();
        units += get_mod_timer_period();
    }
    set_mod_volume(volume);
    set_mod_manual_ticks(0);
    return is_mod_playing() != 0;
}

void set_live_options(const Options &o)
{
    set_mod_stereo(o.stereo);
    const bool any_solo = std::find(o.solo.begin(), o.solo.end(), true) != o.solo.end();
    for (int ch = 0; ch < QVMOD_MAX_CHANNELS; ch++) {
        const auto i = static_cast<size_t>(ch);
        set_mod_channel_mute(ch, o.muted[i] || (any_solo && !o.solo[i]));
    }
    // Allegro's mixer reads samples plainly or with linear interpolation.
    set_mixer_quality(o.interpolation == 0 ? 1 : 2);
}

After play_module(QVMOD *m, const Input &input, const Options &o)
{
    remove_mod();
    if (install_mod(voices_for(m)) != 1) {
        std::fprintf(stderr, "modplay: %s\n", qvmod_error);
        return After::Quit;
    }
    Controls c;
    set_mod_speed(c.speed);
    set_mod_pitch(c.pitch);
    set_levels(o.volume);
    set_live_options(o);
    if (o.start_ms > 0) {
        if (!skip_to(m, o.start_ms, o.volume)) {
            std::fputs("modplay: --start lies beyond the song's end\n", stderr);
            return After::Next;
        }
    } else {
        play_mod(m, FALSE);
    }
    const long total = get_mod_length(m);
    double elapsed_ms = static_cast<double>(o.start_ms);
    long last_clock = clock_ms();
    After after = After::Next;
    std::string line;  // the status line shown, written again only when it changes
    for (bool go_on = true; go_on && is_mod_playing();) {
        const Status s = read_status();
        const long now = clock_ms();
        if (!s.paused) elapsed_ms += (now - last_clock) * c.speed / 100.0;
        last_clock = now;
        const std::string times =
            minutes_text(static_cast<long>(elapsed_ms)) + "/" + minutes_text(std::max(total, 0L));
        char text[200];
        std::snprintf(text, sizeof text,
                      "%s  order %3d/%-3d pattern %3d row %2d  BPM %3d speed %2d  vol %3d tempo "
                      "%3d%% pitch %3d%%%s",
                      times.c_str(), s.order, m->order_count, s.pattern, s.row, s.bpm, s.speed,
                      get_mod_volume(), c.speed, c.pitch, s.paused ? "  [paused]" : "          ");
        if (line != text) {
            line = text;
            std::printf("\r%s", text);
            std::fflush(stdout);
        }
        if (input.window) draw_window(m, s, c, times);
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
            std::fprintf(
                stderr,
                "modplay: cannot play: no sound device could be opened (Allegro: %s).\n"
                "modplay: --render OUT.wav (-o), --duration and --info work without one.\n",
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
    input.window = window;
    input.terminal = raw_terminal();
    if (input.terminal)
        std::printf(
            "Space pause, Left/Right order, Up/Down volume, +/- speed, PgUp/PgDn pitch, "
            "Enter next file, Esc or q quit\n");
    else if (!input.window)
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

    Input input;
    if (!start_playing(input)) return 1;
    if (o.interpolation > kLinear)
        std::fprintf(stderr, "modplay: Allegro's mixer plays %s as linear; -o renders it\n",
                     kInterpolationNames[o.interpolation]);
    int status = 0;
    for (const char *f : o.files) {
        QVMOD *m = nullptr;
        if (!print_info(f, &m)) {
            status = 1;
            continue;
        }
        const After after = play_module(m, input, o);
        destroy_mod(m);
        if (after == After::Quit) break;
    }
    remove_mod();
    return status;
}
END_OF_MAIN()
