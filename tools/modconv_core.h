// SPDX-License-Identifier: MIT
// Module to QVM conversion and the comparison that proves a conversion kept the module.
#ifndef QVMOD_MODCONV_CORE_H
#define QVMOD_MODCONV_CORE_H

#include <string>

#include "qvmod.h"

// Adjusts what the QVM format cannot hold as it is, without changing how the module plays:
// a restart position at or past the song's end becomes 0.
void prepare_for_qvm(QVMOD *m);

// Loads IN with load_mod and writes it to OUT as QVM. Empty on success, else the reason.
std::string convert_to_qvm(const char *in, const char *out);

// Empty when the two modules play the same: header, orders, pans, cells, instruments, and every
// non-empty sample's frames, loop and playing parameters. Otherwise the first difference.
std::string compare_modules(const QVMOD *a, const QVMOD *b);

#endif
