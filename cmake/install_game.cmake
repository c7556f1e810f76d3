# SPDX-License-Identifier: MIT
# Installing the game the way Debian lays out games, and an `uninstall` target.
#
# Included once from the top-level CMakeLists.txt. The rules are in the install component
# "quorvex" (`cmake --install BUILD --component quorvex` installs the game alone):
#   PREFIX/lib/games/quorvex/   quorvex, quorvex.dat, patches.dat: the game finds its data
#                               beside the real executable (with QVX_GAME_DATADIR set, the two
#                               data files live there and relative links stand beside the game)
#   PREFIX/games/quorvex        relative symbolic link to it: the command on the PATH
#   PREFIX/share/applications/, share/icons/hicolor/*/apps/, share/metainfo/, share/man/man6/
#   PREFIX/share/games/quorvex/screenshots/   with QVX_SCREENSHOTS: the metainfo's screenshots
#
# Also runs as a script, which is what the uninstall target does:
#   [DESTDIR=STAGE] cmake [-DMANIFEST=FILE] [-DGAME_DIR=lib/games/quorvex] -P install_game.cmake
# removes every file and link an install listed in its manifest (install_manifest.txt by
# default; below DESTDIR when the install was staged there), then the directories that became empty, up to the prefix (found from the game's
# executable in the manifest; without it no directory is removed). In the system prefixes /usr
# and /usr/local the directories the base system ships there (bin, games, lib, share/man ...)
# stay; a private prefix or a DESTDIR staging tree is left empty.

if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT MANIFEST)
    set(MANIFEST install_manifest.txt)
  endif()
  if(NOT EXISTS "${MANIFEST}")
    message(STATUS "Nothing to uninstall: ${MANIFEST} does not exist")
    return()
  endif()
  file(STRINGS "${MANIFEST}" installed)
  if(NOT GAME_DIR)
    set(GAME_DIR lib/games/quorvex)
  endif()
  set(prefix "")
  foreach(path IN LISTS installed)
    if(path MATCHES "^(.+)/${GAME_DIR}/quorvex$")
      set(prefix "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  # The manifest lists paths without DESTDIR, as a staged install was asked for.
  set(stage "$ENV{DESTDIR}")
  set(system_prefix TRUE)
  if(stage OR (prefix AND NOT prefix MATCHES "^(/usr|/usr/local)/?$"))
    set(system_prefix FALSE)
  endif()
  if(prefix)
    set(prefix "${stage}${prefix}")
  endif()
  # What the base system ships in /usr and /usr/local: stays even when empty.
  set(base_dirs bin sbin etc games include lib lib64 man share share/man src)
  set(dirs "")
  foreach(path IN LISTS installed)
    if(path STREQUAL "")
      continue()
    endif()
    set(path "${stage}${path}")
    if(IS_SYMLINK "${path}" OR EXISTS "${path}")
      if(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
        message(WARNING "Not removing the directory ${path}")
        continue()
      endif()
      message(STATUS "Removing: ${path}")
      file(REMOVE "${path}")
      if(IS_SYMLINK "${path}" OR EXISTS "${path}")
        message(FATAL_ERROR "Could not remove ${path}")
      endif()
    endif()
    get_filename_component(dir "${path}" DIRECTORY)
    list(APPEND dirs "${dir}")
  endforeach()
  # Climb from each file's directory while directories are empty.
  list(REMOVE_DUPLICATES dirs)
  foreach(dir IN LISTS dirs)
    while(IS_DIRECTORY "${dir}" AND NOT IS_SYMLINK "${dir}")
      file(GLOB left "${dir}/*" "${dir}/.*")
      list(FILTER left EXCLUDE REGEX "/\\.\\.?$")
      if(left)
        break()
      endif()
      # Only directories strictly inside a known prefix.
      string(FIND "${dir}" "${prefix}/" inside)
      if(NOT prefix OR NOT inside EQUAL 0)
        break()
      endif()
      if(system_prefix)
        file(RELATIVE_PATH below "${prefix}" "${dir}")
        if(below IN_LIST base_dirs)
          break()
        endif()
      endif()
      message(STATUS "Removing directory: ${dir}")
      file(REMOVE_RECURSE "${dir}")   # empty, as checked just above
      get_filename_component(dir "${dir}" DIRECTORY)
    endwhile()
  endforeach()
  return()
endif()

set(QVX_GAME_DIR lib/games/quorvex CACHE STRING
    "Directory below the prefix that holds the game executable with its datafile and patch set")
set(QVX_GAME_BINDIR games CACHE STRING "Directory below the prefix that holds the quorvex command")
set(QVX_GAME_DATADIR "" CACHE STRING
    "Directory below the prefix for quorvex.dat and patches.dat (empty: beside the executable)")
set(QVX_HOMEPAGE "https://quorvex.example.org/" CACHE STRING
    "The project's web address: the metainfo's homepage, under which the screenshots are published")
option(QVX_SCREENSHOTS "Draw the metainfo's screenshots with the game under Xvfb, and install them" OFF)
set(QVX_APP_ID org.quorvex.vastrelon)
set(qvx_component COMPONENT quorvex)

# Installs a relative symbolic link PREFIX/LINK -> PREFIX/TARGET, so the tree can be moved or staged
# with DESTDIR; the link goes into the install manifest like a file.
function(qvx_install_link target link)
  get_filename_component(link_dir /prefix/${link} DIRECTORY)
  file(RELATIVE_PATH relative ${link_dir} /prefix/${target})
  get_filename_component(link_dir ${link} DIRECTORY)
  install(CODE "
    set(link \"\${CMAKE_INSTALL_PREFIX}/${link}\")
    message(STATUS \"Installing: \$ENV{DESTDIR}\${link} -> ${relative}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link_dir}\")
    file(REMOVE \"\$ENV{DESTDIR}\${link}\")
    file(CREATE_LINK \"${relative}\" \"\$ENV{DESTDIR}\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")   # without DESTDIR, like the others
  " ${qvx_component})
endfunction()

# The icon, drawn by the build from the tile art.
find_program(QVX_ICON_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT QVX_ICON_PYTHON)
  find_program(QVX_ICON_PYTHON python3 REQUIRED)
endif()
set(qvx_icon_dir ${CMAKE_BINARY_DIR}/packaging/icons)
set(qvx_icon_sizes 16 24 32 48 64 128 256)
set(qvx_icons "")
foreach(size IN LISTS qvx_icon_sizes)
  list(APPEND qvx_icons ${qvx_icon_dir}/${size}x${size}/${QVX_APP_ID}.png)
endforeach()
file(GLOB qvx_art_scripts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/assets/gen/*.py)
add_custom_command(
  OUTPUT ${qvx_icons}
  COMMAND ${QVX_ICON_PYTHON} -B ${PROJECT_SOURCE_DIR}/packaging/make_icons.py ${qvx_icon_dir} ${QVX_APP_ID}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/make_icons.py ${qvx_art_scripts}
  COMMENT "Drawing the application icon"
  VERBATIM)
add_custom_target(quorvex_icons ALL DEPENDS ${qvx_icons})

# The screenshots of the metainfo: the real screens, drawn by the e2e suite's driver.
set(qvx_shot_dir ${CMAKE_BINARY_DIR}/packaging/screenshots)
set(qvx_shots ${qvx_shot_dir}/title.png ${qvx_shot_dir}/play.png ${qvx_shot_dir}/high-scores.png)
file(GLOB qvx_driver CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/*.py)
add_custom_command(
  OUTPUT ${qvx_shots}
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR} -DOUT=${CMAKE_BINARY_DIR}/packaging/qvx_formats.py
          -P ${PROJECT_SOURCE_DIR}/tests/support/qvx_formats.cmake
  COMMAND ${CMAKE_COMMAND} -E env QVX_GAME=$<TARGET_FILE:quorvex> PYTHONDONTWRITEBYTECODE=1
          PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/e2e:${CMAKE_BINARY_DIR}/packaging
          ${QVX_ICON_PYTHON} -B ${PROJECT_SOURCE_DIR}/packaging/make_screenshots.py ${qvx_shot_dir}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/make_screenshots.py ${qvx_driver} quorvex quorvex_dat
  COMMENT "Drawing the screenshots of the title, a game in play and the high-score table"
  VERBATIM)
if(QVX_SCREENSHOTS)
  add_custom_target(quorvex_screenshots ALL DEPENDS ${qvx_shots})
else()
  add_custom_target(quorvex_screenshots DEPENDS ${qvx_shots})
endif()
# Each release's pictures under their own version, so an older package keeps showing its own.
string(REGEX REPLACE "/+$" "" QVX_SCREENSHOT_URL "${QVX_HOMEPAGE}")
string(APPEND QVX_SCREENSHOT_URL "/screenshots/${PROJECT_VERSION}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/${QVX_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${QVX_APP_ID}.metainfo.xml @ONLY)

# The game directory: the executable with everything it reads beside it.
install(TARGETS quorvex RUNTIME DESTINATION ${QVX_GAME_DIR} ${qvx_component})
set(qvx_game_data ${CMAKE_BINARY_DIR}/game/quorvex.dat)
if(TARGET quorvex_midi_patches)
  list(APPEND qvx_game_data ${CMAKE_BINARY_DIR}/game/patches.dat)
endif()
if(QVX_GAME_DATADIR)
  install(FILES ${qvx_game_data} DESTINATION ${QVX_GAME_DATADIR} ${qvx_component})
  foreach(data IN LISTS qvx_game_data)
    get_filename_component(name ${data} NAME)
    qvx_install_link(${QVX_GAME_DATADIR}/${name} ${QVX_GAME_DIR}/${name})
  endforeach()
else()
  install(FILES ${qvx_game_data} DESTINATION ${QVX_GAME_DIR} ${qvx_component})
endif()

# The command on the PATH.
qvx_install_link(${QVX_GAME_DIR}/quorvex ${QVX_GAME_BINDIR}/quorvex)

# Desktop integration and documentation.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${QVX_APP_ID}.desktop DESTINATION share/applications ${qvx_component})
foreach(size IN LISTS qvx_icon_sizes)
  install(FILES ${qvx_icon_dir}/${size}x${size}/${QVX_APP_ID}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps ${qvx_component})
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/packaging/${QVX_APP_ID}.metainfo.xml DESTINATION share/metainfo ${qvx_component})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/quorvex.6 DESTINATION share/man/man6 ${qvx_component})
if(QVX_SCREENSHOTS)
  install(FILES ${qvx_shots} DESTINATION share/games/quorvex/screenshots ${qvx_component})
endif()

add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt -DGAME_DIR=${QVX_GAME_DIR}
          -P ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Removing what the last cmake --install put in place"
  VERBATIM)
