#!/bin/sh
# Draws docs/screenshots/languages.png: the welcome and success pages of the
# wizard in every language, side by side, one language a row.
#
#     scripts/make_language_sheet.sh [BUILD_DIR]
#
# BUILD_DIR (default build/release) must hold the ui_layout_check program.
# Needs xvfb-run and ImageMagick's montage.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
check=$build/tests/ui/ui_layout_check
[ -x "$check" ] || { echo "no $check: build the target ui_layout_check first" >&2; exit 1; }
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
# The layout check lays every page out anyway; it saves the two pages on the way.
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1280x1024x24" "$check" --screenshots "$shots" >/dev/null
tiles=""
for code in $(ls "$shots" | sed -n 's/-welcome\.png$//p' | sort); do
  tiles="$tiles $shots/$code-welcome.png $shots/$code-success.png"
done
# shellcheck disable=SC2086
montage -label '%t' -pointsize 14 $tiles -tile 4x -geometry '+6+6' -background '#d8d8d8' -depth 8 \
  "$root/docs/screenshots/languages.png"
echo "wrote docs/screenshots/languages.png"
