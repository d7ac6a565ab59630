# Shared by scripts/build and scripts/test: packages, configurations, Wine.
# shellcheck shell=bash

QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_BUILD=${QV_BUILD:-$QV_ROOT/build}
QV_WINE64=/usr/lib/wine/wine64
QV_JOBS=${QV_JOBS:-$(nproc)}

# Debian packages the build and the tests need, with one file each proves
# the package is there.
qv_packages=(
  "g++-mingw-w64-i686:/usr/bin/i686-w64-mingw32-g++-posix"
  "g++-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-g++-posix"
  "binutils-mingw-w64-i686:/usr/bin/i686-w64-mingw32-objdump"
  "binutils-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-objdump"
  "wine64:/usr/lib/wine/wine64"
  "xvfb:/usr/bin/xvfb-run"
  "xauth:/usr/bin/xauth"
  "cmake:/usr/bin/cmake"
  "ninja-build:/usr/bin/ninja"
  "googletest:/usr/src/googletest/CMakeLists.txt"
  "g++:/usr/bin/g++"
  "clang:/usr/bin/clang++"
  "fonts-dejavu-core:/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
  "imagemagick:/usr/bin/import"
  "libgmp-dev:/usr/include/x86_64-linux-gnu/gmp.h"
)

qv_install() {
  local missing=() entry pkg file
  for entry in "${qv_packages[@]}"; do
    pkg=${entry%%:*}; file=${entry#*:}
    [ -e "$file" ] || missing+=("$pkg")
  done
  # libFuzzer's runtime comes with clang's compiler-rt.
  if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    missing+=(libclang-rt-dev)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# qv_build <win32|win64|native|fuzz>
qv_build() {
  local cfg=$1 dir=$QV_BUILD/$1 args=()
  case $cfg in
    win32) args=(-DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-i686.cmake") ;;
    win64) args=(-DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-x86_64.cmake") ;;
    native) args=(-DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc) ;;
    fuzz) args=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang) ;;
  esac
  # Configured every time: a subsystem folder may have gained its
  # CMakeLists.txt since the last run.
  cmake -S "$QV_ROOT" -B "$dir" -G Ninja -DQV_CONFIG="$cfg" "${args[@]}" >/dev/null || return 1
  cmake --build "$dir" -j "$QV_JOBS"
}

# The Wine environment of every Windows test run.
qv_wine_env() {
  export WINEPREFIX=$QV_BUILD/wineprefix
  export WINEARCH=win64
  export WINEDEBUG=-all
  # Without this a crashing program starts winedbg and exits with 0.
  export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
  # Wine takes code pages 1251/866 and LCID 0x0419 from this.
  { export LC_ALL=ru_RU.UTF-8; } 2>/dev/null
  export TZ=UTC0
}

qv_wine() { "$QV_WINE64" "$@"; }

# Creates the private prefix once; fonts and window captions as the tests expect.
qv_wine_prefix() {
  qv_wine_env
  if [ -f "$WINEPREFIX/.qv-ready" ]; then return 0; fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  qv_wine wineboot -i >/dev/null 2>&1
  qv_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /d 'DejaVu Sans Mono' /f >/dev/null 2>&1
  qv_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Terminal' /d 'DejaVu Sans Mono' /f >/dev/null 2>&1
  qv_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.qv-ready"
}
