// SPDX-License-Identifier: MIT
// Harness: loading a saved game. The input is read both as a whole file (ReadSavedGame) and, with
// the signature put after its first 912 bytes, as a record for the validation; a record that is
// accepted is then played by the rules for a while, which must stay inside the well.
#include <algorithm>
#include <cstring>

#include "GameData.h"
#include "Rules.h"
#include "SavedGameFile.h"
#include "fuzz_support.h"

namespace {

constexpr int kMoves = 600;

bool PieceInWell()
{
    for (int c = 0; c < BLOCK_SIZE; c++)
        for (int r = 0; r < BLOCK_SIZE; r++)
            if (Game.block[c][r] != 0 && (Game.block_x + c < 0 || Game.block_x + c >= MAP_W ||
                                          Game.block_y + r < 0 || Game.block_y + r >= MAP_H))
                return false;
    return true;
}

// Moves as the play loop makes them: tried, and undone when the piece does not fit.
void PlayFrom(const GameState &loaded, uint32_t choice)
{
    Game = loaded;
    end_game = NO;
    std::srand(choice);
    for (int i = 0; i < kMoves && !end_game; i++) {
        const int move = (choice >> (i % 29)) % 5;
        if (move == 0) {
            Game.block_x--;
            if (!Can_Put()) Game.block_x++;
        } else if (move == 1) {
            Game.block_x++;
            if (!Can_Put()) Game.block_x--;
        } else if (move == 2) {
            Rotate_Block();
        } else {
            Game.block_y++;
            if (!Can_Put()) {
                Game.block_y--;
                Put_Block();
                Generate_New();
            }
        }
        if (!end_game && !PieceInWell())
            qvx_fuzz::fail("piece left the well", Game.block_x, Game.block_y);
        for (const auto &column : Game.map)
            for (int32_t cell : column)
                if (cell < 0 || cell > 8) qvx_fuzz::fail("well cell colour", cell);
        if (Game.delay < 2 || Game.delay > 55) qvx_fuzz::fail("fall delay", Game.delay);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    data = nullptr;  // the rules play no sounds and draw nothing without the datafile
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const uint32_t choice = qvx_fuzz::input_hash(bytes, size);
    GameState loaded;
    std::memset(&loaded, 0x5A, sizeof loaded);
    const GameState untouched = loaded;

    qvx_fuzz::ScratchFile file(bytes, size);
    const LoadResult result = ReadSavedGame(file.path(), loaded);
    if (result == LoadResult::Loaded) {
        if (size != SAVED_GAME_SIZE)
            qvx_fuzz::fail("loaded a file of the wrong size", static_cast<long>(size));
        if (!IsValidGameState(loaded)) qvx_fuzz::fail("loaded record fails the validation");
        PlayFrom(loaded, choice);
    } else if (std::memcmp(&loaded, &untouched, sizeof loaded) != 0) {
        qvx_fuzz::fail("refused file changed the record");
    }

    // The same bytes as a record with a correct signature.
    unsigned char image[SAVED_GAME_SIZE] = {};
    std::memcpy(image, bytes, std::min(size, GAME_STATE_SIZE));
    std::memcpy(image + GAME_STATE_SIZE, GAMESG, GAME_SIGNATURE_SIZE);
    GameState record;
    if (DecodeSavedGame(image, sizeof image, record)) {
        unsigned char again[SAVED_GAME_SIZE];
        EncodeSavedGame(record, again);
        if (std::memcmp(again, image, sizeof image) != 0)
            qvx_fuzz::fail("an accepted record does not write back the same");
        PlayFrom(record, choice);
    }
    return 0;
}
