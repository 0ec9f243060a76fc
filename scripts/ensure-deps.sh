#!/usr/bin/env bash
# scripts/ensure-deps.sh [PACKAGE...]: installs the Debian packages the build
# and the tests need, and any named, when one is missing.
set -euo pipefail
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev
          libpng-dev libturbojpeg0-dev libgif-dev libtiff-dev libssl-dev
          libcurl4-openssl-dev libvterm-dev xvfb xclip python3 "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
