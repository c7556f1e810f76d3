// SPDX-License-Identifier: MIT
// The ping-pong store: each played module's forward-looping copies of its ping-pong samples.
#include "player_internal.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

namespace {

// Every played module's copies. Touched only by play_mod and destroy_mod, on the caller's thread
// and under the mutex; the tick never takes it and reads only g_playing_copies.
std::mutex g_copies_mutex;
std::unordered_map<const QVMOD *, std::unique_ptr<PingPongCopies>> g_copies;
const PingPongCopies *g_playing_copies = nullptr;  // the copies of `of`; changed only while held

}  // namespace

PingPongCopies::~PingPongCopies()
{
    for (SAMPLE &s : copies) std::free(s.data);
}

void PingPongCopies::make(const QVMOD *m)
{
    if (!m->samples || !m->sample_info || m->sample_count < 1) return;
    copies.assign(static_cast<size_t>(m->sample_count), SAMPLE{});
    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &src = m->samples[i];
        if (!(m->sample_info[i].loop_type & QVMOD_LOOP_BIDIR) || !src.data) continue;
        if (src.loop_end > src.len || src.loop_start >= src.loop_end) continue;
        const size_t frame = src.bits == 16 ? 2 : 1;
        const size_t ahead = src.loop_end;  // frames up to the loop end
        const size_t back =
            src.loop_end - src.loop_start >= 2 ? src.loop_end - src.loop_start - 2 : 0;
        auto *data = static_cast<unsigned char *>(std::malloc((ahead + back) * frame));
        if (!data) continue;
        const auto *from = static_cast<const unsigned char *>(src.data);
        std::memcpy(data, from, ahead * frame);
        for (size_t k = 0; k < back; k++)  // loop_end - 2 down to loop_start + 1
            std::memcpy(data + (ahead + k) * frame, from + (src.loop_end - 2 - k) * frame, frame);
        SAMPLE &copy = copies[static_cast<size_t>(i)];
        copy = src;
        copy.data = data;
        copy.len = ahead + back;
        copy.loop_end = ahead + back;
    }
}

std::unique_lock<std::mutex> lock_pingpong_store()
{
    return std::unique_lock<std::mutex>(g_copies_mutex);
}

const PingPongCopies *pingpong_copies_for(const QVMOD *m)
{
    try {
        std::unique_ptr<PingPongCopies> &slot = g_copies[m];
        if (!slot) {
            auto made = std::make_unique<PingPongCopies>();
            made->make(m);
            slot = std::move(made);
        }
        return slot.get();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

std::unique_ptr<PingPongCopies> take_pingpong_copies(const QVMOD *m)
{
    const auto it = g_copies.find(m);
    if (it == g_copies.end()) return nullptr;
    std::unique_ptr<PingPongCopies> copies = std::move(it->second);
    g_copies.erase(it);
    return copies;
}

void set_playing_copies(const PingPongCopies *copies)
{
    g_playing_copies = copies;
}

const PingPongCopies *playing_copies()
{
    return g_playing_copies;
}

const SAMPLE *pingpong_copy(int number)
{
    const PingPongCopies *c = g_playing_copies;
    if (!c || number < 0 || static_cast<size_t>(number) >= c->copies.size()) return nullptr;
    const SAMPLE &s = c->copies[static_cast<size_t>(number)];
    return s.data ? &s : nullptr;
}
