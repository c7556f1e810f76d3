// SPDX-License-Identifier: MIT
// How the screen loops wait: for the game timer's next 10 ms tick, without using the processor.
#include "Pacing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "Display.h"
#include "Pad.h"

namespace {

// The timer thread counts and signals; the main thread waits. The count changes under the mutex,
// so a wake-up can never fall between a waiter's test and its sleep.
std::mutex tick_mutex;
std::condition_variable tick_signal;
std::atomic<unsigned> ticks{0};
// The wait gives up after this long, so a loop still runs if no timer is installed.
constexpr std::chrono::milliseconds LONGEST_WAIT{20};

}  // namespace

void NotifyTick()
{
    {
        std::lock_guard<std::mutex> lock(tick_mutex);
        ticks.fetch_add(1, std::memory_order_relaxed);
    }
    tick_signal.notify_all();
}

unsigned TickCount()
{
    return ticks.load(std::memory_order_relaxed);
}

void WaitForTick()
{
    PresentScreen();
    std::unique_lock<std::mutex> lock(tick_mutex);
    const unsigned seen = ticks.load(std::memory_order_relaxed);
    tick_signal.wait_for(lock, LONGEST_WAIT,
                         [seen] { return ticks.load(std::memory_order_relaxed) != seen; });
    lock.unlock();
    PollPad(TickCount());
}
