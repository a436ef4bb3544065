#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each of them in turn
# for SECONDS_PER_TARGET seconds (default 60), starting from the seed corpus
# in fuzz/corpus/<target>/.  Prints executions, coverage and findings per
# target; a finding (crash-*, timeout-*, leak-*, oom-* under
# build-fuzz/artifacts/<target>/) is reproduced with
#   build-fuzz/fuzz/<target> <artifact file>
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#        scripts/fuzz.sh --seeds [TARGET...]
# With --seeds every target runs once over each file of its seed corpus and
# nothing more (no new inputs, a few seconds in all); the script then exits
# with 1 when a seed fails.  The test command (scripts/test.sh) runs this.
set -euo pipefail
cd "$(dirname "$0")/.."
seeds_only=0
if [ "${1:-}" = "--seeds" ]; then
  seeds_only=1
  shift
  seconds=0
else
  seconds="${1:-60}"
  shift || true
fi
build=build-fuzz
cxx="${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++)}"

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELVANOR_FUZZ=ON \
  -DPELVANOR_BUILD_APP=OFF -DPELVANOR_BUILD_TESTS=OFF -DPELVANOR_BUILD_BENCH=OFF >/dev/null
if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cmake --build "$build" --target "${targets[@]}" -j2 >/dev/null

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

if [ "$seeds_only" -eq 1 ]; then
  failed=0
  for t in "${targets[@]}"; do
    files=()
    [ -d "fuzz/corpus/$t" ] && while IFS= read -r -d '' f; do files+=("$f"); done \
      < <(find "fuzz/corpus/$t" -type f -print0 | sort -z)
    if [ "${#files[@]}" -eq 0 ]; then
      echo "$t: no seeds"
      continue
    fi
    log="$build/logs/$t.seeds.log"
    mkdir -p "$(dirname "$log")"
    # Given files rather than a folder, libFuzzer runs each of them once.
    if "$build/fuzz/$t" -timeout=10 -rss_limit_mb=2048 "${files[@]}" >"$log" 2>&1; then
      echo "$t: ${#files[@]} seeds clean"
    else
      echo "$t: a seed FAILED"
      grep -E 'Running:|ERROR|SUMMARY|check failed|runtime error' "$log" | tail -n 8 || true
      failed=1
    fi
  done
  exit "$failed"
fi

summary=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  log="$build/logs/$t.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  seeds=()
  [ -d "fuzz/corpus/$t" ] && seeds=("fuzz/corpus/$t")
  echo "== $t: ${seconds}s"
  status=0
  nice -n 10 "$build/fuzz/$t" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
  execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)"
  last="$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)"
  cov="$(echo "$last" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*' || true)"
  ft="$(echo "$last" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*' || true)"
  corp="$(echo "$last" | grep -o 'corp: [0-9]*' | grep -o '[0-9]*' || true)"
  findings="$(find "$artifacts" -type f \( -name 'crash-*' -o -name 'timeout-*' -o -name 'leak-*' -o -name 'oom-*' -o -name 'slow-unit-*' \) | wc -l)"
  line="$t: exit $status, executions ${execs:-?}, coverage ${cov:-?} edges, features ${ft:-?}, corpus ${corp:-?}, findings $findings"
  echo "$line"
  if [ "$status" -ne 0 ]; then grep -E 'ERROR|SUMMARY|check failed|runtime error' "$log" | head -n 5 || true; fi
  summary+=("$line")
done
echo "== summary"
printf '%s\n' "${summary[@]}"
