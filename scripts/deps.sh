#!/usr/bin/env bash
# Installs the Debian 12 packages Quillet needs to build, run and be tested:
#   scripts/deps.sh run    what building and starting Quillet needs
#   scripts/deps.sh test   that, plus the test session's X server, window
#                          manager, notification area and the programs the tests drive
# As root it installs what is missing with apt-get; otherwise it prints the
# apt-get line to run and fails.
set -eu

run_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-private-dev qt6-base-dev-tools libgl-dev libx11-dev
          libxtst-dev libxext-dev libxrandr-dev libxfixes-dev libjpeg62-turbo-dev zlib1g-dev fonts-liberation
          fonts-dejavu-core xdg-utils)
test_pkgs=(desktop-file-utils xvfb xauth openbox trayer xdotool x11-utils xterm xfce4-terminal poppler-utils mousepad xclip
           libreoffice-writer cups printer-driver-cups-pdf
           giflib-tools imagemagick python3-pil firefox-esr gifsicle
           libjpeg-turbo-progs)

pkgs=("${run_pkgs[@]}")
if [ "${1:-run}" = test ]; then
    pkgs+=("${test_pkgs[@]}")
fi

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
else
    echo "Quillet needs these packages; install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
