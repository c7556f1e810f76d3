// SPDX-License-Identifier: MIT
// QVM writer: serialises an in-memory QVMOD module into the QVM byte image that load_qvm reads.
#ifndef QVM_WRITER_H
#define QVM_WRITER_H

#include <string>
#include <vector>

#include "qvmod.h"

// The complete QVM image of a module, signature included; empty when the module cannot be
// written (see qvm_check). Period modules store each cell's pitch value v as the Amiga period p
// with 3579546 / p == v; pitch values that no period gives are written as the nearest period.
std::vector<unsigned char> qvm_write(const QVMOD *m);

// Writes qvm_write(m) to a file; false when the module is refused or the file cannot be written.
bool qvm_write_file(const QVMOD *m, const char *path);

// Empty when load_qvm would accept the image of m, else the reason it cannot be written:
// counts beyond the record limits, orders or cells naming missing patterns, samples or
// instruments, envelopes with indexes outside their points, empty patterns, stereo or
// non-8/16-bit samples, values that do not fit their bytes or words.
std::string qvm_check(const QVMOD *m);

// The Amiga period stored in the file for a period module's pitch value (0 and negative
// values pass through).
int qvm_pitch_to_period(int pitch);

#endif
