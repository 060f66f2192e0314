# Shared by the end-to-end scripts: checks the tools, starts Xvfb on a display of its own and
# gives `within` and `fail`. Source it after setting `cleanup` (run on exit before Xvfb stops).
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

fail() { echo "FAILED: $*"; exit 1; }

# Polls `$@` every 0.2 s for at most $1 seconds.
within() {
  local seconds=$1; shift
  for ((i = 0; i < seconds * 5; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# A free display number per process; the screen size is $XVFB_SCREEN (default 1024x768).
display=":$((100 + $$ % 800))"
Xvfb "$display" -screen 0 "${XVFB_SCREEN:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
runtime=$(mktemp -d)
trap 'cleanup; kill $xvfb 2>/dev/null; rm -rf "$runtime"' EXIT

export DISPLAY=$display XDG_RUNTIME_DIR=$runtime
export ASAN_OPTIONS=detect_leaks=0
unset QT_QPA_PLATFORM
within 10 xdotool getmouselocation >/dev/null 2>&1 || fail "Xvfb did not start"
