#!/usr/bin/env bash
# Builds tplsetup and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! dpkg-query -W -f='${Status}' libgtk2.0-dev 2>/dev/null | grep -q "install ok installed"; then
  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y build-essential cmake ninja-build pkg-config libgtk2.0-dev zlib1g-dev googletest libgtest-dev
fi
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release --target tplsetup
exec build/release/src/app/tplsetup "$@"
