#!/usr/bin/env bash
# scripts/build.sh DIR [cmake options...]: configures (once) and builds into DIR.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
"$root/scripts/ensure-deps.sh"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
fi
cmake --build "$dir" -- -j"$(nproc)"
