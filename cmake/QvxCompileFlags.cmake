# SPDX-License-Identifier: MIT
# Compile settings shared by the game's, the fuzz harnesses' and the Windows CMake projects.
#
# Included right after project(). A project that wants another default build type than
# RelWithDebInfo sets QVX_DEFAULT_BUILD_TYPE before including this file.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 99)

if(NOT QVX_DEFAULT_BUILD_TYPE)
  set(QVX_DEFAULT_BUILD_TYPE RelWithDebInfo)
endif()
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE ${QVX_DEFAULT_BUILD_TYPE} CACHE STRING "Build type" FORCE)
endif()

add_compile_options(-Wall -Wextra)

# AddressSanitizer and UndefinedBehaviorSanitizer as the checked builds use them: any undefined
# behaviour stops the program, and stacks stay readable.
set(QVX_ASAN_UBSAN_COMPILE_OPTIONS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                   -fno-omit-frame-pointer)
set(QVX_ASAN_UBSAN_LINK_OPTIONS -fsanitize=address,undefined)

# The product (library, tools, game, datafile generators) is also kept free of shadowed names;
# a shadowing declaration stops its build. Tests are left out.
set(QVX_PRODUCT_WARNING_OPTIONS -Wshadow -Werror=shadow)

# Gives every compiled target defined in DIR and the directories below it the product's warnings.
function(qvx_product_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_compile_options(${target} PRIVATE ${QVX_PRODUCT_WARNING_OPTIONS})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    qvx_product_warnings(${subdir})
  endforeach()
endfunction()
