#!/bin/sh
# Installs the Debian 12 packages that building and testing Quarrow need. Uses sudo unless root.
set -eu
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
PACKAGES="build-essential cmake pkg-config git
    libsqlite3-dev libplist-dev libssl-dev libminizip-dev zlib1g-dev libgtest-dev
    libexpat1-dev libpoppler-cpp-dev poppler-utils unzip
    libprotobuf-dev protobuf-compiler
    libespeak-ng-dev espeak-ng-data espeak-ng libsndfile1-dev ffmpeg
    qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-svg-dev libgl-dev qt6-multimedia-dev
    fonts-dejavu-core xdg-utils
    desktop-file-utils appstream groff-base file dpkg-dev
    clang-format-14 clang-tidy-14"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update
    # shellcheck disable=SC2086
    $SUDO apt-get install -y $missing
fi
