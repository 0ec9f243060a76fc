#!/usr/bin/env bash
# bench/run.sh [VEK]: times each benchmark in vek and in its python3 and
# lua5.4 twins, on the same work. An interpreter that is not installed is
# skipped; every run's output is checked against vek's.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
vek="${1:-$here/../build/vek}"

if [ ! -x "$vek" ]; then
  echo "no vek binary at $vek (build it, or name it: bench/run.sh path/to/vek)"
  exit 1
fi

# Seconds of wall time of one run, with its output kept in $out.
timed() {
  local start end ms
  start=$(date +%s%N)
  out="$("$@" 2>&1)"
  local status=$?
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  seconds=$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))
  return $status
}

printf '%-10s %10s %10s %10s\n' benchmark vek python3 lua5.4
for script in "$here"/*.vek; do
  name="$(basename "$script" .vek)"
  row=("$name")
  if timed "$vek" "$script"; then
    expected="$out"
    row+=("$seconds")
  else
    expected=""
    row+=("failed")
  fi
  for runner in "python3 py" "lua5.4 lua"; do
    set -- $runner
    if ! command -v "$1" >/dev/null; then
      row+=("-")
    elif timed "$1" "$here/$name.$2" && [ "$out" = "$expected" ]; then
      row+=("$seconds")
    else
      row+=("differs")
    fi
  done
  printf '%-10s %10s %10s %10s\n' "${row[@]}"
done
