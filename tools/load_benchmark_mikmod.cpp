// SPDX-License-Identifier: MIT
// libmikmod for the loading benchmark: start on the silent driver, load a module from its path, free it.
#include "load_benchmark_mikmod.h"

#include <mikmod.h>

namespace {
constexpr int kMaxChannels = 64;
}

bool mikmod_start()
{
    MikMod_RegisterDriver(&drv_nos);
    MikMod_RegisterAllLoaders();
    return MikMod_Init(const_cast<CHAR *>("")) == 0;
}

const char *mikmod_load_and_free(const char *path)
{
    MODULE *m = Player_Load(const_cast<CHAR *>(path), kMaxChannels, 0);
    if (!m) return MikMod_strerror(MikMod_errno);
    Player_Free(m);
    return nullptr;
}

void mikmod_stop()
{
    MikMod_Exit();
}
