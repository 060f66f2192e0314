#!/usr/bin/env bash
# A real show of large generated pictures on a 1920x1080 screen under Xvfb. Asserts only what
# cannot flake: every transition completed, no error, memory under a generous ceiling (the
# sanitizers' own memory included); the speed is measured by the benchmarks.
#   tests/e2e/show_large.sh path/to/show-probe
# Exit code 77 (skipped) where Xvfb or xdotool is missing.
set -uo pipefail
probe=${1:?usage: show_large.sh path/to/show-probe}
pid=
cleanup() { [[ -n $pid ]] && kill $pid 2>/dev/null; }
XVFB_SCREEN=1920x1080
source "$(dirname "$0")/xvfb.sh"
out=$runtime/probe.out
count=3 width=6000 height=4000 # 24 MP each
ceiling_kb=$((1536 * 1024))

"$probe" $count $width $height >"$out" 2>/dev/null &
pid=$!
awaitExit 300 "the show did not end"
[[ $code -eq 0 ]] || fail "the probe ended with $code"
grep -qx ended "$out" || fail "the show did not end through its modal loop"
! grep '^error ' "$out" || fail "a picture failed"
# Without looping every picture comes in once, and the first once more as the show closes.
grep -qx "transitions $((count + 1))" "$out" || fail "not every transition completed: $(grep transitions "$out")"
peak=$(awk '/^peak_kb/ { print $2 }' "$out")
[[ -n $peak && $peak -gt 0 && $peak -lt $ceiling_kb ]] || fail "peak memory $peak kB is not under $ceiling_kb kB"
echo "peak memory $((peak / 1024)) MB"
echo "1 passed, 0 failed"
