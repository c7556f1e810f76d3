# SPDX-License-Identifier: MIT
# CMake toolchain for 32-bit Windows programs from Debian's mingw-w64 cross compiler (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(QVX_MINGW_TRIPLET i686-w64-mingw32)
# The posix variant: the module player uses standard threads and thread_local.
set(CMAKE_C_COMPILER ${QVX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QVX_MINGW_TRIPLET}-windres)

# Headers and libraries only from the target's root (and from the Allegro prefix given as
# CMAKE_PREFIX_PATH); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QVX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
