// SPDX-License-Identifier: MIT
// Writes the seed corpora of the harnesses, made by the project's own writers: small modules of
// every format (and their QVM images), their pattern bytes behind decoder scripts, seek scripts
// over module files, saved games and high-score tables.
// Usage: make_seeds DIR   (creates DIR/<harness>/<seed> files)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <sys/stat.h>
#include <vector>

#include "Board.h"
#include "HighScoreFile.h"
#include "HighScoreTable.h"
#include "SavedGameFile.h"
#include "fuzz_support.h"
#include "module_writers.h"
#include "qvm_writer.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string root;
std::map<std::string, int> counts;

void write_seed(const std::string &harness, const Bytes &bytes)
{
    const std::string dir = root + "/" + harness;
    mkdir(root.c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    const std::string path = dir + "/seed-" + std::to_string(counts[harness]++);
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::fclose(f);
}

// A module goes to its own harness, the dispatcher and the information query.
void module_seed(const std::string &format, const Bytes &bytes)
{
    write_seed("load_" + format, bytes);
    if (format == "s3m") write_seed("load_s3m_scan", bytes);
    write_seed("load_any", bytes);
    write_seed("mod_info", bytes);
}

// The QVM image of what load_mod made of a module, for the QVM harnesses.
void qvm_seed(const Bytes &source)
{
    qvx_fuzz::ScratchFile file(source.data(), source.size());
    QVMOD *m = load_mod(file.path());
    if (!m) return;
    const Bytes qvm = qvm_write(m);
    destroy_mod(m);
    if (qvm.empty()) return;
    module_seed("qvm", qvm);
    write_seed("qvm_stream", qvm);
    write_seed("qvm_datafile", qvm);
}

Bytes it_module(const char *title)
{
    Bytes b(192, 0);
    std::memcpy(b.data(), "IMPM", 4);
    std::strncpy(reinterpret_cast<char *>(b.data()) + 4, title, 26);
    return b;
}

size_t le16(const Bytes &b, size_t at)
{
    return at + 2 <= b.size() ? b[at] | (b[at + 1] << 8) : 0;
}
size_t le32(const Bytes &b, size_t at)
{
    return le16(b, at) | (le16(b, at + 2) << 16);
}

Bytes tail(const Bytes &b, size_t from)
{
    return from < b.size() ? Bytes(b.begin() + from, b.end()) : Bytes();
}

// Where an S3M file's first stored pattern begins (after its length word).
size_t s3m_first_pattern(const Bytes &s3m)
{
    const size_t orders = le16(s3m, 32), instruments = le16(s3m, 34);
    return le16(s3m, 96 + orders + 2 * instruments) * 16 + 2;
}

// Where an XM file's first pattern's packed cells begin.
size_t xm_first_pattern(const Bytes &xm)
{
    const size_t pattern = 60 + le32(xm, 60);
    return pattern + le32(xm, pattern);
}

// Decoder seeds: an S3M header whose title is the script (operation in the low two bits, argument
// above), byte 29 the stream kind and XM instrument count, then the stream.
void decoder_seed(const Bytes &s3m, std::vector<int> script, int kind, const Bytes &stream)
{
    constexpr int kSkipNothing = 3;
    script.resize(28, kSkipNothing);
    Bytes b(s3m.begin(), s3m.begin() + std::min<size_t>(96, s3m.size()));
    b.resize(96, 0);
    for (size_t i = 0; i < script.size(); i++) b[i] = static_cast<unsigned char>(script[i]);
    b[29] = static_cast<unsigned char>(kind);
    b.insert(b.end(), stream.begin(), stream.end());
    write_seed("cell_decoders", b);
}

void decoder_seeds(const Bytes &s3m, const Bytes &xm)
{
    constexpr int kScan = 0, kPattern0 = 1, kPattern1 = 5, kNote = 2, kSkip2 = 11;
    const Bytes patterns = tail(s3m, s3m_first_pattern(s3m));
    decoder_seed(s3m, {kPattern0, kSkip2, kPattern1}, 0, patterns);
    decoder_seed(s3m, {kScan, kSkip2, kScan, kSkip2, kPattern0}, 1, patterns);
    decoder_seed(s3m, std::vector<int>(28, kNote), (4 << 1) | 1, tail(xm, xm_first_pattern(xm)));
}

// Seek seeds: the stream kind to start with (bit 0: Allegro's own), the step count, steps of an
// operation and a 16-bit argument, then the file.
void seek_seed(bool allegro, const std::vector<std::pair<int, int>> &steps, const Bytes &file)
{
    Bytes b{static_cast<unsigned char>(allegro), static_cast<unsigned char>(steps.size())};
    for (const auto &[op, arg] : steps) {
        b.push_back(static_cast<unsigned char>(op));
        b.push_back(static_cast<unsigned char>(arg & 0xFF));
        b.push_back(static_cast<unsigned char>((arg >> 8) & 0xFF));
    }
    b.insert(b.end(), file.begin(), file.begin() + std::min<size_t>(file.size(), 1024));
    write_seed("file_seek", b);
}

void seek_seeds(const Bytes &file)
{
    enum { kSeek, kSeekElsewhere, kSkip, kGetc, kWord, kRead, kCut, kReopenAllegro };
    const std::vector<std::pair<int, int>> walk = {
        {kSeek, 44},         {kRead, 4},   {kGetc, 0},  {kWord, 0},   {kWord, 3},
        {kSeek, 0},          {kSkip, 100}, {kCut, 600}, {kSeek, 700}, {kGetc, 0},
        {kSeekElsewhere, 1}, {kRead, 10},  {kSeek, 96}, {kRead, 250}};
    seek_seed(false, walk, file);
    std::vector<std::pair<int, int>> allegro = {
        {kRead, 20}, {kSkip, 30}, {kWord, 1}, {kCut, 300}, {kRead, 280}};
    allegro.insert(allegro.end(), walk.begin(), walk.end());
    allegro.push_back({kReopenAllegro, 0});
    allegro.push_back({kWord, 2});
    seek_seed(true, allegro, file);
}

void module_seeds()
{
    std::vector<Bytes> sources;
    Bytes mod4 = write_mod(realistic_mod(1, 2, 4, 200));
    Bytes mod8 = write_mod(realistic_mod(2, 1, 8, 120));
    ModSpec m15 = realistic_mod(3, 1, 4, 100);
    m15.samples = 15;
    m15.sample_list.resize(std::min<size_t>(m15.sample_list.size(), 15));
    Bytes mod15 = write_mod(m15);
    for (const Bytes &b : {mod4, mod8, mod15}) module_seed("mod", b);

    Bytes s3m4 = write_s3m(realistic_s3m(4, 2, 4, 200));
    S3mSpec s3ms = realistic_s3m(5, 1, 10, 100);
    s3ms.sample_format = 1;
    s3ms.pan_table = true;
    Bytes s3m10 = write_s3m(s3ms);
    for (const Bytes &b : {s3m4, s3m10}) module_seed("s3m", b);

    Bytes xm4 = write_xm(realistic_xm(6, 2, 4, 2, 200));
    XmSpec xma = realistic_xm(7, 1, 6, 3, 100);
    xma.linear = false;
    Bytes xm6 = write_xm(xma);
    for (const Bytes &b : {xm4, xm6}) module_seed("xm", b);

    module_seed("umx", wrap_unreal(s3m4, 100));
    module_seed("umx", wrap_unreal(xm4, 60));
    module_seed("umx", wrap_unreal(it_module("wrapped"), 40));
    module_seed("it", it_module("an impulse module"));

    for (const Bytes &b : {mod4, mod8, mod15, s3m4, s3m10, xm4, xm6}) qvm_seed(b);
    decoder_seeds(s3m10, xm4);
    seek_seeds(s3m4);
    seek_seeds(xm6);
}

GameState fresh_game(int element, int next, int filled_rows, int total_lines)
{
    std::memset(&Game, 0, sizeof Game);
    for (int r = MAP_H - filled_rows; r < MAP_H; r++)
        for (int c = 0; c < MAP_W; c++) Game.map[c][r] = (c == r % MAP_W) ? 0 : 1 + (c + r) % 8;
    Generate_Block(element);
    Game.next_element = next;
    Game.block_x = 3;
    Game.block_y = 0;
    Game.total_lines = total_lines;
    Game.lines = total_lines % 10;
    Game.stage = total_lines / 10;
    Game.delay = std::max(2, 55 - 2 * Game.stage);
    Game.score = 1234 * total_lines;
    Game.pieces = 3 * total_lines;
    return Game;
}

void game_seeds()
{
    unsigned char image[SAVED_GAME_SIZE];
    for (const GameState &g :
         {fresh_game(1, 2, 0, 0), fresh_game(14, 7, 6, 37), fresh_game(38, 8, 15, 150)}) {
        EncodeSavedGame(g, image);
        write_seed("saved_game", Bytes(image, image + sizeof image));
    }
}

void high_score_seeds()
{
    SetDefaultHighScores();
    WriteHighScoreFile((root + "/table.tmp").c_str());
    std::FILE *f = std::fopen((root + "/table.tmp").c_str(), "rb");
    Bytes table(HIGH_SCORE_FILE_SIZE);
    if (!f || std::fread(table.data(), 1, table.size(), f) != table.size()) std::exit(1);
    std::fclose(f);
    std::remove((root + "/table.tmp").c_str());
    write_seed("high_scores", table);
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        HighScores[i].score = 100000 - 5000 * i;
        HighScores[i].level = 20 - i;
        std::snprintf(HighScores[i].name, sizeof HighScores[i].name, "player %d", i);
    }
    WriteHighScoreFile((root + "/table.tmp").c_str());
    f = std::fopen((root + "/table.tmp").c_str(), "rb");
    if (!f || std::fread(table.data(), 1, table.size(), f) != table.size()) std::exit(1);
    std::fclose(f);
    std::remove((root + "/table.tmp").c_str());
    write_seed("high_scores", table);
    write_seed("high_scores", Bytes(table.begin(), table.begin() + 100));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    root = argv[1];
    mkdir(root.c_str(), 0755);
    qvx_fuzz::start_player();
    module_seeds();
    game_seeds();
    high_score_seeds();
    for (const auto &kv : counts) std::printf("%s: %d seeds\n", kv.first.c_str(), kv.second);
    return 0;
}
