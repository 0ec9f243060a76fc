#!/usr/bin/env bash
# scripts/check-payload-words.sh [ROOT]: fails, listing the lines, when a raw
# payload word (data1, data2, data3) is named in a .cpp or .h file outside the
# layout headers. Everywhere else a cell's payload is read and written through
# the accessors its datatype's header gives beside the layout, or through
# payload_word for code that handles payloads whatever their type.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# The headers that lay out the payload words and define their accessors.
layout_headers=(
  runtime/core/cell.h
  runtime/memory/series.h
  'runtime/datatypes/*.h'
)

is_exempt() {
  local file="$1" pattern
  # A family's internal.h shares implementation between its files; it lays
  # out no payload, although the pattern above matches it.
  case "$file" in */internal.h) return 1 ;; esac
  for pattern in "${layout_headers[@]}"; do
    # shellcheck disable=SC2254  # the patterns are globs on purpose
    case "$file" in $pattern) return 0 ;; esac
  done
  return 1
}

dirs=()
for dir in runtime boot platform tests console view; do
  [ -d "$dir" ] && dirs+=("$dir")
done

found=0
while IFS= read -r line; do
  file="${line%%:*}"
  is_exempt "$file" && continue
  echo "$line"
  found=1
done < <(grep -rnE --include='*.cpp' --include='*.h' '\bdata[123]\b' "${dirs[@]}" || true)

if [ "$found" -ne 0 ]; then
  echo "raw payload words outside the layout headers: use the datatype's accessors"
  exit 1
fi
