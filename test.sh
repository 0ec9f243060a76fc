#!/usr/bin/env bash
# Builds vek and runs every test: the normal build, then the sanitizer build.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
jobs="$(nproc)"

"$root/scripts/build.sh" "$root/build" -DVEK_WERROR=ON
ctest --test-dir "$root/build" --output-on-failure -j"$jobs"

"$root/scripts/build.sh" "$root/build-asan" -DVEK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DVEK_WERROR=ON
ctest --test-dir "$root/build-asan" --output-on-failure -j"$jobs"
