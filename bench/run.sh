#!/usr/bin/env bash
# bench/run.sh [VEK [NAME...]]: times each benchmark bench/NAME.vek in vek and
# in its twins NAME.py (python3) and NAME.lua (lua5.4), which do the same work
# and print the same output. VEK defaults to build/vek; NAME patterns (shell
# globs) pick benchmarks, all of them by default.
#
# Each benchmark is first run once by each interpreter, untimed, to check that
# the twins print what vek prints (a twin that differs is reported, not timed)
# and to take the peak resident memory with GNU time. Then come RUNS rounds
# (default 5) of timed runs, the three interpreters interleaved and their
# order rotated each round, so that load on the machine weighs on all three
# alike. The table gives the median wall time of each, the ratios vek/python3
# and vek/lua5.4 and the peak memory, and ends with the geometric mean of each
# ratio over the benchmarks.
#
# A benchmark run as a batch (start-up) is timed over that many invocations
# and reported per invocation. When both X and X_input are run, a row
# "X phase" gives X's time less X_input's, the two timed in pairs: the work X
# does beyond building its input. It is left out of the geometric means,
# which X itself is in.
#
# python3 is /usr/bin/python3 (or PYTHON=...), never one found on PATH: a
# version manager's wrapper script there adds a tenth of a second to every
# start. lua5.4 and GNU time are installed from Debian's packages when
# missing; a column whose tool cannot be had is left out.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
vek="${1:-$here/../build/vek}"
shift $(($# > 0 ? 1 : 0))
patterns=("$@")
[ ${#patterns[@]} -gt 0 ] || patterns=("*")
runs="${RUNS:-5}"
python="${PYTHON:-/usr/bin/python3}"
declare -A batch=([startup]=20)

if [ ! -x "$vek" ]; then
  echo "no vek binary at $vek (build it, or name it: bench/run.sh path/to/vek)"
  exit 1
fi

# Installs Debian packages as scripts/ensure-deps.sh does; fails when it cannot.
install_packages() {
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || return 1
    sudo="sudo"
  fi
  echo "installing $* ..." >&2
  $sudo apt-get update -qq >/dev/null 2>&1 &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null 2>&1
}

command -v lua5.4 >/dev/null || install_packages lua5.4
[ -x /usr/bin/time ] || install_packages time
gnu_time=""
[ -x /usr/bin/time ] && gnu_time=/usr/bin/time

names=(vek python3 lua5.4)
exts=(vek py lua)
cmds=("$vek" "$python" lua5.4)
available=(1 0 0)
[ -x "$python" ] && available[1]=1
command -v lua5.4 >/dev/null && available[2]=1

memfile="$(mktemp)"
trap 'rm -f "$memfile"' EXIT

# Runs interpreter $1 on benchmark $2 once, untimed: its output goes to $out
# and its peak resident memory (MB, "-" without GNU time) to $peak. Fails as
# the run does.
check_run() {
  local script="$here/$2.${exts[$1]}" status
  peak="-"
  if [ -n "$gnu_time" ]; then
    out="$("$gnu_time" -f %M -o "$memfile" "${cmds[$1]}" "$script" 2>&1)"
    status=$?
    peak="$(tail -n 1 "$memfile" | awk '{ printf "%.1f", $1 / 1024 }')"
  else
    out="$("${cmds[$1]}" "$script" 2>&1)"
    status=$?
  fi
  return $status
}

# Times interpreter $1 on benchmark $2 over its batch of invocations: the
# wall time of one invocation, in milliseconds, goes to $ms. Fails when an
# invocation does.
timed_run() {
  local script="$here/$2.${exts[$1]}" n="${batch[$2]:-1}" k start end
  start="${EPOCHREALTIME/[.,]/}"
  for ((k = 0; k < n; k++)); do
    "${cmds[$1]}" "$script" >/dev/null 2>&1 || return 1
  done
  end="${EPOCHREALTIME/[.,]/}"
  ms="$(awk -v us=$((end - start)) -v n="$n" 'BEGIN { printf "%.1f", us / n / 1000 }')"
}

# The median of the numbers in the list $1.
median() {
  tr ' ' '\n' <<<"$1" | sort -g | awk 'NF { v[++n] = $1 }
    END { if (n % 2) print v[(n + 1) / 2]; else printf "%.1f\n", (v[n / 2] + v[n / 2 + 1]) / 2 }'
}

# $1 / $2 with two decimals, or "-" when either is not a positive time.
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    if (a ~ /^[0-9.]+$/ && b ~ /^[0-9.]+$/ && a > 0 && b > 0) printf "%.2f", a / b; else print "-" }'
}

# The geometric mean of the numbers given, or "-" when there are none.
geomean() {
  printf '%s\n' "$@" | awk '/^[0-9.]+$/ { s += log($1); n++ }
    END { if (n) printf "%.2f", exp(s / n); else print "-" }'
}

row() {
  printf '| %-14s | %9s | %9s | %9s | %6s | %7s | %7s | %10s | %9s |\n' "$@"
}

selected() {
  local p
  for p in "${patterns[@]}"; do
    # shellcheck disable=SC2053  # the patterns are globs on purpose
    [[ $1 == $p ]] && return 0
  done
  return 1
}

declare -A med=()
py_ratios=()
lua_ratios=()
done_names=()

# Checks and times benchmark $1, prints its row and records its medians.
bench() {
  local name="$1" i r k expected result
  local -a state=() peaks=() medians=()
  for i in 0 1 2; do
    state[i]="-" peaks[i]="-" medians[i]="-"
    if [ "${available[i]}" = 1 ] && [ -f "$here/$name.${exts[i]}" ]; then
      if ! check_run "$i" "$name"; then
        state[i]="failed"
      elif [ "$i" = 0 ] || [ "$out" = "$expected" ]; then
        state[i]="timed"
      else
        state[i]="differs"
        echo "$name: the ${names[i]} twin prints something else than vek" >&2
      fi
      [ "$i" = 0 ] && expected="$out"
      peaks[i]="$peak"
    fi
    [ "${state[0]}" = "timed" ] || break
  done
  if [ "${state[0]}" != "timed" ]; then
    echo "$name: vek failed: $expected" >&2
    row "$name" failed - - - - - - -
    return
  fi
  declare -A all_times=()
  for ((r = 0; r < runs; r++)); do
    for k in 0 1 2; do
      i=$(((r + k) % 3))
      [ "${state[i]}" = "timed" ] || continue
      if timed_run "$i" "$name"; then
        all_times[$i]+=" $ms"
      else
        state[i]="failed"
      fi
    done
  done
  for i in 0 1 2; do
    result="${state[i]}"
    [ "$result" = "timed" ] && result="$(median "${all_times[$i]}")"
    medians[i]="$result"
    med[$name,$i]="$result"
  done
  py_ratios+=("$(ratio "${medians[0]}" "${medians[1]}")")
  lua_ratios+=("$(ratio "${medians[0]}" "${medians[2]}")")
  row "$name" "${medians[@]}" "${py_ratios[-1]}" "${lua_ratios[-1]}" "${peaks[@]}"
  done_names+=("$name")
}

# Prints the row "X phase" for every X whose X_input was run too. Each round
# runs X and X_input back to back, so that both meet the same load, and the
# row gives the median of their differences: subtracting two medians taken
# minutes apart would leave mostly the change in load.
phase_rows() {
  local name i r k whole
  local -a d=()
  for name in "${done_names[@]}"; do
    [[ " ${done_names[*]} " == *" ${name}_input "* ]] || continue
    declare -A diffs=()
    for ((r = 0; r < runs; r++)); do
      for k in 0 1 2; do
        i=$(((r + k) % 3))
        [[ ${med[$name,$i]} =~ ^[0-9.]+$ && ${med[${name}_input,$i]} =~ ^[0-9.]+$ ]] || continue
        timed_run "$i" "$name" || continue
        whole="$ms"
        timed_run "$i" "${name}_input" || continue
        diffs[$i]+=" $(awk -v a="$whole" -v b="$ms" 'BEGIN { printf "%.1f", a - b }')"
      done
    done
    for i in 0 1 2; do
      d[i]="-"
      [ -n "${diffs[$i]:-}" ] && d[i]="$(median "${diffs[$i]}")"
    done
    row "$name phase" "${d[@]}" "$(ratio "${d[0]}" "${d[1]}")" "$(ratio "${d[0]}" "${d[2]}")" - - -
  done
}

echo "vek: $vek"
echo "python3: $([ "${available[1]}" = 1 ] && "$python" --version 2>&1 || echo missing) ($python)"
echo "lua5.4: $([ "${available[2]}" = 1 ] && lua5.4 -v 2>&1 || echo missing)"
echo "peak memory: $([ -n "$gnu_time" ] && echo "GNU time" || echo "not measured (no GNU time)")"
echo "runs: $runs; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
row benchmark "vek ms" "python3 ms" "lua5.4 ms" vek/py vek/lua "vek MB" "python3 MB" "lua5.4 MB"
row --- ---: ---: ---: ---: ---: ---: ---: ---:
for script in "$here"/*.vek; do
  name="$(basename "$script" .vek)"
  selected "$name" && bench "$name"
done
phase_rows
row "geometric mean" "" "" "" "$(geomean "${py_ratios[@]}")" "$(geomean "${lua_ratios[@]}")" "" "" ""
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
