// SPDX-License-Identifier: MIT
// The high-score table's 480-byte file quorvex.hsc (little-endian records),
// shared safely by copies of the game that play in one folder.
#include "HighScoreFile.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "HighScoreTable.h"
#include "LittleEndian.h"
#include "SafeFile.h"

namespace {

// Times the exit reads and merges a table that keeps changing under it before writing its own.
constexpr int kMergeRounds = 8;

// Reads the file into table; entries past a short file's end are zero.
bool ReadTable(const char *path, HighScoreEntry (&table)[HIGH_SCORE_COUNT])
{
    FilePtr f = OpenRegularFile(path);
    if (!f) return false;
    unsigned char bytes[HIGH_SCORE_FILE_SIZE];
    // Only whole 32-byte records count; the entries a short file does not cover stay zero.
    const size_t records = std::fread(bytes, HIGH_SCORE_ENTRY_SIZE, HIGH_SCORE_COUNT, f.get());
    if (std::ferror(f.get())) return false;
    // A file with no whole entry (one cut at its start, or made empty) holds no results.
    if (records == 0) {
        SetDefaultHighScores(table);
        return true;
    }
    std::memset(table, 0, sizeof table);
    LittleEndianReader r(bytes);
    for (size_t i = 0; i < records; i++) {
        HighScoreEntry &e = table[i];
        for (int32_t *v : {&e.score, &e.level, &e.lines, &e.pieces}) *v = r.Get();
        r.Bytes(e.name, HIGH_SCORE_NAME_SIZE);
    }
    return true;
}

bool WriteTable(const char *path, const FileStamp *unchanged_since = nullptr)
{
    unsigned char bytes[HIGH_SCORE_FILE_SIZE];
    LittleEndianWriter w(bytes);
    for (const HighScoreEntry &e : HighScores) {
        for (int32_t v : {e.score, e.level, e.lines, e.pieces}) w.Put(v);
        w.Bytes(e.name, HIGH_SCORE_NAME_SIZE);
    }
    return WriteFileAtomically(path, bytes, sizeof bytes, unchanged_since);
}

}  // namespace

bool ReadHighScoreFile(const char *path)
{
    return ReadTable(path, HighScores);
}

bool WriteHighScoreFile(const char *path, void (*on_wait)())
{
    FileLock lock(path, on_wait);
    return WriteTable(path);
}

bool MergeHighScoreFile(const char *path)
{
    FileLock lock(path);
    for (int round = 1;; round++) {
        // The stamp comes first: a table replaced after it is read again in the next round.
        const FileStamp read_at = StampFile(path);
        // What another copy of the game wrote since this one read the table is kept.
        HighScoreEntry on_disk[HIGH_SCORE_COUNT];
        if (ReadTable(path, on_disk)) MergeHighScores(on_disk);
        if (round == kMergeRounds) return WriteTable(path);
        if (WriteTable(path, &read_at)) return true;
        if (StampFile(path) == read_at) return false;  // the write itself failed
    }
}
