#!/usr/bin/env bash
# scripts/check-idioms.sh CHECK [ROOT]: fails, listing the offending lines,
# when the code breaks the idiom that CHECK names. The test command runs each
# check as a test of its own (idioms/CHECK); `all` runs every one.
#
#   argument-records   no call or initialiser passes three or more boolean
#                      literals in a row: a wide argument list is a record
#                      filled by name (`read(source, {.binary = true})`)
#   environment        the environment is read through platform::get_env,
#                      never std::getenv outside platform/
#   cells-in-containers  no cell or node held by value in a C++ container
#                      that keeps its data on the heap, where the collector
#                      cannot see it (std::array, on the C++ stack, may)
#   layers             the libraries include downwards only: platform/ nothing
#                      of ours, runtime/codecs/ nothing of runtime/ but
#                      itself, the core (runtime/) neither console/, view/
#                      nor boot/, console/ not boot/; and a folder's
#                      internal.h is included from that folder only
#   routines           every routine of runtime/natives/routines.def is
#                      declared by the library (boot-routine 'name, or a name
#                      of the predicates' loop) and every declaration names
#                      a row
#   asan-options       ASAN_OPTIONS is set in one place of the test
#                      configuration
set -euo pipefail
check="${1:?usage: check-idioms.sh CHECK [ROOT]}"
root="${2:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

code_dirs=()
for dir in runtime platform boot console view; do
  [ -d "$dir" ] && code_dirs+=("$dir")
done

failed=0

# Prints the lines and notes the failure when there are any.
report() {
  local message="$1" lines="$2"
  [ -z "$lines" ] && return 0
  echo "$lines"
  echo "$message"
  failed=1
}

sources() { grep -rnE --include='*.cpp' --include='*.h' --include='*.def' "$@" || true; }

check_argument_records() {
  report "three or more boolean literals in a row: pass a record filled by name" \
    "$(sources '\b(true|false)\s*,\s*(true|false)\s*,\s*(true|false)\b' "${code_dirs[@]}")"
}

check_environment() {
  local dirs=() dir
  for dir in "${code_dirs[@]}"; do [ "$dir" != platform ] && dirs+=("$dir"); done
  report "the environment is read through platform::get_env" \
    "$(sources '(std::)?\bgetenv\s*\(' "${dirs[@]}")"
}

check_cells_in_containers() {
  local containers='vector|deque|list|forward_list|map|multimap|unordered_map|set|unordered_set|function|unique_ptr|shared_ptr|optional|pair|tuple'
  report "cells and nodes live in the C++ stack frame, on the evaluation stack or in a registered root" \
    "$(sources "std::($containers)<[^;]*\b(const )?(Cell|Node)\b *[,>]" "${code_dirs[@]}")"
}

# Lines of the files under the folder that include a header under one of the
# prefixes.
includes_of() {
  local folder="$1"; shift
  local prefixes
  prefixes=$(IFS='|'; echo "$*")
  [ -d "$folder" ] || return 0
  sources "^#include \"($prefixes)/" "$folder"
}

check_layers() {
  report "platform/ depends on nothing of ours" "$(includes_of platform runtime console boot view)"
  report "runtime/codecs/ includes no other part of runtime/" \
    "$(includes_of runtime/codecs runtime console boot view | grep -v '#include "runtime/codecs/' || true)"
  report "the core includes no leaf library (console/, view/) and not boot/" "$(includes_of runtime console view boot)"
  report "console/ is below boot/" "$(includes_of console boot view)"
  local line file header
  local outside=""
  while IFS= read -r line; do
    file="${line%%:*}"
    header="$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$line")"
    [ "$(dirname "$file")" = "$(dirname "$header")" ] || outside+="$line"$'\n'
  done < <(sources '^#include "[^"]*/internal\.h"' "${code_dirs[@]}" tests)
  report "a folder's internal.h is its own: other folders include its public headers" "${outside%$'\n'}"
}

check_routines() {
  local def=runtime/natives/routines.def
  local library_files
  library_files=$(grep -rl --include='*.vek' "boot-routine" boot console view 2>/dev/null || true)
  local rows declared
  rows=$(grep -oE '^X\("[^"]+"' "$def" | sed -E 's/^X\("//; s/"$//' | sort -u)
  # Named declarations, and the names of the predicates' loop (the words of
  # its block), which binds each with boot-routine.
  declared=$( (grep -ohE "boot-routine '[^][:space:]()]+" $library_files | sed -E "s/^boot-routine '//"
               sed -n '/^foreach name \[/,/^\]/p' boot/library/predicates.vek | sed '1d;$d' | tr -s ' ' '\n') |
             grep -v '^$' | sort -u)
  report "rows of routines.def that the library never declares" "$(comm -23 <(echo "$rows") <(echo "$declared"))"
  report "declarations in the library of routines that routines.def has no row for" \
    "$(comm -13 <(echo "$rows") <(echo "$declared"))"
}

check_asan_options() {
  local settings
  settings=$(grep -rnE 'ASAN_OPTIONS=' CMakeLists.txt tests/CMakeLists.txt test.sh scripts 2>/dev/null |
             grep -v 'scripts/check-idioms.sh' || true)
  if [ "$(grep -c . <<<"$settings")" -ne 1 ]; then
    echo "$settings"
    echo "ASAN_OPTIONS is set in more than one place (or none): set it once, for every test"
    failed=1
  fi
}

case "$check" in
  argument-records) check_argument_records ;;
  environment) check_environment ;;
  cells-in-containers) check_cells_in_containers ;;
  layers) check_layers ;;
  routines) check_routines ;;
  asan-options) check_asan_options ;;
  all)
    check_argument_records
    check_environment
    check_cells_in_containers
    check_layers
    check_routines
    check_asan_options
    ;;
  *) echo "unknown check: $check" >&2; exit 2 ;;
esac
exit "$failed"
