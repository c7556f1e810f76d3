// SPDX-License-Identifier: MIT
// WAV and raw 16-bit stereo output, little-endian whatever the machine, to files and pipes.
#include "wav_writer.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;
constexpr int kBlockAlign = kChannels * kBytesPerSample;
constexpr unsigned long kHeaderBytes = 44;
constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;
constexpr unsigned long kStreamDataBytes = 0xFFFFFFFFUL - kHeaderBytes;  // unknown length

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

bool seekable(std::FILE *f)
{
    return std::fseek(f, 0, SEEK_CUR) == 0;
}

}  // namespace

WavWriter::WavWriter(const char *path, int rate, bool raw)
    : f_(std::strcmp(path, "-") == 0 ? stdout : std::fopen(path, "wb")),
      own_(f_ && f_ != stdout),
      rate_(rate),
      raw_(raw)
{
    errno = 0;
    if (!f_) {
        error();
        return;
    }
    if (!raw_) write(wav_header(rate_, seekable(f_) ? 0 : kStreamDataBytes));
}

WavWriter::~WavWriter()
{
    if (own_ && f_) std::fclose(f_);
}

void WavWriter::error()
{
    err_ = errno != 0 ? errno : EIO;
}

void WavWriter::write(const std::vector<unsigned char> &b)
{
    if (f_ && err_ == 0 && std::fwrite(b.data(), 1, b.size(), f_) != b.size()) error();
}

void WavWriter::append(const int16_t *samples, std::size_t count)
{
    data_bytes_ += count * kBytesPerSample;
    if (little_endian()) {
        if (f_ && err_ == 0 && std::fwrite(samples, kBytesPerSample, count, f_) != count) error();
        return;
    }
    bytes_.clear();
    for (std::size_t i = 0; i < count; i++)
        put_le(bytes_, static_cast<uint16_t>(samples[i]), kBytesPerSample);
    write(bytes_);
}

bool WavWriter::finish(std::string &error)
{
    if (f_ && err_ == 0 && !raw_ && own_ && seekable(f_)) {
        const std::vector<unsigned char> h = wav_header(rate_, data_bytes_);
        if (std::fseek(f_, kRiffSizeOffset, SEEK_SET) != 0 ||
            std::fwrite(&h[kRiffSizeOffset], 1, 4, f_) != 4 ||
            std::fseek(f_, kDataSizeOffset, SEEK_SET) != 0 ||
            std::fwrite(&h[kDataSizeOffset], 1, 4, f_) != 4)
            this->error();
    }
    if (f_ && err_ == 0 && std::fflush(f_) != 0) this->error();
    if (own_ && f_ && std::fclose(f_) != 0 && err_ == 0) this->error();
    f_ = nullptr;
    if (err_ != 0) error = std::strerror(err_);
    return err_ == 0;
}
