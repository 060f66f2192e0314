#!/usr/bin/env bash
# The real program started from a terminal under Xvfb with two screens: bad arguments (a screen
# that is not connected among them) end with 2 and one line, a folder that is missing shows its
# box and ends with 1 once it is dismissed, and a folder of pictures starts the show at once,
# full screen on the screen under the pointer or on the one --screen names, without the
# settings window, until Escape.
#   tests/e2e/command_line.sh path/to/lmvo path/to/lmvo-testcard
# Exit code 77 (skipped) where Xvfb or xdotool is missing.
set -uo pipefail
lmvo=${1:?usage: command_line.sh path/to/lmvo path/to/lmvo-testcard}
testcard=${2:?usage: command_line.sh path/to/lmvo path/to/lmvo-testcard}
pid=
cleanup() { [[ -n $pid ]] && kill $pid 2>/dev/null; }
XVFB_SCREEN=800x600
XVFB_SECOND_SCREEN=1024x768
source "$(dirname "$0")/xvfb.sh"
export LMVO_AUDIO_OUTPUT=null
err=$runtime/stderr
pictures=$runtime/pictures
mkdir -p "$pictures" && "$testcard" "$pictures" >/dev/null 2>&1 || fail "no test pictures"

"$lmvo" --interval 61 "$pictures" 2>"$err"
code=$?
[[ $code -eq 2 && $(wc -l <"$err") -eq 1 ]] || fail "a bad interval ended with $code: $(cat "$err")"
"$lmvo" --screen 3 "$pictures" 2>"$err"
code=$?
[[ $code -eq 2 && $(wc -l <"$err") -eq 1 ]] && grep -q '“3”.*1 = .*2 = ' "$err" ||
  fail "an unknown screen ended with $code: $(cat "$err")"
"$lmvo" --help | grep -q -- --keep-aspect || fail "--help does not list the options"
LANGUAGE= LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8 "$lmvo" --help | grep -q 'Keep proportions' ||
  fail "--help is not in English under an English locale"
LANGUAGE= LC_ALL=C "$lmvo" --help | grep -q 保持图片比例 || fail "--help is not in Chinese under the C locale"

# A missing folder: its box, its line naming the folder, and 1 once the box is dismissed.
"$lmvo" "$runtime/gone" 2>"$err" &
pid=$!
within 20 bash -c "xdotool search --onlyvisible --pid $pid >/dev/null 2>&1" || fail "no box for a missing folder"
grep -q "$runtime/gone" "$err" || fail "the line does not name the folder: $(cat "$err")"
awaitExit 10 "the box did not end the program" "xdotool key Return"
[[ $code -eq 1 ]] || fail "a missing folder ended with $code"

# A folder of pictures, with Qt's own options as a session manager passes them: the show covers
# the screen at once (the one under the pointer, or the second one by its number); Escape ends
# it and the program.
showWindow() {
  for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
    xdotool getwindowgeometry "$w" | grep -q "Geometry: $size" && echo "$w"
  done
}
for run in "800x600 $display" "1024x768 $display.1 --screen 2"; do
  read -r size screen screenArguments <<<"$run"
  # shellcheck disable=SC2086
  "$lmvo" -platform xcb -style fusion -session 1a2b --loop $screenArguments "$pictures" 2>"$err" &
  pid=$!
  within 20 bash -c "pid=$pid size=$size; $(declare -f showWindow); [[ -n \$(showWindow) ]]" ||
    fail "the show did not cover the $size screen"
  [[ -z $(xdotool search --onlyvisible --name '^Lumivo$' 2>/dev/null) ]] || fail "the settings window appeared"
  sleep 0.5
  DISPLAY=$screen xdotool key Escape
  awaitExit 10 "Escape did not end the show on the $size screen"
  [[ $code -eq 0 ]] || fail "the show ended with $code: $(cat "$err")"
  [[ ! -s $err ]] || fail "the show printed: $(cat "$err")"
done
echo "1 passed, 0 failed"
