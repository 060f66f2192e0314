#!/usr/bin/env bash
# Presses the real Space and Escape keys on a show under Xvfb: key events sent straight to a
# widget would hide a child that takes the focus away from the window.
#   tests/e2e/slide_keys.sh path/to/slide-keys-probe
# Exit code 77 (skipped) where Xvfb or xdotool is missing.
set -uo pipefail
probe=${1:?usage: slide_keys.sh path/to/slide-keys-probe}
pid=
cleanup() { [[ -n $pid ]] && kill $pid 2>/dev/null; }
XVFB_SCREEN=800x600
source "$(dirname "$0")/xvfb.sh"
out=$runtime/probe.out

"$probe" >"$out" 2>/dev/null &
pid=$!
within 20 bash -c "xdotool search --onlyvisible --name '^lmvo-slide-probe$' >/dev/null 2>&1" ||
  fail "the show did not appear"
sleep 1 # a few ticks and transitions

xdotool key space
within 5 bash -c "[[ \$(grep -c '^paused\$' '$out') -ge 1 ]]" || fail "Space did not pause the show"
xdotool key space
within 5 bash -c "[[ \$(grep -c '^running\$' '$out') -ge 1 ]]" || fail "Space did not continue the show"
sleep 0.5
xdotool key Escape
awaitExit 10 "Escape did not end the show"
[[ $code -eq 0 ]] || fail "the show ended with $code"
grep -qx ended "$out" || fail "the show did not end through its modal loop"
echo "1 passed, 0 failed"
