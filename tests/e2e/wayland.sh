#!/usr/bin/env bash
# The settings window and a show on Qt's native Wayland platform, under weston's headless
# backend: the show covers the screen, holds the screen saver off, a second copy is refused,
# and both windows end.
#   tests/e2e/wayland.sh path/to/wayland-probe path/to/lmvo-testcard
# Exit code 77 (skipped) where weston or Qt's Wayland platform cannot run.
set -uo pipefail
probe=${1:?usage: wayland.sh path/to/wayland-probe path/to/lmvo-testcard}
testcard=${2:?usage: wayland.sh path/to/wayland-probe path/to/lmvo-testcard}
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }
command -v weston >/dev/null || skip "weston is not installed"

runtime=$(mktemp -d)
chmod 700 "$runtime"
weston=
trap '[[ -n $weston ]] && kill $weston 2>/dev/null; wait 2>/dev/null; rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=lmvo-wayland-$$
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --width=1024 --height=768 \
       --idle-time=0 --no-config >"$runtime/weston.log" 2>&1 &
weston=$!
for ((i = 0; i < 50; i++)); do
  [[ -S $runtime/$WAYLAND_DISPLAY ]] && break
  kill -0 $weston 2>/dev/null || skip "weston cannot run here: $(tail -1 "$runtime/weston.log")"
  sleep 0.2
done
[[ -S $runtime/$WAYLAND_DISPLAY ]] || skip "weston did not open its socket"

pictures=$runtime/pictures
mkdir -p "$pictures" && "$testcard" "$pictures" >/dev/null 2>&1 || fail "no test pictures"
unset DISPLAY
export QT_QPA_PLATFORM=wayland LMVO_AUDIO_OUTPUT=null ASAN_OPTIONS=detect_leaks=0
out=$runtime/probe.out
timeout 60 "$probe" "$pictures" >"$out" 2>"$runtime/probe.err"
code=$?
if ! grep -qx 'platform wayland' "$out"; then
  skip "Qt's Wayland platform did not start: $(tail -1 "$runtime/probe.err")"
fi
for line in 'settings shown' 'covers 1024x768 of 1024x768' 'screen saver held' 'second copy refused' \
            'screen saver released' 'ended'; do
  grep -qx "$line" "$out" || fail "missing \"$line\"; the probe said: $(tr '\n' '|' <"$out")"
done
[[ $code -eq 0 ]] || fail "the probe ended with $code"
echo "1 passed, 0 failed"
