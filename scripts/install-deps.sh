#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Quick and quiet when
# everything is already there; runs apt-get update before installing anything.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsdl2-dev libgtk-3-dev libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-ipafont-gothic
  libjpeg-dev libpng-dev zlib1g-dev xplanet-images
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev libimagequant-dev libgif-dev libwebp-dev
  libgtest-dev libgmock-dev
  xvfb xauth xdotool x11-utils ffmpeg imagemagick librsvg2-bin desktop-file-utils appstream time chromium
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
