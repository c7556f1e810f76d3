// Shared pieces of the loader tests: owned modules, loading an image, the readers' promises.
#ifndef QVMOD_LOADER_SUPPORT_H
#define QVMOD_LOADER_SUPPORT_H

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "module_promises.h"
#include "module_writers.h"
#include "qvmod.h"
#include "scratch.h"

using qvx_test::TempFile;

struct ModDeleter {
    void operator()(QVMOD *m) const { destroy_mod(m); }
};
using ModPtr = std::unique_ptr<QVMOD, ModDeleter>;

inline ModPtr load_image(const ModuleImage &bytes)
{
    TempFile f(bytes);
    return ModPtr(load_mod(f.path()));
}

inline NOTE_INFO &cell_at(QVMOD *m, int pattern, int row, int channel)
{
    return *get_note(m, pattern, row, channel);
}

// As the MOD, S3M and XM readers must leave a module for the player.
inline ::testing::AssertionResult keeps_player_promises(const QVMOD *m,
                                                        qvx_test::Promises level = qvx_test::Promises::Readers)
{
    const std::string broken = qvx_test::broken_promise(m, level);
    if (broken.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << broken;
}

#endif
