// SPDX-License-Identifier: MIT
// 16-bit stereo sound written as it comes, as a WAV file or raw frames, to a file or to a pipe.
#ifndef QVMOD_WAV_WRITER_H
#define QVMOD_WAV_WRITER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class WavWriter {
public:
    // `path` "-" writes to standard output. A WAV file's sizes are filled in at the end where the
    // output can seek; a pipe gets the largest sizes, which readers of streams take as "to the end".
    WavWriter(const char *path, int rate, bool raw);
    ~WavWriter();
    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    void append(const int16_t *samples, std::size_t count);  // interleaved left, right
    bool failed() const { return err_ != 0; }
    // The sizes filled in and the output closed; false with the reason when anything failed.
    bool finish(std::string &error);

    // Sample values past this many bytes do not fit a WAV file's sizes.
    static constexpr unsigned long kMaxDataBytes = 0x7FFFFFFFUL - 44;

private:
    void error();
    void write(const std::vector<unsigned char> &b);

    std::FILE *f_;
    bool own_;
    int rate_;
    bool raw_;
    int err_ = 0;
    unsigned long data_bytes_ = 0;
    std::vector<unsigned char> bytes_;
};

#endif
