# The -posix runtime variant: GoogleTest needs std::mutex, and the tests and
# the deliverables are built with one variant. -static keeps winpthread,
# libgcc and libstdc++ inside each file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows tests run under 32-bit Wine through qemu's user mode.
get_filename_component(QV_WINE32_RUNNER ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32 ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_WINE32_RUNNER})
