// SPDX-License-Identifier: MIT
// The check that a loaded module keeps what the player relies on, shared by the loader tests,
// the fuzz harnesses and the loaded-module play tests.
#ifndef QVX_TEST_MODULE_PROMISES_H
#define QVX_TEST_MODULE_PROMISES_H

#include <string>

#include "qvmod.h"

namespace qvx_test {

enum class Promises {
    // What the player itself relies on: QVM files may hold 16-bit samples and envelope indexes
    // anywhere in a byte (the player brings them inside the points when an envelope starts).
    Player,
    // As the MOD, S3M and XM readers leave a module: 8-bit samples, envelope indexes inside the points.
    Readers,
};

// Empty when the player can play the module without reading outside an array, else the first
// broken promise with the numbers involved: the counts, the orders, every cell, every sample's
// loop and data block, every instrument's envelopes. Under AddressSanitizer the pattern and
// sample blocks are also measured against the lengths that claim them.
std::string broken_promise(const QVMOD *m, Promises level = Promises::Player);

}  // namespace qvx_test

#endif
