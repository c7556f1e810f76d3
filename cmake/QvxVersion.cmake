# SPDX-License-Identifier: MIT
# The project's one version number, read from VERSION at the top of the tree: included before
# project() by every CMake project here, which passes QVX_VERSION on as its own version.
set(qvx_version_file ${CMAKE_CURRENT_LIST_DIR}/../VERSION)
file(STRINGS ${qvx_version_file} QVX_VERSION LIMIT_COUNT 1)
if(NOT QVX_VERSION MATCHES "^[0-9]+\\.[0-9]+(\\.[0-9]+)?$")
  message(FATAL_ERROR "VERSION must hold a version like 2.0 or 2.0.1, not '${QVX_VERSION}'")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${qvx_version_file})
