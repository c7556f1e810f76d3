# SPDX-License-Identifier: MIT
# Patch set for Allegro's software MIDI synthesiser (DIGMID), built from Debian's freepats and put
# beside the game as patches.dat, where the driver looks first: the credits song is heard with no
# set-up by the player.
#
# Included once from the top-level CMakeLists.txt, after the game's directory. Also runs as a
# script (cmake -DIN=... -DOUT=... -P midi_patches.cmake) to turn the timidity index of freepats
# into the index DIGMID reads: melodic programs numbered 1-128, drums in a multipatch keyed by note.

if(CMAKE_SCRIPT_MODE_FILE)
  file(STRINGS "${IN}" lines)
  set(dir "")
  set(mode skip)
  set(tones "")
  set(drums "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*$" "" line "${line}")
    string(STRIP "${line}" line)
    if(line MATCHES "^dir[ \t]+(.+)$")
      set(dir "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^(drumset|bank)[ \t]+([0-9]+)")
      # Only the standard kit and the first bank: the others have no General MIDI meaning here.
      if(NOT CMAKE_MATCH_2 EQUAL 0)
        set(mode skip)
      elseif(CMAKE_MATCH_1 STREQUAL "drumset")
        set(mode drum)
      else()
        set(mode tone)
      endif()
    elseif(line MATCHES "^([0-9]+)[ \t]+([^ \t]+)" AND NOT mode STREQUAL "skip")
      set(number "${CMAKE_MATCH_1}")
      set(patch "${CMAKE_MATCH_2}")
      if(NOT IS_ABSOLUTE "${patch}")
        set(patch "${dir}/${patch}")
      endif()
      if(number LESS 128)
        if(mode STREQUAL "tone")
          math(EXPR number "${number} + 1")
          string(APPEND tones "${number} ${patch}\n")
        else()
          string(APPEND drums "${number} ${patch}\n")
        endif()
      endif()
    endif()
  endforeach()
  file(WRITE "${OUT}" "${tones}129 begin_multipatch\n${drums}end_multipatch\n")
  return()
endif()

set(QVX_FREEPATS_INDEX /etc/timidity/freepats.cfg CACHE FILEPATH
    "timidity index of the freepats patch set (Debian package freepats)")
find_program(QVX_PAT2DAT pat2dat)
set(qvx_patches ${CMAKE_BINARY_DIR}/game/patches.dat)

if(NOT EXISTS "${QVX_FREEPATS_INDEX}" OR NOT QVX_PAT2DAT)
  message(WARNING "freepats or pat2dat missing: the game's MIDI music will be silent")
else()
  set(qvx_digmid_index ${CMAKE_BINARY_DIR}/midi/freepats-digmid.cfg)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/midi)
  add_custom_command(
    OUTPUT ${qvx_patches}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/midi ${CMAKE_BINARY_DIR}/game
    COMMAND ${CMAKE_COMMAND} -DIN=${QVX_FREEPATS_INDEX} -DOUT=${qvx_digmid_index}
            -P ${CMAKE_CURRENT_LIST_FILE}
    # pat2dat puts the index's directory in front of every patch path, absolute ones too, so it
    # is given the index by a bare name from its own directory. The set is built aside and
    # renamed, so an interrupted build never leaves half a patch set in place.
    COMMAND ${QVX_PAT2DAT} -o patches.dat freepats-digmid.cfg
    COMMAND ${CMAKE_COMMAND} -E rename ${CMAKE_BINARY_DIR}/midi/patches.dat ${qvx_patches}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/midi
    DEPENDS ${QVX_FREEPATS_INDEX} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Building the MIDI patch set patches.dat from freepats"
    VERBATIM)
  add_custom_target(quorvex_midi_patches ALL DEPENDS ${qvx_patches})
  if(TARGET quorvex)
    add_dependencies(quorvex quorvex_midi_patches)
  endif()
endif()
