#!/usr/bin/env bash
# Set-up of a fresh Debian 12 machine. Idempotent.
#   tools/setup.sh run   install, build, start Lexar in the local mode (it starts Corvus.exe)
#   tools/setup.sh test  install, build, run every test, check the Debian package, and run
#                        the fuzzers for a bounded time
set -euo pipefail
mode=${1:-run}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(build-essential cmake pkg-config clang libclang-rt-14-dev
          qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
          libhunspell-dev hunspell-ru mythes-ru fortunes-ru libdawgdic-dev
          libjpeg62-turbo-dev libbenchmark-dev xvfb xauth
          dpkg-dev file lintian desktop-file-utils appstream procps)
# npm fetches the morphology dictionary (tools/fetch-dicts.sh); Debian's package only
# when no npm is on PATH already (a Node.js from elsewhere brings its own).
command -v npm >/dev/null 2>&1 || packages+=(npm)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi
# The OpenCorpora morphology dictionary, pinned and checksummed, into third_party/az/
# (the server falls back to hunspell-ru without it).
bash tools/fetch-dicts.sh

jobs=$(nproc)
case "$mode" in
  run)
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLEXAR_TESTS=OFF
    cmake --build build -j"$jobs"
    cd build/bin
    exec ./Lexar
    ;;
  test)
    # The benchmarks are built too (not run), so that they keep compiling.
    cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEXAR_TESTS=ON -DLEXAR_BENCH=ON
    cmake --build build-test -j"$jobs"
    (cd build-test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")
    # The Debian package: built, checked, unpacked and run (tools/check-package.sh).
    bash tools/check-package.sh build-pkg
    # The parsers of replies, records and requests under libFuzzer, a bounded time each.
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DLEXAR_TESTS=OFF -DLEXAR_FUZZ=ON
    cmake --build build-fuzz -j"$jobs"
    bash fuzz/run_all.sh "${FUZZ_SECONDS:-20}" build-fuzz
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
