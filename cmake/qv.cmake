# Helpers shared by every subsystem's CMakeLists.txt.

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(QV_WINDOWS ON)
else()
  set(QV_WINDOWS OFF)
endif()
# win32 builds the tests too: they run against the i686 files under 32-bit
# Wine (scripts/wine32), and the deliverables are built exactly as without.
if(QV_CONFIG STREQUAL "fuzz" OR QV_CONFIG STREQUAL "bench")
  set(QV_TESTS OFF)
else()
  set(QV_TESTS ON)
endif()

# Deliverables land here; scripts/build copies them to dist/<config>.
set(QV_DIST ${CMAKE_BINARY_DIR}/dist)
# Each test writes its GoogleTest XML here; scripts/test counts from it.
set(QV_RESULTS ${CMAKE_BINARY_DIR}/results)

if(QV_WINDOWS)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  # Static C and C++ runtime: the deliverables need only Windows system DLLs.
  set(QV_STATIC_LINK -static -static-libgcc -static-libstdc++)
  if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE Release)
  endif()
elseif(QV_CONFIG STREQUAL "bench")
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -O2)
else()
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -g -O1 -fno-omit-frame-pointer
                      -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  if(QV_CONFIG STREQUAL "fuzz")
    # libFuzzer's coverage hooks in every library, so that a fuzz target sees
    # the branches of the code it links, not only its own file.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()

function(qv_setup_gtest)
  set(gtest_disable_pthreads ${QV_WINDOWS} CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()

# qv_plugin(<target> OUTPUT <file name without .dll> DEF <def file>
#           SOURCES ... [LIBS ...])
# A deliverable DLL with exactly the export names of its .def file.
function(qv_plugin target)
  cmake_parse_arguments(A "" "OUTPUT;DEF" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${A_SOURCES} ${A_DEF})
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${A_OUTPUT} SUFFIX ".dll"
    RUNTIME_OUTPUT_DIRECTORY ${QV_DIST}
    LIBRARY_OUTPUT_DIRECTORY ${QV_DIST})
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  target_link_options(${target} PRIVATE ${QV_STATIC_LINK})
endfunction()

# qv_program(<target> SOURCES ... [LIBS ...]): a deliverable EXE.
function(qv_program target)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QV_DIST})
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  target_link_options(${target} PRIVATE ${QV_STATIC_LINK})
endfunction()

# qv_test(<target> SOURCES ... [LIBS ...] [DEPENDS targets...] [WILL_FAIL]
#         [DESKTOP] [TIMEOUT s] [WRAPPER command...])
# One GoogleTest executable, run once by ctest (under Wine on Windows).
# DESKTOP: the test uses focus, the clipboard or the screen; such a test runs
# alone: any other test's window (a console window of a child process too)
# can take the focus from a menu or dialog it is tracking.
# DEPENDS names DLLs/EXEs the test loads at run time; their folder is passed
# to the test as QV_DIST_DIR and built before the test.
# WRAPPER: the test runs as "command... [emulator] program", for a test that
# needs its process set up from outside (e.g. testhost/filelimit).
function(qv_test target)
  cmake_parse_arguments(A "WILL_FAIL;NO_GTEST;DESKTOP" "TIMEOUT" "SOURCES;LIBS;DEPENDS;WRAPPER" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  if(NOT A_NO_GTEST)
    target_link_libraries(${target} PRIVATE gtest gtest_main)
  endif()
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  if(QV_WINDOWS)
    target_link_options(${target} PRIVATE ${QV_STATIC_LINK})
  endif()
  if(A_DEPENDS)
    add_dependencies(${target} ${A_DEPENDS})
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(A_WRAPPER)
    add_test(NAME ${target} COMMAND ${A_WRAPPER} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  else()
    add_test(NAME ${target} COMMAND ${target} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  endif()
  if(QV_WINDOWS)
    set(out "xml:Z:${QV_RESULTS}/${target}.xml")
    set(dist "Z:${QV_DIST}")
    set(src "Z:${CMAKE_SOURCE_DIR}")
  else()
    set(out "xml:${QV_RESULTS}/${target}.xml")
    set(dist "${QV_DIST}")
    set(src "${CMAKE_SOURCE_DIR}")
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set_tests_properties(${target} PROPERTIES
    ENVIRONMENT "GTEST_OUTPUT=${out};QV_DIST_DIR=${dist};QV_SOURCE_DIR=${src}"
    TIMEOUT ${A_TIMEOUT})
  if(A_WILL_FAIL)
    set_tests_properties(${target} PROPERTIES WILL_FAIL TRUE)
  endif()
  if(A_DESKTOP)
    set_tests_properties(${target} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# qv_bench(<target> RATIO <regex> SOURCES ... [LIBS ...] [DEPENDS ...]): a
# benchmark, built in win64 (run under Wine) and in the native "bench"
# configuration (no sanitizers), where scripts/bench runs it, and in the
# native sanitizer build; never in win32. In win64 and native a test runs it
# once in its short mode (bench/shortrun): it must end well and print a line
# matching RATIO, its ratio line; no figure is judged.
function(qv_bench target)
  if(NOT (QV_CONFIG STREQUAL "win64" OR QV_CONFIG STREQUAL "bench" OR QV_CONFIG STREQUAL "native"))
    return()
  endif()
  cmake_parse_arguments(A "" "RATIO" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/bench)
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  if(QV_WINDOWS)
    target_link_options(${target} PRIVATE ${QV_STATIC_LINK})
  endif()
  if(A_DEPENDS)
    add_dependencies(${target} ${A_DEPENDS})
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  if(QV_TESTS)
    add_test(NAME ${target}_short
             COMMAND ${CMAKE_SOURCE_DIR}/bench/shortrun "${A_RATIO}" ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    if(QV_WINDOWS)
      set(dist "Z:${QV_DIST}")
      set(src "Z:${CMAKE_SOURCE_DIR}")
    else()
      set(dist "${QV_DIST}")
      set(src "${CMAKE_SOURCE_DIR}")
    endif()
    # Alone: the window benchmarks want the screen and the focus.
    set_tests_properties(${target}_short PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE
      ENVIRONMENT "QV_DIST_DIR=${dist};QV_SOURCE_DIR=${src}")
  endif()
endfunction()

# qv_fuzz(<target> SOURCES ... [LIBS ...]): a libFuzzer target, built only in
# the clang "fuzz" configuration; scripts/test runs each for a bounded time
# with the seeds in <source dir>/fuzz/<target> when that folder exists and
# prints its coverage. Every library of the fuzz configuration is compiled
# with coverage hooks; a library a target links must therefore be built there
# too (not only for Windows), which the check below enforces.
function(qv_fuzz target)
  if(NOT QV_CONFIG STREQUAL "fuzz")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE ${A_LIBS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  file(APPEND ${CMAKE_BINARY_DIR}/fuzzers.txt "${target} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${target}\n")
  # Checked once every folder is read: a library may be defined in a later
  # one. EVAL fixes the names now; a deferred call expands variables late.
  cmake_language(EVAL CODE
    "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL qv_fuzz_check_libs ${target} ${A_LIBS})")
endfunction()

function(qv_fuzz_check_libs target)
  foreach(lib ${ARGN})
    if(NOT TARGET ${lib})
      message(FATAL_ERROR "fuzz target ${target} links ${lib}, which the fuzz configuration "
                          "does not build, so libFuzzer would not see its code")
    endif()
  endforeach()
endfunction()

file(REMOVE ${CMAKE_BINARY_DIR}/fuzzers.txt)
