// SPDX-License-Identifier: MIT
// How the screen loops wait: for the game timer's next 10 ms tick, without using the processor.
#ifndef QUORVEX_PACING_H
#define QUORVEX_PACING_H

// Called by the game timer on each tick; wakes a loop waiting in WaitForTick.
void NotifyTick();
// Ticks since start-up (wraps around); the pad's repeat counts in them.
unsigned TickCount();
// One pass of a screen loop: shows the picture, sleeps until the game timer's next tick (or
// 20 ms at most, should no timer run), then reads the pad. A key, a click or a pad press is seen
// within one tick.
void WaitForTick();

#endif
