#!/usr/bin/env bash
# Starts the real program under Xvfb. A second start shows its box and, once the box is
# dismissed, ends with exit code 0 and no window; the first copy keeps running until its
# close button ends it, with exit code 0.
#   tests/e2e/single_instance.sh path/to/lmvo
# Exit code 77 (skipped) where Xvfb or xdotool is missing.
set -uo pipefail
lmvo=${1:?usage: single_instance.sh path/to/lmvo}
first=
cleanup() { [[ -n $first ]] && kill $first 2>/dev/null; }
source "$(dirname "$0")/xvfb.sh"
export LMVO_AUDIO_OUTPUT=null

settingsWindow() { xdotool search --onlyvisible --name '^Lumivo$' 2>/dev/null | head -1; }
hasSettingsWindow() { [[ -n $(settingsWindow) ]]; }

"$lmvo" &
first=$!
within 20 hasSettingsWindow || fail "the settings window did not appear"
window=$(settingsWindow)

"$lmvo" &
second=$!
sleep 1
kill -0 $second 2>/dev/null || fail "the second copy ended before its box was dismissed"
[[ $(xdotool search --onlyvisible --name '^Lumivo$' | wc -l) -eq 1 ]] || fail "the second copy showed a window"
# The box has the keyboard focus; Return dismisses it.
within 10 bash -c "xdotool key Return; ! kill -0 $second 2>/dev/null" || fail "the second copy did not end"
wait $second
code=$?
[[ $code -eq 0 ]] || fail "the second copy ended with $code"
kill -0 $first 2>/dev/null || fail "the first copy ended too"

# The close button (415, 269, 85 x 25 in the window) ends the first copy.
xdotool mousemove --window "$window" 457 281 click 1
within 10 bash -c "! kill -0 $first 2>/dev/null" || fail "the first copy did not close"
wait $first
code=$?
first=
[[ $code -eq 0 ]] || fail "the first copy ended with $code"
echo "1 passed, 0 failed"
