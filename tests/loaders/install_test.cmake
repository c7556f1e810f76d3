# SPDX-License-Identifier: MIT
# Installs the library into a scratch prefix, checks the installed headers, and builds the example
# against it twice: through find_package(qvmod) and through pkg-config; the tools run from the
# prefix with their manual pages.
cmake_minimum_required(VERSION 3.18)
set(prefix ${DIR}/install-test/prefix)
file(REMOVE_RECURSE ${DIR}/install-test)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0 OR NOT EXISTS ${prefix}/include/qvmod.h)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

# The headers as installed: each stands alone as C99 (no warning); every header one of them
# includes by a quoted name, or that is one of the library's own, is installed too; and qvmod.h
# reaches all of them, so a user who includes it alone has every name.
file(GLOB installed RELATIVE ${prefix}/include ${prefix}/include/*.h)
file(GLOB_RECURSE library_headers RELATIVE ${LIBSRC} ${LIBSRC}/*.h)
list(TRANSFORM library_headers REPLACE ".*/" "")
execute_process(COMMAND pkg-config --cflags allegro OUTPUT_VARIABLE allegro_cflags
                OUTPUT_STRIP_TRAILING_WHITESPACE)
separate_arguments(allegro_cflags UNIX_COMMAND "${allegro_cflags}")
foreach(header ${installed})
  file(STRINGS ${prefix}/include/${header} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${includes})
    if(NOT line MATCHES "include[ \t]*([\"<])([^\">]+)[\">]")
      message(FATAL_ERROR "installed ${header}: unreadable include: ${line}")
    endif()
    set(name ${CMAKE_MATCH_2})
    get_filename_component(base ${name} NAME)
    if((CMAKE_MATCH_1 STREQUAL "\"" OR base IN_LIST library_headers) AND NOT base IN_LIST installed)
      message(FATAL_ERROR "installed ${header} includes ${name}, which is not installed")
    endif()
    list(APPEND includes_${header} ${base})
  endforeach()
endforeach()
foreach(header ${installed})
  execute_process(COMMAND cc -std=c99 -pedantic -Wall -Wextra -Werror -fsyntax-only -x c ${allegro_cflags}
                          -I${prefix}/include ${prefix}/include/${header}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "installed ${header} does not compile alone as C99: ${err}")
  endif()
endforeach()
set(reached qvmod.h)
set(queue qvmod.h)
while(queue)
  list(POP_FRONT queue header)
  foreach(next IN LISTS includes_${header})
    if(next IN_LIST installed AND NOT next IN_LIST reached)
      list(APPEND reached ${next})
      list(APPEND queue ${next})
    endif()
  endforeach()
endwhile()
list(REMOVE_ITEM installed ${reached})
if(installed)
  message(FATAL_ERROR "installed headers that qvmod.h does not include: ${installed}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SRC} -B ${DIR}/install-test/build -DCMAKE_PREFIX_PATH=${prefix}
                        "-DCMAKE_C_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring with find_package(qvmod) failed: ${out} ${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${DIR}/install-test/build RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building with find_package(qvmod) failed: ${out} ${err}")
endif()
separate_arguments(flag_list UNIX_COMMAND "${FLAGS}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig
                        pkg-config --cflags --libs qvmod
                RESULT_VARIABLE rc OUTPUT_VARIABLE pc OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config qvmod failed: ${err}")
endif()
separate_arguments(pc_list UNIX_COMMAND "${pc}")
execute_process(COMMAND cc ${flag_list} ${SRC}/play.c -o ${DIR}/install-test/play-pc ${pc_list}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building with pkg-config failed: ${err}")
endif()

foreach(tool modconv modplay)   # modplay last: its text is checked below
  execute_process(COMMAND ${prefix}/bin/${tool} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "usage: ${tool}" OR NOT EXISTS ${prefix}/share/man/man1/${tool}.1)
    message(FATAL_ERROR "installed ${tool}: ${rc} ${out} ${err}")
  endif()
endforeach()
if(NOT out MATCHES "-o, --render OUT")
  message(FATAL_ERROR "installed modplay --help does not tell of --render: ${out}")
endif()
