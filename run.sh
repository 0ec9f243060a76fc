#!/usr/bin/env bash
# Builds vek and starts the console; arguments go to vek.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/build.sh" "$root/build" >&2
exec "$root/build/vek" "$@"
