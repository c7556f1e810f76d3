# Installs the library into a scratch prefix and builds the example against it twice:
# through find_package(qvmod) and through pkg-config; the tools run from the prefix with their manual pages.
set(prefix ${DIR}/install-test/prefix)
file(REMOVE_RECURSE ${DIR}/install-test)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0 OR NOT EXISTS ${prefix}/include/qvmod.h)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
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
if(NOT out MATCHES "--render OUT.wav")
  message(FATAL_ERROR "installed modplay --help does not tell of --render: ${out}")
endif()
