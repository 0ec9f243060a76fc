#!/usr/bin/env bash
# scripts/check-payload-words.sh [ROOT]: fails, listing the lines, when a raw
# payload word (data1, data2, data3) is named in a .cpp or .h file outside the
# layout headers, or when code outside them spells a cell's payload out in a
# brace initialiser (Cell{TYPE_..., ...} or Cell name{TYPE_..., ...}).
# Everywhere else a cell's payload is read and written through the accessors
# its datatype's header gives beside the layout, or through payload_word for
# code that handles payloads whatever their type, and a cell is made by its
# type's constructor (series_cell, integer::cell, datatype::cell, make_at...),
# or as a blank_cell that such a constructor fills. Tests may build odd cells
# by hand: the brace check leaves tests/ alone.
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

failed=0

# Lists the lines outside the layout headers that match the pattern in the
# folders, with the message after them when there are any.
refuse() {
  local pattern="$1" message="$2"; shift 2
  local line found=0
  while IFS= read -r line; do
    is_exempt "${line%%:*}" && continue
    echo "$line"
    found=1
  done < <(grep -rnE --include='*.cpp' --include='*.h' "$pattern" "$@" || true)
  if [ "$found" -ne 0 ]; then
    echo "$message"
    failed=1
  fi
}

code_dirs=()
for dir in "${dirs[@]}"; do [ "$dir" != tests ] && code_dirs+=("$dir"); done

refuse '\bdata[123]\b' "raw payload words outside the layout headers: use the datatype's accessors" "${dirs[@]}"
refuse 'Cell( +[A-Za-z_][A-Za-z0-9_]*)? *\{ *TYPE_' \
  "cells spelled out in brace initialisers outside the layout headers: use the type's constructor" "${code_dirs[@]}"
exit "$failed"
