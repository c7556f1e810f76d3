// The high-score table in memory and its 480-byte file quorvex.hsc (little-endian records),
// shared safely by copies of the game that play in one folder.
#include <cstdio>
#include <cstring>

#include "Quorvex.h"
#include "HighScoreTable.h"
#include "SafeFile.h"

HighScoreEntry HighScores[HIGH_SCORE_COUNT];

namespace {

int32_t GetLE32(const unsigned char *p)
{
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return static_cast<int32_t>(v);
}

void PutLE32(unsigned char *p, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
    p[2] = (v >> 16) & 0xFF;
    p[3] = (v >> 24) & 0xFF;
}

}  // namespace

void SetDefaultHighScores()
{
    static_assert(sizeof(DEFAULT_HIGH_SCORE_NAME) - 1 == HIGH_SCORE_NAME_SIZE,
                  "the default name fills the whole field");
    for (HighScoreEntry &e : HighScores) {
        e.score = 0;
        e.level = 1;
        e.lines = 0;
        e.pieces = 0;
        std::memcpy(e.name, DEFAULT_HIGH_SCORE_NAME, HIGH_SCORE_NAME_SIZE);
    }
}

namespace {

// Reads the file into table; entries past a short file's end are zero.
bool ReadTable(const char *path, HighScoreEntry (&table)[HIGH_SCORE_COUNT])
{
    FilePtr f = OpenRegularFile(path);
    if (!f) return false;
    unsigned char bytes[HIGH_SCORE_FILE_SIZE];
    // Only whole 32-byte records count; the entries a short file does not cover stay zero.
    const size_t records = std::fread(bytes, HIGH_SCORE_ENTRY_SIZE, HIGH_SCORE_COUNT, f.get());
    if (std::ferror(f.get())) return false;
    std::memset(table, 0, sizeof table);
    for (size_t i = 0; i < records; i++) {
        const unsigned char *p = bytes + i * HIGH_SCORE_ENTRY_SIZE;
        HighScoreEntry &e = table[i];
        e.score = GetLE32(p);
        e.level = GetLE32(p + 4);
        e.lines = GetLE32(p + 8);
        e.pieces = GetLE32(p + 12);
        std::memcpy(e.name, p + 16, HIGH_SCORE_NAME_SIZE);
    }
    return true;
}

bool WriteTable(const char *path)
{
    unsigned char bytes[HIGH_SCORE_FILE_SIZE];
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        unsigned char *p = bytes + i * HIGH_SCORE_ENTRY_SIZE;
        const HighScoreEntry &e = HighScores[i];
        PutLE32(p, e.score);
        PutLE32(p + 4, e.level);
        PutLE32(p + 8, e.lines);
        PutLE32(p + 12, e.pieces);
        std::memcpy(p + 16, e.name, HIGH_SCORE_NAME_SIZE);
    }
    return WriteFileAtomically(path, bytes, sizeof bytes);
}

}  // namespace

bool ReadHighScoreFile(const char *path)
{
    return ReadTable(path, HighScores);
}

bool WriteHighScoreFile(const char *path)
{
    FileLock lock(path);
    return WriteTable(path);
}

bool MergeHighScoreFile(const char *path)
{
    FileLock lock(path);
    // What another copy of the game wrote since this one read the table is kept.
    HighScoreEntry on_disk[HIGH_SCORE_COUNT];
    if (ReadTable(path, on_disk)) MergeHighScores(on_disk);
    return WriteTable(path);
}

void HighScoreName(const HighScoreEntry &entry, char *out)
{
    size_t n = 0;
    while (n < HIGH_SCORE_NAME_SIZE && entry.name[n] != '\0') n++;
    std::memcpy(out, entry.name, n);
    out[n] = '\0';
}
