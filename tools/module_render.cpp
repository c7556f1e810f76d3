// SPDX-License-Identifier: MIT
// Rendering a module into a 16-bit stereo WAV file through the tick engine and the hand-run mixer.
#include "module_render.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "manual_mixer.h"
#include "wav_writer.h"

namespace {

constexpr int kChannels = 2;
constexpr std::size_t kFlushSamples = 1 << 16;
constexpr long kBlockAlign = 4;

}  // namespace

long frames_of(long ms, int rate)
{
    return static_cast<long>((static_cast<long long>(ms) * rate + 500) / 1000);
}

bool render_wav(QVMOD *module, bool loop, long frames, int rate, const char *path,
                std::string &error)
{
    errno = 0;
    WavWriter wav(path, rate, false);
    if (wav.failed()) return wav.finish(error);
    const long most = static_cast<long>(WavWriter::kMaxDataBytes / kBlockAlign);
    if (frames > most) frames = most;
    const std::size_t wanted = static_cast<std::size_t>(frames) * kChannels;
    std::size_t written = 0;
    manual_mixer::Output out(rate);
    const bool manual = get_mod_manual_ticks() != 0;
    set_mod_manual_ticks(-1);
    play_mod(module, loop ? TRUE : FALSE);
    while (written < wanted) {
        mod_interrupt();
        out.after_tick(get_mod_timer_period());
        if (out.pcm.size() >= kFlushSamples || written + out.pcm.size() >= wanted) {
            const std::size_t n = std::min(out.pcm.size(), wanted - written);
            wav.append(out.pcm.data(), n);
            written += n;
            out.pcm.clear();
        }
    }
    stop_mod();
    set_mod_manual_ticks(manual ? -1 : 0);
    return wav.finish(error);
}
