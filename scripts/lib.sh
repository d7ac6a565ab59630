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
    # A mirror may fail one index (e.g. the i386 one mid-sync); the install
    # says whether what it needs is there.
    qv_apt update || echo "apt-get update reported errors; going on with the indexes it has"
    qv_apt install -y --no-install-recommends "${missing[@]}" ||
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
  # No server running is no failure, also under set -e (scripts/shots).
  qv_wineserver -k >/dev/null 2>&1 || true
  # -k only signals; wait until the server and its processes are gone.
  qv_wineserver -w >/dev/null 2>&1 || true
  return 0
}

# --- The i686 files under 32-bit Wine -------------------------------------
# This kernel runs no 32-bit code; qemu's user mode runs 32-bit Wine. The
# 32-bit loader is kept aside (a diversion): at /usr/lib/wine/wine it would
# make every 64-bit prefix on the machine start its 32-bit half under qemu.
QV_WINE32_DIVERTED=/usr/lib/wine/wine32.qv
QV_QEMU_I386=/usr/bin/qemu-i386-static
# Booted prefixes and the loader folder, kept across clones and runs.
QV_I686_CACHE=${QV_I686_CACHE:-/var/cache/qv-wine32}
# Per run: this build's copy of the booted prefix, and the mapping library.
QV_I686_PREFIX=$QV_BUILD/wineprefix32
QV_I686_PRELOAD=$QV_BUILD/i686/qvmapfix.so

# Waits (up to 30 minutes) until no apt or dpkg runs, so that a step which
# takes dpkg's lock does not fail because another install is running.
qv_wait_dpkg() {
  local i name busy
  for ((i = 0; i < 360; i++)); do
    busy=0
    for name in apt apt-get aptitude dpkg unattended-upgr; do
      pgrep -x "$name" >/dev/null && busy=1
    done
    [ "$busy" -eq 0 ] && return 0
    [ "$i" -eq 0 ] && echo "waiting for a running apt/dpkg to finish"
    sleep 5
  done
  qv_setup_failed "apt/dpkg still running after 30 minutes"
}

qv_apt() {
  DEBIAN_FRONTEND=noninteractive $qv_sudo apt-get -q -o DPkg::Lock::Timeout=1800 "$@"
}

# Installs the i386 packages. Multi-arch libraries must have one version on
# both architectures; when the mirror serves no i386 index for the security
# updates, the i386 side has only the release's versions, so the amd64 twins
# are brought to those versions (security pinned below the release, the
# libraries named with their i386 version) instead of failing.
qv_i686_apt_install() {
  qv_apt install -y --no-install-recommends "$@" && return 0
  echo "retrying with the amd64 twins of the i386 libraries at the i386 versions"
  local pin want=() pkg ver i
  pin=$(mktemp) || return 1
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 99\n' >"$pin"
  for ((i = 0; i < 8; i++)); do
    local sim
    sim=$(qv_apt -o Dir::Etc::Preferences="$pin" install -s -y --allow-downgrades \
          --no-install-recommends "$@" "${want[@]}" 2>&1)
    if ! grep -q '^E:' <<<"$sim"; then
      qv_apt -o Dir::Etc::Preferences="$pin" install -y --allow-downgrades \
        --no-install-recommends "$@" "${want[@]}"
      local status=$?
      rm -f "$pin"
      return $status
    fi
    local added=0
    while read -r pkg; do
      ver=$(apt-cache -o Dir::Etc::Preferences="$pin" policy "$pkg:i386" | sed -n 's/^ *Candidate: //p')
      [ -n "$ver" ] && [ "$ver" != "(none)" ] || continue
      case " ${want[*]} " in *" $pkg:amd64=$ver "*) continue ;; esac
      want+=("$pkg:amd64=$ver")
      added=1
    done < <(sed -n 's/.*Depends: \([^ :]*\):i386 .*not going to be installed.*/\1/p' <<<"$sim" | sort -u)
    if [ "$added" -eq 0 ]; then
      echo "$sim" | tail -20
      rm -f "$pin"
      return 1
    fi
  done
  rm -f "$pin"
  return 1
}

# Packages, the diversion of the 32-bit loader and the i386 architecture.
qv_i686_install() {
  local missing=()
  [ -x "$QV_QEMU_I386" ] || missing+=(qemu-user-static)
  [ -x "$QV_WINE32_DIVERTED" ] || missing+=(wine32:i386)
  [ -f "$(gcc -m32 -print-libgcc-file-name 2>/dev/null)" ] || missing+=(gcc-multilib)
  if [ "$(dpkg-divert --truename /usr/lib/wine/wine)" != "$QV_WINE32_DIVERTED" ]; then
    missing+=(diversion)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "setting up 32-bit Wine: ${missing[*]}"
  qv_as_root "install 32-bit Wine" || return 1
  qv_wait_dpkg || return 1
  # Before wine32 lands, or its loader would be at /usr/lib/wine/wine.
  if [ "$(dpkg-divert --truename /usr/lib/wine/wine)" != "$QV_WINE32_DIVERTED" ]; then
    $qv_sudo dpkg-divert --local --rename --divert "$QV_WINE32_DIVERTED" --add /usr/lib/wine/wine ||
      { qv_setup_failed "dpkg-divert of /usr/lib/wine/wine"; return 1; }
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $qv_sudo dpkg --add-architecture i386 || { qv_setup_failed "dpkg --add-architecture i386"; return 1; }
  fi
  # A mirror may fail one index (e.g. mid-sync); the install says whether
  # what it needs is there.
  qv_apt update || echo "apt-get update reported errors; going on with the indexes it has"
  qv_i686_apt_install qemu-user-static wine32:i386 gcc-multilib ||
    { qv_setup_failed "installing qemu-user-static wine32:i386 gcc-multilib"; return 1; }
  [ -x "$QV_WINE32_DIVERTED" ] && [ ! -e /usr/lib/wine/wine ] ||
    { qv_setup_failed "the 32-bit loader is not at $QV_WINE32_DIVERTED alone"; return 1; }
}

# Registers qemu for i386 ELF files (machine-wide; F: the interpreter is
# opened now, so it works in every mount namespace).
qv_i686_binfmt() {
  local misc=/proc/sys/fs/binfmt_misc entry=/proc/sys/fs/binfmt_misc/qemu-i386
  if [ -f "$entry" ] && grep -qx enabled "$entry" && grep -qx "interpreter $QV_QEMU_I386" "$entry" &&
     grep -q '^flags: .*F' "$entry"; then
    return 0
  fi
  qv_as_root "register qemu for i386 programs" || return 1
  if [ ! -f "$misc/register" ]; then
    $qv_sudo mount -t binfmt_misc binfmt_misc "$misc" ||
      { qv_setup_failed "mounting binfmt_misc"; return 1; }
  fi
  # One left by someone else with other flags or another interpreter.
  if [ -f "$entry" ]; then
    echo -1 | $qv_sudo tee "$entry" >/dev/null || { qv_setup_failed "removing the old qemu-i386 binfmt entry"; return 1; }
  fi
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QV_QEMU_I386"':F' |
    $qv_sudo tee "$misc/register" >/dev/null || { qv_setup_failed "registering qemu-i386 in binfmt_misc"; return 1; }
}

# The Wine version both the loader folder and the booted prefix are kept
# under: a new Wine boots a new prefix.
qv_i686_version() {
  dpkg-query -W -f '${Version}' wine32:i386 2>/dev/null | tr -c 'A-Za-z0-9.+\n' '_'
}

# A folder with a copy of the 32-bit loader and, beside it, the 64-bit
# Wine server (wineserver) under the name the loader looks for: one server for both. The
# loader finds the rest from its own folder as /usr/lib/wine does: libraries
# in ../i386-linux-gnu/wine, data in ../../share/wine.
qv_i686_loader() {
  local base dir
  base=$QV_I686_CACHE/$(qv_i686_version)
  dir=$base/lib/wine
  QV_WINE32=$dir/wine
  if [ -x "$QV_WINE32" ] && [ -L "$dir/wineserver" ] && [ -L "$base/lib/i386-linux-gnu" ] &&
     [ -L "$base/share/wine" ] && cmp -s "$QV_WINE32_DIVERTED" "$QV_WINE32"; then
    return 0
  fi
  mkdir -p "$dir" "$base/share" &&
  cp "$QV_WINE32_DIVERTED" "$dir/wine.new" && mv -f "$dir/wine.new" "$QV_WINE32" &&
  ln -sfn "$QV_WINESERVER" "$dir/wineserver" &&
  ln -sfn /usr/lib/i386-linux-gnu "$base/lib/i386-linux-gnu" &&
  ln -sfn /usr/share/wine "$base/share/wine" ||
    { qv_setup_failed "the 32-bit loader folder $dir"; return 1; }
}

# The mapping library (source in scripts/i686), built for i386.
qv_i686_preload() {
  local src=$QV_ROOT/scripts/i686/qvmapfix.c
  if [ -f "$QV_I686_PRELOAD" ] && [ "$QV_I686_PRELOAD" -nt "$src" ]; then return 0; fi
  mkdir -p "$(dirname "$QV_I686_PRELOAD")"
  gcc -m32 -O2 -shared -fPIC -fno-stack-protector -Wall -Wextra -Werror \
    -o "$QV_I686_PRELOAD" "$src" -ldl || { qv_setup_failed "building $QV_I686_PRELOAD"; return 1; }
}

# The environment of every 32-bit Wine run; WINEPREFIX is the run's copy
# unless the caller set QV_I686_PREFIX elsewhere (the boot of the cache).
qv_i686_env() {
  qv_wine_env
  export WINEPREFIX=$QV_I686_PREFIX
  export WINEARCH=win32
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  QV_WINE32=$QV_I686_CACHE/$(qv_i686_version)/lib/wine/wine
  export QV_WINE32 QV_I686_PRELOAD
}

# Runs a 32-bit Wine program; only the 32-bit processes get the library.
qv_wine32() { LD_PRELOAD=$QV_I686_PRELOAD "$QV_WINE32" "$@"; }

# Starts the Wine server of this run's 32-bit prefix; it and every process
# of the prefix end when the calling script exits.
qv_i686_session() {
  qv_on_exit qv_i686_end
  qv_i686_end
  qv_step "starting the 32-bit prefix's Wine server" env WINEPREFIX="$QV_I686_PREFIX" "$QV_WINESERVER" -p
}

qv_i686_end() {
  (
    export WINEPREFIX=$QV_I686_PREFIX
    qv_wineserver -k >/dev/null 2>&1
    qv_wineserver -w >/dev/null 2>&1
  )
  return 0
}

# Everything the 32-bit runs need, short of the prefix.
qv_i686_setup() {
  qv_step "installing 32-bit Wine and qemu" qv_i686_install &&
  qv_step "registering qemu for i386 programs" qv_i686_binfmt &&
  qv_step "the 32-bit loader folder" qv_i686_loader &&
  qv_step "building the mapping library" qv_i686_preload
}

# The kept prefix: booted by this Wine with this mapping library (a boot
# that a broken library cut short is not used again).
qv_i686_kept() {
  echo "$QV_I686_CACHE/$(qv_i686_version)/prefix-$(sha1sum <"$QV_ROOT/scripts/i686/qvmapfix.c" | cut -c1-12)"
}

# Boots the kept prefix once, marked ready only when every step succeeded
# and the services that COM needs are registered. Inside an Xvfb: without a
# display its set-up programs wait for ever.
qv_i686_boot() {
  local keep
  keep=$(qv_i686_kept)
  [ -f "$keep/.qv-ready" ] && return 0
  echo "booting the 32-bit prefix in $keep (once per Wine version and library)"
  # Prefixes booted with an older library, unless another clone may still
  # be copying one today.
  find "$(dirname "$keep")" -maxdepth 1 -name 'prefix-*' -mtime +1 -exec rm -rf {} + 2>/dev/null
  (
    QV_I686_PREFIX=$keep
    qv_i686_env
    qv_wineserver -k >/dev/null 2>&1
    rm -rf "$keep"
    mkdir -p "$keep"
    trap 'qv_wineserver -k >/dev/null 2>&1; qv_wineserver -w >/dev/null 2>&1' EXIT
    # Started here so that it runs without the 32-bit library; it ends by
    # itself once the set-up programs have, which -w waits for.
    qv_wineserver -p5 </dev/null >/dev/null 2>&1 || exit 1
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
      . "$1/scripts/lib.sh"
      qv_wine32 wineboot -i &&
      qv_wine32 reg add "HKCU\Software\Wine\Fonts\Replacements" /v "Courier New" /d "DejaVu Sans Mono" /f &&
      qv_wine32 reg add "HKCU\Software\Wine\Fonts\Replacements" /v "Terminal" /d "DejaVu Sans Mono" /f &&
      qv_wine32 reg add "HKCU\Software\Wine\X11 Driver" /v Managed /d N /f' _ "$QV_ROOT" </dev/null &&
    qv_wineserver -w &&
    grep -q 'Services\\\\RpcSs' "$keep/system.reg" &&
    touch "$keep/.qv-ready"
  )
}

# This run's copy of the kept prefix.
qv_i686_prefix() {
  local keep
  keep=$(qv_i686_kept)
  qv_step "booting the 32-bit prefix" qv_i686_boot || return 1
  qv_i686_end
  rm -rf "$QV_I686_PREFIX" &&
  cp -a "$keep" "$QV_I686_PREFIX" || { qv_setup_failed "copying the 32-bit prefix"; return 1; }
}
