// SPDX-License-Identifier: MIT
// Start-up, the title screen and shut-down; the settings and resources every screen shares.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <mutex>
#include <string>

#include "Board.h"
#include "Button.h"
#include "CommandLine.h"
#include "Display.h"
#include "Events.h"
#include "Focus.h"
#include "GameData.h"
#include "HighScoreFile.h"
#include "HighScoreTable.h"
#include "KeyBindings.h"
#include "Pad.h"
#include "Pacing.h"
#include "Platform.h"
#include "Quorvex.h"
#include "SafeFile.h"
#include "ScreenHelpers.h"
#include "SettingsFile.h"
#include "Sound.h"
#include "qvmod.h"

char current_game_name[20] = DEFAULT_GAME_NAME;
int start_level = 0;
int start_blocks = 0;
int sound_on = YES;
int music_on = YES;
int sound_volume = DEFAULT_VOLUME;
int music_volume = DEFAULT_VOLUME;
int ghost_piece = NO;

BITMAP *buffer = nullptr;
BITMAP *temp_buffer = nullptr;
char text[256];
char text2[PLATFORM_PATH_MAX];

Button *btn_new_game = nullptr;
Button *btn_exit = nullptr;

namespace {

constexpr int DIGITAL_VOICES = 16;
constexpr int MOD_CHANNELS = 4;

// The switches as the settings file gave them: with --nosound they show off, but the file keeps
// the player's choice.
int kept_sound_on = YES;
int kept_music_on = YES;

// The results reach their files once, by the normal exit or, from another thread, when the
// display is lost; not before the table has been read, so a failed start never writes it.
std::mutex results_mutex;
bool results_saved = false;
std::atomic<bool> results_ready{false};

// Writes the high-score table (merged with what other copies saved) and the settings. Failures
// are silent; the old files stay whole.
void SaveResults()
{
    if (!results_ready.load()) return;
    std::lock_guard<std::mutex> hold(results_mutex);
    if (results_saved) return;
    results_saved = true;
    MergeHighScoreFile(HIGH_SCORE_FILE);
    if (!sound_installed) {
        sound_on = kept_sound_on;
        music_on = kept_music_on;
    }
    WriteSettingsFile(SETTINGS_FILE);
}

// The window's instance and class names, which the menu entry's StartupWMClass names.
constexpr const char *WINDOW_NAME = "quorvex";
constexpr const char *WINDOW_CLASS = "Quorvex";

constexpr const char *NOSOUND_HINT = "To play without sound, start the game with --nosound.\n";

// A start-up failure's first line for standard error: the game's words, then the library's own
// text when it has one.
std::string FailureLine(const char *what)
{
    std::string line = what;
    if (allegro_error[0] != '\0') line = line + ": " + allegro_error;
    return line + "\n";
}

// Says on standard error why the library could not start: without the window system the game
// has nowhere to show itself.
void ExplainNoLibrary()
{
    std::string reason = PlatformNoDisplayReason();
    std::string text = FailureLine("Error initialising Allegro") +
                       "The game needs a graphical desktop session" +
                       (reason.empty() ? std::string() : ": " + reason) + ".\n";
    std::fputs(text.c_str(), stderr);
}

}  // namespace

void DrawTitle()
{
    show_mouse(nullptr);
    FadeOut(255);
    blit(DataBitmap(PIC_TITLE), screen, 0, 0, 0, 0, GAME_W, GAME_H);
    textout_ex(screen, font, "NEW! Windows only version", 210, 450, COL_TEXT, -1);
    textout_ex(screen, font, AUTHOR_LINE, 202, 460, COL_TEXT, -1);
    btn_new_game->DrawButton();
    btn_exit->DrawButton();
    show_mouse(nullptr);
    FadeIn(DataPalette(PAL_GAME), 5);
    show_mouse(screen);
}

static void TitleLoop()
{
    FocusRing focus;
    focus.Add(btn_new_game, 0, 0);
    focus.Add(btn_exit, 1, 0);
    // Only a fresh Esc ends the program: one that left the menu must be released first.
    while (!QuitRequested()) {
        if (key[key_bindings[ACT_SCREENSHOT]]) {
            PALETTE pal;
            get_palette(pal);
            TakeScreenshot(pal);
        }
        Button *hit = btn_new_game->Clicked() ? btn_new_game : nullptr;
        if (hit == nullptr && btn_exit->Clicked()) hit = btn_exit;
        if (hit != nullptr) {
            focus.FollowClick(hit);
        } else {
            hit = focus.Handle();
        }
        if (hit == btn_new_game) {
            StartGameMenu();
            LatchEscape();
            ClearPresses();
            if (QuitRequested()) break;
            DrawTitle();
            focus.Repainted();
            continue;
        }
        if (hit == btn_exit || EscapeDown()) break;
        WaitForTick();
    }
}

// The options that end the program before it starts; -1 to go on.
static int AnswerCommandLine(const CommandLine &line)
{
    switch (line.action) {
    case CommandLine::Action::Help: std::fputs(UsageText(), stdout); return 0;
    case CommandLine::Action::Version: std::printf("%s\n", GAME_TITLE); return 0;
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "quorvex: %s\n%s", line.error.c_str(), UsageText());
        return STATUS_BAD_COMMAND_LINE;
    case CommandLine::Action::Play: break;
    }
    return -1;
}

// Without a sound device nothing of the sound, MIDI or module player is installed; the module
// type is still registered, since the datafile holds the game's module.
static void GoWithoutSound()
{
    sound_installed = NO;
    sound_on = NO;
    music_on = NO;
    register_datafile_qvmod();
}

int QuorvexMain(int argc, char *argv[])
{
    const CommandLine line = ParseCommandLine(argc, argv);
    const int answered = AnswerCommandLine(line);
    if (answered >= 0) return answered;

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // What killed writes of earlier runs left behind beside the game's files.
    const char *const own_files[] = {HIGH_SCORE_FILE, SETTINGS_FILE, SCREENSHOT_FILE};
    RemoveStaleTemporaryFiles(own_files, std::size(own_files));
    ReadSettingsFile(SETTINGS_FILE);
    kept_sound_on = sound_on;
    kept_music_on = music_on;

    PlatformSetWindowClass(WINDOW_NAME, WINDOW_CLASS);
    {
        // Only the library's window thread starts here; the timer's thread (install_timer) keeps
        // its 10 ms ticks exact.
        BatchedWakeups batched;
        if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
            ExplainNoLibrary();
            return 1;
        }
    }
    install_keyboard();
    install_timer();
    install_mouse();
    if (!line.nosound) reserve_voices(DIGITAL_VOICES, -1);

    if (SetUpDisplay(line.scale, line.scale_given, line.fullscreen) != 0) {
        // Standard error first: the message box waits for the player.
        std::fputs(FailureLine("Error setting graphics mode").c_str(), stderr);
        allegro_message("Error setting graphics mode\n%s\n", allegro_error);
        return 1;
    }
    PlatformQuietWindowEvents();
    set_window_title(GAME_TITLE);
    InstallQuitAndFocusHandlers();
    PlatformOnDisplayLost(SaveResults);
    // After the window exists (some platforms' pads need it); without a pad nothing changes.
    InstallPad();

    if (line.nosound) {
        GoWithoutSound();
    } else {
        PlatformQuietSoundErrors();
        if (install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, argv[0]) != 0) {
            ShutDownDisplay();
            std::fputs((FailureLine("Error initializing sound") + NOSOUND_HINT).c_str(), stderr);
            allegro_message("Error initializing sound\n%s\n%s", allegro_error, NOSOUND_HINT);
            return 1;
        }
        // Also registers the module object type, which the datafile below needs.
        if (install_mod(MOD_CHANNELS) < 0) {
            std::printf("Error setting MOD voices");
            std::fflush(stdout);
            return 1;
        }
        // The kept volumes take effect at once; the defaults too, which set the song's level.
        ApplyVolumes();
    }

    if (!FileExist(HIGH_SCORE_FILE)) {
        SetDefaultHighScores();
    } else if (!ReadHighScoreFile(HIGH_SCORE_FILE)) {
        Error("Error reading file: quorvex.hsc\nDelete it and try running again.\n");
    }
    results_ready.store(true);

    char exe[PLATFORM_PATH_MAX];
    char path[PLATFORM_PATH_MAX];
    get_executable_name(exe, sizeof exe);
    replace_filename(path, exe, DATAFILE_NAME, sizeof path);
    data = load_datafile(path);
    if (data != nullptr && !DatafileMatches(data)) {
        unload_datafile(data);
        data = nullptr;
    }
    if (data == nullptr) {
        ShutDownDisplay();
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        std::fprintf(stderr, "Error loading %s\n", path);
        allegro_message("Error loading %s\n", path);
        std::exit(1);
    }

    set_palette(DataPalette(PAL_GAME));

    LOCK_VARIABLE(game_time);
    LOCK_FUNCTION(game_timer);
    install_int(game_timer, 6400 / GAME_W);

    btn_new_game = new Button("PLAY GAME", 245, 320, 385, 345, COL_TITLE_DARK, COL_TITLE_LIGHT,
                              DataBitmap(PIC_TITLE_BUTTON));
    btn_exit = new Button("EXIT", 245, 350, 385, 375, COL_TITLE_DARK, COL_TITLE_LIGHT,
                          DataBitmap(PIC_TITLE_BUTTON));

    buffer = create_bitmap(200, 400);
    temp_buffer = create_bitmap(GAME_W, GAME_H);

    // The starting stage and rows come from the settings file (0 when it has none).
    DrawTitle();

    TitleLoop();

    FadeOut(2);
    SaveResults();
    destroy_bitmap(buffer);
    destroy_bitmap(temp_buffer);
    buffer = temp_buffer = nullptr;
    delete btn_new_game;
    delete btn_exit;
    btn_new_game = btn_exit = nullptr;
    StopMusic();
    StopSong();
    ShutDownDisplay();
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    unload_datafile(data);
    data = nullptr;
    allegro_exit();
    return 0;
}
