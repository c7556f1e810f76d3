// Shared state of the game: settings, buffers, datafile items, the game record and every screen's entry point.
#ifndef QUORVEX_H
#define QUORVEX_H

#include <allegro.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "Button.h"
#include "Platform.h"

// ---------------------------------------------------------------------------------------------
// Game title, footer and signature texts
// ---------------------------------------------------------------------------------------------

// QVX_VERSION is the project's version, given by the build.
#ifndef QVX_VERSION
#error "QVX_VERSION must be defined by the build (the quorvex_game target gives it)"
#endif
#define GAME_TITLE "Quorvex Vastrelon v" QVX_VERSION
// Signature written after the record in every saved game (45 characters and the NUL). Part of the
// file format: it stays the same in every version, so saved games load across versions.
#define GAMESG "Quorvex Vastrelon v2.0 (Windows Only Version)"
// Line under the title screen's version line, and the footer of the menu, options and table screens.
#define AUTHOR_LINE "(c) 2026 The Quorvex Team"
#define FOOTER_LINE "Quorvex Vastrelon v" QVX_VERSION "  -  " AUTHOR_LINE

// File names, all in the working directory except the datafile.
#define HIGH_SCORE_FILE "quorvex.hsc"
#define SETTINGS_FILE "quorvex.cfg"
#define SCREENSHOT_FILE "quorvex.pcx"
#define DATAFILE_NAME "quorvex.dat"
#define DEFAULT_GAME_NAME "untitled.svg"

// ---------------------------------------------------------------------------------------------
// Truth values: -1 true, 0 false, tested against zero
// ---------------------------------------------------------------------------------------------

constexpr int YES = -1;
constexpr int NO = 0;

// ---------------------------------------------------------------------------------------------
// The game's picture: always 640x480, whatever the window's size (see Display.h)
// ---------------------------------------------------------------------------------------------

constexpr int GAME_W = 640;
constexpr int GAME_H = 480;

// ---------------------------------------------------------------------------------------------
// Palette indices with a fixed role in PAL_GAME
// ---------------------------------------------------------------------------------------------

constexpr int COL_BLACK = 0;           // empty well, panel backgrounds, transparent in sprites
constexpr int COL_BUTTON_FACE = 1;     // face of a labelled button
constexpr int COL_HEADING = 5;         // screen titles, panel numbers, title words, credits lines
constexpr int COL_TITLE_LIGHT = 14;    // title buttons: light bevel and label
constexpr int COL_TEXT = 15;           // running text, footer; button dark bevel and shadow
constexpr int COL_BUTTON_LIGHT = 25;   // buttons: light bevel and label
constexpr int COL_TITLE_DARK = 48;     // title buttons: dark bevel and shadow
constexpr int COL_LEGEND_ACTION = 54;  // play-screen legend: what a key does
constexpr int COL_LABEL = 65;          // play-screen panel labels
constexpr int COL_PAUSE = 70;          // pause texts
constexpr int COL_HELP_KEYS = 85;      // help screen: the key table
constexpr int COL_LEGEND_KEY = 86;     // play-screen legend: key names; help's closing line
constexpr int COL_BORDER = 142;        // screen borders and box outlines
constexpr int COL_HELP_BORDER = 143;   // help screen border
constexpr int COL_SEPARATOR = 176;     // play-screen legend separators
constexpr int COL_LOGO_FRAME = 227;    // outline around the menu logo
constexpr int COL_WHITE = 255;         // help title

// ---------------------------------------------------------------------------------------------
// Datafile items of quorvex.dat (the index of each object is fixed)
// ---------------------------------------------------------------------------------------------

enum DataItem {
    TILE_1 = 0,  // bitmap 20x20: cell of a piece of kind 1 ... kind 8 at TILE_8
    TILE_2,
    TILE_3,
    TILE_4,
    TILE_5,
    TILE_6,
    TILE_7,
    TILE_8,
    ITEM_UNUSED_8 = 8,       // present, not used
    PIC_BUTTON = 9,          // face of every text button (shown only when its label is empty)
    PIC_DECREASE = 10,       // face of the options screen's decrease buttons
    PIC_INCREASE = 11,       // face of the options screen's increase buttons
    PIC_TITLE_BUTTON = 12,   // face of the two title buttons
    SND_CLICK = 13,          // sample: button click
    PIC_CREDITS = 14,        // bitmap 640x480: credits background
    ITEM_UNUSED_15 = 15,     // present, not used
    SND_ROWS = 16,           // sample: rows removed
    PIC_PREVIEW_EMPTY = 17,  // bitmap 20x20: empty cell of the preview box
    PIC_FRAME_H = 18,        // frame pieces, 20x20 each
    PIC_FRAME_V = 19,
    PIC_FRAME_TL = 20,
    PIC_FRAME_TR = 21,
    PIC_FRAME_BL = 22,
    PIC_FRAME_BR = 23,
    MOD_GAME = 24,        // QVMOD module: music during play
    PAL_GAME = 25,        // the game's one palette
    SND_HIGH_SCORE = 26,  // sample: a new high score
    PIC_LOGO = 27,        // bitmap within 390x70: logo of the menu and the credits
    MIDI_CREDITS = 28,    // MIDI song of the credits
    PIC_TITLE = 29,       // bitmap 640x480: title picture
    PAT_SCREENS = 30,     // fill pattern of the options, table, name-entry and help screens
    PAT_MENU = 31,        // fill pattern of the main menu
    PAT_PLAY = 32,        // fill pattern of the play screen
    FONT_TEXT = 33,       // font: running text
    FONT_TABLE = 34,      // font: high-score table and panel numbers
    FONT_TITLE = 35,      // font: button labels, screen titles, name entry
    SND_KEY = 36,         // sample: name-entry key click
    DATA_ITEM_COUNT = 37
};

// The loaded datafile; items are addressed by the indices above.
extern DATAFILE *data;

inline BITMAP *DataBitmap(int item)
{
    return static_cast<BITMAP *>(data[item].dat);
}
inline SAMPLE *DataSample(int item)
{
    return static_cast<SAMPLE *>(data[item].dat);
}
inline FONT *DataFont(int item)
{
    return static_cast<FONT *>(data[item].dat);
}
inline MIDI *DataMidi(int item)
{
    return static_cast<MIDI *>(data[item].dat);
}
inline RGB *DataPalette(int item)
{
    return static_cast<RGB *>(data[item].dat);
}

// ---------------------------------------------------------------------------------------------
// Settings (the last six are kept in quorvex.cfg between runs, see SettingsFile.h)
// ---------------------------------------------------------------------------------------------

extern char current_game_name[20];   // file name (no directory) of the last game saved or loaded
extern int start_level;              // starting stage for new games, 0..20
extern int start_blocks;             // pre-filled bottom rows for new games, 0..10
extern int sound_on;                 // sound effects: -1 on, 0 off
extern int music_on;                 // music (the credits song and the game's module): -1 on, 0 off
extern int sound_volume;             // digital volume, 0..250 in steps of 10
extern int music_volume;             // MIDI volume, 0..250 in steps of 10; also scales the module
constexpr int DEFAULT_VOLUME = 200;  // both volumes at start-up

// Whether the sound device, MIDI and the module player are installed: -1 yes, 0 with --nosound
// (then no sound call of any kind is made, and sound and music show as off).
extern int sound_installed;

// Shared buffers and bitmaps (created at start-up)
extern BITMAP *buffer;       // 200x400 back buffer of the well
extern BITMAP *temp_buffer;  // 640x480 full-screen back buffer / saved screen
extern char text[256];       // scratch text, also the name typed in the high-score entry
extern char
    text2[PLATFORM_PATH_MAX];  // path edited in the file selector, as long as the platform allows
extern char pausetxt[10];      // pause texts
extern char pausetxt2[30];
extern char pausetxt3[32];

extern Button *btn_new_game;    // title screen: "PLAY GAME"
extern Button *btn_exit;        // title screen: "EXIT"
extern Button *btn_start_game;  // main menu buttons, alive while the menu runs
extern Button *btn_options;
extern Button *btn_high_scores;
extern Button *btn_credits;
extern Button *btn_prev_menu;

// ---------------------------------------------------------------------------------------------
// The game record: a file format (saved games hold it byte for byte)
// ---------------------------------------------------------------------------------------------

constexpr int MAP_W = 10;      // well columns
constexpr int MAP_H = 20;      // well rows
constexpr int BLOCK_SIZE = 4;  // the falling piece's box is 4x4
constexpr int TILE_SIZE = 20;  // pixels per cell

// Cells hold 0 (empty) or a colour code 1..8; arrays are column-major: [column][row].
struct GameState {
    int32_t block[BLOCK_SIZE][BLOCK_SIZE];  // falling piece, block[c][r]
    int32_t next_element;                   // element id (1..8) of the next piece
    int32_t element;                        // element id of the falling piece, orientation included
    int32_t map[MAP_W][MAP_H];              // the well, map[c][r]
    int32_t block_x;                        // well column of the box's left edge (3 at spawn)
    int32_t block_y;                        // well row of the box's top edge (0 at spawn)
    int32_t block_w;                        // bounding-box width of the piece, cells
    int32_t block_h;                        // bounding-box height of the piece, cells
    int32_t delay;                          // fall delay, game_time ticks (10 ms)
    int32_t score;
    int32_t lines;        // rows removed in this game
    int32_t total_lines;  // 10 x starting stage + rows removed; /10 is the stage
    int32_t pieces;       // pieces locked so far
    int32_t stage;        // total_lines / 10 at the last spawn
};

constexpr size_t GAME_STATE_SIZE = 912;
static_assert(sizeof(GameState) == GAME_STATE_SIZE, "the saved record is 912 bytes");
static_assert(offsetof(GameState, block) == 0, "record layout");
static_assert(offsetof(GameState, next_element) == 64, "record layout");
static_assert(offsetof(GameState, element) == 68, "record layout");
static_assert(offsetof(GameState, map) == 72, "record layout");
static_assert(offsetof(GameState, block_x) == 872, "record layout");
static_assert(offsetof(GameState, block_y) == 876, "record layout");
static_assert(offsetof(GameState, block_w) == 880, "record layout");
static_assert(offsetof(GameState, block_h) == 884, "record layout");
static_assert(offsetof(GameState, delay) == 888, "record layout");
static_assert(offsetof(GameState, score) == 892, "record layout");
static_assert(offsetof(GameState, lines) == 896, "record layout");
static_assert(offsetof(GameState, total_lines) == 900, "record layout");
static_assert(offsetof(GameState, pieces) == 904, "record layout");
static_assert(offsetof(GameState, stage) == 908, "record layout");

extern GameState Game;
extern std::atomic<int> game_time;  // 10 ms ticks since the play loop last reset it
extern int end_game;                // 0 while a game runs, -1 once it is over

// ---------------------------------------------------------------------------------------------
// High-score table: a file format (quorvex.hsc holds the 15 records, 480 bytes)
// ---------------------------------------------------------------------------------------------

constexpr int HIGH_SCORE_COUNT = 15;
constexpr int HIGH_SCORE_NAME_SIZE = 16;
constexpr int HIGH_SCORE_NAME_MAX = 14;  // characters a player may type

struct HighScoreEntry {
    int32_t score;
    int32_t level;  // stage reached
    int32_t lines;
    int32_t pieces;
    char name[HIGH_SCORE_NAME_SIZE];  // NUL-terminated unless all 16 bytes are used
};

constexpr size_t HIGH_SCORE_ENTRY_SIZE = 32;
constexpr size_t HIGH_SCORE_FILE_SIZE = HIGH_SCORE_COUNT * HIGH_SCORE_ENTRY_SIZE;
static_assert(sizeof(HighScoreEntry) == HIGH_SCORE_ENTRY_SIZE, "a table entry is 32 bytes");
static_assert(offsetof(HighScoreEntry, score) == 0, "entry layout");
static_assert(offsetof(HighScoreEntry, level) == 4, "entry layout");
static_assert(offsetof(HighScoreEntry, lines) == 8, "entry layout");
static_assert(offsetof(HighScoreEntry, pieces) == 12, "entry layout");
static_assert(offsetof(HighScoreEntry, name) == 16, "entry layout");

extern HighScoreEntry HighScores[HIGH_SCORE_COUNT];

// Default entry: score 0, level 1, no lines or pieces, the name filling all 16 bytes.
#define DEFAULT_HIGH_SCORE_NAME "Quorvex Champion"

void SetDefaultHighScores();
// Reads the table from a file that exists; entries past a short file's end are zero. False if it
// cannot be opened.
bool ReadHighScoreFile(const char *path);
// Writes the table by replacing the file atomically, under the lock copies of the game share;
// false (and the old file intact) on failure.
bool WriteHighScoreFile(const char *path);
// The exit's write: under the same lock, merges what is on disk now (another copy's new scores)
// into the table, then writes it.
bool MergeHighScoreFile(const char *path);
// Copies an entry's name into out (at least 17 bytes), never reading past the 16-byte field.
void HighScoreName(const HighScoreEntry &entry, char *out);

// ---------------------------------------------------------------------------------------------
// Board, pieces and timing
// ---------------------------------------------------------------------------------------------

int Random(int n);
void game_timer();
void Clear_Block();
void Generate_Block(int element);
// True for an element id of the catalogue (1..8, 11..18, 21..28, 31..38).
bool IsValidElement(int element);

// The catalogue's piece for an element id: its cells' colour codes in a 4x4 box, and its size.
struct PieceBox {
    int32_t block[BLOCK_SIZE][BLOCK_SIZE];
    int32_t w, h;
};
// Fills out for an element of the catalogue; false (out untouched) for any other id.
bool LookUpPiece(int element, PieceBox &out);

// Speed and the end of play.
constexpr int STAGE_LIMIT = 198;          // a spawn above this stage ends the game
constexpr int32_t FALL_DELAY_START = 55;  // game_time ticks a row at stage 0
constexpr int32_t FALL_DELAY_MIN = 2;     // the fastest fall
// The fall delay after total_lines rows (10 a stage): 2 ticks faster a stage, down to the minimum.
constexpr int32_t FallDelay(int32_t total_lines)
{
    const int32_t delay = FALL_DELAY_START - 2 * (total_lines / 10);
    return delay < FALL_DELAY_MIN ? FALL_DELAY_MIN : delay;
}

// Rules
// Empties the well and deals the first two pieces (the next one first, then the falling one).
void ResetWell();
int Can_Put();
void Rotate_Block();
int Put_Block();
int Delete_Row();
void Generate_New();

// Play loop
void Play_Game();
// Fills each cell of the bottom `rows` rows with colour code 1 at random (probability 1/2).
void FillStartingRows(int rows);

// The game's sound calls; none of them makes a sound call without a sound device.
void Music();                // the game's module from its start, looping, if music is on
void PlaySong(int index);    // MIDI item `index` once, if music is on
void PlaySoundA(int index);  // sample item `index` at the sound volume
void PlayEffect(int index, int volume);  // sample item `index` at `volume` (0..255), centred
void StopSong();                         // the MIDI song, if one plays
void StopMusic();                        // the game's module, if it plays
void ApplyVolumes();  // both volumes to the library, the music volume to the module
// The module's level for a music volume: 200 (the default) gives 60.
int ModuleVolumeFor(int music_volume);

// Play-field drawing
void InitGameGraphics();
void Draw_Frame();
void Draw_Map();
// The preview box: the top two rows of the next piece's box, one tile per cell.
void DrawPreview();

// ---------------------------------------------------------------------------------------------
// Requests from outside the screens: quitting, the focus, a held Esc
// ---------------------------------------------------------------------------------------------

// True once the window's close button, or a termination, interrupt or hang-up signal, has asked
// the program to end: every screen loop then returns at once, and the title loop ends the program
// through its normal shut-down (which writes the high-score table).
bool QuitRequested();
void RequestQuit();  // safe to call from a signal handler
// Installs the close-button callback, the signal handlers and the focus-loss callback.
void InstallQuitAndFocusHandlers();
// True once for each time the window lost the focus since the last call (the play loop pauses).
bool TakeFocusLost();
// Esc by its key state, for the screens that leave on it. An Esc that made another screen return
// does not count until it has been released, so holding Esc never chains through the screens.
bool EscapeDown();
// Called when a screen has returned to its caller: an Esc held now is not a fresh press.
void LatchEscape();

// ---------------------------------------------------------------------------------------------
// Start-up, screens and persistence
// ---------------------------------------------------------------------------------------------

// Runs the whole program: the command line, start-up, the title screen, shut-down. Returns the
// exit status.
int QuorvexMain(int argc, char *argv[]);
[[noreturn]] void Error(const char *message);
int FileExist(const char *filename);
void DrawTitle();
// Writes the screen to quorvex.pcx in the working directory with the given palette.
void TakeScreenshot(const RGB *pal);

void StartGameMenu();
void DrawStartGameMenu();
void Options();
void GotHighScore();
void GetHighScore();
void ViewHighScores();
void DrawHighScores();
void SaveGame();
void LoadGame();
void Help();
void DrawHelpPage();  // the help screen's page, drawn on the screen
void ViewCredits();

#endif
