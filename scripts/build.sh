#!/usr/bin/env bash
# scripts/build.sh DIR [cmake options...]: configures DIR (the first time, and
# whenever options are given, so a changed option takes effect) and builds
# everything, or only the target that BUILD_TARGET names.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
"$root/scripts/ensure-deps.sh"
if [ ! -f "$dir/build.ninja" ] || [ $# -gt 0 ]; then
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$dir" ${BUILD_TARGET:+--target "$BUILD_TARGET"} -- -j"$(nproc)"
