#!/usr/bin/env bash
# Builds tplsetup and tkx, packs the demo kit beside tplsetup as qbx4.tkx and
# runs the wizard on it. Arguments are passed to tplsetup (-S, -Lde, ...).
# Without an X display the wizard runs silently inside a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(build-essential cmake ninja-build pkg-config libgtk2.0-dev zlib1g-dev libisal-dev
          googletest libgtest-dev xvfb)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release --target tplsetup tkx

app_dir=build/release/src/app
assets/demo-kit/pack.sh build/release/tools/tkx/tkx "$app_dir/qbx4.tkx"

if [ -n "${DISPLAY:-}" ]; then
  status=0
  "$app_dir/tplsetup" "$@" || status=$?
else
  echo "No X display: installing the demo kit silently inside Xvfb."
  status=0
  xvfb-run -a "$app_dir/tplsetup" -S "$@" || status=$?
fi
case $status in
  0) echo "tplsetup: installed (status 0)";;
  1) echo "tplsetup: preparation error or failed installation (status 1)";;
  2) echo "tplsetup: cancelled (status 2)";;
  *) echo "tplsetup: ended with status $status";;
esac
exit "$status"
