// SPDX-License-Identifier: MIT
// The high-score table in memory and its screen-free parts: qualification, insertion, merging
// another copy's table, the name entry and the table rows.
#include "HighScoreTable.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

HighScoreEntry HighScores[HIGH_SCORE_COUNT];

namespace {

constexpr int LAST = HIGH_SCORE_COUNT - 1;
constexpr int FIRST_PRINTABLE = 32;
constexpr int LAST_PRINTABLE = 126;
constexpr int32_t LEVEL_SHOWN_MAX = 999;
constexpr int32_t LINES_SHOWN_MAX = 99999;

// The table stores one more than the game's counters; a counter at the top of the range stays put.
int32_t OneMore(int32_t v)
{
    return v < INT32_MAX ? v + 1 : v;
}

int32_t AtMost(int32_t v, int32_t most)
{
    return v < most ? v : most;
}

// What a column shows of a number: never below 0, never wider than the column.
int Shown(int32_t v, int32_t most)
{
    return static_cast<int>(v < 0 ? 0 : AtMost(v, most));
}

bool Printable(int c)
{
    return c >= FIRST_PRINTABLE && c <= LAST_PRINTABLE;
}

}  // namespace

namespace {

int PlaceIn(const HighScoreEntry *table, int32_t score)
{
    if (score <= table[LAST].score) return -1;
    int place = LAST;
    while (place > 0 && table[place - 1].score < score) place--;
    return place;
}

// Every entry below the place moves down one; the old last entry is dropped.
void InsertAt(HighScoreEntry *table, int place, const HighScoreEntry &entry)
{
    for (int i = LAST; i > place; i--) table[i] = table[i - 1];
    table[place] = entry;
}

bool Identical(const HighScoreEntry &a, const HighScoreEntry &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int CountIdentical(const HighScoreEntry *table, int count, const HighScoreEntry &entry)
{
    int n = 0;
    for (int i = 0; i < count; i++) n += Identical(table[i], entry) ? 1 : 0;
    return n;
}

}  // namespace

void SetDefaultHighScores()
{
    SetDefaultHighScores(HighScores);
}

void SetDefaultHighScores(HighScoreEntry (&table)[HIGH_SCORE_COUNT])
{
    static_assert(sizeof(DEFAULT_HIGH_SCORE_NAME) - 1 == HIGH_SCORE_NAME_SIZE,
                  "the default name fills the whole field");
    for (HighScoreEntry &e : table) {
        e.score = 0;
        e.level = 1;
        e.lines = 0;
        e.pieces = 0;
        std::memcpy(e.name, DEFAULT_HIGH_SCORE_NAME, HIGH_SCORE_NAME_SIZE);
    }
}

void HighScoreName(const HighScoreEntry &entry, char *out)
{
    size_t n = 0;
    while (n < HIGH_SCORE_NAME_SIZE && entry.name[n] != '\0') n++;
    std::memcpy(out, entry.name, n);
    out[n] = '\0';
}

void SetHighScoreName(HighScoreEntry &entry, const char *typed)
{
    const char *end = typed;
    while (end < typed + HIGH_SCORE_NAME_SIZE && *end != '\0') end++;
    if (std::all_of(typed, end, [](char c) { return c == ' '; })) {
        typed = DEFAULT_HIGH_SCORE_NAME;
        end = typed + HIGH_SCORE_NAME_SIZE;
    }
    std::fill(std::copy(typed, end, entry.name), entry.name + HIGH_SCORE_NAME_SIZE, '\0');
}

int HighScorePlace(int32_t score)
{
    return PlaceIn(HighScores, score);
}

int InsertHighScore(const GameState &game)
{
    const int place = HighScorePlace(game.score);
    if (place < 0) return -1;
    HighScoreEntry e;
    e.score = AtMost(game.score, HIGH_SCORE_SHOWN_MAX);
    e.level = game.total_lines / 10;
    e.lines = OneMore(game.lines);
    e.pieces = AtMost(OneMore(game.pieces), HIGH_SCORE_SHOWN_MAX);
    std::memset(e.name, 0, sizeof e.name);
    InsertAt(HighScores, place, e);
    return place;
}

void MergeHighScores(const HighScoreEntry (&other)[HIGH_SCORE_COUNT])
{
    HighScoreEntry merged[HIGH_SCORE_COUNT];
    std::memcpy(merged, other, sizeof merged);
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        const HighScoreEntry &e = HighScores[i];
        // The k-th copy of an entry is new only when the other table holds fewer than k of it.
        if (CountIdentical(HighScores, i + 1, e) <= CountIdentical(other, HIGH_SCORE_COUNT, e)) {
            continue;
        }
        const int place = PlaceIn(merged, e.score);
        if (place >= 0) InsertAt(merged, place, e);
    }
    std::memcpy(HighScores, merged, sizeof merged);
}

NameKey NameEntryKey(char *name, int &length, int c, bool backspace_down, bool enter_down)
{
    if (Printable(c) && length < HIGH_SCORE_NAME_MAX) {
        name[length++] = static_cast<char>(c);
        name[length] = '\0';
        return NameKey::Appended;
    }
    if (backspace_down && length >= 1) {
        name[--length] = '\0';
        return NameKey::Erased;
    }
    if (enter_down) return NameKey::Finished;
    return NameKey::Ignored;
}

HighScoreRow FormatHighScoreRow(const HighScoreEntry &entry, int index)
{
    char name[HIGH_SCORE_NAME_SIZE + 1];
    HighScoreName(entry, name);
    for (char *p = name; *p != '\0'; p++) {
        if (!Printable(static_cast<unsigned char>(*p))) *p = '?';
    }
    HighScoreRow row;
    std::snprintf(row.name, sizeof row.name, "%2d      %s", index + 1, name);
    std::snprintf(row.score, sizeof row.score, "%06d", Shown(entry.score, HIGH_SCORE_SHOWN_MAX));
    std::snprintf(row.level, sizeof row.level, "%03d", Shown(entry.level, LEVEL_SHOWN_MAX));
    std::snprintf(row.lines, sizeof row.lines, "%05d", Shown(entry.lines, LINES_SHOWN_MAX));
    std::snprintf(row.pieces, sizeof row.pieces, "%04d", Shown(entry.pieces, HIGH_SCORE_SHOWN_MAX));
    return row;
}

int HighScoreColumnX(HighScoreColumn column, FONT *f, const char *shown)
{
    constexpr int LEFT[] = {55, 380, 460, 530, 600};  // the columns' left edges
    // The pieces column ends at the screen's edge: its numbers end where four digits end, so a
    // wider count grows to the left, into the room the lines column leaves.
    if (column == COLUMN_PIECES) {
        return LEFT[column] + text_length(f, "0000") - text_length(f, shown);
    }
    return LEFT[column];
}
