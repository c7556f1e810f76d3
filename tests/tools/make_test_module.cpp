// SPDX-License-Identifier: MIT
// Writes one module of each format (and an Unreal package), and MODs of known timing, into a directory, for the tool tests.
#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "module_writers.h"

namespace {

bool save(const std::string &path, const ModuleImage &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Four channels at speed 6, 125 BPM, orders 0 1 ...: a constant, looping sample starts on row 1
// of channel 0 (hard left). `flow` puts commands in: {pattern, row, channel, effect, param}.
ModuleImage timed_mod(int patterns, const std::vector<std::array<int, 5>> &flow)
{
    ModSpec s;
    s.song_length = patterns;
    for (int p = 0; p < patterns; p++) {
        s.orders[static_cast<size_t>(p)] = static_cast<unsigned char>(p);
        s.patterns.emplace_back(64 * 4);
    }
    s.patterns[0][4] = ModCell{1, 428, 0, 0};
    for (const auto &f : flow)
        s.patterns[static_cast<size_t>(f[0])][static_cast<size_t>(f[1] * 4 + f[2])] = {0, 0, f[3],
                                                                                       f[4]};
    ModSampleSpec level;
    level.data.assign(64, 64);
    level.repeat_length_words = 32;
    s.sample_list.push_back(level);
    return write_mod(s);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qvmod_make_test_module DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok =
        save(dir + "/test.mod", write_mod(realistic_mod(1, 6, 4, 20000))) &&
        save(dir + "/test.s3m", write_s3m(realistic_s3m(2, 6, 8, 20000))) &&
        save(dir + "/test.xm", write_xm(realistic_xm(3, 6, 8, 6, 20000))) &&
        save(dir + "/test.umx", wrap_unreal(write_xm(realistic_xm(4, 2, 4, 2, 2000)), 200)) &&
        // 64 rows x 6 ticks at 125 BPM, then 64 rows x 3 ticks at 250 BPM
        save(dir + "/timing.mod", timed_mod(2, {{1, 0, 1, 0xF, 3}, {1, 0, 2, 0xF, 0xFA}})) &&
        // orders 0, 1, then 2 up to row 40, which jumps back to order 1
        save(dir + "/jumpback.mod", timed_mod(3, {{2, 40, 1, 0xB, 1}})) &&
        save(dir + "/song.mod", write_mod(song_mod(1, 2)));
    return ok ? 0 : 1;
}
