#!/usr/bin/env bash
# Builds vek (the program alone, not the tests) and starts the console;
# arguments go to vek.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
BUILD_TARGET=vek "$root/scripts/build.sh" "$root/build" >&2
exec "$root/build/vek" "$@"
