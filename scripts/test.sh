#!/usr/bin/env bash
# Installs what the build and the tests need, builds twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test on both.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

PACKAGES=(build-essential cmake ninja-build pkg-config libgtk2.0-dev zlib1g-dev libisal-dev
          googletest libgtest-dev nlohmann-json3-dev libsodium-dev minisign ansible-core xvfb xauth x11-utils xdotool imagemagick
          clang libclang-rt-14-dev python3 gzip tar procps locales
          python3-pyatspi libatk-adaptor libgail-common at-spi2-core dbus dbus-x11 x11-xserver-utils
          lintian mandoc)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

JOBS=$(nproc)

echo "== plain build"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$JOBS"
ctest --test-dir build/release --output-on-failure -j "$JOBS"

echo "== sanitizer build"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTPL_SANITIZE=ON
cmake --build build/asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp" \
  ctest --test-dir build/asan --output-on-failure -j "$JOBS"

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing the kit loader, the journal reader and the launcher file reader"
  scripts/fuzz.sh
fi
echo "all tests passed"
