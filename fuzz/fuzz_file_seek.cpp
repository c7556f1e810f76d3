// SPDX-License-Identifier: MIT
// Harness: qvmod_fseek, qvmod_skip and the byte readers on a damaged stream. The input holds a
// script and the file's bytes; the script interleaves absolute seeks (kept in memory, re-opening,
// or failing), skips by any count, reads of every width, and cuts to the file under a stream held
// in memory. A model of the stream says what every read must give.
#include <allegro.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

constexpr size_t kPrefixBytes = 2;  // the stream to start with, the script's length
constexpr size_t kStepBytes = 3;    // operation, 16-bit signed argument
constexpr int kMaxSteps = 32;
constexpr int kOperations = 8;
constexpr int kMaxRead = 300;

enum Operation { kSeek, kSeekElsewhere, kSkip, kGetc, kWord, kRead, kCut, kReopenAllegro };
enum class Kind { kNone, kMemory, kAllegro };

// What the stream should serve: its bytes and where it stands.
struct Model {
    Kind kind = Kind::kNone;
    std::vector<uint8_t> image;
    size_t pos = 0;

    void open(Kind k, const std::vector<uint8_t> &disk)
    {
        kind = k;
        image = disk;
        pos = 0;
    }
    size_t left() const { return image.size() - pos; }
    void skip(int count) { pos += std::min(static_cast<size_t>(count), left()); }
};

void expect(bool ok, const char *what, long a = 0, long b = 0)
{
    if (!ok) qvx_fuzz::fail(what, a, b);
}

// igetw, mgetw, igetl or mgetl against the model: the value when every byte is there, else EOF
// with the stream at its end.
void check_word(PACKFILE *f, Model &model, int which)
{
    const size_t bytes = which < 2 ? 2 : 4;
    const bool intel = which % 2 == 0;
    int got = 0;
    switch (which) {
    case 0: got = qvmod_igetw(f); break;
    case 1: got = qvmod_mgetw(f); break;
    case 2: got = qvmod_igetl(f); break;
    default: got = qvmod_mgetl(f); break;
    }
    if (model.kind == Kind::kNone || model.left() < bytes) {
        expect(got == EOF, "a short word read gave a value", got);
        model.pos = model.image.size();
        return;
    }
    unsigned int v = 0;
    for (size_t i = 0; i < bytes; i++) {
        const unsigned int b = model.image[model.pos + (intel ? bytes - 1 - i : i)];
        v = (v << 8) | b;
    }
    expect(got == static_cast<int>(v), "word read", got, static_cast<long>(v));
    model.pos += bytes;
}

}  // namespace

QVX_FUZZ_PLAYER_HARNESS

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kPrefixBytes) return 0;
    const bool start_allegro = data[0] & 1;
    const size_t steps =
        std::min<size_t>(data[1] % (kMaxSteps + 1), (size - kPrefixBytes) / kStepBytes);
    const uint8_t *script = data + kPrefixBytes;
    const size_t file_at = kPrefixBytes + steps * kStepBytes;
    std::vector<uint8_t> disk(data + file_at, data + size);

    qvx_fuzz::ScratchFile file(disk.data(), disk.size());
    const std::string elsewhere = std::string(file.path()) + ".missing";
    Model model;
    PACKFILE *f = start_allegro ? pack_fopen(file.path(), F_READ) : qvmod_fopen(file.path(), "rb");
    if (!f) qvx_fuzz::fail("cannot open the stream");
    model.open(start_allegro ? Kind::kAllegro : Kind::kMemory, disk);

    for (size_t s = 0; s < steps; s++) {
        const uint8_t *step = script + s * kStepBytes;
        const int op = step[0] % kOperations;
        const int arg = static_cast<int16_t>(step[1] | (step[2] << 8));
        switch (op) {
        case kSeek:
            // A stream held in memory moves within what it holds; any other is opened again.
            if (model.kind != Kind::kMemory) model.open(Kind::kMemory, disk);
            qvmod_fseek(&f, file.path(), arg);
            expect(f != nullptr, "seek lost the file");
            model.pos = 0;
            if (arg > 0) model.skip(arg);
            break;
        case kSeekElsewhere:
            qvmod_fseek(&f, (arg & 1) ? elsewhere.c_str() : nullptr, arg);
            expect(f == nullptr, "seek to a missing file gave a stream");
            model.open(Kind::kNone, {});
            break;
        case kSkip: {
            const int r = qvmod_skip(f, arg);
            if (model.kind == Kind::kNone)
                expect(r == EOF, "skip on no stream", r);
            else if (arg < 0)
                expect(r != 0, "a backward skip was taken", arg);
            else
                model.skip(arg);
            break;
        }
        case kGetc: {
            const int got = qvmod_getc(f);
            const int want =
                model.kind != Kind::kNone && model.left() ? model.image[model.pos++] : EOF;
            expect(got == want, "getc", got, want);
            break;
        }
        case kWord: check_word(f, model, arg & 3); break;
        case kRead: {
            const int n = arg % kMaxRead;
            uint8_t buffer[kMaxRead];
            const int got = qvmod_fread(buffer, n, f);
            const size_t want = model.kind == Kind::kNone || n <= 0
                                    ? 0
                                    : std::min(static_cast<size_t>(n), model.left());
            expect(got == static_cast<int>(want), "fread count", got, static_cast<long>(want));
            expect(want == 0 || std::memcmp(buffer, model.image.data() + model.pos, want) == 0,
                   "fread bytes", got);
            model.pos += want;
            break;
        }
        case kCut: {
            // Damage: the file loses its tail under the open stream. Not under Allegro's own stream,
            // which waits forever for the bytes it was promised at opening.
            if (model.kind == Kind::kAllegro) break;
            disk.resize(static_cast<uint16_t>(arg) % (disk.size() + 1));
            if (truncate(file.path(), static_cast<off_t>(disk.size())) != 0)
                qvx_fuzz::fail("cannot cut the file");
            break;
        }
        case kReopenAllegro:
            qvmod_fclose(f);
            f = pack_fopen(file.path(), F_READ);
            if (!f) qvx_fuzz::fail("cannot open the stream");
            model.open(Kind::kAllegro, disk);
            break;
        }
    }
    qvmod_fclose(f);
    return 0;
}
