// SPDX-License-Identifier: MIT
// Shared state of the game: the settings, the shared buffers, the game record and every screen's
// entry point.
#ifndef QUORVEX_H
#define QUORVEX_H

#include <allegro.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

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
// Settings (all but the game's name are kept in quorvex.cfg between runs, see SettingsFile.h)
// ---------------------------------------------------------------------------------------------

extern char current_game_name[20];   // file name (no directory) of the last game saved or loaded
extern int start_level;              // starting stage for new games, 0..20
extern int start_blocks;             // pre-filled bottom rows for new games, 0..10
extern int sound_on;                 // sound effects: -1 on, 0 off
extern int music_on;                 // music (the credits song and the game's module): -1 on, 0 off
extern int sound_volume;             // digital volume, 0..250 in steps of 10
extern int music_volume;             // MIDI volume, 0..250 in steps of 10; also scales the module
extern int ghost_piece;              // outline where the falling piece would land: -1 on, 0 off
constexpr int DEFAULT_VOLUME = 200;  // both volumes at start-up

// ---------------------------------------------------------------------------------------------
// Shared buffers and the title buttons (created at start-up)
// ---------------------------------------------------------------------------------------------

extern BITMAP *buffer;       // 200x400 back buffer of the well
extern BITMAP *temp_buffer;  // 640x480 full-screen back buffer / saved screen
extern char text[256];       // scratch text, also the name typed in the high-score entry
extern char
    text2[PLATFORM_PATH_MAX];  // path edited in the file selector, as long as the platform allows

class Button;
extern Button *btn_new_game;  // title screen: "PLAY GAME"
extern Button *btn_exit;      // title screen: "EXIT"

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
// The program and its screens
// ---------------------------------------------------------------------------------------------

// Runs the whole program: the command line, start-up, the title screen, shut-down. Returns the
// exit status.
int QuorvexMain(int argc, char *argv[]);
void DrawTitle();

void StartGameMenu();
void DrawStartGameMenu();
void Play_Game();  // one game, from the empty well to game over or leaving it
void Options();
void GotHighScore();  // at game over: a qualifying result is entered and the table shown
void GetHighScore();  // the name entry; the name is left in `text`
void ViewHighScores();
void DrawHighScores();
void SaveGame();
void LoadGame();
void Help();
void DrawHelpPage();  // the help screen's page, drawn on the screen
void ViewCredits();
void ControlsScreen();  // the keys of the play actions and the ghost piece, from the options

#endif
