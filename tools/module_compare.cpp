// SPDX-License-Identifier: MIT
// module_compare: renders modules with QVMOD, libopenmpt and libxmp and prints how closely their loudness, pitch classes and brightness agree.
#include <libopenmpt/libopenmpt.h>
#include <libopenmpt/libopenmpt_ext.h>
#include <xmp.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "audio_measures.h"
#include "module_writers.h"
#include "qvmod.h"

namespace {

namespace am = audio_measures;

constexpr int kModVolume = 224;  // modplay's level
constexpr int kDefaultSeconds = 240;
constexpr float kInt16Scale = 1.0f / 32768.0f;
constexpr int kPeerBlockFrames = 4096;
constexpr double kPeersAgree = 0.98;  // peers this close make a clear reference
constexpr double kFollows = 0.95;     // QVMOD this close follows the reference
constexpr int kS3mChannelSettings = 64;
constexpr int kS3mSourceChannels = 32;
constexpr int kS3mChannelOff = 0x20;

using Mute = std::vector<bool>;  // by QVMOD channel: true = silent
using Render = std::vector<float>;

struct Song {
    std::string path;
    std::vector<unsigned char> bytes;
    std::string format;
    QVMOD *module = nullptr;
    long frames = 0;
    std::vector<int> peer_channel;  // each QVMOD channel's number in the peers
};

// ---------------------------------------------------------------- the three renders

// QVMOD through the render API, at modplay's levels, its ramps on unless `flags` say otherwise.
int g_qvmod_pitch = 100;  // --pitch: QVMOD's pitch ratio, to measure what a tuning difference costs

Render render_qvmod(const Song &s, const Mute &mute, int flags = 0)
{
    Render r;
    QVMOD_RENDER *q = qvmod_render_open(s.module, am::kRate, flags);
    if (!q) return r;
    qvmod_render_set_volume(q, kModVolume);
    qvmod_render_set_pitch(q, g_qvmod_pitch);
    qvmod_render_set_loops(q, -1);  // the length is the comparison's, not the song's
    for (size_t ch = 0; ch < mute.size(); ch++)
        if (mute[ch]) qvmod_render_mute_channel(q, static_cast<int>(ch), 1);
    r.resize(static_cast<size_t>(s.frames) * 2);
    const int n = qvmod_render_float(q, r.data(), static_cast<int>(s.frames));
    r.resize(static_cast<size_t>(std::max(n, 0)) * 2);
    qvmod_render_close(q);
    return r;
}

// libopenmpt at its defaults; `ramping` as its volume ramping setting (-1 its default, 0 off).
Render render_openmpt(const Song &s, const Mute &mute, int ramping = -1)
{
    int error = 0;
    const char *message = nullptr;
    openmpt_module_ext *ext = openmpt_module_ext_create_from_memory(
        s.bytes.data(), s.bytes.size(), openmpt_log_func_silent, nullptr, nullptr, nullptr, &error,
        &message, nullptr);
    if (!ext) return {};
    openmpt_module *mod = openmpt_module_ext_get_module(ext);
    openmpt_module_set_repeat_count(mod, 0);
    openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, ramping);
    openmpt_module_ext_interface_interactive interactive{};
    if (openmpt_module_ext_get_interface(ext, LIBOPENMPT_EXT_C_INTERFACE_INTERACTIVE, &interactive,
                                         sizeof interactive))
        for (size_t ch = 0; ch < mute.size(); ch++)
            if (mute[ch]) interactive.set_channel_mute_status(ext, s.peer_channel[ch], 1);
    Render r(static_cast<size_t>(s.frames) * 2);
    long done = 0;
    while (done < s.frames) {
        const size_t want = static_cast<size_t>(std::min<long>(kPeerBlockFrames, s.frames - done));
        const size_t got =
            openmpt_module_read_interleaved_float_stereo(mod, am::kRate, want, &r[2 * done]);
        if (got == 0) break;
        done += static_cast<long>(got);
    }
    r.resize(static_cast<size_t>(done) * 2);
    openmpt_module_ext_destroy(ext);
    return r;
}

Render render_xmp(const Song &s, const Mute &mute)
{
    Render r;
    xmp_context ctx = xmp_create_context();
    if (xmp_load_module_from_memory(ctx, s.bytes.data(), static_cast<long>(s.bytes.size())) != 0) {
        xmp_free_context(ctx);
        return r;
    }
    if (xmp_start_player(ctx, am::kRate, 0) == 0) {
        for (size_t ch = 0; ch < mute.size(); ch++)
            if (mute[ch]) xmp_channel_mute(ctx, s.peer_channel[ch], 1);
        xmp_frame_info fi;
        while (static_cast<long>(r.size() / 2) < s.frames && xmp_play_frame(ctx) == 0) {
            xmp_get_frame_info(ctx, &fi);
            if (fi.loop_count > 0) break;
            const auto *pcm = static_cast<const int16_t *>(fi.buffer);
            for (int i = 0; i < fi.buffer_size / 2; i++) r.push_back(pcm[i] * kInt16Scale);
        }
        xmp_end_player(ctx);
    }
    xmp_release_module(ctx);
    xmp_free_context(ctx);
    r.resize(std::min(r.size(), static_cast<size_t>(s.frames) * 2));
    return r;
}

// ---------------------------------------------------------------- songs

const char *format_name(int type)
{
    switch (type) {
    case QVMOD_TYPE_MOD15:
    case QVMOD_TYPE_MOD31: return "MOD";
    case QVMOD_TYPE_S3M:
    case QVMOD_TYPE_UMX_S3M: return "S3M";
    case QVMOD_TYPE_XM:
    case QVMOD_TYPE_UMX_XM: return "XM";
    case QVMOD_TYPE_QVM: return "QVM";
    default: return "other";
    }
}

// The peers number S3M channels as the file does; QVMOD numbers the enabled ones densely.
std::vector<int> peer_channels(const Song &s)
{
    std::vector<int> map;
    if (s.format == "S3M" && s.bytes.size() >= kS3mChannelSettings + kS3mSourceChannels &&
        s.bytes[0] != 0xC1) {
        for (int i = 0; i < kS3mSourceChannels; i++)
            if (s.bytes[kS3mChannelSettings + i] < kS3mChannelOff) map.push_back(i);
    }
    for (int ch = static_cast<int>(map.size()); ch < s.module->channel_count; ch++)
        map.push_back(ch);
    return map;
}

bool load_song(const char *path, int seconds, Song &s)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "module_compare: %s: %s\n", path, std::strerror(errno));
        return false;
    }
    s.path = path;
    s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    QVMOD_INFO info;
    if (get_mod_info(path, &info) < 0 || !(s.module = load_mod(path))) {
        std::fprintf(stderr, "module_compare: %s: %s\n", path, qvmod_error);
        return false;
    }
    s.format = format_name(info.type);
    const long ms = std::min<long>(std::max(get_mod_length(s.module), 0), seconds * 1000L);
    s.frames = ms * am::kRate / 1000;
    s.peer_channel = peer_channels(s);
    return true;
}

// ---------------------------------------------------------------- figures

struct Figures {
    am::Similarity qv_ompt, xmp_ompt, qv_xmp;
};

void print_similarity(const am::Similarity &s)
{
    std::printf("  %.3f %.3f %.3f", s.loudness, s.chroma, s.brightness);
}

// The three players' curves side by side, a line per window, for plotting a song that differs.
void write_curves(const std::string &path, const am::Curves (&c)[3])
{
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (!f) return;
    std::fprintf(f, "window\tL_qv\tL_ompt\tL_xmp\tB_qv\tB_ompt\tB_xmp\n");
    const size_t n = std::min({c[0].loudness.size(), c[1].loudness.size(), c[2].loudness.size()});
    for (size_t i = 0; i < n; i++)
        std::fprintf(f, "%zu\t%.2f\t%.2f\t%.2f\t%.0f\t%.0f\t%.0f\n", i, c[0].loudness[i],
                     c[1].loudness[i], c[2].loudness[i], c[0].centroid[i], c[1].centroid[i],
                     c[2].centroid[i]);
    std::fclose(f);
}

std::string g_curves_dir;  // --curves: where each song's curves go

Figures compare_song(const Song &s, const Mute &mute)
{
    const am::Curves c[3] = {am::analyse(render_qvmod(s, mute)),
                             am::analyse(render_openmpt(s, mute)),
                             am::analyse(render_xmp(s, mute))};
    if (!g_curves_dir.empty()) {
        // SONG.tsv for the whole song, SONG.solo-N.tsv for channel N alone.
        const size_t slash = s.path.find_last_of('/');
        std::string name = s.path.substr(slash == std::string::npos ? 0 : slash + 1);
        if (std::count(mute.begin(), mute.end(), false) == 1)
            name += ".solo-" +
                    std::to_string(std::find(mute.begin(), mute.end(), false) - mute.begin());
        else if (!mute.empty())
            name.clear();
        if (!name.empty()) write_curves(g_curves_dir + "/" + name + ".tsv", c);
    }
    return {am::compare(c[1], c[0]), am::compare(c[1], c[2]), am::compare(c[2], c[0])};
}

// Each channel alone, then the song without it, against libopenmpt.
void compare_channels(const Song &s)
{
    const int channels = std::min(s.module->channel_count, QVMOD_MAX_CHANNELS);
    std::printf("  channel  solo: qv-ompt L C B   xmp-ompt L C B   | muted: qv-ompt L C B\n");
    for (int ch = 0; ch < channels; ch++) {
        Mute solo(static_cast<size_t>(channels), true);
        solo[static_cast<size_t>(ch)] = false;
        const Figures alone = compare_song(s, solo);
        std::printf("  %7d ", ch);
        if (alone.qv_ompt.windows == 0) {
            std::printf(" (no sound)\n");
            continue;
        }
        print_similarity(alone.qv_ompt);
        print_similarity(alone.xmp_ompt);
        Mute without(static_cast<size_t>(channels), false);
        without[static_cast<size_t>(ch)] = true;
        std::printf("   |");
        print_similarity(compare_song(s, without).qv_ompt);
        std::printf("\n");
    }
}

// Clicks in each player's render of a song, with and without its volume ramps.
struct ClickCounts {
    long qvmod, qvmod_unramped, openmpt, openmpt_unramped;
};

ClickCounts count_clicks(const Song &s, double threshold)
{
    return {am::clicks(render_qvmod(s, Mute()), threshold),
            am::clicks(render_qvmod(s, Mute(), QVMOD_RENDER_NO_RAMPS), threshold),
            am::clicks(render_openmpt(s, Mute()), threshold),
            am::clicks(render_openmpt(s, Mute(), 0), threshold)};
}

// The probe songs as files, for this tool and the peers' own players.
int write_probes(const std::string &dir)
{
    for (const auto &[name, image] : probe_modules()) {
        const std::string path = dir + "/" + name;
        std::FILE *f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size() ||
            std::fclose(f) != 0) {
            std::fprintf(stderr, "module_compare: %s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}

void usage(FILE *to)
{
    std::fputs(
        "usage: module_compare [--seconds N] [--channels | --clicks] FILE...\n"
        "Renders each module with QVMOD, libopenmpt and libxmp at 44100 Hz and prints how closely\n"
        "the renders agree: L loudness (correlation of the dB curves), C chroma (mean cosine of "
        "the\n"
        "pitch-class profiles), B brightness (correlation of the spectral centroids), in 10 s\n"
        "stretches at their best lag within +-150 ms; then the medians per format.\n"
        "  --seconds N  compare at most the first N seconds of each song (default 240)\n"
        "  --channels   also each channel alone, and the song without it (QVMOD against "
        "libopenmpt)\n"
        "  --clicks     instead count clicks: frames stepping by more than the threshold (default\n"
        "               0.02 of full scale, --click-threshold X) with every render at -20 dBFS\n"
        "               RMS; QVMOD and libopenmpt with their volume ramps on and off\n"
        "  --curves DIR write each song's loudness and brightness curves into DIR\n"
        "  --pitch P    render QVMOD at P percent of its pitch (what a tuning costs)\n"
        "  --write-probes DIR  write the generated probe songs into DIR\n",
        to);
}

}  // namespace

int main(int argc, char **argv)
{
    int seconds = kDefaultSeconds;
    bool channels = false;
    bool clicks = false;
    double click_threshold = am::kClickThreshold;
    std::vector<const char *> files;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--curves") == 0 && i + 1 < argc) {
            g_curves_dir = argv[++i];
        } else if (std::strcmp(argv[i], "--pitch") == 0 && i + 1 < argc) {
            g_qvmod_pitch = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--channels") == 0) {
            channels = true;
        } else if (std::strcmp(argv[i], "--clicks") == 0) {
            clicks = true;
        } else if (std::strcmp(argv[i], "--click-threshold") == 0 && i + 1 < argc) {
            click_threshold = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--write-probes") == 0 && i + 1 < argc) {
            return write_probes(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--help") == 0) {
            usage(stdout);
            return 0;
        } else if (argv[i][0] == '-') {
            usage(stderr);
            return 2;
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) {
        usage(stderr);
        return 2;
    }
    // Loading reads through Allegro's file functions; the render API needs nothing else.
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;

    if (clicks) {
        std::printf("%-40s %-4s %6s %10s %10s %10s %10s\n", "song", "fmt", "sec", "qvmod",
                    "unramped", "openmpt", "unramped");
        ClickCounts total{};
        int status = 0;
        for (const char *path : files) {
            Song s;
            if (!load_song(path, seconds, s)) {
                destroy_mod(s.module);
                status = 1;
                continue;
            }
            const ClickCounts c = count_clicks(s, click_threshold);
            const char *slash = std::strrchr(path, '/');
            std::printf("%-40.40s %-4s %6.1f %10ld %10ld %10ld %10ld\n", slash ? slash + 1 : path,
                        s.format.c_str(), static_cast<double>(s.frames) / am::kRate, c.qvmod,
                        c.qvmod_unramped, c.openmpt, c.openmpt_unramped);
            total = {total.qvmod + c.qvmod, total.qvmod_unramped + c.qvmod_unramped,
                     total.openmpt + c.openmpt, total.openmpt_unramped + c.openmpt_unramped};
            destroy_mod(s.module);
        }
        std::printf("%-40s %-4s %6s %10ld %10ld %10ld %10ld\n", "total", "", "", total.qvmod,
                    total.qvmod_unramped, total.openmpt, total.openmpt_unramped);
        return status;
    }

    std::map<std::string, std::vector<Figures>> by_format;
    std::printf("%-40s %-4s %6s   qv-ompt L C B        xmp-ompt L C B       qv-xmp L C B\n", "song",
                "fmt", "sec");
    int status = 0;
    for (const char *path : files) {
        Song s;
        if (!load_song(path, seconds, s)) {
            destroy_mod(s.module);
            status = 1;
            continue;
        }
        const char *slash = std::strrchr(path, '/');
        const Figures f = compare_song(s, Mute());
        std::printf("%-40.40s %-4s %6.1f", slash ? slash + 1 : path, s.format.c_str(),
                    static_cast<double>(s.frames) / am::kRate);
        print_similarity(f.qv_ompt);
        std::printf("  ");
        print_similarity(f.xmp_ompt);
        std::printf("  ");
        print_similarity(f.qv_xmp);
        std::printf("\n");
        std::fflush(stdout);
        by_format[s.format].push_back(f);
        if (channels) compare_channels(s);
        destroy_mod(s.module);
    }

    std::printf(
        "\nmedians          qv-ompt L C B        xmp-ompt L C B      below %.2f L with "
        "peers >= %.2f   peers >= %.2f\n",
        kFollows, kPeersAgree, kPeersAgree);
    for (const auto &[format, list] : by_format) {
        std::vector<double> q[3], x[3];
        int clear = 0, below = 0;
        for (const Figures &f : list) {
            q[0].push_back(f.qv_ompt.loudness);
            q[1].push_back(f.qv_ompt.chroma);
            q[2].push_back(f.qv_ompt.brightness);
            x[0].push_back(f.xmp_ompt.loudness);
            x[1].push_back(f.xmp_ompt.chroma);
            x[2].push_back(f.xmp_ompt.brightness);
            if (f.xmp_ompt.loudness >= kPeersAgree) {
                clear++;
                if (f.qv_ompt.loudness < kFollows) below++;
            }
        }
        std::printf("%-5s %3zu songs ", format.c_str(), list.size());
        for (auto &v : q) std::printf(" %.3f", am::median(v));
        std::printf("  ");
        for (auto &v : x) std::printf(" %.3f", am::median(v));
        std::printf("      %d of %d%*s%d of %zu\n", below, clear, 22, "", clear, list.size());
    }

    return status;
}
