// SPDX-License-Identifier: MIT
// Saving the running game to a file and loading one back, through the library's file selector.
#include <cstring>

#include <allegro.h>

#include "Display.h"
#include "GameData.h"
#include "PlayField.h"
#include "Quorvex.h"
#include "SafeFile.h"
#include "SavedGameFile.h"
#include "ScreenHelpers.h"

namespace {

// Keyboard shortcut of a message's single "OK" button.
constexpr int ALERT_KEY_1 = 67;
// The overwrite question: C answers "Cancel" (Esc does too); "OK" takes Enter or a click only,
// so no letter key can replace a file by accident.
constexpr int OVERWRITE_KEY_OK = 0;
constexpr int OVERWRITE_KEY_CANCEL = 'c';
// The file selector's default size.
constexpr int DIALOG_DEFAULT_SIZE = -1;

void KeepScreen()
{
    show_mouse(nullptr);
    blit(screen, temp_buffer, 0, 0, 0, 0, GAME_W, GAME_H);
    show_mouse(screen);
}

void RestoreScreen(bool redraw_well)
{
    show_mouse(nullptr);
    blit(temp_buffer, screen, 0, 0, 0, 0, GAME_W, GAME_H);
    if (redraw_well) Draw_Map();
    show_mouse(screen);
}

void Message(const char *line1, const char *line2, const char *line3 = nullptr)
{
    DialogScope dialog;
    alert(line1, line2, line3, "OK", nullptr, ALERT_KEY_1, 0);
}

// The game saved under the path the selector gave, after the checks of its name.
void SaveTo(const char *path)
{
    if (!IsUsableGameName(path)) {
        Message("Not a name for a saved game:", get_filename(path),
                "It may not be empty or start with a dot.");
        return;
    }
    if (FileExist(path) && alert("File Already Exists", "Overwrite?", nullptr, "OK", "Cancel",
                                 OVERWRITE_KEY_OK, OVERWRITE_KEY_CANCEL) != 1) {
        return;
    }
    if (WriteSavedGame(path, Game)) {
        RememberGameName(path);
    } else {
        Message("Error saving file", nullptr);
    }
}

}  // namespace

void SaveGame()
{
    UseGameDialogColours();
    KeepScreen();
    DialogScope dialog;
    std::strcpy(text2, current_game_name);
    // Without the working folder the selector would offer the top of the file system instead.
    if (!WorkingFolderExists()) {
        Message("Error saving file", nullptr);
    } else if (file_select_ex("Save Game", text2, "svg", sizeof text2, DIALOG_DEFAULT_SIZE,
                              DIALOG_DEFAULT_SIZE)) {
        SaveTo(text2);
    }
    RestoreScreen(false);
}

void LoadGame()
{
    UseGameDialogColours();
    KeepScreen();
    DialogScope dialog;
    text2[0] = '\0';
    if (file_select_ex("Load Game", text2, "svg", sizeof text2, DIALOG_DEFAULT_SIZE,
                       DIALOG_DEFAULT_SIZE)) {
        GameState loaded;
        switch (ReadSavedGame(text2, loaded)) {
        case LoadResult::Loaded:
            Game = loaded;
            RememberGameName(text2);
            break;
        case LoadResult::CannotOpen: Message("Error opening file!", nullptr); break;
        case LoadResult::NotASavedGame:
            // The running game stays exactly as it was.
            Message("Not a saved game:", get_filename(text2));
            break;
        }
    }
    RestoreScreen(true);
}
