// The high-score table in memory and its 480-byte file quorvex.hsc (little-endian records).
#include <cstdio>
#include <cstring>

#include "Quorvex.h"
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

bool ReadHighScoreFile(const char *path)
{
    std::FILE *f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    unsigned char bytes[HIGH_SCORE_FILE_SIZE];
    // Only whole 32-byte records count; the entries a short file does not cover stay zero.
    size_t records = std::fread(bytes, HIGH_SCORE_ENTRY_SIZE, HIGH_SCORE_COUNT, f);
    std::fclose(f);
    std::memset(HighScores, 0, sizeof HighScores);
    for (size_t i = 0; i < records; i++) {
        const unsigned char *p = bytes + i * HIGH_SCORE_ENTRY_SIZE;
        HighScoreEntry &e = HighScores[i];
        e.score = GetLE32(p);
        e.level = GetLE32(p + 4);
        e.lines = GetLE32(p + 8);
        e.pieces = GetLE32(p + 12);
        std::memcpy(e.name, p + 16, HIGH_SCORE_NAME_SIZE);
    }
    return true;
}

bool WriteHighScoreFile(const char *path)
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

void HighScoreName(const HighScoreEntry &entry, char *out)
{
    size_t n = 0;
    while (n < HIGH_SCORE_NAME_SIZE && entry.name[n] != '\0') n++;
    std::memcpy(out, entry.name, n);
    out[n] = '\0';
}
