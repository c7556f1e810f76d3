// Rendering a module into a 16-bit stereo WAV file through the tick engine and the hand-run mixer.
#include "module_render.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "manual_mixer.h"

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;
constexpr int kBlockAlign = kChannels * kBytesPerSample;
constexpr long kHeaderBytes = 44;
constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;
constexpr long kMaxDataBytes = 0x7FFFFFFFL - kHeaderBytes;  // what every WAV reader takes
constexpr std::size_t kFlushSamples = 1 << 16;

void put_le(std::vector<unsigned char> &out, unsigned long v, int bytes)
{
    for (int i = 0; i < bytes; i++)
        out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

void put_text(std::vector<unsigned char> &out, const char *text)
{
    for (; *text; text++) out.push_back(static_cast<unsigned char>(*text));
}

std::vector<unsigned char> wav_header(int rate, unsigned long data_bytes)
{
    std::vector<unsigned char> h;
    put_text(h, "RIFF");
    put_le(h, data_bytes + kHeaderBytes - 8, 4);
    put_text(h, "WAVEfmt ");
    put_le(h, 16, 4);  // fmt chunk size
    put_le(h, 1, 2);   // PCM
    put_le(h, kChannels, 2);
    put_le(h, static_cast<unsigned long>(rate), 4);
    put_le(h, static_cast<unsigned long>(rate) * kBlockAlign, 4);
    put_le(h, kBlockAlign, 2);
    put_le(h, 8 * kBytesPerSample, 2);
    put_text(h, "data");
    put_le(h, data_bytes, 4);
    return h;
}

bool little_endian()
{
    const uint16_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// A WAV file written as the sound comes; the sizes are filled in at the end.
class WavFile {
public:
    WavFile(const char *path, int rate) : f_(std::fopen(path, "wb")), rate_(rate)
    {
        if (f_)
            write(wav_header(rate_, 0));
        else
            error();
    }
    ~WavFile()
    {
        if (f_) std::fclose(f_);
    }
    WavFile(const WavFile &) = delete;
    WavFile &operator=(const WavFile &) = delete;

    void append(const int16_t *samples, std::size_t count)
    {
        data_bytes_ += count * kBytesPerSample;
        if (little_endian()) {
            if (f_ && err_ == 0 && std::fwrite(samples, kBytesPerSample, count, f_) != count)
                error();
            return;
        }
        bytes_.clear();
        for (std::size_t i = 0; i < count; i++)
            put_le(bytes_, static_cast<uint16_t>(samples[i]), kBytesPerSample);
        write(bytes_);
    }

    bool failed() const { return err_ != 0; }

    // Sizes filled in and the file closed; false with the reason when anything failed.
    bool finish(std::string &error)
    {
        if (f_ && err_ == 0) {
            const std::vector<unsigned char> h = wav_header(rate_, data_bytes_);
            if (std::fseek(f_, kRiffSizeOffset, SEEK_SET) != 0 ||
                std::fwrite(&h[kRiffSizeOffset], 1, 4, f_) != 4 ||
                std::fseek(f_, kDataSizeOffset, SEEK_SET) != 0 ||
                std::fwrite(&h[kDataSizeOffset], 1, 4, f_) != 4)
                this->error();
        }
        if (f_ && std::fclose(f_) != 0 && err_ == 0) this->error();
        f_ = nullptr;
        if (err_ != 0) error = std::strerror(err_);
        return err_ == 0;
    }

private:
    void error() { err_ = errno != 0 ? errno : EIO; }
    void write(const std::vector<unsigned char> &b)
    {
        if (f_ && err_ == 0 && std::fwrite(b.data(), 1, b.size(), f_) != b.size()) error();
    }

    std::FILE *f_;
    int rate_;
    int err_ = 0;
    unsigned long data_bytes_ = 0;
    std::vector<unsigned char> bytes_;
};

}  // namespace

long frames_of(long ms, int rate)
{
    return static_cast<long>((static_cast<long long>(ms) * rate + 500) / 1000);
}

bool render_wav(QVMOD *module, bool loop, long frames, int rate, const char *path,
                std::string &error)
{
    errno = 0;
    WavFile wav(path, rate);
    if (wav.failed()) return wav.finish(error);
    if (frames > kMaxDataBytes / kBlockAlign) frames = kMaxDataBytes / kBlockAlign;
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
