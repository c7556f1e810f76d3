// Start-up, the title screen and shut-down; the settings and resources every screen shares.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "Platform.h"
#include "Quorvex.h"
#include "qvmod.h"

char current_game_name[20] = DEFAULT_GAME_NAME;
int start_level = 0;
int start_blocks = 0;
int sound_on = YES;
int music_on = YES;
int sound_volume = 200;
int music_volume = 200;

DATAFILE *data = nullptr;
BITMAP *buffer = nullptr;
BITMAP *temp_buffer = nullptr;
char text[256];
char text2[256];

Button *btn_new_game = nullptr;
Button *btn_exit = nullptr;

namespace {

constexpr int SCREEN_WIDTH = 640;
constexpr int SCREEN_HEIGHT = 480;
constexpr int DIGITAL_VOICES = 16;
constexpr int MOD_CHANNELS = 4;
constexpr int PATH_SIZE = 256;

// Expected kind of every datafile item; a datafile that does not match is refused at start-up.
constexpr int QVM_TYPE = DAT_ID('Q', 'V', 'M', ' ');
int ExpectedType(int item)
{
    switch (item) {
    case ITEM_UNUSED_8:
    case ITEM_UNUSED_15: return 0;  // any kind
    case SND_CLICK:
    case SND_ROWS:
    case SND_HIGH_SCORE:
    case SND_KEY: return DAT_SAMPLE;
    case MOD_GAME: return QVM_TYPE;
    case PAL_GAME: return DAT_PALETTE;
    case MIDI_CREDITS: return DAT_MIDI;
    case FONT_TEXT:
    case FONT_TABLE:
    case FONT_TITLE: return DAT_FONT;
    default: return DAT_BITMAP;
    }
}

bool DatafileMatches(const DATAFILE *d)
{
    for (int i = 0; i < DATA_ITEM_COUNT; i++) {
        if (d[i].type == DAT_END) return false;
        int want = ExpectedType(i);
        if (want != 0 && d[i].type != want) return false;
    }
    return true;
}

}  // namespace

[[noreturn]] void Error(const char *message)
{
    allegro_exit();
    std::printf("Error: %s\n", message);
    std::fflush(stdout);
    std::exit(1);
}

int FileExist(const char *filename)
{
    return file_exists(filename, FA_RDONLY | FA_ARCH, nullptr);
}

void TakeScreenshot(const RGB *pal)
{
    // One blit into memory first: saving straight from a video surface locks it per pixel.
    BITMAP *copy = create_bitmap(SCREEN_W, SCREEN_H);
    if (copy != nullptr) {
        scare_mouse();
        blit(screen, copy, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
        unscare_mouse();
        save_pcx(SCREENSHOT_FILE, copy, pal);
        destroy_bitmap(copy);
        return;
    }
    BITMAP *sub = create_sub_bitmap(screen, 0, 0, SCREEN_W, SCREEN_H);
    if (sub == nullptr) return;
    save_pcx(SCREENSHOT_FILE, sub, pal);
    destroy_bitmap(sub);
}

void DrawTitle()
{
    show_mouse(nullptr);
    fade_out(255);
    blit(DataBitmap(PIC_TITLE), screen, 0, 0, 0, 0, SCREEN_WIDTH, SCREEN_HEIGHT);
    textout_ex(screen, font, "NEW! Windows only version", 210, 450, COL_TEXT, -1);
    textout_ex(screen, font, AUTHOR_LINE, 202, 460, COL_TEXT, -1);
    btn_new_game->DrawButton();
    btn_exit->DrawButton();
    show_mouse(nullptr);
    fade_in(DataPalette(PAL_GAME), 5);
    show_mouse(screen);
}

static void TitleLoop()
{
    for (;;) {
        if (key[KEY_F3]) {
            PALETTE pal;
            get_palette(pal);
            TakeScreenshot(pal);
        }
        if (btn_new_game->Clicked()) {
            StartGameMenu();
            DrawTitle();
            continue;
        }
        if (btn_exit->Clicked() || key[KEY_ESC]) break;
        rest(1);
    }
}

int QuorvexMain(int argc, char *argv[])
{
    (void)argc;
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
        std::printf("Error initialising Allegro\n%s\n", allegro_error);
        return 1;
    }
    install_keyboard();
    install_timer();
    install_mouse();
    reserve_voices(DIGITAL_VOICES, -1);

    // Asked twice on purpose: the first request may be refused while the window system settles.
    set_gfx_mode(PlatformWindowedDriver(), SCREEN_WIDTH, SCREEN_HEIGHT, 0, 0);
    if (set_gfx_mode(PlatformWindowedDriver(), SCREEN_WIDTH, SCREEN_HEIGHT, 0, 0) != 0) {
        allegro_message("Error setting graphics mode\n%s\n", allegro_error);
        return 1;
    }
    set_window_title(GAME_TITLE);

    if (install_sound(DIGI_AUTODETECT, MIDI_AUTODETECT, argv[0]) != 0) {
        allegro_message("Error initializing sound\n%s\n", allegro_error);
        return 1;
    }

    // Also registers the module object type, which the datafile below needs.
    if (install_mod(MOD_CHANNELS) < 0) {
        std::printf("Error setting MOD voices");
        std::fflush(stdout);
        return 1;
    }

    if (!FileExist(HIGH_SCORE_FILE)) {
        SetDefaultHighScores();
    } else if (!ReadHighScoreFile(HIGH_SCORE_FILE)) {
        Error("Error reading file: quorvex.hsc\nDelete it and try running again.\n");
    }

    char exe[PATH_SIZE];
    char path[PATH_SIZE];
    get_executable_name(exe, sizeof exe);
    replace_filename(path, exe, DATAFILE_NAME, sizeof path);
    data = load_datafile(path);
    if (data != nullptr && !DatafileMatches(data)) {
        unload_datafile(data);
        data = nullptr;
    }
    if (data == nullptr) {
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        allegro_message("Error loading %s\n", path);
        std::exit(1);
    }

    set_palette(DataPalette(PAL_GAME));

    LOCK_VARIABLE(game_time);
    LOCK_FUNCTION(game_timer);
    install_int(game_timer, 6400 / SCREEN_W);

    btn_new_game = new Button("PLAY GAME", 245, 320, 385, 345, COL_TITLE_DARK, COL_TITLE_LIGHT,
                              DataBitmap(PIC_TITLE_BUTTON));
    btn_exit = new Button("EXIT", 245, 350, 385, 375, COL_TITLE_DARK, COL_TITLE_LIGHT,
                          DataBitmap(PIC_TITLE_BUTTON));

    buffer = create_bitmap(200, 400);
    temp_buffer = create_bitmap(SCREEN_WIDTH, SCREEN_HEIGHT);

    DrawTitle();
    start_blocks = 0;
    start_level = 0;

    TitleLoop();

    fade_out(2);
    WriteHighScoreFile(HIGH_SCORE_FILE);  // a failure is silent; the old file stays whole
    destroy_bitmap(buffer);
    destroy_bitmap(temp_buffer);
    buffer = temp_buffer = nullptr;
    delete btn_new_game;
    delete btn_exit;
    btn_new_game = btn_exit = nullptr;
    stop_mod();
    stop_midi();
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    unload_datafile(data);
    data = nullptr;
    allegro_exit();
    return 0;
}
