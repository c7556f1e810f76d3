// SPDX-License-Identifier: MIT
// libmikmod for the loading benchmark, behind a header of its own: mikmod.h and qvmod.h name the same things.
#ifndef QVMOD_LOAD_BENCHMARK_MIKMOD_H
#define QVMOD_LOAD_BENCHMARK_MIKMOD_H

// The library with its silent driver and every loader; false when it cannot start.
bool mikmod_start();
// Loads and frees one module file; null on success, else libmikmod's message.
const char *mikmod_load_and_free(const char *path);
void mikmod_stop();

#endif
