#!/bin/sh
# Renders every screen of the desktop application to PNG files, without a display.
#   tools/screenshots/render.sh [BUILD_DIR] [OUT_DIR]
# BUILD_DIR defaults to build-gui beside this repository's sources (configured with
# -DQUARROW_GUI=ON); OUT_DIR defaults to BUILD_DIR/screenshots. The pictures stay out of git.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$here/build-gui}
out=${2:-$build/screenshots}
cmake --build "$build" -j2 --target quarrow_screens
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/tests/app/quarrow_screens" "$out"
echo "screenshots written to $out"
