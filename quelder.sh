#!/usr/bin/env bash
# Builds and tests Quelder from source on a Debian machine.
#
#   ./quelder.sh test    install what is missing, build every build, make the
#                        package and run every test
#   ./quelder.sh package install what is missing, build, and make build/package
#   ./quelder.sh demo    install what is missing, build, and run the demo host
#   ./quelder.sh build   install what is missing and build
#   ./quelder.sh bench   install what is missing, build, and run the full benchmark
#
# Builds go to build/native (the portable logic and its tests), build/win64 and
# build/win32 (Quelder.ocx for 64-bit and 32-bit Windows), build/native-asan
# (the native tests under AddressSanitizer and UndefinedBehaviorSanitizer) and
# build/fuzz (the fuzz targets, built with clang and run for a bounded time).
# The 64-bit Windows tests run under Wine on this machine; the 32-bit ones in
# a guest Linux under qemu (cmake/win32-lane.sh), whose kernel runs 32-bit Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$root/build
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake g++ ninja-build googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64
          wine64 wine64-tools xvfb x11-apps imagemagick binutils
          clang-14 libclang-rt-14-dev
          qemu-system-x86 linux-image-amd64 busybox-static cpio wine32:i386)

say() { printf '== %s\n' "$*"; }

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  # 32-bit Wine comes from the i386 architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  # A mirror caught mid-sync fails one index; the others still serve the install.
  $sudo apt-get update -qq || say "some package lists could not be refreshed; installing from the rest"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null \
    && return 0
  # Without one architecture's index (the i386 security updates, say), a
  # library both architectures share can be offered at one version for amd64
  # and another for i386, and apt gives up on 32-bit Wine as a whole. Install
  # the rest, then 32-bit Wine from the bottom up: each i386 library apt will
  # not install is installed on its own after what it needs, with its amd64
  # twin moved to the version i386 has where the two differ.
  say "the install failed; installing 32-bit Wine one library at a time"
  local others=() p
  for p in "${missing[@]}"; do [[ $p == *:i386 ]] || others+=("$p"); done
  [ ${#others[@]} -eq 0 ] || apt_install "${others[@]}"
  for p in "${missing[@]}"; do
    [[ $p == *:i386 ]] || continue
    install_i386 "${p%:i386}" 0 || return 1
  done
}

apt_install() {
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends --allow-downgrades \
    "$@" >/dev/null 2>&1
}

# The i386 libraries apt names as "not going to be installed" for a request.
refused_i386() {
  apt-get install -s --no-install-recommends --allow-downgrades "$@" 2>&1 |
    grep -oE '[a-z0-9.+-]+:i386( \([^)]*\))? but it is not going to be installed' |
    sed 's/:i386.*//' | sort -u
}

install_i386() {  # package depth
  local p=$1 depth=$2 want have request=("$1:i386") dep
  want=$(apt-cache policy "$p:i386" | awk '/Candidate:/ { print $2 }')
  have=$(dpkg-query -W -f='${Version}' "$p:amd64" 2>/dev/null || true)
  if [ -n "$have" ] && [ -n "$want" ] && [ "$want" != "$have" ] &&
     apt-cache madison "$p" | awk -v v="$want" '$3 == v && /amd64/ { f = 1 } END { exit !f }'; then
    request=("$p:amd64=$want" "$p:i386=$want")
  fi
  apt_install "${request[@]}" && return 0
  [ "$depth" -lt 8 ] || return 1
  for dep in $(refused_i386 "${request[@]}"); do
    [ "$dep" = "$p" ] || install_i386 "$dep" $((depth + 1)) || true
  done
  apt_install "${request[@]}" || { say "could not install $p:i386"; return 1; }
}

configure_and_build() {  # dir [cmake args...]
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

build_all() {
  install_missing
  say "native build"
  configure_and_build "$build/native"
  say "native build with sanitizers"
  configure_and_build "$build/native-asan" -DQUELDER_SANITIZE=ON
  say "fuzz build"
  configure_and_build "$build/fuzz" -DQUELDER_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
  say "64-bit Windows build"
  configure_and_build "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
  say "32-bit Windows build"
  # Its side-by-side test registers the 64-bit build's Quelder.ocx beside its own.
  configure_and_build "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
    -DQUELDER_WIN64_BUILD="$build/win64"
}

xvfb_pid=
start_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 99 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    say "started Xvfb on $DISPLAY"
    return 0
  done
  echo "no free display number for Xvfb" >&2; return 1
}

# The 64-bit tests' Wine session, started before them with none of their
# output: its processes (the wineserver and the services of every session)
# outlive each test program, and started by one of them they would hold its
# output open until the session ended, so that ctest counted the whole
# session as that test's time and kept its turn and locks as long.
start_wine_session() {
  WINEPREFIX=$build/win64/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    bash -c '/usr/lib/wine/wineserver -p && /usr/lib/wine/wine64 cmd /c exit' </dev/null >/dev/null 2>&1
}
end_wine_session() {
  WINEPREFIX=$build/win64/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true
}

stop_display() {
  end_wine_session
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}

run_tests() {
  start_display
  trap stop_display EXIT
  local passed=0 failed=0 status=0 dir log line start rc machine32_log machine32_pid
  machine32_log=$(mktemp)
  for dir in native native-asan fuzz win64 win32; do
    say "tests of build/$dir"
    log=$(mktemp)
    start=$(date +%s)
    rc=0
    if [ "$dir" = win32 ]; then
      # What ran on this machine (the reproducible-build check), then the lane.
      wait "$machine32_pid" || rc=$?
      tee "$log" <"$machine32_log"
      "$root/cmake/win32-lane.sh" "$build/win32" 2>&1 | tee -a "$log" || rc=$?
    elif [ "$dir" = win64 ]; then
      # The 32-bit build's test on this machine (the reproducible-build check,
      # a compiler and no Wine) runs while the Windows tests take their turns
      # at the display; its output comes with the 32-bit build's tests.
      ctest --test-dir "$build/win32" --output-on-failure -L build-machine >"$machine32_log" 2>&1 &
      machine32_pid=$!
      start_wine_session
      ctest --test-dir "$build/$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$log" || rc=$?
      end_wine_session
    else
      ctest --test-dir "$build/$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$log" || rc=$?
    fi
    say "tests of build/$dir took $(( $(date +%s) - start )) s"
    # One summary line per ctest run: the 32-bit build has two.
    local summaries expected=1 total fail
    [ "$dir" = win32 ] && expected=2
    summaries=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" || true)
    if [ "$(grep -c . <<<"$summaries")" -ne "$expected" ]; then
      echo "build/$dir: no test summary"; status=1
    else
      while read -r line; do
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        fail=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
        passed=$((passed + total - fail)); failed=$((failed + fail))
        [ "$fail" -eq 0 ] || status=1
      done <<<"$summaries"
      [ "$rc" -eq 0 ] || { echo "build/$dir: the test run ended with exit code $rc"; status=1; }
    fi
    rm -f "$log"
  done
  rm -f "$machine32_log"
  echo "$passed passed, $failed failed"
  return $status
}

run_demo() {
  local demo=$root/tools/demo/run-demo.sh
  if [ -x "$demo" ]; then
    "$demo" "$build"
  else
    say "everything is built; the demo host is not written yet (Quelder.ocx: build/win64/src/control/Quelder.ocx, build/win32/src/control/Quelder.ocx)"
  fi
}

run_bench() {
  start_display
  trap stop_display EXIT
  "$root/cmake/wine-run.sh" "$build/win64/tools/bench/quelder_bench.exe" \
    "$build/win64/src/control/Quelder.ocx"
}

make_package() {
  say "package"
  "$root/cmake/package.sh" "$build"
}

case "${1:-}" in
  build) build_all ;;
  package) build_all; make_package ;;
  # The package is made and checked too; its failure fails the command after
  # the tests have run.
  test)
    build_all
    package_status=0
    make_package || package_status=$?
    run_tests
    [ "$package_status" -eq 0 ] || { echo "the package failed (exit code $package_status)"; exit 1; } ;;
  demo) build_all; run_demo ;;
  bench) build_all; run_bench ;;
  *) echo "usage: $0 test|demo|build|bench|package" >&2; exit 2 ;;
esac
