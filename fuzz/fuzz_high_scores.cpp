// SPDX-License-Identifier: MIT
// Harness: reading quorvex.hsc (ReadHighScoreFile), then everything the high-score screens do with
// the table: formatting each row, the names, the place of a new score and its insertion.
#include <cstring>

#include "HighScoreFile.h"
#include "HighScoreTable.h"
#include "fuzz_support.h"

namespace {

bool Terminated(const char *name, size_t size)
{
    return std::memchr(name, 0, size) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    qvx_fuzz::ScratchFile file(bytes, size);
    if (!ReadHighScoreFile(file.path())) qvx_fuzz::fail("an existing file was not read");
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        const HighScoreRow row = FormatHighScoreRow(HighScores[i], i);
        if (!Terminated(row.name, sizeof row.name) || !Terminated(row.score, sizeof row.score) ||
            !Terminated(row.level, sizeof row.level) || !Terminated(row.lines, sizeof row.lines) ||
            !Terminated(row.pieces, sizeof row.pieces))
            qvx_fuzz::fail("table row not terminated", i);
        char name[HIGH_SCORE_NAME_SIZE + 1];
        HighScoreName(HighScores[i], name);
        if (std::strlen(name) > HIGH_SCORE_NAME_SIZE)
            qvx_fuzz::fail("name longer than its field", i);
    }
    // A finished game with a score taken from the input: its place and its insertion.
    GameState game{};
    int32_t score = 0;
    if (size >= 4) std::memcpy(&score, bytes + size - 4, 4);
    // Only the file is hostile: the game's own numbers stay within what play can reach.
    const uint32_t u = static_cast<uint32_t>(score);
    game.score = static_cast<int32_t>(u % 1000000001u);
    game.stage = static_cast<int32_t>(u % 199u);
    game.lines = static_cast<int32_t>(u % 1990u);
    game.pieces = static_cast<int32_t>((u >> 3) % 1000000001u);
    const int place = HighScorePlace(game.score);
    const int inserted = InsertHighScore(game);
    if (place != inserted) qvx_fuzz::fail("place and insertion differ", place, inserted);
    if (inserted < -1 || inserted >= HIGH_SCORE_COUNT) qvx_fuzz::fail("insertion index", inserted);
    if (inserted >= 0) {
        char name[HIGH_SCORE_NAME_MAX + 1] = "";
        int length = 0;
        for (size_t i = 0; i < size && i < 40; i++)
            NameEntryKey(name, length, bytes[i], bytes[i] == 8, bytes[i] == 13);
        if (length < 0 || length > HIGH_SCORE_NAME_MAX ||
            std::strlen(name) != static_cast<size_t>(length))
            qvx_fuzz::fail("typed name length", length);
        const HighScoreRow row = FormatHighScoreRow(HighScores[inserted], inserted);
        (void)row;
    }
    return 0;
}
