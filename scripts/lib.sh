# Shared by scripts/build and scripts/test: packages, configurations, Wine.
# shellcheck shell=bash

QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_BUILD=${QV_BUILD:-$QV_ROOT/build}
# wine64 keeps its programs in /usr/lib/wine and puts none of them on PATH.
QV_WINE64=/usr/lib/wine/wine64
QV_WINESERVER=/usr/lib/wine/wineserver
QV_JOBS=${QV_JOBS:-$(nproc)}

# Debian packages the build and the tests need, with one file each proves
# the package is there.
qv_packages=(
  "g++-mingw-w64-i686:/usr/bin/i686-w64-mingw32-g++-posix"
  "g++-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-g++-posix"
  "binutils-mingw-w64-i686:/usr/bin/i686-w64-mingw32-objdump"
  "binutils-mingw-w64-x86-64:/usr/bin/x86_64-w64-mingw32-objdump"
  "wine64:/usr/lib/wine/wine64"
  "libwine:/usr/lib/wine/wineserver"
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
  "locales:/usr/sbin/locale-gen"
)

# Says which set-up step failed; the caller stops.
qv_setup_failed() {
  echo "set-up failed: $*" >&2
  return 1
}

# Runs one set-up step with its output in $QV_BUILD/setup.log, shown only
# when the step fails.
qv_step() {
  local what=$1; shift
  mkdir -p "$QV_BUILD"
  if ! "$@" >"$QV_BUILD/setup.log" 2>&1; then
    tail -20 "$QV_BUILD/setup.log" >&2
    qv_setup_failed "$what"
    return 1
  fi
}

# Sets qv_sudo to what runs a command as root; fails when nothing can.
qv_as_root() {
  qv_sudo=
  [ "$(id -u)" -eq 0 ] && return 0
  command -v sudo >/dev/null || { qv_setup_failed "not root, and no sudo to $1"; return 1; }
  qv_sudo=sudo
}

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
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    qv_as_root "install ${missing[*]}" || return 1
    $qv_sudo apt-get update -q || { qv_setup_failed "apt-get update"; return 1; }
    DEBIAN_FRONTEND=noninteractive $qv_sudo apt-get install -y -q --no-install-recommends "${missing[@]}" ||
      { qv_setup_failed "apt-get install ${missing[*]}"; return 1; }
  fi
  qv_locale
}

# Wine's Unix side can hold Cyrillic file names only under a generated UTF-8
# glibc locale; the tests run Wine with LC_ALL=ru_RU.UTF-8.
qv_locale() {
  locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8' && return 0
  echo "generating the ru_RU.UTF-8 locale"
  qv_as_root "generate the ru_RU.UTF-8 locale" || return 1
  if grep -q '^# *ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    $qv_sudo sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen ||
      { qv_setup_failed "enabling ru_RU.UTF-8 in /etc/locale.gen"; return 1; }
  elif ! grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ru_RU.UTF-8 UTF-8' | $qv_sudo tee -a /etc/locale.gen >/dev/null ||
      { qv_setup_failed "adding ru_RU.UTF-8 to /etc/locale.gen"; return 1; }
  fi
  $qv_sudo locale-gen || { qv_setup_failed "locale-gen"; return 1; }
  locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8' ||
    { qv_setup_failed "locale-gen made no ru_RU.UTF-8"; return 1; }
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
qv_wineserver() { "$QV_WINESERVER" "$@"; }

# Creates the private prefix once; fonts and window captions as the tests
# expect. Marked ready only when every step succeeded, so a broken prefix is
# made afresh next time.
qv_wine_prefix() {
  qv_wine_env
  if [ -f "$WINEPREFIX/.qv-ready" ]; then return 0; fi
  qv_wineserver -k >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  qv_step "wineboot -i" qv_wine wineboot -i &&
  qv_step "reg add Courier New replacement" qv_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' /d 'DejaVu Sans Mono' /f &&
  qv_step "reg add Terminal replacement" qv_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Terminal' /d 'DejaVu Sans Mono' /f &&
  qv_step "reg add X11 Driver Managed" qv_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
  qv_step "waiting for the Wine server" qv_wineserver -w &&
  touch "$WINEPREFIX/.qv-ready"
}

# Commands run when the calling script exits, however it exits.
qv_exit_hooks=()
qv_on_exit() {
  qv_exit_hooks+=("$1")
  trap 'qv_run_exit_hooks' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}
qv_run_exit_hooks() {
  local hook
  for hook in "${qv_exit_hooks[@]}"; do eval "$hook"; done
}

# Starts the one persistent Wine server of a run; the whole Wine session
# (every process of the prefix) ends when the calling script exits.
qv_wine_session() {
  qv_on_exit qv_wine_end
  # A server left by an interrupted run would otherwise serve this one.
  qv_wine_end
  qv_step "starting the Wine server" qv_wineserver -p
}

qv_wine_end() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  qv_wineserver -k >/dev/null 2>&1
  # -k only signals; wait until the server and its processes are gone.
  qv_wineserver -w >/dev/null 2>&1
  return 0
}
