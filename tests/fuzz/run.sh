#!/usr/bin/env bash
# tests/fuzz/run.sh NAME [SECONDS [libFuzzer options...]]: fuzzes the target
# tests/fuzz/NAME.cpp with libFuzzer, guided by coverage, under the address
# and undefined-behaviour sanitizers, for SECONDS (default 300). It builds with
# clang in build-fuzz (installing clang and its fuzzing runtime from Debian's
# packages when missing) and works on a copy of the target's corpus in
# build-fuzz/corpus-NAME, which grows with what the fuzzer finds; inputs that
# fail are left in build-fuzz as crash-*, leak-* or timeout-*. Add an input
# worth keeping to tests/fuzz/corpus/NAME, where every test run replays it.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
name="${1:?usage: tests/fuzz/run.sh NAME [SECONDS [libFuzzer options...]]}"
seconds="${2:-300}"
shift $(($# > 1 ? 2 : 1))

"$root/scripts/ensure-deps.sh" clang libclang-rt-14-dev

dir="$root/build-fuzz"
CXX=clang++ "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEK_SANITIZE=ON \
  -DVEK_LIBFUZZER=ON -DVEK_LTO=OFF
corpus="$dir/corpus-$name"
mkdir -p "$corpus"
cp -n "$root/tests/fuzz/corpus/$name"/* "$corpus"/
cd "$dir"
ASAN_OPTIONS=detect_stack_use_after_return=0:detect_leaks=0 \
  "$dir/tests/fuzz_$name" -max_total_time="$seconds" -max_len=4096 "$@" "$corpus"
