#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each in turn.
#   tools/fuzz.sh [SECONDS [TARGET...]]   each target for SECONDS (default 60); all targets
#                                         unless some are named (see build/fuzz/fuzz/targets)
# Exploration, on demand (the tests only replay seeds and saved findings). A target's corpus
# grows in build/fuzz/corpus/TARGET from its generated seeds and saved findings, and is kept for
# the next run; a crash, leak, timeout or memory blow-up is saved in build/fuzz/crashes/TARGET/
# and makes the script fail. To replay one:
#   build/fuzz/fuzz/bin/fuzz_TARGET build/fuzz/crashes/TARGET/crash-...
# A finding becomes a regression input once mended: copy it to fuzz/regressions/TARGET/, named
# after its fault; ctest's fuzz_replay_TARGET replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
shift || true
build=$root/build/fuzz

tools/install-deps.sh fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DLMVO_FUZZ=ON -DLMVO_TESTS=OFF -DLMVO_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target lmvo_fuzz -j "$(nproc)"

targets=("$@")
((${#targets[@]})) || mapfile -t targets <"$build/fuzz/targets"

export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t crashes=$build/crashes/$t log=$build/logs/$t.log
  mkdir -p "$corpus" "$crashes" "$build/logs"
  # An input slower than 10 s or using more than 2 GB is a finding like a crash.
  if "$build/fuzz/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$crashes/" -print_final_stats=1 "$corpus" "$build/fuzz/seeds/$t" \
       $( [[ -d $root/fuzz/regressions/$t ]] && echo "$root/fuzz/regressions/$t") >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$t: ${runs:-?} runs in ${seconds} s, corpus $(ls "$corpus" | wc -l) inputs"
  else
    echo "fuzz_$t: FAILED (log: $log, inputs: $crashes)"
    grep -E "^(==[0-9]+==|SUMMARY|.*runtime error)" "$log" | head -5 || true
    failed+=("$t")
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
