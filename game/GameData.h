// SPDX-License-Identifier: MIT
// The datafile quorvex.dat as the game addresses it: its items, their kinds and the palette's roles.
#ifndef QUORVEX_GAMEDATA_H
#define QUORVEX_GAMEDATA_H

#include <allegro.h>

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

// The kind of object each item must be; an unused index may hold any kind.
constexpr int ANY_KIND = 0;
constexpr int QVM_KIND = DAT_ID('Q', 'V', 'M', ' ');  // the module object the player registers

struct DataItemKind {
    DataItem item;
    int kind;
};

// clang-format off
constexpr DataItemKind DATA_ITEM_KINDS[DATA_ITEM_COUNT] = {
    {TILE_1, DAT_BITMAP},         {TILE_2, DAT_BITMAP},        {TILE_3, DAT_BITMAP},
    {TILE_4, DAT_BITMAP},         {TILE_5, DAT_BITMAP},        {TILE_6, DAT_BITMAP},
    {TILE_7, DAT_BITMAP},         {TILE_8, DAT_BITMAP},        {ITEM_UNUSED_8, ANY_KIND},
    {PIC_BUTTON, DAT_BITMAP},     {PIC_DECREASE, DAT_BITMAP},  {PIC_INCREASE, DAT_BITMAP},
    {PIC_TITLE_BUTTON, DAT_BITMAP}, {SND_CLICK, DAT_SAMPLE},   {PIC_CREDITS, DAT_BITMAP},
    {ITEM_UNUSED_15, ANY_KIND},   {SND_ROWS, DAT_SAMPLE},      {PIC_PREVIEW_EMPTY, DAT_BITMAP},
    {PIC_FRAME_H, DAT_BITMAP},    {PIC_FRAME_V, DAT_BITMAP},   {PIC_FRAME_TL, DAT_BITMAP},
    {PIC_FRAME_TR, DAT_BITMAP},   {PIC_FRAME_BL, DAT_BITMAP},  {PIC_FRAME_BR, DAT_BITMAP},
    {MOD_GAME, QVM_KIND},         {PAL_GAME, DAT_PALETTE},     {SND_HIGH_SCORE, DAT_SAMPLE},
    {PIC_LOGO, DAT_BITMAP},       {MIDI_CREDITS, DAT_MIDI},    {PIC_TITLE, DAT_BITMAP},
    {PAT_SCREENS, DAT_BITMAP},    {PAT_MENU, DAT_BITMAP},      {PAT_PLAY, DAT_BITMAP},
    {FONT_TEXT, DAT_FONT},        {FONT_TABLE, DAT_FONT},      {FONT_TITLE, DAT_FONT},
    {SND_KEY, DAT_SAMPLE},
};
// clang-format on

constexpr bool DataItemKindsInOrder()
{
    for (int i = 0; i < DATA_ITEM_COUNT; i++)
        if (DATA_ITEM_KINDS[i].item != i) return false;
    return true;
}
static_assert(DataItemKindsInOrder(), "the kinds table lists every item at its own index");

// True when a loaded datafile holds at least the game's items, each of its kind; start-up refuses
// any other.
bool DatafileMatches(const DATAFILE *d);

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
// Palette indices with a fixed role in PAL_GAME
// ---------------------------------------------------------------------------------------------

constexpr int COL_BLACK = 0;           // empty well, panel backgrounds, transparent in sprites
constexpr int COL_BUTTON_FACE = 1;     // face of a labelled button
constexpr int COL_HEADING = 5;         // screen titles, panel numbers, title words, credits lines
constexpr int COL_TITLE_LIGHT = 14;    // title buttons: light bevel and label
constexpr int COL_TEXT = 15;           // running text, footer; button dark bevel and shadow
constexpr int COL_GHOST = COL_TEXT;    // the ghost piece's outline in the well
constexpr int COL_BUTTON_LIGHT = 25;   // buttons: light bevel and label
constexpr int COL_TITLE_DARK = 48;     // title buttons: dark bevel and shadow
constexpr int COL_LEGEND_ACTION = 54;  // play-screen legend: what a key does
constexpr int COL_LABEL = 65;          // play-screen panel labels
constexpr int COL_PAUSE = 70;          // pause texts
constexpr int COL_HELP_KEYS = 85;      // help screen: the key table
constexpr int COL_LEGEND_KEY = 86;     // play-screen legend: key names; help's closing line
constexpr int COL_FOCUS = COL_LEGEND_KEY;  // the keyboard focus' frame: stands out on every screen
constexpr int COL_BORDER = 142;            // screen borders and box outlines
constexpr int COL_HELP_BORDER = 143;       // help screen border
constexpr int COL_SEPARATOR = 176;         // play-screen legend separators
constexpr int COL_LOGO_FRAME = 227;        // outline around the menu logo
constexpr int COL_WHITE = 255;             // help title

#endif
