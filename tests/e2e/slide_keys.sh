#!/usr/bin/env bash
# Presses the real Space and Escape keys on a show under Xvfb: key events sent straight to a
# widget would hide a child that takes the focus away from the window.
#   tests/e2e/slide_keys.sh path/to/slide-keys-probe
# Exit code 77 (skipped) where Xvfb or xdotool is missing.
set -uo pipefail
probe=${1:?usage: slide_keys.sh path/to/slide-keys-probe}
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

fail() { echo "FAILED: $*"; [[ -f $out ]] && sed 's/^/  probe: /' "$out"; exit 1; }

within() {
  local seconds=$1; shift
  for ((i = 0; i < seconds * 5; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

display=":$((500 + $$ % 400))"
Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
runtime=$(mktemp -d)
out=$runtime/probe.out
pid=
trap '[[ -n $pid ]] && kill $pid 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$runtime"' EXIT

export DISPLAY=$display XDG_RUNTIME_DIR=$runtime
export ASAN_OPTIONS=detect_leaks=0
unset QT_QPA_PLATFORM
within 10 xdotool getmouselocation >/dev/null 2>&1 || fail "Xvfb did not start"

"$probe" >"$out" 2>/dev/null &
pid=$!
within 20 bash -c "xdotool search --onlyvisible --name '^lmvo-slide-probe$' >/dev/null 2>&1" ||
  fail "the show did not appear"
sleep 1 # a few ticks and transitions

lines() { grep -c "^$1\$" "$out"; }
xdotool key space
within 5 bash -c "[[ \$(grep -c '^paused\$' '$out') -ge 1 ]]" || fail "Space did not pause the show"
xdotool key space
within 5 bash -c "[[ \$(grep -c '^running\$' '$out') -ge 1 ]]" || fail "Space did not continue the show"
sleep 0.5
xdotool key Escape
within 10 bash -c "! kill -0 $pid 2>/dev/null" || fail "Escape did not end the show"
wait $pid
code=$?
pid=
[[ $code -eq 0 ]] || fail "the show ended with $code"
[[ $(lines ended) -eq 1 ]] || fail "the show did not end through its modal loop"
echo "1 passed, 0 failed"
